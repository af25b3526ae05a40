#include "app/terms_gate.h"

#include <cstdio>

#include "app/app_state.h"
#include "app/terms_text.h"
#include "links/links_dialog.h"
#include "ui/message_box.h"

bool CheckTermsAccepted()
{
    char acceptanceLine[4096];
    char disclaimer[4096];
    char firstRunPrompt[4096];
    FormatAcceptanceLine(acceptanceLine, sizeof acceptanceLine);
    FormatDisclaimer(disclaimer, sizeof disclaimer);
    FormatFirstRunPrompt(firstRunPrompt, sizeof firstRunPrompt);

    app.text[0] = '\0';
    if (FILE* file = std::fopen(termsFileName, "r+")) {
        if (std::fgets(app.text, sizeof app.text, file) == nullptr)
            app.text[0] = '\0';
        std::fclose(file);
        if (AcceptsTerms(app.text, acceptanceLine))
            return true;
    }

    if (ShowMessage(nullptr, disclaimer, MB_YESNO | MB_ICONWARNING) != IDYES) {
        ShowMessage(nullptr, "This shouldn't happen!!!!!", MB_OK);
        return false;
    }

    FILE* file = std::fopen(termsFileName, "w+");
    if (file == nullptr) {
        std::snprintf(app.text, sizeof app.text, "ERROR: Could not create '%s' ['%s'].", termsFileName,
                      termsFileName);
        ShowMessage(nullptr, app.text, MB_ICONWARNING);
        return false;
    }
    std::fputs(acceptanceLine, file);
    std::fclose(file);

    if (ShowMessage(nullptr, firstRunPrompt, MB_YESNO | MB_ICONQUESTION) == IDYES)
        RunLinksDialog(nullptr);
    return true;
}

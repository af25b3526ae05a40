#include "app/terms_gate.h"

#include <cstdio>

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

    // The gate's own line and message texts: nothing else writes into them.
    char line[4096] = "";
    if (FILE* file = std::fopen(termsFileName, "r+")) {
        if (std::fgets(line, sizeof line, file) == nullptr)
            line[0] = '\0';
        std::fclose(file);
        if (AcceptsTerms(line, acceptanceLine))
            return true;
    }

    if (ShowMessage(nullptr, disclaimer, MB_YESNO | MB_ICONWARNING) != IDYES) {
        ShowMessage(nullptr, "This shouldn't happen!!!!!", MB_OK);
        return false;
    }

    char error[4096];
    FILE* file = std::fopen(termsFileName, "w+");
    if (file == nullptr) {
        std::snprintf(error, sizeof error, "ERROR: Could not create '%s' ['%s'].", termsFileName, termsFileName);
        ShowMessage(nullptr, error, MB_ICONWARNING);
        return false;
    }
    // The terms count as accepted only once the line is in the file whole.
    const bool written = std::fputs(acceptanceLine, file) >= 0 && std::fflush(file) == 0 && std::ferror(file) == 0;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        std::snprintf(error, sizeof error, "ERROR: Could not write '%s' ['%s'].", termsFileName, termsFileName);
        ShowMessage(nullptr, error, MB_ICONWARNING);
        return false;
    }

    if (ShowMessage(nullptr, firstRunPrompt, MB_YESNO | MB_ICONQUESTION) == IDYES)
        RunLinksDialog(nullptr);
    return true;
}

#include "app/terms_text.h"

#include <cstdio>
#include <cstring>

#include "base/version.h"
#include "settings/options.h"

void FormatAcceptanceLine(char* line, size_t size)
{
    std::snprintf(line, size, "The Terms and Conditions and Disclaimer for '%s' have been accepted.", AppVersion);
    TrimText(line);
}

void FormatDisclaimer(char* text, size_t size)
{
    std::snprintf(text, size,
                  "LEGAL DISCLAIMER: This software [%s] is supplied with no warranties given for any purpose "
                  "whatsoever. This software is used at the users' own risk, and any and all companies or persons "
                  "associated with the programming or supply of this software hereby exempt themseleves from any "
                  "and all legal procescution resulting from the use of this software.\n\nClick 'Yes' to Accept "
                  "these terms and continue with use of this software; Click 'No' to reject these terms and "
                  "discontinue use of this software.",
                  AppVersion);
}

void FormatFirstRunPrompt(char* text, size_t size)
{
    std::snprintf(text, size,
                  "This is the first time you have run this version of this application.\n\nCreate "
                  "links/shortcuts to %s?",
                  AppVersion);
}

bool AcceptsTerms(char* firstLine, const char* acceptanceLine)
{
    TrimText(firstLine);
    const size_t length = std::strlen(acceptanceLine);
    // An empty acceptance line would accept anything.
    if (length == 0)
        return false;
    return std::strncmp(firstLine, acceptanceLine, length - 1) == 0;
}

#include "app/console_terms.h"

#include <cstdio>

#include "app/terms_text.h"

bool ConsoleTermsAccepted()
{
    char acceptanceLine[4096];
    FormatAcceptanceLine(acceptanceLine, sizeof acceptanceLine);
    char firstLine[4096] = {};
    FILE* file = std::fopen(termsFileName, "r+");
    if (file == nullptr)
        return false;
    if (std::fgets(firstLine, sizeof firstLine, file) == nullptr)
        firstLine[0] = '\0';
    std::fclose(file);
    return AcceptsTerms(firstLine, acceptanceLine);
}

bool RecordTermsAcceptance()
{
    char acceptanceLine[4096];
    FormatAcceptanceLine(acceptanceLine, sizeof acceptanceLine);
    FILE* file = std::fopen(termsFileName, "w+");
    if (file == nullptr)
        return false;
    const bool written = std::fputs(acceptanceLine, file) >= 0 && std::fflush(file) == 0;
    const bool closed = std::fclose(file) == 0;
    return written && closed;
}

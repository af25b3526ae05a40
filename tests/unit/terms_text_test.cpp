// The acceptance line and the test that decides whether a stored line
// accepts this version.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>

#include "app/terms_text.h"
#include "base/version.h"

namespace {

const std::string kLine =
    std::string("The Terms and Conditions and Disclaimer for '") + AppVersion + "' have been accepted.";

std::string Upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

bool Accepts(std::string firstLine)
{
    char acceptance[4096];
    FormatAcceptanceLine(acceptance, sizeof acceptance);
    char buffer[4096] = {};
    std::memcpy(buffer, firstLine.data(), firstLine.size());
    return AcceptsTerms(buffer, acceptance);
}

TEST(TermsText, AcceptanceLineNamesThisVersion)
{
    char line[4096];
    FormatAcceptanceLine(line, sizeof line);
    EXPECT_EQ(std::string(line), kLine);
}

TEST(TermsText, PromptsNameThisVersion)
{
    char text[4096];
    FormatFirstRunPrompt(text, sizeof text);
    EXPECT_EQ(std::string(text),
              "This is the first time you have run this version of this application.\n\n"
              "Create links/shortcuts to " + std::string(AppVersion) + "?");
    FormatDisclaimer(text, sizeof text);
    const std::string disclaimer = text;
    EXPECT_EQ(disclaimer.rfind("LEGAL DISCLAIMER: This software [" + std::string(AppVersion) + "] is supplied", 0),
              0u);
    EXPECT_NE(disclaimer.find("legal procescution resulting from the use of this software.\n\nClick 'Yes'"),
              std::string::npos);
    EXPECT_EQ(disclaimer.substr(disclaimer.size() - 33), "discontinue use of this software.");
}

TEST(TermsText, TheCurrentLineAndItsLooseFormsAccept)
{
    EXPECT_TRUE(Accepts(kLine));
    EXPECT_TRUE(Accepts(kLine + "\n"));
    // The closing full stop is not compared, nor anything after it.
    EXPECT_TRUE(Accepts(kLine.substr(0, kLine.size() - 1)));
    EXPECT_TRUE(Accepts(kLine.substr(0, kLine.size() - 1) + "!"));
    EXPECT_TRUE(Accepts(kLine + " and more text"));
    // Blanks around the line are trimmed.
    EXPECT_TRUE(Accepts(" \t " + kLine + " \t\n"));
}

TEST(TermsText, OtherLinesDoNotAccept)
{
    EXPECT_FALSE(Accepts(""));
    EXPECT_FALSE(Accepts("\n"));
    EXPECT_FALSE(Accepts("The Terms and Conditions and Disclaimer for 'Dunewright v1.4.7.3' have been accepted."));
    EXPECT_FALSE(Accepts(Upper(kLine)));
    // Two characters short.
    EXPECT_FALSE(Accepts(kLine.substr(0, kLine.size() - 2)));
    // A carriage return left in the line stops the trimming of what precedes it.
    EXPECT_FALSE(Accepts("\r" + kLine));
}

}  // namespace

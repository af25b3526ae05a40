#pragma once

// The texts of the terms gate and the test that decides whether the line
// kept in "TermsAccepted.txt" accepts this version.

#include <cstddef>

inline constexpr char termsFileName[] = "TermsAccepted.txt";

// The acceptance line for this version, trimmed.
void FormatAcceptanceLine(char* line, size_t size);
// The legal disclaimer shown before first use.
void FormatDisclaimer(char* text, size_t size);
// The question that offers the Links dialog after an acceptance.
void FormatFirstRunPrompt(char* text, size_t size);

// Trims the first line read from the file, in place, and compares it with
// the acceptance line over all but the acceptance line's last character,
// case-sensitively.
bool AcceptsTerms(char* firstLine, const char* acceptanceLine);

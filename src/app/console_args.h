#pragma once

// The command line of the console program (Dunewright.com), free of any
// console: what it asks for, or why it is refused.

#include <string>
#include <vector>

#include "settings/options.h"

// What a start of the console program does.
enum class ConsoleRoute {
    Window,  // no arguments, or one folder alone: the window program opens
    Help,    // --help or /?: the usage
    Scan,    // a scan written to files or standard output
    AcceptTermsOnly,  // --accept-terms alone: the acceptance is recorded
    Usage,   // a mistake: the error and the usage, exit code 1
};

// The file name that means standard output.
inline constexpr wchar_t kStandardOutput[] = L"-";

struct ConsoleCommand {
    ConsoleRoute route = ConsoleRoute::Usage;
    std::wstring error;  // for Usage: what is wrong
    std::wstring folder;
    // Empty: not written; kStandardOutput: standard output.
    std::wstring csv;
    std::wstring json;
    std::wstring report;
    // As the Scan Options would hold them: every filter off unless given,
    // the counting pass on.
    ScanOptions options{};
    bool acceptTerms = false;
};

// Reads the arguments (without the program's own name). Any of --csv,
// --json and --report at most once each, at most one of them standard
// output, and at least one of them; one folder; numbers of decimal digits.
ConsoleCommand ParseConsoleArguments(const std::vector<std::wstring>& arguments);

// The usage text, lines ending in "\n".
const char* ConsoleUsage();

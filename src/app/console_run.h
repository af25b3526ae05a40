#pragma once

#include <string>
#include <vector>

// The console program (Dunewright.com): a scan from a command line with no
// window, written as CSV, JSON or the text report, or, with no arguments or
// a folder alone, the window program started beside it. Reads and writes
// no settings and leaves a running window instance alone. Returns the exit
// code (see ConsoleExit).
int RunConsole(const std::vector<std::wstring>& arguments);

enum ConsoleExit : int {
    kExitComplete = 0,
    kExitUsage = 1,       // a usage error, or the terms not accepted
    kExitIncomplete = 2,  // stopped, or a listing cut short
    kExitNotWritten = 3,  // an output could not be written
};

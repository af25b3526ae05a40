#pragma once

#include <optional>
#include <string>
#include <vector>

// The program's arguments, as Windows splits a command line
// (CommandLineToArgvW's rules), without the program's own name.
std::vector<std::wstring> ProgramArguments();

// The folder a start names: the one and only argument, as given, except
// that a quote at its end is taken for the backslash it was typed as
// ("C:\My Data\" reaches a program as C:\My Data"). None for a start
// without arguments or with more than one.
std::optional<std::wstring> FolderArgument(const std::vector<std::wstring>& arguments);

// `text` as one argument of a command line, so that CommandLineToArgvW
// gives it back exactly: quoted when it is empty or holds a space or tab,
// with backslashes before a quote, and before the closing quote, doubled
// (a folder's trailing backslash must not escape the closing quote).
std::wstring QuotedArgument(const std::wstring& text);

#include "app/command_line.h"

#include <windows.h>
#include <shellapi.h>

std::vector<std::wstring> ProgramArguments()
{
    std::vector<std::wstring> arguments;
    int count = 0;
    LPWSTR* values = CommandLineToArgvW(GetCommandLineW(), &count);
    if (values == nullptr)
        return arguments;
    for (int i = 1; i < count; ++i)
        arguments.emplace_back(values[i]);
    LocalFree(values);
    return arguments;
}

std::optional<std::wstring> FolderArgument(const std::vector<std::wstring>& arguments)
{
    if (arguments.size() != 1)
        return std::nullopt;
    std::wstring folder = arguments[0];
    // "C:\My Data\" typed as it is: its last backslash escapes the closing
    // quote, which Windows then hands on. No folder's name holds a quote:
    // it stands for the backslash meant.
    if (!folder.empty() && folder.back() == L'"')
        folder.back() = L'\\';
    return folder;
}

std::wstring QuotedArgument(const std::wstring& text)
{
    if (!text.empty() && text.find_first_of(L" \t\"") == std::wstring::npos)
        return text;
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (const wchar_t c : text) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes before a quote escape it: each is doubled, and the
        // quote itself escaped.
        quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(2 * backslashes, L'\\');
    quoted += L'"';
    return quoted;
}

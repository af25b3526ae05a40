#include "web/referrer_page.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "base/code_page_text.h"
#include "ui/shell_open.h"
#include "web/referrer_page_text.h"

namespace {

// The longest value an environment variable can hold, and its terminator.
constexpr DWORD kLongestValue = 32768;

// An environment variable's whole value as UTF-16, empty when it is unset.
std::wstring EnvironmentValue(const wchar_t* name)
{
    std::wstring value(kLongestValue, L'\0');
    const DWORD length = GetEnvironmentVariableW(name, value.data(), kLongestValue);
    value.resize(length < kLongestValue ? length : 0);
    return value;
}

// Writes the whole text in text mode (line feeds become CR LF); false when
// the file cannot be created or the text does not reach the disk whole.
bool WritePage(const std::wstring& path, const char* text)
{
    FILE* file = _wfopen(path.c_str(), L"w+");
    if (file == nullptr)
        return false;
    const size_t length = std::strlen(text);
    const bool written = std::fwrite(text, 1, length, file) == length;
    const bool closed = std::fclose(file) == 0;
    return written && closed;
}

}  // namespace

void OpenViaReferrerPage(const char* address)
{
    char pageName[MAX_PATH + 1];
    FormatReferrerPageName(pageName);

    // The page is this call's own: nothing else writes into its text.
    char page[4096];
    std::wstring path;
    if (ComposeReferrerPagePath(EnvironmentValue(L"TEMP"), EnvironmentValue(L"TMP"), FromCodePage(pageName), path) &&
        FormatReferrerPageText(page, sizeof page, pageName, address) && WritePage(path, page)) {
        ShellOpen(path.c_str(), nullptr);
        return;
    }
    ShellOpen(address, nullptr);
}

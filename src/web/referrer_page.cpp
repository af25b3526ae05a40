#include "web/referrer_page.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "app/app_state.h"
#include "ui/shell_open.h"
#include "web/referrer_page_text.h"

namespace {

// An environment variable's value, empty when it is unset. False when it
// is longer than the buffer, which is already more than any page folder
// may be.
bool ReadEnvironmentValue(const char* name, char* value, DWORD size)
{
    value[0] = '\0';
    const DWORD length = GetEnvironmentVariableA(name, value, size);
    if (length >= size) {
        value[0] = '\0';
        return false;
    }
    return true;
}

// Writes the whole text in text mode (line feeds become CR LF); false when
// the file cannot be created or the text does not reach the disk whole.
bool WritePage(const char* path, const char* text)
{
    FILE* file = std::fopen(path, "w+");
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

    char temp[MAX_PATH + 1];
    char tmp[MAX_PATH + 1];
    char path[MAX_PATH + 1];
    const bool readable = ReadEnvironmentValue("TEMP", temp, sizeof temp) &&
                          ReadEnvironmentValue("TMP", tmp, sizeof tmp);
    if (readable && ComposeReferrerPagePath(temp, tmp, pageName, path) &&
        FormatReferrerPageText(app.text, sizeof app.text, pageName, address) && WritePage(path, app.text)) {
        ShellOpen(path, nullptr);
        return;
    }
    ShellOpen(address, nullptr);
}

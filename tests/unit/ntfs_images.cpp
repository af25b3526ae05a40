#include "ntfs_images.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>

namespace {

std::wstring Utf16(const std::string& text)
{
    std::wstring wide(text.size(), L'\0');
    wide.resize(MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                                    static_cast<int>(wide.size())));
    return wide;
}

}  // namespace

char NtfsImageDrive(const char* variable)
{
    const char* letter = std::getenv(variable);
    return letter != nullptr && letter[0] != '\0' ? letter[0] : '\0';
}

std::map<std::wstring, std::vector<std::wstring>> ReadIndexOrder(wchar_t drive)
{
    std::map<std::wstring, std::vector<std::wstring>> order;
    const char* dir = std::getenv("DW_NTFS_ORDER");
    if (dir == nullptr)
        return order;
    const std::string file = std::string(dir) + "\\" + static_cast<char>(drive) + ".order";
    HANDLE h = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return order;
    std::string text;
    char buffer[65536];
    DWORD got;
    while (ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got != 0)
        text.append(buffer, got);
    CloseHandle(h);
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = std::min(text.find('\n', at), text.size());
        std::vector<std::wstring> fields;
        size_t field = at;
        for (;;) {
            const size_t tab = std::min(text.find('\t', field), end);
            fields.push_back(Utf16(text.substr(field, tab - field)));
            if (tab == end)
                break;
            field = tab + 1;
        }
        order[fields[0]].assign(fields.begin() + 1, fields.end());
        at = end + 1;
    }
    return order;
}


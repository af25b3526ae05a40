#include "base/wide_path.h"

#include <windows.h>

std::wstring ExtendedPath(std::wstring_view path)
{
    if (path.size() >= 4 && path.substr(0, 4) == L"\\\\?\\")
        return std::wstring(path);
    if (path.size() >= 3 && path[1] == L':' && path[2] == L'\\')
        return L"\\\\?\\" + std::wstring(path);
    if (path.size() >= 4 && path.substr(0, 4) == L"\\\\.\\")
        return L"\\\\?\\" + std::wstring(path.substr(4));
    if (path.size() >= 3 && path.substr(0, 2) == L"\\\\" && path[2] != L'.' && path[2] != L'?')
        return L"\\\\?\\UNC\\" + std::wstring(path.substr(2));
    return std::wstring(path);
}

std::wstring ModulePath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return std::wstring();
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        // Cut to fit: ask again with room to spare, up to the longest path.
        if (path.size() > 65536)
            return std::wstring();
        path.resize(path.size() * 2);
    }
}

std::wstring FolderOf(std::wstring_view path)
{
    const size_t last = path.rfind(L'\\');
    if (last == std::wstring_view::npos)
        return std::wstring();
    if (last == 2 && path[1] == L':')
        return std::wstring(path.substr(0, 3));
    return std::wstring(path.substr(0, last));
}

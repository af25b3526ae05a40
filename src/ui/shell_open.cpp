#include "ui/shell_open.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

void ShellOpen(const char* file, const char* parameters)
{
    ShellExecuteA(nullptr, nullptr, file, parameters, nullptr, SW_SHOWNORMAL);
}

void ShellOpen(const wchar_t* file, const wchar_t* parameters)
{
    ShellExecuteW(nullptr, nullptr, file, parameters, nullptr, SW_SHOWNORMAL);
}

void ShowInFolder(const std::wstring& path)
{
    PIDLIST_ABSOLUTE item = nullptr;
    if (SUCCEEDED(SHParseDisplayName(path.c_str(), nullptr, &item, 0, nullptr)) && item != nullptr) {
        const HRESULT shown = SHOpenFolderAndSelectItems(item, 0, nullptr, 0);
        CoTaskMemFree(item);
        if (SUCCEEDED(shown))
            return;
    }
    const std::wstring parameters = L"/select,\"" + path + L"\"";
    ShellOpen(L"Explorer", parameters.c_str());
}

unsigned long ShellRunAsAdministrator(const std::wstring& file, const std::wstring& parameters,
                                      const std::wstring& directory)
{
    SHELLEXECUTEINFOW run{};
    run.cbSize = sizeof run;
    run.fMask = SEE_MASK_NOASYNC;
    run.lpVerb = L"runas";
    run.lpFile = file.c_str();
    run.lpParameters = parameters.c_str();
    run.lpDirectory = directory.empty() ? nullptr : directory.c_str();
    run.nShow = SW_SHOWNORMAL;
    if (ShellExecuteExW(&run))
        return ERROR_SUCCESS;
    const DWORD error = GetLastError();
    return error == ERROR_SUCCESS ? ERROR_GEN_FAILURE : error;
}

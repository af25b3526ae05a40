#include "ui/shell_open.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <memory>
#include <string>

void ShellOpen(const char* file, const char* parameters)
{
    ShellExecuteA(nullptr, nullptr, file, parameters, nullptr, SW_SHOWNORMAL);
}

void ShellOpen(const wchar_t* file, const wchar_t* parameters)
{
    ShellExecuteW(nullptr, nullptr, file, parameters, nullptr, SW_SHOWNORMAL);
}

namespace {

void ShowInFolderNow(const std::wstring& path)
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

// The thread of one ShowInFolder, given the path made with new (it deletes
// it), in a COM apartment of its own.
DWORD WINAPI ShowInFolderThread(void* parameter)
{
    const std::unique_ptr<std::wstring> path(static_cast<std::wstring*>(parameter));
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    try {
        ShowInFolderNow(*path);
    } catch (...) {
        // Out of memory: nothing is opened.
    }
    if (SUCCEEDED(com))
        CoUninitialize();
    return 0;
}

}  // namespace

void ShowInFolder(const std::wstring& path)
{
    auto* copy = new std::wstring(path);
    HANDLE thread = CreateThread(nullptr, 0, ShowInFolderThread, copy, 0, nullptr);
    if (thread != nullptr) {
        CloseHandle(thread);
        return;
    }
    delete copy;
    ShowInFolderNow(path);
}

int(__stdcall* shellExecuteEx)(_SHELLEXECUTEINFOW* info) = ShellExecuteExW;

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
    if (shellExecuteEx(&run))
        return ERROR_SUCCESS;
    const DWORD error = GetLastError();
    return error == ERROR_SUCCESS ? ERROR_GEN_FAILURE : error;
}

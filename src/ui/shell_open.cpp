#include "ui/shell_open.h"

#include <windows.h>
#include <shellapi.h>

void ShellOpen(const char* file, const char* parameters)
{
    ShellExecuteA(nullptr, nullptr, file, parameters, nullptr, SW_SHOWNORMAL);
}

void ShellOpen(const wchar_t* file, const wchar_t* parameters)
{
    ShellExecuteW(nullptr, nullptr, file, parameters, nullptr, SW_SHOWNORMAL);
}

// What Restart as Administrator asks of the shell: the "runas" verb, which
// makes Windows ask for an administrator's consent, with the program, its
// arguments and the folder it starts in; and what becomes of a refusal.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <string>

#include "ui/shell_open.h"

namespace {

struct Asked {
    std::wstring verb, file, parameters, directory;
    int show = 0;
};
Asked asked;
DWORD refusal = ERROR_SUCCESS;

int __stdcall RecordingShell(SHELLEXECUTEINFOW* info)
{
    asked.verb = info->lpVerb != nullptr ? info->lpVerb : L"<none>";
    asked.file = info->lpFile != nullptr ? info->lpFile : L"<none>";
    asked.parameters = info->lpParameters != nullptr ? info->lpParameters : L"<none>";
    asked.directory = info->lpDirectory != nullptr ? info->lpDirectory : L"<none>";
    asked.show = info->nShow;
    if (refusal == ERROR_SUCCESS)
        return TRUE;
    SetLastError(refusal);
    return FALSE;
}

TEST(ShellRunAsAdministrator, AsksTheShellForRunasWithTheProgramItsArgumentsAndItsFolder)
{
    auto* const real = shellExecuteEx;
    shellExecuteEx = RecordingShell;
    const std::wstring program = L"C:\\Programme\\Dünewright 写真\\Dunewright.exe";
    const std::wstring folder = L"\"D:\\Łódź data\\\\\"";
    const std::wstring current = L"C:\\Users\\李明\\Documents";

    refusal = ERROR_SUCCESS;
    EXPECT_EQ(ShellRunAsAdministrator(program, folder, current), static_cast<unsigned long>(ERROR_SUCCESS));
    EXPECT_EQ(asked.verb, L"runas");
    EXPECT_EQ(asked.file, program);
    EXPECT_EQ(asked.parameters, folder);
    EXPECT_EQ(asked.directory, current);
    EXPECT_EQ(asked.show, SW_SHOWNORMAL);

    // Declined at the consent prompt, and refused for another reason.
    refusal = ERROR_CANCELLED;
    EXPECT_EQ(ShellRunAsAdministrator(program, folder, current), static_cast<unsigned long>(ERROR_CANCELLED));
    refusal = ERROR_FILE_NOT_FOUND;
    EXPECT_EQ(ShellRunAsAdministrator(program, folder, current), static_cast<unsigned long>(ERROR_FILE_NOT_FOUND));
    shellExecuteEx = real;
}

}  // namespace

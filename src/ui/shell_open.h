#pragma once

// Every shell open of the program goes through here: ShellExecute with no
// owner, the default verb, no directory and SW_SHOWNORMAL. The result is
// not examined.
void ShellOpen(const char* file, const char* parameters);
// The same for a file or parameters that hold a path: handed on whole, as
// UTF-16.
void ShellOpen(const wchar_t* file, const wchar_t* parameters);

#include <string>

// Opens the folder of the file or folder at `path` (whole, UTF-16) in
// Explorer with it selected: SHOpenFolderAndSelectItems, or, where the
// shell cannot (a path it does not parse, a system whose shell serves no
// folder windows), Explorer started with "/select," and the quoted path, as
// ShellOpen starts it. The shell may take seconds to answer (Wine's takes
// three to ten to refuse), so this runs on a thread of its own, in a COM
// apartment of its own, and returns at once; on the calling thread only
// when no thread can be made. Throws std::bad_alloc.
void ShowInFolder(const std::wstring& path);

// Starts `file` with the "runas" verb (the system asks for an
// administrator's consent), with `parameters`, in `directory`; the
// system's error code, ERROR_SUCCESS once it is started (ERROR_CANCELLED
// when the user declined).
unsigned long ShellRunAsAdministrator(const std::wstring& file, const std::wstring& parameters,
                                      const std::wstring& directory);

struct _SHELLEXECUTEINFOW;
// The shell call ShellRunAsAdministrator makes (ShellExecuteExW); tests put
// their own here to see what the shell would be asked.
extern int(__stdcall* shellExecuteEx)(_SHELLEXECUTEINFOW* info);

#include "links/link_files.h"

#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cstdio>
#include <cstring>

#include "app/handles.h"
#include "app/version.h"
#include "settings/options.h"
#include "ui/message_box.h"

namespace {

// Folders of MAX_PATH characters or more are not handed to the narrow
// path functions at all; no shortcut would fit into them anyway.
bool IsDirectory(const char* path)
{
    const size_t length = std::strlen(path);
    return length > 0 && length < MAX_PATH && PathIsDirectoryA(path);
}

bool ToWide(const char* text, wchar_t* wide)
{
    return MultiByteToWideChar(CP_ACP, 0, text, -1, wide, linkPathSize) != 0;
}

bool CreateShellLink(ComPtr<IShellLinkA>& link, ComPtr<IPersistFile>& file)
{
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.put())) ||
        !link)
        return false;
    return SUCCEEDED(link->QueryInterface(IID_IPersistFile, file.put())) && file;
}

// Loads the link file into `link`: its folder exists, the file opens, and
// the link object accepts it.
bool LoadShellLink(const char* linkPath, ComPtr<IShellLinkA>& link)
{
    char folder[linkPathSize];
    CopyText(folder, linkPath, sizeof folder);
    PathRemoveFileSpecA(folder);
    if (!IsDirectory(folder))
        return false;
    HANDLE handle = CreateFileA(linkPath, 0, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(handle);

    wchar_t wide[linkPathSize];
    if (!ToWide(linkPath, wide))
        return false;
    ComPtr<IPersistFile> file;
    if (!CreateShellLink(link, file))
        return false;
    return SUCCEEDED(file->Load(wide, STGM_READ));
}

// The target path of a loaded link into `target` (linkPathSize characters);
// empty, and false, when the link object cannot give it.
bool TargetOf(IShellLinkA* link, char* target)
{
    if (FAILED(link->GetPath(target, linkPathSize, nullptr, 0))) {
        target[0] = '\0';
        return false;
    }
    target[linkPathSize - 1] = '\0';
    return true;
}

}  // namespace

void GetProgramPath(char* path)
{
    const DWORD length = GetModuleFileNameA(GetModuleHandleA(nullptr), path, linkPathSize);
    path[length < static_cast<DWORD>(linkPathSize) ? length : linkPathSize - 1] = '\0';
}

bool LinkLoads(const char* linkPath)
{
    ComPtr<IShellLinkA> link;
    return LoadShellLink(linkPath, link);
}

bool ReadLinkTarget(const char* linkPath, char* target)
{
    target[0] = '\0';
    ComPtr<IShellLinkA> link;
    return LoadShellLink(linkPath, link) && TargetOf(link.get(), target);
}

bool LinkPointsHere(const char* linkPath)
{
    char target[linkPathSize];
    if (!ReadLinkTarget(linkPath, target))
        return false;
    char programPath[linkPathSize];
    GetProgramPath(programPath);
    return std::strcmp(target, programPath) == 0;
}

bool WriteProgramLink(const char* linkPath)
{
    char programPath[linkPathSize];
    char programFolder[linkPathSize];
    GetProgramPath(programPath);
    ProgramFolderOf(programPath, programFolder);
    wchar_t wide[linkPathSize];
    if (!ToWide(linkPath, wide))
        return false;

    ComPtr<IShellLinkA> link;
    ComPtr<IPersistFile> file;
    return CreateShellLink(link, file) && SUCCEEDED(link->SetPath(programPath)) &&
           SUCCEEDED(link->SetWorkingDirectory(programFolder)) &&
           SUCCEEDED(link->SetIconLocation(programPath, 0)) && SUCCEEDED(link->SetDescription(AppVersion)) &&
           SUCCEEDED(file->Save(wide, TRUE));
}

void CreateLink(HWND owner, const char* folder)
{
    if (folder[0] == '\0')
        return;
    char linkPath[linkPathSize];
    // A folder whose shortcut path would be too long for the file functions
    // gets the same refusal as a missing one.
    if (!IsDirectory(folder) || !FormLinkPath(folder, linkPath)) {
        char text[linkPathSize + 64];
        std::snprintf(text, sizeof text, "'%s' is not a valid directory name. [Create Link]", folder);
        ShowMessage(owner, text, MB_ICONWARNING);
        return;
    }
    // The existing link is loaded once; a target it cannot give counts as
    // empty, which is never this program.
    ComPtr<IShellLinkA> existing;
    if (LoadShellLink(linkPath, existing)) {
        char target[linkPathSize];
        TargetOf(existing.get(), target);
        existing.Release();
        char programPath[linkPathSize];
        GetProgramPath(programPath);
        if (std::strcmp(target, programPath) != 0) {
            char question[2 * linkPathSize + 64];
            std::snprintf(question, sizeof question, "The link '%s' already exists. It links to '%s'.\n\nOverwrite?",
                          linkPath, target);
            if (ShowMessage(nullptr, question, MB_YESNO | MB_ICONQUESTION) != IDYES)
                return;
        }
    }
    if (!WriteProgramLink(linkPath))
        ShowMessage(nullptr, "Error creating link.", MB_ICONWARNING);
}

void DeleteLink(const char* folder)
{
    char linkPath[linkPathSize];
    if (!IsDirectory(folder) || !FormLinkPath(folder, linkPath))
        return;
    DeleteFileA(linkPath);
}

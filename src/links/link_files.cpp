#include "links/link_files.h"

#include <objbase.h>
#include <shlobj.h>

#include <string_view>

#include "base/code_page_text.h"
#include "base/handles.h"
#include "base/version.h"
#include "base/wide_path.h"
#include "links/link_paths.h"

namespace {

// The longest path the link object can give back, and its terminator.
constexpr size_t kTargetUnits = 32768;

bool CreateShellLink(ComPtr<IShellLinkW>& link, ComPtr<IPersistFile>& file)
{
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put())) ||
        !link)
        return false;
    return SUCCEEDED(link->QueryInterface(IID_IPersistFile, file.put())) && file;
}

// Loads the link file into `link`: its folder exists, the file opens, and
// the link object accepts it.
bool LoadShellLink(const std::wstring& linkPath, ComPtr<IShellLinkW>& link)
{
    if (!IsExistingFolder(FolderOf(linkPath)))
        return false;
    HANDLE handle = CreateFileW(ExtendedPath(linkPath).c_str(), 0, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(handle);

    ComPtr<IPersistFile> file;
    if (!CreateShellLink(link, file))
        return false;
    return SUCCEEDED(file->Load(linkPath.c_str(), STGM_READ));
}

// The target path of the link's item list, whole; empty when it has none.
std::wstring ItemListPath(IShellLinkW* link)
{
    PIDLIST_ABSOLUTE items = nullptr;
    if (FAILED(link->GetIDList(&items)) || items == nullptr)
        return std::wstring();
    std::wstring path(kTargetUnits, L'\0');
    const bool found = SHGetPathFromIDListEx(items, path.data(), static_cast<DWORD>(kTargetUnits), GPFIDL_DEFAULT);
    CoTaskMemFree(items);
    if (!found)
        return std::wstring();
    path.resize(path.find(L'\0') == std::wstring::npos ? kTargetUnits - 1 : path.find(L'\0'));
    return path;
}

// True when a path holds a '?' after any "\\?\" prefix: no file name has
// one, so a character was lost to the code page on the way.
bool LostCharacters(std::wstring_view path)
{
    if (path.substr(0, 4) == L"\\\\?\\")
        path.remove_prefix(4);
    return path.find(L'?') != std::wstring_view::npos;
}

// The target path of a loaded link; empty, and false, when the link object
// cannot give it. Some shells give the path through the code page, and a
// name outside it with '?'; the link's item list then gives it whole.
bool TargetOf(IShellLinkW* link, std::wstring& target)
{
    target.assign(kTargetUnits, L'\0');
    if (FAILED(link->GetPath(target.data(), static_cast<int>(kTargetUnits), nullptr, 0))) {
        target.clear();
        return false;
    }
    const size_t end = target.find(L'\0');
    target.resize(end == std::wstring::npos ? kTargetUnits - 1 : end);
    if (LostCharacters(target)) {
        std::wstring whole = ItemListPath(link);
        if (!whole.empty())
            target = std::move(whole);
    }
    return true;
}

}  // namespace

bool IsExistingFolder(const std::wstring& folder)
{
    if (folder.empty())
        return false;
    const DWORD attributes = GetFileAttributesW(ExtendedPath(folder).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool LinkLoads(const std::wstring& linkPath)
{
    ComPtr<IShellLinkW> link;
    return LoadShellLink(linkPath, link);
}

bool ReadLinkTarget(const std::wstring& linkPath, std::wstring& target)
{
    target.clear();
    ComPtr<IShellLinkW> link;
    return LoadShellLink(linkPath, link) && TargetOf(link.get(), target);
}

bool LinkPointsHere(const std::wstring& linkPath)
{
    std::wstring target;
    return ReadLinkTarget(linkPath, target) && target == ModulePath();
}

bool WriteProgramLink(const std::wstring& linkPath)
{
    const std::wstring programPath = ModulePath();
    const std::wstring programFolder = ProgramFolderOf(programPath);
    const std::wstring description = FromCodePage(AppVersion);

    ComPtr<IShellLinkW> link;
    ComPtr<IPersistFile> file;
    return CreateShellLink(link, file) && SUCCEEDED(link->SetPath(programPath.c_str())) &&
           SUCCEEDED(link->SetWorkingDirectory(programFolder.c_str())) &&
           SUCCEEDED(link->SetIconLocation(programPath.c_str(), 0)) &&
           SUCCEEDED(link->SetDescription(description.c_str())) && SUCCEEDED(file->Save(linkPath.c_str(), TRUE));
}

LinkPlan PlanLink(const std::wstring& folder)
{
    LinkPlan plan;
    if (folder.empty())
        return plan;
    // A folder whose shortcut path would be too long for the link files
    // gets the same refusal as a missing one.
    plan.linkPath = FormLinkPath(folder);
    if (!IsExistingFolder(folder) || plan.linkPath.empty()) {
        plan.step = LinkPlan::Step::NotADirectory;
        return plan;
    }
    plan.step = LinkPlan::Step::Write;
    // The existing link is loaded once; a target it cannot give counts as
    // empty, which is never this program.
    ComPtr<IShellLinkW> existing;
    if (LoadShellLink(plan.linkPath, existing)) {
        std::wstring target;
        TargetOf(existing.get(), target);
        if (target != ModulePath()) {
            plan.step = LinkPlan::Step::AskOverwrite;
            plan.otherTarget = std::move(target);
        }
    }
    return plan;
}

void DeleteLink(const std::wstring& folder)
{
    const std::wstring linkPath = FormLinkPath(folder);
    if (!IsExistingFolder(folder) || linkPath.empty())
        return;
    DeleteFileW(ExtendedPath(linkPath).c_str());
}

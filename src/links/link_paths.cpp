#include "links/link_paths.h"

std::wstring ComposeQuickLaunchPath(std::wstring_view appData, size_t cut)
{
    std::wstring path(appData.substr(0, cut));
    // Unlike PathAddBackslash this also adds the backslash to a value of
    // 259 characters; without it the tail would be glued to the last name.
    if (!path.empty() && path.back() != L'\\')
        path += L'\\';
    path += quickLaunchTail;
    return path;
}

std::wstring FormLinkPath(std::wstring_view folder)
{
    if (folder.empty())
        return std::wstring();
    const bool needsBackslash = folder.back() != L'\\';
    const size_t nameLength = std::wstring_view(linkFileName).size();
    if (folder.size() + (needsBackslash ? 1 : 0) + nameLength > longestLinkPath)
        return std::wstring();
    std::wstring linkPath(folder);
    if (needsBackslash)
        linkPath += L'\\';
    linkPath += linkFileName;
    return linkPath;
}

std::wstring ProgramFolderOf(std::wstring_view programPath)
{
    const size_t last = programPath.rfind(L'\\');
    return last == std::wstring_view::npos ? std::wstring() : std::wstring(programPath.substr(0, last));
}

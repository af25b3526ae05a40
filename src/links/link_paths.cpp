#include "links/link_paths.h"

#include <cstring>
#include <string_view>

#include "app/code_page_text.h"

namespace {

constexpr size_t kTailLength = sizeof quickLaunchTail - 1;
constexpr size_t kNameLength = sizeof linkFileName - 1;

}  // namespace

void ComposeQuickLaunchPath(const char* appData, int cut, char* path)
{
    // Room is left for the backslash, the tail and the terminator whatever
    // the cut asks for.
    const size_t room = linkPathSize - 2 - kTailLength;
    size_t length = std::strlen(appData);
    if (cut >= 0 && length > static_cast<size_t>(cut))
        length = static_cast<size_t>(cut);
    if (length > room)
        length = room;
    std::memcpy(path, appData, length);
    // Unlike PathAddBackslashA this also adds the backslash to a value of
    // 259 characters; without it the tail would be glued to the last name.
    if (length > 0 && !EndsInBackslash(std::string_view(path, length)))
        path[length++] = '\\';
    std::memcpy(path + length, quickLaunchTail, kTailLength + 1);
}

bool FormLinkPath(const char* folder, char* linkPath)
{
    linkPath[0] = '\0';
    size_t length = std::strlen(folder);
    if (length == 0)
        return false;
    const bool needsBackslash = !EndsInBackslash(std::string_view(folder, length));
    if (length + (needsBackslash ? 1 : 0) + kNameLength > static_cast<size_t>(longestLinkPath))
        return false;
    std::memcpy(linkPath, folder, length);
    if (needsBackslash)
        linkPath[length++] = '\\';
    std::memcpy(linkPath + length, linkFileName, kNameLength + 1);
    return true;
}

void ProgramFolderOf(const char* programPath, char* folder)
{
    const size_t last = LastBackslash(programPath);
    size_t length = last == std::string_view::npos ? 0 : last;
    if (length > static_cast<size_t>(linkPathSize - 1))
        length = linkPathSize - 1;
    std::memcpy(folder, programPath, length);
    folder[length] = '\0';
}

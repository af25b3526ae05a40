// Quick Launch folders, shortcut paths and the program's folder.
#include <gtest/gtest.h>

#include <string>

#include "links/link_paths.h"

namespace {

// The paths are UTF-16; these tests spell them in ASCII, plus one test in
// other scripts.
const std::string kTail = "Microsoft\\Internet Explorer\\Quick Launch";

std::wstring Wide(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

std::string Narrow(const std::wstring& text)
{
    std::string narrow;
    for (wchar_t c : text)
        narrow += c < 0x80 ? static_cast<char>(c) : '#';
    return narrow;
}

std::string QuickLaunch(const std::string& appData, size_t cut)
{
    return Narrow(ComposeQuickLaunchPath(Wide(appData), cut));
}

std::string LinkPath(const std::string& folder, bool* formed = nullptr)
{
    const std::wstring path = FormLinkPath(Wide(folder));
    if (formed)
        *formed = !path.empty();
    return Narrow(path);
}

std::string FolderOf(const std::string& program)
{
    return Narrow(ProgramFolderOf(Wide(program)));
}

TEST(LinkPaths, QuickLaunchFolderAddsOneBackslashAndTheTail)
{
    EXPECT_EQ(QuickLaunch("C:\\Users\\u\\AppData\\Roaming", 218),
              "C:\\Users\\u\\AppData\\Roaming\\Microsoft\\Internet Explorer\\Quick Launch");
    EXPECT_EQ(QuickLaunch("C:\\Users\\u\\AppData\\Roaming\\", 218),
              "C:\\Users\\u\\AppData\\Roaming\\Microsoft\\Internet Explorer\\Quick Launch");
    EXPECT_EQ(QuickLaunch("C:\\ProgramData\\", 260), "C:\\ProgramData\\" + kTail);
}

TEST(LinkPaths, QuickLaunchCutKeepsTheUserPathWithin259Characters)
{
    const std::string value = "C:\\" + std::string(227, 'a');  // 230 characters
    const std::string path = QuickLaunch(value, 218);
    EXPECT_EQ(path, value.substr(0, 218) + "\\" + kTail);
    EXPECT_EQ(path.size(), 259u);

    // A cut that falls just after a backslash adds no second one.
    const std::string slashed = std::string(217, 'b') + "\\" + "rest";
    EXPECT_EQ(QuickLaunch(slashed, 218), slashed.substr(0, 218) + kTail);
}

// Lengths are counted in UTF-16 units, whatever the script: a profile
// folder named outside the code page is cut and joined like any other.
TEST(LinkPaths, PathsInAnyScriptAreCountedInUtf16Units)
{
    const std::wstring appData = L"C:\\users\\\u674e\u660e\\AppData\\Roaming";  // 李明
    EXPECT_EQ(ComposeQuickLaunchPath(appData, 218), appData + L"\\" + quickLaunchTail);
    const std::wstring value230 = L"C:\\" + std::wstring(227, L'\u674e');
    EXPECT_EQ(ComposeQuickLaunchPath(value230, 218).size(), 259u);

    const std::wstring desktop = L"C:\\users\\\u674e\u660e\\Desktop";
    EXPECT_EQ(FormLinkPath(desktop), desktop + L"\\Dunewright [BrackenmoorWorks].lnk");
    const std::wstring fits = L"C:\\" + std::wstring(222, L'\u0141');
    EXPECT_EQ(FormLinkPath(fits).size(), 259u);
    EXPECT_EQ(FormLinkPath(fits + L"\u0141"), L"");
    EXPECT_EQ(ProgramFolderOf(L"C:\\\u5199\u771f\\Dunewright.exe"), L"C:\\\u5199\u771f");
}

TEST(LinkPaths, LongMachineAppDataIsKeptWhole)
{
    const std::string value250 = "C:\\" + std::string(247, 'c');
    const std::string path = QuickLaunch(value250, 260);
    EXPECT_EQ(path.size(), 291u);
    EXPECT_EQ(path, value250 + "\\" + kTail);

    // The longest value a 260-unit read can deliver still gets its backslash.
    const std::string value260 = "C:\\" + std::string(257, 'd');
    EXPECT_EQ(QuickLaunch(value260, 260), value260 + "\\" + kTail);
    EXPECT_EQ(QuickLaunch(value260, 260).size(), 301u);
}

TEST(LinkPaths, LinkPathJoinsFolderAndName)
{
    EXPECT_EQ(LinkPath("C:\\Users\\u\\Desktop"), "C:\\Users\\u\\Desktop\\Dunewright [BrackenmoorWorks].lnk");
    EXPECT_EQ(LinkPath("C:\\Users\\u\\Desktop\\"), "C:\\Users\\u\\Desktop\\Dunewright [BrackenmoorWorks].lnk");
    EXPECT_EQ(LinkPath("D:\\"), "D:\\Dunewright [BrackenmoorWorks].lnk");
}

TEST(LinkPaths, LinkPathRefusesEmptyAndOverlongFolders)
{
    bool formed = true;
    EXPECT_EQ(LinkPath("", &formed), "");
    EXPECT_FALSE(formed);

    // 225 characters + backslash + 33-character name = 259: still fits.
    const std::string fits = "C:\\" + std::string(222, 'e');
    EXPECT_EQ(LinkPath(fits, &formed).size(), 259u);
    EXPECT_TRUE(formed);
    // One more character would need 260.
    EXPECT_EQ(LinkPath(fits + "e", &formed), "");
    EXPECT_FALSE(formed);
    // The same folder written with its backslash fits again only if it
    // needs none added.
    EXPECT_EQ(LinkPath(fits + "\\", &formed).size(), 259u);
    EXPECT_TRUE(formed);
    // A Quick Launch folder of 300 characters is refused, not overrun.
    EXPECT_EQ(LinkPath(std::string(300, 'f'), &formed), "");
    EXPECT_FALSE(formed);
}

TEST(LinkPaths, ProgramFolderDropsTheFileNameAndItsBackslash)
{
    EXPECT_EQ(FolderOf("X:\\Tools\\prog.exe"), "X:\\Tools");
    EXPECT_EQ(FolderOf("X:\\prog.exe"), "X:");
    EXPECT_EQ(FolderOf("prog.exe"), "");
    EXPECT_EQ(FolderOf("\\\\server\\share\\a b\\Dunewright.exe"), "\\\\server\\share\\a b");
}

}  // namespace

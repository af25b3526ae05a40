// Quick Launch folders, shortcut paths and the program's folder.
#include <gtest/gtest.h>

#include <string>

#include "links/link_paths.h"

namespace {

const std::string kTail = "Microsoft\\Internet Explorer\\Quick Launch";

std::string QuickLaunch(const std::string& appData, int cut)
{
    char path[linkPathSize];
    ComposeQuickLaunchPath(appData.c_str(), cut, path);
    return path;
}

std::string LinkPath(const std::string& folder, bool* formed = nullptr)
{
    char path[linkPathSize];
    path[0] = 'x';
    const bool ok = FormLinkPath(folder.c_str(), path);
    if (formed)
        *formed = ok;
    return path;
}

std::string FolderOf(const std::string& program)
{
    char folder[linkPathSize];
    ProgramFolderOf(program.c_str(), folder);
    return folder;
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

TEST(LinkPaths, LongMachineAppDataIsKeptWhole)
{
    const std::string value250 = "C:\\" + std::string(247, 'c');
    const std::string path = QuickLaunch(value250, 260);
    EXPECT_EQ(path.size(), 291u);
    EXPECT_EQ(path, value250 + "\\" + kTail);

    // The longest value a 260-byte read can deliver still gets its backslash.
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

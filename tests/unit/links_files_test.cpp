// Shortcut files through the shell's link object, in a folder of the test's
// own. The program here is the test executable itself.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "links/link_files.h"

namespace {

class LinkFilesTest : public testing::Test {
protected:
    void SetUp() override
    {
        CoInitialize(nullptr);
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        folder_ = std::string(temp) + "dw-linkfiles-" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(folder_.c_str(), nullptr);
        link_ = folder_ + "\\Dunewright [BrackenmoorWorks].lnk";
        char program[linkPathSize];
        GetProgramPath(program);
        program_ = program;
    }

    void TearDown() override
    {
        DeleteFileA(link_.c_str());
        DeleteFileA((folder_ + "\\other.exe").c_str());
        RemoveDirectoryA(folder_.c_str());
        CoUninitialize();
    }

    // Writes a shortcut to `target` the way another program would.
    void WriteForeignLink(const std::string& target)
    {
        IShellLinkA* link = nullptr;
        ASSERT_HRESULT_SUCCEEDED(
            CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void**)&link));
        IPersistFile* file = nullptr;
        ASSERT_HRESULT_SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void**)&file));
        link->SetPath(target.c_str());
        wchar_t wide[MAX_PATH];
        MultiByteToWideChar(CP_ACP, 0, link_.c_str(), -1, wide, MAX_PATH);
        EXPECT_HRESULT_SUCCEEDED(file->Save(wide, TRUE));
        file->Release();
        link->Release();
    }

    std::string Target()
    {
        char target[linkPathSize] = "unchanged";
        return ReadLinkTarget(link_.c_str(), target) ? std::string(target) : "<no link>";
    }

    static bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

    std::string folder_, link_, program_;
};

TEST_F(LinkFilesTest, AProgramLinkLoadsAndPointsHere)
{
    EXPECT_FALSE(LinkLoads(link_.c_str()));
    EXPECT_FALSE(LinkPointsHere(link_.c_str()));
    ASSERT_TRUE(WriteProgramLink(link_.c_str()));
    EXPECT_TRUE(LinkLoads(link_.c_str()));
    EXPECT_EQ(Target(), program_);
    EXPECT_TRUE(LinkPointsHere(link_.c_str()));
}

TEST_F(LinkFilesTest, ALinkElsewhereDoesNotPointHere)
{
    const std::string other = folder_ + "\\other.exe";
    HANDLE file = CreateFileA(other.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    WriteForeignLink(other);
    EXPECT_TRUE(LinkLoads(link_.c_str()));
    EXPECT_EQ(Target(), other);
    EXPECT_FALSE(LinkPointsHere(link_.c_str()));

    // Rewriting it makes it the program's.
    ASSERT_TRUE(WriteProgramLink(link_.c_str()));
    EXPECT_TRUE(LinkPointsHere(link_.c_str()));
}

TEST_F(LinkFilesTest, FilesThatAreNotLinksAndMissingFoldersDoNotLoad)
{
    HANDLE file = CreateFileA(link_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, "not a shortcut", 14, &written, nullptr);
    CloseHandle(file);
    EXPECT_FALSE(LinkLoads(link_.c_str()));
    EXPECT_EQ(Target(), "<no link>");
    EXPECT_FALSE(LinkPointsHere(link_.c_str()));
    // The file is replaced by a real shortcut.
    ASSERT_TRUE(WriteProgramLink(link_.c_str()));
    EXPECT_TRUE(LinkPointsHere(link_.c_str()));

    const std::string elsewhere = folder_ + "\\missing\\Dunewright [BrackenmoorWorks].lnk";
    EXPECT_FALSE(LinkLoads(elsewhere.c_str()));
    EXPECT_FALSE(LinkPointsHere(elsewhere.c_str()));
    EXPECT_FALSE(WriteProgramLink(elsewhere.c_str()));
}

TEST_F(LinkFilesTest, DeleteRemovesTheLinkOnlyFromAnExistingFolder)
{
    ASSERT_TRUE(WriteProgramLink(link_.c_str()));
    DeleteLink("");
    DeleteLink((folder_ + "\\missing").c_str());
    EXPECT_TRUE(Exists(link_));
    DeleteLink(folder_.c_str());
    EXPECT_FALSE(Exists(link_));
    // Nothing there: still quiet.
    DeleteLink((folder_ + "\\").c_str());
    EXPECT_FALSE(Exists(link_));
}

TEST_F(LinkFilesTest, ALinkToThisProgramInAnotherCaseDoesNotPointHere)
{
    std::string upper = program_;
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
    ASSERT_NE(upper, program_);
    WriteForeignLink(upper);
    ASSERT_TRUE(LinkLoads(link_.c_str()));
    EXPECT_EQ(Target(), upper);
    EXPECT_FALSE(LinkPointsHere(link_.c_str()));
}

}  // namespace

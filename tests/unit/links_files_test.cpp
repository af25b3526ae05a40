// Shortcut files through the shell's link object, in a folder of the test's
// own, named outside the code page (a user 李明 on a Western Windows). The
// program here is the test executable itself.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <cwctype>
#include <string>

#include "base/wide_path.h"
#include "links/link_files.h"

namespace {

class LinkFilesTest : public testing::Test {
protected:
    void SetUp() override
    {
        CoInitialize(nullptr);
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        folder_ = std::wstring(temp) + L"dw-linkfiles-\u674e\u660e-" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(folder_.c_str(), nullptr);
        link_ = folder_ + L"\\Dunewright [BrackenmoorWorks].lnk";
        program_ = ModulePath();
    }

    void TearDown() override
    {
        DeleteFileW(link_.c_str());
        DeleteFileW((folder_ + L"\\other.exe").c_str());
        RemoveDirectoryW(folder_.c_str());
        CoUninitialize();
    }

    // Writes a shortcut to `target` the way another program would.
    void WriteForeignLink(const std::wstring& target)
    {
        IShellLinkW* link = nullptr;
        ASSERT_HRESULT_SUCCEEDED(
            CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, (void**)&link));
        IPersistFile* file = nullptr;
        ASSERT_HRESULT_SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void**)&file));
        link->SetPath(target.c_str());
        EXPECT_HRESULT_SUCCEEDED(file->Save(link_.c_str(), TRUE));
        file->Release();
        link->Release();
    }

    std::wstring Target()
    {
        std::wstring target = L"unchanged";
        return ReadLinkTarget(link_, target) ? target : L"<no link>";
    }

    static bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

    std::wstring folder_, link_, program_;
};

TEST_F(LinkFilesTest, AProgramLinkLoadsAndPointsHere)
{
    EXPECT_FALSE(LinkLoads(link_));
    EXPECT_FALSE(LinkPointsHere(link_));
    ASSERT_TRUE(WriteProgramLink(link_));
    EXPECT_TRUE(LinkLoads(link_));
    EXPECT_EQ(Target(), program_);
    EXPECT_TRUE(LinkPointsHere(link_));
}

TEST_F(LinkFilesTest, ALinkElsewhereDoesNotPointHere)
{
    const std::wstring other = folder_ + L"\\other.exe";
    HANDLE file = CreateFileW(other.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    WriteForeignLink(other);
    EXPECT_TRUE(LinkLoads(link_));
    EXPECT_EQ(Target(), other);
    EXPECT_FALSE(LinkPointsHere(link_));

    // Rewriting it makes it the program's.
    ASSERT_TRUE(WriteProgramLink(link_));
    EXPECT_TRUE(LinkPointsHere(link_));
}

TEST_F(LinkFilesTest, FilesThatAreNotLinksAndMissingFoldersDoNotLoad)
{
    HANDLE file = CreateFileW(link_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, "not a shortcut", 14, &written, nullptr);
    CloseHandle(file);
    EXPECT_FALSE(LinkLoads(link_));
    EXPECT_EQ(Target(), L"<no link>");
    EXPECT_FALSE(LinkPointsHere(link_));
    // The file is replaced by a real shortcut.
    ASSERT_TRUE(WriteProgramLink(link_));
    EXPECT_TRUE(LinkPointsHere(link_));

    const std::wstring elsewhere = folder_ + L"\\missing\\Dunewright [BrackenmoorWorks].lnk";
    EXPECT_FALSE(LinkLoads(elsewhere));
    EXPECT_FALSE(LinkPointsHere(elsewhere));
    EXPECT_FALSE(WriteProgramLink(elsewhere));
}

TEST_F(LinkFilesTest, DeleteRemovesTheLinkOnlyFromAnExistingFolder)
{
    ASSERT_TRUE(WriteProgramLink(link_));
    DeleteLink(L"");
    DeleteLink(folder_ + L"\\missing");
    EXPECT_TRUE(Exists(link_));
    DeleteLink(folder_);
    EXPECT_FALSE(Exists(link_));
    // Nothing there: still quiet.
    DeleteLink(folder_ + L"\\");
    EXPECT_FALSE(Exists(link_));
}

TEST_F(LinkFilesTest, ALinkToThisProgramInAnotherCaseDoesNotPointHere)
{
    std::wstring upper = program_;
    std::transform(upper.begin(), upper.end(), upper.begin(), [](wchar_t c) { return std::towupper(c); });
    ASSERT_NE(upper, program_);
    WriteForeignLink(upper);
    ASSERT_TRUE(LinkLoads(link_));
    EXPECT_EQ(Target(), upper);
    EXPECT_FALSE(LinkPointsHere(link_));
}

// What making the shortcut takes is found before anything is written, so
// the Links dialog can ask and tell.
TEST_F(LinkFilesTest, APlanSaysWhatMakingTheShortcutTakes)
{
    EXPECT_EQ(PlanLink(L"").step, LinkPlan::Step::Nothing);
    EXPECT_EQ(PlanLink(folder_ + L"\\missing").step, LinkPlan::Step::NotADirectory);
    EXPECT_EQ(PlanLink(folder_ + L"\\" + std::wstring(240, L'\u674e')).step, LinkPlan::Step::NotADirectory);

    LinkPlan plan = PlanLink(folder_);
    EXPECT_EQ(plan.step, LinkPlan::Step::Write);
    EXPECT_EQ(plan.linkPath, link_);
    ASSERT_TRUE(WriteProgramLink(plan.linkPath));
    EXPECT_EQ(PlanLink(folder_ + L"\\").step, LinkPlan::Step::Write) << "a shortcut here is rewritten";

    const std::wstring other = folder_ + L"\\other.exe";
    WriteForeignLink(other);
    plan = PlanLink(folder_);
    EXPECT_EQ(plan.step, LinkPlan::Step::AskOverwrite);
    EXPECT_EQ(plan.otherTarget, other);
    EXPECT_TRUE(LinkLoads(link_)) << "planning writes nothing";
    EXPECT_FALSE(LinkPointsHere(link_));
}

}  // namespace

// The scan at its limits, through the real program: more than 32,000 rows,
// and folder chains deeper than the platform's old path limit.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "driver.h"

namespace {

using dw::Dunewright;

constexpr LONGLONG MB = 1048576;

// Go on `folder` with the size filter switched off in the Scan Options
// dialog, so that every folder becomes a row.
bool GoWithoutSizeFilter(Dunewright& program, const std::string& folder)
{
    program.SetText(IDC_MAIN_FOLDER, folder);
    program.Command(IDC_MAIN_GO);
    HWND options = program.WaitDialog("Scan Options - BRACKENMOORWORKS");
    if (options == nullptr)
        return false;
    program.SetChecked(options, IDC_SCANOPT_LIMIT_SIZE, false);
    program.CommandTo(options, IDOK);
    return dw::WaitUntil([&] { return !IsWindow(options); });
}

// Folders and sparse-sized files at any depth: the "\\?\" form lets Wine
// go past the 260-character limit, as Linux does.
std::wstring LongForm(const std::string& path)
{
    const std::string whole = "\\\\?\\" + path;
    std::wstring wide(whole.size(), L'\0');
    const int length = MultiByteToWideChar(CP_ACP, 0, whole.data(), static_cast<int>(whole.size()), wide.data(),
                                           static_cast<int>(wide.size()));
    wide.resize(length > 0 ? static_cast<size_t>(length) : 0);
    return wide;
}

bool MakeFolder(const std::string& path)
{
    return CreateDirectoryW(LongForm(path).c_str(), nullptr) != 0;
}

bool MakeFile(const std::string& path, LONGLONG size)
{
    HANDLE file = CreateFileW(LongForm(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER end;
    end.QuadPart = size;
    const bool sized = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    return sized;
}

TEST(ScanLimits, MoreThan32000RowsAreAllListedWithoutAWarning)
{
    dw::ClearSettings();
    const std::string root = dw::MakeTempDir("overflow");
    // 200 folders of 160 empty folders each: 32,201 folders with the start
    // folder. (Wine looks through a folder's names when it creates one in
    // it, so a few hundred per folder keep this quick.)
    for (int group = 0; group < 200; ++group) {
        const std::string parent = root + "\\g" + std::to_string(1000 + group);
        ASSERT_TRUE(MakeFolder(parent));
        for (int i = 0; i < 160; ++i)
            ASSERT_TRUE(MakeFolder(parent + "\\f" + std::to_string(1000 + i)));
    }

    Dunewright program;
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(GoWithoutSizeFilter(program, root));

    // The list holds every row exactly, so passing 32,000 rows warns of
    // nothing: the status tick that shows the end would have opened the
    // warning before it, and no other window is there.
    ASSERT_TRUE(dw::WaitUntil([&] { return program.Status() == "Done [Complete]."; }, 90000));
    // Several more status ticks: still no warning.
    for (int tick = 0; tick < 6; ++tick)
        ASSERT_TRUE(program.RefreshStatus());
    EXPECT_TRUE(program.OtherWindows().empty());

    // Every folder is a row all the same, the start folder included.
    EXPECT_EQ(program.RowCount(), 32201);
    EXPECT_EQ(program.Text(IDC_MAIN_FOLDERS_LINE), "32201 Folders Assessed [of 32201].");
    EXPECT_EQ(program.Text(IDC_MAIN_FILES_LINE), "0 Files Assessed.");
}

// Folders are read through their \\?\ form: a chain whose paths pass 260
// and then 1,000 characters is measured whole, every folder listed, and
// the program stays. (The platform's own limit of 32,767 characters is out
// of reach under Wine, which stops at Linux's 4,096 bytes.)
TEST(ScanLimits, AFolderChainPastTheOldPathLimitIsMeasuredWhole)
{
    dw::ClearSettings();
    const std::string root = dw::MakeTempDir("deep");
    const std::string a = root + "\\" + std::string(200, 'a');
    const std::string b = a + "\\" + std::string(255, 'b');
    const std::string c = b + "\\" + std::string(255, 'c');
    const std::string d = c + "\\" + std::string(255, 'd');
    // A 2 MB file beside the chain, 3 MB in the first folder, 5 MB in the
    // second and third, the fourth empty.
    ASSERT_TRUE(MakeFolder(a) && MakeFolder(b) && MakeFolder(c) && MakeFolder(d));
    ASSERT_TRUE(MakeFile(root + "\\top.dat", 2 * MB) && MakeFile(a + "\\one.dat", 3 * MB) &&
                MakeFile(b + "\\two.dat", 5 * MB) && MakeFile(c + "\\three.dat", 5 * MB));
    ASSERT_GT(b.size(), 260u);
    ASSERT_GT(d.size(), 1000u);

    Dunewright program;
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(GoWithoutSizeFilter(program, root));
    ASSERT_TRUE(dw::WaitUntil([&] { return program.Status() == "Done [Complete]."; }, 60000));
    ASSERT_TRUE(program.Barrier());
    EXPECT_TRUE(program.Running());
    EXPECT_TRUE(program.OtherWindows().empty());

    // Rows in path order, from the start folder down the chain. A row's
    // text as read here is at most 519 characters: a longer one is checked
    // as far as it is read.
    const auto rows = program.Rows();
    ASSERT_EQ(rows.size(), 5u);
    const dw::Row expected[] = {
        {root + "\\", "16", "3"}, {a, "14", "4"}, {b, "11", "6"}, {c, "6", "6"}, {d, "1", "1"}};
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].branch, expected[i].branch) << i;
        EXPECT_EQ(rows[i].node, expected[i].node) << i;
        const std::string& folder = rows[i].folder;
        if (expected[i].folder.size() < 520)
            EXPECT_EQ(folder, expected[i].folder) << i;
        else
            EXPECT_TRUE(folder.size() >= 519 && expected[i].folder.compare(0, folder.size(), folder) == 0) << i;
    }
    EXPECT_EQ(program.Text(IDC_MAIN_FILES_LINE), "4 Files Assessed.");
    EXPECT_EQ(program.Text(IDC_MAIN_FOLDERS_LINE), "5 Folders Assessed [of 5].");
}

}  // namespace

// Paths and texts outside the code page, end to end: a profile folder and a
// temporary folder named in another script (a user 李明 on a Western
// Windows), find texts in other scripts, and a settings key that refuses
// to be written.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <sddl.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "driver.h"
// GCC 12 takes a string concatenation inlined from here for an overlapping
// copy (a known false -Wrestrict warning).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wrestrict"
#include "recording_handler.h"
#pragma GCC diagnostic pop
#include "res/resource_ids.h"

namespace {

using dw::Dunewright;

const std::string kUserName = dw::Utf8(L"\u674e\u660e");  // 李明
const std::string kPhotos = dw::Utf8(L"\u5199\u771f");    // 写真
const std::string kLodz = dw::Utf8(L"\u0141\u00f3d\u017a");  // Łódź
constexpr char kLinkName[] = "\\Dunewright [BrackenmoorWorks].lnk";
constexpr char kPageName[] = "Dunewright v1.4.7.4 - Internet Referrering Page.htm";

std::string MakeFolder(const std::string& path)
{
    CreateDirectoryW(dw::Wide(path).c_str(), nullptr);
    return path;
}

bool Exists(const std::string& path)
{
    return GetFileAttributesW(dw::Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Sets a value of both shell folder tables of the current user as UTF-16
// text; the override the test holds puts the originals back.
void SetUserShellFolder(const std::string& name, const std::string& folder)
{
    const std::wstring text = dw::Wide(folder);
    for (const wchar_t* table : {L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                                 L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders"}) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, table, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(RegSetValueExW(key, dw::Wide(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                 static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
}

// The Links dialog makes and removes its shortcut in a profile folder named
// outside the code page.
TEST(WholePaths, LinksDialogWorksInAProfileNamedOutsideTheCodePage)
{
    CoInitialize(nullptr);
    dw::ShellFoldersOverride folders;
    const std::string profile = MakeFolder(dw::MakeTempDir("profile") + "\\" + kUserName);
    const std::string desktop = MakeFolder(profile + "\\Desktop");
    SetUserShellFolder("Desktop", desktop);

    Dunewright program;
    ASSERT_TRUE(program.Start());
    program.Command(IDM_LINKS);
    HWND dialog = program.WaitDialog("Links - BRACKENMOORWORKS");
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(program.IsEnabled(dialog, IDC_LINKS_USER_DESKTOP));
    EXPECT_FALSE(program.IsChecked(dialog, IDC_LINKS_USER_DESKTOP));

    program.SetChecked(dialog, IDC_LINKS_USER_DESKTOP, true);
    program.CommandTo(dialog, IDC_LINKS_PROCESS);
    ASSERT_TRUE(program.Answer("Process the specified links?", IDYES));
    ASSERT_TRUE(program.Answer("Processing complete.", IDOK));
    EXPECT_TRUE(Exists(desktop + kLinkName));
    // The refresh finds that the shortcut there points at the program.
    EXPECT_TRUE(dw::WaitUntil([&] { return program.IsChecked(dialog, IDC_LINKS_USER_DESKTOP); }, 3000));

    program.SetChecked(dialog, IDC_LINKS_USER_DESKTOP, false);
    program.CommandTo(dialog, IDC_LINKS_PROCESS);
    ASSERT_TRUE(program.Answer("Process the specified links?", IDYES));
    ASSERT_TRUE(program.Answer("Processing complete.", IDOK));
    EXPECT_FALSE(Exists(desktop + kLinkName));
    program.Kill();
    CoUninitialize();
}

// A web command writes its page into a temporary folder named outside the
// code page and opens it there.
TEST(WholePaths, WebCommandOpensItsPageFromATempNamedOutsideTheCodePage)
{
    ASSERT_TRUE(dwtest::RegisterRecordingHandler());
    const std::string temp = MakeFolder(MakeFolder(dw::MakeTempDir("web-profile") + "\\" + kUserName) + "\\Temp");
    const std::string log = dw::MakeTempDir("web-log") + "\\recorded.log";
    dwtest::SetRecorderLog(log);
    // The program's folders are made first: the driver makes them below TEMP.
    Dunewright::Options options;
    options.workDir = dw::MakeTempDir("web-run");
    // Inherited by the program started next.
    SetEnvironmentVariableW(L"TEMP", dw::Wide(temp).c_str());
    SetEnvironmentVariableW(L"TMP", dw::Wide(temp).c_str());

    Dunewright program;
    ASSERT_TRUE(program.Start(options));
    program.Command(IDM_VISIT_SITE);
    auto box = program.WaitMessageBox();
    ASSERT_TRUE(box);
    program.Press(box->window, IDYES);
    const auto targets = dwtest::WaitRecordedTargets(log, 1);
    ASSERT_EQ(targets.size(), 1u);
    EXPECT_EQ(targets[0], temp + "\\" + kPageName);
    EXPECT_TRUE(Exists(temp + "\\" + kPageName));
    program.Kill();
}

// The code page's text for a UTF-8 text, '?' for what it cannot hold, as a
// report writes it.
std::string CodePageText(const std::string& utf8)
{
    const std::wstring wide = dw::Wide(utf8);
    std::string text(wide.size() * 4 + 1, '\0');
    const int bytes = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), static_cast<int>(wide.size()),
                                          text.data(), static_cast<int>(text.size()), "?", nullptr);
    text.resize(bytes > 0 ? static_cast<size_t>(bytes) : 0);
    return text;
}

bool HasRowEndingIn(const std::vector<dw::Row>& rows, const std::string& tail)
{
    return std::any_of(rows.begin(), rows.end(), [&](const dw::Row& row) {
        std::string folder = row.folder;
        if (!folder.empty() && folder.back() == '\\')
            folder.pop_back();
        return folder.size() >= tail.size() && folder.compare(folder.size() - tail.size(), tail.size(), tail) == 0;
    });
}

// Find texts in other scripts filter the scan and the report: the scan
// leaves out 写真, the report keeps only Łódź, found as łódź.
TEST(WholePaths, FindTextsInOtherScriptsFilterTheScanAndTheReport)
{
    dw::ClearSettings();
    const std::string tree = MakeFolder(dw::MakeTempDir("scripts") + "\\tree");
    MakeFolder(MakeFolder(tree + "\\" + kPhotos) + "\\a");
    MakeFolder(tree + "\\" + kLodz);
    MakeFolder(tree + "\\other");

    Dunewright program;
    ASSERT_TRUE(program.Start());
    program.SetText(IDC_MAIN_FOLDER, tree);
    ASSERT_TRUE(program.Go([&](HWND dialog) {
        program.Click(dialog, IDC_SCANOPT_LIMIT_SIZE);
        program.Click(dialog, IDC_SCANOPT_FIND);
        program.Click(dialog, IDC_SCANOPT_DISCLUDE);
        program.SetTextOf(dialog, IDC_SCANOPT_FIND_TEXT, kPhotos);
    }));
    ASSERT_TRUE(program.WaitScanEnd());
    const std::vector<dw::Row> rows = program.Rows();
    EXPECT_EQ(rows.size(), 3u);
    EXPECT_TRUE(HasRowEndingIn(rows, "\\" + kLodz));
    EXPECT_TRUE(HasRowEndingIn(rows, "\\other"));
    EXPECT_FALSE(HasRowEndingIn(rows, "\\" + kPhotos));
    EXPECT_FALSE(HasRowEndingIn(rows, "\\a"));

    const std::string path = dw::MakeTempDir("scripts-report") + "\\report.txt";
    program.Command(IDM_SAVE_REPORT);
    HWND options = program.WaitDialog("Save Options - BRACKENMOORWORKS");
    ASSERT_NE(options, nullptr);
    program.Click(options, IDC_SAVEOPT_FIND);
    program.SetTextOf(options, IDC_SAVEOPT_FIND_TEXT, dw::Utf8(L"\u0142\u00f3d\u017a"));  // łódź
    program.Press(options, IDOK);
    ASSERT_TRUE(program.SaveAs(path));
    ASSERT_TRUE(program.Answer("Data saved to '" + path + "'.\n\nOpen?", IDNO));

    const std::vector<std::string> lines = dw::CrLfLines(dw::ReadFileBytes(path).value_or(""));
    const auto header = std::find(lines.begin(), lines.end(), "FOLDER,BRANCH SIZE [MB],NODE SIZE [MB]");
    ASSERT_NE(header, lines.end());
    const auto end = std::find(header, lines.end(), "END OF REPORT.");
    std::vector<std::string> data;
    for (auto line = header + 1; line != end; ++line)
        if (!line->empty())
            data.push_back(*line);
    ASSERT_EQ(data.size(), 1u);
    EXPECT_EQ(data[0].substr(0, data[0].find(',')), CodePageText(tree + "\\" + kLodz + "\\"));
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "List (dataset) folder text was limited to folder names NOT matching '" +
                            CodePageText(kPhotos) + "' (The find result was inverted)."),
              lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "Report folder text was limited to folder names containing '" +
                            CodePageText(dw::Utf8(L"\u0142\u00f3d\u017a")) + "'."),
              lines.end());
    program.Kill();
}

// Gives the program's key a security descriptor from its text form.
bool SetSettingsKeySecurity(const char* sddl)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor, nullptr))
        return false;
    HKEY key = nullptr;
    bool set = false;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\brackenmoorworks\\Dunewright", 0, WRITE_DAC, &key) ==
        ERROR_SUCCESS) {
        set = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor) == ERROR_SUCCESS;
        RegCloseKey(key);
    }
    LocalFree(descriptor);
    return set;
}

// Makes the program's key readable only (and its security writable), and
// open to everyone again when it goes, so the tests after it can use it.
class ReadOnlySettingsKey {
public:
    ReadOnlySettingsKey() : set_(SetSettingsKeySecurity("D:P(A;;KRWD;;;WD)")) {}
    ~ReadOnlySettingsKey() { SetSettingsKeySecurity("D:(A;;KA;;;WD)"); }
    ReadOnlySettingsKey(const ReadOnlySettingsKey&) = delete;
    ReadOnlySettingsKey& operator=(const ReadOnlySettingsKey&) = delete;
    bool Set() const { return set_; }

private:
    bool set_;
};

// A settings key that may be read but not written: the user is told at
// the start and at the end, and nothing is stored.
TEST(WholePaths, ARefusedSettingsKeyIsSaidAndNothingIsStored)
{
    dw::ClearSettings();
    ASSERT_TRUE(dw::WriteSettingNumber("SizeLimit", 25));
    auto readOnly = std::make_unique<ReadOnlySettingsKey>();
    ASSERT_TRUE(readOnly->Set());
    HKEY probe = nullptr;
    const bool refused = RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\brackenmoorworks\\Dunewright", 0,
                                       KEY_SET_VALUE, &probe) != ERROR_SUCCESS;
    if (probe != nullptr)
        RegCloseKey(probe);
    ASSERT_TRUE(refused) << "the key's security is not honoured here";

    Dunewright program;
    Dunewright::Options options;
    options.waitForMain = false;
    ASSERT_TRUE(program.Start(options));
    // The version cannot be recorded: said before the main window.
    EXPECT_TRUE(program.Answer("ERROR - could not create 'Dunewright' registry key", IDOK));
    ASSERT_NE(program.WaitMainWindow(), nullptr);
    // A setting changed in the run, then the end: both writes are said.
    program.Command(IDM_OPTIONS);
    HWND dialog = program.WaitDialog("Options - BRACKENMOORWORKS");
    ASSERT_NE(dialog, nullptr);
    program.SetTextOf(dialog, IDC_OPTIONS_FOLDER, "C:\\elsewhere");
    program.Press(dialog, IDOK);
    ASSERT_TRUE(dw::WaitUntil([&] { return !IsWindow(dialog); }));
    PostMessageA(program.Main(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(program.Answer("ERROR - could not create 'Dunewright' registry key", IDOK));
    EXPECT_TRUE(program.Answer("ERROR - could not create 'Dunewright' registry key", IDOK));
    DWORD code = 0;
    EXPECT_TRUE(program.WaitExit(15000, &code));

    readOnly.reset();
    const auto sizeLimit = dw::ReadSetting("SizeLimit");
    ASSERT_TRUE(sizeLimit.has_value());
    EXPECT_EQ(sizeLimit->bytes, dw::DwordBytes(25));
    EXPECT_FALSE(dw::ReadSetting("DefaultFolder").has_value());
    EXPECT_FALSE(dw::ReadSetting("V").has_value());
    dw::ClearSettings();
}

}  // namespace

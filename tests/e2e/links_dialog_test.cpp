// The Links dialog against shell folders the test owns: which boxes are
// offered and checked, and what Process does to the shortcut files.
#include <gtest/gtest.h>

#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <string>

#include "driver.h"

namespace {

using dw::Dunewright;

constexpr int kLinksCommand = IDM_LINKS;
constexpr int kProcess = IDC_LINKS_PROCESS;
constexpr int kUserDesktop = IDC_LINKS_USER_DESKTOP, kUserStartMenu = IDC_LINKS_USER_START_MENU,
              kUserPrograms = IDC_LINKS_USER_PROGRAMS, kUserStartup = IDC_LINKS_USER_STARTUP,
              kUserQuickLaunch = IDC_LINKS_USER_QUICK_LAUNCH, kMachineDesktop = IDC_LINKS_MACHINE_DESKTOP,
              kMachineStartMenu = IDC_LINKS_MACHINE_START_MENU, kMachinePrograms = IDC_LINKS_MACHINE_PROGRAMS,
              kMachineStartup = IDC_LINKS_MACHINE_STARTUP, kMachineQuickLaunch = IDC_LINKS_MACHINE_QUICK_LAUNCH,
              kCommonDesktop = IDC_LINKS_COMMON_DESKTOP, kCommonStartMenu = IDC_LINKS_COMMON_START_MENU,
              kCommonPrograms = IDC_LINKS_COMMON_PROGRAMS, kCommonStartup = IDC_LINKS_COMMON_STARTUP,
              kCommonQuickLaunch = IDC_LINKS_COMMON_QUICK_LAUNCH;
constexpr int kAllBoxes[] = {kUserDesktop,        kUserStartMenu,    kUserPrograms,       kUserStartup,
                             kUserQuickLaunch,    kMachineDesktop,   kMachineStartMenu,   kMachinePrograms,
                             kMachineStartup,     kMachineQuickLaunch, kCommonDesktop,    kCommonStartMenu,
                             kCommonPrograms,     kCommonStartup,    kCommonQuickLaunch};
constexpr char kLinkName[] = "\\Dunewright [BrackenmoorWorks].lnk";

std::string ExeFolder()
{
    const std::string path = dw::ExePath();
    return path.substr(0, path.rfind('\\'));
}

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string MakeFolder(const std::string& path)
{
    CreateDirectoryA(path.c_str(), nullptr);
    return path;
}

// What a shortcut file holds, read through the shell's link object.
struct LinkContent {
    bool loaded = false;
    std::string target, workingDirectory, icon, description;
    int iconIndex = -1;
};

LinkContent ReadLink(const std::string& path)
{
    LinkContent content;
    IShellLinkA* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link))))
        return content;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        wchar_t wide[MAX_PATH];
        MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
        if (SUCCEEDED(file->Load(wide, STGM_READ))) {
            content.loaded = true;
            char text[1024] = {};
            link->GetPath(text, sizeof text, nullptr, 0);
            content.target = text;
            text[0] = '\0';
            link->GetWorkingDirectory(text, sizeof text);
            content.workingDirectory = text;
            text[0] = '\0';
            link->GetIconLocation(text, sizeof text, &content.iconIndex);
            content.icon = text;
            text[0] = '\0';
            link->GetDescription(text, sizeof text);
            content.description = text;
        }
        file->Release();
    }
    link->Release();
    return content;
}

// A shortcut made by someone else, to `target`.
void WriteForeignLink(const std::string& path, const std::string& target)
{
    IShellLinkA* link = nullptr;
    ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                              reinterpret_cast<void**>(&link)));
    IPersistFile* file = nullptr;
    ASSERT_HRESULT_SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)));
    link->SetPath(target.c_str());
    link->SetDescription("someone else's");
    wchar_t wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    EXPECT_HRESULT_SUCCEEDED(file->Save(wide, TRUE));
    file->Release();
    link->Release();
}

class LinksDialogTest : public testing::Test {
protected:
    void SetUp() override
    {
        CoInitialize(nullptr);
        root_ = dw::MakeTempDir("links");
    }
    void TearDown() override
    {
        program_.Kill();
        CoUninitialize();
    }

    // Starts the program and opens the Links dialog from its menu.
    HWND OpenDialog()
    {
        if (!program_.Start())
            return nullptr;
        program_.Command(kLinksCommand);
        return program_.WaitDialog("Links - BRACKENMOORWORKS");
    }

    // Presses Process, answers its question with Yes and waits for the
    // completion box.
    void Process(HWND dialog)
    {
        program_.CommandTo(dialog, kProcess);
        ASSERT_TRUE(program_.Answer("Process the specified links?", IDYES));
        ASSERT_TRUE(program_.Answer("Processing complete.", IDOK));
    }

    // The box shows `checked` once the refresh after Process has run.
    bool ShowsChecked(HWND dialog, int id, bool checked)
    {
        return dw::WaitUntil([&] { return program_.IsChecked(dialog, id) == checked; }, 3000);
    }

    dw::ShellFoldersOverride folders_;
    std::string root_;
    Dunewright program_;
};

TEST_F(LinksDialogTest, ProcessCreatesTheShortcutAndDeletesItWhenUnchecked)
{
    const std::string desktop = MakeFolder(root_ + "\\Desktop");
    const std::string common = MakeFolder(root_ + "\\Common Desktop");
    const std::string appData = MakeFolder(root_ + "\\AppData");
    MakeFolder(appData + "\\Microsoft");
    MakeFolder(appData + "\\Microsoft\\Internet Explorer");
    const std::string quickLaunch = MakeFolder(appData + "\\Microsoft\\Internet Explorer\\Quick Launch");
    folders_.Set(false, "Desktop", desktop);
    folders_.Set(false, "AppData", appData + "\\");
    folders_.Set(false, "Start Menu", desktop, REG_EXPAND_SZ);
    folders_.Set(true, "Common Desktop", common);
    folders_.Set(true, "Desktop", root_ + "\\missing");

    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(program_.Title(dialog), std::string(dw::kAppVersion) + " - Links - BRACKENMOORWORKS");
    EXPECT_EQ(program_.TextOf(dialog, IDC_LINKS_VERSION), dw::kAppVersion);
    for (int id : kAllBoxes) {
        SCOPED_TRACE(id);
        const bool offered = id == kUserDesktop || id == kUserQuickLaunch || id == kCommonDesktop;
        EXPECT_EQ(program_.IsEnabled(dialog, id), offered);
        EXPECT_FALSE(program_.IsChecked(dialog, id));
    }

    program_.SetChecked(dialog, kUserDesktop, true);
    program_.SetChecked(dialog, kUserQuickLaunch, true);
    Process(dialog);
    EXPECT_TRUE(ShowsChecked(dialog, kUserDesktop, true));
    EXPECT_TRUE(ShowsChecked(dialog, kUserQuickLaunch, true));
    EXPECT_FALSE(program_.IsChecked(dialog, kCommonDesktop));
    EXPECT_FALSE(Exists(common + kLinkName));

    for (const std::string& link : {desktop + kLinkName, quickLaunch + kLinkName}) {
        SCOPED_TRACE(link);
        const LinkContent content = ReadLink(link);
        ASSERT_TRUE(content.loaded);
        EXPECT_EQ(content.target, dw::ExePath());
        EXPECT_EQ(content.workingDirectory, ExeFolder());
        EXPECT_EQ(content.icon, dw::ExePath());
        EXPECT_EQ(content.iconIndex, 0);
        EXPECT_EQ(content.description, dw::kAppVersion);
    }

    // No at the question changes nothing and shows nothing more.
    program_.SetChecked(dialog, kUserDesktop, false);
    program_.CommandTo(dialog, kProcess);
    ASSERT_TRUE(program_.Answer("Process the specified links?", IDNO));
    ASSERT_TRUE(program_.Barrier());
    EXPECT_FALSE(program_.OpenMessageBox().has_value());
    EXPECT_TRUE(Exists(desktop + kLinkName));

    Process(dialog);
    EXPECT_TRUE(ShowsChecked(dialog, kUserDesktop, false));
    EXPECT_FALSE(Exists(desktop + kLinkName));
    EXPECT_TRUE(Exists(quickLaunch + kLinkName));

    // Closing with OK applies nothing.
    program_.SetChecked(dialog, kCommonDesktop, true);
    program_.Press(dialog, IDOK);
    ASSERT_TRUE(dw::WaitUntil([&] { return !IsWindow(dialog); }));
    EXPECT_FALSE(Exists(common + kLinkName));
    EXPECT_TRUE(program_.Running());
}

TEST_F(LinksDialogTest, AShortcutElsewhereIsOverwrittenOnlyAfterAskingAndDeletedWhenUnchecked)
{
    const std::string other = root_ + "\\Other Dunewright.exe";
    ASSERT_TRUE(dw::WriteFileBytes(other, "MZ"));
    const std::string desktop = MakeFolder(root_ + "\\Desktop");
    const std::string programs = MakeFolder(root_ + "\\Programs");
    const std::string common = MakeFolder(root_ + "\\Common Startup");
    WriteForeignLink(desktop + kLinkName, other);
    WriteForeignLink(common + kLinkName, other);
    ASSERT_TRUE(dw::WriteFileBytes(programs + kLinkName, "not a shortcut"));
    folders_.Set(false, "Desktop", desktop);
    folders_.Set(false, "Programs", programs);
    folders_.Set(true, "Common Startup", common);

    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    for (int id : {kUserDesktop, kUserPrograms, kCommonStartup}) {
        SCOPED_TRACE(id);
        EXPECT_TRUE(program_.IsEnabled(dialog, id));
        EXPECT_FALSE(program_.IsChecked(dialog, id));
    }

    // Desktop: asked, and kept on No. Programs: not a link, replaced without
    // a question. Common Startup: left unchecked, so deleted.
    program_.SetChecked(dialog, kUserDesktop, true);
    program_.SetChecked(dialog, kUserPrograms, true);
    program_.CommandTo(dialog, kProcess);
    ASSERT_TRUE(program_.Answer("Process the specified links?", IDYES));
    const std::string question = "The link '" + desktop + kLinkName + "' already exists. It links to '" + other +
                                 "'.\n\nOverwrite?";
    ASSERT_TRUE(program_.Answer(question, IDNO));
    ASSERT_TRUE(program_.Answer("Processing complete.", IDOK));
    EXPECT_TRUE(ShowsChecked(dialog, kUserPrograms, true));
    EXPECT_TRUE(ShowsChecked(dialog, kUserDesktop, false));
    EXPECT_EQ(ReadLink(desktop + kLinkName).target, other);
    EXPECT_EQ(ReadLink(programs + kLinkName).target, dw::ExePath());
    EXPECT_FALSE(Exists(common + kLinkName));

    // Asked again, and replaced on Yes.
    program_.SetChecked(dialog, kUserDesktop, true);
    program_.CommandTo(dialog, kProcess);
    ASSERT_TRUE(program_.Answer("Process the specified links?", IDYES));
    ASSERT_TRUE(program_.Answer(question, IDYES));
    ASSERT_TRUE(program_.Answer("Processing complete.", IDOK));
    EXPECT_TRUE(ShowsChecked(dialog, kUserDesktop, true));
    const LinkContent replaced = ReadLink(desktop + kLinkName);
    EXPECT_EQ(replaced.target, dw::ExePath());
    EXPECT_EQ(replaced.description, dw::kAppVersion);

    // A shortcut that already points here is rewritten without a question.
    Process(dialog);
    EXPECT_TRUE(ShowsChecked(dialog, kUserDesktop, true));
    EXPECT_TRUE(ShowsChecked(dialog, kUserPrograms, true));
}

TEST_F(LinksDialogTest, PlacesThatCannotHoldAShortcutAreRefused)
{
    // A folder so deep that its shortcut path would pass 259 characters.
    std::string deep = root_;
    while (deep.size() < 200)
        deep = MakeFolder(deep + "\\" + std::string(20, 'd'));
    deep = MakeFolder(deep + "\\" + std::string(230 - deep.size() - 1, 'e'));
    ASSERT_EQ(deep.size(), 230u);
    ASSERT_TRUE(PathIsDirectoryA(deep.c_str()));
    // A folder whose link name is taken by a folder: saving must fail.
    const std::string blocked = MakeFolder(root_ + "\\Blocked");
    MakeFolder(blocked + kLinkName);
    // A machine AppData of 259 characters gives a 300-character Quick
    // Launch path.
    folders_.Set(false, "Desktop", deep);
    folders_.Set(false, "Startup", blocked);
    folders_.Set(true, "AppData", "C:\\" + std::string(256, 'q'));

    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(program_.IsEnabled(dialog, kUserDesktop));
    EXPECT_FALSE(program_.IsEnabled(dialog, kMachineQuickLaunch));
    EXPECT_TRUE(program_.IsEnabled(dialog, kUserStartup));
    EXPECT_FALSE(program_.IsChecked(dialog, kUserStartup));

    // Checked behind the dialog's back, the overlong place is refused with a
    // warning rather than overrunning anything.
    program_.SetChecked(dialog, kUserDesktop, true);
    program_.SetChecked(dialog, kMachineQuickLaunch, true);
    program_.SetChecked(dialog, kUserStartup, true);
    program_.CommandTo(dialog, kProcess);
    ASSERT_TRUE(program_.Answer("Process the specified links?", IDYES));
    ASSERT_TRUE(program_.Answer("'" + deep + "' is not a valid directory name. [Create Link]", IDOK));
    ASSERT_TRUE(program_.Answer("Error creating link.", IDOK));
    ASSERT_TRUE(program_.Answer("'C:\\" + std::string(256, 'q') +
                                    "\\Microsoft\\Internet Explorer\\Quick Launch' is not a valid directory name. "
                                    "[Create Link]",
                                IDOK));
    ASSERT_TRUE(program_.Answer("Processing complete.", IDOK));
    EXPECT_FALSE(Exists(deep + kLinkName));
    EXPECT_TRUE(PathIsDirectoryA((blocked + kLinkName).c_str()));
    EXPECT_TRUE(ShowsChecked(dialog, kUserStartup, false));
    EXPECT_TRUE(program_.Running());
}

}  // namespace

// Reading the fifteen shortcut places from the shell's folder tables. Each
// test builds its own pair of tables below HKCU\Software\DunewrightTests.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <utility>

#include "links/link_locations.h"

namespace {

const std::string kTail = "\\Microsoft\\Internet Explorer\\Quick Launch";

// The places' paths are UTF-16; most tests here spell them in ASCII.
std::string Narrow(const std::wstring& text)
{
    std::string narrow;
    for (wchar_t c : text)
        narrow += c < 0x80 ? static_cast<char>(c) : '#';
    return narrow;
}

class LinkLocationsTest : public testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        base_ = std::string("Software\\DunewrightTests\\") + info->name();
        RegDeleteTreeA(HKEY_CURRENT_USER, base_.c_str());
        user_ = CreateRoot("User");
        machine_ = CreateRoot("Machine");
        for (LinkLocation& place : linkLocations) {
            place.path.clear();
            place.available = false;
        }
    }

    void TearDown() override
    {
        RegCloseKey(user_);
        RegCloseKey(machine_);
        RegDeleteTreeA(HKEY_CURRENT_USER, base_.c_str());
    }

    HKEY CreateRoot(const char* name)
    {
        HKEY root = nullptr;
        const std::string path = base_ + "\\" + name;
        RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &root, nullptr);
        HKEY folders = nullptr;
        RegCreateKeyExW(root, shellFoldersKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &folders, nullptr);
        RegCloseKey(folders);
        return root;
    }

    // Writes a value of the given type holding `bytes` exactly.
    void Put(HKEY root, const char* name, const std::string& bytes, DWORD type = REG_SZ)
    {
        HKEY folders = nullptr;
        ASSERT_EQ(RegOpenKeyExW(root, shellFoldersKey, 0, KEY_SET_VALUE, &folders), ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExA(folders, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                                 static_cast<DWORD>(bytes.size())),
                  ERROR_SUCCESS);
        RegCloseKey(folders);
    }
    // A text value with its terminator.
    void PutText(HKEY root, const char* name, const std::string& text) { Put(root, name, text + '\0'); }

    void Load() { LoadLinkLocationsFrom(user_, machine_); }

    static const LinkLocation& Place(int checkboxId)
    {
        for (const LinkLocation& place : linkLocations)
            if (place.checkboxId == checkboxId)
                return place;
        ADD_FAILURE() << "no place with checkbox " << checkboxId;
        return linkLocations[0];
    }

    std::string base_;
    HKEY user_ = nullptr;
    HKEY machine_ = nullptr;
};

TEST_F(LinkLocationsTest, EveryPlaceReadsItsOwnValue)
{
    const char* userNames[] = {"Desktop", "Start Menu", "Programs", "Startup", "AppData"};
    for (const char* name : userNames)
        PutText(user_, name, std::string("U:\\") + name);
    const char* machineNames[] = {"Desktop",        "Start Menu",        "Programs",        "Startup",
                                  "AppData",        "Common Desktop",    "Common Start Menu", "Common Programs",
                                  "Common Startup", "Common AppData"};
    for (const char* name : machineNames)
        PutText(machine_, name, std::string("M:\\") + name);
    Load();

    struct Expected {
        int id;
        const char* caption;
        std::string path;
    };
    const Expected expected[] = {
        {1202, "User Desktop", "U:\\Desktop"},
        {1203, "User Start Menu", "U:\\Start Menu"},
        {1205, "User Start Menu -> Programs", "U:\\Programs"},
        {1204, "User Start Menu -> Programs -> Startup", "U:\\Startup"},
        {1218, "User Quick Launch", "U:\\AppData" + kTail},
        {1207, "Machine Desktop", "M:\\Desktop"},
        {1208, "Machine Start Menu", "M:\\Start Menu"},
        {1210, "Machine Start Menu -> Programs", "M:\\Programs"},
        {1209, "Machine Start Menu -> Programs -> Startup", "M:\\Startup"},
        {1216, "Machine Quick Launch", "M:\\AppData" + kTail},
        {1211, "Common Desktop", "M:\\Common Desktop"},
        {1213, "Common Start Menu", "M:\\Common Start Menu"},
        {1214, "Common Start Menu -> Programs", "M:\\Common Programs"},
        {1212, "Common Start Menu -> Programs -> Startup", "M:\\Common Startup"},
        {1215, "Common Quick Launch", "M:\\Common AppData" + kTail},
    };
    // The dialog lists and processes the places in this order.
    for (int i = 0; i < linkLocationCount; ++i) {
        SCOPED_TRACE(expected[i].caption);
        EXPECT_EQ(linkLocations[i].checkboxId, expected[i].id);
        EXPECT_STREQ(linkLocations[i].caption, expected[i].caption);
        EXPECT_TRUE(linkLocations[i].available);
        EXPECT_EQ(Narrow(linkLocations[i].path), expected[i].path);
    }
}

TEST_F(LinkLocationsTest, UnusableValuesLeaveTheirPlacesUnavailable)
{
    PutText(user_, "Desktop", "C:\\Users\\u\\Desktop");
    PutText(user_, "Start Menu", "C:\\Users\\u\\Start Menu");
    PutText(user_, "Programs", "C:\\Users\\u\\Programs");
    PutText(user_, "Startup", "C:\\Users\\u\\Startup");
    PutText(machine_, "Common Desktop", "C:\\Users\\Public\\Desktop");
    Load();
    ASSERT_TRUE(Place(1202).available);

    // An expandable text, an empty text, a text too long for 260 units, a
    // number; the machine's per-user names are not there at all.
    Put(user_, "Desktop", std::string("%USERPROFILE%\\Desktop") + '\0', REG_EXPAND_SZ);
    Put(user_, "Start Menu", std::string(1, '\0'));
    PutText(user_, "Programs", "C:\\" + std::string(270, 'p'));
    Put(user_, "Startup", std::string(4, '\1'), REG_DWORD);
    Load();
    for (int id : {1202, 1203, 1205, 1204, 1218, 1207, 1208, 1210, 1209, 1216}) {
        SCOPED_TRACE(id);
        EXPECT_FALSE(Place(id).available);
    }
    EXPECT_TRUE(Place(1211).available);
    // An unusable value leaves the path of the last good reading.
    EXPECT_EQ(Narrow(Place(1202).path), "C:\\Users\\u\\Desktop");
}

TEST_F(LinkLocationsTest, ValuesOfEveryLengthUpTo260UnitsAreTakenWhole)
{
    // Stored without a terminator, as the settings store writes texts.
    Put(user_, "Desktop", "C:\\Users\\u\\Desktop");
    // 259 characters and the terminator fill the buffer exactly.
    const std::string longest = "C:\\" + std::string(256, 'l');
    PutText(machine_, "Common Desktop", longest);
    // A single character is usable.
    PutText(machine_, "Common Programs", "X");
    Load();
    EXPECT_TRUE(Place(1202).available);
    EXPECT_EQ(Narrow(Place(1202).path), "C:\\Users\\u\\Desktop");
    EXPECT_TRUE(Place(1211).available);
    EXPECT_EQ(Narrow(Place(1211).path), longest);
    EXPECT_TRUE(Place(1214).available);
    EXPECT_EQ(Narrow(Place(1214).path), "X");
}

TEST_F(LinkLocationsTest, QuickLaunchPlacesFollowTheAppDataValues)
{
    PutText(user_, "AppData", "C:\\Users\\u\\AppData\\Roaming");
    PutText(machine_, "AppData", "C:\\Windows\\AppData\\");
    const std::string common = "C:\\" + std::string(247, 'c');  // 250 characters
    PutText(machine_, "Common AppData", common);
    Load();
    EXPECT_EQ(Narrow(Place(1218).path),
              "C:\\Users\\u\\AppData\\Roaming\\Microsoft\\Internet Explorer\\Quick Launch");
    EXPECT_EQ(Narrow(Place(1216).path), "C:\\Windows\\AppData\\Microsoft\\Internet Explorer\\Quick Launch");
    EXPECT_EQ(Narrow(Place(1215).path), common + kTail);
    EXPECT_EQ(Narrow(Place(1215).path).size(), 291u);

    // The user's value is cut to 218 characters; the machine's is not.
    const std::string long230 = "C:\\" + std::string(227, 'a');
    PutText(user_, "AppData", long230);
    PutText(machine_, "AppData", long230);
    Load();
    EXPECT_EQ(Narrow(Place(1218).path), long230.substr(0, 218) + kTail);
    EXPECT_EQ(Narrow(Place(1218).path).size(), 259u);
    EXPECT_EQ(Narrow(Place(1216).path), long230 + kTail);
}

// A profile folder named outside the code page (a user 李明 on a Western
// Windows): the folders are read whole, as UTF-16.
TEST_F(LinkLocationsTest, FoldersInAnyScriptAreReadWhole)
{
    const std::wstring profile = L"C:\\users\\\u674e\u660e";
    HKEY folders = nullptr;
    ASSERT_EQ(RegOpenKeyExW(user_, shellFoldersKey, 0, KEY_SET_VALUE, &folders), ERROR_SUCCESS);
    for (const auto& [name, folder] : {std::pair<const wchar_t*, std::wstring>{L"Desktop", profile + L"\\Desktop"},
                                       {L"AppData", profile + L"\\AppData\\Roaming"}})
        ASSERT_EQ(RegSetValueExW(folders, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                                 static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    RegCloseKey(folders);
    Load();
    EXPECT_TRUE(Place(1202).available);
    EXPECT_EQ(Place(1202).path, profile + L"\\Desktop");
    EXPECT_EQ(Place(1218).path, profile + L"\\AppData\\Roaming\\Microsoft\\Internet Explorer\\Quick Launch");
}

TEST_F(LinkLocationsTest, AHiveThatCannotBeOpenedKeepsTheLastReading)
{
    PutText(user_, "Desktop", "C:\\Users\\u\\Desktop");
    PutText(machine_, "Desktop", "C:\\Machine\\Desktop");
    Load();
    ASSERT_TRUE(Place(1207).available);

    RegDeleteTreeA(machine_, "Software");
    Put(user_, "Desktop", std::string("x\0", 2), REG_EXPAND_SZ);
    Load();
    EXPECT_FALSE(Place(1202).available);
    EXPECT_TRUE(Place(1207).available);
    EXPECT_EQ(Narrow(Place(1207).path), "C:\\Machine\\Desktop");

    // A hive that was never readable leaves its places unavailable.
    for (LinkLocation& place : linkLocations)
        place.available = false;
    Load();
    EXPECT_FALSE(Place(1207).available);
    EXPECT_FALSE(Place(1211).available);
}

}  // namespace

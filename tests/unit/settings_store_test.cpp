// The registry store, in this process against the current user's hive of
// the test prefix: what LoadSettings makes of what is (or is not) there,
// and exactly what SaveSettings and WriteVersionValue leave behind.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <cwchar>
#include <optional>
#include <string>

#include "app/app_state.h"
#include "base/version.h"
#include "settings/registry_key.h"
#include "settings/settings_store.h"

namespace {

constexpr char kKey[] = "Software\\brackenmoorworks\\Dunewright";

struct Stored {
    DWORD type = 0;
    std::string bytes;
};

void Put(const char* name, DWORD type, const void* data, DWORD size)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    RegCloseKey(key);
}

void PutNumber(const char* name, uint32_t value)
{
    Put(name, REG_DWORD, &value, 4);
}

// Without its NUL the text is followed by another byte: the registry would
// otherwise count a NUL found right after the data.
void PutText(const char* name, const std::string& text, bool withNul = true)
{
    const std::string data = withNul ? text + '\0' : text + '\x01';
    Put(name, REG_SZ, data.data(), static_cast<DWORD>(text.size() + (withNul ? 1 : 0)));
}

std::optional<Stored> Get(const char* name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return std::nullopt;
    Stored stored;
    char data[1024] = {};
    DWORD size = sizeof data;
    const LONG result = RegQueryValueExA(key, name, nullptr, &stored.type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS)
        return std::nullopt;
    stored.bytes.assign(data, size);
    return stored;
}

// A text value as the hive holds it: its UTF-16 units, as many as stored.
std::optional<std::wstring> GetWide(const wchar_t* name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return std::nullopt;
    DWORD type = 0;
    std::wstring stored(400, L'\0');
    DWORD size = static_cast<DWORD>(stored.size() * sizeof(wchar_t));
    const LONG result =
        RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(stored.data()), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_SZ)
        return std::nullopt;
    stored.resize(size / sizeof(wchar_t));
    return stored;
}

std::string Dword(uint32_t value)
{
    return std::string(reinterpret_cast<const char*>(&value), 4);
}

void ExpectNumber(const char* name, uint32_t value)
{
    const auto stored = Get(name);
    ASSERT_TRUE(stored.has_value()) << name;
    EXPECT_EQ(stored->type, static_cast<DWORD>(REG_DWORD)) << name;
    EXPECT_EQ(stored->bytes, Dword(value)) << name;
}

// Texts are stored without a terminating NUL: the byte count is the length.
void ExpectText(const char* name, const std::string& text)
{
    const auto stored = Get(name);
    ASSERT_TRUE(stored.has_value()) << name;
    EXPECT_EQ(stored->type, static_cast<DWORD>(REG_SZ)) << name;
    EXPECT_EQ(stored->bytes, text) << name;
}

void Scramble()
{
    app.defaultFolder = L"junk";
    app.singleInstance = false;
    app.PosX = 77;
    app.PosY = 88;
    std::memset(&app.scanOptions, 0x55, sizeof app.scanOptions);
    std::memset(&app.saveOptions, 0x55, sizeof app.saveOptions);
    app.scanOptions.FindText[0] = '\0';
    app.saveOptions.FindText[0] = '\0';
}

void ExpectDefaults()
{
    EXPECT_EQ(app.defaultFolder, L"");
    EXPECT_TRUE(app.singleInstance);
    EXPECT_EQ(app.PosX, 0);
    EXPECT_EQ(app.PosY, 0);
    EXPECT_TRUE(app.scanOptions == DefaultScanOptions());
    EXPECT_TRUE(app.saveOptions == DefaultSaveOptions());
}

class SettingsStore : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
        ResetAppState();
    }
    void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, kKey); }
};

TEST_F(SettingsStore, NoKeyGivesEveryDefault)
{
    Scramble();
    LoadSettings(app);
    ExpectDefaults();
    EXPECT_EQ(app.scanOptions.LimitSize, 1);
    EXPECT_EQ(app.saveOptions.LimitSize, 0);
}

TEST_F(SettingsStore, SaveWritesEveryValueWithItsTypeAndBytes)
{
    LoadSettings(app);
    app.defaultFolder = L"  C:\\Data \t\n";
    app.singleInstance = false;
    app.scanOptions = ScanOptions{1, 25, 1, 3, 1, 1, L" *Cache* ", 1, 0};
    app.saveOptions = SaveOptions{1, -4, 1, 2, 1, 0, L"\t*?*  "};
    EXPECT_TRUE(SaveSettings(app, app.mainWindow).Saved());

    ExpectText("DefaultFolder", "C:\\Data\\");
    ExpectNumber("GlobalMutex", 0);
    ExpectNumber("LimitSize", 1);
    ExpectNumber("SizeLimit", 25);
    ExpectNumber("LimitDepth", 1);
    ExpectNumber("DepthLimit", 3);
    ExpectNumber("Find", 1);
    ExpectNumber("InvertFind", 1);
    ExpectText("FindText", "*Cache*");
    ExpectNumber("DontCount", 1);
    ExpectNumber("SOLimitSize", 1);
    ExpectNumber("SOSizeLimit", 0xFFFFFFFCu);
    ExpectNumber("SOLimitDepth", 1);
    ExpectNumber("SODepthLimit", 2);
    ExpectNumber("SOFind", 1);
    ExpectNumber("SOInvertFind", 0);
    ExpectText("SOFindText", "*?*");
    // No main window: its placement cannot be read, so no position is written.
    EXPECT_FALSE(Get("PosX").has_value());
    EXPECT_FALSE(Get("PosY").has_value());

    // The live fields were tidied too.
    EXPECT_EQ(app.defaultFolder, L"C:\\Data\\");
    EXPECT_STREQ(app.scanOptions.FindText, L"*Cache*");
    EXPECT_STREQ(app.saveOptions.FindText, L"*?*");

    // And a fresh load gives back what was saved.
    const ScanOptions scan = app.scanOptions;
    const SaveOptions save = app.saveOptions;
    Scramble();
    LoadSettings(app);
    EXPECT_EQ(app.defaultFolder, L"C:\\Data\\");
    EXPECT_FALSE(app.singleInstance);
    EXPECT_TRUE(app.scanOptions == scan);
    EXPECT_TRUE(app.saveOptions == save);
    EXPECT_EQ(app.saveOptions.SizeLimit, -4);
}

TEST_F(SettingsStore, EmptyDefaultFolderIsStoredAsAnEmptyText)
{
    LoadSettings(app);
    SaveSettings(app, app.mainWindow);
    ExpectText("DefaultFolder", "");
    ExpectText("FindText", "*?*");
    ExpectNumber("GlobalMutex", 1);
    ExpectNumber("LimitSize", 1);
    ExpectNumber("SOLimitSize", 0);
    ExpectNumber("SizeLimit", 10);
    ExpectNumber("DepthLimit", 1000);
}

TEST_F(SettingsStore, NonzeroFlagsLoadAsOneAndAreWrittenBackAsOne)
{
    PutNumber("LimitDepth", 7);
    PutNumber("SOFind", 0x80000000u);
    PutNumber("DontCount", 2);
    PutNumber("GlobalMutex", 5);
    LoadSettings(app);
    EXPECT_EQ(app.scanOptions.LimitDepth, 1);
    EXPECT_EQ(app.saveOptions.Find, 1);
    EXPECT_EQ(app.scanOptions.DontCount, 1);
    EXPECT_TRUE(app.singleInstance);
    SaveSettings(app, app.mainWindow);
    ExpectNumber("LimitDepth", 1);
    ExpectNumber("SOFind", 1);
    ExpectNumber("DontCount", 1);
    ExpectNumber("GlobalMutex", 1);
}

TEST_F(SettingsStore, GlobalMutexZeroIsKeptThroughARun)
{
    PutNumber("GlobalMutex", 0);
    LoadSettings(app);
    EXPECT_FALSE(app.singleInstance);
    SaveSettings(app, app.mainWindow);
    ExpectNumber("GlobalMutex", 0);
}

TEST_F(SettingsStore, NumbersLoadAsStored)
{
    PutNumber("SizeLimit", 0xFFFFFFFFu);
    PutNumber("SODepthLimit", 0);
    PutNumber("PosX", static_cast<uint32_t>(-300));
    PutNumber("PosY", 4000);
    LoadSettings(app);
    EXPECT_EQ(app.scanOptions.SizeLimit, -1);
    EXPECT_EQ(app.saveOptions.DepthLimit, 0);
    EXPECT_EQ(app.PosX, -300);
    EXPECT_EQ(app.PosY, 4000);
}

TEST_F(SettingsStore, UnusableNumbersFallBackToTheirDefaults)
{
    const uint64_t wide = 5;
    Put("SizeLimit", REG_BINARY, &wide, 8);     // longer than four bytes
    Put("DepthLimit", REG_DWORD, "\x05\x00", 2);  // shorter than four bytes
    PutText("SOSizeLimit", "25");               // a text of three bytes
    PutNumber("InvertFind", 1);                 // a good one among them
    LoadSettings(app);
    EXPECT_EQ(app.scanOptions.SizeLimit, 10);
    EXPECT_EQ(app.scanOptions.DepthLimit, 1000);
    EXPECT_EQ(app.saveOptions.SizeLimit, 10);
    EXPECT_EQ(app.scanOptions.InvertFind, 1);
}

TEST_F(SettingsStore, FourBytesLoadAsANumberAndTextsLoadWhateverTheirType)
{
    Put("SizeLimit", REG_BINARY, "\x2C\x01\x00\x00", 4);     // 300
    Put("PosX", REG_DWORD_BIG_ENDIAN, "\x00\x00\x00\x05", 4);  // still read low byte first
    PutText("LimitDepth", "abc");                                // a text of exactly four bytes
    Put("DefaultFolder", REG_BINARY, "D:\\Data\\", 8);
    LoadSettings(app);
    EXPECT_EQ(app.scanOptions.SizeLimit, 300);
    EXPECT_EQ(app.PosX, 0x05000000);
    EXPECT_EQ(app.scanOptions.LimitDepth, 1);
    EXPECT_EQ(app.defaultFolder, L"D:\\Data\\");
}

TEST_F(SettingsStore, UnusableTextsFallBackToTheirDefaults)
{
    PutText("FindText", std::string(300, 'b'));  // larger than the buffer
    PutNumber("SOFindText", 0x2A3F2A);          // four bytes that spell "*?*"
    LoadSettings(app);
    EXPECT_STREQ(app.scanOptions.FindText, L"*?*");
    EXPECT_STREQ(app.saveOptions.FindText, L"*?*");
}

TEST_F(SettingsStore, TextsLoadWholeWithOrWithoutTheirNul)
{
    const std::string longest(259, 'c');
    PutText("DefaultFolder", "D:\\Photos\\", false);
    PutText("FindText", longest, true);
    PutText("SOFindText", "", false);
    LoadSettings(app);
    EXPECT_EQ(app.defaultFolder, L"D:\\Photos\\");
    EXPECT_EQ(std::wstring(app.scanOptions.FindText), std::wstring(longest.begin(), longest.end()));
    EXPECT_STREQ(app.saveOptions.FindText, L"");
}

// A default folder outside the code page and past the old 260 characters
// is stored as UTF-16 text and comes back whole.
TEST_F(SettingsStore, DefaultFolderIsStoredAndLoadedWholeAsUtf16)
{
    LoadSettings(app);
    const std::wstring folder = L"C:\\\u8868\\\u0141\u00f3d\u017a\\" + std::wstring(300, L'd');
    app.defaultFolder = folder;
    SaveSettings(app, app.mainWindow);

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD type = 0;
    std::wstring stored(400, L'\0');
    DWORD size = static_cast<DWORD>(stored.size() * sizeof(wchar_t));
    const LONG result =
        RegQueryValueExW(key, L"DefaultFolder", nullptr, &type, reinterpret_cast<BYTE*>(stored.data()), &size);
    RegCloseKey(key);
    ASSERT_EQ(result, ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    stored.resize(size / sizeof(wchar_t));
    EXPECT_EQ(stored, folder + L"\\");  // no terminating NUL

    app.defaultFolder.clear();
    LoadSettings(app);
    EXPECT_EQ(app.defaultFolder, folder + L"\\");
}

TEST_F(SettingsStore, TextsEndAtTheirFirstNul)
{
    Put("FindText", REG_SZ, "*x*\0junk!", 8);
    LoadSettings(app);
    EXPECT_STREQ(app.scanOptions.FindText, L"*x*");
}

// Find texts in any script: typed as UTF-16, stored as REG_SZ text of
// UTF-16 units without a NUL, and loaded whole.
TEST_F(SettingsStore, FindTextsInAnyScriptAreStoredAndLoadedWhole)
{
    LoadSettings(app);
    std::wcscpy(app.scanOptions.FindText, L" *\\\u5199\u771f* ");  // 写真
    std::wcscpy(app.saveOptions.FindText, L"\u0141\u00f3d\u017a");    // Łódź
    EXPECT_TRUE(SaveSettings(app, app.mainWindow).Saved());
    EXPECT_EQ(GetWide(L"FindText"), std::wstring(L"*\\\u5199\u771f*"));
    EXPECT_EQ(GetWide(L"SOFindText"), std::wstring(L"\u0141\u00f3d\u017a"));

    Scramble();
    LoadSettings(app);
    EXPECT_STREQ(app.scanOptions.FindText, L"*\\\u5199\u771f*");
    EXPECT_STREQ(app.saveOptions.FindText, L"\u0141\u00f3d\u017a");

    // The longest text is 259 units, whatever the script; one more is
    // taken for a value no version wrote, and the default stands.
    const std::wstring longest(259, L'\u5199');
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
    RegSetValueExW(key, L"FindText", 0, REG_SZ, reinterpret_cast<const BYTE*>(longest.c_str()),
                   static_cast<DWORD>((longest.size() + 1) * sizeof(wchar_t)));
    const std::wstring tooLong = longest + L"x";
    RegSetValueExW(key, L"SOFindText", 0, REG_SZ, reinterpret_cast<const BYTE*>(tooLong.c_str()),
                   static_cast<DWORD>((tooLong.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    LoadSettings(app);
    EXPECT_EQ(std::wstring(app.scanOptions.FindText), longest);
    EXPECT_STREQ(app.saveOptions.FindText, L"*?*");
}

// One function loads and saves a filter record under any prefix: the same
// seven names after it, in the same order and form.
TEST_F(SettingsStore, FilterRecordIsLoadedAndSavedUnderItsPrefix)
{
    const RegistryKey key = RegistryKey::Create(HKEY_CURRENT_USER, kKey);
    ASSERT_TRUE(key.IsOpen());
    FilterOptions written = DefaultSaveOptions();
    written.LimitSize = 1;
    written.SizeLimit = -7;
    written.LimitDepth = 1;
    written.DepthLimit = 4;
    written.Find = 1;
    written.InvertFind = 1;
    std::wcscpy(written.FindText, L"\t\u0141\u00f3d\u017a ");
    EXPECT_TRUE(SaveFilterOptions(key, "SO", written).Saved());
    EXPECT_STREQ(written.FindText, L"\u0141\u00f3d\u017a");  // trimmed in the record itself
    ExpectNumber("SOLimitSize", 1);
    ExpectNumber("SOSizeLimit", static_cast<uint32_t>(-7));
    ExpectNumber("SOLimitDepth", 1);
    ExpectNumber("SODepthLimit", 4);
    ExpectNumber("SOFind", 1);
    ExpectNumber("SOInvertFind", 1);
    EXPECT_EQ(GetWide(L"SOFindText"), std::wstring(L"\u0141\u00f3d\u017a"));
    EXPECT_FALSE(Get("LimitSize").has_value()) << "the other prefix is left alone";

    FilterOptions read = DefaultSaveOptions();
    LoadFilterOptions(key, "SO", read);
    EXPECT_TRUE(read == written);
    // Under the empty prefix nothing is stored yet: every field keeps its value.
    FilterOptions untouched = DefaultScanOptions();
    LoadFilterOptions(key, "", untouched);
    EXPECT_TRUE(untouched == DefaultScanOptions());
}

// A key that takes no values: the writes are refused, and the first one
// refused is named.
TEST_F(SettingsStore, ARefusedWriteNamesTheFirstValueRefused)
{
    ASSERT_TRUE(RegistryKey::Create(HKEY_CURRENT_USER, kKey).IsOpen());
    const RegistryKey readOnly = RegistryKey::OpenForReading(HKEY_CURRENT_USER, kKey);
    ASSERT_TRUE(readOnly.IsOpen());
    FilterOptions options = DefaultSaveOptions();
    const SettingsWrite write = SaveFilterOptions(readOnly, "SO", options);
    EXPECT_FALSE(write.Saved());
    EXPECT_EQ(write.failure, SettingsWrite::Failure::Value);
    EXPECT_EQ(write.valueName, "SOLimitSize");
    EXPECT_FALSE(Get("SOLimitSize").has_value());
    EXPECT_FALSE(Get("SOFindText").has_value());
}

TEST_F(SettingsStore, PositionComesFromTheRestoredRectangleOfTheMainWindow)
{
    HWND window = CreateWindowExA(0, "STATIC", "placement", WS_POPUP | WS_VISIBLE, 123, 45, 300, 200, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_MINIMIZE);
    LoadSettings(app);
    app.mainWindow = window;
    SaveSettings(app, app.mainWindow);
    app.mainWindow = nullptr;
    DestroyWindow(window);
    ExpectNumber("PosX", 123);
    ExpectNumber("PosY", 45);
}

TEST_F(SettingsStore, VersionIsWrittenWithoutNul)
{
    EXPECT_TRUE(WriteVersionValue().Saved());
    ExpectText("V", AppVersion);
    // Also as the hive holds it: the version's characters, nothing more.
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key), ERROR_SUCCESS);
    wchar_t wide[64] = {};
    DWORD size = sizeof wide;
    EXPECT_EQ(RegQueryValueExW(key, L"V", nullptr, nullptr, reinterpret_cast<BYTE*>(wide), &size), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(size, (sizeof AppVersion - 1) * sizeof(wchar_t));
    // Writing again replaces, and loading ignores it.
    WriteVersionValue();
    ExpectText("V", AppVersion);
    Scramble();
    LoadSettings(app);
    ExpectDefaults();
}

}  // namespace

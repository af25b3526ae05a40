// The referrer page: its name, its text byte for byte, where it is written
// (TEMP, then TMP, with the length limits) and what the shell is handed.
// OpenViaReferrerPage runs for real; dw_recorder.exe stands in for the
// browser and records every target the shell was asked to open.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <cstdio>
#include <string>
#include <vector>

#include "base/product_text.h"
#include "base/version.h"
#include "recording_handler.h"
#include "web/referrer_page.h"
#include "web/referrer_page_text.h"

namespace {

const std::string kPageName = std::string(AppVersion) + " - Internet Referrering Page.htm";

// The page for `address` as it must read, line by line.
std::string ExpectedPage(const std::string& address)
{
    const std::vector<std::string> lines = {
        "<html>",
        "<head>",
        "<title>" + kPageName + "</title>",
        "</head>",
        "",
        "<body>",
        "",
        "<font face=\"arial\" size=\"4\">",
        "",
        "Click to visit.....",
        "",
        "<br><br>",
        "",
        "<a href=\"" + address + "\">" + address + "</a><br><br>",
        "",
        "</font>",
        "",
        "<br><br>",
        "",
        "<table border=\"0\" width=\"400\">",
        "<td>",
        "<font face=\"arial\" size=\"2\">",
        std::string("[<a href=\"") + makerSiteAddress +
            "\">BrackenmoorWorks</a> (and it's associates) cannot be held responsible for the content of linked "
            "internet sites/pages.",
        "The content of linked internet sites/pages is the property of their respective owners.]",
        "</font>",
        "</td>",
        "</table>",
        "",
        "</body>",
        "</html>",
    };
    std::string page;
    for (size_t i = 0; i < lines.size(); ++i)
        page += (i == 0 ? "" : "\n") + lines[i];
    return page;
}

std::string WithCrLf(const std::string& text)
{
    std::string out;
    for (char c : text)
        out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

TEST(ReferrerPageText, NameIsTheVersionAndTheFixedTail)
{
    char name[MAX_PATH + 1];
    EXPECT_EQ(FormatReferrerPageName(name), 51u);
    EXPECT_EQ(std::string(name), kPageName);
}

TEST(ReferrerPageText, PageIsThirtyLinesWithTheAddressTwice)
{
    const std::string address = "https://www.example.com/a/b?x=1&y=two words";
    char text[4096];
    ASSERT_TRUE(FormatReferrerPageText(text, sizeof text, kPageName.c_str(), address.c_str()));
    EXPECT_EQ(std::string(text), ExpectedPage(address));
    EXPECT_EQ(std::count(text, text + std::strlen(text), '\n'), 29);
}

TEST(ReferrerPageText, ReportsAPageThatDoesNotFit)
{
    const std::string address(2100, 'x');
    char text[4096];
    EXPECT_FALSE(FormatReferrerPageText(text, sizeof text, kPageName.c_str(), address.c_str()));
    const std::string page = ExpectedPage("http://a");
    std::vector<char> exact(page.size() + 1);
    EXPECT_TRUE(FormatReferrerPageText(exact.data(), exact.size(), kPageName.c_str(), "http://a"));
    EXPECT_FALSE(FormatReferrerPageText(exact.data(), exact.size() - 1, kPageName.c_str(), "http://a"));
}

TEST(ReferrerPageText, UpdateCheckAddressKeepsTheBackslashAndTheSpace)
{
    char address[MAX_PATH + 1];
    ComposeUpdateCheckAddress(address);
    EXPECT_EQ(std::string(address),
              std::string(productPageAddress) + "\\version_checker.pl?version=" + AppVersion);
}

std::wstring Wide(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

std::string Utf8(const std::wstring& text)
{
    std::string utf8(text.size() * 3, '\0');
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(),
                                          static_cast<int>(utf8.size()), nullptr, nullptr);
    utf8.resize(bytes > 0 ? static_cast<size_t>(bytes) : 0);
    return utf8;
}

std::string PathFor(const std::string& temp, const std::string& tmp, bool* ok)
{
    std::wstring path = L"untouched";
    *ok = ComposeReferrerPagePath(Wide(temp), Wide(tmp), Wide(kPageName), path);
    return Utf8(path);
}

TEST(ReferrerPagePath, TempFirstThenTmpWithOneBackslash)
{
    bool ok = false;
    EXPECT_EQ(PathFor("C:\\Temp", "D:\\Tmp", &ok), "C:\\Temp\\" + kPageName);
    EXPECT_TRUE(ok);
    EXPECT_EQ(PathFor("C:\\Temp\\", "", &ok), "C:\\Temp\\" + kPageName);
    EXPECT_TRUE(ok);
    EXPECT_EQ(PathFor("", "D:\\Tmp", &ok), "D:\\Tmp\\" + kPageName);
    EXPECT_TRUE(ok);
    PathFor("", "", &ok);
    EXPECT_FALSE(ok);
}

TEST(ReferrerPagePath, EitherValueOverTheLimitRulesThePageOut)
{
    // 259 - 51 = 208 characters for a folder.
    const std::string folder208 = "C:\\" + std::string(204, 'f') + "\\";
    const std::string folder209 = "C:\\" + std::string(206, 'f');
    ASSERT_EQ(folder208.size(), 208u);
    ASSERT_EQ(folder209.size(), 209u);
    bool ok = false;
    EXPECT_EQ(PathFor(folder208, "", &ok), folder208 + kPageName);
    EXPECT_TRUE(ok);
    EXPECT_EQ(PathFor(folder208, "", &ok).size(), 259u);
    PathFor("C:\\Temp", folder209, &ok);
    EXPECT_FALSE(ok) << "TMP is held to the limit even when TEMP serves";
    PathFor(folder209, "C:\\Tmp", &ok);
    EXPECT_FALSE(ok);
}

TEST(ReferrerPagePath, APathPastTwoHundredFiftyNineIsRuledOut)
{
    const std::string folder207 = "C:\\" + std::string(204, 'f');
    const std::string folder208 = folder207 + "g";
    bool ok = false;
    EXPECT_EQ(PathFor(folder207, "", &ok).size(), 259u);
    EXPECT_TRUE(ok);
    PathFor(folder208, "", &ok);  // the added backslash makes 260
    EXPECT_FALSE(ok);
}

// The 259-unit rule counts UTF-16 units, in any script.
TEST(ReferrerPagePath, AFolderInAnyScriptIsCountedInUtf16Units)
{
    const std::wstring folder = L"C:\\users\\\u674e\u660e\\Temp";  // 李明
    std::wstring path;
    ASSERT_TRUE(ComposeReferrerPagePath(folder, L"", Wide(kPageName), path));
    EXPECT_EQ(path, folder + L"\\" + Wide(kPageName));
    const std::wstring folder208 = L"C:\\" + std::wstring(204, L'\u674e') + L"\\";
    ASSERT_TRUE(ComposeReferrerPagePath(folder208, L"", Wide(kPageName), path));
    EXPECT_EQ(path.size(), 259u);
    EXPECT_FALSE(ComposeReferrerPagePath(folder208 + L"\u660e", L"", Wide(kPageName), path));
}

// OpenViaReferrerPage for real, with TEMP and TMP set per test.
class OpenViaReferrerPageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dwtest::RegisterRecordingHandler());
        savedTemp_ = Read("TEMP");
        savedTmp_ = Read("TMP");
        static std::atomic<int> counter{0};
        char base[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, base);
        char root[MAX_PATH];
        std::snprintf(root, sizeof root, "%sdw-ref-%lu-%d", base, GetCurrentProcessId(), counter++);
        root_ = root;
        CreateDirectoryA(root_.c_str(), nullptr);
        log_ = root_ + "\\recorded.log";
        dwtest::SetRecorderLog(log_);
    }

    void TearDown() override
    {
        Restore("TEMP", savedTemp_);
        Restore("TMP", savedTmp_);
    }

    static std::pair<bool, std::string> Read(const char* name)
    {
        char value[32768];
        const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
        if (length == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND)
            return {false, {}};
        return {true, std::string(value, length < sizeof value ? length : 0)};
    }
    static void Restore(const char* name, const std::pair<bool, std::string>& saved)
    {
        SetEnvironmentVariableA(name, saved.first ? saved.second.c_str() : nullptr);
    }

    // A new folder below the test's root; its path has `length` characters
    // when a length is given.
    std::string Folder(const std::string& tag, size_t length = 0)
    {
        std::string path = root_ + "\\" + tag;
        if (length > path.size())
            path += std::string(length - path.size(), 'd');
        EXPECT_TRUE(CreateDirectoryA(path.c_str(), nullptr)) << path;
        return path;
    }

    static bool Exists(const std::string& path)
    {
        return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    // Opens `address` and returns the one target the shell was handed.
    std::string Open(const std::string& address)
    {
        const size_t before = dwtest::RecordedTargets(log_).size();
        OpenViaReferrerPage(address.c_str());
        const auto targets = dwtest::WaitRecordedTargets(log_, before + 1);
        EXPECT_EQ(targets.size(), before + 1);
        return targets.size() > before ? targets[before] : std::string();
    }

    std::string root_, log_;
    std::pair<bool, std::string> savedTemp_, savedTmp_;
};

TEST_F(OpenViaReferrerPageTest, WritesThePageIntoTempAndOpensIt)
{
    const std::string temp = Folder("temp");
    const std::string tmp = Folder("tmp");
    SetEnvironmentVariableA("TEMP", temp.c_str());
    SetEnvironmentVariableA("TMP", tmp.c_str());
    const std::string address = "https://www.example.com/page?a=1&b=2";
    const std::string page = temp + "\\" + kPageName;

    EXPECT_EQ(Open(address), page);
    std::FILE* file = std::fopen(page.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    std::string bytes;
    for (int c; (c = std::fgetc(file)) != EOF;)
        bytes += static_cast<char>(c);
    std::fclose(file);
    EXPECT_EQ(bytes, WithCrLf(ExpectedPage(address)));
    EXPECT_EQ(bytes.substr(bytes.size() - 9), "\r\n</html>") << "no line end after the last line";
    EXPECT_FALSE(Exists(tmp + "\\" + kPageName));
}

// A temporary folder inside a profile named outside the code page.
TEST_F(OpenViaReferrerPageTest, ATempFolderInAnyScriptTakesThePage)
{
    const std::wstring temp = Wide(root_) + L"\\\u674e\u660e";
    ASSERT_TRUE(CreateDirectoryW(temp.c_str(), nullptr));
    SetEnvironmentVariableW(L"TEMP", temp.c_str());
    SetEnvironmentVariableW(L"TMP", temp.c_str());
    const std::wstring page = temp + L"\\" + Wide(kPageName);
    EXPECT_EQ(Open("http://www.example.com/"), Utf8(page));
    EXPECT_NE(GetFileAttributesW(page.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(OpenViaReferrerPageTest, TempUnsetUsesTmp)
{
    const std::string tmp = Folder("tmp");
    SetEnvironmentVariableA("TEMP", nullptr);
    SetEnvironmentVariableA("TMP", tmp.c_str());
    EXPECT_EQ(Open("http://www.example.com/"), tmp + "\\" + kPageName);
    EXPECT_TRUE(Exists(tmp + "\\" + kPageName));
}

TEST_F(OpenViaReferrerPageTest, TempEndingInABackslashGetsNoSecond)
{
    const std::string temp = Folder("temp") + "\\";
    SetEnvironmentVariableA("TEMP", temp.c_str());
    SetEnvironmentVariableA("TMP", nullptr);
    EXPECT_EQ(Open("http://www.example.com/"), temp + kPageName);
}

TEST_F(OpenViaReferrerPageTest, NoTemporaryFolderOpensTheAddressItself)
{
    SetEnvironmentVariableA("TEMP", nullptr);
    SetEnvironmentVariableA("TMP", nullptr);
    EXPECT_EQ(Open("http://www.example.com/unset"), "http://www.example.com/unset");
    SetEnvironmentVariableA("TEMP", "");
    SetEnvironmentVariableA("TMP", "");
    EXPECT_EQ(Open("http://www.example.com/empty"), "http://www.example.com/empty");
}

TEST_F(OpenViaReferrerPageTest, ATooLongTmpRulesOutAUsableTemp)
{
    const std::string temp = Folder("temp");
    const std::string longTmp = Folder("tmp", 209);
    ASSERT_EQ(longTmp.size(), 209u);
    SetEnvironmentVariableA("TEMP", temp.c_str());
    SetEnvironmentVariableA("TMP", longTmp.c_str());
    EXPECT_EQ(Open("http://www.example.com/long"), "http://www.example.com/long");
    EXPECT_FALSE(Exists(temp + "\\" + kPageName));
    EXPECT_FALSE(Exists(longTmp + "\\" + kPageName));

    // A value far beyond any path is no different.
    SetEnvironmentVariableA("TMP", (temp + std::string(5000, 'x')).c_str());
    EXPECT_EQ(Open("http://www.example.com/longer"), "http://www.example.com/longer");
    EXPECT_FALSE(Exists(temp + "\\" + kPageName));
}

TEST_F(OpenViaReferrerPageTest, PathLengthLimitIsTwoHundredFiftyNine)
{
    // The page is written at 259 characters. Wine's shell reports any file
    // path from 257 characters on as not found, so what it was handed is not
    // observed here (a shell failure is not the program's to detect).
    const std::string fits = Folder("a", 207);
    SetEnvironmentVariableA("TEMP", fits.c_str());
    SetEnvironmentVariableA("TMP", nullptr);
    OpenViaReferrerPage("http://www.example.com/");
    ASSERT_EQ((fits + "\\" + kPageName).size(), 259u);
    EXPECT_TRUE(Exists(fits + "\\" + kPageName));

    const std::string tooLong = Folder("b", 208);
    SetEnvironmentVariableA("TEMP", tooLong.c_str());
    EXPECT_EQ(Open("http://www.example.com/208"), "http://www.example.com/208");
}

TEST_F(OpenViaReferrerPageTest, AFolderThatCannotTakeThePageOpensTheAddressItself)
{
    SetEnvironmentVariableA("TEMP", (root_ + "\\missing").c_str());
    SetEnvironmentVariableA("TMP", nullptr);
    EXPECT_EQ(Open("http://www.example.com/missing"), "http://www.example.com/missing");
}

TEST_F(OpenViaReferrerPageTest, EveryCallRewritesTheSamePage)
{
    const std::string temp = Folder("temp");
    SetEnvironmentVariableA("TEMP", temp.c_str());
    const std::string page = temp + "\\" + kPageName;
    EXPECT_EQ(Open("https://www.example.com/a-rather-longer-first-address"), page);
    EXPECT_EQ(Open("http://b.example"), page);
    std::FILE* file = std::fopen(page.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    std::string bytes;
    for (int c; (c = std::fgetc(file)) != EOF;)
        bytes += static_cast<char>(c);
    std::fclose(file);
    EXPECT_EQ(bytes, WithCrLf(ExpectedPage("http://b.example")));

    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((temp + "\\*.htm").c_str(), &found);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    int pages = 1;
    while (FindNextFileA(find, &found))
        ++pages;
    FindClose(find);
    EXPECT_EQ(pages, 1);
}

}  // namespace

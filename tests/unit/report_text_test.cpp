// The report text, piece by piece and row by row, without any window.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "base/code_page_text.h"
#include "base/version.h"
#include "report/report_file.h"
#include "report/report_text.h"

namespace {

class TextSink : public ReportSink {
public:
    // Refuses the piece numbered `failAt` (0 based) and every one after it.
    explicit TextSink(int failAt = -1) : failAt_(failAt) {}
    bool Put(const char* text) override
    {
        if (failAt_ >= 0 && puts_ >= failAt_) {
            ++refused;
            return false;
        }
        ++puts_;
        text_ += text;
        return true;
    }
    const std::string& Text() const { return text_; }
    int Pieces() const { return puts_; }
    int refused = 0;

private:
    int failAt_;
    int puts_ = 0;
    std::string text_;
};

class Rows : public ReportRows {
public:
    Rows(std::initializer_list<std::vector<std::string>> rows) : rows_(rows) {}
    int Count() const override { return static_cast<int>(rows_.size()); }
    void Read(int index, ReportRow& row) const override
    {
        row.path = FromCodePage(rows_[index][0]);
        row.branch = rows_[index][1];
        row.node = rows_[index][2];
    }

private:
    std::vector<std::vector<std::string>> rows_;
};

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    if (start < text.size())
        lines.push_back(text.substr(start) + "<no line end>");
    return lines;
}

void ExpectLines(const std::string& text, const std::vector<std::string>& expected)
{
    const auto lines = Lines(text);
    for (size_t i = 0; i < lines.size() && i < expected.size(); ++i)
        EXPECT_EQ(lines[i], expected[i]) << "line " << i + 1;
    EXPECT_EQ(lines.size(), expected.size());
}

const std::vector<std::string> kTop = {
    AppVersion,
    "",
    "http://www.brackenmoorworks.example",
    "Copyright (C) 2026 BrackenmoorWorks. All rights reserved.",
    "",
    "",
    "START OF REPORT.",
    "",
};

std::vector<std::string> Join(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

ReportFacts CompletedScan()
{
    ReportFacts facts{};
    facts.savedAt = 1709210096;
    facts.scanFinishedAt = 1709210000;
    facts.scanRoot = L"C:\\Data\\";
    facts.computerName = "BENCH";
    facts.status = Done;
    facts.filesAssessed = 1234;
    facts.foldersAssessed = 56;
    facts.foldersCounted = 56;
    facts.sortColumn = 1;
    facts.dataset = DefaultScanOptions();
    facts.report = DefaultSaveOptions();
    return facts;
}

std::string Report(const ReportFacts& facts, const ReportRows& rows)
{
    TextSink sink;
    EXPECT_TRUE(WriteReportText(sink, facts, rows));
    return sink.Text();
}

TEST(FormatAsctime, GivesTheUtcTimeWithTwoDigitDays)
{
    char text[26];
    const std::pair<uint32_t, const char*> cases[] = {
        {0, "Thu Jan 01 00:00:00 1970\n"},          {315627835, "Wed Jan 02 02:23:55 1980\n"},
        {951829261, "Tue Feb 29 13:01:01 2000\n"},  {1709210096, "Thu Feb 29 12:34:56 2024\n"},
        {1234567890, "Fri Feb 13 23:31:30 2009\n"}, {4294967295u, "Sun Feb 07 06:28:15 2106\n"},
    };
    for (const auto& [seconds, expected] : cases) {
        std::memset(text, 'x', sizeof text);
        FormatAsctime(seconds, text);
        EXPECT_STREQ(text, expected) << seconds;
        EXPECT_EQ(std::strlen(text), 25u);
    }
}

TEST(ReportText, CompletedScanWithEveryFilterOff)
{
    const Rows rows{{"C:\\Data\\", "40", "2"}, {"C:\\Data\\Big, Old", "30", "30"}, {"C:\\Data\\Big, Old\\x", "1", "1"}};
    ExpectLines(Report(CompletedScan(), rows),
                Join(kTop, {
                               "Report saved Thu Feb 29 12:34:56 2024",
                               "Report data Thu Feb 29 12:33:20 2024",
                               "",
                               "Assessing 'C:\\Data\\'.",
                               "Assessed from 'BENCH'.",
                               "Done [Complete].",
                               "1234 Files Assessed.",
                               "56 Folders Assessed [of 56].",
                               "List (dataset) folder size limited to 10 MB.",
                               "List (dataset) folder depth was not limited.",
                               "List (dataset) folder text was not limited.",
                               "Report folder size was not limited.",
                               "Report folder depth was not limited.",
                               "Report folder text was not limited.",
                               "Items sorted by Branch Size.",
                               "",
                               "FOLDER,BRANCH SIZE [MB],NODE SIZE [MB]",
                               "",
                               "C:\\Data\\,40,2",
                               "C:\\Data\\Big, Old\\,30,30",
                               "C:\\Data\\Big, Old\\x\\,1,1",
                               "",
                               "END OF REPORT.",
                           }));
}

TEST(ReportText, BeforeAnyScan)
{
    ReportFacts facts{};
    facts.savedAt = 0;
    facts.scanRoot = L"C:\\Program Files\\Dunewright";
    facts.computerName = "BENCH";
    facts.status = NoData;
    facts.report = DefaultSaveOptions();
    ExpectLines(Report(facts, Rows{}), Join(kTop, {
                                                      "Report saved Thu Jan 01 00:00:00 1970",
                                                      "",
                                                      "Assessing 'C:\\Program Files\\Dunewright'.",
                                                      "Assessed from 'BENCH'.",
                                                      "No data.",
                                                      "NOTE: This report is incomplete [#UNKNOWN% complete].",
                                                      "0 Files Assessed.",
                                                      "0 Folders Assessed [of 0].",
                                                      "List (dataset) folder size was not limited.",
                                                      "List (dataset) folder depth was not limited.",
                                                      "List (dataset) folder text was not limited.",
                                                      "Report folder size was not limited.",
                                                      "Report folder depth was not limited.",
                                                      "Report folder text was not limited.",
                                                      "Items sorted by Folder Name.",
                                                      "",
                                                      "FOLDER,BRANCH SIZE [MB],NODE SIZE [MB]",
                                                      "",
                                                      "",
                                                      "END OF REPORT.",
                                                  }));
}

TEST(ReportText, StoppedUncountedOverflowedScanWithEveryFilterOn)
{
    ReportFacts facts = CompletedScan();
    facts.status = Stopped;
    facts.listOverflow = true;
    facts.sortColumn = 2;
    facts.dataset = ScanOptions{1, 5, 1, 3, 1, 1, L"*tmp*", 1, 0};
    facts.report = SaveOptions{1, 20, 1, 4, 1, 0, L"*\\Data\\*"};
    // A list past 32,000 rows is whole: no warning that the data may be
    // incorrect.
    ExpectLines(Report(facts, Rows{{"C:\\Data\\", "40", "2"}}),
                Join(kTop, {
                               "Report saved Thu Feb 29 12:34:56 2024",
                               "Report data Thu Feb 29 12:33:20 2024",
                               "",
                               "Assessing 'C:\\Data\\'.",
                               "Assessed from 'BENCH'.",
                               "Stopped [Incomplete].",
                               "NOTE: This report is incomplete [#UNKNOWN% complete].",
                               "1234 Files Assessed.",
                               "56 Folders Assessed.",
                               "List (dataset) folder size limited to 5 MB.",
                               "List (dataset) folder depth limited to 3.",
                               "List (dataset) folder text was limited to folder names NOT matching '*tmp*' (The "
                               "find result was inverted).",
                               "Report folder size limited to 20 MB.",
                               "Report folder depth limited to 4.",
                               "Report folder text was limited to folder names containing '*\\Data\\*'.",
                               "Items sorted by Node Size.",
                               "",
                               "FOLDER,BRANCH SIZE [MB],NODE SIZE [MB]",
                               "",
                               "C:\\Data\\,40,2",
                               "",
                               "END OF REPORT.",
                           }));
}

TEST(ReportText, FilterLinesForTheOtherChoices)
{
    ReportFacts facts = CompletedScan();
    facts.dataset.Find = 1;
    facts.dataset.InvertFind = 0;
    facts.report.Find = 1;
    facts.report.InvertFind = 1;
    facts.report.SizeLimit = -3;
    facts.report.LimitSize = 1;
    const auto lines = Lines(Report(facts, Rows{}));
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "List (dataset) folder text was limited to folder names matching '*?*'."),
              lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "Report folder text was limited to folder names NOT containing '*?*' (The find result was "
                        "inverted)."),
              lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Report folder size limited to -3 MB."), lines.end());
}

// Measured on disk, the header says so after the dataset's lines; from a
// volume's root it also gives the space no listed folder holds.
TEST(ReportText, AScanOnDiskSaysSoAndAccountsForTheVolume)
{
    ReportFacts facts = CompletedScan();
    const auto plain = Lines(Report(facts, Rows{}));
    facts.dataset.MeasureOnDisk = 1;
    auto lines = Lines(Report(facts, Rows{}));
    const auto measure = std::find(lines.begin(), lines.end(),
                                   "List (dataset) sizes are the space on disk; a file with several names counts once.");
    ASSERT_NE(measure, lines.end());
    EXPECT_EQ(*(measure - 1), "List (dataset) folder text was not limited.");
    lines.erase(measure);
    EXPECT_EQ(lines, plain);

    facts.volumeKnown = true;
    facts.volumeUsedBytes = 5000000000LL;
    facts.scanOnDiskBytes = 4000000000LL;
    lines = Lines(Report(facts, Rows{}));
    const auto volume = std::find(lines.begin(), lines.end(), "Volume space in use: 5000000000 bytes.");
    ASSERT_NE(volume, lines.end());
    EXPECT_EQ(*(volume + 1), "Scan total on disk: 4000000000 bytes.");
    EXPECT_EQ(*(volume + 2), "In no listed folder: 1000000000 bytes (system files, folders that could not be read, "
                             "shadow copies).");
}

TEST(ReportText, SortLineFollowsTheSortColumn)
{
    const char* expected[] = {"Items sorted by Folder Name.", "Items sorted by Branch Size.",
                              "Items sorted by Node Size."};
    for (int column = 0; column < 3; ++column) {
        ReportFacts facts = CompletedScan();
        facts.sortColumn = column;
        const auto lines = Lines(Report(facts, Rows{}));
        ASSERT_EQ(lines.size(), 28u);
        EXPECT_EQ(lines[22], expected[column]);
    }
    // Any other value leaves the line out.
    ReportFacts facts = CompletedScan();
    facts.sortColumn = 3;
    const auto lines = Lines(Report(facts, Rows{}));
    ASSERT_EQ(lines.size(), 27u);
    EXPECT_EQ(lines[21], "Report folder text was not limited.");
    EXPECT_EQ(lines[22], "");
}

// The data lines a report writes for the given rows and report filters.
std::vector<std::string> DataLines(const SaveOptions& options, const ReportRows& rows,
                                   const wchar_t* root = L"C:\\Data\\")
{
    ReportFacts facts = CompletedScan();
    facts.report = options;
    facts.scanRoot = root;
    const auto lines = Lines(Report(facts, rows));
    // Between the empty line after the column header and the one before
    // END OF REPORT.
    const auto header = std::find(lines.begin(), lines.end(), "FOLDER,BRANCH SIZE [MB],NODE SIZE [MB]");
    EXPECT_NE(header, lines.end());
    if (header == lines.end() || lines.size() < 2)
        return {};
    return std::vector<std::string>(header + 2, lines.end() - 2);
}

const Rows kTree{
    {"C:\\Data\\", "40", "2"},          {"C:\\Data\\A", "12", "3"},  {"C:\\Data\\A\\Deep", "9", "9"},
    {"C:\\Data\\B\\", "10", "1"},       {"C:\\Data\\B\\C\\D", "1", "10"}, {"C:\\Data\\Cache", "2", "2"},
};

TEST(ReportRows, SizeRuleKeepsRowsWithEitherSizeAtTheLimit)
{
    SaveOptions options = DefaultSaveOptions();
    options.LimitSize = 1;
    options.SizeLimit = 10;
    EXPECT_EQ(DataLines(options, kTree), (std::vector<std::string>{"C:\\Data\\,40,2", "C:\\Data\\A\\,12,3",
                                                                    "C:\\Data\\B\\,10,1", "C:\\Data\\B\\C\\D\\,1,10"}));
    options.SizeLimit = 0;
    EXPECT_EQ(DataLines(options, kTree).size(), 6u);
    // Compared without sign: a negative limit is beyond every size.
    options.SizeLimit = -1;
    EXPECT_TRUE(DataLines(options, kTree).empty());
}

TEST(ReportRows, DepthRuleCountsLevelsBelowTheStartFolder)
{
    SaveOptions options = DefaultSaveOptions();
    options.LimitDepth = 1;
    options.DepthLimit = 2;
    EXPECT_EQ(DataLines(options, kTree),
              (std::vector<std::string>{"C:\\Data\\,40,2", "C:\\Data\\A\\,12,3", "C:\\Data\\B\\,10,1",
                                        "C:\\Data\\Cache\\,2,2"}));
    options.DepthLimit = 1;
    EXPECT_EQ(DataLines(options, kTree), (std::vector<std::string>{"C:\\Data\\,40,2"}));
    options.DepthLimit = 3;
    EXPECT_EQ(DataLines(options, kTree).size(), 5u);
    options.DepthLimit = 0;
    EXPECT_TRUE(DataLines(options, kTree).empty());
    options.DepthLimit = -5;
    EXPECT_TRUE(DataLines(options, kTree).empty());
}

TEST(ReportRows, FindRuleMatchesThePathWithItsTrailingBackslash)
{
    SaveOptions options = DefaultSaveOptions();
    options.Find = 1;
    EXPECT_EQ(DataLines(options, kTree).size(), 6u);  // "*?*" keeps everything
    options.InvertFind = 1;
    EXPECT_TRUE(DataLines(options, kTree).empty());

    std::wcscpy(options.FindText, L"*\\cache");
    options.InvertFind = 0;
    EXPECT_TRUE(DataLines(options, kTree).empty());
    std::wcscpy(options.FindText, L"*\\cache\\");
    EXPECT_EQ(DataLines(options, kTree), (std::vector<std::string>{"C:\\Data\\Cache\\,2,2"}));
    options.InvertFind = 1;
    EXPECT_EQ(DataLines(options, kTree).size(), 5u);
}

// The report's find rule is the scan's: a text without wildcards keeps the
// rows whose path (with its trailing backslash) holds it, in any case.
TEST(ReportRows, FindRuleWithoutWildcardsKeepsTheRowsWhosePathHoldsTheText)
{
    SaveOptions options = DefaultSaveOptions();
    options.Find = 1;
    std::wcscpy(options.FindText, L"b\\");
    EXPECT_EQ(DataLines(options, kTree),
              (std::vector<std::string>{"C:\\Data\\B\\,10,1", "C:\\Data\\B\\C\\D\\,1,10"}));
    std::wcscpy(options.FindText, L"CACHE");
    EXPECT_EQ(DataLines(options, kTree), (std::vector<std::string>{"C:\\Data\\Cache\\,2,2"}));
    options.InvertFind = 1;
    EXPECT_EQ(DataLines(options, kTree).size(), 5u);
}

TEST(ReportRows, RulesCombineAndEmptyPathsAreNeverWritten)
{
    SaveOptions options = DefaultSaveOptions();
    options.LimitSize = 1;
    options.SizeLimit = 10;
    options.LimitDepth = 1;
    options.DepthLimit = 2;
    options.Find = 1;
    std::wcscpy(options.FindText, L"*\\B\\");
    EXPECT_EQ(DataLines(options, kTree), (std::vector<std::string>{"C:\\Data\\B\\,10,1"}));

    EXPECT_TRUE(DataLines(DefaultSaveOptions(), Rows{{"", "5", "5"}}).empty());
}

TEST(ReportRows, SizeTextsAreCopiedAsDisplayed)
{
    SaveOptions options = DefaultSaveOptions();
    options.LimitSize = 1;
    options.SizeLimit = 7;
    EXPECT_EQ(DataLines(options, Rows{{"C:\\Data\\", "007", "1"}, {"C:\\Data\\x", "6MB", "x"}}),
              (std::vector<std::string>{"C:\\Data\\,007,1"}));
}

TEST(ReportRows, DepthRuleOnAPathShorterThanTheRootSeesNoSeparator)
{
    SaveOptions options = DefaultSaveOptions();
    options.LimitDepth = 1;
    options.DepthLimit = 1;
    EXPECT_EQ(DataLines(options, Rows{{"C:\\", "5", "5"}}, L"C:\\Data\\"),
              (std::vector<std::string>{"C:\\Data\\,5,5"}));
}

// Rows given with their UTF-16 paths.
class WideRows : public ReportRows {
public:
    explicit WideRows(std::vector<ReportRow> rows) : rows_(std::move(rows)) {}
    int Count() const override { return static_cast<int>(rows_.size()); }
    void Read(int index, ReportRow& row) const override { row = rows_[index]; }

private:
    std::vector<ReportRow> rows_;
};

// Paths are written whole, in the code page without best fit ("\u0141\u00f3d\u017a"
// must never become "Lodz", the name of another folder), and the filters
// work on the real path, past the old 260 characters.
TEST(ReportRows, PathsAreWrittenWholeWithoutBestFitAndFilteredAsTheyAre)
{
    if (GetACP() != 1252)
        GTEST_SKIP() << "written for code page 1252, this system uses " << GetACP();
    const std::wstring longName(300, L'x');
    const WideRows rows({{L"C:\\Data\\\u0141\u00f3d\u017a", "12", "3"},
                         {L"C:\\Data\\" + longName + L"\\tail", "9", "9"},
                         {L"C:\\Data\\\u8868", "1", "1"}});
    const std::string deep = "C:\\Data\\" + std::string(300, 'x') + "\\tail\\,9,9";
    SaveOptions options = DefaultSaveOptions();
    EXPECT_EQ(DataLines(options, rows),
              (std::vector<std::string>{"C:\\Data\\?\xf3" "d?\\,12,3", deep, "C:\\Data\\?\\,1,1"}));

    options.Find = 1;
    std::wcscpy(options.FindText, L"*\\tail\\");
    EXPECT_EQ(DataLines(options, rows), std::vector<std::string>{deep});
    // What a best-fit conversion would have made of the name matches this.
    std::wcscpy(options.FindText, L"*\\L?dz\\");
    EXPECT_TRUE(DataLines(options, rows).empty());
    std::wcscpy(options.FindText, L"*\\?\xf3" "d?\\");
    EXPECT_EQ(DataLines(options, rows).size(), 1u);

    options.Find = 0;
    options.LimitDepth = 1;
    options.DepthLimit = 3;
    EXPECT_EQ(DataLines(options, rows).size(), 3u);
    options.DepthLimit = 2;
    EXPECT_EQ(DataLines(options, rows).size(), 2u);
}

TEST(ReportText, StopsAtTheFirstRefusedPieceAndSaysSo)
{
    const Rows rows{{"C:\\Data\\", "40", "2"}, {"C:\\Data\\A", "12", "3"}};
    TextSink counting;
    ASSERT_TRUE(WriteReportText(counting, CompletedScan(), rows));
    const std::string whole = counting.Text();
    const int pieces = counting.Pieces();
    ASSERT_GT(pieces, 20);
    for (int failAt = 0; failAt < pieces; ++failAt) {
        TextSink sink(failAt);
        EXPECT_FALSE(WriteReportText(sink, CompletedScan(), rows)) << failAt;
        EXPECT_EQ(sink.refused, 1) << failAt;
        EXPECT_LT(sink.Text().size(), whole.size());
        EXPECT_EQ(whole.compare(0, sink.Text().size(), sink.Text()), 0);
    }
}

std::string TempFile(const char* name)
{
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    return std::string(folder) + name;
}

TEST(ReportFile, WritesCarriageReturnAndLineFeed)
{
    const std::string path = TempFile("dw-report-file-test.txt");
    {
        ReportFile file;
        ASSERT_TRUE(file.Open(FromCodePage(path)));
        EXPECT_TRUE(WriteReportText(file, CompletedScan(), Rows{{"C:\\Data\\", "40", "2"}}));
        EXPECT_TRUE(file.Close());
    }
    FILE* in = std::fopen(path.c_str(), "rb");
    ASSERT_NE(in, nullptr);
    std::string bytes;
    char chunk[4096];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, in)) > 0;)
        bytes.append(chunk, n);
    std::fclose(in);
    DeleteFileA(path.c_str());

    std::string expected;
    for (char c : Report(CompletedScan(), Rows{{"C:\\Data\\", "40", "2"}})) {
        if (c == '\n')
            expected.push_back('\r');
        expected.push_back(c);
    }
    EXPECT_EQ(bytes, expected);
}

std::string FileBytes(const std::string& path)
{
    std::string bytes;
    if (FILE* in = std::fopen(path.c_str(), "rb")) {
        char chunk[4096];
        for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, in)) > 0;)
            bytes.append(chunk, n);
        std::fclose(in);
    }
    return bytes;
}

std::vector<std::string> FilesIn(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(found.cFileName);
    } while (FindNextFileA(find, &found));
    FindClose(find);
    return names;
}

TEST(ReportFile, AReportNotWrittenWholeLeavesTheFileItWouldReplace)
{
    const std::string folder = TempFile("dw-report-replace-test");
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string path = folder + "\\old.txt";
    FILE* seed = std::fopen(path.c_str(), "wb");
    ASSERT_NE(seed, nullptr);
    std::fputs("older contents", seed);
    std::fclose(seed);

    {   // Writing stops half way, as on a full disk.
        ReportFile file;
        ASSERT_TRUE(file.Open(FromCodePage(path)));
        EXPECT_TRUE(file.Put("half a rep"));
    }
    EXPECT_EQ(FileBytes(path), "older contents");
    EXPECT_EQ(FilesIn(folder), std::vector<std::string>{"old.txt"});

    {   // Written whole, but the old file cannot be replaced.
        ReportFile file;
        ASSERT_TRUE(file.Open(FromCodePage(path)));
        EXPECT_TRUE(file.Put("a whole report\n"));
        HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_FALSE(file.Close());
        CloseHandle(held);
    }
    EXPECT_EQ(FileBytes(path), "older contents");
    EXPECT_EQ(FilesIn(folder), std::vector<std::string>{"old.txt"});

    {   // Written whole and put in place: nothing else is left beside it.
        ReportFile file;
        ASSERT_TRUE(file.Open(FromCodePage(path)));
        EXPECT_TRUE(file.Put("a whole report\n"));
        EXPECT_TRUE(file.Close());
    }
    EXPECT_EQ(FileBytes(path), "a whole report\r\n");
    EXPECT_EQ(FilesIn(folder), std::vector<std::string>{"old.txt"});

    DeleteFileA(path.c_str());
    RemoveDirectoryA(folder.c_str());
}

TEST(ReportFile, AStreamThatCannotBeWrittenFails)
{
    const std::string path = TempFile("dw-report-file-readonly.txt");
    FILE* seed = std::fopen(path.c_str(), "w");
    ASSERT_NE(seed, nullptr);
    std::fclose(seed);
    ReportFile file(std::fopen(path.c_str(), "r"));
    EXPECT_FALSE(WriteReportText(file, CompletedScan(), Rows{{"C:\\Data\\", "40", "2"}}));
    EXPECT_FALSE(file.Close());
    DeleteFileA(path.c_str());

    ReportFile never;
    EXPECT_FALSE(never.Put("text"));
    EXPECT_FALSE(never.Close());
}

}  // namespace

namespace {

// Find texts in other scripts: the filter works on the UTF-16 text, and the
// filter lines are written in the code page, '?' for what it cannot hold.
TEST(ReportRows, FindTextsInOtherScriptsFilterAndAreWrittenInTheCodePage)
{
    if (GetACP() != 1252)
        GTEST_SKIP() << "written for code page 1252, this system uses " << GetACP();
    ReportFacts facts = CompletedScan();
    facts.dataset.Find = 1;
    std::wcscpy(facts.dataset.FindText, L"*\\\u5199\u771f*");  // 写真
    facts.report.Find = 1;
    facts.report.InvertFind = 1;
    std::wcscpy(facts.report.FindText, L"\u0142\u00f3d\u017a");  // łódź
    const WideRows rows({{L"C:\\Data\\\u5199\u771f\\\u0141\u00f3d\u017a", "1", "1"},
                         {L"C:\\Data\\\u5199\u771f", "2", "1"}});
    const std::vector<std::string> lines = Lines(Report(facts, rows));
    const auto has = [&](const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    };
    EXPECT_TRUE(has("List (dataset) folder text was limited to folder names matching '*\\?\?*'."));
    EXPECT_TRUE(has("Report folder text was limited to folder names NOT containing '?\xf3" "d?' (The find result "
                    "was inverted)."));
    EXPECT_TRUE(has("C:\\Data\\??\\,2,1"));
    EXPECT_FALSE(has("C:\\Data\\??\\?\xf3" "d?\\,1,1")) << "the row holding \u0141\u00f3d\u017a is left out";
}

}  // namespace

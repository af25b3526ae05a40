// The CSV and JSON text of a scan, and the console program's command line.
#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <vector>

#include "app/console_args.h"
#include "scan/scan_output.h"

namespace {

FolderMeasure Measure()
{
    FolderMeasure measure;
    measure.branchBytes = 5000000000LL;  // past 32 bits
    measure.nodeBytes = 12;
    measure.branchOnDisk = 4096;
    measure.nodeOnDisk = 0;
    measure.branchFiles = 3;
    measure.nodeFiles = 1;
    measure.level = 2;
    return measure;
}

TEST(ScanOutputText, Utf8KeepsEveryCharacterAndMarksLoneSurrogates)
{
    std::string out;
    AppendUtf8(out, L"a\u00e9\u65e5\U0001F600");
    EXPECT_EQ(out, "a\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80");
    out.clear();
    const wchar_t lone[] = {L'x', static_cast<wchar_t>(0xD800), L'y', static_cast<wchar_t>(0xDC00), 0};
    AppendUtf8(out, lone);
    EXPECT_EQ(out, "x\xEF\xBF\xBDy\xEF\xBF\xBD");
}

TEST(ScanOutputText, CsvQuotesOnlyFieldsThatNeedIt)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"C:\\plain\\", "C:\\plain\\"},
        {"C:\\a,b", "\"C:\\a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"two\r\nlines", "\"two\r\nlines\""},
        {"lf\nonly", "\"lf\nonly\""},
        {"", ""},
    };
    for (const auto& [field, quoted] : cases) {
        std::string out;
        AppendCsvField(out, field);
        EXPECT_EQ(out, quoted) << field;
    }
}

TEST(ScanOutputText, CsvRowHasEveryExactFigureInHeaderOrder)
{
    std::string out;
    AppendCsvRow(out, L"C:\\\u65e5,x", Measure());
    EXPECT_EQ(out, "\"C:\\\xE6\x97\xA5,x\",5000000000,12,4096,0,3,1,2\r\n");
    EXPECT_STREQ(kCsvHeader, "Folder,Branch bytes,Node bytes,Branch on disk bytes,Node on disk bytes,Branch files,"
                             "Node files,Depth\r\n");
}

TEST(ScanOutputText, JsonStringsEscapeWhatJsonRequires)
{
    std::string out;
    const wchar_t text[] = {L'"', L'\\', L'/', L'\n', L'\t', 0x01, 0x7F, 0x00e9, static_cast<wchar_t>(0xDBFF), 0};
    AppendJsonString(out, text);
    EXPECT_EQ(out, "\"\\\"\\\\/\\n\\t\\u0001\x7F\xC3\xA9\\uDBFF\"");
}

TEST(ScanOutputText, Iso8601TimesAreUtcAcrossLeapDays)
{
    EXPECT_EQ(Iso8601Utc(0), "1970-01-01T00:00:00Z");
    EXPECT_EQ(Iso8601Utc(951782400), "2000-02-29T00:00:00Z");
    EXPECT_EQ(Iso8601Utc(4102444799LL), "2099-12-31T23:59:59Z");  // past 32-bit seconds
}

TEST(ScanOutputText, JsonPiecesMakeOneDocument)
{
    ScanOptions options{};
    options.LimitSize = 1;
    options.SizeLimit = 10;
    options.Find = 1;
    options.InvertFind = 1;
    options.MeasureOnDisk = 1;
    std::wcscpy(options.FindText, L"\u00e9t\u00e9");
    std::string document = JsonHead({"1.4.7.4", L"C:\\d\\", options, 0});
    AppendJsonRow(document, L"C:\\d\\a", Measure(), true);
    AppendJsonRow(document, L"C:\\d\\", Measure(), false);
    document += JsonTail(false, 60, 7, 9);
    const char* expected =
        "{\n"
        "  \"program\": \"Dunewright\",\n"
        "  \"version\": \"1.4.7.4\",\n"
        "  \"folder\": \"C:\\\\d\\\\\",\n"
        "  \"measure\": \"onDisk\",\n"
        "  \"filters\": {\"minMb\": 10, \"depth\": null, \"find\": \"\xC3\xA9t\xC3\xA9\", \"exclude\": true, "
        "\"countFirst\": true},\n"
        "  \"started\": \"1970-01-01T00:00:00Z\",\n"
        "  \"folders\": [\n"
        "    {\"folder\":\"C:\\\\d\\\\a\",\"branchBytes\":5000000000,\"nodeBytes\":12,\"branchOnDiskBytes\":4096,"
        "\"nodeOnDiskBytes\":0,\"branchFiles\":3,\"nodeFiles\":1,\"depth\":2},\n"
        "    {\"folder\":\"C:\\\\d\\\\\",\"branchBytes\":5000000000,\"nodeBytes\":12,\"branchOnDiskBytes\":4096,"
        "\"nodeOnDiskBytes\":0,\"branchFiles\":3,\"nodeFiles\":1,\"depth\":2}\n"
        "  ],\n"
        "  \"complete\": false,\n"
        "  \"finished\": \"1970-01-01T00:01:00Z\",\n"
        "  \"foldersAssessed\": 7,\n"
        "  \"filesAssessed\": 9\n"
        "}\n";
    EXPECT_EQ(document, expected);
}

TEST(ScanOutputText, JsonWithNoFolderIsAnEmptyArray)
{
    ScanOptions options{};
    options.DontCount = 1;
    const std::string document = JsonHead({"1", L"C:\\", options, 0}) + JsonTail(true, 0, 1, 0);
    EXPECT_NE(document.find("\"minMb\": null, \"depth\": null, \"find\": null, \"exclude\": false, "
                            "\"countFirst\": false"),
              std::string::npos);
    EXPECT_NE(document.find("\"folders\": [\n  ],"), std::string::npos);
}

ConsoleCommand Parse(std::vector<std::wstring> arguments)
{
    return ParseConsoleArguments(arguments);
}

TEST(ConsoleArguments, NoArgumentsOrAFolderAloneOpenTheWindow)
{
    EXPECT_EQ(Parse({}).route, ConsoleRoute::Window);
    const ConsoleCommand folder = Parse({L"D:\\My Data"});
    EXPECT_EQ(folder.route, ConsoleRoute::Window);
    EXPECT_EQ(folder.folder, L"D:\\My Data");
}

TEST(ConsoleArguments, EveryOptionSetsWhatTheScanOptionsWould)
{
    const ConsoleCommand command = Parse({L"--csv", L"a.csv", L"--json", L"-", L"--report", L"r.txt", L"--min-mb",
                                          L"25", L"--depth", L"3", L"--find", L"*\\Music", L"--exclude", L"--on-disk",
                                          L"--no-count", L"--accept-terms", L"C:\\x"});
    ASSERT_EQ(command.route, ConsoleRoute::Scan) << command.error;
    EXPECT_EQ(command.csv, L"a.csv");
    EXPECT_EQ(command.json, L"-");
    EXPECT_EQ(command.report, L"r.txt");
    EXPECT_EQ(command.folder, L"C:\\x");
    EXPECT_EQ(command.options.LimitSize, 1);
    EXPECT_EQ(command.options.SizeLimit, 25);
    EXPECT_EQ(command.options.LimitDepth, 1);
    EXPECT_EQ(command.options.DepthLimit, 3);
    EXPECT_EQ(command.options.Find, 1);
    EXPECT_STREQ(command.options.FindText, L"*\\Music");
    EXPECT_EQ(command.options.InvertFind, 1);
    EXPECT_EQ(command.options.MeasureOnDisk, 1);
    EXPECT_EQ(command.options.DontCount, 1);
    EXPECT_TRUE(command.acceptTerms);
}

TEST(ConsoleArguments, WithoutFiltersEveryFolderPassesAndTheCountingPassRuns)
{
    const ConsoleCommand command = Parse({L"C:\\x", L"--csv", L"-"});
    ASSERT_EQ(command.route, ConsoleRoute::Scan) << command.error;
    EXPECT_EQ(command.options.LimitSize, 0);
    EXPECT_EQ(command.options.LimitDepth, 0);
    EXPECT_EQ(command.options.Find, 0);
    EXPECT_EQ(command.options.InvertFind, 0);
    EXPECT_EQ(command.options.MeasureOnDisk, 0);
    EXPECT_EQ(command.options.DontCount, 0);
}

TEST(ConsoleArguments, HelpAndAcceptingAloneAreTheirOwnRoutes)
{
    EXPECT_EQ(Parse({L"--help"}).route, ConsoleRoute::Help);
    EXPECT_EQ(Parse({L"/?"}).route, ConsoleRoute::Help);
    EXPECT_EQ(Parse({L"--accept-terms"}).route, ConsoleRoute::AcceptTermsOnly);
}

TEST(ConsoleArguments, MistakesAreRefusedWithWhatIsWrong)
{
    const std::vector<std::vector<std::wstring>> mistakes = {
        {L"--bogus", L"C:\\x"},
        {L"--csv"},
        {L"--csv", L"a", L"--csv", L"b", L"C:\\x"},
        {L"--csv", L"-", L"--json", L"-", L"C:\\x"},
        {L"--csv", L"a", L"C:\\x", L"D:\\y"},
        {L"--csv", L"a"},
        {L"--min-mb", L"5", L"C:\\x"},
        {L"--csv", L"a", L"--min-mb", L"-5", L"C:\\x"},
        {L"--csv", L"a", L"--depth", L"2x", L"C:\\x"},
        {L"--csv", L"a", L"--depth", L"99999999999", L"C:\\x"},
        {L"--csv", L"a", L"--exclude", L"C:\\x"},
        {L"--csv", L"a", L"--no-count", L"--no-count", L"C:\\x"},
        {L"--csv", L"a", L"--find", std::wstring(300, L'x'), L"C:\\x"},
        {L"--help", L"--bogus"},
    };
    for (const auto& arguments : mistakes) {
        const ConsoleCommand command = Parse(arguments);
        EXPECT_EQ(command.route, ConsoleRoute::Usage) << arguments[0];
        EXPECT_FALSE(command.error.empty());
    }
}

}  // namespace

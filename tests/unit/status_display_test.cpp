// The texts of the status display and of the scan-in-progress box.
#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <string>

#include "app/app_state.h"
#include "ui/status_display.h"

namespace {

std::wstring InProgress(const ScanOptions& options)
{
    wchar_t text[2048];
    FormatScanInProgress(options, text, 2048);
    return text;
}

TEST(ScanInProgress, WithoutLimitsHoldsOnlyTheTwoSentences)
{
    ScanOptions o = DefaultScanOptions();
    o.LimitSize = 0;
    o.DontCount = 1;  // never mentioned
    EXPECT_EQ(InProgress(o), L"A scan is in progress.\n\nStop the current scan to start another.");
}

TEST(ScanInProgress, ListsTheLimitsThatAreOnInOrder)
{
    ScanOptions o = DefaultScanOptions();
    o.Find = 1;
    o.InvertFind = 1;
    std::wcscpy(o.FindText, L"*tmp*");
    EXPECT_EQ(InProgress(o), L"A scan is in progress.\n\n\n\nThe current scan parameters are...\n\n"
                             "* Scan folder size limit [MB] = 10\n\n"
                             "* Scan folder find text limit = [Disclude] = '*tmp*'\n\n"
                             "\n\nStop the current scan to start another.");
    o.LimitSize = 0;
    o.LimitDepth = 1;
    o.DepthLimit = -3;
    o.InvertFind = 0;
    EXPECT_EQ(InProgress(o), L"A scan is in progress.\n\n\n\nThe current scan parameters are...\n\n"
                             "* Scan folder depth limit = -3\n\n"
                             "* Scan folder find text limit = [Include] = '*tmp*'\n\n"
                             "\n\nStop the current scan to start another.");
}

// The find text is shown whole, in any script.
TEST(ScanInProgress, ShowsAFindTextInAnyScriptWhole)
{
    ScanOptions o = DefaultScanOptions();
    o.LimitSize = 0;
    o.Find = 1;
    std::wcscpy(o.FindText, L"*\\\u5199\u771f*");  // 写真
    EXPECT_EQ(InProgress(o), L"A scan is in progress.\n\n\n\nThe current scan parameters are...\n\n"
                             L"* Scan folder find text limit = [Include] = '*\\\u5199\u771f*'\n\n"
                             L"\n\nStop the current scan to start another.");
}

TEST(ScanInProgress, ALongFindTextIsCutToTheBuffer)
{
    ScanOptions o = DefaultScanOptions();
    o.Find = 1;
    std::wmemset(o.FindText, L'x', 259);
    o.FindText[259] = L'\0';
    wchar_t text[100];
    FormatScanInProgress(o, text, 100);
    EXPECT_EQ(std::wcslen(text), 99u);
}

TEST(StatusText, NamesEveryStatus)
{
    EXPECT_STREQ(StatusText(Spin0), "Working \\");
    EXPECT_STREQ(StatusText(Spin1), "Working |");
    EXPECT_STREQ(StatusText(Spin2), "Working /");
    EXPECT_STREQ(StatusText(Spin3), "Working |");
    EXPECT_STREQ(StatusText(Done), "Done [Complete].");
    EXPECT_STREQ(StatusText(Stopped), "Stopped [Incomplete].");
    EXPECT_STREQ(StatusText(NoData), "No data.");
    EXPECT_STREQ(StatusText(AwaitingExit), "Awaiting thread exit.");
}

TEST(StatusAdvance, NeverReplacesAFinalStatus)
{
    app.status = Done;
    EXPECT_FALSE(AdvanceStatus(Spin2, Spin3));
    EXPECT_EQ(app.status, Done);
    app.status = Spin2;
    EXPECT_TRUE(AdvanceStatus(Spin2, Spin3));
    EXPECT_EQ(app.status, Spin3);
    app.status = NoData;
}

// A scan that ran out of memory once left its spinner turning for good.
TEST(StatusAtScanEnd, AScanThatCouldNotGoOnEndsAsStopped)
{
    EXPECT_EQ(StatusAtScanEnd(Spin2, false, false), Stopped);
    EXPECT_EQ(StatusAtScanEnd(Spin0, false, true), Stopped);
    EXPECT_EQ(StatusAtScanEnd(Spin3, true, false), Done);
    EXPECT_EQ(StatusAtScanEnd(AwaitingExit, false, true), AwaitingExit);  // Stop finishes it
    EXPECT_EQ(StatusAtScanEnd(AwaitingExit, true, true), AwaitingExit);
}

}  // namespace

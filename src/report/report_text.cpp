#include "report/report_text.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <iterator>

#include "base/code_page_text.h"
#include "base/product_text.h"
#include "base/version.h"
#include "scan/scan_status.h"

// commdlg.h maps FindText to FindTextA, which would rename the option
// records' field in this file only.
#undef FindText

namespace {

constexpr char kIncompleteNote[] = "NOTE: This report is incomplete [#UNKNOWN%% complete].\n";

// Formats one piece and hands it to the sink; remembers the first failure
// and writes nothing after it.
class PieceWriter {
public:
    explicit PieceWriter(ReportSink& sink) : sink_(sink) {}

    void Text(const char* text)
    {
        if (ok_)
            ok_ = sink_.Put(text);
    }
    void Text(const std::string& text) { Text(text.c_str()); }

    template <typename... Values>
    void Format(const char* format, Values... values)
    {
        if (!ok_)
            return;
        std::snprintf(line_, sizeof line_, format, values...);
        ok_ = sink_.Put(line_);
    }

    bool Ok() const { return ok_; }

private:
    ReportSink& sink_;
    bool ok_ = true;
    // Formatted pieces hold no path (those are joined whole, see Text), at
    // most a find text of 259 UTF-16 units in the code page (three bytes
    // each at most) and a sentence.
    char line_[1400];
};

// The size, depth and text lines of one filter record. `subject` opens each
// line; `verb` says how the find text was applied. The find text is
// written in the report's code page, a character it cannot hold as '?'.
void WriteFilterLines(PieceWriter& out, const char* subject, const char* verb, const FilterOptions& options)
{
    const std::string findText =
        ToCodePage(std::wstring_view(options.FindText, wcsnlen(options.FindText, std::size(options.FindText))));
    if (options.LimitSize)
        out.Format("%s folder size limited to %ld MB.\n", subject, static_cast<long>(options.SizeLimit));
    else
        out.Format("%s folder size was not limited.\n", subject);
    if (options.LimitDepth)
        out.Format("%s folder depth limited to %ld.\n", subject, static_cast<long>(options.DepthLimit));
    else
        out.Format("%s folder depth was not limited.\n", subject);
    if (!options.Find)
        out.Format("%s folder text was not limited.\n", subject);
    else if (options.InvertFind)
        out.Format("%s folder text was limited to folder names NOT %s '%s' (The find result was inverted).\n",
                   subject, verb, findText.c_str());
    else
        out.Format("%s folder text was limited to folder names %s '%s'.\n", subject, verb, findText.c_str());
}

void WriteHeader(PieceWriter& out, const ReportFacts& facts)
{
    out.Format("%s\n", AppVersion);
    out.Text("\n");
    out.Format("%s\n", makerSiteAddress);
    out.Format("%s\n\n", copyrightNotice);
    out.Text("\nSTART OF REPORT.\n\n");
    // A list past 32,000 rows is whole and exact: the report carries no
    // warning that its data may be incorrect.

    char time[26];
    FormatAsctime(facts.savedAt, time);
    out.Format("Report saved %s", time);
    if (facts.scanFinishedAt != 0) {
        FormatAsctime(facts.scanFinishedAt, time);
        out.Format("Report data %s\n", time);
    } else {
        out.Text("\n");
    }
    out.Text("Assessing '" + ToCodePage(facts.scanRoot) + "'.\n");
    out.Format("Assessed from '%s'.\n", facts.computerName);
    switch (facts.status) {
    case Done:
        out.Text("Done [Complete].\n");
        break;
    case Stopped:
        out.Text("Stopped [Incomplete].\n");
        out.Format(kIncompleteNote);
        break;
    case NoData:
        out.Text("No data.\n");
        out.Format(kIncompleteNote);
        break;
    default:
        break;
    }
    out.Format("%ld Files Assessed.\n", static_cast<long>(facts.filesAssessed));
    if (facts.dataset.DontCount)
        out.Format("%ld Folders Assessed.\n", static_cast<long>(facts.foldersAssessed));
    else
        out.Format("%ld Folders Assessed [of %ld].\n", static_cast<long>(facts.foldersAssessed),
                   static_cast<long>(facts.foldersCounted));

    WriteFilterLines(out, "List (dataset)", "matching", facts.dataset);
    if (facts.dataset.MeasureOnDisk) {
        out.Text("List (dataset) sizes are the space on disk; a file with several names counts once.\n");
        if (facts.volumeKnown) {
            const int64_t unlisted = facts.volumeUsedBytes - facts.scanOnDiskBytes;
            out.Format("Volume space in use: %lld bytes.\n", static_cast<long long>(facts.volumeUsedBytes));
            out.Format("Scan total on disk: %lld bytes.\n", static_cast<long long>(facts.scanOnDiskBytes));
            out.Format("In no listed folder: %lld bytes (system files, folders that could not be read, shadow "
                       "copies).\n",
                       static_cast<long long>(unlisted));
        }
    }
    WriteFilterLines(out, "Report", "containing", facts.report);

    switch (facts.sortColumn) {
    case 0:
        out.Text("Items sorted by Folder Name.\n");
        break;
    case 1:
        out.Text("Items sorted by Branch Size.\n");
        break;
    case 2:
        out.Text("Items sorted by Node Size.\n");
        break;
    default:
        break;
    }
    out.Text("\nFOLDER,BRANCH SIZE [MB],NODE SIZE [MB]\n\n");
}

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void CivilFromDays(int64_t days, int* year, int* month, int* day)
{
    days += 719468;
    const int64_t era = days / 146097;
    const int64_t dayOfEra = days - era * 146097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t shifted = (5 * dayOfYear + 2) / 153;
    *day = static_cast<int>(dayOfYear - (153 * shifted + 2) / 5 + 1);
    *month = static_cast<int>(shifted < 10 ? shifted + 3 : shifted - 9);
    *year = static_cast<int>(yearOfEra + era * 400 + (*month <= 2 ? 1 : 0));
}

}  // namespace

void FormatAsctime(uint32_t secondsSince1970, char* text)
{
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const int64_t days = secondsSince1970 / 86400;
    const uint32_t second = secondsSince1970 % 86400;
    int year = 0, month = 0, day = 0;
    CivilFromDays(days, &year, &month, &day);
    // 1 January 1970 was a Thursday.
    const char* weekday = kDays[(days + 4) % 7];
    std::snprintf(text, 26, "%s %s %02d %02u:%02u:%02u %04d\n", weekday, kMonths[month - 1], day, second / 3600,
                  second / 60 % 60, second % 60, year);
}

bool KeepReportRow(const ReportRow& row, const SaveOptions& options, const FindFilter& find,
                   std::wstring_view scanRoot, std::wstring& outputPath)
{
    std::wstring path = row.path;
    AddBackslash(path);

    if (options.LimitSize) {
        const uint32_t limit = static_cast<uint32_t>(options.SizeLimit);
        const uint32_t branch = static_cast<uint32_t>(std::atol(row.branch.c_str()));
        const uint32_t node = static_cast<uint32_t>(std::atol(row.node.c_str()));
        if (node < limit && branch < limit)
            return false;
    }

    if (options.LimitDepth) {
        const std::wstring_view relative =
            path.size() > scanRoot.size() ? std::wstring_view(path).substr(scanRoot.size()) : std::wstring_view();
        int32_t separators = 0;
        for (wchar_t c : relative)
            if (c == L'\\')
                ++separators;
        if (separators >= options.DepthLimit)
            return false;
        // The start folder's path and the part below it: the row's own path.
        outputPath = std::wstring(scanRoot) + std::wstring(relative);
    } else {
        outputPath = std::move(path);
    }

    if (!find.Passes(outputPath.c_str()))
        return false;
    return !outputPath.empty();
}

bool WriteReportText(ReportSink& sink, const ReportFacts& facts, const ReportRows& rows)
{
    PieceWriter out(sink);
    WriteHeader(out, facts);
    const int count = rows.Count();
    ReportRow row;
    std::wstring outputPath;
    const FindFilter find(facts.report);
    for (int index = 0; index < count && out.Ok(); ++index) {
        rows.Read(index, row);
        if (KeepReportRow(row, facts.report, find, facts.scanRoot, outputPath))
            out.Text(ToCodePage(outputPath) + "," + row.branch + "," + row.node + "\n");
    }
    out.Text("\nEND OF REPORT.\n");
    return out.Ok();
}

#pragma once

// The text of a report, free of any window: the header from the facts of
// the run, then one line per listed row that passes the report filters,
// then the end marker. Each "\n" becomes a line end of the file it goes to.

#include <cstdint>
#include <string>
#include <string_view>

#include "scan/scan_rules.h"
#include "settings/options.h"

// Everything the header says, gathered by the caller.
struct ReportFacts {
    uint32_t savedAt;         // seconds since 1970
    uint32_t scanFinishedAt;  // 0: no scan has finished
    std::wstring_view scanRoot;  // whole, as the file system spells it
    const char* computerName;
    int32_t status;  // ScanStatus
    int32_t filesAssessed;
    int32_t foldersAssessed;
    int32_t foldersCounted;
    bool listOverflow;  // the list passed 32,000 rows: kept, but nothing in the report follows from it
    int32_t sortColumn;
    ScanOptions dataset;
    SaveOptions report;
    // A scan measured on disk that started at a volume's root: the space
    // the volume has in use, beside the scan's own total.
    bool volumeKnown = false;
    int64_t volumeUsedBytes = 0;
    int64_t scanOnDiskBytes = 0;
};

// One list row as displayed: the folder's whole path, the Branch and Node
// texts.
struct ReportRow {
    std::wstring path;
    std::string branch;
    std::string node;
};

// Where the text goes; false when a piece could not be written.
class ReportSink {
public:
    virtual ~ReportSink() = default;
    virtual bool Put(const char* text) = 0;
};

// The rows in display order.
class ReportRows {
public:
    virtual ~ReportRows() = default;
    virtual int Count() const = 0;
    virtual void Read(int index, ReportRow& row) const = 0;
};

// Writes the whole report; false, and nothing more written, at the first
// piece the sink refuses. Paths are written whole in the system code page,
// made without best fit: a character it cannot hold is written '?', never
// as another, existing name.
bool WriteReportText(ReportSink& sink, const ReportFacts& facts, const ReportRows& rows);

// The report filters for one row, on its whole UTF-16 path. True when the
// row is written, with the path to write (ending in a backslash) in
// `outputPath`. The find rule is the scan's (FindFilter, made once from
// `options` for all rows) on that path.
bool KeepReportRow(const ReportRow& row, const SaveOptions& options, const FindFilter& find,
                   std::wstring_view scanRoot, std::wstring& outputPath);

// A UTC time in the asctime form, "Wed Jan 02 02:03:55 1980\n": 25
// characters and the NUL, so `text` holds at least 26.
void FormatAsctime(uint32_t secondsSince1970, char* text);

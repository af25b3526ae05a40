#pragma once

// The text of a scan written for other programs: CSV rows and a JSON
// document, one folder at a time, free of any file or window. Both carry
// every folder's exact figures in both measures; paths are whole, UTF-8.

#include <cstdint>
#include <string>
#include <string_view>

#include "scan/folder_measure.h"
#include "settings/options.h"

// UTF-8 with a byte-order mark, so that a spreadsheet reads it as UTF-8.
inline constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";

// The CSV's first line, with its CR LF.
inline constexpr char kCsvHeader[] =
    "Folder,Branch bytes,Node bytes,Branch on disk bytes,Node on disk bytes,Branch files,Node files,Depth\r\n";

// Appends the UTF-8 form of a UTF-16 text. A lone surrogate, which a file
// name may hold but UTF-8 cannot, becomes U+FFFD.
void AppendUtf8(std::string& out, std::wstring_view text);

// Appends one CSV field as RFC 4180 quotes it: in double quotes, with each
// quote doubled, when it holds a comma, a quote, a CR or an LF; as it is
// otherwise.
void AppendCsvField(std::string& out, std::string_view field);

// Appends a whole CSV line (with its CR LF) for one folder.
void AppendCsvRow(std::string& out, const wchar_t* folder, const FolderMeasure& measure);

// Appends a UTF-16 text as a JSON string, quotes included: the quote, the
// backslash and control characters escaped, everything else as UTF-8; a
// lone surrogate as its \uXXXX escape, so the name comes back unit for unit.
void AppendJsonString(std::string& out, std::wstring_view text);

// A UTC time as ISO 8601: "2026-12-08T09:05:00Z".
std::string Iso8601Utc(int64_t secondsSince1970);

// What a JSON document says of its scan before its rows.
struct ScanDescription {
    std::string_view version;  // "1.4.7.4"
    std::wstring_view folder;  // the start folder, as the rows spell it
    ScanOptions options;
    int64_t startedAt;  // seconds since 1970
};

// The document in three pieces, so that it is written as the rows come
// and never held whole: the head up to the opening of the folders array,
// one piece per folder (`first` for the first), and the tail.
std::string JsonHead(const ScanDescription& scan);
void AppendJsonRow(std::string& out, const wchar_t* folder, const FolderMeasure& measure, bool first);
std::string JsonTail(bool complete, int64_t finishedAt, int64_t foldersAssessed, int64_t filesAssessed);

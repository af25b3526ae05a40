#include "scan/scan_output.h"

#include <cstdio>

namespace {

void AppendNumber(std::string& out, int64_t value)
{
    char text[24];
    std::snprintf(text, sizeof text, "%lld", static_cast<long long>(value));
    out += text;
}

bool IsHighSurrogate(uint32_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(uint32_t unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

void AppendCodePoint(std::string& out, uint32_t point)
{
    if (point < 0x80) {
        out += static_cast<char>(point);
    } else if (point < 0x800) {
        out += static_cast<char>(0xC0 | (point >> 6));
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
        out += static_cast<char>(0xE0 | (point >> 12));
        out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (point >> 18));
        out += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    }
}

// Walks a UTF-16 text by code point: `point` for each whole character,
// `lone` for each surrogate without its partner.
template <typename Point, typename Lone>
void ForEachCodePoint(std::wstring_view text, Point point, Lone lone)
{
    for (size_t i = 0; i < text.size(); ++i) {
        const uint32_t unit = static_cast<char16_t>(text[i]);
        if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(static_cast<char16_t>(text[i + 1]))) {
            const uint32_t low = static_cast<char16_t>(text[++i]);
            point(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
            lone(unit);
        } else {
            point(unit);
        }
    }
}

void AppendHexEscape(std::string& out, uint32_t unit)
{
    char text[8];
    std::snprintf(text, sizeof text, "\\u%04X", static_cast<unsigned>(unit));
    out += text;
}

void AppendJsonField(std::string& out, const char* name, int64_t value)
{
    out += ",\"";
    out += name;
    out += "\":";
    AppendNumber(out, value);
}

// Days since 1970-01-01 as a civil date (the proleptic Gregorian calendar).
void CivilFromDays(int64_t days, int64_t& year, unsigned& month, unsigned& day)
{
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned shifted = (5 * dayOfYear + 2) / 153;
    day = dayOfYear - (153 * shifted + 2) / 5 + 1;
    month = shifted < 10 ? shifted + 3 : shifted - 9;
    year = static_cast<int64_t>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0);
}

}  // namespace

void AppendUtf8(std::string& out, std::wstring_view text)
{
    ForEachCodePoint(
        text, [&](uint32_t point) { AppendCodePoint(out, point); }, [&](uint32_t) { AppendCodePoint(out, 0xFFFD); });
}

void AppendCsvField(std::string& out, std::string_view field)
{
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += field;
        return;
    }
    out += '"';
    for (const char c : field) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

void AppendCsvRow(std::string& out, const wchar_t* folder, const FolderMeasure& measure)
{
    std::string path;
    AppendUtf8(path, folder);
    AppendCsvField(out, path);
    for (const int64_t value : {measure.branchBytes, measure.nodeBytes, measure.branchOnDisk, measure.nodeOnDisk,
                                measure.branchFiles, measure.nodeFiles, static_cast<int64_t>(measure.level)}) {
        out += ',';
        AppendNumber(out, value);
    }
    out += "\r\n";
}

void AppendJsonString(std::string& out, std::wstring_view text)
{
    out += '"';
    ForEachCodePoint(
        text,
        [&](uint32_t point) {
            switch (point) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (point < 0x20)
                    AppendHexEscape(out, point);
                else
                    AppendCodePoint(out, point);
            }
        },
        [&](uint32_t unit) { AppendHexEscape(out, unit); });
    out += '"';
}

std::string Iso8601Utc(int64_t secondsSince1970)
{
    int64_t days = secondsSince1970 / 86400;
    int64_t seconds = secondsSince1970 % 86400;
    if (seconds < 0) {
        seconds += 86400;
        --days;
    }
    int64_t year = 0;
    unsigned month = 0, day = 0;
    CivilFromDays(days, year, month, day);
    char text[40];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02u:%02u:%02uZ", static_cast<long long>(year), month, day,
                  static_cast<unsigned>(seconds / 3600), static_cast<unsigned>(seconds / 60 % 60),
                  static_cast<unsigned>(seconds % 60));
    return text;
}

std::string JsonHead(const ScanDescription& scan)
{
    const ScanOptions& options = scan.options;
    std::string out = "{\n  \"program\": \"Dunewright\",\n  \"version\": ";
    AppendJsonString(out, std::wstring(scan.version.begin(), scan.version.end()));
    out += ",\n  \"folder\": ";
    AppendJsonString(out, scan.folder);
    out += ",\n  \"measure\": ";
    out += options.MeasureOnDisk ? "\"onDisk\"" : "\"bytes\"";
    out += ",\n  \"filters\": {\"minMb\": ";
    if (options.LimitSize)
        AppendNumber(out, options.SizeLimit);
    else
        out += "null";
    out += ", \"depth\": ";
    if (options.LimitDepth)
        AppendNumber(out, options.DepthLimit);
    else
        out += "null";
    out += ", \"find\": ";
    if (options.Find)
        AppendJsonString(out, options.FindText);
    else
        out += "null";
    out += ", \"exclude\": ";
    out += options.Find && options.InvertFind ? "true" : "false";
    out += ", \"countFirst\": ";
    out += options.DontCount ? "false" : "true";
    out += "},\n  \"started\": \"" + Iso8601Utc(scan.startedAt) + "\",\n  \"folders\": [";
    return out;
}

void AppendJsonRow(std::string& out, const wchar_t* folder, const FolderMeasure& measure, bool first)
{
    out += first ? "\n    {\"folder\":" : ",\n    {\"folder\":";
    AppendJsonString(out, folder);
    AppendJsonField(out, "branchBytes", measure.branchBytes);
    AppendJsonField(out, "nodeBytes", measure.nodeBytes);
    AppendJsonField(out, "branchOnDiskBytes", measure.branchOnDisk);
    AppendJsonField(out, "nodeOnDiskBytes", measure.nodeOnDisk);
    AppendJsonField(out, "branchFiles", measure.branchFiles);
    AppendJsonField(out, "nodeFiles", measure.nodeFiles);
    AppendJsonField(out, "depth", measure.level);
    out += '}';
}

std::string JsonTail(bool complete, int64_t finishedAt, int64_t foldersAssessed, int64_t filesAssessed)
{
    std::string out = "\n  ],\n  \"complete\": ";
    out += complete ? "true" : "false";
    out += ",\n  \"finished\": \"" + Iso8601Utc(finishedAt) + "\",\n  \"foldersAssessed\": ";
    AppendNumber(out, foldersAssessed);
    out += ",\n  \"filesAssessed\": ";
    AppendNumber(out, filesAssessed);
    out += "\n}\n";
    return out;
}

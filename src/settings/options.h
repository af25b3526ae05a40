#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The filters a scan and a report share: size, depth and find text. The
// find text is UTF-16, at most 259 units and a terminating NUL, so it can
// name a folder in any script.
struct FilterOptions {
    uint8_t LimitSize;
    int32_t SizeLimit;
    uint8_t LimitDepth;
    int32_t DepthLimit;
    uint8_t Find;
    uint8_t InvertFind;
    wchar_t FindText[260];
};

// What a scan gathers into the result list: the filters, then the fields
// that only a scan has.
struct ScanOptions : FilterOptions {
    uint8_t DontCount;
    // Sizes are the space the files take on disk rather than their
    // lengths; off by default.
    uint8_t MeasureOnDisk;
};

// Which listed rows go into a text report.
using SaveOptions = FilterOptions;

ScanOptions DefaultScanOptions();
SaveOptions DefaultSaveOptions();

// Every field equal; FindText compared as a text, case-sensitively.
bool operator==(const FilterOptions& a, const FilterOptions& b);
bool operator==(const ScanOptions& a, const ScanOptions& b);

// Removes spaces, line feeds and tabs from both ends, in place. A carriage
// return stops the trimming.
void TrimText(char* text);
void TrimText(wchar_t* text);

// Copies at most size - 1 characters and always terminates (size > 0).
void CopyText(char* dest, const char* src, int size);
void CopyText(wchar_t* dest, std::wstring_view src, int size);

// Appends a backslash to code-page text like PathAddBackslashA: not to an
// empty text, not when its last character is one, not when the result would
// not fit in 259 characters.
void AddBackslash(char* path);

// The same trimming for a UTF-16 text.
void TrimText(std::wstring& text);

// Appends a backslash to a UTF-16 path unless it is empty or ends in one.
// Its length is not limited.
void AddBackslash(std::wstring& path);

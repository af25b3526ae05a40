#pragma once

#include <cstdint>
#include <string>

// What a scan gathers into the result list.
struct ScanOptions {
    uint8_t LimitSize;
    int32_t SizeLimit;
    uint8_t LimitDepth;
    int32_t DepthLimit;
    uint8_t Find;
    uint8_t InvertFind;
    char FindText[260];
    uint8_t DontCount;
    // Sizes are the space the files take on disk rather than their
    // lengths; off by default.
    uint8_t MeasureOnDisk;
};

// Which listed rows go into a text report.
struct SaveOptions {
    uint8_t LimitSize;
    int32_t SizeLimit;
    uint8_t LimitDepth;
    int32_t DepthLimit;
    uint8_t Find;
    uint8_t InvertFind;
    char FindText[260];
};

ScanOptions DefaultScanOptions();
SaveOptions DefaultSaveOptions();

// Every field equal; FindText compared as a text, case-sensitively.
bool operator==(const ScanOptions& a, const ScanOptions& b);
bool operator==(const SaveOptions& a, const SaveOptions& b);

// Removes spaces, line feeds and tabs from both ends, in place. A carriage
// return stops the trimming.
void TrimText(char* text);

// Copies at most size - 1 characters and always terminates (size > 0).
void CopyText(char* dest, const char* src, int size);

// Appends a backslash to code-page text like PathAddBackslashA: not to an
// empty text, not when its last character is one, not when the result would
// not fit in 259 characters.
void AddBackslash(char* path);

// The same trimming for a UTF-16 text.
void TrimText(std::wstring& text);

// Appends a backslash to a UTF-16 path unless it is empty or ends in one.
// Its length is not limited.
void AddBackslash(std::wstring& path);

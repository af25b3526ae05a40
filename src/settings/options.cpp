#include "settings/options.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <iterator>

#include "base/code_page_text.h"

namespace {

bool IsTrimmed(wchar_t c) { return c == L' ' || c == L'\n' || c == L'\t'; }

}  // namespace

namespace {

// The filters as both records start; a scan limits the size, a report not.
FilterOptions DefaultFilterOptions(uint8_t limitSize)
{
    FilterOptions o{};
    o.LimitSize = limitSize;
    o.SizeLimit = 10;
    o.LimitDepth = 0;
    o.DepthLimit = 1000;
    o.Find = 0;
    o.InvertFind = 0;
    std::wmemcpy(o.FindText, L"*?*", 4);
    return o;
}

}  // namespace

ScanOptions DefaultScanOptions()
{
    ScanOptions o{};
    static_cast<FilterOptions&>(o) = DefaultFilterOptions(1);
    o.DontCount = 0;
    o.MeasureOnDisk = 0;
    return o;
}

SaveOptions DefaultSaveOptions()
{
    return DefaultFilterOptions(0);
}

bool operator==(const FilterOptions& a, const FilterOptions& b)
{
    return a.LimitSize == b.LimitSize && a.SizeLimit == b.SizeLimit && a.LimitDepth == b.LimitDepth &&
           a.DepthLimit == b.DepthLimit && a.Find == b.Find && a.InvertFind == b.InvertFind &&
           std::wcsncmp(a.FindText, b.FindText, std::size(a.FindText)) == 0;
}

bool operator==(const ScanOptions& a, const ScanOptions& b)
{
    return static_cast<const FilterOptions&>(a) == static_cast<const FilterOptions&>(b) &&
           a.DontCount == b.DontCount && a.MeasureOnDisk == b.MeasureOnDisk;
}

void TrimText(char* text)
{
    size_t length = std::strlen(text);
    while (length > 0 && IsTrimmed(text[length - 1]))
        text[--length] = '\0';
    size_t start = 0;
    while (start < length && IsTrimmed(text[start]))
        ++start;
    if (start > 0)
        std::memmove(text, text + start, length - start + 1);
}

void TrimText(wchar_t* text)
{
    size_t length = std::wcslen(text);
    while (length > 0 && IsTrimmed(text[length - 1]))
        text[--length] = L'\0';
    size_t start = 0;
    while (start < length && IsTrimmed(text[start]))
        ++start;
    if (start > 0)
        std::wmemmove(text, text + start, length - start + 1);
}

void CopyText(wchar_t* dest, std::wstring_view src, int size)
{
    if (size <= 0)
        return;
    const size_t room = static_cast<size_t>(size - 1);
    size_t length = src.size();
    if (length > room) {
        length = room;
        // A pair of surrogates is never cut in half.
        if (length > 0 && src[length - 1] >= 0xD800 && src[length - 1] <= 0xDBFF)
            --length;
    }
    std::wmemcpy(dest, src.data(), length);
    dest[length] = L'\0';
}

void CopyText(char* dest, const char* src, int size)
{
    if (size <= 0)
        return;
    size_t length = std::strlen(src);
    if (length > static_cast<size_t>(size - 1))
        length = static_cast<size_t>(size - 1);
    std::memcpy(dest, src, length);
    dest[length] = '\0';
}

void AddBackslash(char* path)
{
    size_t length = std::strlen(path);
    if (length == 0 || EndsInBackslash(std::string_view(path, length)) || length + 1 > 259)
        return;
    path[length] = '\\';
    path[length + 1] = '\0';
}

void TrimText(std::wstring& text)
{
    size_t length = text.size();
    while (length > 0 && IsTrimmed(text[length - 1]))
        --length;
    size_t start = 0;
    while (start < length && IsTrimmed(text[start]))
        ++start;
    text = text.substr(start, length - start);
}

void AddBackslash(std::wstring& path)
{
    if (!path.empty() && path.back() != L'\\')
        path += L'\\';
}

#include "settings/options.h"

#include <cstring>

#include "app/code_page_text.h"

namespace {

bool IsTrimmed(wchar_t c) { return c == L' ' || c == L'\n' || c == L'\t'; }

}  // namespace

ScanOptions DefaultScanOptions()
{
    ScanOptions o{};
    o.LimitSize = 1;
    o.SizeLimit = 10;
    o.LimitDepth = 0;
    o.DepthLimit = 1000;
    o.Find = 0;
    o.InvertFind = 0;
    CopyText(o.FindText, "*?*", sizeof o.FindText);
    o.DontCount = 0;
    o.MeasureOnDisk = 0;
    return o;
}

SaveOptions DefaultSaveOptions()
{
    const ScanOptions scan = DefaultScanOptions();
    SaveOptions o{};
    o.LimitSize = 0;  // reports are not limited in size unless asked
    o.SizeLimit = scan.SizeLimit;
    o.LimitDepth = scan.LimitDepth;
    o.DepthLimit = scan.DepthLimit;
    o.Find = scan.Find;
    o.InvertFind = scan.InvertFind;
    CopyText(o.FindText, scan.FindText, sizeof o.FindText);
    return o;
}

bool operator==(const ScanOptions& a, const ScanOptions& b)
{
    return a.LimitSize == b.LimitSize && a.SizeLimit == b.SizeLimit && a.LimitDepth == b.LimitDepth &&
           a.DepthLimit == b.DepthLimit && a.Find == b.Find && a.InvertFind == b.InvertFind &&
           std::strncmp(a.FindText, b.FindText, sizeof a.FindText) == 0 && a.DontCount == b.DontCount &&
           a.MeasureOnDisk == b.MeasureOnDisk;
}

bool operator==(const SaveOptions& a, const SaveOptions& b)
{
    return a.LimitSize == b.LimitSize && a.SizeLimit == b.SizeLimit && a.LimitDepth == b.LimitDepth &&
           a.DepthLimit == b.DepthLimit && a.Find == b.Find && a.InvertFind == b.InvertFind &&
           std::strncmp(a.FindText, b.FindText, sizeof a.FindText) == 0;
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

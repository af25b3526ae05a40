#include "scan/row_order.h"

int CompareFolderTextsFrom(const wchar_t* a, const wchar_t* b, size_t from)
{
    for (size_t i = from;; ++i) {
        const char16_t x = UpperUnit(a[i]);
        const char16_t y = UpperUnit(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
        if (x == 0)
            return 0;
    }
}

int CompareFolderTexts(const wchar_t* a, const wchar_t* b)
{
    return CompareFolderTextsFrom(a, b, 0);
}

uint64_t FolderSortPrefix(const wchar_t* folder, size_t from)
{
    uint64_t prefix = 0;
    const wchar_t* at = folder + from;
    size_t taken = 0;
    for (; taken < kFolderSortPrefixUnits && *at != L'\0'; ++taken, ++at)
        prefix = prefix << 16 | UpperUnit(*at);
    for (; taken < kFolderSortPrefixUnits; ++taken)
        prefix <<= 16;
    return prefix;
}

RowKey MakeRowKey(const wchar_t* folder, int32_t branchMb, int32_t nodeMb)
{
    RowKey key{folder, branchMb, nodeMb};
    for (wchar_t& c : key.folder)
        c = static_cast<wchar_t>(UpperUnit(c));
    return key;
}

int CompareRowKeys(const RowKey& a, const RowKey& b, int column)
{
    switch (column) {
    case 0:
        return CompareFolderTexts(a.folder.c_str(), b.folder.c_str());
    case 1:
        return CompareSizes(a.branchMb, b.branchMb);
    case 2:
        return CompareSizes(a.nodeMb, b.nodeMb);
    default:
        return 0;
    }
}

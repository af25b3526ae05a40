#include "scan/row_order.h"

int CompareFolderTextsFrom(const char* a, const char* b, size_t from)
{
    for (size_t i = from;; ++i) {
        const unsigned char x = UpperByte(a[i]);
        const unsigned char y = UpperByte(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
        if (x == 0)
            return 0;
    }
}

int CompareFolderTexts(const char* a, const char* b)
{
    return CompareFolderTextsFrom(a, b, 0);
}

uint64_t FolderSortPrefix(const char* folder, size_t from)
{
    uint64_t prefix = 0;
    const char* at = folder + from;
    int taken = 0;
    for (; taken < 8 && *at != '\0'; ++taken, ++at)
        prefix = prefix << 8 | UpperByte(*at);
    for (; taken < 8; ++taken)
        prefix <<= 8;
    return prefix;
}

RowKey MakeRowKey(const char* folder, int32_t branchMb, int32_t nodeMb)
{
    RowKey key{folder, branchMb, nodeMb};
    for (char& c : key.folder)
        c = static_cast<char>(UpperByte(c));
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

#include "scan/row_order.h"

RowKey MakeRowKey(const char* folder, int32_t branchMb, int32_t nodeMb)
{
    RowKey key{folder, branchMb, nodeMb};
    for (char& c : key.folder)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return key;
}

int CompareRowKeys(const RowKey& a, const RowKey& b, int column)
{
    switch (column) {
    case 0: {
        const int order = a.folder.compare(b.folder);  // bytes as unsigned
        return order < 0 ? -1 : order > 0 ? 1 : 0;
    }
    case 1:
        return a.branchMb < b.branchMb ? 1 : a.branchMb > b.branchMb ? -1 : 0;
    case 2:
        return a.nodeMb < b.nodeMb ? 1 : a.nodeMb > b.nodeMb ? -1 : 0;
    default:
        return 0;
    }
}

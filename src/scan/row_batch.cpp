#include "scan/row_batch.h"

#include <cwchar>

void RowBatch::Add(const wchar_t* folder, int32_t branchMb, int32_t nodeMb, uint32_t now)
{
    const size_t offset = text_.size();
    text_.append(folder, std::wcslen(folder) + 1);  // with its terminator
    try {
        pending_.push_back({offset, branchMb, nodeMb});
    } catch (...) {
        text_.resize(offset);
        throw;
    }
    if (pending_.size() == 1)
        oldest_ = now;
}

bool RowBatch::Due(uint32_t now, uint32_t age) const
{
    return !pending_.empty() && now - oldest_ >= age;
}

const std::vector<RowBatch::Row>& RowBatch::Rows()
{
    rows_.clear();
    for (const Pending& row : pending_)
        rows_.push_back({text_.data() + row.offset, row.branchMb, row.nodeMb});
    return rows_;
}

void RowBatch::Clear()
{
    text_.clear();
    pending_.clear();
    rows_.clear();
}

#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Rows on their way from the walk to the list. Every request the worker
// sends to the UI thread costs a few hundred microseconds under Wine,
// far more than inserting a row, so rows travel in batches: the walk
// gathers them here and the worker sends the whole batch in one request
// once its oldest row has waited long enough, and at the end of the walk.
class RowBatch {
public:
    struct Row {
        const wchar_t* folder;  // UTF-16, terminated
        int32_t branchMb;
        int32_t nodeMb;
    };

    // Appends a row; `now` is a millisecond tick count.
    void Add(const wchar_t* folder, int32_t branchMb, int32_t nodeMb, uint32_t now);
    // True when the batch holds rows and its oldest has waited `age`
    // milliseconds or more by `now` (tick counts wrap around).
    bool Due(uint32_t now, uint32_t age) const;
    bool Empty() const { return pending_.empty(); }
    size_t Size() const { return pending_.size(); }
    // The rows in the order they were added; valid until the next Add or Clear.
    const std::vector<Row>& Rows();
    void Clear();
    // Set by the list when it could not hold the batch's rows.
    void MarkLost() { lost_ = true; }
    bool Lost() const { return lost_; }

private:
    struct Pending {
        size_t offset;
        int32_t branchMb;
        int32_t nodeMb;
    };
    std::wstring text_;
    std::vector<Pending> pending_;
    std::vector<Row> rows_;
    uint32_t oldest_ = 0;
    bool lost_ = false;
};

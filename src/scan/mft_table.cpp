#include "scan/mft_table.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <limits>
#include <utility>

namespace mft {

namespace {

constexpr size_t kBlockBytes = size_t{4} << 20;
constexpr size_t kUpCaseUnits = 65536;
// Windows keeps at most this much reparse data for a file.
constexpr uint64_t kLargestReparseData = 16384;
// The smallest attribute a record can hold: a header without a value.
constexpr uint64_t kSmallestAttribute = 24;

}  // namespace

bool Table::Open()
{
    return ReadBoot(volume_, boot_) && !Stopped() && LoadMftLayout() && LoadUpCase();
}

bool Table::ReadStream(const std::vector<Extent>& extents, uint64_t offset, size_t length, uint8_t* out)
{
    const uint64_t cluster = boot_.clusterSize;
    if (offset % cluster != 0 || length % cluster != 0)
        return false;
    uint64_t vcn = offset / cluster;
    uint64_t left = length / cluster;
    auto extent = std::upper_bound(extents.begin(), extents.end(), vcn,
                                   [](uint64_t v, const Extent& e) { return v < e.vcn; });
    if (extent == extents.begin())
        return false;
    --extent;
    while (left != 0) {
        // A stop is not held up by the rest of a long or scattered read.
        if (Stopped())
            return false;
        if (extent == extents.end() || vcn < extent->vcn || vcn >= extent->vcn + extent->length)
            return false;
        const uint64_t count = std::min(left, extent->vcn + extent->length - vcn);
        const size_t bytes = static_cast<size_t>(count * cluster);
        if (extent->sparse) {
            std::memset(out, 0, bytes);
        } else {
            const uint64_t lcn = extent->lcn + (vcn - extent->vcn);
            if (lcn + count > boot_.clusterCount || !volume_.Read(lcn * cluster, out, bytes))
                return false;
        }
        out += bytes;
        vcn += count;
        left -= count;
        ++extent;
    }
    return true;
}

// Reads a non-resident value whole into `bytes` (its size, rounded up to
// clusters while reading).
bool Table::ReadValue(const OutsideValue& value, std::vector<uint8_t>& bytes)
{
    // Lists and reparse data are small; a larger one is damage.
    if (value.size > kLargestValue)
        return false;
    const size_t cluster = boot_.clusterSize;
    const size_t rounded = (static_cast<size_t>(value.size) + cluster - 1) / cluster * cluster;
    bytes.resize(rounded);
    if (rounded != 0 && !ReadStream(value.extents, 0, rounded, bytes.data()))
        return false;
    bytes.resize(static_cast<size_t>(value.size));
    return true;
}

// Takes note of the clusters a value outside its record lies in; false
// when another value was read from any of them.
bool Table::ClaimClusters(const std::vector<Extent>& extents)
{
    for (const Extent& extent : extents) {
        if (extent.sparse)
            continue;
        const uint64_t end = extent.lcn + extent.length;
        const auto after = valueClusters_.lower_bound(extent.lcn);
        if (after != valueClusters_.end() && after->first < end)
            return false;
        if (after != valueClusters_.begin() && std::prev(after)->second > extent.lcn)
            return false;
        valueClusters_.emplace_hint(after, extent.lcn, end);
    }
    return true;
}

// Reads an attribute list that lies outside its record, within what the
// table can hold of lists.
bool Table::ReadList(const OutsideValue& value, std::vector<uint8_t>& bytes)
{
    if (value.size > listBytesLeft_ || !ClaimClusters(value.extents))
        return false;
    listBytesLeft_ -= value.size;
    return ReadValue(value, bytes);
}

// Reads record `number` of the table through the extents known so far.
bool Table::ReadRecord(uint32_t number, std::vector<uint8_t>& record)
{
    const uint64_t cluster = boot_.clusterSize;
    const uint64_t at = uint64_t{number} * boot_.recordSize;
    const uint64_t start = at / cluster * cluster;
    const uint64_t end = (at + boot_.recordSize + cluster - 1) / cluster * cluster;
    scratch_.resize(static_cast<size_t>(end - start));
    if (!ReadStream(mftExtents_, start, scratch_.size(), scratch_.data()))
        return false;
    record.assign(scratch_.begin() + static_cast<ptrdiff_t>(at - start),
                  scratch_.begin() + static_cast<ptrdiff_t>(at - start + boot_.recordSize));
    return true;
}

// From record 0: where the table lies, following its attribute list when
// the table's own runs do not fit in one record.
bool Table::LoadMftLayout()
{
    const size_t size = boot_.recordSize;
    std::vector<uint8_t> record(std::max<size_t>(size, boot_.clusterSize));
    if (!volume_.Read(boot_.mftCluster * boot_.clusterSize, record.data(), record.size()))
        return false;
    record.resize(size);
    RecordInfo info;
    if (!ParseRecord(record.data(), size, kMftRecord, boot_.clusterCount, info) || info.baseReference != 0)
        return false;
    mftExtents_ = info.dataExtents;
    uint64_t realSize = 0;
    bool sized = false;
    for (const RecordInfo::DataPiece& piece : info.data) {
        if (piece.firstVcn == 0) {
            realSize = piece.size;
            sized = true;
        }
    }
    // The table's first extent is read from the boot sector's cluster.
    if (mftExtents_.empty() || mftExtents_[0].vcn != 0 || mftExtents_[0].sparse ||
        mftExtents_[0].lcn != boot_.mftCluster)
        return false;
    // Contiguous virtual clusters from 0, no holes: each extent must begin
    // where the ones before it end, and is refused as soon as it does not.
    uint64_t next = 0;
    for (const Extent& extent : mftExtents_) {
        if (extent.vcn != next || extent.sparse)
            return false;
        next += extent.length;
    }
    if (info.hasList) {
        std::vector<uint8_t> list;
        if (info.listOutside) {
            if (!ReadList(info.listValue, list) || !ParseAttributeList(list.data(), list.size(), info))
                return false;
        }
        std::vector<RecordInfo::ListEntry> entries = info.list;
        // The extents of the table that other records hold, in VCN order;
        // each is read through the extents found before it.
        std::sort(entries.begin(), entries.end(),
                  [](const RecordInfo::ListEntry& a, const RecordInfo::ListEntry& b) { return a.firstVcn < b.firstVcn; });
        RecordInfo extension;
        std::vector<uint8_t> other;
        for (const RecordInfo::ListEntry& entry : entries) {
            if (entry.type != kData || RecordOf(entry.reference) == kMftRecord)
                continue;
            if (Stopped())
                return false;
            const uint64_t number = RecordOf(entry.reference);
            if (number >= 0xFFFFFFFF || !ReadRecord(static_cast<uint32_t>(number), other))
                return false;
            bool damaged = false;
            if (!RecordInUse(other.data(), size, damaged) ||
                !ParseRecord(other.data(), size, static_cast<uint32_t>(number), boot_.clusterCount, extension) ||
                extension.sequence != SequenceOf(entry.reference) ||
                extension.baseReference != (uint64_t{info.sequence} << 48))
                return false;
            // Only the extents of the listed attribute: from its first VCN
            // to the next piece of the table this record holds.
            bool found = false;
            uint64_t until = std::numeric_limits<uint64_t>::max();
            for (const RecordInfo::DataPiece& piece : extension.data) {
                if (piece.attributeId == entry.attributeId && piece.firstVcn == entry.firstVcn)
                    found = true;
                if (piece.firstVcn > entry.firstVcn)
                    until = std::min(until, piece.firstVcn);
            }
            if (!found)
                return false;
            for (const Extent& extent : extension.dataExtents) {
                if (extent.vcn < entry.firstVcn || extent.vcn >= until)
                    continue;
                if (extent.vcn != next || extent.sparse)
                    return false;
                mftExtents_.push_back(extent);
                next += extent.length;
            }
        }
    }
    if (!sized || realSize == 0 || realSize > next * boot_.clusterSize)
        return false;
    // No cluster of the volume twice: a record read twice would be two
    // files (records of NTFS 3.0 do not carry their number to tell).
    std::vector<std::pair<uint64_t, uint64_t>> placed;
    placed.reserve(mftExtents_.size());
    for (const Extent& extent : mftExtents_)
        placed.emplace_back(extent.lcn, extent.lcn + extent.length);
    std::sort(placed.begin(), placed.end());
    for (size_t i = 1; i < placed.size(); ++i) {
        if (placed[i].first < placed[i - 1].second)
            return false;
    }
    recordCount_ = realSize / size;
    // Record numbers are kept in 32 bits.
    if (recordCount_ <= kFirstUserRecord || recordCount_ >= 0xFFFFFFFF)
        return false;
    const uint64_t tableBytes = recordCount_ * size;
    listBytesLeft_ = 2 * tableBytes;
    listEntriesLeft_ =
        static_cast<size_t>(std::min<uint64_t>(tableBytes / kSmallestAttribute, std::numeric_limits<size_t>::max()));
    return true;
}

bool Table::LoadUpCase()
{
    std::vector<uint8_t> record;
    RecordInfo info;
    bool damaged = false;
    if (!ReadRecord(kUpCaseRecord, record) || !RecordInUse(record.data(), record.size(), damaged) ||
        !ParseRecord(record.data(), record.size(), kUpCaseRecord, boot_.clusterCount, info) || info.hasList ||
        info.data.size() != 1 || info.data[0].size != kUpCaseUnits * 2 || info.dataExtents.empty())
        return false;
    OutsideValue value;
    value.size = info.data[0].size;
    value.extents = info.dataExtents;
    std::vector<uint8_t> bytes;
    if (!ReadValue(value, bytes))
        return false;
    upCase_.resize(kUpCaseUnits);
    for (size_t i = 0; i < kUpCaseUnits; ++i)
        upCase_[i] = static_cast<wchar_t>(Get16(&bytes[2 * i]));
    for (wchar_t c = L'a'; c <= L'z'; ++c) {
        if (upCase_[c] != c - L'a' + L'A')
            return false;
    }
    return true;
}

// The entries of an attribute list outside its record, read into
// `info.list`, and the entries of every list counted against what the
// table can hold.
bool Table::TakeList(RecordInfo& info)
{
    if (info.listOutside) {
        std::vector<uint8_t> list;
        if (!ReadList(info.listValue, list) || !ParseAttributeList(list.data(), list.size(), info, listEntriesLeft_))
            return false;
    }
    if (info.list.size() > listEntriesLeft_)
        return false;
    listEntriesLeft_ -= info.list.size();
    return true;
}

// Reads the tag of a reparse point whose data lies outside its record:
// its first cluster only, once.
bool Table::ReadReparseTag(RecordInfo& info)
{
    if (!info.reparseOutside)
        return true;
    const OutsideValue& value = info.reparseValue;
    if (value.size > kLargestReparseData || !ClaimClusters(value.extents))
        return false;
    scratch_.resize(boot_.clusterSize);
    if (!ReadStream(value.extents, 0, scratch_.size(), scratch_.data()))
        return false;
    info.reparseTag = Get32(scratch_.data());
    info.reparseOutside = false;
    return true;
}

MftResult Table::ReadRecords(RecordSink& sink)
{
    const size_t recordSize = boot_.recordSize;
    const size_t unit = std::max<size_t>(recordSize, boot_.clusterSize);
    const uint64_t tableBytes = recordCount_ * recordSize;
    // Blocks of 4 MiB, or the whole table when it is smaller.
    const size_t blockBytes = static_cast<size_t>(
        std::min<uint64_t>(std::max(unit, kBlockBytes / unit * unit), (tableBytes + unit - 1) / unit * unit));
    // Page aligned: a raw volume may be read without the cache, into
    // aligned buffers only (VolumeFile copies through one otherwise).
    constexpr size_t kPage = 4096;
    std::vector<uint8_t> storage(blockBytes + kPage);
    uint8_t* const block =
        storage.data() + (kPage - reinterpret_cast<uintptr_t>(storage.data()) % kPage) % kPage;
    RecordInfo info;
    for (uint64_t offset = 0; offset < tableBytes; offset += blockBytes) {
        if (Stopped())
            return MftResult::Stopped;
        const uint64_t wanted = std::min<uint64_t>(blockBytes, tableBytes - offset);
        const size_t length = static_cast<size_t>((wanted + boot_.clusterSize - 1) / boot_.clusterSize *
                                                  boot_.clusterSize);
        if (!ReadStream(mftExtents_, offset, length, block))
            return MftResult::Failed;
        const uint64_t first = offset / recordSize;
        const size_t records = static_cast<size_t>(wanted / recordSize);
        for (size_t i = 0; i < records; ++i) {
            const uint64_t number = first + i;
            uint8_t* record = block + i * recordSize;
            bool damaged = false;
            if (!RecordInUse(record, recordSize, damaged)) {
                if (damaged)
                    return MftResult::Failed;
                continue;
            }
            if (!ParseRecord(record, recordSize, static_cast<uint32_t>(number), boot_.clusterCount, info) ||
                !sink.Take(info, record))
                return MftResult::Failed;
        }
    }
    return MftResult::Done;
}

}  // namespace mft

#include "scan/mft_volume.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <limits>
#include <map>
#include <new>
#include <stdexcept>
#include <string>
#include <tuple>
#include <unordered_map>
#include <utility>

#include "scan/byte_sum.h"
#include "scan/mft_records.h"
#include "scan/reparse_tag.h"
#include "scan/stoppable_sort.h"

using mft::Extent;
using mft::RecordInfo;

namespace {

constexpr uint32_t kMftRecord = 0;
constexpr uint32_t kRootRecord = 5;
constexpr uint32_t kUpCaseRecord = 10;
// Records below this are the volume's own (metafiles and reserved ones);
// no listing shows them, and their extension records serve the metafiles.
constexpr uint32_t kFirstUserRecord = 24;
constexpr size_t kBlockBytes = size_t{4} << 20;
constexpr size_t kUpCaseUnits = 65536;
constexpr uint32_t kNone = 0xFFFFFFFF;
// Loops that may run long look at the stop flag this often.
constexpr uint32_t kStopCheckEvery = 4096;
// Descriptors kept to tell which folders share one; a folder whose
// descriptor comes after this many others is asked about on its own.
constexpr size_t kMostAccessClasses = 65536;
// An attribute list or reparse value outside its record larger than this
// is damage.
constexpr uint64_t kLargestValue = uint64_t{1} << 24;
// Windows keeps at most this much reparse data for a file.
constexpr uint64_t kLargestReparseData = 16384;
// The smallest attribute a record can hold: a header without a value.
constexpr uint64_t kSmallestAttribute = 24;

struct Boot {
    uint32_t clusterSize = 0;
    uint64_t clusterCount = 0;
    uint64_t mftCluster = 0;
    uint32_t recordSize = 0;
};

bool IsPowerOfTwo(uint64_t value) { return value != 0 && (value & (value - 1)) == 0; }

bool ReadBoot(VolumeReader& volume, Boot& boot)
{
    uint8_t b[4096];
    if (!volume.Read(0, b, sizeof b))
        return false;
    if (std::memcmp(b + 3, "NTFS    ", 8) != 0 || b[510] != 0x55 || b[511] != 0xAA)
        return false;
    const uint32_t sectorSize = mft::Get16(b + 0x0B);
    if (!IsPowerOfTwo(sectorSize) || sectorSize < 512 || sectorSize > 4096)
        return false;
    const uint8_t perCluster = b[0x0D];
    uint64_t clusterSize;
    if (perCluster <= 0x80)
        clusterSize = uint64_t{perCluster} * sectorSize;
    else if (256 - perCluster <= 21)
        clusterSize = uint64_t{1} << (256 - perCluster);
    else
        return false;
    // Windows formats clusters of up to 2 MiB.
    if (!IsPowerOfTwo(clusterSize) || clusterSize < sectorSize || clusterSize > (uint64_t{1} << 21))
        return false;
    const uint64_t sectors = mft::Get64(b + 0x28);
    if (sectors == 0 || sectors > (uint64_t{1} << 52) / sectorSize)
        return false;
    boot.clusterSize = static_cast<uint32_t>(clusterSize);
    boot.clusterCount = sectors * sectorSize / clusterSize;
    boot.mftCluster = mft::Get64(b + 0x30);
    const int8_t recordSize = static_cast<int8_t>(b[0x40]);
    uint64_t bytes;
    if (recordSize > 0)
        bytes = uint64_t(recordSize) * clusterSize;
    else if (recordSize >= -12)
        bytes = uint64_t{1} << -recordSize;
    else
        return false;
    if (!IsPowerOfTwo(bytes) || bytes < 512 || bytes > 4096 || boot.mftCluster >= boot.clusterCount)
        return false;
    boot.recordSize = static_cast<uint32_t>(bytes);
    return true;
}

// What the scan keeps of a folder while the table is read.
struct FolderRecord {
    enum Flags : uint8_t {
        Linked = 1,   // a link to another place: never entered
        Refused = 2,  // a walk may not list it: measured as empty
    };

    int64_t ownBytes;
    int32_t fileCount;
    uint32_t record;
    uint32_t parentRecord;
    uint32_t parent;  // index of the parent folder, kNone when it has none
    uint32_t nameOffset;
    uint32_t accessClass;  // folders of a class share a security descriptor; kNone: its own
    uint16_t sequence;
    uint16_t parentSequence;
    uint8_t nameLength;
    uint8_t flags;
};

// A listed name of a file: the folder that lists it and the file's size,
// 48 bits wide (kLargestFileSize).
struct FileLink {
    uint32_t parentRecord;
    uint16_t parentSequence;
    uint16_t sizeHigh;
    uint32_t sizeLow;
};

// What the reader holds per folder and per file name while it works, the
// same in both builds.
static_assert(sizeof(FolderRecord) == 40, "a folder's record grew");
static_assert(sizeof(FileLink) == 12, "a file name's record grew");

// A list that grows in blocks, never copying what it holds: for the
// largest list, one item per file name, where a vector's growth would
// briefly hold it one and a half times.
template <class T>
class BlockList {
public:
    void push_back(const T& item)
    {
        if (blocks_.empty() || blocks_.back().size() == kBlock) {
            blocks_.emplace_back();
            blocks_.back().reserve(kBlock);
        }
        blocks_.back().push_back(item);
    }
    // Calls `f` for every item; false when `stopped` said so between two
    // blocks.
    template <class F, class S>
    bool ForEach(F f, S stopped) const
    {
        for (const std::vector<T>& block : blocks_) {
            if (stopped())
                return false;
            for (const T& item : block)
                f(item);
        }
        return true;
    }
    void Free() { std::vector<std::vector<T>>().swap(blocks_); }

private:
    static constexpr size_t kBlock = 65536;
    std::vector<std::vector<T>> blocks_;
};

// An attribute of a record that has an attribute list, found either in
// the base record or in one of its extension records.
struct Piece {
    uint64_t baseReference;  // 0 in the base record itself
    uint64_t value;          // $FILE_NAME: parent reference; $DATA: size; $REPARSE_POINT: tag
    uint64_t firstVcn;
    uint32_t record;
    uint32_t type;
    uint32_t nameOffset;  // $FILE_NAME: into pieceNames
    uint16_t sequence;
    uint16_t attributeId;
    uint8_t nameSpace;
    uint8_t nameLength;
};

struct PendingBase {
    uint32_t record;
    uint32_t accessClass;
    uint16_t sequence;
    bool directory;
    size_t firstEntry;  // into listEntries
    size_t entryCount;
};

class MftReader {
public:
    MftReader(VolumeReader& volume, const std::atomic<bool>& stop, FolderAccess* access)
        : volume_(volume), stop_(stop), access_(access)
    {
    }

    MftResult Read(const wchar_t* path, size_t length, MftTree& tree);

private:
    bool Stopped() const { return stop_.load(std::memory_order_relaxed); }
    bool ReadStream(const std::vector<Extent>& extents, uint64_t offset, size_t length, uint8_t* out);
    bool ReadValue(const mft::OutsideValue& value, std::vector<uint8_t>& bytes);
    bool ClaimClusters(const std::vector<Extent>& extents);
    bool ReadList(const mft::OutsideValue& value, std::vector<uint8_t>& bytes);
    bool ReadRecord(uint32_t number, std::vector<uint8_t>& record);
    bool LoadMftLayout();
    bool LoadUpCase();
    MftResult ReadTable();
    bool Collect(RecordInfo& info, const uint8_t* record);
    bool CompleteReparse(RecordInfo& info);
    uint32_t AccessClassOf(const RecordInfo& info, const uint8_t* record);
    bool AddListed(uint32_t record, uint16_t sequence, bool directory, const uint64_t* parents, const uint8_t* spaces,
                   const wchar_t* const* names, const uint8_t* nameLengths, size_t count, uint64_t size, bool linked,
                   uint32_t accessClass);
    bool AddFromRecord(const RecordInfo& info, const uint8_t* record);
    MftResult ResolvePending();
    MftResult LinkFolders();
    MftResult SortChildren();
    bool FindStart(const wchar_t* path, size_t length, uint32_t& start) const;
    FolderAccess::Answer Ask(uint32_t folder);
    MftResult Emit(uint32_t start, MftTree& tree);
    bool NameLess(uint32_t a, uint32_t b) const;

    VolumeReader& volume_;
    const std::atomic<bool>& stop_;
    FolderAccess* access_;
    Boot boot_;
    std::vector<Extent> mftExtents_;
    uint64_t recordCount_ = 0;
    std::vector<wchar_t> upCase_;
    std::vector<uint8_t> scratch_;

    std::vector<FolderRecord> folders_;
    std::vector<wchar_t> folderNames_;
    BlockList<FileLink> links_;
    std::vector<Piece> pieces_;
    std::vector<wchar_t> pieceNames_;
    std::vector<PendingBase> pending_;
    std::vector<RecordInfo::ListEntry> listEntries_;

    // What the volume may make the reader read and keep of attribute lists
    // outside their records. Every entry kept names an attribute of the
    // table, at least kSmallestAttribute bytes of some record, and an entry
    // is at most 8 bytes longer than the attribute it names (never more
    // than twice its length): a sound table never needs more.
    uint64_t listBytesLeft_ = kLargestValue;
    size_t listEntriesLeft_ = 0;
    // The clusters read as values outside records (attribute lists, reparse
    // data), by first cluster, each to the end of its run. No two
    // attributes of a sound volume share a cluster, so none is read twice.
    std::map<uint64_t, uint64_t> valueClusters_;

    // The distinct descriptors of folders seen, each its class's key: a
    // security id, or a descriptor of the record's own.
    std::unordered_map<std::string, uint32_t> accessClasses_;
    std::string accessKey_;
    size_t classCount_ = 0;
    std::vector<uint8_t> classAnswers_;  // per class: 0 not asked yet, else the answer + 1
    std::wstring probePath_;  // while the tree is gone through: the current folder's path below the start

    std::vector<uint32_t> childStart_;  // per folder, into childList_; one more at the end
    std::vector<uint32_t> childList_;
};

bool MftReader::ReadStream(const std::vector<Extent>& extents, uint64_t offset, size_t length, uint8_t* out)
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
bool MftReader::ReadValue(const mft::OutsideValue& value, std::vector<uint8_t>& bytes)
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
bool MftReader::ClaimClusters(const std::vector<Extent>& extents)
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
bool MftReader::ReadList(const mft::OutsideValue& value, std::vector<uint8_t>& bytes)
{
    if (value.size > listBytesLeft_ || !ClaimClusters(value.extents))
        return false;
    listBytesLeft_ -= value.size;
    return ReadValue(value, bytes);
}

// Reads record `number` of the table through the extents known so far.
bool MftReader::ReadRecord(uint32_t number, std::vector<uint8_t>& record)
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
bool MftReader::LoadMftLayout()
{
    const size_t size = boot_.recordSize;
    std::vector<uint8_t> record(std::max<size_t>(size, boot_.clusterSize));
    if (!volume_.Read(boot_.mftCluster * boot_.clusterSize, record.data(), record.size()))
        return false;
    record.resize(size);
    RecordInfo info;
    if (!mft::ParseRecord(record.data(), size, kMftRecord, boot_.clusterCount, info) || info.baseReference != 0)
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
            if (!ReadList(info.listValue, list) || !mft::ParseAttributeList(list.data(), list.size(), info))
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
            if (entry.type != mft::kData || mft::RecordOf(entry.reference) == kMftRecord)
                continue;
            if (Stopped())
                return false;
            const uint64_t number = mft::RecordOf(entry.reference);
            if (number >= 0xFFFFFFFF || !ReadRecord(static_cast<uint32_t>(number), other))
                return false;
            bool damaged = false;
            if (!mft::RecordInUse(other.data(), size, damaged) ||
                !mft::ParseRecord(other.data(), size, static_cast<uint32_t>(number), boot_.clusterCount, extension) ||
                extension.sequence != mft::SequenceOf(entry.reference) ||
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
    if (recordCount_ <= kFirstUserRecord || recordCount_ >= kNone)
        return false;
    const uint64_t tableBytes = recordCount_ * size;
    listBytesLeft_ = 2 * tableBytes;
    listEntriesLeft_ =
        static_cast<size_t>(std::min<uint64_t>(tableBytes / kSmallestAttribute, std::numeric_limits<size_t>::max()));
    return true;
}

bool MftReader::LoadUpCase()
{
    std::vector<uint8_t> record;
    RecordInfo info;
    bool damaged = false;
    if (!ReadRecord(kUpCaseRecord, record) || !mft::RecordInUse(record.data(), record.size(), damaged) ||
        !mft::ParseRecord(record.data(), record.size(), kUpCaseRecord, boot_.clusterCount, info) || info.hasList ||
        info.data.size() != 1 || info.data[0].size != kUpCaseUnits * 2 || info.dataExtents.empty())
        return false;
    mft::OutsideValue value;
    value.size = info.data[0].size;
    value.extents = info.dataExtents;
    std::vector<uint8_t> bytes;
    if (!ReadValue(value, bytes))
        return false;
    upCase_.resize(kUpCaseUnits);
    for (size_t i = 0; i < kUpCaseUnits; ++i)
        upCase_[i] = static_cast<wchar_t>(mft::Get16(&bytes[2 * i]));
    for (wchar_t c = L'a'; c <= L'z'; ++c) {
        if (upCase_[c] != c - L'a' + L'A')
            return false;
    }
    return true;
}

// The class of folders whose descriptor is the same as this record's:
// the same descriptor of their own, or else the same security id. kNone
// when the record's descriptor is not where it can be compared.
uint32_t MftReader::AccessClassOf(const RecordInfo& info, const uint8_t* record)
{
    accessKey_.clear();
    if (info.descriptorLength != 0) {
        accessKey_.push_back('D');
        accessKey_.append(reinterpret_cast<const char*>(record + info.descriptorOffset), info.descriptorLength);
    } else if (info.descriptorOutside || info.listsDescriptor || info.securityId == 0) {
        return kNone;
    } else {
        accessKey_.push_back('I');
        for (int shift = 0; shift < 32; shift += 8)
            accessKey_.push_back(static_cast<char>(info.securityId >> shift));
    }
    if (accessClasses_.size() >= kMostAccessClasses) {
        const auto known = accessClasses_.find(accessKey_);
        return known == accessClasses_.end() ? kNone : known->second;
    }
    return accessClasses_.try_emplace(accessKey_, static_cast<uint32_t>(accessClasses_.size())).first->second;
}

// Adds what a listing shows of a file or folder: a folder once by its
// name, a file once for every name.
bool MftReader::AddListed(uint32_t record, uint16_t sequence, bool directory, const uint64_t* parents,
                          const uint8_t* spaces, const wchar_t* const* names, const uint8_t* nameLengths, size_t count,
                          uint64_t size, bool linked, uint32_t accessClass)
{
    if (size >= mft::kLargestFileSize)
        return false;
    size_t listed = 0;
    for (size_t i = 0; i < count; ++i) {
        if (spaces[i] == mft::kNamespaceDos)
            continue;
        ++listed;
        if (directory) {
            // A folder has one name; a second would be a hard link to it.
            if (listed > 1)
                return false;
            FolderRecord folder{};
            folder.record = record;
            folder.sequence = sequence;
            folder.parentRecord = static_cast<uint32_t>(std::min<uint64_t>(mft::RecordOf(parents[i]), kNone));
            folder.parentSequence = mft::SequenceOf(parents[i]);
            folder.parent = kNone;
            folder.nameOffset = static_cast<uint32_t>(folderNames_.size());
            folder.nameLength = nameLengths[i];
            folder.accessClass = accessClass;
            folder.flags = linked ? FolderRecord::Linked : 0;
            if (folderNames_.size() > kNone - 256)
                throw std::bad_alloc();
            folderNames_.insert(folderNames_.end(), names[i], names[i] + nameLengths[i]);
            folders_.push_back(folder);
        } else {
            links_.push_back({static_cast<uint32_t>(std::min<uint64_t>(mft::RecordOf(parents[i]), kNone)),
                              mft::SequenceOf(parents[i]), static_cast<uint16_t>(size >> 32),
                              static_cast<uint32_t>(size)});
        }
    }
    return true;
}

bool MftReader::AddFromRecord(const RecordInfo& info, const uint8_t* record)
{
    const size_t count = info.names.size();
    // A record holds few names: 1 KiB fits eleven at the most.
    constexpr size_t kMost = 64;
    if (count > kMost)
        return false;
    uint64_t parents[kMost];
    uint8_t spaces[kMost];
    uint8_t lengths[kMost];
    wchar_t texts[kMost][255];
    const wchar_t* names[kMost];
    for (size_t i = 0; i < count; ++i) {
        const RecordInfo::Name& name = info.names[i];
        parents[i] = name.parent;
        spaces[i] = name.nameSpace;
        lengths[i] = name.length;
        if (info.directory) {
            for (size_t k = 0; k < name.length; ++k)
                texts[i][k] = static_cast<wchar_t>(mft::Get16(record + name.textOffset + 2 * k));
        }
        names[i] = texts[i];
    }
    const uint64_t size = info.data.empty() ? 0 : info.data[0].size;
    return AddListed(info.number, info.sequence, info.directory, parents, spaces, names, lengths, count, size,
                     info.hasReparse && !EntersReparseFolder(info.reparseTag),
                     info.directory ? AccessClassOf(info, record) : kNone);
}

// Reads the tag of a reparse point whose data lies outside its record:
// its first cluster only, once.
bool MftReader::CompleteReparse(RecordInfo& info)
{
    if (!info.reparseOutside)
        return true;
    const mft::OutsideValue& value = info.reparseValue;
    if (value.size > kLargestReparseData || !ClaimClusters(value.extents))
        return false;
    scratch_.resize(boot_.clusterSize);
    if (!ReadStream(value.extents, 0, scratch_.size(), scratch_.data()))
        return false;
    info.reparseTag = mft::Get32(scratch_.data());
    info.reparseOutside = false;
    return true;
}

// Keeps what one in-use record adds: a folder, a file's names, or, for a
// record spread over several, its pieces until every record is read.
bool MftReader::Collect(RecordInfo& info, const uint8_t* record)
{
    if (info.number < kFirstUserRecord && info.number != kRootRecord)
        return true;
    if (!CompleteReparse(info))
        return false;
    if (info.baseReference == 0 && !info.hasList)
        return AddFromRecord(info, record);

    if (info.hasList) {
        if (info.listOutside) {
            std::vector<uint8_t> list;
            if (!ReadList(info.listValue, list) ||
                !mft::ParseAttributeList(list.data(), list.size(), info, listEntriesLeft_))
                return false;
        }
        if (info.list.size() > listEntriesLeft_)
            return false;
        listEntriesLeft_ -= info.list.size();
        pending_.push_back({info.number, info.directory ? AccessClassOf(info, record) : kNone, info.sequence,
                            info.directory, listEntries_.size(), info.list.size()});
        listEntries_.insert(listEntries_.end(), info.list.begin(), info.list.end());
    }
    for (const RecordInfo::Name& name : info.names) {
        Piece piece{info.baseReference, name.parent, 0, info.number, mft::kFileName,
                    static_cast<uint32_t>(pieceNames_.size()), info.sequence, name.attributeId, name.nameSpace,
                    name.length};
        for (size_t k = 0; k < name.length; ++k)
            pieceNames_.push_back(static_cast<wchar_t>(mft::Get16(record + name.textOffset + 2 * k)));
        pieces_.push_back(piece);
    }
    for (const RecordInfo::DataPiece& data : info.data)
        pieces_.push_back({info.baseReference, data.size, data.firstVcn, info.number, mft::kData, 0, info.sequence,
                           data.attributeId, 0, 0});
    if (info.hasReparse)
        pieces_.push_back({info.baseReference, info.reparseTag, 0, info.number, mft::kReparsePoint, 0,
                           info.sequence, info.reparseAttributeId, 0, 0});
    return true;
}

MftResult MftReader::ReadTable()
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
            if (!mft::RecordInUse(record, recordSize, damaged)) {
                if (damaged)
                    return MftResult::Failed;
                continue;
            }
            if (!mft::ParseRecord(record, recordSize, static_cast<uint32_t>(number), boot_.clusterCount, info) ||
                !Collect(info, record))
                return MftResult::Failed;
        }
    }
    return MftResult::Done;
}

// Puts together the records spread over several: every attribute their
// lists name must be found where the list says, in a record that names
// the base as its own.
MftResult MftReader::ResolvePending()
{
    auto key = [](const Piece& p) { return std::make_tuple(p.record, p.attributeId, p.type); };
    if (!SortUnlessStopped(
            pieces_.begin(), pieces_.end(), [&](const Piece& a, const Piece& b) { return key(a) < key(b); },
            [this] { return Stopped(); }))
        return MftResult::Stopped;
    std::vector<uint64_t> parents;
    std::vector<uint8_t> spaces, lengths;
    std::vector<const wchar_t*> names;
    std::vector<std::pair<uint64_t, uint16_t>> listed;
    for (size_t at = 0; at < pending_.size(); ++at) {
        if (at % kStopCheckEvery == 0 && Stopped())
            return MftResult::Stopped;
        const PendingBase& base = pending_[at];
        const uint64_t baseReference = base.record | uint64_t{base.sequence} << 48;
        // Each attribute is listed once; a list naming one twice would
        // count a name twice.
        listed.clear();
        for (size_t i = 0; i < base.entryCount; ++i) {
            const RecordInfo::ListEntry& entry = listEntries_[base.firstEntry + i];
            listed.emplace_back(mft::RecordOf(entry.reference), entry.attributeId);
        }
        std::sort(listed.begin(), listed.end());
        if (std::adjacent_find(listed.begin(), listed.end()) != listed.end())
            return MftResult::Failed;
        parents.clear();
        spaces.clear();
        lengths.clear();
        names.clear();
        uint64_t size = 0;
        bool sized = false, hasReparse = false;
        uint32_t tag = 0;
        for (size_t i = 0; i < base.entryCount; ++i) {
            const RecordInfo::ListEntry& entry = listEntries_[base.firstEntry + i];
            const uint64_t number = mft::RecordOf(entry.reference);
            if (number >= recordCount_)
                return MftResult::Failed;
            const Piece probe{0, 0, 0, static_cast<uint32_t>(number), entry.type, 0, 0, entry.attributeId, 0, 0};
            auto found = std::lower_bound(pieces_.begin(), pieces_.end(), probe,
                                          [&](const Piece& a, const Piece& b) { return key(a) < key(b); });
            if (found == pieces_.end() || key(*found) != key(probe) ||
                found->sequence != mft::SequenceOf(entry.reference))
                return MftResult::Failed;
            const bool own = number == base.record;
            if (own ? found->baseReference != 0 : found->baseReference != baseReference)
                return MftResult::Failed;
            if (entry.type == mft::kFileName) {
                parents.push_back(found->value);
                spaces.push_back(found->nameSpace);
                lengths.push_back(found->nameLength);
                names.push_back(pieceNames_.data() + found->nameOffset);
            } else if (entry.type == mft::kData) {
                if (found->firstVcn != entry.firstVcn)
                    return MftResult::Failed;
                if (entry.firstVcn == 0) {
                    if (sized)
                        return MftResult::Failed;
                    sized = true;
                    size = found->value;
                }
            } else {
                if (hasReparse)
                    return MftResult::Failed;
                hasReparse = true;
                tag = static_cast<uint32_t>(found->value);
            }
        }
        if (!AddListed(base.record, base.sequence, base.directory, parents.data(), spaces.data(), names.data(),
                       lengths.data(), parents.size(), size, hasReparse && !EntersReparseFolder(tag),
                       base.accessClass))
            return MftResult::Failed;
    }
    std::vector<Piece>().swap(pieces_);
    std::vector<PendingBase>().swap(pending_);
    std::vector<RecordInfo::ListEntry>().swap(listEntries_);
    return MftResult::Done;
}

// Finds every folder's parent, sums every file into the folder that lists
// it, and lists every folder's subfolders. Folders whose parent is gone
// are in no listing; a loop of parents is damage.
MftResult MftReader::LinkFolders()
{
    if (!SortUnlessStopped(
            folders_.begin(), folders_.end(),
            [](const FolderRecord& a, const FolderRecord& b) { return a.record < b.record; },
            [this] { return Stopped(); }))
        return MftResult::Stopped;
    const size_t count = folders_.size();
    auto find = [&](uint32_t record, uint16_t sequence) -> uint32_t {
        auto at = std::lower_bound(folders_.begin(), folders_.end(), record,
                                   [](const FolderRecord& f, uint32_t r) { return f.record < r; });
        if (at == folders_.end() || at->record != record || at->sequence != sequence)
            return kNone;
        return static_cast<uint32_t>(at - folders_.begin());
    };
    for (size_t i = 1; i < count; ++i) {
        if (folders_[i].record == folders_[i - 1].record)
            return MftResult::Failed;
    }
    if (count == 0 || folders_[0].record != kRootRecord)
        return MftResult::Failed;
    for (size_t i = 1; i < count; ++i)
        folders_[i].parent = find(folders_[i].parentRecord, folders_[i].parentSequence);

    const bool whole = links_.ForEach(
        [&](const FileLink& link) {
            const uint32_t parent = find(link.parentRecord, link.parentSequence);
            if (parent == kNone)
                return;
            folders_[parent].ownBytes =
                AddBytes(folders_[parent].ownBytes, static_cast<int64_t>(uint64_t{link.sizeHigh} << 32 | link.sizeLow));
            ++folders_[parent].fileCount;
        },
        [this] { return Stopped(); });
    links_.Free();
    if (!whole)
        return MftResult::Stopped;

    childStart_.assign(count + 1, 0);
    for (size_t i = 1; i < count; ++i) {
        if (folders_[i].parent != kNone)
            ++childStart_[folders_[i].parent + 1];
    }
    for (size_t i = 0; i < count; ++i)
        childStart_[i + 1] += childStart_[i];
    childList_.assign(childStart_[count], 0);
    std::vector<uint32_t> fill(childStart_.begin(), childStart_.end() - 1);
    for (size_t i = 1; i < count; ++i) {
        if (folders_[i].parent != kNone)
            childList_[fill[folders_[i].parent]++] = static_cast<uint32_t>(i);
    }

    // A folder reached from the root has a sound chain of parents. Of the
    // rest, follow each chain up: one that ends in a folder whose parent
    // is gone is an orphan; one that comes back to itself is a loop.
    enum : uint8_t { Unknown, OnPath, Sound };
    std::vector<uint8_t> state(count, Unknown);
    std::vector<uint32_t> queue;
    queue.push_back(0);
    state[0] = Sound;
    for (size_t at = 0; at < queue.size(); ++at) {
        for (uint32_t c = childStart_[queue[at]]; c < childStart_[queue[at] + 1]; ++c) {
            state[childList_[c]] = Sound;
            queue.push_back(childList_[c]);
        }
    }
    for (size_t i = 0; i < count; ++i) {
        uint32_t at = static_cast<uint32_t>(i);
        while (at != kNone && state[at] == Unknown) {
            state[at] = OnPath;
            at = folders_[at].parent;
        }
        if (at != kNone && state[at] == OnPath)
            return MftResult::Failed;
        for (at = static_cast<uint32_t>(i); at != kNone && state[at] == OnPath; at = folders_[at].parent)
            state[at] = Sound;
    }
    return MftResult::Done;
}

// Names compared as a folder's index orders them: unit by unit through the
// volume's upper-case table, the shorter first when one begins the other,
// and names equal but for case by their units as they are.
bool MftReader::NameLess(uint32_t a, uint32_t b) const
{
    const wchar_t* x = folderNames_.data() + folders_[a].nameOffset;
    const wchar_t* y = folderNames_.data() + folders_[b].nameOffset;
    const size_t xl = folders_[a].nameLength, yl = folders_[b].nameLength;
    const size_t n = std::min(xl, yl);
    for (size_t i = 0; i < n; ++i) {
        const wchar_t ux = upCase_[static_cast<uint16_t>(x[i])], uy = upCase_[static_cast<uint16_t>(y[i])];
        if (ux != uy)
            return static_cast<uint16_t>(ux) < static_cast<uint16_t>(uy);
    }
    if (xl != yl)
        return xl < yl;
    for (size_t i = 0; i < n; ++i) {
        if (x[i] != y[i])
            return static_cast<uint16_t>(x[i]) < static_cast<uint16_t>(y[i]);
    }
    return false;
}

// Every folder's subfolders in listing order. The stop flag is looked at
// between folders once they add up to a piece of sorting, and within a
// folder that alone holds more.
MftResult MftReader::SortChildren()
{
    const size_t count = folders_.size();
    auto less = [this](uint32_t a, uint32_t b) { return NameLess(a, b); };
    auto stopped = [this] { return Stopped(); };
    size_t sinceCheck = 0;
    for (size_t i = 0; i < count; ++i) {
        const size_t children = childStart_[i + 1] - childStart_[i];
        if (children < 2)
            continue;
        sinceCheck += children;
        if (sinceCheck >= kSortPiece) {
            sinceCheck = 0;
            if (Stopped())
                return MftResult::Stopped;
        }
        if (!SortUnlessStopped(childList_.begin() + childStart_[i], childList_.begin() + childStart_[i + 1], less,
                               stopped))
            return MftResult::Stopped;
    }
    return MftResult::Done;
}

// The folder at `path` below the root, as Windows resolves it: each name
// matched without regard to case; a link on the way would lead elsewhere.
bool MftReader::FindStart(const wchar_t* path, size_t length, uint32_t& start) const
{
    uint32_t at = 0;
    size_t begin = 0;
    while (begin < length) {
        size_t end = begin;
        while (end < length && path[end] != L'\\')
            ++end;
        const size_t nameLength = end - begin;
        if (nameLength == 0)
            return false;
        uint32_t caseless = kNone, exact = kNone;
        size_t caselessCount = 0;
        for (uint32_t c = childStart_[at]; c < childStart_[at + 1]; ++c) {
            const FolderRecord& child = folders_[childList_[c]];
            if (child.nameLength != nameLength)
                continue;
            const wchar_t* name = folderNames_.data() + child.nameOffset;
            bool same = true, identical = true;
            for (size_t k = 0; k < nameLength && same; ++k) {
                same = upCase_[static_cast<uint16_t>(name[k])] == upCase_[static_cast<uint16_t>(path[begin + k])];
                identical = identical && name[k] == path[begin + k];
            }
            if (!same)
                continue;
            ++caselessCount;
            caseless = childList_[c];
            if (identical)
                exact = childList_[c];
        }
        at = exact != kNone ? exact : (caselessCount == 1 ? caseless : kNone);
        if (at == kNone)
            return false;
        if (folders_[at].flags & FolderRecord::Linked)
            return false;
        begin = end + 1;
        if (end + 1 == length)
            return false;
    }
    start = at;
    return true;
}

// Whether a walk could list `folder`, whose path below the start folder
// is probePath_: the answer for its class, asked for the first folder of
// the class.
FolderAccess::Answer MftReader::Ask(uint32_t folder)
{
    const uint32_t accessClass = folders_[folder].accessClass;
    if (accessClass != kNone && classAnswers_[accessClass] != 0)
        return static_cast<FolderAccess::Answer>(classAnswers_[accessClass] - 1);
    const FolderAccess::Answer answer = access_->Probe(probePath_.data(), probePath_.size());
    if (accessClass != kNone)
        classAnswers_[accessClass] = static_cast<uint8_t>(answer + 1);
    return answer;
}

MftResult MftReader::Emit(uint32_t start, MftTree& tree)
{
    // The tree is kept while the scan lasts: sized exactly, from a first
    // pass over the folders it will hold. That pass goes depth first, as a
    // walk goes down, and finds the folders a walk could not list, asking
    // for the first folder of each class the walk would reach; the path of
    // each folder is its parent's with its name added, kept as it goes.
    if (access_ != nullptr)
        classAnswers_.assign(classCount_, 0);
    struct Open {
        uint32_t folder;
        uint32_t nextChild;  // into childList_
        size_t pathLength;   // of the folder's path in probePath_
    };
    std::vector<Open> open;
    probePath_.clear();
    size_t folderCount = 1;
    size_t nameUnits = start == 0 ? 0 : folders_[start].nameLength;
    uint32_t folder = start;
    for (size_t visited = 0; folder != kNone; ++visited) {
        if (visited % kStopCheckEvery == 0 && Stopped())
            return MftResult::Stopped;
        FolderRecord& at = folders_[folder];
        bool entered = folder == start || !(at.flags & FolderRecord::Linked);
        if (entered && access_ != nullptr) {
            const FolderAccess::Answer answer = Ask(folder);
            // A start folder the walk cannot list is the walk's to measure.
            if (answer == FolderAccess::Unknown || (answer == FolderAccess::Refused && folder == start))
                return MftResult::Failed;
            if (Stopped())
                return MftResult::Stopped;
            if (answer == FolderAccess::Refused) {
                at.flags |= FolderRecord::Refused;
                entered = false;
            }
        }
        if (entered)
            open.push_back({folder, childStart_[folder], probePath_.size()});
        folder = kNone;
        while (!open.empty() && folder == kNone) {
            Open& parent = open.back();
            if (parent.nextChild == childStart_[parent.folder + 1]) {
                open.pop_back();
                continue;
            }
            folder = childList_[parent.nextChild++];
            const FolderRecord& child = folders_[folder];
            ++folderCount;
            nameUnits += child.nameLength;
            if (access_ != nullptr) {
                probePath_.resize(parent.pathLength);
                if (parent.pathLength != 0)
                    probePath_ += L'\\';
                probePath_.append(folderNames_.data() + child.nameOffset, child.nameLength);
            }
        }
    }
    if (nameUnits > kNone - 256)
        throw std::bad_alloc();
    tree.folders.reserve(folderCount);
    tree.names.reserve(nameUnits);
    std::vector<uint32_t> source;
    source.reserve(folderCount);
    source.push_back(start);
    const FolderRecord& first = folders_[start];
    tree.folders.push_back({first.ownBytes, first.fileCount, 0, 0, 0, 0,
                            static_cast<uint16_t>(start == 0 ? 0 : first.nameLength), true});
    if (start != 0)
        tree.names.insert(tree.names.end(), folderNames_.begin() + first.nameOffset,
                          folderNames_.begin() + first.nameOffset + first.nameLength);
    for (size_t at = 0; at < source.size(); ++at) {
        if (at % kStopCheckEvery == 0 && Stopped())
            return MftResult::Stopped;
        const uint32_t from = source[at];
        tree.folders[at].firstChild = static_cast<uint32_t>(tree.folders.size());
        if (!tree.folders[at].entered)
            continue;
        tree.folders[at].childCount = childStart_[from + 1] - childStart_[from];
        for (uint32_t c = childStart_[from]; c < childStart_[from + 1]; ++c) {
            const FolderRecord& child = folders_[childList_[c]];
            const bool entered = (child.flags & (FolderRecord::Linked | FolderRecord::Refused)) == 0;
            tree.folders.push_back({entered ? child.ownBytes : 0, entered ? child.fileCount : 0,
                                    static_cast<uint32_t>(at), 0, 0, static_cast<uint32_t>(tree.names.size()),
                                    child.nameLength, entered});
            tree.names.insert(tree.names.end(), folderNames_.begin() + child.nameOffset,
                              folderNames_.begin() + child.nameOffset + child.nameLength);
            source.push_back(childList_[c]);
        }
    }
    return MftResult::Done;
}

MftResult MftReader::Read(const wchar_t* path, size_t length, MftTree& tree)
{
    if (!ReadBoot(volume_, boot_) || Stopped() || !LoadMftLayout() || !LoadUpCase())
        return Stopped() ? MftResult::Stopped : MftResult::Failed;
    MftResult result = ReadTable();
    if (result != MftResult::Done)
        return result;
    if (Stopped())
        return MftResult::Stopped;
    result = ResolvePending();
    if (result != MftResult::Done)
        return result;
    // Only how many descriptors there are is needed from here on.
    classCount_ = accessClasses_.size();
    std::unordered_map<std::string, uint32_t>().swap(accessClasses_);
    result = LinkFolders();
    if (result != MftResult::Done)
        return result;
    result = SortChildren();
    if (result != MftResult::Done)
        return result;
    uint32_t start = 0;
    if (!FindStart(path, length, start))
        return MftResult::Failed;
    return Emit(start, tree);
}

}  // namespace

void MftTree::Clear()
{
    std::vector<MftFolder>().swap(folders);
    std::vector<wchar_t>().swap(names);
}

MftResult ReadMftTree(VolumeReader& volume, const wchar_t* path, size_t length, const std::atomic<bool>& stop,
                      MftTree& tree, FolderAccess* access)
{
    tree.Clear();
    MftResult result;
    try {
        MftReader reader(volume, stop, access);
        result = reader.Read(path, length, tree);
        // A read cut short by a stop fails where it stood.
        if (result == MftResult::Failed && stop.load())
            result = MftResult::Stopped;
    } catch (const std::bad_alloc&) {
        result = MftResult::OutOfMemory;
    } catch (const std::length_error&) {
        result = MftResult::OutOfMemory;
    }
    if (result != MftResult::Done)
        tree.Clear();
    return result;
}


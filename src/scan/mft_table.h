#pragma once

// Where a volume's master file table lies and how it is read: its extents
// (from record 0, and from the extension records its attribute list
// names), the volume's upper-case table, every record in large blocks,
// and the values records keep outside themselves (attribute lists, reparse
// data), within what the table can hold and never a cluster twice.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

#include "scan/mft_boot.h"
#include "scan/mft_records.h"
#include "scan/mft_volume.h"

namespace mft {

// Takes the records of the table one by one.
class RecordSink {
public:
    virtual ~RecordSink() = default;
    // A record in use, read into `info` (`record`: its bytes, fix-ups
    // applied). False when it is damage.
    virtual bool Take(RecordInfo& info, const uint8_t* record) = 0;
};

class Table {
public:
    Table(VolumeReader& volume, const std::atomic<bool>& stop) : volume_(volume), stop_(stop) {}

    // Reads the boot sector, where the table lies and the upper-case table.
    // False when the volume is not NTFS, is damaged, or the stop flag is
    // set.
    bool Open();
    uint64_t RecordCount() const { return recordCount_; }
    const std::vector<wchar_t>& UpCase() const { return upCase_; }

    // Hands every record in use to `sink`, in the order of their numbers,
    // reading the table in blocks of up to 4 MiB. Returns within a block's
    // read of the stop flag being set.
    MftResult ReadRecords(RecordSink& sink);

    // Reads the list of a record that has one outside itself into
    // `info.list`, and counts every list's entries against what the table
    // can hold; false past it or when the list is damaged.
    bool TakeList(RecordInfo& info);
    // Reads the tag of a reparse point whose data lies outside its record
    // into `info.reparseTag`; true at once for one inside it.
    bool ReadReparseTag(RecordInfo& info);

private:
    bool Stopped() const { return stop_.load(std::memory_order_relaxed); }
    bool ReadStream(const std::vector<Extent>& extents, uint64_t offset, size_t length, uint8_t* out);
    bool ReadValue(const OutsideValue& value, std::vector<uint8_t>& bytes);
    bool ClaimClusters(const std::vector<Extent>& extents);
    bool ReadList(const OutsideValue& value, std::vector<uint8_t>& bytes);
    bool ReadRecord(uint32_t number, std::vector<uint8_t>& record);
    bool LoadMftLayout();
    bool LoadUpCase();

    // An attribute list or reparse value outside its record larger than
    // this is damage.
    static constexpr uint64_t kLargestValue = uint64_t{1} << 24;

    VolumeReader& volume_;
    const std::atomic<bool>& stop_;
    Boot boot_;
    std::vector<Extent> mftExtents_;
    uint64_t recordCount_ = 0;
    std::vector<wchar_t> upCase_;
    std::vector<uint8_t> scratch_;

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
};

}  // namespace mft

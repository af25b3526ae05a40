#pragma once

// Small NTFS volumes made in memory for the master file table reader's
// tests: a boot sector, a table of 1 KiB records with fix-ups, an
// upper-case table, and the records a test asks for. File data is never
// written (the reader reads sizes, not contents); runs only have to lie
// inside the volume. The table has 128 records at cluster 4 unless a test
// asks for more: then it lies after everything else, as large as needed.

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "scan/mft_volume.h"

// A volume of `size` bytes (0: as many as `bytes` holds) whose bytes past
// `bytes` read as zeros.
class MemoryVolume : public VolumeReader {
public:
    explicit MemoryVolume(std::vector<uint8_t> bytes, uint64_t size = 0)
        : bytes(std::move(bytes)), size(size != 0 ? size : this->bytes.size())
    {
    }
    bool Read(uint64_t offset, void* buffer, size_t length) override;

    std::vector<uint8_t> bytes;
    uint64_t size;
    size_t reads = 0;
    uint64_t bytesRead = 0;
};

class NtfsBuilder {
public:
    static constexpr uint32_t kRoot = 5;
    static constexpr uint32_t kExtend = 11;
    static constexpr size_t kRecordSize = 1024;
    static constexpr size_t kClusterSize = 4096;
    static constexpr uint64_t kClusters = 1024;  // a 4 MiB volume
    static constexpr uint32_t kRecords = 128;

    NtfsBuilder();

    // A folder or file in `parent`, with one Win32 name; returns its record.
    uint32_t AddFolder(uint32_t parent, const std::wstring& name);
    uint32_t AddFile(uint32_t parent, const std::wstring& name, uint64_t size);
    // Another name of `record` in `parent` (namespace 0 POSIX, 1 Win32,
    // 2 DOS, 3 both).
    void AddName(uint32_t record, uint32_t parent, const std::wstring& name, uint8_t nameSpace = 1);
    // A named stream of `size` bytes.
    void AddStream(uint32_t record, const std::wstring& name, uint64_t size);
    void SetReparseTag(uint32_t record, uint32_t tag);
    // Who may read the record: a $STANDARD_INFORMATION of NTFS 3.x naming
    // security id `id` in $Secure, or a $SECURITY_DESCRIPTOR of its own.
    void SetSecurityId(uint32_t record, uint32_t id);
    void SetDescriptor(uint32_t record, const std::vector<uint8_t>& descriptor);
    // Gives the record's $FILE_NAME and $DATA attributes to a new extension
    // record, listed in an $ATTRIBUTE_LIST of the base; returns the
    // extension.
    uint32_t Spread(uint32_t record);
    // A record at `number` whose parent reference carries `sequence` (a
    // stale reference when it is not the parent's).
    uint32_t AddFileWithParentSequence(uint32_t parent, uint16_t sequence, const std::wstring& name, uint64_t size);

    // A file whose data is one run of `clusters` clusters at `lcn`.
    uint32_t AddFileWithRun(uint32_t parent, const std::wstring& name, uint64_t lcn, uint64_t clusters,
                            uint64_t size);
    // Gives the first name of `record` another parent.
    void Reparent(uint32_t record, uint32_t parent);

    // A file with `count` names in `parent` (`stem` and a number), spread
    // over as many extension records as they fill; its attribute list lies
    // outside the base record.
    uint32_t AddFileWithNames(uint32_t parent, const std::wstring& stem, size_t count, uint64_t size);
    // `bytes` in clusters of their own; returns the first of them.
    uint64_t AddBlob(const std::vector<uint8_t>& bytes);
    // An attribute list, or reparse data, of `size` bytes at cluster `lcn`,
    // outside `record`.
    void SetOutsideList(uint32_t record, uint64_t lcn, uint64_t size);
    void SetOutsideReparse(uint32_t record, uint64_t lcn, uint64_t size);
    // The table grows by `records` extension records' worth of its own
    // $DATA: each holds `runs` runs of one cluster, listed in record 0's
    // attribute list. Returns the extension records in the table's order.
    std::vector<uint32_t> SpreadTable(uint32_t records, uint32_t runs);
    // The table grows by `clusters` clusters of free records.
    void GrowTable(uint64_t clusters) { growClusters_ = clusters; }
    // Record 0's runs name the table's clusters twice over.
    void RepeatTableRuns() { repeatTable_ = true; }
    // Records as NTFS 3.0 writes them: no record number inside.
    void UseNtfs30Records() { ntfs30_ = true; }

    std::vector<uint8_t> Build();
    // After Build: the volume's length. The clusters a table grew or
    // spread by are all free records and lie at its end, past the image: a
    // MemoryVolume of this size reads them as zeros.
    uint64_t VolumeBytes() const { return volumeBytes_; }

    // After Build: where a record, and the first attribute of a type in
    // it, lie in the image.
    size_t RecordOffset(uint32_t record) const;
    size_t AttributeOffset(uint32_t record, uint32_t type) const;
    // Puts the fix-ups back after a test changed a record's bytes.
    static void Protect(uint8_t* record);
    static void Unprotect(uint8_t* record);

private:
    struct Attribute {
        uint32_t type = 0;
        uint16_t id = 0;
        std::wstring name;
        bool nonResident = false;
        std::vector<uint8_t> value;  // resident
        uint64_t firstVcn = 0, lastVcn = 0, allocated = 0, real = 0;
        std::vector<uint8_t> runs;  // non-resident
    };
    struct Record {
        bool inUse = false;
        bool directory = false;
        uint16_t sequence = 1;
        uint64_t base = 0;
        uint16_t nextId = 0;
        std::vector<Attribute> attributes;
        std::vector<uint32_t> extensions;
        std::vector<size_t> attributeOffsets;
        uint64_t listCluster = 0;  // where a list too long for the record lies
    };

    uint32_t NewRecord(bool directory);
    uint32_t NewExtension(uint32_t base);
    std::vector<uint8_t> MakeList(uint32_t number) const;
    void LayTable(uint64_t ownClusters, uint64_t tableClusters);
    void AddFileName(uint32_t record, uint64_t parentReference, const std::wstring& name, uint8_t nameSpace);
    void AddNonResident(uint32_t record, uint32_t type, const std::wstring& name, uint64_t lcn, uint64_t clusters,
                        uint64_t realSize);
    uint64_t Reference(uint32_t record) const;
    std::vector<uint8_t> Serialize(uint32_t number, Record& record) const;

    std::vector<Record> records_;
    uint32_t nextRecord_ = 24;
    uint64_t nextCluster_ = 80;
    uint64_t nextExtra_ = kClusters;  // clusters past the default volume
    std::vector<std::pair<uint64_t, std::vector<uint8_t>>> blobs_;
    std::vector<uint32_t> tableExtensions_;
    uint32_t runsPerExtension_ = 0;
    uint64_t growClusters_ = 0;
    bool repeatTable_ = false;
    bool ntfs30_ = false;
    uint64_t mftCluster_ = 4;
    bool tableLaid_ = false;
    uint64_t volumeBytes_ = 0;
    std::vector<uint8_t> image_;
};

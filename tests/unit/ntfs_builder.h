#pragma once

// Small NTFS volumes made in memory for the master file table reader's
// tests: a boot sector, a table of 1 KiB records with fix-ups, an
// upper-case table, and the records a test asks for. File data is never
// written (the reader reads sizes, not contents); runs only have to lie
// inside the volume.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "scan/mft_volume.h"

class MemoryVolume : public VolumeReader {
public:
    explicit MemoryVolume(std::vector<uint8_t> bytes) : bytes(std::move(bytes)) {}
    bool Read(uint64_t offset, void* buffer, size_t length) override;

    std::vector<uint8_t> bytes;
    size_t reads = 0;
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

    std::vector<uint8_t> Build();

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
    };

    uint32_t NewRecord(bool directory);
    void AddFileName(uint32_t record, uint64_t parentReference, const std::wstring& name, uint8_t nameSpace);
    void AddNonResident(uint32_t record, uint32_t type, const std::wstring& name, uint64_t lcn, uint64_t clusters,
                        uint64_t realSize);
    uint64_t Reference(uint32_t record) const;
    std::vector<uint8_t> Serialize(uint32_t number, Record& record) const;

    std::vector<Record> records_;
    uint32_t nextRecord_ = 24;
    uint64_t nextCluster_ = 80;
    std::vector<uint8_t> image_;
};

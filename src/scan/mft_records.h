#pragma once

// One record of an NTFS master file table, checked and read into what a
// scan needs of it: its names (parent and namespace), the size of its
// unnamed data stream, its reparse tag and its attribute list. Every
// offset and length is checked against the record; a record that fails a
// check is reported as damaged, never half read.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace mft {

constexpr uint32_t kStandardInformation = 0x10;
constexpr uint32_t kAttributeList = 0x20;
constexpr uint32_t kFileName = 0x30;
constexpr uint32_t kSecurityDescriptor = 0x50;
constexpr uint32_t kData = 0x80;
constexpr uint32_t kReparsePoint = 0xC0;
constexpr uint32_t kAttributeEnd = 0xFFFFFFFF;

// Records of the table with a meaning of their own.
constexpr uint32_t kMftRecord = 0;
constexpr uint32_t kRootRecord = 5;
constexpr uint32_t kUpCaseRecord = 10;
// Records below this are the volume's own (metafiles and reserved ones);
// no listing shows them, and their extension records serve the metafiles.
constexpr uint32_t kFirstUserRecord = 24;

constexpr uint8_t kNamespacePosix = 0;
constexpr uint8_t kNamespaceWin32 = 1;
constexpr uint8_t kNamespaceDos = 2;
constexpr uint8_t kNamespaceWin32AndDos = 3;

// A file size no NTFS volume holds (the format's limit is 2^64 bytes, the
// file system's 2^48 - 64 KiB); this size and larger ones mark a damaged
// record, so that every size kept fits in 48 bits.
constexpr uint64_t kLargestFileSize = uint64_t{1} << 48;

// The low 48 bits of a file reference are the record number, the high 16
// its sequence number.
inline uint64_t RecordOf(uint64_t reference) { return reference & 0xFFFFFFFFFFFFull; }
inline uint16_t SequenceOf(uint64_t reference) { return static_cast<uint16_t>(reference >> 48); }

inline uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline uint32_t Get32(const uint8_t* p) { return Get16(p) | static_cast<uint32_t>(Get16(p + 2)) << 16; }
inline uint64_t Get64(const uint8_t* p) { return Get32(p) | static_cast<uint64_t>(Get32(p + 4)) << 32; }

// A piece of a non-resident attribute: `length` clusters from virtual
// cluster `vcn`, at logical cluster `lcn` of the volume (sparse: no
// clusters, `lcn` is 0).
struct Extent {
    uint64_t vcn;
    uint64_t lcn;
    uint64_t length;
    bool sparse;
};

// Decodes a run list that must describe exactly the virtual clusters
// `firstVcn` to `lastVcn`, every run inside a volume of `clusterCount`
// clusters. Appends the runs to `extents` when `extents` is given.
// False when the list is damaged.
bool DecodeRuns(const uint8_t* runs, size_t size, uint64_t firstVcn, uint64_t lastVcn, uint64_t clusterCount,
                std::vector<Extent>* extents);

// Undoes the update-sequence protection of a record (or index buffer) of
// `size` bytes in place: the last two bytes of every 512-byte stride must
// hold the update sequence number and get the saved bytes back. False on a
// torn or malformed record.
bool ApplyFixups(uint8_t* record, size_t size);

// A non-resident attribute value the record only points to.
struct OutsideValue {
    uint64_t size = 0;            // bytes of the value
    std::vector<Extent> extents;  // where it lies
};

// What one record holds that a scan needs. The vectors keep their storage
// from record to record.
struct RecordInfo {
    struct Name {
        uint64_t parent;
        uint16_t attributeId;
        uint8_t nameSpace;
        uint8_t length;       // UTF-16 units
        uint16_t textOffset;  // of the name in the record
    };
    struct DataPiece {  // an extent of the unnamed $DATA
        uint64_t firstVcn;
        uint64_t size;  // the stream's size; meaningful where firstVcn is 0
        uint16_t attributeId;
    };
    struct ListEntry {  // an $ATTRIBUTE_LIST entry that matters to a scan
        uint32_t type;
        uint16_t attributeId;
        uint64_t firstVcn;
        uint64_t reference;  // of the record that holds the attribute
    };

    uint32_t number = 0;
    uint16_t sequence = 0;
    bool directory = false;
    uint64_t baseReference = 0;  // 0: a base record; else the base this one extends

    std::vector<Name> names;
    std::vector<DataPiece> data;
    std::vector<Extent> dataExtents;  // where this record's extents of the unnamed $DATA lie

    bool hasReparse = false;
    bool reparseOutside = false;  // the tag is in `reparseValue`'s first cluster
    uint32_t reparseTag = 0;
    uint16_t reparseAttributeId = 0;
    OutsideValue reparseValue;

    bool hasList = false;
    bool listOutside = false;  // the list is in `listValue`, to be read from the volume
    bool listsDescriptor = false;  // the list names a $SECURITY_DESCRIPTOR
    std::vector<ListEntry> list;
    OutsideValue listValue;

    // Who may read the file: its security id in the volume's $Secure (0:
    // none, as in records older than NTFS 3.0), or a descriptor of its own
    // in the record (`descriptorOffset`, `descriptorLength` bytes), or one
    // not read here (outside the record, or not well formed).
    uint32_t securityId = 0;
    uint16_t descriptorOffset = 0;
    uint16_t descriptorLength = 0;
    bool descriptorOutside = false;

    void Clear();
};

// Whether the raw record (fix-ups not yet applied) is in use. Free records
// (flag clear, or never written: all zero) are skipped unread. False with
// `damaged` set when the record carries neither "FILE" nor zeros.
bool RecordInUse(const uint8_t* record, size_t size, bool& damaged);

// Checks and reads one in-use record of `size` bytes, fix-ups applied
// here, as record `number` of a volume of `clusterCount` clusters. False
// when the record is damaged.
bool ParseRecord(uint8_t* record, size_t size, uint32_t number, uint64_t clusterCount, RecordInfo& info);

// Reads $ATTRIBUTE_LIST entries from a list value into `info.list`. False
// when the list is damaged, or when it would keep more than `most`
// entries.
bool ParseAttributeList(const uint8_t* value, size_t size, RecordInfo& info, size_t most = SIZE_MAX);

}  // namespace mft

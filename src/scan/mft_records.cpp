#include "scan/mft_records.h"

#include <cstring>

namespace mft {

namespace {

constexpr size_t kStride = 512;
constexpr uint16_t kRecordInUse = 0x0001;
constexpr uint16_t kRecordDirectory = 0x0002;

// Offsets in a record header.
constexpr size_t kUsaOffset = 0x04;
constexpr size_t kUsaCount = 0x06;
constexpr size_t kSequence = 0x10;
constexpr size_t kFirstAttribute = 0x14;
constexpr size_t kFlags = 0x16;
constexpr size_t kBytesUsed = 0x18;
constexpr size_t kBytesAllocated = 0x1C;
constexpr size_t kBaseReference = 0x20;
constexpr size_t kRecordNumber = 0x2C;

// The security id in a $STANDARD_INFORMATION value, and where it ends.
constexpr size_t kSecurityId = 0x34;
constexpr size_t kSecurityIdEnd = 0x38;
// A security descriptor starts with a header of this many bytes.
constexpr uint32_t kDescriptorHeader = 20;

// Offsets in an attribute header.
constexpr size_t kResidentHeader = 0x18;
constexpr size_t kNonResidentHeader = 0x40;

bool IsMagic(const uint8_t* p, const char (&magic)[5]) { return std::memcmp(p, magic, 4) == 0; }

// A signed little-endian number of `bytes` bytes (1 to 8).
int64_t GetSigned(const uint8_t* p, unsigned bytes)
{
    uint64_t value = 0;
    for (unsigned i = 0; i < bytes; ++i)
        value |= static_cast<uint64_t>(p[i]) << (8 * i);
    if (bytes < 8 && (p[bytes - 1] & 0x80))
        value |= ~uint64_t{0} << (8 * bytes);
    return static_cast<int64_t>(value);
}

struct Attribute {
    uint32_t type;
    uint32_t length;
    bool nonResident;
    uint8_t nameLength;
    uint16_t id;
    const uint8_t* start;
    // Resident: the value. Non-resident: the header fields.
    const uint8_t* value;
    uint32_t valueLength;
    uint64_t firstVcn, lastVcn, allocatedSize, realSize;
    const uint8_t* runs;
    size_t runsSize;
};

// Reads and checks the attribute header at `offset`; `limit` is the end of
// the record's used bytes.
bool ReadAttribute(const uint8_t* record, size_t offset, size_t limit, Attribute& a)
{
    if (offset + 16 > limit)
        return false;
    const uint8_t* p = record + offset;
    a.start = p;
    a.type = Get32(p);
    a.length = Get32(p + 4);
    a.nonResident = p[8] != 0;
    a.nameLength = p[9];
    const uint16_t nameOffset = Get16(p + 0x0A);
    a.id = Get16(p + 0x0E);
    if (a.length % 8 != 0 || a.length < (a.nonResident ? kNonResidentHeader : kResidentHeader) ||
        a.length > limit - offset)
        return false;
    if (a.nameLength != 0 && nameOffset + 2u * a.nameLength > a.length)
        return false;
    if (!a.nonResident) {
        a.valueLength = Get32(p + 0x10);
        const uint16_t valueOffset = Get16(p + 0x14);
        if (valueOffset > a.length || a.valueLength > a.length - valueOffset)
            return false;
        a.value = p + valueOffset;
        return true;
    }
    a.firstVcn = Get64(p + 0x10);
    a.lastVcn = Get64(p + 0x18);
    const uint16_t runsOffset = Get16(p + 0x20);
    a.allocatedSize = Get64(p + 0x28);
    a.realSize = Get64(p + 0x30);
    if (runsOffset >= a.length || runsOffset < kNonResidentHeader - 8)
        return false;
    // An empty attribute has last VCN one below its first (-1 for VCN 0).
    if (a.lastVcn + 1 < a.firstVcn)
        return false;
    a.runs = p + runsOffset;
    a.runsSize = a.length - runsOffset;
    return true;
}

bool ReadOutsideValue(const Attribute& a, uint64_t clusterCount, OutsideValue& value)
{
    if (a.firstVcn != 0 || a.realSize >= kLargestFileSize || a.realSize > a.allocatedSize)
        return false;
    value.size = a.realSize;
    value.extents.clear();
    return DecodeRuns(a.runs, a.runsSize, a.firstVcn, a.lastVcn, clusterCount, &value.extents);
}

}  // namespace

void RecordInfo::Clear()
{
    number = 0;
    sequence = 0;
    directory = false;
    baseReference = 0;
    names.clear();
    data.clear();
    dataExtents.clear();
    hasReparse = false;
    reparseOutside = false;
    reparseTag = 0;
    reparseAttributeId = 0;
    reparseValue.size = 0;
    reparseValue.extents.clear();
    hasList = false;
    listOutside = false;
    listsDescriptor = false;
    list.clear();
    listValue.size = 0;
    listValue.extents.clear();
    securityId = 0;
    descriptorOffset = 0;
    descriptorLength = 0;
    descriptorOutside = false;
}

bool DecodeRuns(const uint8_t* runs, size_t size, uint64_t firstVcn, uint64_t lastVcn, uint64_t clusterCount,
                std::vector<Extent>* extents)
{
    const uint64_t wanted = lastVcn + 1 - firstVcn;
    uint64_t covered = 0;
    int64_t lcn = 0;
    size_t at = 0;
    for (;;) {
        if (at >= size)
            return false;
        const uint8_t header = runs[at++];
        if (header == 0)
            break;
        const unsigned lengthBytes = header & 0x0F;
        const unsigned offsetBytes = header >> 4;
        if (lengthBytes == 0 || lengthBytes > 8 || offsetBytes > 8 || size - at < lengthBytes + offsetBytes)
            return false;
        uint64_t length = 0;
        for (unsigned i = 0; i < lengthBytes; ++i)
            length |= static_cast<uint64_t>(runs[at + i]) << (8 * i);
        at += lengthBytes;
        if (length == 0 || length > wanted - covered)
            return false;
        Extent extent{firstVcn + covered, 0, length, offsetBytes == 0};
        if (offsetBytes != 0) {
            const int64_t delta = GetSigned(runs + at, offsetBytes);
            at += offsetBytes;
            // Both stay far below 2^62, so the sum cannot overflow.
            if (delta > int64_t{1} << 62 || delta < -(int64_t{1} << 62))
                return false;
            lcn += delta;
            if (lcn < 0 || static_cast<uint64_t>(lcn) > clusterCount ||
                extent.length > clusterCount - static_cast<uint64_t>(lcn))
                return false;
            extent.lcn = static_cast<uint64_t>(lcn);
        }
        covered += extent.length;
        if (extents != nullptr)
            extents->push_back(extent);
    }
    return covered == wanted;
}

bool ApplyFixups(uint8_t* record, size_t size)
{
    if (size < kStride || size % kStride != 0)
        return false;
    const uint16_t usaOffset = Get16(record + kUsaOffset);
    const uint16_t usaCount = Get16(record + kUsaCount);
    if (usaCount != size / kStride + 1 || usaOffset % 2 != 0 || usaOffset < 0x28 ||
        usaOffset + 2u * usaCount > kStride - 2)
        return false;
    const uint8_t* usa = record + usaOffset;
    for (size_t i = 1; i < usaCount; ++i) {
        uint8_t* end = record + i * kStride - 2;
        if (end[0] != usa[0] || end[1] != usa[1])
            return false;
    }
    for (size_t i = 1; i < usaCount; ++i) {
        uint8_t* end = record + i * kStride - 2;
        end[0] = usa[2 * i];
        end[1] = usa[2 * i + 1];
    }
    return true;
}

bool RecordInUse(const uint8_t* record, size_t size, bool& damaged)
{
    damaged = false;
    if (IsMagic(record, "FILE"))
        return (Get16(record + kFlags) & kRecordInUse) != 0;
    for (size_t i = 0; i < size; ++i) {
        if (record[i] != 0) {
            damaged = true;
            return false;
        }
    }
    return false;
}

bool ParseAttributeList(const uint8_t* value, size_t size, RecordInfo& info, size_t most)
{
    size_t at = 0;
    while (at < size) {
        if (size - at < 0x1A)
            return false;
        const uint8_t* p = value + at;
        const uint32_t type = Get32(p);
        const uint16_t length = Get16(p + 4);
        const uint8_t nameLength = p[6];
        const uint8_t nameOffset = p[7];
        if (length < 0x1A || length > size - at || (nameLength != 0 && nameOffset + 2u * nameLength > length))
            return false;
        const uint64_t reference = Get64(p + 0x10);
        if (type == kSecurityDescriptor)
            info.listsDescriptor = true;
        if (type == kFileName || type == kReparsePoint || (type == kData && nameLength == 0)) {
            if (info.list.size() >= most)
                return false;
            info.list.push_back({type, Get16(p + 0x18), Get64(p + 8), reference});
        }
        at += length;
    }
    return true;
}

bool ParseRecord(uint8_t* record, size_t size, uint32_t number, uint64_t clusterCount, RecordInfo& info)
{
    info.Clear();
    if (!IsMagic(record, "FILE") || !ApplyFixups(record, size))
        return false;
    const uint16_t usaOffset = Get16(record + kUsaOffset);
    const size_t firstAttribute = Get16(record + kFirstAttribute);
    const size_t bytesUsed = Get32(record + kBytesUsed);
    if (Get32(record + kBytesAllocated) != size || bytesUsed > size || firstAttribute % 8 != 0 ||
        firstAttribute < usaOffset + 2u * Get16(record + kUsaCount) || firstAttribute >= bytesUsed)
        return false;
    // Records written since NTFS 3.1 carry their own number.
    if (usaOffset >= 0x30 && Get32(record + kRecordNumber) != number)
        return false;
    info.number = number;
    info.sequence = Get16(record + kSequence);
    info.directory = (Get16(record + kFlags) & kRecordDirectory) != 0;
    info.baseReference = Get64(record + kBaseReference);

    size_t offset = firstAttribute;
    for (;;) {
        if (offset + 4 > bytesUsed)
            return false;
        if (Get32(record + offset) == kAttributeEnd)
            break;
        Attribute a{};
        if (!ReadAttribute(record, offset, bytesUsed, a))
            return false;
        offset += a.length;

        if (a.type == kFileName) {
            if (a.nonResident || a.valueLength < 0x42)
                return false;
            const uint8_t length = a.value[0x40];
            const uint8_t nameSpace = a.value[0x41];
            if (length == 0 || nameSpace > kNamespaceWin32AndDos || 0x42u + 2u * length > a.valueLength)
                return false;
            info.names.push_back({Get64(a.value), a.id, nameSpace, length,
                                  static_cast<uint16_t>(a.value + 0x42 - record)});
        } else if (a.type == kData && a.nameLength == 0) {
            if (!a.nonResident) {
                info.data.push_back({0, a.valueLength, a.id});
                continue;
            }
            if (!DecodeRuns(a.runs, a.runsSize, a.firstVcn, a.lastVcn, clusterCount, &info.dataExtents))
                return false;
            if (a.firstVcn == 0 && (a.realSize >= kLargestFileSize || a.realSize > a.allocatedSize))
                return false;
            info.data.push_back({a.firstVcn, a.firstVcn == 0 ? a.realSize : 0, a.id});
        } else if (a.type == kReparsePoint) {
            if (info.hasReparse)
                return false;
            info.hasReparse = true;
            info.reparseAttributeId = a.id;
            if (!a.nonResident) {
                if (a.valueLength < 8)
                    return false;
                info.reparseTag = Get32(a.value);
            } else {
                if (!ReadOutsideValue(a, clusterCount, info.reparseValue) || info.reparseValue.size < 8)
                    return false;
                info.reparseOutside = true;
            }
        } else if (a.type == kStandardInformation) {
            // NTFS 3.0 and later keep the security id here; older records
            // have a shorter value.
            if (!a.nonResident && a.valueLength >= kSecurityIdEnd)
                info.securityId = Get32(a.value + kSecurityId);
        } else if (a.type == kSecurityDescriptor) {
            // A descriptor of the record's own. One outside the record, one
            // too short for a descriptor's header, or a second one is not
            // compared with others.
            if (a.nonResident || a.valueLength < kDescriptorHeader || info.descriptorLength != 0 ||
                info.descriptorOutside) {
                info.descriptorOutside = true;
                info.descriptorLength = 0;
            } else {
                info.descriptorOffset = static_cast<uint16_t>(a.value - record);
                info.descriptorLength = static_cast<uint16_t>(a.valueLength);
            }
        } else if (a.type == kAttributeList) {
            if (info.hasList || info.baseReference != 0)
                return false;
            info.hasList = true;
            if (!a.nonResident) {
                if (!ParseAttributeList(a.value, a.valueLength, info))
                    return false;
            } else {
                if (!ReadOutsideValue(a, clusterCount, info.listValue))
                    return false;
                info.listOutside = true;
            }
        }
    }
    // Without a list, the whole unnamed stream is one extent of this record.
    if (!info.hasList && info.baseReference == 0 &&
        (info.data.size() > 1 || (info.data.size() == 1 && info.data[0].firstVcn != 0)))
        return false;
    return true;
}

}  // namespace mft

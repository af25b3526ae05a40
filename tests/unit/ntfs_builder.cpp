#include "ntfs_builder.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace {

constexpr uint64_t kMftCluster = 4;
constexpr uint64_t kUpCaseCluster = 40;
constexpr uint16_t kUsn = 0x0B0B;

void Put16(std::vector<uint8_t>& b, size_t at, uint16_t v)
{
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    Put16(b, at, static_cast<uint16_t>(v));
    Put16(b, at + 2, static_cast<uint16_t>(v >> 16));
}
void Put64(std::vector<uint8_t>& b, size_t at, uint64_t v)
{
    Put32(b, at, static_cast<uint32_t>(v));
    Put32(b, at + 4, static_cast<uint32_t>(v >> 32));
}
size_t Round8(size_t n) { return (n + 7) / 8 * 8; }

// One run of `clusters` clusters at `lcn` (0: sparse) after a run at 0.
std::vector<uint8_t> OneRun(uint64_t lcn, uint64_t clusters)
{
    std::vector<uint8_t> runs;
    uint8_t lengthBytes = 1, offsetBytes = 0;
    while (lengthBytes < 8 && (clusters >> (8 * lengthBytes)) != 0)
        ++lengthBytes;
    if (lcn != 0) {
        offsetBytes = 1;
        // Signed: the top bit of the last byte must be clear.
        while (offsetBytes < 8 && (lcn >> (8 * offsetBytes - 1)) != 0)
            ++offsetBytes;
    }
    runs.push_back(static_cast<uint8_t>(offsetBytes << 4 | lengthBytes));
    for (uint8_t i = 0; i < lengthBytes; ++i)
        runs.push_back(static_cast<uint8_t>(clusters >> (8 * i)));
    for (uint8_t i = 0; i < offsetBytes; ++i)
        runs.push_back(static_cast<uint8_t>(lcn >> (8 * i)));
    runs.push_back(0);
    return runs;
}

}  // namespace

bool MemoryVolume::Read(uint64_t offset, void* buffer, size_t length)
{
    ++reads;
    if (offset > size || length > size - offset)
        return false;
    bytesRead += length;
    const size_t held = offset < bytes.size() ? static_cast<size_t>(std::min<uint64_t>(length, bytes.size() - offset)) : 0;
    if (held != 0)
        std::memcpy(buffer, bytes.data() + offset, held);
    std::memset(static_cast<uint8_t*>(buffer) + held, 0, length - held);
    return true;
}

NtfsBuilder::NtfsBuilder() : records_(kRecords)
{
    Record& mftRecord = records_[0];
    mftRecord.inUse = true;
    AddFileName(0, Reference(kRoot), L"$MFT", 3);
    AddNonResident(0, 0x80, L"", kMftCluster, kRecords * kRecordSize / kClusterSize, kRecords * kRecordSize);
    records_[kRoot].inUse = true;
    records_[kRoot].directory = true;
    AddFileName(kRoot, Reference(kRoot), L".", 3);
    records_[10].inUse = true;
    AddFileName(10, Reference(kRoot), L"$UpCase", 3);
    AddNonResident(10, 0x80, L"", kUpCaseCluster, 32, 131072);
    records_[kExtend].inUse = true;
    records_[kExtend].directory = true;
    AddFileName(kExtend, Reference(kRoot), L"$Extend", 3);
}

uint64_t NtfsBuilder::Reference(uint32_t record) const
{
    return record | uint64_t{records_[record].sequence} << 48;
}

uint32_t NtfsBuilder::NewRecord(bool directory)
{
    const uint32_t number = nextRecord_++;
    if (records_.size() <= number)
        records_.resize(number + 1);
    records_[number].inUse = true;
    records_[number].directory = directory;
    records_[number].sequence = static_cast<uint16_t>(number % 7 + 1);
    return number;
}

void NtfsBuilder::AddFileName(uint32_t record, uint64_t parentReference, const std::wstring& name, uint8_t nameSpace)
{
    Attribute a;
    a.type = 0x30;
    a.id = records_[record].nextId++;
    a.value.assign(0x42 + 2 * name.size(), 0);
    Put64(a.value, 0, parentReference);
    Put32(a.value, 0x38, records_[record].directory ? 0x10000000 : 0x20);
    a.value[0x40] = static_cast<uint8_t>(name.size());
    a.value[0x41] = nameSpace;
    for (size_t i = 0; i < name.size(); ++i)
        Put16(a.value, 0x42 + 2 * i, static_cast<uint16_t>(name[i]));
    records_[record].attributes.push_back(a);
}

void NtfsBuilder::AddNonResident(uint32_t record, uint32_t type, const std::wstring& name, uint64_t lcn,
                                 uint64_t clusters, uint64_t realSize)
{
    Attribute a;
    a.type = type;
    a.id = records_[record].nextId++;
    a.name = name;
    a.nonResident = true;
    a.firstVcn = 0;
    a.lastVcn = clusters - 1;
    a.allocated = clusters * kClusterSize;
    a.real = realSize;
    a.runs = OneRun(lcn, clusters);
    records_[record].attributes.push_back(a);
}

uint32_t NtfsBuilder::AddFolder(uint32_t parent, const std::wstring& name)
{
    const uint32_t number = NewRecord(true);
    AddFileName(number, Reference(parent), name, 1);
    return number;
}

uint32_t NtfsBuilder::AddFile(uint32_t parent, const std::wstring& name, uint64_t size)
{
    return AddFileWithParentSequence(parent, records_[parent].sequence, name, size);
}

uint32_t NtfsBuilder::AddFileWithParentSequence(uint32_t parent, uint16_t sequence, const std::wstring& name,
                                                uint64_t size)
{
    const uint32_t number = NewRecord(false);
    AddFileName(number, parent | uint64_t{sequence} << 48, name, 1);
    AddStream(number, L"", size);
    return number;
}

void NtfsBuilder::AddName(uint32_t record, uint32_t parent, const std::wstring& name, uint8_t nameSpace)
{
    AddFileName(record, Reference(parent), name, nameSpace);
}

void NtfsBuilder::AddStream(uint32_t record, const std::wstring& name, uint64_t size)
{
    if (size <= 400) {
        Attribute a;
        a.type = 0x80;
        a.id = records_[record].nextId++;
        a.name = name;
        a.value.assign(size, 0x5A);
        records_[record].attributes.push_back(a);
        return;
    }
    const uint64_t clusters = (size + kClusterSize - 1) / kClusterSize;
    // Small files get clusters of their own; big ones are sparse.
    if (clusters <= 4 && nextCluster_ + clusters <= kClusters) {
        AddNonResident(record, 0x80, name, nextCluster_, clusters, size);
        nextCluster_ += clusters;
    } else {
        AddNonResident(record, 0x80, name, 0, clusters, size);
    }
}

uint32_t NtfsBuilder::AddFileWithRun(uint32_t parent, const std::wstring& name, uint64_t lcn, uint64_t clusters,
                                     uint64_t size)
{
    const uint32_t number = NewRecord(false);
    AddFileName(number, Reference(parent), name, 1);
    AddNonResident(number, 0x80, L"", lcn, clusters, size);
    return number;
}

void NtfsBuilder::Reparent(uint32_t record, uint32_t parent)
{
    for (Attribute& a : records_[record].attributes) {
        if (a.type == 0x30) {
            Put64(a.value, 0, Reference(parent));
            return;
        }
    }
}

void NtfsBuilder::SetReparseTag(uint32_t record, uint32_t tag)
{
    Attribute a;
    a.type = 0xC0;
    a.id = records_[record].nextId++;
    a.value.assign(8, 0);
    Put32(a.value, 0, tag);
    records_[record].attributes.push_back(a);
}

uint32_t NtfsBuilder::NewExtension(uint32_t base)
{
    const uint32_t extension = nextRecord_++;
    if (records_.size() <= extension)
        records_.resize(extension + 1);
    Record& ext = records_[extension];
    ext.inUse = true;
    ext.sequence = 3;
    ext.base = Reference(base);
    records_[base].extensions.push_back(extension);
    return extension;
}

uint32_t NtfsBuilder::AddFileWithNames(uint32_t parent, const std::wstring& stem, size_t count, uint64_t size)
{
    const uint32_t file = NewRecord(false);
    AddStream(file, L"", size);
    uint32_t extension = 0;
    for (size_t i = 0; i < count; ++i) {
        if (i % 8 == 0)  // as many names of up to five letters as a record holds
            extension = NewExtension(file);
        AddFileName(extension, Reference(parent), stem + std::to_wstring(i), 1);
    }
    return file;
}

uint64_t NtfsBuilder::AddBlob(const std::vector<uint8_t>& bytes)
{
    const uint64_t clusters = std::max<uint64_t>(1, (bytes.size() + kClusterSize - 1) / kClusterSize);
    uint64_t lcn;
    if (nextCluster_ + clusters < kClusters) {
        lcn = nextCluster_;
        nextCluster_ += clusters;
    } else {
        lcn = nextExtra_;
        nextExtra_ += clusters;
    }
    blobs_.emplace_back(lcn, bytes);
    return lcn;
}

void NtfsBuilder::SetOutsideList(uint32_t record, uint64_t lcn, uint64_t size)
{
    const uint64_t clusters = std::max<uint64_t>(1, (size + kClusterSize - 1) / kClusterSize);
    AddNonResident(record, 0x20, L"", lcn, clusters, size);
}

void NtfsBuilder::SetOutsideReparse(uint32_t record, uint64_t lcn, uint64_t size)
{
    const uint64_t clusters = std::max<uint64_t>(1, (size + kClusterSize - 1) / kClusterSize);
    AddNonResident(record, 0xC0, L"", lcn, clusters, size);
}

std::vector<uint32_t> NtfsBuilder::SpreadTable(uint32_t records, uint32_t runs)
{
    runsPerExtension_ = runs;
    for (uint32_t i = 0; i < records; ++i) {
        const uint32_t extension = NewExtension(0);
        Attribute a;
        a.type = 0x80;
        a.id = records_[extension].nextId++;
        a.nonResident = true;
        records_[extension].attributes.push_back(a);  // its runs are laid by Build
        tableExtensions_.push_back(extension);
    }
    return tableExtensions_;
}

uint32_t NtfsBuilder::Spread(uint32_t record)
{
    const uint32_t extension = NewExtension(record);
    Record& ext = records_[extension];
    Record& base = records_[record];
    auto moves = [](const Attribute& a) { return a.type == 0x30 || a.type == 0x80; };
    for (const Attribute& a : base.attributes) {
        if (moves(a))
            ext.attributes.push_back(a);
    }
    base.attributes.erase(std::remove_if(base.attributes.begin(), base.attributes.end(), moves),
                          base.attributes.end());
    return extension;
}

void NtfsBuilder::SetSecurityId(uint32_t record, uint32_t id)
{
    Attribute a;
    a.type = 0x10;
    a.id = records_[record].nextId++;
    a.value.assign(0x48, 0);
    Put32(a.value, 0x34, id);
    records_[record].attributes.push_back(a);
}

void NtfsBuilder::SetDescriptor(uint32_t record, const std::vector<uint8_t>& descriptor)
{
    Attribute a;
    a.type = 0x50;
    a.id = records_[record].nextId++;
    a.value = descriptor;
    records_[record].attributes.push_back(a);
}

std::vector<uint8_t> NtfsBuilder::Serialize(uint32_t number, Record& record) const
{
    std::vector<uint8_t> r(kRecordSize, 0);
    if (!record.inUse)
        return r;
    // NTFS 3.0 keeps the update sequence array at 0x2A, where 3.1 keeps
    // the record's number (0x2C).
    const size_t usa = ntfs30_ ? 0x2A : 0x30;
    const size_t first = ntfs30_ ? 0x30 : 0x38;
    std::memcpy(r.data(), "FILE", 4);
    Put16(r, 0x04, static_cast<uint16_t>(usa));
    Put16(r, 0x06, kRecordSize / 512 + 1);
    Put16(r, 0x10, record.sequence);
    Put16(r, 0x12, 1);
    Put16(r, 0x14, static_cast<uint16_t>(first));
    Put16(r, 0x16, static_cast<uint16_t>(1 | (record.directory ? 2 : 0)));
    Put32(r, 0x1C, kRecordSize);
    Put64(r, 0x20, record.base);
    Put16(r, 0x28, record.nextId);
    if (!ntfs30_)
        Put32(r, 0x2C, number);

    std::vector<Attribute> attributes = record.attributes;
    if (!record.extensions.empty()) {
        // The list names every attribute of the file and where it is; a
        // long one lies outside the record.
        Attribute list;
        list.type = 0x20;
        list.id = 0xFF;
        list.value = MakeList(number);
        if (record.listCluster != 0) {
            list.nonResident = true;
            const uint64_t clusters = (list.value.size() + kClusterSize - 1) / kClusterSize;
            list.lastVcn = clusters - 1;
            list.allocated = clusters * kClusterSize;
            list.real = list.value.size();
            list.runs = OneRun(record.listCluster, clusters);
        }
        attributes.insert(attributes.begin(), list);
    }
    std::stable_sort(attributes.begin(), attributes.end(),
                     [](const Attribute& a, const Attribute& b) { return a.type < b.type; });

    record.attributeOffsets.clear();
    size_t at = first;
    for (const Attribute& a : attributes) {
        record.attributeOffsets.push_back(at);
        const size_t nameBytes = 2 * a.name.size();
        size_t length;
        if (!a.nonResident) {
            const size_t valueOffset = Round8(0x18 + nameBytes);
            length = Round8(valueOffset + a.value.size());
            Put32(r, at + 0x10, static_cast<uint32_t>(a.value.size()));
            Put16(r, at + 0x14, static_cast<uint16_t>(valueOffset));
            std::memcpy(r.data() + at + valueOffset, a.value.data(), a.value.size());
            Put16(r, at + 0x0A, 0x18);
        } else {
            const size_t runsOffset = Round8(0x40 + nameBytes);
            length = Round8(runsOffset + a.runs.size());
            r[at + 8] = 1;
            Put16(r, at + 0x0A, 0x40);
            Put64(r, at + 0x10, a.firstVcn);
            Put64(r, at + 0x18, a.lastVcn);
            Put16(r, at + 0x20, static_cast<uint16_t>(runsOffset));
            Put64(r, at + 0x28, a.allocated);
            Put64(r, at + 0x30, a.real);
            Put64(r, at + 0x38, a.real);
            std::memcpy(r.data() + at + runsOffset, a.runs.data(), a.runs.size());
        }
        Put32(r, at, a.type);
        Put32(r, at + 4, static_cast<uint32_t>(length));
        r[at + 9] = static_cast<uint8_t>(a.name.size());
        Put16(r, at + 0x0E, a.id);
        for (size_t i = 0; i < a.name.size(); ++i)
            Put16(r, at + (a.nonResident ? 0x40 : 0x18) + 2 * i, static_cast<uint16_t>(a.name[i]));
        at += length;
        if (at + 8 > kRecordSize - 8)
            throw std::runtime_error("record full");
    }
    Put32(r, at, 0xFFFFFFFF);
    Put32(r, 0x18, static_cast<uint32_t>(at + 8));
    Protect(r.data());
    return r;
}

std::vector<uint8_t> NtfsBuilder::MakeList(uint32_t number) const
{
    std::vector<uint8_t> list;
    auto addEntries = [&](uint32_t holder, const std::vector<Attribute>& from) {
        for (const Attribute& a : from) {
            if (a.type == 0x20)
                continue;
            std::vector<uint8_t> e(Round8(0x1A + 2 * a.name.size()), 0);
            Put32(e, 0, a.type);
            Put16(e, 4, static_cast<uint16_t>(e.size()));
            e[6] = static_cast<uint8_t>(a.name.size());
            e[7] = 0x1A;
            Put64(e, 8, a.firstVcn);
            Put64(e, 0x10, holder | uint64_t{records_[holder].sequence} << 48);
            Put16(e, 0x18, a.id);
            for (size_t i = 0; i < a.name.size(); ++i)
                Put16(e, 0x1A + 2 * i, static_cast<uint16_t>(a.name[i]));
            list.insert(list.end(), e.begin(), e.end());
        }
    };
    addEntries(number, records_[number].attributes);
    for (uint32_t ext : records_[number].extensions)
        addEntries(ext, records_[ext].attributes);
    return list;
}

void NtfsBuilder::Protect(uint8_t* record)
{
    uint8_t* usa = record + (record[4] | record[5] << 8);
    usa[0] = static_cast<uint8_t>(kUsn);
    usa[1] = static_cast<uint8_t>(kUsn >> 8);
    for (size_t i = 1; i <= kRecordSize / 512; ++i) {
        uint8_t* end = record + i * 512 - 2;
        usa[2 * i] = end[0];
        usa[2 * i + 1] = end[1];
        end[0] = usa[0];
        end[1] = usa[1];
    }
}

void NtfsBuilder::Unprotect(uint8_t* record)
{
    const uint8_t* usa = record + (record[4] | record[5] << 8);
    for (size_t i = 1; i <= kRecordSize / 512; ++i) {
        uint8_t* end = record + i * 512 - 2;
        end[0] = usa[2 * i];
        end[1] = usa[2 * i + 1];
    }
}

// Record 0's $DATA, and that of the records a spread table gives its
// tail to: the table at mftCluster_, `ownClusters` of it in record 0.
void NtfsBuilder::LayTable(uint64_t ownClusters, uint64_t tableClusters)
{
    for (Attribute& a : records_[0].attributes) {
        if (a.type != 0x80)
            continue;
        a.lastVcn = ownClusters - 1;
        a.allocated = a.real = tableClusters * kClusterSize;  // the sizes of the whole stream
        a.runs = OneRun(mftCluster_, ownClusters);
        if (repeatTable_) {
            // A second run of as many clusters, 0 clusters on from the first.
            a.runs.pop_back();
            std::vector<uint8_t> again = OneRun(0, ownClusters);
            again.pop_back();
            again[0] |= 0x10;
            again.push_back(0);
            a.runs.insert(a.runs.end(), again.begin(), again.end());
            a.runs.push_back(0);
            a.lastVcn = 2 * ownClusters - 1;
            a.allocated = a.real = 2 * ownClusters * kClusterSize;
        }
    }
    for (size_t i = 0; i < tableExtensions_.size(); ++i) {
        Attribute& a = records_[tableExtensions_[i]].attributes.front();
        a.firstVcn = ownClusters + i * runsPerExtension_;
        a.lastVcn = a.firstVcn + runsPerExtension_ - 1;
        a.runs.clear();
        uint64_t previous = 0;
        for (uint64_t vcn = a.firstVcn; vcn <= a.lastVcn; ++vcn) {
            const uint64_t lcn = mftCluster_ + vcn;
            std::vector<uint8_t> run = OneRun(lcn - previous, 1);
            a.runs.insert(a.runs.end(), run.begin(), run.end() - 1);
            previous = lcn;
        }
        a.runs.push_back(0);
    }
}

std::vector<uint8_t> NtfsBuilder::Build()
{
    constexpr uint64_t perCluster = kClusterSize / kRecordSize;
    const uint64_t used = std::max<uint64_t>(kRecords, records_.size());
    const uint64_t usedClusters = (used + perCluster - 1) / perCluster;
    const uint64_t ownClusters = usedClusters + growClusters_;
    const uint64_t tableClusters = ownClusters + uint64_t{runsPerExtension_} * tableExtensions_.size();
    LayTable(ownClusters, tableClusters);  // the spread table's VCNs, which its list names
    // Lists too long for their record go outside it.
    for (uint32_t n = 0; n < records_.size(); ++n) {
        if (!records_[n].extensions.empty() && records_[n].listCluster == 0) {
            const std::vector<uint8_t> list = MakeList(n);
            if (list.size() > 512)
                records_[n].listCluster = AddBlob(list);
        }
    }
    // A table other than the usual one lies after what is there: in the
    // volume's free clusters where it fits, else past them.
    const bool asAlways = ownClusters == kRecords / perCluster && tableExtensions_.empty() && !repeatTable_;
    if (asAlways) {
        mftCluster_ = kMftCluster;
    } else if (!tableLaid_) {
        const uint64_t physical = repeatTable_ ? ownClusters : tableClusters;
        if (nextCluster_ + physical < kClusters) {
            mftCluster_ = nextCluster_;
            nextCluster_ += physical;
        } else {
            mftCluster_ = nextExtra_;
        }
        tableLaid_ = true;
    }
    LayTable(ownClusters, tableClusters);
    const uint64_t volumeClusters = std::max({kClusters, mftCluster_ + tableClusters + 1, nextExtra_ + 1});
    volumeBytes_ = volumeClusters * kClusterSize;
    const bool freeTail = !tableExtensions_.empty() || growClusters_ != 0;
    image_.assign(freeTail ? (mftCluster_ + usedClusters) * kClusterSize : volumeBytes_, 0);
    std::vector<uint8_t>& b = image_;
    std::memcpy(b.data() + 3, "NTFS    ", 8);
    Put16(b, 0x0B, 512);
    b[0x0D] = kClusterSize / 512;
    Put64(b, 0x28, volumeClusters * kClusterSize / 512 - 1);
    Put64(b, 0x30, mftCluster_);
    Put64(b, 0x38, 2);
    b[0x40] = 0xF6;
    b[0x44] = 1;
    Put64(b, 0x48, 0x1234567890ABCDEFull);
    b[0x1FE] = 0x55;
    b[0x1FF] = 0xAA;
    for (uint32_t c = 0; c < 65536; ++c) {
        uint32_t up = c;
        if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7))
            up = c - 0x20;
        else if (c == 0xFF)
            up = 0x178;
        Put16(b, kUpCaseCluster * kClusterSize + 2 * c, static_cast<uint16_t>(up));
    }
    for (const auto& [lcn, bytes] : blobs_)
        std::memcpy(b.data() + lcn * kClusterSize, bytes.data(), bytes.size());
    for (uint32_t n = 0; n < used; ++n) {
        if (n >= records_.size())
            break;
        const std::vector<uint8_t> r = Serialize(n, records_[n]);
        std::memcpy(b.data() + RecordOffset(n), r.data(), r.size());
    }
    return image_;
}

size_t NtfsBuilder::RecordOffset(uint32_t record) const
{
    return static_cast<size_t>(mftCluster_ * kClusterSize) + size_t{record} * kRecordSize;
}

size_t NtfsBuilder::AttributeOffset(uint32_t record, uint32_t type) const
{
    const Record& r = records_.at(record);
    for (size_t i = 0; i < r.attributeOffsets.size(); ++i) {
        const size_t at = RecordOffset(record) + r.attributeOffsets[i];
        const uint32_t t = image_[at] | image_[at + 1] << 8 | image_[at + 2] << 16 | uint32_t{image_[at + 3]} << 24;
        if (t == type)
            return at;
    }
    return 0;
}

#include "scan/mft_collect.h"

#include <algorithm>
#include <new>
#include <tuple>
#include <utility>

#include "scan/reparse_tag.h"
#include "scan/stoppable_sort.h"

namespace mft {

namespace {

// Descriptors kept to tell which folders share one; a folder whose
// descriptor comes after this many others is asked about on its own.
constexpr size_t kMostAccessClasses = 65536;

}  // namespace

// The class of folders whose descriptor is the same as this record's:
// the same descriptor of their own, or else the same security id. kNone
// when the record's descriptor is not where it can be compared.
uint32_t Collector::AccessClassOf(const RecordInfo& info, const uint8_t* record)
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
bool Collector::AddListed(uint32_t record, uint16_t sequence, bool directory, const uint64_t* parents,
                          const uint8_t* spaces, const wchar_t* const* names, const uint8_t* nameLengths, size_t count,
                          uint64_t size, bool linked, uint32_t accessClass)
{
    if (size >= kLargestFileSize)
        return false;
    size_t listed = 0;
    for (size_t i = 0; i < count; ++i) {
        if (spaces[i] == kNamespaceDos)
            continue;
        ++listed;
        if (directory) {
            // A folder has one name; a second would be a hard link to it.
            if (listed > 1)
                return false;
            FolderRecord folder{};
            folder.record = record;
            folder.sequence = sequence;
            folder.parentRecord = static_cast<uint32_t>(std::min<uint64_t>(RecordOf(parents[i]), kNone));
            folder.parentSequence = SequenceOf(parents[i]);
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
            links_.push_back({static_cast<uint32_t>(std::min<uint64_t>(RecordOf(parents[i]), kNone)),
                              SequenceOf(parents[i]), static_cast<uint16_t>(size >> 32),
                              static_cast<uint32_t>(size)});
        }
    }
    return true;
}

bool Collector::AddFromRecord(const RecordInfo& info, const uint8_t* record)
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
                texts[i][k] = static_cast<wchar_t>(Get16(record + name.textOffset + 2 * k));
        }
        names[i] = texts[i];
    }
    const uint64_t size = info.data.empty() ? 0 : info.data[0].size;
    return AddListed(info.number, info.sequence, info.directory, parents, spaces, names, lengths, count, size,
                     info.hasReparse && !EntersReparseFolder(info.reparseTag),
                     info.directory ? AccessClassOf(info, record) : kNone);
}

// Keeps what one in-use record adds: a folder, a file's names, or, for a
// record spread over several, its pieces until every record is read.
bool Collector::Take(RecordInfo& info, const uint8_t* record)
{
    if (info.number < kFirstUserRecord && info.number != kRootRecord)
        return true;
    if (!table_.ReadReparseTag(info))
        return false;
    if (info.baseReference == 0 && !info.hasList)
        return AddFromRecord(info, record);

    if (info.hasList) {
        if (!table_.TakeList(info))
            return false;
        pending_.push_back({info.number, info.directory ? AccessClassOf(info, record) : kNone, info.sequence,
                            info.directory, listEntries_.size(), info.list.size()});
        listEntries_.insert(listEntries_.end(), info.list.begin(), info.list.end());
    }
    for (const RecordInfo::Name& name : info.names) {
        Piece piece{info.baseReference, name.parent, 0, info.number, kFileName,
                    static_cast<uint32_t>(pieceNames_.size()), info.sequence, name.attributeId, name.nameSpace,
                    name.length};
        for (size_t k = 0; k < name.length; ++k)
            pieceNames_.push_back(static_cast<wchar_t>(Get16(record + name.textOffset + 2 * k)));
        pieces_.push_back(piece);
    }
    for (const RecordInfo::DataPiece& data : info.data)
        pieces_.push_back({info.baseReference, data.size, data.firstVcn, info.number, kData, 0, info.sequence,
                           data.attributeId, 0, 0});
    if (info.hasReparse)
        pieces_.push_back({info.baseReference, info.reparseTag, 0, info.number, kReparsePoint, 0,
                           info.sequence, info.reparseAttributeId, 0, 0});
    return true;
}

// Puts together the records spread over several: every attribute their
// lists name must be found where the list says, in a record that names
// the base as its own.
MftResult Collector::ResolvePending()
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
            listed.emplace_back(RecordOf(entry.reference), entry.attributeId);
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
            const uint64_t number = RecordOf(entry.reference);
            if (number >= table_.RecordCount())
                return MftResult::Failed;
            const Piece probe{0, 0, 0, static_cast<uint32_t>(number), entry.type, 0, 0, entry.attributeId, 0, 0};
            auto found = std::lower_bound(pieces_.begin(), pieces_.end(), probe,
                                          [&](const Piece& a, const Piece& b) { return key(a) < key(b); });
            if (found == pieces_.end() || key(*found) != key(probe) ||
                found->sequence != SequenceOf(entry.reference))
                return MftResult::Failed;
            const bool own = number == base.record;
            if (own ? found->baseReference != 0 : found->baseReference != baseReference)
                return MftResult::Failed;
            if (entry.type == kFileName) {
                parents.push_back(found->value);
                spaces.push_back(found->nameSpace);
                lengths.push_back(found->nameLength);
                names.push_back(pieceNames_.data() + found->nameOffset);
            } else if (entry.type == kData) {
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

MftResult Collector::Finish(Collected& collected)
{
    const MftResult result = ResolvePending();
    if (result != MftResult::Done)
        return result;
    collected.folders = std::move(folders_);
    collected.names = std::move(folderNames_);
    collected.links = std::move(links_);
    collected.accessClasses = accessClasses_.size();
    return MftResult::Done;
}

}  // namespace mft

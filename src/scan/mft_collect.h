#pragma once

// The records stage of the master file table reader: what each record in
// use adds to what a listing shows (a folder, or every name of a file with
// its size), and the records of a file spread over several, put together
// once every record is read. A fact per file that a listing shows is taken
// here, from the record or from its pieces, and kept with each of its
// names (mft_folders.h).

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "scan/mft_folders.h"
#include "scan/mft_records.h"
#include "scan/mft_table.h"

namespace mft {

class Collector final : public RecordSink {
public:
    Collector(Table& table, const std::atomic<bool>& stop) : table_(table), stop_(stop) {}

    // Keeps what one record in use adds: a folder, a file's names, or, for
    // a record spread over several, its pieces until every record is read.
    // Reads what the record keeps outside itself through the table.
    bool Take(RecordInfo& info, const uint8_t* record) override;
    // Puts the spread records together and hands everything over.
    MftResult Finish(Collected& collected);

private:
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

    bool Stopped() const { return stop_.load(std::memory_order_relaxed); }
    uint32_t AccessClassOf(const RecordInfo& info, const uint8_t* record);
    bool AddListed(uint32_t record, uint16_t sequence, bool directory, const uint64_t* parents, const uint8_t* spaces,
                   const wchar_t* const* names, const uint8_t* nameLengths, size_t count, uint64_t size, bool linked,
                   uint32_t accessClass);
    bool AddFromRecord(const RecordInfo& info, const uint8_t* record);
    MftResult ResolvePending();

    Table& table_;
    const std::atomic<bool>& stop_;
    std::vector<FolderRecord> folders_;
    std::vector<wchar_t> folderNames_;
    BlockList<FileLink> links_;
    std::vector<Piece> pieces_;
    std::vector<wchar_t> pieceNames_;
    std::vector<PendingBase> pending_;
    std::vector<RecordInfo::ListEntry> listEntries_;

    // The distinct descriptors of folders seen, each its class's key: a
    // security id, or a descriptor of the record's own.
    std::unordered_map<std::string, uint32_t> accessClasses_;
    std::string accessKey_;
};

}  // namespace mft

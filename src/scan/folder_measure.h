#pragma once

#include <cstdint>

#include "scan/byte_sum.h"

// Everything a scan knows of one folder once it has assessed it, in exact
// figures. Bytes are the files' lengths, as a folder listing shows them;
// "on disk" is the space they occupy: their allocation as the file system
// reports it, nothing for data kept inside the volume's file table or for a
// cloud file whose data is not here, and a file with several names counted
// once, in the first folder that lists it in row order.
struct FolderMeasure {
    int64_t branchBytes = 0;  // the folder and everything below it
    int64_t nodeBytes = 0;    // the files directly inside it
    int64_t branchOnDisk = 0;
    int64_t nodeOnDisk = 0;
    int64_t branchFiles = 0;
    int64_t nodeFiles = 0;
    int32_t level = 0;  // the start folder is 1

    bool operator==(const FolderMeasure&) const = default;
};

// One folder that passed the scan filters, as the walk hands it on.
struct FolderRow {
    const wchar_t* folder;  // the whole UTF-16 path, as the file system spells it
    int32_t branchMb;       // in the measure the scan shows (MegabytesOf)
    int32_t nodeMb;
    FolderMeasure measure;  // both measures, exactly
};

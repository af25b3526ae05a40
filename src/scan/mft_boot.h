#pragma once

// The boot sector of an NTFS volume: the sizes the master file table
// reader needs, checked against what Windows formats.

#include <cstdint>

#include "scan/mft_volume.h"

namespace mft {

struct Boot {
    uint32_t clusterSize = 0;
    uint64_t clusterCount = 0;
    uint64_t mftCluster = 0;  // where the table's first extent begins
    uint32_t recordSize = 0;
};

// Reads the first 4096 bytes of `volume`; false unless they are the boot
// sector of an NTFS volume this reader reads.
bool ReadBoot(VolumeReader& volume, Boot& boot);

}  // namespace mft

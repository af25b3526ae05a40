#include "scan/mft_boot.h"

#include <cstring>

#include "scan/mft_records.h"

namespace mft {

namespace {

bool IsPowerOfTwo(uint64_t value) { return value != 0 && (value & (value - 1)) == 0; }

}  // namespace

bool ReadBoot(VolumeReader& volume, Boot& boot)
{
    uint8_t b[4096];
    if (!volume.Read(0, b, sizeof b))
        return false;
    if (std::memcmp(b + 3, "NTFS    ", 8) != 0 || b[510] != 0x55 || b[511] != 0xAA)
        return false;
    const uint32_t sectorSize = Get16(b + 0x0B);
    if (!IsPowerOfTwo(sectorSize) || sectorSize < 512 || sectorSize > 4096)
        return false;
    const uint8_t perCluster = b[0x0D];
    uint64_t clusterSize;
    if (perCluster <= 0x80)
        clusterSize = uint64_t{perCluster} * sectorSize;
    else if (256 - perCluster <= 21)
        clusterSize = uint64_t{1} << (256 - perCluster);
    else
        return false;
    // Windows formats clusters of up to 2 MiB.
    if (!IsPowerOfTwo(clusterSize) || clusterSize < sectorSize || clusterSize > (uint64_t{1} << 21))
        return false;
    const uint64_t sectors = Get64(b + 0x28);
    if (sectors == 0 || sectors > (uint64_t{1} << 52) / sectorSize)
        return false;
    boot.clusterSize = static_cast<uint32_t>(clusterSize);
    boot.clusterCount = sectors * sectorSize / clusterSize;
    boot.mftCluster = Get64(b + 0x30);
    const int8_t recordSize = static_cast<int8_t>(b[0x40]);
    uint64_t bytes;
    if (recordSize > 0)
        bytes = uint64_t(recordSize) * clusterSize;
    else if (recordSize >= -12)
        bytes = uint64_t{1} << -recordSize;
    else
        return false;
    if (!IsPowerOfTwo(bytes) || bytes < 512 || bytes > 4096 || boot.mftCluster >= boot.clusterCount)
        return false;
    boot.recordSize = static_cast<uint32_t>(bytes);
    return true;
}

}  // namespace mft

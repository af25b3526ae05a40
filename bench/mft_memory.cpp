// How much memory and time the master file table reader takes for a big
// volume: a volume of generated records (300,000 folders and 2,000,000
// files by default, every tenth file with a second name in another
// folder) is served from memory as it is read, so only the reader's own
// memory counts; its files are tallied as a scan tallies them. Run it in
// both builds (the i686 one is what users run):
//   dw_mft_memory [folders] [files] [disk]
// ("disk": the largest files by their space on disk, not by their sizes)
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <new>

#include "scan/mft_volume.h"

// Every allocation is counted, so the peak is the reader's own heap use,
// whatever the platform reports.
static std::atomic<size_t> heapNow{0}, heapPeak{0};

void* operator new(size_t size)
{
    void* p = std::malloc(size + 16);
    if (p == nullptr)
        throw std::bad_alloc();
    *static_cast<size_t*>(p) = size;
    const size_t now = heapNow += size;
    size_t peak = heapPeak.load();
    while (now > peak && !heapPeak.compare_exchange_weak(peak, now)) {
    }
    return static_cast<char*>(p) + 16;
}
void operator delete(void* p) noexcept
{
    if (p == nullptr)
        return;
    void* block = static_cast<char*>(p) - 16;
    heapNow -= *static_cast<size_t*>(block);
    std::free(block);
}
void* operator new[](size_t size) { return operator new(size); }
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete(void* p, size_t) noexcept { operator delete(p); }
void operator delete[](void* p, size_t) noexcept { operator delete(p); }

namespace {

constexpr uint64_t kCluster = 4096;
constexpr uint64_t kRecord = 1024;
constexpr uint64_t kMftCluster = 64;
constexpr uint32_t kRoot = 5;
constexpr uint32_t kFirst = 24;

void Put16(uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v)
{
    Put16(p, static_cast<uint16_t>(v));
    Put16(p + 2, static_cast<uint16_t>(v >> 16));
}
void Put64(uint8_t* p, uint64_t v)
{
    Put32(p, static_cast<uint32_t>(v));
    Put32(p + 4, static_cast<uint32_t>(v >> 32));
}

class GeneratedVolume : public VolumeReader {
public:
    GeneratedVolume(uint32_t folders, uint32_t files) : folders_(folders), files_(files)
    {
        records_ = kFirst + uint64_t{folders} + files;
        mftClusters_ = (records_ * kRecord + kCluster - 1) / kCluster;
        upCaseCluster_ = kMftCluster + mftClusters_;
        clusters_ = upCaseCluster_ + 32 + 16;
    }

    bool Read(uint64_t offset, void* buffer, size_t length) override
    {
        uint8_t* out = static_cast<uint8_t*>(buffer);
        std::memset(out, 0, length);
        if (offset == 0)
            Boot(out);
        const uint64_t mftStart = kMftCluster * kCluster, mftEnd = mftStart + records_ * kRecord;
        for (uint64_t at = offset / kRecord * kRecord; at < offset + length; at += kRecord) {
            if (at >= mftStart && at < mftEnd && at >= offset)
                Record(static_cast<uint32_t>((at - mftStart) / kRecord), out + (at - offset));
        }
        const uint64_t upStart = upCaseCluster_ * kCluster;
        for (uint64_t at = std::max(offset, upStart); at < offset + length && at < upStart + 131072; at += 2) {
            const uint32_t c = static_cast<uint32_t>((at - upStart) / 2);
            Put16(out + (at - offset), static_cast<uint16_t>(c >= 'a' && c <= 'z' ? c - 32 : c));
        }
        return true;
    }

private:
    void Boot(uint8_t* b) const
    {
        std::memcpy(b + 3, "NTFS    ", 8);
        Put16(b + 0x0B, 512);
        b[0x0D] = 8;
        Put64(b + 0x28, clusters_ * 8);
        Put64(b + 0x30, kMftCluster);
        b[0x40] = 0xF6;
        b[0x1FE] = 0x55;
        b[0x1FF] = 0xAA;
    }

    static size_t FileName(uint8_t* a, uint16_t id, uint64_t parent, const wchar_t* name)
    {
        const size_t length = std::wcslen(name);
        const size_t valueLength = 0x42 + 2 * length, total = (0x18 + valueLength + 7) / 8 * 8;
        Put32(a, 0x30);
        Put32(a + 4, static_cast<uint32_t>(total));
        Put16(a + 0x0E, id);
        Put32(a + 0x10, static_cast<uint32_t>(valueLength));
        Put16(a + 0x14, 0x18);
        uint8_t* v = a + 0x18;
        Put64(v, parent | uint64_t{1} << 48);
        v[0x40] = static_cast<uint8_t>(length);
        v[0x41] = 1;
        for (size_t i = 0; i < length; ++i)
            Put16(v + 0x42 + 2 * i, static_cast<uint16_t>(name[i]));
        return total;
    }

    // A non-resident unnamed $DATA of `clusters` clusters at `lcn` (0:
    // sparse) and `size` bytes.
    static size_t Data(uint8_t* a, uint16_t id, uint64_t lcn, uint64_t clusters, uint64_t size)
    {
        Put32(a, 0x80);
        Put32(a + 4, 0x50);
        a[8] = 1;
        Put16(a + 0x0E, id);
        Put64(a + 0x18, clusters - 1);
        Put16(a + 0x20, 0x40);
        Put64(a + 0x28, clusters * kCluster);
        Put64(a + 0x30, size);
        Put64(a + 0x38, size);
        uint8_t* r = a + 0x40;
        r[0] = static_cast<uint8_t>(lcn ? 0x44 : 0x04);
        Put32(r + 1, static_cast<uint32_t>(clusters));
        if (lcn)
            Put32(r + 5, static_cast<uint32_t>(lcn));
        return 0x50;
    }

    void Record(uint32_t n, uint8_t* r) const
    {
        wchar_t name[32];
        bool directory = false;
        size_t at = 0x38;
        uint16_t id = 0;
        if (n == 0) {
            at += FileName(r + at, id++, kRoot, L"$MFT");
            at += Data(r + at, id++, kMftCluster, mftClusters_, records_ * kRecord);
        } else if (n == kRoot) {
            directory = true;
            at += FileName(r + at, id++, kRoot, L".");
        } else if (n == 10) {
            at += FileName(r + at, id++, kRoot, L"$UpCase");
            at += Data(r + at, id++, upCaseCluster_, 32, 131072);
        } else if (n >= kFirst && n < kFirst + folders_) {
            directory = true;
            const uint32_t k = n - kFirst;
            const uint32_t parent = k < 50 ? kRoot : kFirst + (k - 50) / 8;
            std::swprintf(name, 32, L"folder%06u", k);
            at += FileName(r + at, id++, parent, name);
        } else if (n >= kFirst + folders_) {
            const uint32_t j = n - kFirst - folders_;
            std::swprintf(name, 32, L"file%07u.dat", j);
            at += FileName(r + at, id++, kFirst + j % folders_, name);
            if (j % 10 == 0) {
                std::swprintf(name, 32, L"link%07u.dat", j);
                at += FileName(r + at, id++, kFirst + (j / 10) % folders_, name);
            }
            const uint64_t size = (uint64_t{j} * 7919) % 100000 + 1;
            at += Data(r + at, id++, 0, (size + kCluster - 1) / kCluster, size);
        } else {
            return;  // not in use
        }
        std::memcpy(r, "FILE", 4);
        Put16(r + 0x04, 0x30);
        Put16(r + 0x06, 3);
        Put16(r + 0x10, 1);
        Put16(r + 0x14, 0x38);
        Put16(r + 0x16, static_cast<uint16_t>(directory ? 3 : 1));
        Put32(r + at, 0xFFFFFFFF);
        Put32(r + 0x18, static_cast<uint32_t>(at + 8));
        Put32(r + 0x1C, kRecord);
        Put32(r + 0x2C, n);
        // Update sequence 1 at the end of both sectors, the bytes saved.
        Put16(r + 0x30, 1);
        for (int i = 1; i <= 2; ++i) {
            std::memcpy(r + 0x30 + 2 * i, r + 512 * i - 2, 2);
            Put16(r + 512 * i - 2, 1);
        }
    }

    uint32_t folders_, files_;
    uint64_t records_, mftClusters_, upCaseCluster_, clusters_;
};

// The tallies as a scan asks for them, only counted: the reader's own
// memory for them is what counts here.
class CountedTallies final : public FileTallySink {
public:
    size_t LargestKept() const override { return 1000; }
    bool LargestOnDisk() const override { return onDisk; }
    bool onDisk = false;
    void AddType(const wchar_t*, size_t, int64_t, int64_t, int64_t) override { ++types; }
    void AddFile(const MftTree&, uint32_t, const wchar_t*, size_t, int64_t, int64_t) override { ++offered; }
    size_t types = 0, offered = 0;
};

double Seconds()
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace

int main(int argc, char** argv)
{
    const uint32_t folders = argc > 1 ? static_cast<uint32_t>(std::strtoul(argv[1], nullptr, 10)) : 300000;
    const uint32_t files = argc > 2 ? static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10)) : 2000000;
    if (folders == 0) {
        std::printf("usage: dw_mft_memory [folders (at least 1)] [files] [disk]\n");
        return 2;
    }
    GeneratedVolume volume(folders, files);
    std::atomic<bool> stop{false};
    MftTree tree;
    CountedTallies tallies;
    tallies.onDisk = argc > 3 && std::strcmp(argv[3], "disk") == 0;
    const size_t before = heapNow.load();
    heapPeak = before;
    const double start = Seconds();
    const MftResult result = ReadMftTree(volume, L"", 0, stop, tree, nullptr, &tallies);
    const double took = Seconds() - start;
    int64_t bytes = 0;
    int64_t fileNames = 0;
    for (const MftFolder& f : tree.folders) {
        bytes += f.ownBytes;
        fileNames += f.fileCount;
    }
    const double mb = 1048576.0;
    std::printf("%u-bit build: %u folders, %u files (+%u second names)\n", static_cast<unsigned>(sizeof(void*) * 8),
                folders, files, (files + 9) / 10);
    std::printf("result %d: %zu folders below the root, %lld file names, %lld bytes\n", static_cast<int>(result),
                tree.FolderCount(), static_cast<long long>(fileNames), static_cast<long long>(bytes));
    std::printf("tallies: %zu types, %zu files offered for the 1,000 largest by %s\n", tallies.types,
                tallies.offered, tallies.onDisk ? "space on disk" : "size");
    std::printf("heap: peak %.1f MB while reading, %.1f MB kept in the tree (%.1f B a folder)\n",
                (heapPeak - before) / mb, (heapNow - before) / mb,
                static_cast<double>(heapNow - before) / (tree.folders.size() ? tree.folders.size() : 1));
    std::printf("%.2f s (not a benchmark: the records are generated as they are read)\n", took);
    return result == MftResult::Done ? 0 : 1;
}

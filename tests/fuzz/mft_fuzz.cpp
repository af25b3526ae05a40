// The master file table reader fed volumes made of fuzzed bytes, built
// natively with libFuzzer and the address and undefined-behaviour
// sanitizers (scripts/fuzz.sh). The input is the start of a volume; the
// rest of it, as long as its boot sector says and at most 8 MiB, reads as
// zeros. Each volume is read from its root, with questions about folder
// access answered from the path, and again from the first folder found.

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "scan/mft_volume.h"

namespace {

constexpr uint64_t kLargestVolume = uint64_t{8} << 20;

class InputVolume final : public VolumeReader {
public:
    InputVolume(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool Read(uint64_t offset, void* buffer, size_t length) override
    {
        if (offset > kLargestVolume || length > kLargestVolume - offset)
            return false;
        const size_t held = offset < size_ ? static_cast<size_t>(std::min<uint64_t>(length, size_ - offset)) : 0;
        if (held != 0)
            std::memcpy(buffer, data_ + offset, held);
        std::memset(static_cast<uint8_t*>(buffer) + held, 0, length - held);
        return true;
    }

private:
    const uint8_t* data_;
    size_t size_;
};

// Answers from the path's length and its last unit, so that every answer
// comes up; reads the whole path as a listing would.
class PathAccess final : public FolderAccess {
public:
    Answer Probe(const wchar_t* path, size_t length) override
    {
        uint32_t sum = 0;
        for (size_t i = 0; i < length; ++i)
            sum += static_cast<uint32_t>(path[i]);
        return (sum + length) % 7 == 3 ? Refused : (sum % 11 == 5 ? Unknown : Listed);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    InputVolume volume(data, size);
    std::atomic<bool> stop{false};
    MftTree tree;
    if (ReadMftTree(volume, L"", 0, stop, tree) != MftResult::Done || tree.folders.size() < 2)
        return 0;
    const MftFolder& first = tree.folders[tree.folders[0].firstChild];
    const std::wstring start(tree.names.data() + first.nameOffset, first.nameLength);
    PathAccess access;
    MftTree below;
    ReadMftTree(volume, start.c_str(), start.size(), stop, below, &access);
    return 0;
}

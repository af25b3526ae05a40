// Writes the seed volumes of the fuzz target (scripts/fuzz.sh) into the
// folder it is given: volumes of the unit tests' builder, each cut after
// its last byte that is not zero (the fuzz target reads the rest as
// zeros).

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ntfs_builder.h"

namespace {

void Write(const std::string& folder, const char* name, std::vector<uint8_t> image)
{
    while (!image.empty() && image.back() == 0)
        image.pop_back();
    const std::string path = folder + "/" + name;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || std::fwrite(image.data(), 1, image.size(), file) != image.size() || std::fclose(file) != 0) {
        std::perror(path.c_str());
        std::exit(1);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    const uint32_t root = NtfsBuilder::kRoot;
    {
        NtfsBuilder b;
        b.AddFile(root, L"a.txt", 100);
        const uint32_t docs = b.AddFolder(root, L"Docs");
        const uint32_t x = b.AddFile(docs, L"x.bin", 1000);
        b.AddName(x, docs, L"X~1.BIN", 2);
        b.AddName(x, root, L"x-link.bin", 1);
        b.AddStream(b.AddFile(docs, L"y.txt", 50), L"extra", 5000);
        b.AddFile(docs, L"big.iso", uint64_t{5} << 30);
        const uint32_t link = b.AddFolder(root, L"Link");
        b.SetReparseTag(link, 0xA0000003);
        b.AddFile(link, L"inside", 70);
        b.SetReparseTag(b.AddFolder(root, L"Cloud"), 0x9000001A);
        b.Spread(b.AddFile(docs, L"spread.txt", 33));
        b.Spread(b.AddFolder(docs, L"spread-folder"));
        b.AddFileWithParentSequence(docs, 0x77, L"stale.txt", 9);
        b.AddFolder(b.AddFolder(b.AddFolder(root, L"a"), L"b"), L"c");
        Write(folder, "sample", b.Build());
    }
    {
        NtfsBuilder b;
        const std::vector<uint8_t> readable(24, 1), denying(24, 2);
        const uint32_t open = b.AddFolder(root, L"open");
        b.SetSecurityId(open, 0x100);
        b.SetSecurityId(b.AddFolder(open, L"shut"), 0x101);
        b.SetDescriptor(b.AddFolder(root, L"own-a"), readable);
        b.SetDescriptor(b.AddFolder(root, L"own-b"), denying);
        Write(folder, "access", b.Build());
    }
    {
        NtfsBuilder b;
        std::vector<uint8_t> data(64, 0);
        data[0] = 0x03;
        data[3] = 0xA0;
        const uint32_t link = b.AddFolder(root, L"outside");
        b.SetOutsideReparse(link, b.AddBlob(data), data.size());
        b.AddFileWithNames(b.AddFolder(root, L"names"), L"n", 40, 10);
        Write(folder, "outside", b.Build());
    }
    {
        NtfsBuilder b;
        b.UseNtfs30Records();
        b.AddFile(b.AddFolder(root, L"old"), L"f", 10);
        Write(folder, "ntfs30", b.Build());
    }
    {
        NtfsBuilder b;
        b.SpreadTable(3, 2);
        b.AddFile(root, L"f", 10);
        Write(folder, "spread-table", b.Build());
    }
    return 0;
}

// The version details and the manifest inside the built Dunewright.exe,
// read as Explorer reads them, and the flags of its PE file header.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "base/product_text.h"
#include "base/version.h"
#include "driver.h"

namespace {

std::vector<char> VersionBlock()
{
    const std::string exe = dw::ExePath();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(exe.c_str(), &ignored);
    std::vector<char> block(size);
    if (size == 0 || !GetFileVersionInfoA(exe.c_str(), 0, size, block.data()))
        block.clear();
    return block;
}

std::string StringValue(std::vector<char>& block, const char* name)
{
    char* text = nullptr;
    UINT length = 0;
    const std::string path = std::string("\\StringFileInfo\\040904B0\\") + name;
    if (!VerQueryValueA(block.data(), path.c_str(), reinterpret_cast<void**>(&text), &length) || text == nullptr)
        return "<missing>";
    return text;
}

TEST(VersionInfo, TheExeCarriesTheProgramsVersionAndMaker)
{
    std::vector<char> block = VersionBlock();
    ASSERT_FALSE(block.empty()) << "no VERSIONINFO in " << dw::ExePath();

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    const DWORD high = MAKELONG(DW_VERSION_MINOR, DW_VERSION_MAJOR);
    const DWORD low = MAKELONG(DW_VERSION_BUILD, DW_VERSION_PATCH);
    EXPECT_EQ(fixed->dwFileVersionMS, high);
    EXPECT_EQ(fixed->dwFileVersionLS, low);
    EXPECT_EQ(fixed->dwProductVersionMS, high);
    EXPECT_EQ(fixed->dwProductVersionLS, low);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    // AppVersion is "Dunewright v" followed by the version text.
    const std::string version = std::string(AppVersion).substr(std::string("Dunewright v").size());
    EXPECT_EQ(StringValue(block, "FileVersion"), version);
    EXPECT_EQ(StringValue(block, "ProductVersion"), version);
    EXPECT_EQ(StringValue(block, "ProductName"), "Dunewright");
    EXPECT_EQ(StringValue(block, "CompanyName"), "BrackenmoorWorks");
    EXPECT_EQ(StringValue(block, "LegalCopyright"), copyrightNotice);
    EXPECT_EQ(StringValue(block, "OriginalFilename"), "Dunewright.exe");
    EXPECT_NE(StringValue(block, "FileDescription"), "<missing>");
}

TEST(VersionInfo, TheManifestNamesThisVersionAndDeclaresDpiAwarenessOnly)
{
    HMODULE exe = LoadLibraryExA(dw::ExePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(exe, nullptr);
    HRSRC found = FindResourceA(exe, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_NE(found, nullptr);
    const char* bytes = static_cast<const char*>(LockResource(LoadResource(exe, found)));
    const std::string manifest(bytes, SizeofResource(exe, found));
    FreeLibrary(exe);

    const std::string version = std::string(AppVersion).substr(std::string("Dunewright v").size());
    EXPECT_NE(manifest.find("version=\"" + version + "\""), std::string::npos) << manifest;
    EXPECT_NE(manifest.find(std::string("<description>") + AppVersion + "</description>"), std::string::npos);
    EXPECT_NE(manifest.find("<dpiAware>true</dpiAware>"), std::string::npos);
    EXPECT_EQ(manifest.find("<dependency"), std::string::npos) << "the manifest declares no dependencies";
}

// The file header of the built exe, read from the file as Windows' loader
// reads it.
std::optional<IMAGE_FILE_HEADER> ExeFileHeader()
{
    const std::optional<std::string> bytes = dw::ReadFileBytes(dw::ExePath());
    IMAGE_DOS_HEADER dos;
    if (!bytes || bytes->size() < sizeof dos)
        return std::nullopt;
    std::memcpy(&dos, bytes->data(), sizeof dos);
    const size_t at = static_cast<size_t>(dos.e_lfanew);
    DWORD signature = 0;
    IMAGE_FILE_HEADER header;
    if (dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew < 0 || bytes->size() < at + sizeof signature + sizeof header)
        return std::nullopt;
    std::memcpy(&signature, bytes->data() + at, sizeof signature);
    if (signature != IMAGE_NT_SIGNATURE)
        return std::nullopt;
    std::memcpy(&header, bytes->data() + at + sizeof signature, sizeof header);
    return header;
}

// The tests of each build drive that build's own exe.
TEST(PeHeader, TheExeIsBuiltForTheMachineOfTheseTests)
{
    const std::optional<IMAGE_FILE_HEADER> header = ExeFileHeader();
    ASSERT_TRUE(header) << "no PE file header in " << dw::ExePath();
#if defined(_WIN64)
    EXPECT_EQ(header->Machine, IMAGE_FILE_MACHINE_AMD64);
#else
    EXPECT_EQ(header->Machine, IMAGE_FILE_MACHINE_I386);
#endif
}

// Under 64-bit Windows the 32-bit program gets 4 GB of address space only
// when its header says it can use addresses above 2 GB.
TEST(PeHeader, TheExeIsLargeAddressAware)
{
    const std::optional<IMAGE_FILE_HEADER> header = ExeFileHeader();
    ASSERT_TRUE(header) << "no PE file header in " << dw::ExePath();
    EXPECT_TRUE(header->Characteristics & IMAGE_FILE_LARGE_ADDRESS_AWARE)
        << "Characteristics 0x" << std::hex << header->Characteristics;
}

}  // namespace

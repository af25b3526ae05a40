#pragma once

#include <cstddef>
#include <cstdint>

// Guards the donation address against an edited binary: its digest is fixed
// when the program is built, and the bytes actually present in the running
// program are digested again and compared.

// FNV-1a, 64 bits, over `count` bytes.
template <typename Bytes>
constexpr uint64_t Fnv1a64(Bytes bytes, size_t count)
{
    uint64_t hash = 0xcbf29ce484222325ull;
    for (size_t i = 0; i < count; ++i) {
        hash ^= static_cast<unsigned char>(bytes[i]);
        hash *= 0x100000001b3ull;
    }
    return hash;
}

// True when `count` bytes at `bytes` digest to `digest`. The bytes are read
// one by one from memory, never from what the compiler knows of them.
bool BytesMatchDigest(const volatile char* bytes, size_t count, uint64_t digest);

// True when donationAddress, terminator included, is as it was built.
bool DonationAddressIntact();

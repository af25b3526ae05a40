#include "web/donation_check.h"

#include "base/product_text.h"

namespace {

// Taken from the source text at build time; never from the running image.
constexpr uint64_t kDonationAddressDigest = Fnv1a64(donationAddress, sizeof donationAddress);

}  // namespace

bool BytesMatchDigest(const volatile char* bytes, size_t count, uint64_t digest)
{
    return Fnv1a64(bytes, count) == digest;
}

bool DonationAddressIntact()
{
    return BytesMatchDigest(donationAddress, sizeof donationAddress, kDonationAddressDigest);
}

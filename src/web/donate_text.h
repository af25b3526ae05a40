#pragma once

#include <cstddef>

// Texts of the Donate dialog's address check. Each fills `text` (`size`
// characters, 4096 is plenty) and returns false if it had to cut it short.

// The address was found intact: names the full address and the version.
bool FormatDonationCheckedText(char* text, size_t size);

// The address was found altered.
bool FormatDonationAlteredText(char* text, size_t size);

#pragma once

// Shortening a path to a width, as the status display's path line shows
// it: the start of the path, "...", and the last name whole, at any length.

#include <cstddef>
#include <string>
#include <string_view>

// How wide texts are drawn.
class TextMeasure {
public:
    virtual ~TextMeasure() = default;
    virtual int Width(std::wstring_view text) const = 0;
    // How many leading units of `text` fit within `width`.
    virtual size_t Fitting(std::wstring_view text, int width) const = 0;
};

// `path` unchanged when it fits `width`. Otherwise as much of its start as
// fits, then "...", then its last name with the backslash before it (and
// the one after it, for a folder's path that ends in one). When even "..."
// and that name do not fit, the start of the name and "...". A surrogate
// pair is never cut.
std::wstring CompactPath(std::wstring_view path, int width, const TextMeasure& measure);

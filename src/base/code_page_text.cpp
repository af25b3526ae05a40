#include "base/code_page_text.h"

#include <windows.h>

#include <climits>
#include <cstring>

namespace {

// The flags that refuse best fit. UTF-8 as the system code page (a choice
// Windows offers) holds every character and refuses these flags.
DWORD NoBestFit()
{
    return GetACP() == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
}

int Converted(std::wstring_view text, char* out, int size)
{
    if (text.empty() || text.size() > INT_MAX)
        return 0;
    const DWORD flags = NoBestFit();
    // The default character may not be named for UTF-8.
    const char* fallback = flags != 0 ? "?" : nullptr;
    return WideCharToMultiByte(CP_ACP, flags, text.data(), static_cast<int>(text.size()), out, size, fallback,
                               nullptr);
}

}  // namespace

std::string ToCodePage(std::wstring_view text)
{
    const int length = Converted(text, nullptr, 0);
    if (length <= 0)
        return std::string();
    std::string out(static_cast<size_t>(length), '\0');
    Converted(text, out.data(), length);
    return out;
}

size_t ToCodePage(std::wstring_view text, char* out, size_t size)
{
    if (size == 0)
        return 0;
    const std::string whole = ToCodePage(text);
    size_t length = whole.size();
    if (length > size - 1) {
        // Cut at a character's start: convert fewer UTF-16 units until it fits.
        size_t units = text.size();
        std::string part;
        do {
            units = units * (size - 1) / length;
            if (units > 0 && IS_HIGH_SURROGATE(text[units - 1]))
                --units;
            part = ToCodePage(text.substr(0, units));
            length = part.size();
        } while (length > size - 1 && units > 0);
        std::memcpy(out, part.data(), length);
    } else {
        std::memcpy(out, whole.data(), length);
    }
    out[length] = '\0';
    return length;
}

std::wstring FromCodePage(std::string_view text)
{
    if (text.empty() || text.size() > INT_MAX)
        return std::wstring();
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0)
        return std::wstring();
    std::wstring out(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), length);
    return out;
}

size_t LastBackslash(std::string_view text, unsigned codePage)
{
    size_t last = std::string_view::npos;
    size_t at = 0;
    while (at < text.size()) {
        const BYTE byte = static_cast<BYTE>(text[at]);
        if (byte == '\\')
            last = at;
        at += IsDBCSLeadByteEx(codePage, byte) && at + 1 < text.size() ? 2 : 1;
    }
    return last;
}

bool EndsInBackslash(std::string_view text, unsigned codePage)
{
    return !text.empty() && LastBackslash(text, codePage) == text.size() - 1;
}

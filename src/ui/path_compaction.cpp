#include "ui/path_compaction.h"

namespace {

constexpr std::wstring_view kEllipsis = L"...";

bool IsHighSurrogate(wchar_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}

// The leading units of `text` that fit, not ending inside a surrogate pair.
size_t FittingWhole(std::wstring_view text, int width, const TextMeasure& measure)
{
    if (width <= 0)
        return 0;
    size_t count = measure.Fitting(text, width);
    if (count > text.size())
        count = text.size();
    if (count > 0 && count < text.size() && IsHighSurrogate(text[count - 1]))
        --count;
    return count;
}

// Where the last name starts, with the backslash before it: in "C:\a\b\"
// that is "\b\", in "C:\a\b" it is "\b".
size_t LastNameStart(std::wstring_view path)
{
    size_t end = path.size();
    if (end > 0 && path[end - 1] == L'\\')
        --end;
    const size_t slash = path.rfind(L'\\', end == 0 ? 0 : end - 1);
    return slash == std::wstring_view::npos || end == 0 ? 0 : slash;
}

}  // namespace

std::wstring CompactPath(std::wstring_view path, int width, const TextMeasure& measure)
{
    if (measure.Fitting(path, width) >= path.size())
        return std::wstring(path);

    const size_t nameStart = LastNameStart(path);
    const std::wstring_view name = path.substr(nameStart);
    const int tail = measure.Width(kEllipsis) + measure.Width(name);
    if (nameStart > 0 && tail <= width) {
        const std::wstring_view head = path.substr(0, nameStart);
        const size_t kept = FittingWhole(head, width - tail, measure);
        return std::wstring(head.substr(0, kept)) + std::wstring(kEllipsis) + std::wstring(name);
    }

    // The name alone is too wide: its start and the ellipsis, or as much of
    // the ellipsis as fits.
    const int ellipsis = measure.Width(kEllipsis);
    if (ellipsis > width)
        return std::wstring(kEllipsis.substr(0, FittingWhole(kEllipsis, width, measure)));
    const size_t kept = FittingWhole(name, width - ellipsis, measure);
    return std::wstring(name.substr(0, kept)) + std::wstring(kEllipsis);
}

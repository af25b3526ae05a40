#include "ui/dpi_scale.h"

#include <windows.h>

namespace {

constexpr long long kBaseDpi = 96;

int ReadScreenDpi()
{
    HDC screen = GetDC(nullptr);
    if (screen == nullptr)
        return static_cast<int>(kBaseDpi);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : static_cast<int>(kBaseDpi);
}

}  // namespace

int ScaleForDpi(int pixels, int dpi)
{
    if (dpi <= 0)
        return pixels;
    const long long product = static_cast<long long>(pixels) * dpi;
    const long long magnitude = (product < 0 ? -product : product) + kBaseDpi / 2;
    const long long scaled = magnitude / kBaseDpi;
    return static_cast<int>(product < 0 ? -scaled : scaled);
}

int ScreenDpi()
{
    // The system DPI cannot change while a DPI-aware process runs.
    static const int dpi = ReadScreenDpi();
    return dpi;
}

int ScaleForScreen(int pixels)
{
    return ScaleForDpi(pixels, ScreenDpi());
}

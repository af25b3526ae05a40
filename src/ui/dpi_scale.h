#pragma once

// Pixel sizes in the code are given for a 96 DPI screen; these scale them
// to the screen the program runs on, so a layout at 144 or 192 DPI looks
// like the one at 96, only larger.

// `pixels` at 96 DPI taken to `dpi`, rounded to the nearest pixel as
// MulDiv(pixels, dpi, 96) rounds (halves away from zero). A dpi of 0 or
// less leaves the size as it is.
int ScaleForDpi(int pixels, int dpi);

// The screen's DPI (LOGPIXELSX of the screen), read once per process.
int ScreenDpi();

// ScaleForDpi with the screen's DPI.
int ScaleForScreen(int pixels);

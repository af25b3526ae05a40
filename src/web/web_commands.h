#pragma once

#include <windows.h>

// "Visit Dunewright Internet Site": asks, then opens the product page.
void VisitProductSite(HWND mainWindow);
// "Internet Update Check (HTML)": asks, then opens the update-check address.
void CheckForUpdates();

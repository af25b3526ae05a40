#include "ui/clipboard.h"

#include <cstring>

#include "ui/message_box.h"

void CopyTextToClipboard(HWND owner, const char* text)
{
    if (!OpenClipboard(nullptr)) {
        ShowMessage(owner, "ERROR: Could not open the Clipboard.", MB_ICONWARNING);
        return;
    }
    if (!EmptyClipboard()) {
        CloseClipboard();
        ShowMessage(owner, "ERROR: Could not empty the Clipboard.", MB_ICONWARNING);
        return;
    }
    const size_t length = std::strlen(text);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, length + 1);
    if (memory == nullptr) {
        CloseClipboard();
        ShowMessage(owner, "ERROR: Could not allocate memory.", MB_ICONWARNING);
        return;
    }
    if (void* data = GlobalLock(memory)) {
        std::memcpy(data, text, length + 1);
        GlobalUnlock(memory);
    }
    if (SetClipboardData(CF_TEXT, memory) != nullptr) {
        CloseClipboard();  // the memory now belongs to the clipboard
        return;
    }
    CloseClipboard();
    GlobalFree(memory);
    ShowMessage(owner, "ERROR: Unable to set Clipboard data.", MB_ICONWARNING);
}

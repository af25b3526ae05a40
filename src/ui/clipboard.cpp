#include "ui/clipboard.h"

#include <cstring>
#include <string>

#include "base/code_page_text.h"
#include "ui/message_box.h"

namespace {

// Movable, zero-filled memory holding `bytes` bytes of `data` and a zero
// of `terminator` bytes; null when it cannot be had.
HGLOBAL GlobalCopy(const void* data, size_t bytes, size_t terminator)
{
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes + terminator);
    if (memory == nullptr)
        return nullptr;
    if (void* locked = GlobalLock(memory)) {
        std::memcpy(locked, data, bytes);
        GlobalUnlock(memory);
    }
    return memory;
}

}  // namespace

void CopyTextToClipboard(HWND owner, std::wstring_view text)
{
    // Made before the clipboard is opened: nothing here may hold it long.
    const std::string narrow = ToCodePage(text);
    if (!OpenClipboard(nullptr)) {
        ShowMessage(owner, "ERROR: Could not open the Clipboard.", MB_ICONWARNING);
        return;
    }
    if (!EmptyClipboard()) {
        CloseClipboard();
        ShowMessage(owner, "ERROR: Could not empty the Clipboard.", MB_ICONWARNING);
        return;
    }
    HGLOBAL wide = GlobalCopy(text.data(), text.size() * sizeof(wchar_t), sizeof(wchar_t));
    HGLOBAL codePage = wide != nullptr ? GlobalCopy(narrow.data(), narrow.size(), 1) : nullptr;
    if (codePage == nullptr) {
        CloseClipboard();
        if (wide != nullptr)
            GlobalFree(wide);
        ShowMessage(owner, "ERROR: Could not allocate memory.", MB_ICONWARNING);
        return;
    }
    // Once handed over, a block belongs to the clipboard and is not freed.
    if (SetClipboardData(CF_UNICODETEXT, wide) == nullptr) {
        CloseClipboard();
        GlobalFree(wide);
        GlobalFree(codePage);
        ShowMessage(owner, "ERROR: Unable to set Clipboard data.", MB_ICONWARNING);
        return;
    }
    if (SetClipboardData(CF_TEXT, codePage) == nullptr) {
        CloseClipboard();
        GlobalFree(codePage);
        ShowMessage(owner, "ERROR: Unable to set Clipboard data.", MB_ICONWARNING);
        return;
    }
    CloseClipboard();
}

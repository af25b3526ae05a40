#include "ui/message_box.h"

#include "app/version.h"

int ShowMessage(HWND owner, const char* text, UINT style)
{
    return MessageBoxA(owner, text, AppVersion, style);
}

#include "ui/message_box.h"

#include "app/code_page_text.h"
#include "app/version.h"

int ShowMessage(HWND owner, const char* text, UINT style)
{
    return MessageBoxA(owner, text, AppVersion, style);
}

int ShowMessage(HWND owner, const std::wstring& text, UINT style)
{
    return MessageBoxW(owner, text.c_str(), FromCodePage(AppVersion).c_str(), style);
}

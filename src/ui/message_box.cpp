#include "ui/message_box.h"

#include "base/code_page_text.h"
#include "base/version.h"

int ShowMessage(HWND owner, const char* text, UINT style)
{
    return MessageBoxA(owner, text, AppVersion, style);
}

int ShowMessage(HWND owner, const std::wstring& text, UINT style)
{
    return MessageBoxW(owner, text.c_str(), FromCodePage(AppVersion).c_str(), style);
}

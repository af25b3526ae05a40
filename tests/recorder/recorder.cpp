// dw_recorder.exe: stands in for the browser in the tests. The tests make it
// the shell's handler of .htm files and of http and https addresses; it
// appends what it was asked to open, one line each in UTF-8, to the file
// named by the environment variable DW_RECORDER_LOG, and opens nothing. The
// target is taken whole from the UTF-16 command line, so a page in a folder
// named outside the code page is recorded as it is.
#include <windows.h>

#include <cwchar>

namespace {

// The command line after the program's own name, without the quotes that
// the handler's command puts around "%1".
const wchar_t* Target(wchar_t* commandLine)
{
    wchar_t* p = commandLine;
    if (*p == L'"') {
        p = std::wcschr(p + 1, L'"');
        p = p != nullptr ? p + 1 : commandLine + std::wcslen(commandLine);
    } else {
        while (*p != L'\0' && *p != L' ')
            ++p;
    }
    while (*p == L' ')
        ++p;
    const size_t length = std::wcslen(p);
    if (length >= 2 && p[0] == L'"' && p[length - 1] == L'"') {
        p[length - 1] = L'\0';
        ++p;
    }
    return p;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    static wchar_t logPath[32768];
    const DWORD length = GetEnvironmentVariableW(L"DW_RECORDER_LOG", logPath, 32768);
    if (length == 0 || length >= 32768)
        return 1;
    static char line[196608];
    const wchar_t* target = Target(GetCommandLineW());
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, target, -1, line, sizeof line - 1, nullptr, nullptr);
    if (bytes <= 0)
        return 1;
    // The converted terminator becomes the line's end.
    line[bytes - 1] = '\n';

    // One write per line, appended, so that concurrent recorders do not mix.
    HANDLE log = CreateFileW(logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    const BOOL ok = WriteFile(log, line, static_cast<DWORD>(bytes), &written, nullptr);
    CloseHandle(log);
    return ok ? 0 : 1;
}

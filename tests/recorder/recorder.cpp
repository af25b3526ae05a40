// dw_recorder.exe: stands in for the browser in the tests. The tests make it
// the shell's handler of .htm files and of http and https addresses; it
// appends what it was asked to open, one line each, to the file named by the
// environment variable DW_RECORDER_LOG, and opens nothing.
#include <windows.h>

#include <cstring>

namespace {

// The command line after the program's own name, without the quotes that
// the handler's command puts around "%1".
const char* Target(char* commandLine)
{
    char* p = commandLine;
    if (*p == '"') {
        p = std::strchr(p + 1, '"');
        p = p != nullptr ? p + 1 : commandLine + std::strlen(commandLine);
    } else {
        while (*p != '\0' && *p != ' ')
            ++p;
    }
    while (*p == ' ')
        ++p;
    const size_t length = std::strlen(p);
    if (length >= 2 && p[0] == '"' && p[length - 1] == '"') {
        p[length - 1] = '\0';
        ++p;
    }
    return p;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char logPath[MAX_PATH];
    const DWORD length = GetEnvironmentVariableA("DW_RECORDER_LOG", logPath, sizeof logPath);
    if (length == 0 || length >= sizeof logPath)
        return 1;
    static char line[65536];
    const char* target = Target(GetCommandLineA());
    const size_t targetLength = std::strlen(target);
    if (targetLength + 2 > sizeof line)
        return 1;
    std::memcpy(line, target, targetLength);
    line[targetLength] = '\n';

    // One write per line, appended, so that concurrent recorders do not mix.
    HANDLE log = CreateFileA(logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    const BOOL ok = WriteFile(log, line, static_cast<DWORD>(targetLength + 1), &written, nullptr);
    CloseHandle(log);
    return ok ? 0 : 1;
}

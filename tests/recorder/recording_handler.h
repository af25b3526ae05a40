#pragma once

// Lets a test see what the program hands to the shell without starting a
// browser: dw_recorder.exe becomes the handler of .htm files and of http and
// https addresses, and writes each target to a log file the test names.
//
// Under Wine 8 the shell looks up associations in HKEY_CLASSES_ROOT, which
// is HKLM\Software\Classes only: keys under HKCU\Software\Classes are not
// merged in, so a handler registered there is never used (ShellExecuteA of
// an .htm file then fails with SE_ERR_NOASSOC, and http still goes to
// winebrowser). The handler is therefore registered in HKEY_CLASSES_ROOT of
// the test run's private prefix. It is left in place: every test registers
// the same commands, tests may run side by side, and the prefix is thrown
// away after the run; meanwhile no test can start a real browser.

#include <windows.h>

#include <string>
#include <vector>

namespace dwtest {

// Windows path of dw_recorder.exe (built next to the tests).
inline std::string RecorderPath()
{
    std::string path = "Z:" DW_RECORDER_UNIX_PATH;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

inline bool SetDefaultValue(const char* keyName, const std::string& value)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, keyName, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    const LONG result = RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                       static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

// Makes the recorder the handler of .htm files and http/https addresses.
inline bool RegisterRecordingHandler()
{
    const std::string command = "\"" + RecorderPath() + "\" \"%1\"";
    return SetDefaultValue(".htm", "Dunewright.TestRecorder") &&
           SetDefaultValue("Dunewright.TestRecorder\\shell\\open\\command", command) &&
           SetDefaultValue("http\\shell\\open\\command", command) &&
           SetDefaultValue("https\\shell\\open\\command", command);
}

// Names the log for this process and every process it starts.
inline void SetRecorderLog(const std::string& logPath)
{
    SetEnvironmentVariableA("DW_RECORDER_LOG", logPath.c_str());
}

// The targets recorded so far, in order.
inline std::vector<std::string> RecordedTargets(const std::string& logPath)
{
    std::vector<std::string> lines;
    HANDLE file = CreateFileA(logPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return lines;
    std::string bytes;
    char chunk[4096];
    DWORD read = 0;
    while (ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read > 0)
        bytes.append(chunk, read);
    CloseHandle(file);
    size_t start = 0;
    for (size_t end; (end = bytes.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(bytes.substr(start, end - start));
    return lines;
}

// Waits up to `ms` for at least `count` targets and returns what is there.
inline std::vector<std::string> WaitRecordedTargets(const std::string& logPath, size_t count, int ms = 10000)
{
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(ms);
    for (;;) {
        std::vector<std::string> lines = RecordedTargets(logPath);
        if (lines.size() >= count || GetTickCount64() >= end)
            return lines;
        Sleep(20);
    }
}

}  // namespace dwtest

#include "report/report_file.h"

#include <windows.h>
#include <shlwapi.h>

#include <cstring>

namespace {

// True when `path` names nothing yet, or a file that may be written over.
// Opening it does not change it.
bool WritableOrAbsent(const char* path)
{
    HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return true;
    }
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND;
}

}  // namespace

ReportFile::~ReportFile()
{
    Discard();
}

bool ReportFile::Open(const char* path)
{
    Discard();
    const size_t length = std::strlen(path);
    if (length >= sizeof target_ || !WritableOrAbsent(path))
        return false;
    std::memcpy(target_, path, length + 1);

    char folder[sizeof target_];
    std::memcpy(folder, path, length + 1);
    PathRemoveFileSpecA(folder);
    if (folder[0] == '\0')
        std::strcpy(folder, ".");
    // Makes a new, empty file with a name no other file in the folder has.
    if (GetTempFileNameA(folder, "dwr", 0, temporary_) == 0) {
        temporary_[0] = '\0';
        return false;
    }
    file_ = std::fopen(temporary_, "w+");
    if (file_ == nullptr) {
        DeleteFileA(temporary_);
        temporary_[0] = '\0';
        return false;
    }
    return true;
}

bool ReportFile::Put(const char* text)
{
    return file_ != nullptr && std::fputs(text, file_) >= 0;
}

bool ReportFile::Close()
{
    if (file_ == nullptr)
        return false;
    const bool written = std::fflush(file_) == 0 && std::ferror(file_) == 0;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (temporary_[0] == '\0')
        return written && closed;
    const bool placed = written && closed && MoveFileExA(temporary_, target_, MOVEFILE_REPLACE_EXISTING);
    if (!placed)
        DeleteFileA(temporary_);
    temporary_[0] = '\0';
    return placed;
}

void ReportFile::Discard()
{
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (temporary_[0] != '\0') {
        DeleteFileA(temporary_);
        temporary_[0] = '\0';
    }
}

#include "report/report_file.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdint>
#include <cwchar>

#include "base/code_page_text.h"
#include "base/wide_path.h"

namespace {

// True when `path` names nothing yet, or a file that may be written over.
// Opening it does not change it.
bool WritableOrAbsent(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return true;
    }
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND;
}

// Makes a new, empty file named "dwrNNNN.tmp" that no other file in
// `folder` has, and opens it for writing in text or binary mode. Null when
// none could be made; `name` then is empty.
FILE* MakeTemporaryFile(const std::wstring& folder, std::wstring& name, bool binary)
{
    const DWORD seed = GetTickCount() ^ (GetCurrentProcessId() << 16);
    for (DWORD attempt = 0; attempt < 1000; ++attempt) {
        wchar_t unique[16];
        std::swprintf(unique, sizeof unique / sizeof unique[0], L"dwr%04X.tmp", (seed + attempt) & 0xFFFF);
        name = folder + L"\\" + unique;
        HANDLE handle = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_FILE_EXISTS)
                continue;
            break;
        }
        // The stream takes the handle over; closing it closes the handle.
        const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), binary ? _O_BINARY : _O_TEXT);
        if (descriptor == -1) {
            CloseHandle(handle);
            DeleteFileW(name.c_str());
            break;
        }
        FILE* file = _fdopen(descriptor, binary ? "wb+" : "w+");
        if (file == nullptr) {
            _close(descriptor);
            DeleteFileW(name.c_str());
            break;
        }
        return file;
    }
    name.clear();
    return nullptr;
}

}  // namespace

ReportFile::~ReportFile()
{
    Discard();
}

bool ReportFile::Open(const std::wstring& path, bool binary)
{
    Discard();
    const std::wstring target = ExtendedPath(path);
    if (path.empty() || !WritableOrAbsent(target))
        return false;
    std::wstring folder = FolderOf(target);
    if (!folder.empty() && folder.back() == L'\\')
        folder.pop_back();
    if (folder.empty())
        return false;
    file_ = MakeTemporaryFile(folder, temporary_, binary);
    if (file_ == nullptr)
        return false;
    target_ = target;
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
    if (temporary_.empty())
        return written && closed;
    const bool placed =
        written && closed && MoveFileExW(temporary_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING);
    if (!placed)
        DeleteFileW(temporary_.c_str());
    temporary_.clear();
    return placed;
}

void ReportFile::Discard()
{
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!temporary_.empty()) {
        DeleteFileW(temporary_.c_str());
        temporary_.clear();
    }
}

ReportFileWrite WriteReportFile(const std::wstring& path, const ReportFacts& facts, const ReportRows& rows)
{
    ReportFile file;
    if (!file.Open(path))
        return ReportFileWrite::NotOpened;
    if (!WriteReportText(file, facts, rows) || !file.Close()) {
        file.Discard();
        return ReportFileWrite::NotWritten;
    }
    return ReportFileWrite::Written;
}

bool ReportFileExists(const std::wstring& path)
{
    HANDLE file = CreateFileW(ExtendedPath(path).c_str(), 0, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

std::string ComputerNameText()
{
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (!GetComputerNameW(name, &size))
        return "unknown";
    return ToCodePage(name);
}

#include "report/report_file.h"

ReportFile::~ReportFile()
{
    if (file_ != nullptr)
        std::fclose(file_);
}

bool ReportFile::Open(const char* path)
{
    file_ = std::fopen(path, "w+");
    return file_ != nullptr;
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
    return written && closed;
}

#pragma once

#include <cstdio>

#include "report/report_text.h"

// A report file opened in text mode, so "\n" is written as CR LF. Every
// write and the close are checked: a short disk or a failing device makes
// the report a failure. Closed on destruction if still open.
class ReportFile : public ReportSink {
public:
    ReportFile() = default;
    // Takes over an open stream.
    explicit ReportFile(FILE* file) : file_(file) {}
    ReportFile(const ReportFile&) = delete;
    ReportFile& operator=(const ReportFile&) = delete;
    ~ReportFile() override;

    // Creates the file, or empties it when it exists ("w+").
    bool Open(const char* path);
    bool Put(const char* text) override;
    // False when any write failed or the buffered rest could not be written.
    bool Close();

private:
    FILE* file_ = nullptr;
};

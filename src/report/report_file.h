#pragma once

#include <cstdio>
#include <string>

#include "report/report_text.h"

// A report file written in text mode, so "\n" is written as CR LF, or in
// binary mode, byte for byte (a CSV that writes its own CR LF). The
// file goes to a new file in the folder of the chosen name, which takes
// that name only once it is written and closed whole: until then, and
// after any failure, a file already there keeps what it held, and the new
// file is removed. Every write, the close and the replacement are checked.
// Names are whole UTF-16 paths, of any length.
class ReportFile : public ReportSink {
public:
    ReportFile() = default;
    // Takes over an open stream; Close only closes it.
    explicit ReportFile(FILE* file) : file_(file) {}
    ReportFile(const ReportFile&) = delete;
    ReportFile& operator=(const ReportFile&) = delete;
    // Abandons a report not closed yet: as Discard.
    ~ReportFile() override;

    // Starts the report for the full path `path`. False when an existing
    // file of that name cannot be opened for writing, or the new file
    // cannot be made beside it.
    bool Open(const std::wstring& path, bool binary = false);
    bool Put(const char* text) override;
    // Closes the new file and puts it in place of the chosen name. False,
    // with the new file removed, when any write, the close or the
    // replacement failed.
    bool Close();
    // Closes and removes the new file; the chosen name is left untouched.
    void Discard();

private:
    FILE* file_ = nullptr;
    std::wstring target_;     // in the \\?\ form
    std::wstring temporary_;  // in the \\?\ form; empty when there is none
};

// What became of writing a whole report to a file.
enum class ReportFileWrite {
    Written,
    NotOpened,   // the chosen name cannot be written, or no file beside it
    NotWritten,  // a write, the close or the replacement failed
};

// Writes the report to the full path `path` through a ReportFile: a report
// cut short never takes the chosen name, and the file there stays.
ReportFileWrite WriteReportFile(const std::wstring& path, const ReportFacts& facts, const ReportRows& rows);

// True when a file of that full path exists (any length).
bool ReportFileExists(const std::wstring& path);

// The computer's name as the report's code page spells it; "unknown" when
// the system does not give it.
std::string ComputerNameText();

#include "app/console_run.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <memory>
#include <new>

#include "base/code_page_text.h"
#include "app/command_line.h"
#include "app/console_args.h"
#include "app/console_terms.h"
#include "base/handles.h"
#include "app/terms_text.h"
#include "base/version_numbers.h"
#include "base/wide_path.h"
#include "report/report_file.h"
#include "report/report_text.h"
#include "scan/folder_read.h"
#include "scan/folder_walk.h"
#include "scan/row_batch.h"
#include "scan/row_store.h"
#include "scan/scan_output.h"
#include "scan/scan_status.h"
#include "scan/scan_worker.h"

namespace {

// Set by Ctrl+C and Ctrl+Break: the scan ends and writes what it read.
std::atomic<bool> stopRequested{false};
// Set when the console closes, or the user logs off or the system shuts
// down: the process ends once the handler returns, so the outputs are
// removed first, and the handler waits (a few seconds at most) until they
// are.
std::atomic<bool> abandoned{false};
HANDLE outputsSettled = nullptr;

BOOL WINAPI OnConsoleControl(DWORD event)
{
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        stopRequested = true;
        return TRUE;
    }
    abandoned = true;
    stopRequested = true;
    if (outputsSettled != nullptr)
        WaitForSingleObject(outputsSettled, 4000);
    return TRUE;
}

bool IsConsole(HANDLE handle)
{
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

// Text for a person, to standard error: as characters on a console,
// as UTF-8 anywhere else.
void SayError(const std::wstring& text)
{
    const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    DWORD written = 0;
    if (IsConsole(error)) {
        WriteConsoleW(error, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    std::string bytes;
    AppendUtf8(bytes, text);
    if (error != nullptr && error != INVALID_HANDLE_VALUE)
        WriteFile(error, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

void SayError(const char* text)
{
    SayError(FromCodePage(text));
}

void SayUsage(const std::wstring& error)
{
    SayError(L"Dunewright: " + error + L"\n\n");
    SayError(ConsoleUsage());
}

// The whole path the platform makes of `path`; `path` itself when it makes
// none, or when it is already in the \\?\ form.
std::wstring WholePath(const std::wstring& path)
{
    if (path.rfind(L"\\\\?\\", 0) == 0)
        return path;
    std::wstring full(MAX_PATH, L'\0');
    for (int tries = 0; tries < 3; ++tries) {
        const DWORD length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (length == 0)
            return path;
        if (length < full.size()) {
            full.resize(length);
            return full;
        }
        full.assign(length, L'\0');
    }
    return path;
}

// A path the process creation functions take: the \\?\ form undone.
std::wstring PlainPath(const std::wstring& path)
{
    if (path.rfind(L"\\\\?\\UNC\\", 0) == 0)
        return L"\\\\" + path.substr(8);
    if (path.rfind(L"\\\\?\\", 0) == 0 && path.size() >= 7 && path[5] == L':')
        return path.substr(4);
    return path;
}

// Where this program really lies: when it was started through a link (a
// package manager's command alias), the link's target.
std::wstring ProgramFolder()
{
    const std::wstring module = ModulePath();
    FileHandle file(CreateFileW(module.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr));
    if (file.get() != INVALID_HANDLE_VALUE) {
        std::wstring final(32768, L'\0');
        const DWORD length =
            GetFinalPathNameByHandleW(file.get(), final.data(), static_cast<DWORD>(final.size()), 0);
        if (length > 0 && length < final.size()) {
            final.resize(length);
            return FolderOf(PlainPath(final));
        }
    }
    return FolderOf(module);
}

// Starts the window program beside this one, with the folder to scan when
// there is one, in this process's current directory; does not wait.
int StartWindowProgram(const std::wstring& folder)
{
    std::wstring exe = ProgramFolder();
    if (!exe.empty() && exe.back() != L'\\')
        exe += L'\\';
    exe += L"Dunewright.exe";
    std::wstring commandLine = QuotedArgument(exe);
    if (!folder.empty())
        commandLine += L" " + QuotedArgument(folder);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        SayError(L"Dunewright: could not start " + exe + L"\n");
        return kExitUsage;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return kExitComplete;
}

// One output: a file written under a temporary name and put in place when
// whole, or standard output. Text is gathered and written in large pieces.
class Output {
public:
    // Opens it; false when it cannot be written. `binary`: bytes as they
    // are (CSV, JSON); otherwise "\n" becomes CR LF (the report).
    bool Open(const std::wstring& name, bool binary)
    {
        name_ = name;
        open_ = true;
        if (name == kStandardOutput) {
            std::fflush(stdout);
            // With no standard output at all there is nothing to set: the
            // first write fails, and the scan ends as not written.
            if (_fileno(stdout) >= 0)
                _setmode(_fileno(stdout), binary ? _O_BINARY : _O_TEXT);
            file_ = std::make_unique<ReportFile>(stdout);
            return true;
        }
        file_ = std::make_unique<ReportFile>();
        return file_->Open(WholePath(name), binary);
    }

    bool IsOpen() const { return open_; }
    const std::wstring& Name() const { return name_; }

    // Appends text; false once a write has failed.
    bool Put(const std::string& text)
    {
        pending_ += text;
        if (pending_.size() >= kPieceBytes)
            Flush();
        return ok_;
    }

    // Writes what is gathered, closes the output and puts a file in place.
    bool Close()
    {
        if (!open_)
            return true;
        Flush();
        open_ = false;
        const bool closed = file_->Close();
        ok_ = ok_ && closed;
        return ok_;
    }

    // Leaves nothing behind: the temporary file is removed.
    void Discard()
    {
        if (open_ && file_)
            file_->Discard();
        open_ = false;
    }

    // The gathered text, for a writer that wants a sink (the report).
    ReportSink& AsSink() { return sink_; }

private:
    static constexpr size_t kPieceBytes = 64 * 1024;

    void Flush()
    {
        if (ok_ && !pending_.empty())
            ok_ = file_->Put(pending_.c_str());
        pending_.clear();
    }

    class TextSink : public ReportSink {
    public:
        explicit TextSink(Output& output) : output_(output) {}
        bool Put(const char* text) override { return output_.Put(text); }

    private:
        Output& output_;
    };

    std::unique_ptr<ReportFile> file_;
    std::wstring name_;
    std::string pending_;
    TextSink sink_{*this};
    bool open_ = false;
    bool ok_ = true;
};

// The rows of the report, in the order the window lists them before a
// column is clicked.
class StoredRows : public ReportRows {
public:
    explicit StoredRows(const RowStore& store) : store_(store) {}
    int Count() const override { return static_cast<int>(store_.Size()); }
    void Read(int index, ReportRow& row) const override
    {
        const RowStore::RowId id = store_.IdAt(static_cast<size_t>(index));
        row.path = store_.Folder(id);
        row.branch = std::to_string(static_cast<long>(store_.BranchMb(id)));
        row.node = std::to_string(static_cast<long>(store_.NodeMb(id)));
    }

private:
    const RowStore& store_;
};

// Where the walk hands its rows: each written out as it comes (CSV, JSON),
// and kept for the report, which lists them in folder order.
class ConsoleSink : public WalkSink {
public:
    ConsoleSink(Output& csv, Output& json, bool keepRows) : csv_(csv), json_(json), keepRows_(keepRows) {}

    void AddFolderRow(const FolderRow& row) override
    {
        if (csv_.IsOpen()) {
            line_.clear();
            AppendCsvRow(line_, row.folder, row.measure);
            Written(csv_.Put(line_));
        }
        if (json_.IsOpen()) {
            line_.clear();
            AppendJsonRow(line_, row.folder, row.measure, rows_ == 0);
            Written(json_.Put(line_));
        }
        if (keepRows_) {
            batch_.Add(row.folder, row.branchMb, row.nodeMb, 0);
            if (batch_.Size() >= kBatchRows)
                KeepBatch();
        }
        ++rows_;
    }

    void PathTooLong() override { pathTooLong_ = true; }

    // Puts the last rows into the store.
    void KeepBatch()
    {
        if (batch_.Empty())
            return;
        store_.Add(batch_.Rows());
        batch_.Clear();
    }

    bool WriteFailed() const { return writeFailed_; }
    bool PathWasTooLong() const { return pathTooLong_; }
    size_t Rows() const { return rows_; }
    const RowStore& Store() const { return store_; }

private:
    // Rows join the store's order a batch at a time: each merge costs the
    // whole store.
    static constexpr size_t kBatchRows = 16384;

    void Written(bool ok)
    {
        if (ok || writeFailed_)
            return;
        // The output is lost: the scan has no reason to go on.
        writeFailed_ = true;
        stopRequested = true;
    }

    Output& csv_;
    Output& json_;
    const bool keepRows_;
    std::string line_;
    RowBatch batch_;
    RowStore store_;
    size_t rows_ = 0;
    bool writeFailed_ = false;
    bool pathTooLong_ = false;
};

struct ScanRun {
    std::wstring root;
    ScanOptions options;
    ScanCounters counters;
    ConsoleSink& sink;
    bool complete = false;
    WalkStats stats{};
};

DWORD WINAPI RunScanThread(void* argument)
{
    ScanRun& run = *static_cast<ScanRun*>(argument);
    WalkLimits limits;
    // Both measures are written, whichever the filters use; the window's
    // tallies of files are not.
    limits.measureOnDisk = true;
    limits.tallyFiles = false;
    try {
        run.complete = WalkScan(run.root.c_str(), run.options, limits, run.counters, run.sink, &run.stats);
        run.sink.KeepBatch();
    } catch (const std::bad_alloc&) {
        run.complete = false;
    }
    return 0;
}

// The line on a console that says how far the scan is; rewritten in place.
void ShowProgress(HANDLE console, int32_t folders, DWORD elapsedMs)
{
    wchar_t line[96];
    std::swprintf(line, sizeof line / sizeof line[0], L"\rScanning: %ld folders read, %lu s   ",
                  static_cast<long>(folders), static_cast<unsigned long>(elapsedMs / 1000));
    DWORD written = 0;
    WriteConsoleW(console, line, static_cast<DWORD>(wcslen(line)), &written, nullptr);
}

void ClearProgress(HANDLE console)
{
    const wchar_t blank[] = L"\r                                                            \r";
    DWORD written = 0;
    WriteConsoleW(console, blank, static_cast<DWORD>(wcslen(blank)), &written, nullptr);
}

int Scan(const ConsoleCommand& command)
{
    std::wstring root = WholePath(command.folder);
    AddBackslash(root);
    const DWORD attributes = GetFileAttributesW(ExtendedPath(root).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SayUsage(L"not a folder: " + command.folder);
        return kExitUsage;
    }

    // From here on Ctrl+C stops the scan instead of ending the process,
    // which would leave the temporary files behind.
    outputsSettled = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    struct Settle {
        ~Settle()
        {
            SetConsoleCtrlHandler(OnConsoleControl, FALSE);
            if (outputsSettled != nullptr) {
                SetEvent(outputsSettled);
                CloseHandle(outputsSettled);
                outputsSettled = nullptr;
            }
        }
    } settle;

    Output csv, json, report;
    struct Wanted {
        Output& output;
        const std::wstring& name;
        bool binary;
    };
    const Wanted wanted[] = {{csv, command.csv, true}, {json, command.json, true}, {report, command.report, false}};
    for (const Wanted& each : wanted) {
        if (each.name.empty() || each.output.Open(each.name, each.binary))
            continue;
        SayError(L"Dunewright: could not write " + each.name + L"\n");
        for (const Wanted& other : wanted)
            other.output.Discard();
        return kExitNotWritten;
    }

    const int64_t startedAt = static_cast<int64_t>(std::time(nullptr));
    if (csv.IsOpen())
        csv.Put(std::string(kUtf8Mark) + kCsvHeader);
    if (json.IsOpen())
        json.Put(JsonHead({DW_VERSION_TEXT, root, command.options, startedAt}));

    std::atomic<int32_t> foldersCounted{0}, foldersAssessed{0}, filesAssessed{0};
    ConsoleSink sink(csv, json, report.IsOpen());
    ScanRun run{root, command.options, {stopRequested, foldersCounted, foldersAssessed, filesAssessed}, sink};
    const DWORD startTick = GetTickCount();
    FileHandle thread(CreateThread(nullptr, 0, RunScanThread, &run, 0, nullptr));
    if (thread.get() == nullptr) {
        RunScanThread(&run);
    } else {
        const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
        const bool console = IsConsole(error);
        // The progress line is redrawn while the scan runs; the wait ends
        // the moment the thread does.
        while (WaitForSingleObject(thread.get(), 250) == WAIT_TIMEOUT) {
            if (console)
                ShowProgress(error, std::max(foldersCounted.load(), foldersAssessed.load()),
                             GetTickCount() - startTick);
        }
        if (console)
            ClearProgress(error);
    }
    if (abandoned.load()) {
        for (const Wanted& each : wanted)
            each.output.Discard();
        return kExitIncomplete;
    }

    const bool complete = run.complete && !stopRequested.load();
    const int64_t finishedAt = static_cast<int64_t>(std::time(nullptr));
    if (json.IsOpen())
        json.Put(JsonTail(complete, finishedAt, foldersAssessed, filesAssessed));
    if (report.IsOpen()) {
        ReportFacts facts{};
        const std::string computer = ComputerNameText();
        facts.savedAt = static_cast<uint32_t>(finishedAt);
        facts.scanFinishedAt = static_cast<uint32_t>(finishedAt);
        facts.scanRoot = root;
        facts.computerName = computer.c_str();
        facts.status = complete ? Done : Stopped;
        facts.filesAssessed = filesAssessed;
        facts.foldersAssessed = foldersAssessed;
        facts.foldersCounted = foldersCounted;
        // As the list says it: past 32,000 rows after the first.
        facts.listOverflow = sink.Store().Size() > 32001;
        facts.sortColumn = 0;
        facts.dataset = command.options;
        facts.report = DefaultSaveOptions();
        facts.report.LimitSize = 0;
        facts.report.LimitDepth = 0;
        facts.report.Find = 0;
        // As the window says it of a whole scan on disk from a volume's
        // root: the space the volume has in use, beside the scan's.
        if (complete && command.options.MeasureOnDisk) {
            const VolumeSpace volume = VolumeSpaceAtRoot(ReadingPath(root));
            facts.volumeKnown = volume.known;
            facts.volumeUsedBytes = volume.usedBytes;
            facts.scanOnDiskBytes = run.stats.total.branchOnDisk;
        }
        WriteReportText(report.AsSink(), facts, StoredRows(sink.Store()));
    }

    bool written = !sink.WriteFailed();
    for (const Wanted& each : wanted) {
        if (!written) {
            each.output.Discard();
        } else if (each.output.IsOpen() && !each.output.Close()) {
            written = false;
            SayError(L"Dunewright: could not write " + each.name + L"\n");
        }
    }
    if (!written) {
        if (sink.WriteFailed())
            SayError(L"Dunewright: an output could not be written; nothing was left behind\n");
        return kExitNotWritten;
    }
    if (!complete) {
        SayError(sink.PathWasTooLong() ? L"Dunewright: a path was too long; the scan is incomplete\n"
                 : stopRequested.load() ? L"Dunewright: stopped; the scan is incomplete\n"
                                        : L"Dunewright: a folder could not be read whole; the scan is incomplete\n");
        return kExitIncomplete;
    }
    return kExitComplete;
}

}  // namespace

int RunConsole(const std::vector<std::wstring>& arguments)
{
    const ConsoleCommand command = ParseConsoleArguments(arguments);
    switch (command.route) {
    case ConsoleRoute::Window:
        return StartWindowProgram(command.folder);
    case ConsoleRoute::Help:
        std::fputs(ConsoleUsage(), stdout);
        return std::fflush(stdout) == 0 ? kExitComplete : kExitNotWritten;
    case ConsoleRoute::Usage:
        SayUsage(command.error);
        return kExitUsage;
    case ConsoleRoute::AcceptTermsOnly:
    case ConsoleRoute::Scan:
        break;
    }

    if (command.acceptTerms) {
        if (!RecordTermsAcceptance()) {
            char text[200];
            std::snprintf(text, sizeof text, "ERROR: Could not create '%s' ['%s'].\n", termsFileName, termsFileName);
            SayError(text);
            return kExitNotWritten;
        }
        if (command.route == ConsoleRoute::AcceptTermsOnly)
            return kExitComplete;
    } else if (!ConsoleTermsAccepted()) {
        char disclaimer[4096];
        FormatDisclaimer(disclaimer, sizeof disclaimer);
        SayError(disclaimer);
        SayError(
            "\n\nTo accept these terms from a command line, run Dunewright once with --accept-terms (in the folder "
            "you run it from: the acceptance is kept in TermsAccepted.txt there).\n");
        return kExitUsage;
    }
    return Scan(command);
}

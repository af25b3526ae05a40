// The console program, Dunewright.com, as scripts run it: its CSV and JSON
// against a walk of the same tree made here, its exit codes, a stop by the
// console's break event, outputs that cannot be written, its usage, the
// terms from a console, and the window it hands a folder alone to.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "driver.h"

namespace {

using dw::Dunewright;

constexpr char kCsvHeader[] =
    "Folder,Branch bytes,Node bytes,Branch on disk bytes,Node on disk bytes,Branch files,Node files,Depth\r\n";
constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";

std::string ConsolePath()
{
    std::string path = "Z:" DW_CONSOLE_UNIX_PATH;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

// A path the file functions take at any length.
std::wstring Long(const std::string& path)
{
    return L"\\\\?\\" + dw::Wide(path);
}

struct Result {
    DWORD code = 0xFFFFFFFF;
    std::string out;
    std::string error;
};

// How the test starts the console program.
struct Start {
    std::string workDir;  // a fresh one with the terms accepted when empty
    bool acceptTerms = true;
    DWORD flags = 0;       // process creation flags
    bool noStandardOutput = false;
    // Called once the program runs, before the test waits for its end.
    std::function<void(const PROCESS_INFORMATION&)> whileRunning;
};

HANDLE InheritableFile(const std::string& path)
{
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Runs Dunewright.com with `arguments` (UTF-8) to its end, with standard
// output and standard error in files.
Result RunConsole(const std::string& arguments, Start start = {})
{
    Result result;
    const std::string work = start.workDir.empty() ? dw::MakeTempDir("console") : start.workDir;
    if (start.acceptTerms)
        dw::WriteFileBytes(work + "\\TermsAccepted.txt", dw::AcceptanceLine());
    const std::string streams = dw::MakeTempDir("streams");
    HANDLE out = InheritableFile(streams + "\\out");
    HANDLE error = InheritableFile(streams + "\\error");
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = INVALID_HANDLE_VALUE;
    startup.hStdOutput = start.noStandardOutput ? INVALID_HANDLE_VALUE : out;
    startup.hStdError = error;
    std::wstring command = dw::Wide("\"" + ConsolePath() + "\" " + arguments);
    PROCESS_INFORMATION process{};
    const bool started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, start.flags, nullptr,
                                        dw::Wide(work).c_str(), &startup, &process) != FALSE;
    CloseHandle(out);
    CloseHandle(error);
    EXPECT_TRUE(started) << "error " << GetLastError();
    if (!started)
        return result;
    if (start.whileRunning)
        start.whileRunning(process);
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 90000), WAIT_OBJECT_0) << "Dunewright.com did not end";
    GetExitCodeProcess(process.hProcess, &result.code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    result.out = dw::ReadFileBytes(streams + "\\out").value_or("");
    result.error = dw::ReadFileBytes(streams + "\\error").value_or("");
    return result;
}

std::string Quoted(const std::string& path)
{
    return "\"" + path + "\"";
}

// The names in `folder`, other than . and ..
std::vector<std::string> Names(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((Long(folder) + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::wstring name = data.cFileName;
        if (name != L"." && name != L"..")
            names.push_back(dw::Utf8(name));
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return names;
}

// ---------------------------------------------------------------------------
// The tree and the walk the program's output is held against.

void MakeFolder(const std::string& path)
{
    ASSERT_TRUE(CreateDirectoryW(Long(path).c_str(), nullptr)) << path;
}

void MakeFile(const std::string& path, size_t bytes)
{
    HANDLE file = CreateFileW(Long(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    const std::string data(bytes, 'd');
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &written, nullptr));
    CloseHandle(file);
}

// Deep paths (past 260 and 1,000 characters), names outside the code page,
// a comma to quote, a file with two names, a file that takes no space, an
// empty folder.
std::string BuildTree()
{
    const std::string root = dw::MakeTempDir("csv") + "\\tree";
    MakeFolder(root);
    MakeFolder(root + "\\\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E \xE3\x83\x95\xE3\x82\xA9\xE3\x83\xAB\xE3\x83\x80");
    MakeFile(root + "\\\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E \xE3\x83\x95\xE3\x82\xA9\xE3\x83\xAB\xE3\x83\x80\\"
                    "\xE3\x83\x87\xE3\x83\xBC\xE3\x82\xBF.bin",
             5000);
    MakeFolder(root + "\\emoji \xF0\x9F\x98\x80");
    MakeFile(root + "\\emoji \xF0\x9F\x98\x80\\\xC5\x81\xC3\xB3\x64\xC5\xBA.txt", 70000);
    MakeFolder(root + "\\a,comma");
    MakeFile(root + "\\a,comma\\f", 1);
    MakeFolder(root + "\\empty");
    MakeFolder(root + "\\links");
    MakeFolder(root + "\\links\\a");
    MakeFolder(root + "\\links\\b");
    MakeFile(root + "\\links\\b\\first.bin", 9000);
    EXPECT_TRUE(CreateHardLinkW(Long(root + "\\links\\a\\second-name.bin").c_str(),
                                Long(root + "\\links\\b\\first.bin").c_str(), nullptr));
    MakeFolder(root + "\\sparse");
    EXPECT_TRUE(dw::MakeSparseFile(root + "\\sparse\\s.bin", 11 * 1048576LL));
    std::string deep = root + "\\deep";
    MakeFolder(deep);
    for (int level = 0; level < 25; ++level) {
        deep += "\\level-" + std::to_string(level) + "-" + std::string(40, 'x');
        MakeFolder(deep);
    }
    MakeFile(deep + "\\bottom.bin", 123456);
    return root;
}

struct Expected {
    std::string csv;
    std::string jsonFolders;  // the JSON's folders, from its first to its last
    int rows = 0;
};

std::string JsonText(const std::string& utf8)
{
    std::string out = "\"";
    for (const char c : utf8) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string CsvText(const std::string& utf8)
{
    if (utf8.find_first_of(",\"\r\n") == std::string::npos)
        return utf8;
    std::string out = "\"";
    for (const char c : utf8) {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + "\"";
}

struct Figures {
    long long bytes = 0, onDisk = 0, files = 0;
};

// A plain recursive walk: each folder after everything below it; a file's
// space on disk as the file system allocates it (nothing below a cluster),
// a file with several names counted in the first folder that comes out.
class Walk {
public:
    explicit Walk(const std::string& root)
    {
        DWORD sectors = 0, bytes = 0, free = 0, total = 0;
        EXPECT_TRUE(GetDiskFreeSpaceA((root.substr(0, 3)).c_str(), &sectors, &bytes, &free, &total));
        cluster_ = static_cast<long long>(sectors) * bytes;
        Visit(root + "\\", 1);
    }
    const Expected& Result() const { return expected_; }

private:
    Figures Visit(const std::string& path, int level)
    {
        Figures branch, node;
        std::vector<std::string> files;
        std::string folder = path;
        if (folder.back() == '\\')
            folder.pop_back();
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW((Long(folder) + L"\\*").c_str(), &data);
        EXPECT_NE(find, INVALID_HANDLE_VALUE) << path;
        std::vector<std::string> subfolders;
        std::vector<long long> lengths;
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..")
                continue;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                subfolders.push_back(dw::Utf8(name));
            } else {
                files.push_back(dw::Utf8(name));
                lengths.push_back((static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
            }
        } while (FindNextFileW(find, &data));
        FindClose(find);
        for (const std::string& name : subfolders) {
            const Figures below = Visit(folder + "\\" + name, level + 1);
            branch.bytes += below.bytes;
            branch.onDisk += below.onDisk;
            branch.files += below.files;
        }
        for (size_t i = 0; i < files.size(); ++i) {
            node.bytes += lengths[i];
            ++node.files;
            HANDLE file = CreateFileW((Long(folder) + L"\\" + dw::Wide(files[i])).c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      0, nullptr);
            EXPECT_NE(file, INVALID_HANDLE_VALUE) << files[i];
            FILE_STANDARD_INFO standard{};
            BY_HANDLE_FILE_INFORMATION identity{};
            EXPECT_TRUE(GetFileInformationByHandleEx(file, FileStandardInfo, &standard, sizeof standard));
            EXPECT_TRUE(GetFileInformationByHandle(file, &identity));
            CloseHandle(file);
            long long onDisk = standard.AllocationSize.QuadPart;
            if (onDisk < cluster_)
                onDisk = 0;
            const unsigned long long id =
                (static_cast<unsigned long long>(identity.nFileIndexHigh) << 32) | identity.nFileIndexLow;
            if (onDisk > 0 && !counted_.insert(id).second)
                onDisk = 0;
            node.onDisk += onDisk;
        }
        branch.bytes += node.bytes;
        branch.onDisk += node.onDisk;
        branch.files += node.files;

        const std::string figures = std::to_string(branch.bytes) + "," + std::to_string(node.bytes) + "," +
                                    std::to_string(branch.onDisk) + "," + std::to_string(node.onDisk) + "," +
                                    std::to_string(branch.files) + "," + std::to_string(node.files) + "," +
                                    std::to_string(level);
        expected_.csv += CsvText(path) + "," + figures + "\r\n";
        expected_.jsonFolders += std::string(expected_.rows == 0 ? "\n" : ",\n") + "    {\"folder\":" +
                                 JsonText(path) + ",\"branchBytes\":" + std::to_string(branch.bytes) +
                                 ",\"nodeBytes\":" + std::to_string(node.bytes) +
                                 ",\"branchOnDiskBytes\":" + std::to_string(branch.onDisk) +
                                 ",\"nodeOnDiskBytes\":" + std::to_string(node.onDisk) +
                                 ",\"branchFiles\":" + std::to_string(branch.files) +
                                 ",\"nodeFiles\":" + std::to_string(node.files) + ",\"depth\":" +
                                 std::to_string(level) + "}";
        ++expected_.rows;
        return branch;
    }

    long long cluster_ = 4096;
    std::set<unsigned long long> counted_;
    Expected expected_;
};

// The JSON document's folders: from the array's first element to its last.
std::string JsonFolders(const std::string& json)
{
    const size_t open = json.find("\"folders\": [");
    const size_t close = json.rfind("\n  ],");
    if (open == std::string::npos || close == std::string::npos || close < open)
        return {};
    const size_t from = open + 12;
    return json.substr(from, close - from);
}

// ---------------------------------------------------------------------------

TEST(ConsoleProgram, CsvAndJsonAreTheExactFiguresOfAPlainWalk)
{
    const std::string root = BuildTree();
    const Expected expected = Walk(root).Result();
    const std::string out = dw::MakeTempDir("out");
    const Result result = RunConsole("--csv " + Quoted(out + "\\scan.csv") + " --json " +
                                     Quoted(out + "\\scan.json") + " " + Quoted(root));
    EXPECT_EQ(result.code, 0u) << result.error;
    EXPECT_EQ(result.error, "") << "no progress line where standard error is no console";
    const std::string csv = dw::ReadFileBytes(out + "\\scan.csv").value_or("");
    EXPECT_EQ(csv, kUtf8Mark + std::string(kCsvHeader) + expected.csv);
    const std::string json = dw::ReadFileBytes(out + "\\scan.json").value_or("");
    EXPECT_EQ(JsonFolders(json), expected.jsonFolders);
    EXPECT_EQ(json.rfind("{\n  \"program\": \"Dunewright\",\n  \"version\": \"1.4.7.4\",\n  \"folder\": " +
                             JsonText(root + "\\") + ",\n  \"measure\": \"bytes\",\n",
                         0),
              0u)
        << json.substr(0, 300);
    EXPECT_NE(json.find("\n  ],\n  \"complete\": true,\n"), std::string::npos);
    // Both files went into place whole: nothing else is left in the folder.
    EXPECT_EQ(Names(out), (std::vector<std::string>{"scan.csv", "scan.json"}));
}

TEST(ConsoleProgram, FiltersAndTheReportGoWhereAsked)
{
    const std::string root = BuildTree();
    const std::string out = dw::MakeTempDir("out");
    // The report to standard output; the CSV keeps the folders of 1 MB and
    // more on disk (the sparse file's 11 MB take none) down to level 2.
    const Result result = RunConsole("--report - --csv " + Quoted(out + "\\f.csv") +
                                     " --min-mb 2 --on-disk --depth 2 --no-count " + Quoted(root));
    EXPECT_EQ(result.code, 0u) << result.error;
    EXPECT_EQ(dw::ReadFileBytes(out + "\\f.csv").value_or(""),
              kUtf8Mark + std::string(kCsvHeader))
        << "no folder here takes 1 MB on disk";
    const std::vector<std::string> lines = dw::CrLfLines(result.out);
    ASSERT_GT(lines.size(), 10u) << result.out;
    EXPECT_EQ(lines[0], dw::kAppVersion);
    const auto has = [&](const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    };
    EXPECT_TRUE(has("Done [Complete]."));
    EXPECT_TRUE(has("List (dataset) folder size limited to 2 MB."));
    EXPECT_TRUE(has("Report folder size was not limited."));
    EXPECT_TRUE(has("Items sorted by Folder Name."));
    EXPECT_EQ(lines.back(), "END OF REPORT.");

    const Result lengths = RunConsole("--csv - --min-mb 2 --depth 2 " + Quoted(root));
    EXPECT_EQ(lengths.code, 0u) << lengths.error;
    const std::vector<std::string> rows = dw::CrLfLines(lengths.out);
    // By length the sparse folder has 11 MB, and the start folder more.
    ASSERT_EQ(rows.size(), 3u) << lengths.out;
    EXPECT_EQ(rows[1].rfind(root + "\\sparse,11534336,11534336,", 0), 0u) << rows[1];
    EXPECT_EQ(rows[2].rfind(root + "\\,", 0), 0u) << rows[2];
}

TEST(ConsoleProgram, ABadArgumentGivesTheUsage)
{
    const Result bad = RunConsole("--csv out.csv --bogus C:\\");
    EXPECT_EQ(bad.code, 1u);
    EXPECT_NE(bad.error.find("unknown option --bogus"), std::string::npos) << bad.error;
    EXPECT_NE(bad.error.find("Usage: Dunewright --csv FILE"), std::string::npos) << bad.error;
    const Result missing = RunConsole("--csv out.csv C:\\no-such-folder-here");
    EXPECT_EQ(missing.code, 1u);
    EXPECT_NE(missing.error.find("Usage: Dunewright"), std::string::npos) << missing.error;
    const Result help = RunConsole("/?");
    EXPECT_EQ(help.code, 0u);
    EXPECT_EQ(help.out.rfind("Usage: Dunewright --csv FILE", 0), 0u) << help.out;
}

TEST(ConsoleProgram, AnOutputThatCannotBeWrittenLeavesNothingBehind)
{
    const std::string root = BuildTree();
    const std::string out = dw::MakeTempDir("out");
    MakeFolder(out + "\\taken");
    // The JSON's name is a folder: neither file is written.
    const Result taken = RunConsole("--csv " + Quoted(out + "\\scan.csv") + " --json " + Quoted(out + "\\taken") +
                                    " " + Quoted(root));
    EXPECT_EQ(taken.code, 3u) << taken.error;
    EXPECT_EQ(Names(out), std::vector<std::string>{"taken"});
    const Result nowhere = RunConsole("--csv " + Quoted(out + "\\missing\\scan.csv") + " " + Quoted(root));
    EXPECT_EQ(nowhere.code, 3u) << nowhere.error;
    EXPECT_EQ(Names(out), std::vector<std::string>{"taken"});
    Start closed;
    closed.noStandardOutput = true;
    EXPECT_EQ(RunConsole("--csv - " + Quoted(root), closed).code, 3u);
}

TEST(ConsoleProgram, CtrlCStopsTheScanAndWhatWasReadIsWrittenMarkedIncomplete)
{
    const std::string root = dw::MakeWideTree(100, 100);
    const std::string out = dw::MakeTempDir("out");
    // The program runs in a console of its own; once its outputs are open
    // (a temporary file shows in their folder, so the scan is under way)
    // this process joins that console and presses Ctrl+C there, which
    // every process of the console receives; this one ignores it.
    Start start;
    start.flags = CREATE_NEW_CONSOLE;
    start.whileRunning = [&](const PROCESS_INFORMATION& process) {
        EXPECT_TRUE(dw::WaitUntil([&] { return !Names(out).empty(); }, 30000));
        FreeConsole();
        if (!AttachConsole(process.dwProcessId)) {
            ADD_FAILURE() << "could not join the program's console: error " << GetLastError();
            return;
        }
        SetConsoleCtrlHandler(nullptr, TRUE);
        EXPECT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) << GetLastError();
    };
    const Result result = RunConsole("--no-count --csv " + Quoted(out + "\\s.csv") + " --json " +
                                         Quoted(out + "\\s.json") + " " + Quoted(root),
                                     start);
    FreeConsole();
    EXPECT_EQ(result.code, 2u) << result.error;
    EXPECT_NE(result.error.find("stopped"), std::string::npos) << result.error;
    const std::string csv = dw::ReadFileBytes(out + "\\s.csv").value_or("");
    EXPECT_EQ(csv.rfind(kUtf8Mark + std::string(kCsvHeader), 0), 0u);
    const std::vector<std::string> rows = dw::CrLfLines(csv);
    EXPECT_LT(rows.size(), 100u * 101u + 2u) << "every folder was written: the scan was not stopped";
    const std::string json = dw::ReadFileBytes(out + "\\s.json").value_or("");
    EXPECT_NE(json.find("\n  ],\n  \"complete\": false,\n"), std::string::npos) << json.substr(json.size() - std::min<size_t>(json.size(), 300));
    EXPECT_EQ(Names(out), (std::vector<std::string>{"s.csv", "s.json"}));
}

TEST(ConsoleProgram, TheTermsAreAcceptedFromTheConsole)
{
    const std::string root = dw::MakeTempDir("terms-tree");
    const std::string work = dw::MakeTempDir("terms");
    Start fresh;
    fresh.workDir = work;
    fresh.acceptTerms = false;
    const Result refused = RunConsole("--csv out.csv " + Quoted(root), fresh);
    EXPECT_EQ(refused.code, 1u);
    EXPECT_NE(refused.error.find(dw::DisclaimerText()), std::string::npos) << refused.error;
    EXPECT_NE(refused.error.find("--accept-terms"), std::string::npos);
    EXPECT_EQ(Names(work), std::vector<std::string>{}) << "nothing is written before the terms are accepted";

    const Result accepted = RunConsole("--accept-terms --csv out.csv " + Quoted(root), fresh);
    EXPECT_EQ(accepted.code, 0u) << accepted.error;
    EXPECT_EQ(dw::ReadFileBytes(work + "\\TermsAccepted.txt").value_or(""), dw::AcceptanceLine());
    EXPECT_EQ(dw::CrLfLines(dw::ReadFileBytes(work + "\\out.csv").value_or("")).size(), 2u);
    EXPECT_EQ(RunConsole("--csv - " + Quoted(root), fresh).code, 0u) << "accepted once, for this folder";

    // Accepting alone, as an install script would.
    const std::string other = dw::MakeTempDir("terms-only");
    Start alone;
    alone.workDir = other;
    alone.acceptTerms = false;
    EXPECT_EQ(RunConsole("--accept-terms", alone).code, 0u);
    EXPECT_EQ(dw::ReadFileBytes(other + "\\TermsAccepted.txt").value_or(""), dw::AcceptanceLine());
}

// A folder alone opens the window, which scans it; the console program
// does not wait for it. A running window is left alone by a console scan.
TEST(ConsoleProgram, AFolderAloneOpensTheWindowAndAConsoleScanLeavesAWindowAlone)
{
    dw::ClearSettings();
    const std::string root = dw::MakeTempDir("window");
    Dunewright program;
    Dunewright::Options options;
    options.arguments = Quoted(root);
    options.waitForMain = false;
    ASSERT_TRUE(program.StartExe(ConsolePath(), options));
    DWORD code = 0;
    ASSERT_TRUE(program.WaitExit(30000, &code));
    EXPECT_EQ(code, 0u);
    const DWORD console = program.ProcessId();
    ASSERT_TRUE(program.AdoptOtherInstance(console));
    ASSERT_TRUE(program.AnswerScanOptions());
    EXPECT_TRUE(dw::WaitUntil([&] { return program.Title(program.Main()) ==
                                           std::string(dw::kAppVersion) + " - Main - " + root + "\\"; }));
    ASSERT_TRUE(program.WaitScanEnd());

    const std::string title = program.Title(program.Main());
    const Result scan = RunConsole("--csv - " + Quoted(root));
    EXPECT_EQ(scan.code, 0u) << scan.error;
    EXPECT_TRUE(program.Running());
    EXPECT_EQ(program.Title(program.Main()), title);
}

// Wine lists the subfolders of N:\order by its own upper-case table, which
// knows case pairs the volume's does not; the table gives them as the
// volume's index orders them, as Windows lists them (the line of N.order
// that ntfs-3g's reading of the index wrote). The lines of `csv` for them,
// one run of leaves, in that order.
std::string InIndexOrder(const std::string& csv, char drive)
{
    std::vector<std::string> lines;
    for (size_t at = 0; at < csv.size();) {
        const size_t end = std::min(csv.find("\r\n", at), csv.size());
        lines.push_back(csv.substr(at, end - at));
        at = end + 2;
    }
    const char* dir = std::getenv("DW_NTFS_ORDER");
    const auto text = dw::ReadFileBytes(std::string(dir ? dir : "") + "\\N.order");
    const size_t line = text ? text->find("\norder\t") : std::string::npos;
    EXPECT_NE(line, std::string::npos) << "no index order of N:\\order";
    if (line == std::string::npos)
        return csv;
    const std::string order = text->substr(line + 7, text->find('\n', line + 1) - line - 7) + "\t";
    const std::string prefix = std::string(1, drive) + ":\\order\\";
    auto nameOf = [&](const std::string& row) { return row.substr(prefix.size(), row.find(',') - prefix.size()); };
    auto inRun = [&](const std::string& row) {
        return row.rfind(prefix, 0) == 0 && nameOf(row).find('\\') == std::string::npos;
    };
    const auto first = std::find_if(lines.begin(), lines.end(), inRun);
    const auto last = std::find_if_not(first, lines.end(), inRun);
    std::stable_sort(first, last, [&](const std::string& a, const std::string& b) {
        return ("\t" + order).find("\t" + nameOf(a) + "\t") < ("\t" + order).find("\t" + nameOf(b) + "\t");
    });
    std::string joined;
    for (const std::string& row : lines)
        joined += row + "\r\n";
    return joined.substr(0, csv.size());
}

// The same files read from the volume's master file table (N:) and by
// walking the folders (Q: shows them with no volume behind it), in both
// measures: the CSV holds the space on disk too.
TEST(ConsoleProgram, AScanFromTheTableAndOneByWalkGiveTheSameCsv)
{
    const char* table = std::getenv("DW_NTFS_DRIVES");
    const char* walked = std::getenv("DW_NTFS_FILES_ONLY");
    ASSERT_TRUE(table != nullptr && walked != nullptr)
        << "no NTFS test images: scripts/test.sh makes and mounts them (scripts/ntfs-images.sh)";
    const Result fromTable = RunConsole("--csv - " + std::string(1, table[0]) + ":\\");
    const Result byWalk = RunConsole("--csv - " + std::string(1, walked[0]) + ":\\");
    EXPECT_EQ(fromTable.code, byWalk.code) << fromTable.error << byWalk.error;
    std::string renamed = byWalk.out;
    const std::string from = std::string(1, walked[0]) + ":\\";
    for (size_t at = renamed.find(from); at != std::string::npos; at = renamed.find(from, at + 1))
        renamed[at] = table[0];
    EXPECT_GT(dw::CrLfLines(fromTable.out).size(), 100u);
    EXPECT_EQ(fromTable.out, InIndexOrder(renamed, table[0]));
}

}  // namespace

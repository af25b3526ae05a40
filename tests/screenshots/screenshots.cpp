// Takes the README's screenshots: started by scripts/screenshots.sh inside
// Wine's virtual desktop, it runs Dunewright.exe on a small generated tree
// with the end-to-end driver, opens each window in turn and has the host's
// ImageMagick photograph it.
//
//   dw_screenshots.exe <host folder for the PNGs> <suffix> all|main
//
// "all" takes the main window after a scan, the Largest Files window, the
// three options dialogs, Links, About, Donate and a message box; "main"
// only the main window and the Largest Files window, and for checking the
// main window also with its row menu opened from the keyboard and at its
// smallest size.
// Every PNG is named <window><suffix>.png. A windows program, so no console
// window joins the pictures: it reports in <host folder>/shots<suffix>.log,
// whose last line is "ok" when every picture was taken.
#include <windows.h>

#include <cstdio>
#include <string>

#include "driver.h"
#include "res/resource_ids.h"

namespace {

std::string hostFolder;
std::string suffix;
int failures = 0;
FILE* logFile = nullptr;

// Windows form of a host path.
std::string OnHost(const std::string& path)
{
    std::string windows = "Z:" + path;
    for (char& c : windows)
        if (c == '/')
            c = '\\';
    return windows;
}

void Log(const std::string& line)
{
    if (logFile) {
        std::fprintf(logFile, "%s\n", line.c_str());
        std::fflush(logFile);
    }
}

void Fail(const std::string& line)
{
    Log("FAILED: " + line);
    ++failures;
}

// The sample tree: folder, file name, file size in MB. Sparse files, so it
// costs no disk space, and always the same, so the pictures are.
struct SampleFile {
    const char* folder;
    const char* name;
    long long megabytes;
};
constexpr SampleFile kSample[] = {
    {"Documents", "notes.txt", 3},
    {"Documents\\Letters", "letter to the council.docx", 1},
    {"Documents\\Reports\\2025", "annual report 2025.pdf", 42},
    {"Documents\\Reports\\2026", "annual report 2026.pdf", 17},
    {"Music\\Albums\\Dune Songs", "dune songs.flac", 412},
    {"Music\\Albums\\Moorland", "moorland.flac", 268},
    {"Music\\Podcasts", "episode 12.mp3", 95},
    {"Photos\\2025\\Coast", "coast panorama.tif", 1530},
    {"Photos\\2025\\Hills", "hills.jpg", 960},
    {"Photos\\2026\\Spring", "spring.raw", 2210},
    {"Projects\\Dunewright\\build", "Dunewright.pdb", 310},
    {"Projects\\Dunewright\\src", "main.cpp", 2},
    {"Projects\\Website", "site backup.zip", 38},
    {"Videos\\Holiday", "holiday.mp4", 4870},
    {"Videos\\Tutorials", "tutorial.mp4", 1325},
};
constexpr char kSampleRoot[] = "C:\\Sample Data";

bool MakeSampleTree()
{
    for (const SampleFile& file : kSample) {
        const std::string folder = std::string(kSampleRoot) + "\\" + file.folder;
        for (size_t at = 0; at != std::string::npos;) {
            at = folder.find('\\', at + 1);
            CreateDirectoryA(folder.substr(0, at).c_str(), nullptr);
        }
        if (!dw::MakeSparseFile(folder + "\\" + file.name, file.megabytes << 20))
            return false;
    }
    return true;
}

// Photographs a window and waits until the host has written the picture.
void Shoot(HWND window, const char* name)
{
    if (window == nullptr) {
        Fail(std::string("no window for ") + name);
        return;
    }
    SetForegroundWindow(window);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    Sleep(800);
    RECT r{};
    GetWindowRect(window, &r);
    const int left = r.left > 0 ? r.left : 0;
    const int top = r.top > 0 ? r.top : 0;
    const std::string png = hostFolder + "/" + name + suffix + ".png";
    const std::string done = png + ".done";
    const std::string doneDos = OnHost(done);
    DeleteFileA(doneDos.c_str());
    char command[2048];
    std::snprintf(command, sizeof command,
                  "/bin/sh -c \"import -window root -crop %ldx%ld+%d+%d +repage '%s' && touch '%s'\"",
                  static_cast<long>(r.right - left), static_cast<long>(r.bottom - top), left, top,
                  png.c_str(), done.c_str());
    dw::RunHostCommand(command, 30000);
    // Wine does not wait for host programs: wait for the mark.
    if (!dw::WaitUntil([&] { return GetFileAttributesA(doneDos.c_str()) != INVALID_FILE_ATTRIBUTES; }, 30000)) {
        Fail("no picture " + png);
        return;
    }
    DeleteFileA(doneDos.c_str());
    Log(png);
}

// Opens a dialog by a menu command (0: it is already open), photographs it
// and closes it as its close box would.
void ShootDialog(dw::Dunewright& program, int command, const char* title, const char* name)
{
    if (command != 0)
        program.Command(command);
    HWND dialog = program.WaitDialog(title);
    Shoot(dialog, name);
    if (dialog == nullptr)
        return;
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    dw::WaitUntil([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }, 5000);
}

int TakeScreenshots(bool all)
{
    dw::ClearSettings();
    if (!MakeSampleTree()) {
        Fail("could not make the sample tree");
        return 1;
    }
    CreateDirectoryA("C:\\Dunewright", nullptr);
    dw::Dunewright program;
    dw::Dunewright::Options options;
    options.workDir = "C:\\Dunewright";
    if (!program.Start(options)) {
        Fail("Dunewright did not start");
        return 1;
    }
    program.SetText(IDC_MAIN_FOLDER, kSampleRoot);
    program.Command(IDC_MAIN_GO);
    HWND scanOptions = program.WaitDialog("Scan Options - BRACKENMOORWORKS");
    if (all)
        Shoot(scanOptions, "scan-options");
    if (scanOptions)
        program.Press(scanOptions, IDOK);
    if (!program.WaitScanEnd())
        Fail("the scan did not end");
    Shoot(program.Main(), "main-window");
    if (!all) {
        // For checking by eye: the row menu opened with the Menu key, and
        // the window at the smallest size it takes.
        if (program.BringToFront() && program.ClickRow(3) && dw::TypeKey(VK_APPS) && program.WaitPopupMenu())
            Shoot(program.Main(), "main-window-row-menu");
        else
            Fail("no row menu");
        dw::TypeKey(VK_ESCAPE);
        RECT normal{};
        GetWindowRect(program.Main(), &normal);
        SetWindowPos(program.Main(), nullptr, 0, 0, 300, 200, SWP_NOMOVE | SWP_NOZORDER);
        Shoot(program.Main(), "main-window-smallest");
        SetWindowPos(program.Main(), nullptr, 0, 0, normal.right - normal.left, normal.bottom - normal.top,
                     SWP_NOMOVE | SWP_NOZORDER);
    }

    // The largest files and the file types of the whole scan.
    ShootDialog(program, IDM_LARGEST_FILES, "Largest Files - BRACKENMOORWORKS", "largest-files");

    if (all) {
        ShootDialog(program, IDM_OPTIONS, "Options - BRACKENMOORWORKS", "options");
        ShootDialog(program, IDM_SAVE_REPORT, "Save Options - BRACKENMOORWORKS", "save-report-options");
        ShootDialog(program, IDM_LINKS, "Links - BRACKENMOORWORKS", "links");
        ShootDialog(program, IDM_ABOUT, "About - BRACKENMOORWORKS", "about");
        // Donate first says whether its donation address is intact.
        program.Command(IDM_DONATE);
        if (const auto box = program.WaitMessageBox())
            program.Press(box->window, IDOK);
        else
            Fail("no donation check box");
        ShootDialog(program, 0, "Donate - BRACKENMOORWORKS", "donate");
    }
    // Leaving with unsaved results asks first: the message box.
    program.Command(IDM_EXIT);
    const auto box = program.WaitMessageBox();
    if (all)
        Shoot(box ? box->window : nullptr, "message-box");
    if (box)
        program.Press(box->window, IDYES);
    DWORD code = 0;
    if (!program.WaitExit(10000, &code))
        program.Kill();
    return failures == 0 ? 0 : 1;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    if (__argc != 4)
        return 2;
    hostFolder = __argv[1];
    suffix = __argv[2];
    const bool all = std::string(__argv[3]) == "all";
    logFile = std::fopen(OnHost(hostFolder + "/shots" + suffix + ".log").c_str(), "wb");
    const int result = TakeScreenshots(all);
    Log(result == 0 ? "ok" : "failed");
    if (logFile)
        std::fclose(logFile);
    return result;
}

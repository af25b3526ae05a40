// The scan worker against the main window's side of a scan, in this
// process: the real worker, the real request handling and the real Stop,
// on a bare window that serves the requests as the main window does.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "app/app_state.h"
#include "res/resource_ids.h"
#include "scan/folder_read.h"
#include "scan/scan_rules.h"
#include "scan/scan_worker.h"
#include "ui/scan_control.h"

namespace {

constexpr UINT kPressStop = WM_APP + 60;
std::atomic<bool> stopReturned{false};

LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message >= kFirstScanRequest && message <= kLastScanRequest)
        return ServeScanRequest(window, message, wParam, lParam);
    if (message == kPressStop) {
        StopScan();
        stopReturned = true;
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

struct BoxSearch {
    const char* text;
    HWND found;
};

BOOL CALLBACK TakeBox(HWND window, LPARAM search)
{
    BoxSearch& box = *reinterpret_cast<BoxSearch*>(search);
    char text[200] = {};
    const HWND label = GetDlgItem(window, 0xFFFF);
    if (label != nullptr && GetWindowTextA(label, text, sizeof text) > 0 &&
        std::strncmp(text, box.text, std::strlen(box.text)) == 0) {
        box.found = window;
        return FALSE;
    }
    return TRUE;
}

// A message box of `thread` whose text starts with `text`.
HWND FindBox(DWORD thread, const char* text)
{
    BoxSearch box{text, nullptr};
    EnumThreadWindows(thread, TakeBox, reinterpret_cast<LPARAM>(&box));
    return box.found;
}

// The over-long-path box runs its own message loop, in which Stop can be
// pressed; Stop waits for the worker. The worker must not be waiting for
// the box meanwhile, or neither ever ends ("Awaiting thread exit." for
// good). The limit is lowered so that an ordinary folder passes it.
TEST(ScanWorker, StopWhileTheOverLongPathBoxIsUpEndsTheScan)
{
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string root = std::string(temp) + "dw-worker-" + std::to_string(GetCurrentProcessId());
    const std::string child = root + "\\" + std::string(40, 'a');
    ASSERT_TRUE(CreateDirectoryA(root.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(child.c_str(), nullptr));
    const std::wstring wideRoot(root.begin(), root.end());
    SetLongestPathForTest(ReadingPath(wideRoot).size() + 10);

    ResetAppState();
    app.scanOptions = DefaultScanOptions();
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = MainProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "DwScanWorkerTest";
    RegisterClassA(&windowClass);
    HWND main = CreateWindowA("DwScanWorkerTest", "", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr, nullptr,
                              windowClass.hInstance, nullptr);
    ASSERT_NE(main, nullptr);
    CreateWindowA("EDIT", root.c_str(), WS_CHILD, 0, 0, 300, 20, main,
                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_MAIN_FOLDER)), windowClass.hInstance, nullptr);
    app.mainWindow = main;

    // As Go starts a scan, once the options are confirmed.
    ASSERT_TRUE(StartScanWorker(main));
    ASSERT_NE(app.workerThread, nullptr);

    const DWORD ui = GetCurrentThreadId();
    bool boxShown = false, hung = false;
    std::thread user([&] {
        HWND box = nullptr;
        for (int i = 0; i < 2000 && box == nullptr; ++i, Sleep(10))
            box = FindBox(ui, "ERROR: PathName too long.");
        boxShown = box != nullptr;
        if (box == nullptr) {
            PostThreadMessageA(ui, WM_QUIT, 0, 0);
            return;
        }
        PostMessageA(main, kPressStop, 0, 0);
        // While the worker lives, Stop asks first: Yes.
        for (int i = 0; i < 2000 && !stopReturned; ++i, Sleep(10)) {
            if (HWND ask = FindBox(ui, "Stop the current scan?"))
                PostMessageA(ask, WM_COMMAND, IDYES, 0);
        }
        if (!stopReturned) {
            // Stop waits for a worker that waits for the box: end it here,
            // so that the test can say so.
            hung = true;
            TerminateThread(app.workerThread, 0);
            while (!stopReturned)
                Sleep(10);
        }
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    });
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    user.join();

    EXPECT_TRUE(boxShown);
    EXPECT_FALSE(hung);
    EXPECT_TRUE(stopReturned);
    EXPECT_EQ(app.status, Stopped);
    EXPECT_EQ(app.workerThread, nullptr);
    DestroyWindow(main);
    SetLongestPathForTest(kLongestPath);
    RemoveDirectoryA(child.c_str());
    RemoveDirectoryA(root.c_str());
}

}  // namespace

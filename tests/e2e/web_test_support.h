#pragma once

// Shared by the web, About and Donate end-to-end tests: the program runs
// with TEMP pointing at a fresh folder of the test's own, and every target
// the shell is handed is recorded by dw_recorder.exe instead of opened.

#include <gtest/gtest.h>

#include <windows.h>

#include <tlhelp32.h>

#include <string>
#include <vector>

#include "driver.h"
#include "recording_handler.h"

namespace dwtest {

inline const std::string kPageName = std::string(dw::kAppVersion) + " - Internet Referrering Page.htm";

// True while a dw_recorder.exe (started by the shell for the program) runs.
inline bool RecorderRunning()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return true;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    bool running = false;
    for (BOOL more = Process32First(snapshot, &entry); more && !running; more = Process32Next(snapshot, &entry))
        running = lstrcmpiA(entry.szExeFile, "dw_recorder.exe") == 0;
    CloseHandle(snapshot);
    return running;
}

class WebTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(RegisterRecordingHandler());
        temp_ = dw::MakeTempDir("web-temp");
        log_ = dw::MakeTempDir("web-log") + "\\recorded.log";
        SetRecorderLog(log_);
        // Inherited by the program started next.
        SetEnvironmentVariableA("TEMP", temp_.c_str());
        SetEnvironmentVariableA("TMP", temp_.c_str());
    }

    std::string PagePath() const { return temp_ + "\\" + kPageName; }
    std::string Page() const { return dw::ReadFileBytes(PagePath()).value_or(""); }
    // The targets recorded, once there are `count` and no recorder runs any
    // more: a target opened too many is there too.
    std::vector<std::string> Targets(size_t count) const
    {
        WaitRecordedTargets(log_, count);
        return TargetsNow();
    }
    // The targets recorded, once no recorder runs any more. The shell starts
    // the recorder before the program's command returns, so after a Barrier
    // this holds every target the program has opened.
    std::vector<std::string> TargetsNow() const
    {
        EXPECT_TRUE(dw::WaitUntil([] { return !RecorderRunning(); })) << "a recorder still runs";
        return RecordedTargets(log_);
    }

    // Answers a box and waits until it is gone, so the next wait finds the
    // next box.
    static void Answer(dw::Dunewright& program, const dw::Box& box, int button)
    {
        program.Press(box.window, button);
        EXPECT_TRUE(dw::WaitUntil([&] { return !IsWindow(box.window); }));
    }

    // Gives `command` to `dialog` (to the main window when null) and
    // answers the box it brings with `button`. False when no box came.
    static bool CommandAndAnswer(dw::Dunewright& program, int command, int button, HWND dialog = nullptr)
    {
        if (dialog != nullptr)
            program.CommandTo(dialog, command);
        else
            program.Command(command);
        auto box = program.WaitMessageBox();
        if (!box)
            return false;
        Answer(program, *box, button);
        return true;
    }

    // Starts the program and opens a dialog with `open`; nullptr when
    // either fails.
    static HWND StartAndOpen(dw::Dunewright& program, HWND (*open)(dw::Dunewright&))
    {
        if (!program.Start()) {
            ADD_FAILURE() << "the program did not start";
            return nullptr;
        }
        return open(program);
    }

    // Closes a dialog with its close box; true once it is gone.
    static bool CloseDialog(HWND dialog, int ms = 10000)
    {
        PostMessageA(dialog, WM_CLOSE, 0, 0);
        return dw::WaitUntil([&] { return !IsWindow(dialog); }, ms);
    }

    static HWND Owner(HWND window) { return GetWindow(window, GW_OWNER); }

    std::string temp_, log_;
};

}  // namespace dwtest

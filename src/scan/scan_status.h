#pragma once

#include <cstdint>

// What the status line shows; 0 to 3 mean a scan is running.
enum ScanStatus : int32_t {
    Spin0 = 0,
    Spin1 = 1,
    Spin2 = 2,
    Spin3 = 3,
    Done = 4,
    Stopped = 5,
    NoData = 6,
    AwaitingExit = 7,
};

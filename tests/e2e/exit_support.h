#pragma once

// Ends a started program the way a user does, shared by the dialog and
// settings tests that read what the program stored on its way out.

#include <gtest/gtest.h>

#include "driver.h"

namespace dwtest {

// File > Exit: the program ends, with exit code 1.
inline void Exit(dw::Dunewright& program)
{
    program.Command(IDM_EXIT);
    DWORD code = 0;
    ASSERT_TRUE(program.WaitExit(10000, &code));
    EXPECT_EQ(code, 1u);
}

}  // namespace dwtest

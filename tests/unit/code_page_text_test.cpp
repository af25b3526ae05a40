// Code-page text made from UTF-16 paths: never a best-fit look-alike.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "app/code_page_text.h"

namespace {

TEST(CodePageText, LostCharactersBecomeQuestionMarksNeverLookAlikes)
{
    if (GetACP() != 1252)
        GTEST_SKIP() << "written for code page 1252, this system uses " << GetACP();
    // Best fit would give "Lodz", the name of another folder.
    EXPECT_EQ(ToCodePage(L"C:\\\u0141\u00f3d\u017a\\"), "C:\\?\xf3" "d?\\");
    EXPECT_EQ(ToCodePage(L"\u8868\U0001F600x"), "???x");  // each half of the emoji's pair is one '?'
    EXPECT_EQ(FromCodePage("C:\\\xe9t\xe9"), L"C:\\\u00e9t\u00e9");

    // Cut to fit, at a character's start, always terminated.
    char out[4];
    EXPECT_EQ(ToCodePage(L"ab\U0001F600", out, sizeof out), 2u);  // "ab??" does not fit
    EXPECT_STREQ(out, "ab");
    EXPECT_EQ(ToCodePage(L"abcdef", out, sizeof out), 3u);
    EXPECT_STREQ(out, "abc");
}

}  // namespace

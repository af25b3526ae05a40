// Code-page text made from UTF-16 paths: never a best-fit look-alike.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "base/code_page_text.h"

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

// Code page 932 writes "表" as 0x95 0x5C: its second byte is no separator.
TEST(CodePageText, ATrailByteOf0x5CIsNoBackslash)
{
    if (!IsValidCodePage(932))
        GTEST_SKIP() << "code page 932 is not installed";
    const std::string table = "C:\\\x95\x5C";  // C:\表
    EXPECT_FALSE(EndsInBackslash(table, 932));
    EXPECT_TRUE(EndsInBackslash(table + "\\", 932));
    EXPECT_EQ(LastBackslash(table, 932), 2u);
    EXPECT_EQ(LastBackslash(table + "\\x", 932), 5u);
    // The same bytes under code page 1252 are two characters, 0x5C the last.
    EXPECT_TRUE(EndsInBackslash(table, 1252));
}

}  // namespace

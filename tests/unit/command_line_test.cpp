// A folder handed to a new instance on its command line comes back whole.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "app/command_line.h"

namespace {

// What Windows gives a program started with `text` as its one argument.
std::vector<std::wstring> Split(const std::wstring& arguments)
{
    const std::wstring line = L"Dunewright.exe " + arguments;
    int count = 0;
    LPWSTR* values = CommandLineToArgvW(line.c_str(), &count);
    std::vector<std::wstring> split;
    for (int i = 1; i < count; ++i)
        split.emplace_back(values[i]);
    LocalFree(values);
    return split;
}

}  // namespace

TEST(CommandLine, AQuotedFolderIsGivenBackWholeAsTheOnlyArgument)
{
    const std::wstring folders[] = {
        L"C:\\Data\\",
        L"C:\\My Data\\",
        L"\\\\server\\share name\\x\\\\",
        L"D:\\odd\"name\\",
        L"D:\\\u5199\u771f \u0141\u00f3d\u017a\\",
        L"  spaced  ",
        L"",
    };
    for (const std::wstring& folder : folders) {
        const auto split = Split(QuotedArgument(folder));
        ASSERT_EQ(split.size(), 1u) << QuotedArgument(folder).size();
        EXPECT_EQ(split[0], folder);
        EXPECT_EQ(FolderArgument(split), folder);
    }
    // A folder typed in quotes with its backslash, as Windows splits it.
    EXPECT_EQ(FolderArgument(Split(L"\"C:\\My Data\\\"")), L"C:\\My Data\\");
    EXPECT_FALSE(FolderArgument({}));
    EXPECT_FALSE(FolderArgument({L"a", L"b"}));
}

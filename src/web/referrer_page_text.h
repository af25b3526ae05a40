#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The pieces of the local referrer page, the small HTML page through which
// every web address is opened: its file name, where it goes, its text, and
// the update-check address. No window code here.

// "<AppVersion> - Internet Referrering Page.htm": the file name and the
// page title. `name` holds at least 260 characters; returns its length.
size_t FormatReferrerPageName(char* name);

// The page folder is TEMP, or TMP when TEMP is empty; `temp` and `tmp` are
// the values as read (empty when unset). The page's path is the folder, a
// backslash unless it ends with one, and `pageName`, whole in UTF-16. False,
// with `path` untouched, when neither value is usable: either value is
// longer than 259 units less the name's length, both are empty, or the
// path would pass 259 units.
bool ComposeReferrerPagePath(std::wstring_view temp, std::wstring_view tmp, std::wstring_view pageName,
                             std::wstring& path);

// The page for `address`, titled `pageName`: 30 lines separated by line
// feeds, no line end after the last. Returns false when it does not fit in
// `size` characters (the text is then cut short and must not be used).
bool FormatReferrerPageText(char* text, size_t size, const char* pageName, const char* address);

// The product page, a backslash added by AddBackslash,
// "version_checker.pl?version=" and the version text, unencoded.
// `address` holds at least 260 characters.
void ComposeUpdateCheckAddress(char* address);

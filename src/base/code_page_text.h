#pragma once

// Paths are UTF-16 everywhere inside the program. Code-page text is made
// only where a file format or an ANSI interface needs it, and never by best
// fit: a character the code page cannot hold becomes '?', so a name that
// cannot be written whole never turns into the name of another, existing
// folder ("Łódź" is written "?ód?" under code page 1252, not "Lodz").

#include <string>
#include <string_view>

// The system code page's text for `text`.
std::string ToCodePage(std::wstring_view text);

// Writes at most `size` - 1 bytes of the code page's text for `text` into
// `out` and terminates it (size > 0); a character is never cut in half.
// Returns the bytes written.
size_t ToCodePage(std::wstring_view text, char* out, size_t size);

// The UTF-16 text of a system code page text.
std::wstring FromCodePage(std::string_view text);

// Backslashes in code-page text. Under a double-byte code page the byte
// 0x5C is also the second byte of many characters (code page 932 writes
// "表" as 0x95 0x5C), so a byte test would take such a character for a
// separator. These walk the text a character at a time. `codePage` 0 is
// the system code page.

// True when the text's last character is a backslash.
bool EndsInBackslash(std::string_view text, unsigned codePage = 0);
// The offset of the last backslash character, or std::string_view::npos.
size_t LastBackslash(std::string_view text, unsigned codePage = 0);

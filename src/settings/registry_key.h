#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

// One open registry key, closed when it goes out of scope. Move-only, so a
// handle is never closed twice.
class RegistryKey {
public:
    RegistryKey() = default;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    RegistryKey(RegistryKey&& other) noexcept : key_(other.key_) { other.key_ = nullptr; }
    RegistryKey& operator=(RegistryKey&& other) noexcept;
    ~RegistryKey() { Close(); }

    // Opens an existing key for reading.
    static RegistryKey OpenForReading(HKEY parent, const char* path);
    // Creates the key, or opens it when it exists, with full access.
    static RegistryKey Create(HKEY parent, const char* path);

    bool IsOpen() const { return key_ != nullptr; }
    // For registry calls the methods below do not cover; still owned here.
    HKEY Handle() const { return key_; }
    void Close();

    // A value of exactly four bytes, little-endian, whatever type it is
    // stored with. False, with `number` untouched, when it is missing,
    // shorter, or too long for four bytes.
    bool ReadNumber(const char* name, int32_t* number) const;

    // A text value as UTF-16, whole, up to its first NUL. A value of a
    // string type gives the UTF-16 text it holds, so a name outside the
    // code page survives; any other type is taken as code-page text. False,
    // with `text` untouched, when the value is missing or longer than
    // `longest` units (by default 32,767, the longest path).
    bool ReadWideText(const char* name, std::wstring& text, size_t longest = 32767) const;

    // REG_SZ holding the text without its terminating NUL.
    bool WriteText(const char* name, const char* text) const;
    // REG_SZ holding the UTF-16 text without its terminating NUL.
    bool WriteWideText(const char* name, std::wstring_view text) const;
    // REG_DWORD, four bytes, little-endian.
    bool WriteNumber(const char* name, int32_t number) const;

private:
    explicit RegistryKey(HKEY key) : key_(key) {}
    HKEY key_ = nullptr;
};

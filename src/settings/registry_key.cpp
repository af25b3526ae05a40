#include "settings/registry_key.h"

#include <cstring>
#include <vector>

#include "base/code_page_text.h"

namespace {

constexpr size_t kLongestText = 32767;

}  // namespace

RegistryKey& RegistryKey::operator=(RegistryKey&& other) noexcept
{
    if (this != &other) {
        Close();
        key_ = other.key_;
        other.key_ = nullptr;
    }
    return *this;
}

RegistryKey RegistryKey::OpenForReading(HKEY parent, const char* path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(parent, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return RegistryKey();
    return RegistryKey(key);
}

RegistryKey RegistryKey::Create(HKEY parent, const char* path)
{
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExA(parent, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition) != ERROR_SUCCESS)
        return RegistryKey();
    return RegistryKey(key);
}

void RegistryKey::Close()
{
    if (key_ != nullptr) {
        RegCloseKey(key_);
        key_ = nullptr;
    }
}

bool RegistryKey::ReadNumber(const char* name, int32_t* number) const
{
    if (key_ == nullptr)
        return false;
    BYTE data[4] = {};
    DWORD length = sizeof data;
    if (RegQueryValueExA(key_, name, nullptr, nullptr, data, &length) != ERROR_SUCCESS || length != sizeof data)
        return false;
    const uint32_t value = static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8 |
                           static_cast<uint32_t>(data[2]) << 16 | static_cast<uint32_t>(data[3]) << 24;
    *number = static_cast<int32_t>(value);
    return true;
}

bool RegistryKey::WriteText(const char* name, const char* text) const
{
    if (key_ == nullptr)
        return false;
    // The registry counts a NUL that happens to follow the given bytes into
    // a string value; a byte other than NUL after the text keeps it out.
    char data[4097];
    const size_t length = std::strlen(text);
    if (length >= sizeof data)
        return false;
    std::memcpy(data, text, length);
    data[length] = '\x01';
    return RegSetValueExA(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data), static_cast<DWORD>(length)) ==
           ERROR_SUCCESS;
}

bool RegistryKey::ReadWideText(const char* name, std::wstring& text, size_t longest) const
{
    if (longest > kLongestText)
        longest = kLongestText;
    if (key_ == nullptr)
        return false;
    const std::wstring wideName = FromCodePage(name);
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key_, wideName.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return false;
    // The value may grow between the two questions: ask again, a few times.
    std::vector<BYTE> data;
    LONG result = ERROR_MORE_DATA;
    for (int attempt = 0; attempt < 4 && result == ERROR_MORE_DATA; ++attempt) {
        if (size > (kLongestText + 1) * sizeof(wchar_t))
            return false;
        data.assign(size + sizeof(wchar_t), 0);
        result = RegQueryValueExW(key_, wideName.c_str(), nullptr, &type, data.data(), &size);
    }
    if (result != ERROR_SUCCESS)
        return false;
    std::wstring read;
    if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
        const wchar_t* units = reinterpret_cast<const wchar_t*>(data.data());
        size_t length = 0;
        while (length < size / sizeof(wchar_t) && units[length] != L'\0')
            ++length;
        read.assign(units, length);
    } else {
        const char* bytes = reinterpret_cast<const char*>(data.data());
        read = FromCodePage(std::string_view(bytes, strnlen(bytes, size)));
    }
    if (read.size() > longest)
        return false;
    text = std::move(read);
    return true;
}

bool RegistryKey::WriteWideText(const char* name, std::wstring_view text) const
{
    if (key_ == nullptr || text.size() > kLongestText)
        return false;
    // As for WriteText: a unit other than NUL after the text keeps a NUL
    // that happens to follow out of the value.
    std::wstring data(text);
    data += L'\x01';
    return RegSetValueExW(key_, FromCodePage(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.data()),
                          static_cast<DWORD>(text.size() * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool RegistryKey::WriteNumber(const char* name, int32_t number) const
{
    if (key_ == nullptr)
        return false;
    const uint32_t value = static_cast<uint32_t>(number);
    const BYTE data[4] = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8), static_cast<BYTE>(value >> 16),
                          static_cast<BYTE>(value >> 24)};
    return RegSetValueExA(key_, name, 0, REG_DWORD, data, sizeof data) == ERROR_SUCCESS;
}

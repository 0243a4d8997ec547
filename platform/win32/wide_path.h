// UTF-16 texts of the platform interfaces as the wide strings the Win32 calls take.
#pragma once

#include <string>
#include <string_view>

namespace platform::win32 {

// The text as a NUL-terminated wide string; false when it holds a NUL of its own, which no
// Win32 name can contain.
inline bool ToWide(std::u16string_view text, std::wstring& out) {
    if (text.find(u'\0') != std::u16string_view::npos) return false;
    out.assign(text.begin(), text.end());
    return true;
}

inline std::u16string FromWide(const wchar_t* text, std::size_t length) {
    return std::u16string(text, text + length);
}

}  // namespace platform::win32

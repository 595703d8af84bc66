#pragma once
// The host protocol carries text as UTF-16 code units (the same in both
// bitnesses and natively); on Windows a wide string holds exactly those.
#include <string>

namespace quillmount {

inline std::u16string Utf16(const std::wstring& s) { return std::u16string(s.begin(), s.end()); }
inline std::wstring Wide(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }

}  // namespace quillmount

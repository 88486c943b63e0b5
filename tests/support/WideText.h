#pragma once

#include <string>
#include <string_view>

namespace zvtest {

// The wide text of code points: above U+FFFF one 32-bit wchar_t or a surrogate
// pair of 16-bit ones; a lone surrogate stays one unit.
inline std::wstring Wide(std::u32string_view codePoints)
{
    std::wstring out;
    for (char32_t cp : codePoints) {
        if (sizeof(wchar_t) == 2 && cp >= 0x10000) {
            out += static_cast<wchar_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<wchar_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += static_cast<wchar_t>(cp);
        }
    }
    return out;
}

} // namespace zvtest

#include "envjson/JsonFileText.h"

#include <zvenv/platform/Text.h>

#include <cstdint>
#include <cwchar>

namespace zv::envjson {

std::string EncodeDocumentFile(const wchar_t* text)
{
    const std::size_t length = text ? std::wcslen(text) : 0;
    std::string out;
    // Room for the mark and one unit per character; line feeds and characters
    // beyond the basic plane grow it a little.
    out.reserve(2 + length * 2 + length / 16);
    out.push_back(static_cast<char>(0xFF));
    out.push_back(static_cast<char>(0xFE));
    auto put = [&out](std::uint32_t unit) {
        out.push_back(static_cast<char>(unit & 0xFF));
        out.push_back(static_cast<char>((unit >> 8) & 0xFF));
    };
    for (std::size_t i = 0; i < length; ++i) {
        std::uint32_t cp = static_cast<std::uint32_t>(text[i]);
        if (cp == L'\n') {
            put(0x000D);
            put(0x000A);
        } else if (sizeof(wchar_t) >= 4 && cp >= 0x10000 && cp <= 0x10FFFF) {
            cp -= 0x10000;
            put(0xD800 + (cp >> 10));
            put(0xDC00 + (cp & 0x3FF));
        } else {
            put(cp & 0xFFFF);
        }
    }
    return out;
}

} // namespace zv::envjson

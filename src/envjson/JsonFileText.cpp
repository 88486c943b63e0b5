#include "envjson/JsonFileText.h"

#include <zvenv/platform/Text.h>

#include <cstdint>
#include <cwchar>

namespace zv::envjson {

std::string EncodeDocumentFile(const wchar_t* text)
{
    const std::size_t length = text ? std::wcslen(text) : 0;
    // The exact size first: a document keeps these bytes after its save, so
    // no room is left over, and the text is written without regrowing.
    std::size_t units = length;
    for (std::size_t i = 0; i < length; ++i) {
        const auto cp = static_cast<std::uint32_t>(text[i]);
        units += cp == L'\n' || (sizeof(wchar_t) >= 4 && cp >= 0x10000 && cp <= 0x10FFFF);
    }
    std::string out(2 + 2 * units, '\0');
    char* p = &out[0];
    *p++ = static_cast<char>(0xFF);
    *p++ = static_cast<char>(0xFE);
    auto put = [&p](std::uint32_t unit) {
        *p++ = static_cast<char>(unit & 0xFF);
        *p++ = static_cast<char>((unit >> 8) & 0xFF);
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

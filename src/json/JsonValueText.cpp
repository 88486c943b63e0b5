#include "json/JsonBody.h"

#include <cwchar>

// How the escapes of names and strings are resolved. The grammar has checked
// every escape when the document was parsed.
namespace zv::json {

namespace {

std::uint32_t HexValue(wchar_t c)
{
    if (c >= L'0' && c <= L'9')
        return static_cast<std::uint32_t>(c - L'0');
    if (c >= L'a' && c <= L'f')
        return static_cast<std::uint32_t>(c - L'a' + 10);
    return static_cast<std::uint32_t>(c - L'A' + 10);
}

// The four hexadecimal digits of a \u escape at text[i], which must be there.
std::uint32_t ReadUnit(std::wstring_view text, std::size_t i)
{
    return (HexValue(text[i]) << 12) | (HexValue(text[i + 1]) << 8) | (HexValue(text[i + 2]) << 4) |
           HexValue(text[i + 3]);
}

bool IsHighSurrogate(std::uint32_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(std::uint32_t unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// A code point as wide text: one wchar_t where it holds 32 bits, a surrogate
// pair where it holds 16.
void AppendCodePoint(std::wstring& out, std::uint32_t code)
{
    if constexpr (sizeof(wchar_t) == 2) {
        if (code > 0xFFFF) {
            code -= 0x10000;
            out += static_cast<wchar_t>(0xD800 + (code >> 10));
            out += static_cast<wchar_t>(0xDC00 + (code & 0x3FF));
            return;
        }
    }
    out += static_cast<wchar_t>(code);
}

} // namespace

bool Unescape(std::wstring_view text, std::wstring& out)
{
    out.clear();
    const wchar_t* backslash = std::wmemchr(text.data(), L'\\', text.size());
    if (!backslash) {
        out.assign(text);
        return false;
    }
    out.reserve(text.size());
    out.append(text.data(), static_cast<std::size_t>(backslash - text.data()));
    std::size_t i = static_cast<std::size_t>(backslash - text.data());
    while (i < text.size()) {
        const wchar_t c = text[i++];
        if (c != L'\\' || i == text.size()) {
            out += c;
            continue;
        }
        const wchar_t kind = text[i++];
        switch (kind) {
        case kQuoteMark:
            out += L'"';
            break;
        case L'b':
            out += L'\b';
            break;
        case L'f':
            out += L'\f';
            break;
        case L'n':
            out += L'\n';
            break;
        case L'r':
            out += L'\r';
            break;
        case L't':
            out += L'\t';
            break;
        case L'u': {
            if (i + 4 > text.size()) {
                out += kind;
                break;
            }
            const std::uint32_t unit = ReadUnit(text, i);
            i += 4;
            // An escaped pair of surrogates is one code point; a surrogate
            // without its partner is kept as the one unit it is.
            if (IsHighSurrogate(unit) && i + 6 <= text.size() && text[i] == L'\\' && text[i + 1] == L'u') {
                const std::uint32_t low = ReadUnit(text, i + 2);
                if (IsLowSurrogate(low)) {
                    AppendCodePoint(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                    i += 6;
                    break;
                }
            }
            out += static_cast<wchar_t>(unit);
            break;
        }
        default:
            out += kind; // a double quote (never in a stripped text), "/" and the backslash itself
            break;
        }
    }
    return true;
}

} // namespace zv::json

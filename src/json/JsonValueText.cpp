#include "json/JsonBody.h"

#include <algorithm>
#include <cwchar>

// The value texts of the parser: which texts are numbers, and how the escapes
// of names and strings are resolved.
namespace zv::json {

namespace {

bool IsDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}
bool IsOctalDigit(wchar_t c)
{
    return c >= L'0' && c <= L'7';
}
bool IsHexDigit(wchar_t c)
{
    return IsDigit(c) || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

std::uint32_t HexValue(wchar_t c)
{
    const std::uint32_t difference = (static_cast<std::uint32_t>(c) - L'0') & 0xFFFFu;
    if (difference <= 9)
        return difference;
    return difference <= 48 ? difference - 7 : difference - 39;
}

// Reads up to count characters at text[i] as hexadecimal digits.
std::uint32_t ReadHex(std::wstring_view text, std::size_t& i, int count)
{
    std::uint32_t value = 0;
    for (int n = 0; n < count && i < text.size(); ++n)
        value = value * 16 + HexValue(text[i++]);
    return value & 0xFFFFu;
}

bool IsHighSurrogate(std::uint32_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(std::uint32_t unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

} // namespace

bool IsNumberText(std::wstring_view text)
{
    const std::size_t size = text.size();
    if (size == 0)
        return false;
    bool point = false;
    bool exponent = false;
    std::size_t i = 0;
    const wchar_t first = text[0];
    if (first >= L'1' && first <= L'9') {
        i = 1;
    } else if (first == L'+' || first == L'-') {
        if (size == 1 || text[1] == L'.' || text[1] == L'e' || text[1] == L'E')
            return false;
        // A zero after the sign opens no octal or hexadecimal form.
        i = text[1] == L'0' ? 2 : 1;
    } else if (first == L'.') {
        point = true;
        i = 1;
    } else if (first == L'0') {
        if (size == 1)
            return true;
        const wchar_t second = text[1];
        if (second == L'.') {
            point = true;
            i = 2;
        } else if (second >= L'1' && second <= L'7') {
            return std::all_of(text.begin() + 1, text.end(), IsOctalDigit);
        } else if (second == L'x') {
            return std::all_of(text.begin() + 2, text.end(), IsHexDigit);
        } else if (second == L'e' || second == L'E') {
            if (size < 3 || !(text[2] == L'+' || text[2] == L'-' || IsDigit(text[2])))
                return false;
            exponent = true;
            i = 3;
        } else {
            return false;
        }
    } else {
        return false;
    }

    while (i < size) {
        const wchar_t c = text[i];
        if (IsDigit(c)) {
            ++i;
        } else if (c == L'.') {
            if (point || exponent)
                return false;
            point = true;
            ++i;
        } else if (c == L'e' || c == L'E') {
            if (exponent)
                return false;
            exponent = true;
            if (i + 1 < size && IsDigit(text[i + 1]))
                i += 1;
            else if (i + 2 < size && (text[i + 1] == L'+' || text[i + 1] == L'-') && IsDigit(text[i + 2]))
                i += 2;
            else
                return false;
        } else {
            return false;
        }
    }
    return true;
}

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
        if (c != L'\\') {
            out += c;
            continue;
        }
        if (i == text.size()) {
            out += c; // a backslash with nothing after it stays as it is
            break;
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
        case L'v':
            out += L'\v';
            break;
        case L'x':
            out += static_cast<wchar_t>(ReadHex(text, i, 2));
            break;
        case L'u': {
            const std::uint32_t unit = ReadHex(text, i, 4);
            // A pair of escaped surrogates is one code point.
            if (IsHighSurrogate(unit) && i + 1 < text.size() && text[i] == L'\\' && text[i + 1] == L'u') {
                std::size_t next = i + 2;
                const std::uint32_t low = ReadHex(text, next, 4);
                if (IsLowSurrogate(low)) {
                    out += static_cast<wchar_t>(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                    i = next;
                    break;
                }
            }
            out += static_cast<wchar_t>(unit);
            break;
        }
        default:
            if (IsOctalDigit(kind)) {
                // Three octal digits, the last two taken as they come.
                std::uint32_t value = static_cast<std::uint32_t>(kind - L'0');
                for (int n = 0; n < 2 && i < text.size(); ++n)
                    value = value * 8 + static_cast<std::uint32_t>(text[i++] - L'0');
                out += static_cast<wchar_t>(value & 0xFFFFu);
            } else {
                out += kind; // "/", backslash and anything else stand for themselves
            }
            break;
        }
    }
    return true;
}

} // namespace zv::json

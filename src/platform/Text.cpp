#include <zvenv/platform/Text.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>

namespace zv::text {
namespace {

struct CasePair {
    std::uint32_t from;
    std::uint32_t to;
};

#include "CaseTables.inc"

template <std::size_t N> std::uint32_t MapCase(const CasePair (&table)[N], std::uint32_t cp)
{
    const auto it = std::lower_bound(std::begin(table), std::end(table), cp,
                                     [](const CasePair& p, std::uint32_t v) { return p.from < v; });
    return (it != std::end(table) && it->from == cp) ? it->to : cp;
}

std::uint32_t UpperOf(std::uint32_t cp)
{
    if (cp < 0x80)
        return (cp >= 'a' && cp <= 'z') ? cp - 32 : cp;
    return MapCase(kUpper, cp);
}

std::uint32_t LowerOf(std::uint32_t cp)
{
    if (cp < 0x80)
        return (cp >= 'A' && cp <= 'Z') ? cp + 32 : cp;
    return MapCase(kLower, cp);
}

std::uint32_t FoldOf(std::uint32_t cp)
{
    return LowerOf(UpperOf(cp));
}

constexpr bool kUtf16 = sizeof(wchar_t) == 2;
bool IsHighSurrogate(std::uint32_t u)
{
    return u >= 0xD800 && u <= 0xDBFF;
}
bool IsLowSurrogate(std::uint32_t u)
{
    return u >= 0xDC00 && u <= 0xDFFF;
}
std::uint32_t Unit(wchar_t ch)
{
    return static_cast<std::uint32_t>(ch);
}

// The code point that starts at text[i] and the units it takes: two for a
// surrogate pair where wchar_t holds 16 bits, otherwise one.
std::uint32_t CodePointAt(const wchar_t* text, std::size_t length, std::size_t i, std::size_t& units)
{
    const std::uint32_t u = Unit(text[i]);
    units = 1;
    if (kUtf16 && IsHighSurrogate(u) && i + 1 < length && IsLowSurrogate(Unit(text[i + 1]))) {
        units = 2;
        return 0x10000 + ((u - 0xD800) << 10) + (Unit(text[i + 1]) - 0xDC00);
    }
    return u;
}

// Maps every code point of a text in place. The case tables never move a
// character between the first plane and the others, so lengths stay.
template <typename Map> void MapText(wchar_t* text, std::size_t length, Map map)
{
    for (std::size_t i = 0; i < length;) {
        std::size_t units;
        const std::uint32_t mapped = map(CodePointAt(text, length, i, units));
        if (units == 2) {
            text[i] = static_cast<wchar_t>(0xD800 + ((mapped - 0x10000) >> 10));
            text[i + 1] = static_cast<wchar_t>(0xDC00 + ((mapped - 0x10000) & 0x3FF));
        } else {
            text[i] = static_cast<wchar_t>(mapped);
        }
        i += units;
    }
}

// Windows-1252 bytes 0x80..0x9F; the five undefined ones map to the C1
// control of the same value, as Windows' own conversion does.
const char16_t kCp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                  0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Length of the well-formed UTF-8 sequence at p (lone surrogates allowed in
// their three-byte form), or 0 when the bytes there are not one.
std::size_t Utf8Sequence(const unsigned char* p, std::size_t left, std::uint32_t& cp)
{
    const unsigned char b0 = p[0];
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    auto cont = [&](std::size_t i) { return i < left && (p[i] & 0xC0) == 0x80; };
    if (b0 >= 0xC2 && b0 <= 0xDF && cont(1)) {
        cp = ((b0 & 0x1Fu) << 6) | (p[1] & 0x3Fu);
        return 2;
    }
    if (b0 >= 0xE0 && b0 <= 0xEF && cont(1) && cont(2)) {
        cp = ((b0 & 0x0Fu) << 12) | ((p[1] & 0x3Fu) << 6) | (p[2] & 0x3Fu);
        return cp >= 0x800 ? 3 : 0;
    }
    if (b0 >= 0xF0 && b0 <= 0xF4 && cont(1) && cont(2) && cont(3)) {
        cp = ((b0 & 0x07u) << 18) | ((p[1] & 0x3Fu) << 12) | ((p[2] & 0x3Fu) << 6) | (p[3] & 0x3Fu);
        return (cp >= 0x10000 && cp <= 0x10FFFF) ? 4 : 0;
    }
    return 0;
}

void AppendCodePoint(std::wstring& out, std::uint32_t cp)
{
    if constexpr (sizeof(wchar_t) >= 4) {
        out.push_back(static_cast<wchar_t>(cp));
    } else {
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<wchar_t>(cp));
        }
    }
}

// The text of a JSON document file by the framing rules of DecodeJsonFile.
std::wstring JsonFileText(const unsigned char* p, std::size_t size)
{
    if (!p || size == 0)
        return std::wstring();
    if (size >= 2 && p[0] == 0xFF && p[1] == 0xFE)
        return DecodeUtf16le(p + 2, size - 2);
    // Any UTF-16 text of JSON holds zero bytes (its brackets and quotes are
    // ASCII), so a file without one is taken as UTF-8 when it is UTF-8.
    if (!std::memchr(p, 0, size)) {
        std::string_view utf8(reinterpret_cast<const char*>(p), size);
        if (utf8.size() >= 3 && utf8.compare(0, 3, "\xEF\xBB\xBF") == 0)
            utf8.remove_prefix(3);
        std::wstring text;
        if (DecodeUtf8(utf8, text))
            return text;
    }
    if (p[0] == 0)
        return std::wstring();
    return DecodeUtf16le(p, size);
}

} // namespace

wchar_t ToUpper(wchar_t ch)
{
    return static_cast<wchar_t>(UpperOf(Unit(ch)));
}
wchar_t ToLower(wchar_t ch)
{
    return static_cast<wchar_t>(LowerOf(Unit(ch)));
}
wchar_t FoldCase(wchar_t ch)
{
    return static_cast<wchar_t>(FoldOf(Unit(ch)));
}

void ToUpper(wchar_t* text, std::size_t length)
{
    MapText(text, length, UpperOf);
}
void ToLower(wchar_t* text, std::size_t length)
{
    MapText(text, length, LowerOf);
}
void FoldCase(wchar_t* text, std::size_t length)
{
    MapText(text, length, FoldOf);
}

int CompareNoCase(std::wstring_view a, std::wstring_view b)
{
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        std::size_t unitsA;
        std::size_t unitsB;
        const std::uint32_t x = FoldOf(CodePointAt(a.data(), a.size(), i, unitsA));
        const std::uint32_t y = FoldOf(CodePointAt(b.data(), b.size(), j, unitsB));
        if (x != y)
            return x < y ? -1 : 1;
        i += unitsA;
        j += unitsB;
    }
    return (i == a.size()) == (j == b.size()) ? 0 : (i == a.size() ? -1 : 1);
}

bool EqualNoCase(std::wstring_view a, std::wstring_view b)
{
    return a.size() == b.size() && CompareNoCase(a, b) == 0;
}

std::string EncodeUtf16le(std::wstring_view text)
{
    std::string out;
    out.reserve(text.size() * 2);
    AppendUtf16le(text, out);
    return out;
}

void AppendUtf16le(std::wstring_view text, std::string& out)
{
    std::size_t units = text.size();
    if constexpr (!kUtf16)
        for (wchar_t ch : text)
            units += Unit(ch) >= 0x10000 && Unit(ch) <= 0x10FFFF;
    const std::size_t start = out.size();
    out.resize(start + 2 * units);
    char* p = &out[start];
    auto put = [&p](std::uint32_t unit) {
        *p++ = static_cast<char>(unit & 0xFF);
        *p++ = static_cast<char>((unit >> 8) & 0xFF);
    };
    for (wchar_t ch : text) {
        auto cp = Unit(ch);
        if (!kUtf16 && cp >= 0x10000 && cp <= 0x10FFFF) {
            cp -= 0x10000;
            put(0xD800 + (cp >> 10));
            put(0xDC00 + (cp & 0x3FF));
        } else {
            put(cp & 0xFFFF);
        }
    }
}

std::wstring DecodeUtf16le(const void* bytes, std::size_t size)
{
    const auto* p = static_cast<const unsigned char*>(bytes);
    const std::size_t units = size / 2;
    // Written through a pointer into a buffer of the largest size: files are
    // decoded whole, and a check of the room before every character cost
    // more than the decoding.
    std::wstring out(units, L'\0');
    wchar_t* q = &out[0];
    std::size_t i = 0;
    while (i < units) {
        // Runs of 256 units without a surrogate, the usual case, are
        // converted by a loop the compiler turns into vector code.
        const std::size_t end = i + std::min<std::size_t>(256, units - i);
        unsigned surrogates = 0;
        for (std::size_t k = i; k < end; ++k)
            surrogates |= static_cast<unsigned>((p[2 * k + 1] & 0xF8) == 0xD8);
        if (!surrogates) {
            for (std::size_t k = i; k < end; ++k)
                *q++ = static_cast<wchar_t>(p[2 * k] | (p[2 * k + 1] << 8));
            i = end;
            continue;
        }
        // Unit by unit; a pair may reach one unit past the run.
        while (i < end) {
            const std::uint32_t u = p[2 * i] | (p[2 * i + 1] << 8);
            if constexpr (sizeof(wchar_t) >= 4) {
                if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
                    const std::uint32_t v = p[2 * i + 2] | (p[2 * i + 3] << 8);
                    if (v >= 0xDC00 && v <= 0xDFFF) {
                        *q++ = static_cast<wchar_t>(0x10000 + ((u - 0xD800) << 10) + (v - 0xDC00));
                        i += 2;
                        continue;
                    }
                }
            }
            *q++ = static_cast<wchar_t>(u);
            ++i;
        }
    }
    out.resize(static_cast<std::size_t>(q - out.data()));
    return out;
}

std::string EncodeUtf8(std::wstring_view text)
{
    std::string out;
    out.reserve(text.size());
    AppendUtf8(text, out);
    return out;
}

void AppendUtf8(std::wstring_view text, std::string& out)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto cp = static_cast<std::uint32_t>(text[i]);
        if (sizeof(wchar_t) == 2 && cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size()) {
            const auto lo = static_cast<std::uint32_t>(text[i + 1]);
            if (lo >= 0xDC00 && lo <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
                ++i;
            }
        }
        if (cp > 0x10FFFF)
            cp = 0xFFFD;
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
}

bool DecodeUtf8(std::string_view bytes, std::wstring& out)
{
    out.clear();
    out.reserve(bytes.size());
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t i = 0;
    while (i < bytes.size()) {
        std::uint32_t cp = 0;
        const std::size_t n = Utf8Sequence(p + i, bytes.size() - i, cp);
        if (n == 0)
            return false;
        AppendCodePoint(out, cp);
        i += n;
    }
    return true;
}

std::wstring DecodeUtf8Lenient(std::string_view bytes)
{
    std::wstring out;
    out.reserve(bytes.size());
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t i = 0;
    while (i < bytes.size()) {
        std::uint32_t cp = 0;
        const std::size_t n = Utf8Sequence(p + i, bytes.size() - i, cp);
        if (n == 0) {
            const unsigned char b = p[i];
            out.push_back(b >= 0x80 && b < 0xA0 ? static_cast<wchar_t>(kCp1252High[b - 0x80])
                                                : static_cast<wchar_t>(b));
            ++i;
            continue;
        }
        AppendCodePoint(out, cp);
        i += n;
    }
    return out;
}

std::wstring DecodeWindows1252(std::string_view bytes)
{
    std::wstring out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out.push_back(b >= 0x80 && b < 0xA0 ? static_cast<wchar_t>(kCp1252High[b - 0x80]) : static_cast<wchar_t>(b));
    }
    return out;
}

bool EncodeWindows1252(std::wstring_view text, std::string& out)
{
    out.clear();
    out.reserve(text.size());
    bool ok = true;
    for (wchar_t ch : text) {
        const auto cp = static_cast<std::uint32_t>(ch);
        if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
            out.push_back(static_cast<char>(cp));
            continue;
        }
        const auto it = std::find(std::begin(kCp1252High), std::end(kCp1252High), static_cast<char16_t>(cp));
        if (cp <= 0xFFFF && it != std::end(kCp1252High)) {
            out.push_back(static_cast<char>(0x80 + (it - std::begin(kCp1252High))));
        } else {
            out.push_back('?');
            ok = false;
        }
    }
    return ok;
}

std::wstring DecodeJsonFile(const void* bytes, std::size_t size)
{
    std::wstring text = JsonFileText(static_cast<const unsigned char*>(bytes), size);
    if (text.empty())
        text = L"{\r\n}";
    return text;
}

} // namespace zv::text

#include <zvenv/platform/CString.h>
#include <zvenv/platform/Text.h>

#include <cwchar>
#include <string>
#include <vector>

// The platform's printf conversions over typed arguments. Each conversion is
// checked here and handed to swprintf with an explicit width of its argument,
// so "%s" is always a wide string, whatever glibc's swprintf makes of it.
namespace zv {
namespace {

class ArgReader {
public:
    ArgReader(const FormatArg* args, std::size_t count) : m_args(args), m_count(count) {}
    const FormatArg* Next() { return m_next < m_count ? &m_args[m_next++] : nullptr; }
    long long NextInt()
    {
        const FormatArg* a = Next();
        if (!a)
            return 0;
        switch (a->kind) {
        case FormatArg::Int:
            return a->i;
        case FormatArg::UInt:
            return static_cast<long long>(a->u);
        case FormatArg::Double:
            return static_cast<long long>(a->d);
        default:
            return 0;
        }
    }
    double NextDouble()
    {
        const FormatArg* a = Next();
        if (!a)
            return 0.0;
        switch (a->kind) {
        case FormatArg::Int:
            return static_cast<double>(a->i);
        case FormatArg::UInt:
            return static_cast<double>(a->u);
        case FormatArg::Double:
            return a->d;
        default:
            return 0.0;
        }
    }

private:
    const FormatArg* m_args;
    std::size_t m_count;
    std::size_t m_next = 0;
};

struct Conversion {
    std::wstring flags;
    int width = -1;
    int precision = -1;
    enum Size { Default, Char, Short, Long, LongLong, Wide, Narrow } size = Default;
};

void Pad(std::wstring& out, const std::wstring& text, const Conversion& conversion)
{
    const bool left = conversion.flags.find(L'-') != std::wstring::npos;
    const auto width = static_cast<std::size_t>(conversion.width > 0 ? conversion.width : 0);
    if (!left && text.size() < width)
        out.append(width - text.size(), L' ');
    out += text;
    if (left && text.size() < width)
        out.append(width - text.size(), L' ');
}

std::wstring Printf(const std::wstring& format, long long i)
{
    std::vector<wchar_t> buf(96);
    const int n = std::swprintf(buf.data(), buf.size(), format.c_str(), i);
    return n > 0 ? std::wstring(buf.data(), static_cast<std::size_t>(n)) : std::wstring();
}

std::wstring PrintfU(const std::wstring& format, unsigned long long u)
{
    std::vector<wchar_t> buf(96);
    const int n = std::swprintf(buf.data(), buf.size(), format.c_str(), u);
    return n > 0 ? std::wstring(buf.data(), static_cast<std::size_t>(n)) : std::wstring();
}

std::wstring PrintfD(const std::wstring& format, double d, const Conversion& conversion)
{
    // %f of 1e308 needs 309 digits before the point.
    std::vector<wchar_t> buf(
        static_cast<std::size_t>(400 + std::max(conversion.width, 0) + std::max(conversion.precision, 0)));
    const int n = std::swprintf(buf.data(), buf.size(), format.c_str(), d);
    return n > 0 ? std::wstring(buf.data(), static_cast<std::size_t>(n)) : std::wstring();
}

std::wstring NumberFormat(const Conversion& conversion, const wchar_t* length, wchar_t conv)
{
    std::wstring f = L"%" + conversion.flags;
    if (conversion.width >= 0)
        f += std::to_wstring(conversion.width);
    if (conversion.precision >= 0)
        f += L"." + std::to_wstring(conversion.precision);
    f += length;
    f += conv;
    return f;
}

std::wstring TextOf(const FormatArg* a, bool wideDefault)
{
    if (!a)
        return std::wstring();
    switch (a->kind) {
    case FormatArg::WideText:
        return a->ws ? std::wstring(a->ws) : std::wstring(L"(null)");
    case FormatArg::NarrowText:
        return a->s ? text::DecodeUtf8Lenient(a->s) : std::wstring(L"(null)");
    case FormatArg::Pointer:
        return a->p ? std::wstring() : std::wstring(L"(null)");
    default:
        (void)wideDefault;
        return std::wstring();
    }
}

} // namespace

std::wstring FormatText(const wchar_t* format, const FormatArg* args, std::size_t count)
{
    std::wstring out;
    if (!format)
        return out;
    ArgReader reader(args, count);
    const wchar_t* p = format;
    while (*p) {
        if (*p != L'%') {
            out += *p++;
            continue;
        }
        const wchar_t* start = p++;
        if (*p == L'%') {
            out += L'%';
            ++p;
            continue;
        }
        Conversion conversion;
        while (*p && std::wcschr(L"-+ #0", *p))
            conversion.flags += *p++;
        if (*p == L'*') {
            const long long w = reader.NextInt();
            if (w < 0) {
                conversion.flags += L'-';
                conversion.width = static_cast<int>(-w);
            } else {
                conversion.width = static_cast<int>(w);
            }
            ++p;
        } else if (*p >= L'0' && *p <= L'9') {
            conversion.width = 0;
            while (*p >= L'0' && *p <= L'9')
                conversion.width = std::min(conversion.width * 10 + (*p++ - L'0'), 4096);
        }
        if (*p == L'.') {
            ++p;
            conversion.precision = 0;
            if (*p == L'*') {
                const long long pr = reader.NextInt();
                conversion.precision = pr < 0 ? -1 : static_cast<int>(std::min(pr, 4096LL));
                ++p;
            } else {
                while (*p >= L'0' && *p <= L'9')
                    conversion.precision = std::min(conversion.precision * 10 + (*p++ - L'0'), 4096);
            }
        }
        if (p[0] == L'I' && p[1] == L'6' && p[2] == L'4') {
            conversion.size = Conversion::LongLong;
            p += 3;
        } else if (p[0] == L'I' && p[1] == L'3' && p[2] == L'2') {
            conversion.size = Conversion::Default;
            p += 3;
        } else if (p[0] == L'h' && p[1] == L'h') {
            conversion.size = Conversion::Char;
            p += 2;
        } else if (p[0] == L'l' && p[1] == L'l') {
            conversion.size = Conversion::LongLong;
            p += 2;
        } else if (*p == L'h') {
            conversion.size = Conversion::Short;
            ++p;
        } else if (*p == L'l') {
            conversion.size = Conversion::Long;
            ++p;
        } else if (*p == L'w') {
            conversion.size = Conversion::Wide;
            ++p;
        } else if (*p == L'L' || *p == L'z' || *p == L'j' || *p == L't' || *p == L'I') {
            conversion.size = (*p == L'L') ? Conversion::Default : Conversion::LongLong;
            ++p;
        }
        const wchar_t conv = *p;
        if (!conv) {
            out.append(start);
            break;
        }
        ++p;
        switch (conv) {
        case L'd':
        case L'i': {
            long long v = reader.NextInt();
            // "l" is 32 bits on the platform, as int is.
            if (conversion.size == Conversion::Char)
                v = static_cast<signed char>(v);
            else if (conversion.size == Conversion::Short)
                v = static_cast<short>(v);
            else if (conversion.size != Conversion::LongLong)
                v = static_cast<std::int32_t>(v);
            out += Printf(NumberFormat(conversion, L"ll", L'd'), v);
            break;
        }
        case L'u':
        case L'o':
        case L'x':
        case L'X': {
            auto v = static_cast<unsigned long long>(reader.NextInt());
            if (conversion.size == Conversion::Char)
                v = static_cast<unsigned char>(v);
            else if (conversion.size == Conversion::Short)
                v = static_cast<unsigned short>(v);
            else if (conversion.size != Conversion::LongLong)
                v = static_cast<std::uint32_t>(v);
            out += PrintfU(NumberFormat(conversion, L"ll", conv), v);
            break;
        }
        case L'f':
        case L'F':
        case L'e':
        case L'E':
        case L'g':
        case L'G':
        case L'a':
        case L'A':
            out += PrintfD(NumberFormat(conversion, L"", conv), reader.NextDouble(), conversion);
            break;
        case L'c':
        case L'C': {
            const auto v = reader.NextInt();
            wchar_t ch = static_cast<wchar_t>(v);
            // A narrow character ("%C" in a wide format, or "%hc") is one byte.
            if (conv == L'C' || conversion.size == Conversion::Short)
                ch = static_cast<wchar_t>(static_cast<unsigned char>(v));
            Pad(out, std::wstring(1, ch), conversion);
            break;
        }
        case L's':
        case L'S': {
            std::wstring text = TextOf(reader.Next(), conv == L's');
            if (conversion.precision >= 0 && text.size() > static_cast<std::size_t>(conversion.precision))
                text.resize(static_cast<std::size_t>(conversion.precision));
            Pad(out, text, conversion);
            break;
        }
        case L'p': {
            const FormatArg* a = reader.Next();
            const auto v = a ? (a->kind == FormatArg::Pointer ? reinterpret_cast<std::uintptr_t>(a->p)
                                                              : static_cast<std::uintptr_t>(a->u))
                             : 0;
            out += PrintfU(L"%016llX", static_cast<unsigned long long>(v));
            break;
        }
        case L'n':
            reader.Next(); // never written through
            break;
        default:
            out.append(start, p);
            break;
        }
    }
    return out;
}

} // namespace zv

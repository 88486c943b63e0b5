#include <zvenv/platform/CRuntime.h>

#include <climits>
#include <cwchar>

namespace zv::crt {

namespace {

bool IsBlank(wchar_t c)
{
    return c == L' ' || (c >= L'\t' && c <= L'\r');
}

// The digit-zero of each script whose decimal digits the platform's wide
// conversions read; each is followed by the other nine in order.
constexpr wchar_t kDigitZeros[] = {0x0030, 0x0660, 0x06F0, 0x0966, 0x09E6, 0x0A66, 0x0AE6, 0x0B66, 0x0C66,
                                   0x0CE6, 0x0D66, 0x0E50, 0x0ED0, 0x0F20, 0x1040, 0x17E0, 0x1810, 0xFF10};

int ValueInBase(wchar_t c, int base)
{
    int value = DigitValue(c);
    if (value < 0) {
        if (c >= L'a' && c <= L'z')
            value = c - L'a' + 10;
        else if (c >= L'A' && c <= L'Z')
            value = c - L'A' + 10;
    }
    return value >= 0 && value < base ? value : -1;
}

// Blanks, one optional sign and the digits of the base after it, with the
// magnitude capped just above 32 bits. Nothing is read when no digit follows
// the sign directly.
struct Number {
    bool negative = false;
    std::uint64_t magnitude = 0;
};

Number ReadNumber(const wchar_t* p, int base)
{
    Number number;
    if (!p || base < 2 || base > 36)
        return number;
    while (IsBlank(*p))
        ++p;
    if (*p == L'+' || *p == L'-')
        number.negative = *p++ == L'-';
    if (base == 16 && DigitValue(p[0]) == 0 && (p[1] == L'x' || p[1] == L'X'))
        p += 2;
    constexpr std::uint64_t kCap = std::uint64_t{1} << 33;
    for (int digit; (digit = ValueInBase(*p, base)) >= 0; ++p) {
        number.magnitude = number.magnitude * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
        if (number.magnitude > kCap)
            number.magnitude = kCap;
    }
    return number;
}

} // namespace

int DigitValue(wchar_t ch)
{
    for (wchar_t zero : kDigitZeros) {
        if (ch >= zero && ch < zero + 10)
            return ch - zero;
    }
    return -1;
}

std::uint32_t wcstoul(const wchar_t* text, int base)
{
    const Number number = ReadNumber(text, base);
    if (number.magnitude > 0xFFFFFFFFu)
        return 0xFFFFFFFFu;
    const auto magnitude = static_cast<std::uint32_t>(number.magnitude);
    return number.negative ? 0u - magnitude : magnitude;
}

std::int32_t wcstol(const wchar_t* text, int base)
{
    const Number number = ReadNumber(text, base);
    if (number.negative)
        return number.magnitude > std::uint64_t{1} << 31
                   ? INT32_MIN
                   : static_cast<std::int32_t>(-static_cast<std::int64_t>(number.magnitude));
    return number.magnitude > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(number.magnitude);
}

int wtoi(const wchar_t* text)
{
    return wcstol(text, 10);
}

double wtof(const wchar_t* text)
{
    return text ? std::wcstod(text, nullptr) : 0.0;
}

// Written by hand: documents turn every integer they read into this text,
// and the formatted-print path costs more than the rest of a cached read.
CString IntText(int value)
{
    wchar_t digits[12];
    wchar_t* p = digits + 12;
    auto magnitude = static_cast<unsigned int>(value);
    if (value < 0)
        magnitude = 0u - magnitude;
    do {
        *--p = static_cast<wchar_t>(L'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0)
        *--p = L'-';
    return CString(p, static_cast<int>(digits + 12 - p));
}

CString DoubleText(double value)
{
    CString text;
    text.Format(L"%f", value);
    return text;
}

} // namespace zv::crt

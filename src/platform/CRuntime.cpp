#include <zvenv/platform/CRuntime.h>

#include <climits>
#include <cwchar>
#include <cwctype>

namespace zv::crt {

int wtoi(const wchar_t* text)
{
    if (!text)
        return 0;
    const wchar_t* p = text;
    while (std::iswspace(*p))
        ++p;
    bool negative = false;
    if (*p == L'+' || *p == L'-')
        negative = *p++ == L'-';
    long long magnitude = 0;
    for (; *p >= L'0' && *p <= L'9'; ++p) {
        magnitude = magnitude * 10 + (*p - L'0');
        if (magnitude > static_cast<long long>(INT_MAX) + 1)
            return negative ? INT_MIN : INT_MAX;
    }
    if (negative)
        return static_cast<int>(-magnitude);
    return magnitude > INT_MAX ? INT_MAX : static_cast<int>(magnitude);
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

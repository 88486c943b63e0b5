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

CString IntText(int value)
{
    CString text;
    text.Format(L"%d", value);
    return text;
}

CString DoubleText(double value)
{
    CString text;
    text.Format(L"%f", value);
    return text;
}

} // namespace zv::crt

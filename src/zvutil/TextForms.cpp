#include <zvenv/ZvUtil.h>

#include <cstdint>
#include <cwchar>

namespace {

CString Join(const long* fields, int count, LPCWSTR separator)
{
    CString text;
    for (int i = 0; i < count; ++i) {
        if (i > 0 && separator)
            text += separator;
        CString field;
        field.Format(L"%ld", fields[i]);
        text += field;
    }
    return text;
}

bool IsFieldSeparator(wchar_t c)
{
    return c == L',' || c == L';' || c == L'|' || c == L' ' || c == L'\t';
}

// Reads up to count decimal fields; a field that is not a number reads as 0
// and the scan moves past it.
void ReadFields(LPCWSTR text, long* fields, int count)
{
    for (int i = 0; i < count; ++i)
        fields[i] = 0;
    if (!text)
        return;
    const wchar_t* p = text;
    for (int i = 0; i < count && *p; ++i) {
        while (*p == L' ' || *p == L'\t')
            ++p;
        wchar_t* end = nullptr;
        long value = std::wcstol(p, &end, 10);
        if (end != p)
            fields[i] = value < INT32_MIN ? INT32_MIN : value > INT32_MAX ? INT32_MAX : value;
        p = end;
        while (*p && !IsFieldSeparator(*p))
            ++p;
        while (*p == L' ' || *p == L'\t')
            ++p;
        if (IsFieldSeparator(*p))
            ++p;
    }
}

} // namespace

CString RGBToString(COLORREF colour, LPCWSTR separator)
{
    const long fields[] = {GetRValue(colour), GetGValue(colour), GetBValue(colour)};
    return Join(fields, 3, separator);
}

CString SizeToString(const CSize& size, LPCWSTR separator)
{
    const long fields[] = {size.cx, size.cy};
    return Join(fields, 2, separator);
}

CString PointToString(const CPoint& point, LPCWSTR separator)
{
    const long fields[] = {point.x, point.y};
    return Join(fields, 2, separator);
}

CString RectToString(const CRect& rect, LPCWSTR separator)
{
    const long fields[] = {rect.left, rect.top, rect.right, rect.bottom};
    return Join(fields, 4, separator);
}

COLORREF StringToRGB(LPCWSTR text)
{
    long f[3];
    ReadFields(text, f, 3);
    auto channel = [](long v) { return static_cast<unsigned>(v < 0 ? 0 : v > 255 ? 255 : v); };
    return RGB(channel(f[0]), channel(f[1]), channel(f[2]));
}

CSize StringToSize(LPCWSTR text)
{
    long f[2];
    ReadFields(text, f, 2);
    return CSize(static_cast<LONG>(f[0]), static_cast<LONG>(f[1]));
}

CPoint StringToPoint(LPCWSTR text)
{
    long f[2];
    ReadFields(text, f, 2);
    return CPoint(static_cast<LONG>(f[0]), static_cast<LONG>(f[1]));
}

CRect StringToRect(LPCWSTR text)
{
    long f[4];
    ReadFields(text, f, 4);
    return CRect(static_cast<LONG>(f[0]), static_cast<LONG>(f[1]), static_cast<LONG>(f[2]), static_cast<LONG>(f[3]));
}

int StringToArray(const CString& text, CStringArray& pieces, LPCWSTR delimiter)
{
    pieces.RemoveAll();
    if (text.IsEmpty())
        return 0;
    const std::size_t delimiterLength = delimiter ? std::wcslen(delimiter) : 0;
    if (delimiterLength == 0) {
        pieces.Add(text);
        return 1;
    }
    const std::wstring& whole = text.str();
    std::size_t start = 0;
    for (;;) {
        std::size_t found = whole.find(delimiter, start, delimiterLength);
        if (found == std::wstring::npos) {
            if (start < whole.size())
                pieces.Add(CString(whole.substr(start)));
            break;
        }
        pieces.Add(CString(whole.substr(start, found - start)));
        start = found + delimiterLength;
    }
    return pieces.GetSize();
}

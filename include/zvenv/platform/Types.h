#pragma once

#include <cstdint>

// The platform's basic types. On Windows they are the platform's own, so a
// host that includes <windows.h> before or after these headers sees one
// BOOL, one POINT and one RGB; elsewhere they are declared here with their
// Windows widths.
#ifdef _WIN32

#include <windows.h>

#else

using BOOL = int;
using UINT = unsigned int;
using DWORD = unsigned long;
using COLORREF = unsigned long;
using LONG = std::int32_t;
using LPCWSTR = const wchar_t*;
using LPWSTR = wchar_t*;
using LPCTSTR = const wchar_t*;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

struct tagPOINT {
    LONG x;
    LONG y;
};
using POINT = tagPOINT;

struct tagSIZE {
    LONG cx;
    LONG cy;
};
using SIZE = tagSIZE;

struct tagRECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};
using RECT = tagRECT;

constexpr COLORREF RGB(unsigned r, unsigned g, unsigned b)
{
    return (r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16);
}
constexpr unsigned GetRValue(COLORREF c) { return c & 0xFF; }
constexpr unsigned GetGValue(COLORREF c) { return (c >> 8) & 0xFF; }
constexpr unsigned GetBValue(COLORREF c) { return (c >> 16) & 0xFF; }

#endif

// An opaque iteration position, as the platform's collections hand out.
struct __POSITION {};
using POSITION = __POSITION*;

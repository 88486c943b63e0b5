#pragma once

#include <cstdint>

/// \file
/// The platform's basic types. On Windows they are the platform's own, so a
/// host that includes <windows.h> before or after these headers sees one
/// BOOL, one POINT and one RGB; elsewhere they are declared here with their
/// Windows widths.

/// An opaque iteration position, as the platform's collections hand out.
struct __POSITION {};
/// A place in a CMap's iteration, from GetStartPosition(); null after the last entry.
using POSITION = __POSITION*;

#ifdef _WIN32

#include <windows.h>

#else

/// A truth value: 0 is false, anything else true (TRUE is 1).
using BOOL = int;
/// An unsigned 32-bit number.
using UINT = unsigned int;
/// An unsigned number of at least 32 bits: a size, a count, an error code.
using DWORD = unsigned long;
/// A colour: red in the low byte, then green, then blue (see RGB()).
using COLORREF = unsigned long;
/// A signed 32-bit number, the field type of POINT, SIZE and RECT.
using LONG = std::int32_t;
/// A null-terminated wide text that is only read.
using LPCWSTR = const wchar_t*;
/// A wide buffer that is written.
using LPWSTR = wchar_t*;
/// The same as LPCWSTR: the library's texts are always wide.
using LPCTSTR = const wchar_t*;

#ifndef TRUE
/// The BOOL value for true.
#define TRUE 1
#endif
#ifndef FALSE
/// The BOOL value for false.
#define FALSE 0
#endif

/// A point with 32-bit coordinates.
struct tagPOINT {
    LONG x; ///< Horizontal coordinate.
    LONG y; ///< Vertical coordinate.
};
/// The platform's name of tagPOINT.
using POINT = tagPOINT;

/// A width and a height.
struct tagSIZE {
    LONG cx; ///< The width.
    LONG cy; ///< The height.
};
/// The platform's name of tagSIZE.
using SIZE = tagSIZE;

/// A rectangle by its edges; right and bottom lie just outside it.
struct tagRECT {
    LONG left;   ///< The left edge.
    LONG top;    ///< The top edge.
    LONG right;  ///< The right edge, one past the last column inside.
    LONG bottom; ///< The bottom edge, one past the last row inside.
};
/// The platform's name of tagRECT.
using RECT = tagRECT;

/// The colour of red, green and blue components, each 0 to 255 (higher bits are dropped).
constexpr COLORREF RGB(unsigned r, unsigned g, unsigned b)
{
    return (r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16);
}
/// The red component of a colour.
constexpr unsigned GetRValue(COLORREF c)
{
    return c & 0xFF;
}
/// The green component of a colour.
constexpr unsigned GetGValue(COLORREF c)
{
    return (c >> 8) & 0xFF;
}
/// The blue component of a colour.
constexpr unsigned GetBValue(COLORREF c)
{
    return (c >> 16) & 0xFF;
}

#endif

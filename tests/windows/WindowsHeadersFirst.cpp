// <windows.h> first, with UNICODE, then every public header: the platform's
// types are the ones the headers use. (The engine's profile functions beside
// kernel32's are the wine comparison's matter.)
#define UNICODE
#include <windows.h>

#include "AllPublicHeaders.h"

#include <gtest/gtest.h>

#include <type_traits>

static_assert(std::is_same_v<LONG, long> && std::is_same_v<DWORD, unsigned long> && std::is_same_v<BOOL, int>);
static_assert(std::is_base_of_v<tagPOINT, CPoint> && std::is_base_of_v<tagSIZE, CSize> &&
              std::is_base_of_v<tagRECT, CRect>);
static_assert(sizeof(CRect) == sizeof(RECT) && sizeof(CPoint) == sizeof(POINT));
static_assert(std::is_same_v<decltype(POINT::x), LONG>);

TEST(WindowsHeadersFirst, PlatformTypesAndMacrosAgree)
{
    const RECT& platform = CRect(1, 2, 30, 40);
    EXPECT_EQ(29, platform.right - platform.left);
    EXPECT_EQ(GetGValue(RGB(1, 2, 3)), 2);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(CString(L"no such file"))) << "kernel32 takes our text";
}

// <windows.h> first, with UNICODE, then every public header: the platform's
// types are the ones the headers use, and the engine's profile functions sit
// beside kernel32's, which read what ours write.
#define UNICODE
#include <windows.h>

#include "AllPublicHeaders.h"

#include "ZvTest.h"

#include <gtest/gtest.h>

#include <type_traits>

static_assert(std::is_same_v<LONG, long> && std::is_same_v<DWORD, unsigned long> && std::is_same_v<BOOL, int>);
static_assert(std::is_base_of_v<tagPOINT, CPoint> && std::is_base_of_v<tagSIZE, CSize> &&
              std::is_base_of_v<tagRECT, CRect>);
static_assert(sizeof(CRect) == sizeof(RECT) && sizeof(CPoint) == sizeof(POINT));
static_assert(std::is_same_v<decltype(POINT::x), LONG>);

TEST(WindowsHeadersFirst, PlatformTypesAndTheEngineBesideKernel32)
{
    const RECT& platform = CRect(1, 2, 30, 40);
    EXPECT_EQ(29, platform.right - platform.left);
    EXPECT_EQ(GetGValue(RGB(1, 2, 3)), 2);
    zvtest::TempDir dir;
    const CString file((dir / "oracle.ini").c_str());
    ASSERT_TRUE(zv::ProfileWriteString(L"Main", L"Title", L" \"Trade\" ", file));
    wchar_t value[64] = {};
    EXPECT_EQ(5u, GetPrivateProfileStringW(L"main", L"TITLE", L"", value, 64, file));
    EXPECT_STREQ(L"Trade", value);
    ASSERT_TRUE(WritePrivateProfileStringW(L"Main", L"Count", L"7", file));
    EXPECT_EQ(1u, zv::ProfileGetString(L"MAIN", L"count", L"", value, 64, file));
    EXPECT_STREQ(L"7", value);
}

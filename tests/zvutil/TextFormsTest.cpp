#include <zvenv/ZvUtil.h>

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

// What people type is read leniently: any separator, missing or unreadable fields 0, channels clamped.
TEST(UtilTextForms, WritesReadableFieldsAndReadsThemBack)
{
    EXPECT_STREQ(RGBToString(RGB(255, 128, 0), L","), L"255,128,0");
    EXPECT_STREQ(PointToString(CPoint(10, -20), L","), L"10,-20");
    EXPECT_STREQ(SizeToString(CSize(640, 480), L", "), L"640, 480");
    EXPECT_STREQ(RectToString(CRect(1, 2, 3, 4), L","), L"1,2,3,4");
    const int values[] = {0, 1, -1, 255, -32768, 65535, INT_MAX, INT_MIN};
    for (int a : values)
        for (int b : values) {
            EXPECT_EQ(StringToPoint(PointToString(CPoint(a, b), L",")), CPoint(a, b));
            EXPECT_EQ(StringToSize(SizeToString(CSize(a, b), L";")), CSize(a, b));
            EXPECT_EQ(StringToRect(RectToString(CRect(a, b, b, a), L",")), CRect(a, b, b, a));
        }
    for (unsigned r = 0; r < 256; r += 51)
        for (unsigned g = 0; g < 256; g += 85)
            EXPECT_EQ(StringToRGB(RGBToString(RGB(r, g, 255 - r), L",")), RGB(r, g, 255 - r));

    EXPECT_EQ(StringToPoint(L" 10 , 20 "), CPoint(10, 20));
    EXPECT_EQ(StringToPoint(L"10 20"), CPoint(10, 20));
    EXPECT_EQ(StringToRect(L"1;2|3,4"), CRect(1, 2, 3, 4));
    EXPECT_EQ(StringToRect(L"1,2"), CRect(1, 2, 0, 0));
    EXPECT_EQ(StringToPoint(L"x,7"), CPoint(0, 7)) << "an unreadable field is 0, the next still read";
    EXPECT_EQ(StringToPoint(nullptr), CPoint(0, 0));
    EXPECT_EQ(StringToRGB(L"300,-5,12"), RGB(255, 0, 12));
    EXPECT_EQ(StringToPoint(L"99999999999,-99999999999"), CPoint(INT_MAX, INT_MIN));
}

} // namespace

#include <zvenv/ZvUtil.h>

#include <gtest/gtest.h>

#include <climits>

namespace {

TEST(UtilTextForms, WritesReadableFields)
{
    EXPECT_STREQ(RGBToString(RGB(255, 128, 0), L","), L"255,128,0");
    EXPECT_STREQ(PointToString(CPoint(10, -20), L","), L"10,-20");
    EXPECT_STREQ(SizeToString(CSize(640, 480), L", "), L"640, 480");
    EXPECT_STREQ(RectToString(CRect(1, 2, 3, 4), L","), L"1,2,3,4");
}

TEST(UtilTextForms, ReadsBackWhatItWrites)
{
    const int values[] = {0, 1, -1, 255, -32768, 65535, INT_MAX, INT_MIN};
    for (int a : values)
        for (int b : values) {
            EXPECT_EQ(StringToPoint(PointToString(CPoint(a, b), L",")), CPoint(a, b));
            EXPECT_EQ(StringToSize(SizeToString(CSize(a, b), L";")), CSize(a, b));
            CRect rect(a, b, b, a);
            EXPECT_EQ(StringToRect(RectToString(rect, L",")), rect);
        }
    for (unsigned r = 0; r < 256; r += 51)
        for (unsigned g = 0; g < 256; g += 85)
            EXPECT_EQ(StringToRGB(RGBToString(RGB(r, g, 255 - r), L",")), RGB(r, g, 255 - r));
}

TEST(UtilTextForms, ReadsWhatPeopleType)
{
    EXPECT_EQ(StringToPoint(L" 10 , 20 "), CPoint(10, 20));
    EXPECT_EQ(StringToPoint(L"10 20"), CPoint(10, 20));
    EXPECT_EQ(StringToRect(L"1;2|3,4"), CRect(1, 2, 3, 4));
    EXPECT_EQ(StringToRect(L"1,2"), CRect(1, 2, 0, 0)) << "missing fields read as 0";
    EXPECT_EQ(StringToPoint(L"x,7"), CPoint(0, 7)) << "an unreadable field is 0, the next still read";
    EXPECT_EQ(StringToPoint(L""), CPoint(0, 0));
    EXPECT_EQ(StringToPoint(nullptr), CPoint(0, 0));
    EXPECT_EQ(StringToRGB(L"300,-5,12"), RGB(255, 0, 12)) << "channels are clamped";
    EXPECT_EQ(StringToPoint(L"99999999999,-99999999999"), CPoint(INT_MAX, INT_MIN));
}

TEST(UtilStringToArray, SplitsAtEveryDelimiter)
{
    CStringArray pieces;
    EXPECT_EQ(StringToArray(L"a|b", pieces, L"|"), 2);
    EXPECT_EQ(StringToArray(L"a|b|", pieces, L"|"), 2) << "the empty piece after the last delimiter is dropped";
    EXPECT_EQ(StringToArray(L"a||b", pieces, L"|"), 3);
    EXPECT_STREQ(pieces[1], L"");
    EXPECT_STREQ(pieces[2], L"b");
    EXPECT_EQ(StringToArray(L"|a", pieces, L"|"), 2);
    EXPECT_STREQ(pieces[0], L"");
    EXPECT_EQ(StringToArray(L"|", pieces, L"|"), 1);
    EXPECT_EQ(StringToArray(L"", pieces, L"|"), 0);
    EXPECT_EQ(pieces.GetSize(), 0) << "the target is emptied first";
}

TEST(UtilStringToArray, MultiCharacterAndMissingDelimiters)
{
    CStringArray pieces;
    EXPECT_EQ(StringToArray(L"one::two:three::", pieces, L"::"), 2);
    EXPECT_STREQ(pieces[1], L"two:three");
    EXPECT_EQ(StringToArray(L"a,b", pieces, nullptr), 1);
    EXPECT_STREQ(pieces[0], L"a,b");
    EXPECT_EQ(StringToArray(L"a,b", pieces, L""), 1);
    EXPECT_EQ(StringToArray(L"aaa", pieces, L"aa"), 2) << "matches do not overlap";
    EXPECT_STREQ(pieces[1], L"a");
}

} // namespace

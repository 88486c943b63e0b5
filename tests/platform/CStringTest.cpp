#include <zvenv/platform/CRuntime.h>
#include <zvenv/platform/CString.h>
#include <zvenv/platform/Text.h>

#include "WideText.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

TEST(CStringFormat, ConversionsHaveThePlatformMeaning)
{
    CString s;
    s.Format(L"%s|%d|%u|%o|%X|%02X|%f|%.2f|%02d|%04d|%%", L"wide", -5, 7u, 8, 255, 10, 1.5, 2.345, 3, -12);
    EXPECT_STREQ(L"wide|-5|7|10|FF|0A|1.500000|2.35|03|-012|%", s.GetString());
    CString name(L"caf\u00e9");
    s.Format(L"[%s] [%5s] [%-5s] [%.2s]", name, L"ab", L"ab", L"abcdef");
    EXPECT_STREQ(L"[caf\u00e9] [   ab] [ab   ] [ab]", s.GetString());
    s.Format(L"%d %u %X", -1, -1, -1);
    EXPECT_STREQ(L"-1 4294967295 FFFFFFFF", s.GetString());
    s.Format(L"%I64d %lld %c %s", 1LL << 40, -(1LL << 40), L'\u00e9', static_cast<const wchar_t*>(nullptr));
    EXPECT_STREQ(L"1099511627776 -1099511627776 \u00e9 (null)", s.GetString());
    s.Format(L"100%%");
    EXPECT_STREQ(L"100%", s.GetString());
    for (int value : {0, 7, -7, 10, -10, 123456789, INT_MAX, INT_MIN, INT_MIN + 1}) {
        s.Format(L"%d", value);
        EXPECT_EQ(zv::crt::IntText(value), s) << value;
    }
}

TEST(CStringCase, EveryCharacterMapsAsTheCaseTablesSay)
{
    // ASCII takes a shortcut; its edges and what lies beyond come out as the tables say.
    std::wstring text;
    for (wchar_t c = 1; c < 0x250; ++c)
        text += c;
    text += L"\u0391\u03b1\u0401\u0451\u1e9e\uff21\uff41";
    CString upper(text), lower(text);
    upper.MakeUpper();
    lower.MakeLower();
    for (int i = 0; i < upper.GetLength(); ++i) {
        EXPECT_EQ(upper[i], zv::text::ToUpper(text[static_cast<std::size_t>(i)])) << std::hex << int(text[i]);
        EXPECT_EQ(lower[i], zv::text::ToLower(text[static_cast<std::size_t>(i)])) << std::hex << int(text[i]);
    }
    EXPECT_EQ(CString(L"Az@[`{\u00e9").MakeUpper(), CString(L"AZ@[`{\u00c9"));
    EXPECT_EQ(CString(L"Az@[`{\u00c9").MakeLower(), CString(L"az@[`{\u00e9"));
    // Beyond U+FFFF a character is one, whatever the width of wchar_t.
    using zvtest::Wide;
    EXPECT_EQ(CString(Wide(U"d\U00010428").c_str()).MakeUpper(), CString(Wide(U"D\U00010400").c_str()));
    EXPECT_EQ(CString(Wide(U"a\U0001F600b").c_str()).MakeReverse(), CString(Wide(U"b\U0001F600a").c_str()));
    EXPECT_EQ(CString(Wide(U"\U00010400").c_str()).CompareNoCase(Wide(U"\U00010428").c_str()), 0);
    CString copy = upper; // shares the text until one of the two changes
    copy.MakeLower();
    EXPECT_NE(copy, upper);
}

} // namespace

#include <zvenv/platform/CRuntime.h>
#include <zvenv/platform/CString.h>
#include <zvenv/platform/Text.h>

#include "ZvTest.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

namespace {

using namespace zv::text;
using zvtest::Wide;

TEST(Encodings, RoundTripEveryPlaneAndLoneSurrogatesAndReadStrayBytesAsWindows1252)
{
    const std::wstring text = Wide(std::u32string{U'A', 0xE9, 0x4E2D, 0xFFFD, 0x1F600, 0x10FFFF, 0xD800, U'x', 0xDFFF});
    const std::string bytes = EncodeUtf16le(text);
    EXPECT_EQ(2u * 11u, bytes.size()); // two pairs for the two characters above U+FFFF
    EXPECT_EQ(text, DecodeUtf16le(bytes.data(), bytes.size()));
    // An odd trailing byte is dropped, not read past.
    EXPECT_EQ(std::wstring(L"A"), DecodeUtf16le("A\0B", 3));
    std::wstring out;
    EXPECT_FALSE(DecodeUtf8("caf\xE9", out));
    EXPECT_EQ(std::wstring(L"caf\u00e9\u20ac"), DecodeUtf8Lenient("caf\xE9\x80"));
    const std::wstring lone = {0xD800, L'a'};
    EXPECT_TRUE(DecodeUtf8(EncodeUtf8(lone), out));
    EXPECT_EQ(lone, out);
    std::string cp;
    EXPECT_TRUE(EncodeWindows1252(L"\u20ac\u00e9", cp));
    EXPECT_EQ("\x80\xE9", cp);
    EXPECT_FALSE(EncodeWindows1252(L"\u4e2d", cp));
}

// How the bytes of a JSON document file become its text.
TEST(JsonFile, FramingRules)
{
    struct JsonFileCase {
        const char* what;
        std::string bytes;
        std::wstring text;
    };
    const std::wstring def = L"{\r\n}";
    const std::string utf16 = EncodeUtf16le(L"{\"\u00e9\": 1}");
    const JsonFileCase cases[] = {
        {"UTF-16LE with its mark", "\xFF\xFE" + utf16, L"{\"\u00e9\": 1}"},
        {"UTF-16LE without a mark", utf16, L"{\"\u00e9\": 1}"},
        {"UTF-8 without a mark", "{\"\xC3\xA9\xF0\x9F\x98\x80\": 1}", L"{\"\u00e9\U0001F600\": 1}"},
        {"UTF-8 with its mark", "\xEF\xBB\xBF{\"a\": 1}", L"{\"a\": 1}"},
        {"ASCII of an even length", "{\"ab\":1}", L"{\"ab\":1}"},
        {"bytes that are not UTF-8, as UTF-16LE", "{\"\xE9\": 1}", DecodeUtf16le("{\"\xE9\": 1}", 8)},
        {"UTF-8 holding a zero byte, as UTF-16LE", std::string("{\"a\0\": 1}", 9), DecodeUtf16le("{\"a\0\": 1}", 8)},
        {"first byte zero: empty", std::string("\0{\0}", 4), def},
        {"no bytes: empty", "", def},
        {"the UTF-16 mark alone: empty", "\xFF\xFE", def},
    };
    for (const JsonFileCase& c : cases)
        EXPECT_EQ(DecodeJsonFile(c.bytes.data(), c.bytes.size()), c.text) << c.what;
}

// Case mapping is Unicode's and locale-free; characters beyond U+FFFF have
// cases too and order after the first plane, whatever the width of wchar_t.
TEST(CaseMapping, IsUnicodeInEveryPlane)
{
    struct Case {
        std::u32string text, upper, lower;
    };
    const Case cases[] = {
        {U"\u00e9\u0414 trade", U"\u00c9\u0414 TRADE", U"\u00e9\u0434 trade"},
        {U"\U00010428x", U"\U00010400X", U"\U00010428x"},
        {U"a\U0001E922\U0001E900", U"A\U0001E900\U0001E900", U"a\U0001E922\U0001E922"},
        {{0xD801, U'a', 0xDC28}, {0xD801, U'A', 0xDC28}, {0xD801, U'a', 0xDC28}}, // lone halves stay
    };
    for (const Case& c : cases) {
        std::wstring upper = Wide(c.text), lower = upper;
        ToUpper(upper.data(), upper.size());
        ToLower(lower.data(), lower.size());
        EXPECT_EQ(Wide(c.upper), upper);
        EXPECT_EQ(Wide(c.lower), lower);
        EXPECT_TRUE(EqualNoCase(Wide(c.upper), Wide(c.lower)));
    }
    EXPECT_FALSE(EqualNoCase(L"trade", L"trades"));
    EXPECT_LT(CompareNoCase(Wide(U"\uFFFD"), Wide(U"\U00010000")), 0);
    EXPECT_LT(CompareNoCase(Wide(U"\uE000z"), Wide(U"\U00010428a")), 0);
}

// Blanks, one sign right before the digits, "0x" in base 16, and the decimal
// digits of the scripts the platform reads (not Tamil's or N'Ko's).
TEST(CRuntime, IntegersReadAsThePlatformReadsThem)
{
    const struct {
        const wchar_t* text;
        int base;
        std::uint32_t unsignedValue;
        std::int32_t signedValue;
    } cases[] = {
        {L" \t\v\f\r\n42", 10, 42, 42},
        {L"+5", 10, 5, 5},
        {L"- 5", 10, 0, 0},
        {L"", 10, 0, 0},
        {L"1\uff12\u0663\u06f4\u096b\u0e56\u1817", 10, 1234567, 1234567}, // fullwidth, Arabic, Indic, Thai, Mongolian
        {L"\u0be7\u0be8", 10, 0, 0},                                      // Tamil
        {L"\u00b2", 10, 0, 0},                                            // a superscript is no decimal digit
        {L"4294967295", 10, 0xFFFFFFFFu, INT32_MAX},
        {L"-99999999999", 10, 0xFFFFFFFFu, INT32_MIN},
        {L"2147483647", 10, 2147483647u, INT32_MAX},
        {L"-2147483648", 10, 0x80000000u, INT32_MIN},
        {L"0xFF", 16, 255, 255},
        {L"-0x10", 16, 0xFFFFFFF0u, -16},
        {L"\uff10x1f", 16, 31, 31},  // a zero of any script opens "0x"
        {L"\uff26\uff26", 16, 0, 0}, // fullwidth letters are no digits
        {L"0x1F", 10, 0, 0},
        {L"\uff11\uff10\uff11", 2, 5, 5},
        {L"19", 8, 1, 1},
        {L"z", 36, 35, 35},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(zv::crt::wcstoul(c.text, c.base), c.unsignedValue) << "base " << c.base << ", case " << &c - cases;
        EXPECT_EQ(zv::crt::wcstol(c.text, c.base), c.signedValue) << "base " << c.base << ", case " << &c - cases;
        EXPECT_TRUE(c.base != 10 || zv::crt::wtoi(c.text) == c.signedValue) << "wtoi, case " << &c - cases;
    }
    EXPECT_EQ(zv::crt::wcstoul(nullptr, 10), 0u);
    EXPECT_EQ(zv::crt::wcstoul(L"12", 1), 0u) << "no base below 2";
}

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
    EXPECT_EQ(CString(Wide(U"d\U00010428").c_str()).MakeUpper(), CString(Wide(U"D\U00010400").c_str()));
    EXPECT_EQ(CString(Wide(U"a\U0001F600b").c_str()).MakeReverse(), CString(Wide(U"b\U0001F600a").c_str()));
    EXPECT_EQ(CString(Wide(U"\U00010400").c_str()).CompareNoCase(Wide(U"\U00010428").c_str()), 0);
    CString copy = upper; // shares the text until one of the two changes
    copy.MakeLower();
    EXPECT_NE(copy, upper);
}

} // namespace

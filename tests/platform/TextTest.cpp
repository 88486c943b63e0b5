#include <zvenv/platform/Text.h>

#include "WideText.h"

#include <gtest/gtest.h>

namespace {

using namespace zv::text;
using zvtest::Wide;

TEST(Utf16, RoundTripsEveryPlaneAndLoneSurrogates)
{
    const std::wstring text = Wide(std::u32string{U'A', 0xE9, 0x4E2D, 0xFFFD, 0x1F600, 0x10FFFF, 0xD800, U'x', 0xDFFF});
    const std::string bytes = EncodeUtf16le(text);
    EXPECT_EQ(2u * 11u, bytes.size()); // two pairs for the two characters above U+FFFF
    EXPECT_EQ(text, DecodeUtf16le(bytes.data(), bytes.size()));
    // An odd trailing byte is dropped, not read past.
    EXPECT_EQ(std::wstring(L"A"), DecodeUtf16le("A\0B", 3));
}

TEST(Utf8, LenientDecodingReadsStrayBytesAsWindows1252)
{
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
        {"the UTF-8 mark alone: empty", "\xEF\xBB\xBF", def},
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
        {U"\U0001F600\u00e9", U"\U0001F600\u00c9", U"\U0001F600\u00e9"},
        {{0xD801, U'a', 0xDC28}, {0xD801, U'A', 0xDC28}, {0xD801, U'a', 0xDC28}}, // lone halves stay
    };
    for (const Case& c : cases) {
        std::wstring upper = Wide(c.text);
        std::wstring lower = Wide(c.text);
        ToUpper(upper.data(), upper.size());
        ToLower(lower.data(), lower.size());
        EXPECT_EQ(Wide(c.upper), upper);
        EXPECT_EQ(Wide(c.lower), lower);
        EXPECT_TRUE(EqualNoCase(Wide(c.upper), Wide(c.lower)));
    }
    EXPECT_TRUE(EqualNoCase(L"Stra\u00dfe", L"STRA\u00dfE"));
    EXPECT_FALSE(EqualNoCase(L"trade", L"trades"));
    EXPECT_LT(CompareNoCase(L"abc", L"ABD"), 0);
    EXPECT_LT(CompareNoCase(Wide(U"\uFFFD"), Wide(U"\U00010000")), 0);
    EXPECT_LT(CompareNoCase(Wide(U"\uE000z"), Wide(U"\U00010428a")), 0);
    EXPECT_GT(CompareNoCase(Wide(U"\U00010400b"), Wide(U"\U00010428A")), 0);
}

} // namespace

#include "IniTestUtil.h"

#include <climits>
#include <tuple>

namespace {

// Without a path reads give defaults and writes fail; copies own their path.
TEST(CTqIniPath, OwnsItsPath)
{
    CTqIni none;
    EXPECT_EQ(none.GetInt(L"S", L"k", 7), 7);
    EXPECT_EQ(none.WriteString(L"S", L"k", L"v"), 0);
    CTqIni a(L"/x/a.ini");
    CTqIni b(a), c;
    c = a;
    a.SetPathName(nullptr);
    EXPECT_STREQ(a.GetPathName(), L"");
    EXPECT_STREQ(b.GetPathName(), L"/x/a.ini");
    const CTqIni& same = c;
    c = same;
    EXPECT_STREQ(c.GetPathName(), L"/x/a.ini") << "assignment copies, also to itself";
    wchar_t buffer[4];
    EXPECT_EQ(b.GetPathName(buffer, 3), 3u);
    EXPECT_STREQ(buffer, L"/x/");
}

using IniValues = IniTest;

// The conversion itself (scripts, signs, saturation) is CRuntimeTest's; these
// are the bases, the defaults and the 32-bit results as CTqIni gives them.
TEST_F(IniValues, NumbersReadWrittenAndIncrementedInEveryBase)
{
    Seed(L"[S]\r\nneg=-5\r\nbig=99999999999\r\nhex=ff\r\nhex0x=0x1F\r\nbin=101\r\noct=17\r\nblank=\r\n"
         L"neghuge=-99999999999\r\n");
    const std::tuple<const wchar_t*, int, int> reads[] = {
        {L"missing", 10, 7}, {L"blank", 10, 7}, {L"neg", 10, -5}, {L"big", 10, -1}, {L"hex", 16, 255},
        {L"hex0x", 16, 31},  {L"bin", 2, 5},    {L"oct", 8, 15},  {L"oct", 3, 17},  {L"hex", 0, 0},
    };
    for (const auto& [key, base, expected] : reads)
        EXPECT_EQ(ini.GetInt(L"S", key, 7, base), expected) << key << " in base " << base;
    EXPECT_EQ(ini.GetUInt(L"S", L"neghuge", 7, 10), 0xFFFFFFFFu);
    EXPECT_EQ(ini.GetUInt(L"S", L"neg", 0), 0xFFFFFFFBu);
    EXPECT_EQ(ini.GetInt(nullptr, L"neg", 7), 7);

    const std::tuple<int, int, bool, const wchar_t*> writes[] = {
        {-1, 16, false, L"FFFFFFFF"},  {5, 2, true, L"101"},
        {8, 8, false, L"10"},          {-7, 10, false, L"-7"},
        {-1, 10, true, L"4294967295"}, {-1, 2, false, L"11111111111111111111111111111111"},
        {255, 5, false, L"255"},       {INT_MIN, 10, false, L"-2147483648"},
    };
    for (const auto& [value, base, isUnsigned, text] : writes) {
        ASSERT_TRUE(isUnsigned ? ini.WriteUInt(L"S", L"k", static_cast<unsigned>(value), base)
                               : ini.WriteInt(L"S", L"k", value, base));
        EXPECT_STREQ(ini.GetString(L"S", L"k"), text);
        EXPECT_EQ(ini.GetInt(L"S", L"k", 0, base), value) << "reads back in its base";
    }
    EXPECT_EQ(ini.WriteInt(nullptr, L"k", 1), 0);
    EXPECT_EQ(ini.WriteInt(L"S", nullptr, 1), 0);
    // Numbers look at 64 characters: the digit after 64 quoted blanks is not seen.
    ini.WriteString(L"S", L"long", (L"\"" + std::wstring(64, L' ') + L"5\"").c_str());
    EXPECT_EQ(ini.GetInt(L"S", L"long", 3), 0);

    ASSERT_TRUE(ini.IncreaseInt(L"S", L"n"));
    ASSERT_TRUE(ini.IncreaseInt(L"S", L"n", 10));
    EXPECT_EQ(ini.GetInt(L"S", L"n", 0), 11);
    ini.WriteInt(L"S", L"h", 0xFE, 16);
    ini.IncreaseUInt(L"S", L"h", 1, 16);
    EXPECT_STREQ(ini.GetString(L"S", L"h"), L"FF");
    ASSERT_TRUE(ini.IncreaseUInt(L"S", L"u", 5)); // a missing key counts from 0
    EXPECT_STREQ(ini.GetString(L"S", L"u"), L"5");

    ini.WriteDouble(L"S", L"d", 1.5, 0);
    EXPECT_STREQ(ini.GetString(L"S", L"d"), L"1.500000");
    ini.IncreaseDouble(L"S", L"d", -1.25, 2);
    EXPECT_STREQ(ini.GetString(L"S", L"d"), L"0.25");
    EXPECT_DOUBLE_EQ(ini.GetDouble(L"S", L"d", 9), 0.25);
    EXPECT_DOUBLE_EQ(ini.GetDouble(L"S", L"missing", 9.5), 9.5);
    ini.WriteDouble(L"S", L"huge", 1e300, -1);
    EXPECT_LE(ini.GetString(L"S", L"huge").GetLength(), 128) << "a huge value is not written as 300 digits";
    EXPECT_DOUBLE_EQ(ini.GetDouble(L"S", L"huge", 0), 1e300);
}

TEST_F(IniValues, StringsBooleansAndCharacters)
{
    Seed(L"[S]\r\na=TRUE\r\nb=Yes\r\nc=2\r\nd=false\r\ne=no\r\nf=abc\r\ng=\r\nch=xyz\r\n");
    const std::pair<const wchar_t*, int> bools[] = {{L"a", 1}, {L"b", 1}, {L"c", 1}, {L"d", 0}, {L"e", 0}, {L"f", 0}};
    for (const auto& [key, expected] : bools)
        EXPECT_EQ(ini.GetBool(L"S", key, 1 - expected), expected) << key;
    EXPECT_EQ(ini.GetBool(L"S", L"g", 7), 7);
    EXPECT_EQ(CTqIni::StringToBool(nullptr, 3), 3);
    EXPECT_EQ(CTqIni::StringToBool(L"-1", 0), 1);
    ASSERT_TRUE(ini.InvertBool(L"S", L"missing"));
    EXPECT_STREQ(ini.GetString(L"S", L"missing"), L"1");
    ini.InvertBool(L"S", L"missing");
    EXPECT_STREQ(ini.GetString(L"S", L"missing"), L"0");
    EXPECT_EQ(ini.GetChar(L"S", L"ch", L'?'), L'x');
    EXPECT_EQ(ini.GetChar(L"S", L"g", L'?'), L'?');
    ini.WriteChar(L"S", L"c2", L'\u00e9');
    EXPECT_EQ(ini.GetChar(L"S", L"c2", L'?'), L'\u00e9');
    ini.WriteChar(L"S", L"c0", 0);
    EXPECT_STREQ(ini.GetString(L"S", L"c0", L"x"), L"");

    // A value of any length is read whole; the buffer form cuts it to the room.
    ASSERT_TRUE(ini.WriteString(L"S", L"long", std::wstring(5000, L'v').c_str()));
    EXPECT_EQ(ini.GetString(L"S", L"long").GetLength(), 5000);
    wchar_t buffer[8];
    EXPECT_EQ(ini.GetString(L"S", L"long", buffer, 7), 7u);
    EXPECT_STREQ(buffer, L"vvvvvvv");
    EXPECT_EQ(ini.GetString(L"S", L"long", nullptr, 0), 5000u);
    EXPECT_EQ(ini.GetString(L"S", L"none", buffer, 7, L"dflt"), 4u);
    EXPECT_STREQ(buffer, L"dflt");
    ASSERT_TRUE(ini.WriteString(L"S", L"ab", L"ab"));
    ASSERT_TRUE(ini.AppendString(L"S", L"ab", L"cd"));
    EXPECT_STREQ(ini.GetString(L"S", L"ab"), L"abcd");
    EXPECT_EQ(ini.AppendString(L"S", L"ab", nullptr), 0);
    ASSERT_TRUE(ini.WriteString(L"S", L"null", nullptr));
    EXPECT_EQ(ini.IsKeyExist(L"S", L"null"), 1);
}

TEST_F(IniValues, FilesAndBadPlaces)
{
    ASSERT_TRUE(ini.WriteString(L"S", L"k", L"v"));
    EXPECT_EQ(Bytes(), zvtest::Utf16(L"[S]\r\nk=v\r\n")) << "the first write creates a UTF-16 file";
    const std::string other = dir / "deleted.ini";
    CTqIni(std::wstring(other.begin(), other.end()).c_str()).DeleteKey(L"S", L"k");
    EXPECT_EQ(zvtest::ReadFile(other), "\xFF\xFE") << "even a deletion prepares the file";
    const std::string folderPath = dir.path();
    CTqIni folder(std::wstring(folderPath.begin(), folderPath.end()).c_str());
    EXPECT_EQ(folder.WriteString(L"S", L"k", L"v"), 0);
    EXPECT_EQ(folder.GetInt(L"S", L"k", 4), 4);
}

} // namespace

#include <zvenv/CTqIni.h>
#include <zvenv/platform/Profile.h>

#include "ZvTest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <tuple>
#include <vector>

namespace {

using Strings = std::vector<std::wstring>;

class IniTest : public ::testing::Test {
protected:
    void SetUp() override { zv::ClearProfileCache(); }
    void Seed(const std::wstring& text) { zvtest::WriteFile(path, zvtest::Utf16(text)); }
    std::string Bytes() const { return zvtest::ReadFile(path); }

    zvtest::TempDir dir;
    std::string path = dir / "a.ini";
    CTqIni ini{zvtest::W(path).c_str()};
};

// The conversion (signs, overflow, "0x") is CRuntimeTest's; these are CTqIni's bases, defaults and written forms.
TEST_F(IniTest, NumbersReadWrittenAndIncrementedInEveryBase)
{
    Seed(L"[S]\r\nneg=-5\r\nhex=ff\r\nbin=101\r\noct=17\r\nblank=\r\n");
    const std::tuple<const wchar_t*, int, int> reads[] = {
        {L"missing", 10, 7}, {L"blank", 10, 7}, {L"neg", 10, -5}, {L"hex", 16, 255},
        {L"bin", 2, 5},      {L"oct", 8, 15},   {L"oct", 3, 17},  {L"hex", 0, 0},
    };
    for (const auto& [key, base, expected] : reads)
        EXPECT_EQ(ini.GetInt(L"S", key, 7, base), expected) << key << " in base " << base;
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
    EXPECT_EQ(ini.WriteInt(nullptr, L"k", 1) + ini.WriteInt(L"S", nullptr, 1), 0) << "a null name is refused";
    // Numbers look at 64 characters: the digit after 64 quoted blanks is not seen.
    ini.WriteString(L"S", L"long", (L"\"" + std::wstring(64, L' ') + L"5\"").c_str());
    EXPECT_EQ(ini.GetInt(L"S", L"long", 3), 0);

    // A missing key counts from 0; a sum is read and written in its base.
    ASSERT_TRUE(ini.IncreaseInt(L"S", L"n") && ini.IncreaseInt(L"S", L"n", 10) && ini.IncreaseUInt(L"S", L"u", 5) &&
                ini.IncreaseUInt(L"S", L"hex", 1, 16));
    EXPECT_STREQ(ini.GetString(L"S", L"n") + L" " + ini.GetString(L"S", L"u") + L" " + ini.GetString(L"S", L"hex"),
                 L"11 5 100");

    ini.WriteDouble(L"S", L"d", 1.5, 0);
    EXPECT_STREQ(ini.GetString(L"S", L"d"), L"1.500000");
    ini.IncreaseDouble(L"S", L"d", -1.25, 2);
    EXPECT_STREQ(ini.GetString(L"S", L"d"), L"0.25");
    EXPECT_DOUBLE_EQ(ini.GetDouble(L"S", L"missing", 9.5), 9.5);
    ini.WriteDouble(L"S", L"huge", 1e300, -1);
    EXPECT_LE(ini.GetString(L"S", L"huge").GetLength(), 128) << "a huge value is not written as 300 digits";
    EXPECT_DOUBLE_EQ(ini.GetDouble(L"S", L"huge", 0), 1e300);
}

TEST_F(IniTest, StringsBooleansCharactersAndBlocks)
{
    Seed(L"[S]\r\na=TRUE\r\nb=Yes\r\nc=2\r\nd=false\r\ne=no\r\nf=abc\r\ng=\r\nch=xyz\r\nxyz=x,y,z\r\nab=ab\r\n");
    const std::pair<const wchar_t*, int> bools[] = {{L"a", 1}, {L"b", 1}, {L"c", 1}, {L"d", 0}, {L"e", 0}, {L"f", 0}};
    for (const auto& [key, expected] : bools)
        EXPECT_EQ(ini.GetBool(L"S", key, 1 - expected), expected) << key;
    EXPECT_EQ(ini.GetBool(L"S", L"g", 7), 7);
    EXPECT_EQ(CTqIni::StringToBool(nullptr, 3), 3);
    EXPECT_EQ(CTqIni::StringToBool(L"-1", 0), 1);
    ASSERT_TRUE(ini.InvertBool(L"S", L"missing") && ini.InvertBool(L"S", L"a"));
    EXPECT_STREQ(ini.GetString(L"S", L"missing") + L" " + ini.GetString(L"S", L"a"), L"1 0");
    ini.WriteChar(L"S", L"c2", L'\u00e9');
    ini.WriteChar(L"S", L"c0", 0);
    const wchar_t chars[] = {ini.GetChar(L"S", L"ch", L'?'), ini.GetChar(L"S", L"g", L'?'),
                             ini.GetChar(L"S", L"c2", L'?'), 0};
    EXPECT_STREQ(chars, L"x?\u00e9");
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
    ASSERT_TRUE(ini.AppendString(L"S", L"ab", L"cd"));
    EXPECT_STREQ(ini.GetString(L"S", L"ab"), L"abcd");
    EXPECT_EQ(ini.AppendString(L"S", L"ab", nullptr), 0);

    // Data blocks and splitting are fuzzed; these are the text forms and the refusals.
    ASSERT_TRUE(ini.WritePoint(L"S", L"p", POINT{1, -1}));
    EXPECT_STREQ(ini.GetString(L"S", L"p"), L"01000000FFFFFFFF");
    EXPECT_EQ(ini.WriteDataBlock(L"S", L"x", nullptr, 3), 0);
    const unsigned char ff = 255;
    ASSERT_TRUE(ini.WriteDataBlock(L"S", L"empty", &ff, 0) && ini.WriteString(L"S", L"null", nullptr));
    EXPECT_EQ(ini.IsKeyExist(L"S", L"empty") + ini.IsKeyExist(L"S", L"null"), 2) << "an empty block or text is a key";

    CStringArray xyz;
    ini.GetArray(L"S", L"xyz", &xyz, nullptr, 0);
    EXPECT_STREQ(ini.GetArrayString(&xyz, 2, nullptr) + L"/" + ini.GetArrayString(&xyz, -1, L" | ") + L"/" +
                     ini.GetArrayString(&xyz, 99, L"") + L"/" + ini.GetArrayString(nullptr, 2, nullptr),
                 L"x,y/x | y | z/x,y,z/");
    ASSERT_TRUE(ini.WriteArray(L"S", L"w", &xyz, -1, L";"));
    EXPECT_STREQ(ini.GetString(L"S", L"w"), L"x;y;z");
    EXPECT_EQ(ini.WriteArray(L"S", L"w", nullptr, -1, L";"), 0);
}

TEST_F(IniTest, FilesAndBadPlaces)
{
    ASSERT_TRUE(ini.WriteString(L"S", L"k", L"v"));
    EXPECT_EQ(Bytes(), zvtest::Utf16(L"[S]\r\nk=v\r\n")) << "the first write creates a UTF-16 file";
    const std::string other = dir / "deleted.ini";
    CTqIni(zvtest::W(other).c_str()).DeleteKey(L"S", L"k");
    EXPECT_EQ(zvtest::ReadFile(other), "\xFF\xFE") << "even a deletion prepares the file";
    // At a folder or without a path reads give defaults and writes fail; copies own their path.
    for (const CTqIni& bad : {CTqIni(zvtest::W(dir.path()).c_str()), CTqIni()}) {
        EXPECT_EQ(bad.WriteString(L"S", L"k", L"v"), 0);
        EXPECT_EQ(bad.GetInt(L"S", L"k", 4), 4);
    }
    CTqIni a(L"/x/a.ini");
    CTqIni b(a), c;
    c = a;
    a.SetPathName(nullptr);
    const CTqIni& same = c;
    c = same;
    EXPECT_STREQ(CString(a.GetPathName()) + L"|" + b.GetPathName() + L"|" + c.GetPathName(), L"|/x/a.ini|/x/a.ini")
        << "assignment copies, also to itself";
    wchar_t buffer[4];
    EXPECT_EQ(b.GetPathName(buffer, 3), 3u);
    EXPECT_STREQ(buffer, L"/x/");
}

Strings Items(const wchar_t* list)
{
    Strings items;
    for (const wchar_t* p = list; *p; p += items.back().size() + 1)
        items.emplace_back(p);
    return items;
}

TEST_F(IniTest, KeysAndSections)
{
    Seed(L"[A]\r\n  spaced key  =1\r\nno equals\r\n=starts with equals\r\nplain=2\r\nempty=\r\n[B]\r\n");
    const std::vector<int> exist{ini.IsKeyExist(L"A", L"empty"), ini.IsKeyExist(L"A", L"missing"),
                                 ini.IsKeyExist(nullptr, L"plain"), ini.IsSectionExist(L"b"), ini.IsSectionExist(L"C")};
    EXPECT_EQ(exist, (std::vector<int>{1, 0, 0, 1, 0}));

    CStringArray names;
    ini.GetKeyNames(L"A", &names);
    EXPECT_EQ(Strings(names.begin(), names.end()), (Strings{L"spaced key", L"plain", L"empty"}));
    EXPECT_EQ(ini.GetKeyNames(L"A", nullptr, 0), 23u);
    wchar_t buffer[64];
    EXPECT_EQ(ini.GetKeyNames(L"A", buffer, 8), 8u) << "a name cut to the room, then no more names";
    EXPECT_EQ(Items(buffer), (Strings{L"spaced "}));
    EXPECT_EQ(ini.GetKeyNames(nullptr, buffer, 8), 0u);
    ini.GetSectionNames(&names);
    EXPECT_EQ(Strings(names.begin(), names.end()), (Strings{L"A", L"B"}));

    EXPECT_EQ(ini.GetKeyLines(L"C", nullptr, 0), 2u) << "an empty list needs 2";

    int (*const CountUntilStop)(const wchar_t*, void*) = [](const wchar_t* item, void* seen) {
        static_cast<Strings*>(seen)->push_back(item);
        return static_cast<int>(static_cast<Strings*>(seen)->size() < 2);
    };
    Strings seen;
    const std::vector<int> walked{
        CTqIni::ParseDNTString(L"", CountUntilStop, &seen), CTqIni::ParseDNTString(L"a\0", CountUntilStop, &seen),
        CTqIni::ParseDNTString(L"b\0c\0d\0", CountUntilStop, &seen),
        CTqIni::ParseDNTString(nullptr, CountUntilStop, &seen), CTqIni::ParseDNTString(L"a\0", nullptr, &seen)};
    EXPECT_EQ(walked, (std::vector<int>{1, 1, 0, 0, 0}));
    EXPECT_EQ(seen, (Strings{L"a", L"b"})) << "the walk stops where the callback says so";
}

// The array forms list what the buffer form holds, also where a null splits or ends a line.
class IniListForms : public IniTest, public ::testing::WithParamInterface<const wchar_t*> {};

TEST_P(IniListForms, ArraysListWhatTheBufferFormHolds)
{
    std::wstring file = GetParam();
    std::replace(file.begin(), file.end(), L'@', L'\0'); // '@' stands for a null in the file
    Seed(file);
    CStringArray array;
    for (const wchar_t* section : {L"A", L"B"}) {
        std::vector<wchar_t> buffer(ini.GetKeyLines(section, nullptr, 0) + 1);
        ini.GetKeyLines(section, buffer.data(), static_cast<unsigned long>(buffer.size() - 1));
        ini.GetKeyLines(section, &array);
        EXPECT_EQ(Strings(array.begin(), array.end()), Items(buffer.data())) << "lines of " << section;
        buffer.assign(ini.GetKeyNames(section, nullptr, 0) + 2, L'#');
        ini.GetKeyNames(section, buffer.data(), static_cast<unsigned long>(buffer.size() - 1));
        ini.GetKeyNames(section, &array);
        EXPECT_EQ(Strings(array.begin(), array.end()), Items(buffer.data())) << "names of " << section;
    }
    std::vector<wchar_t> buffer(ini.GetSectionNames(nullptr, 0) + 1);
    ini.GetSectionNames(buffer.data(), static_cast<unsigned long>(buffer.size() - 1));
    ini.GetSectionNames(&array);
    EXPECT_EQ(Strings(array.begin(), array.end()), Items(buffer.data()));
}

INSTANTIATE_TEST_SUITE_P(Files, IniListForms,
                         ::testing::Values(L"[A]\r\nk=x@y\r\nj=2\r\n", L"[A]\r\nk=1@@\r\nj=2\r\n[B]\r\n",
                                           L"[A]\r\nk@ey=1\r\nj=2\r\n", L"[A]\r\n@k=1\r\nj=2\r\n",
                                           L"[A@B]\r\nk=1\r\n[B]\r\nj=2\r\n", L"[@]\r\nk=1\r\n[B]\r\nj=2\r\n"));

TEST_F(IniTest, CopyingMovingAndDeleting)
{
    Seed(L"[A]\r\nk=1\r\nj=2\r\n[B]\r\nb=3\r\n");
    EXPECT_EQ(ini.CopyKey(L"A", L"k", L"a", L"K", 0), 0) << "onto itself";
    EXPECT_EQ(ini.CopyKey(L"A", L"missing", L"B", L"x", 0), 0);
    EXPECT_EQ(ini.CopyKey(L"A", L"k", L"B", L"b", 1), 0);
    EXPECT_EQ(ini.MoveKey(L"A", L"gone", L"C", L"g", 0), 0);
    EXPECT_EQ(ini.CopySection(L"A", L"B", 1), 0);
    EXPECT_EQ(ini.CopySection(L"A", L"a", 0), 0);
    EXPECT_EQ(ini.CopySection(L"Missing", L"D", 0), 0);
    EXPECT_EQ(ini.DeleteKey(L"A", nullptr), 0) << "a null key must not remove the section";
    EXPECT_EQ(ini.DeleteSection(nullptr), 0);
    EXPECT_EQ(Bytes(), zvtest::Utf16(L"[A]\r\nk=1\r\nj=2\r\n[B]\r\nb=3\r\n")) << "failures change nothing";

    ASSERT_TRUE(ini.CopyKey(L"A", L"k", L"B", L"b", 0));
    ASSERT_TRUE(ini.MoveKey(L"A", L"j", L"C", L"j", 1));
    EXPECT_EQ(Bytes(), zvtest::Utf16(L"[A]\r\nk=1\r\n[B]\r\nb=1\r\n[C]\r\nj=2\r\n"));
    ASSERT_TRUE(ini.CopySection(L"A", L"B", 0));
    ASSERT_TRUE(ini.MoveSection(L"C", L"D", 1));
    ASSERT_TRUE(ini.DeleteKey(L"a", L"K"));
    EXPECT_EQ(Bytes(), zvtest::Utf16(L"[A]\r\n[B]\r\nk=1\r\n[D]\r\nj=2\r\n"));

    // The empty name is the section "[]"; the lines before the first section stay.
    Seed(L"pre=0\r\n[A]\r\nk=1\r\n");
    ASSERT_TRUE(ini.CopySection(L"A", L"", 0));
    EXPECT_STREQ(ini.GetString(L"", L"k"), L"1");
    EXPECT_STREQ(ini.GetString(L"", L"pre", L"none"), L"none");
    ASSERT_TRUE(ini.DeleteSection(L""));
    EXPECT_EQ(Bytes(), zvtest::Utf16(L"pre=0\r\n[A]\r\nk=1\r\n"));
}

} // namespace

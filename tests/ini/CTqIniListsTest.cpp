#include "IniTestUtil.h"

#include <algorithm>
#include <vector>

namespace {

using Strings = std::vector<std::wstring>;

Strings Items(const wchar_t* list)
{
    Strings items;
    for (const wchar_t* p = list; *p; p += items.back().size() + 1)
        items.emplace_back(p);
    return items;
}

Strings Items(const CStringArray& array)
{
    Strings items;
    for (const CString& item : array)
        items.push_back(item.str());
    return items;
}

using IniLists = IniTest;

TEST_F(IniLists, KeysAndSections)
{
    Seed(L"[A]\r\n  spaced key  =1\r\nno equals\r\n=starts with equals\r\nplain=2\r\nempty=\r\n[B]\r\n");
    EXPECT_EQ(ini.IsKeyExist(L"A", L"empty"), 1);
    EXPECT_EQ(ini.IsKeyExist(L"A", L"missing"), 0);
    EXPECT_EQ(ini.IsKeyExist(nullptr, L"plain"), 0);
    EXPECT_EQ(ini.IsSectionExist(L"b"), 1);
    EXPECT_EQ(ini.IsSectionExist(L"C"), 0);

    CStringArray names;
    ini.GetKeyNames(L"A", &names);
    EXPECT_EQ(Items(names), (Strings{L"spaced key", L"plain", L"empty"}));
    EXPECT_EQ(ini.GetKeyNames(L"A", nullptr, 0), 23u);
    wchar_t buffer[64];
    EXPECT_EQ(ini.GetKeyNames(L"A", buffer, 8), 8u) << "a name cut to the room, then no more names";
    EXPECT_EQ(Items(buffer), (Strings{L"spaced "}));
    EXPECT_EQ(ini.GetKeyNames(nullptr, buffer, 8), 0u);
    ini.GetSectionNames(&names);
    EXPECT_EQ(Items(names), (Strings{L"A", L"B"}));

    EXPECT_EQ(ini.GetKeyLines(L"C", nullptr, 0), 2u) << "an empty list needs 2";
    std::wstring text = L"[Big]\r\n";
    for (int i = 0; i < 300; ++i)
        text += L"key" + std::to_wstring(i) + L"=value\r\n";
    Seed(text);
    const unsigned long size = ini.GetKeyLines(L"Big", nullptr, 0);
    std::vector<wchar_t> room(size + 1);
    EXPECT_EQ(ini.GetKeyLines(L"Big", room.data(), size), size - 2) << "the answer is enough room";
}

// The array forms read a list whole, yet give what a walk of the buffer form
// gives, also where a null in a line splits the item or ends the list.
class IniListForms : public IniTest, public ::testing::WithParamInterface<const wchar_t*> {};

TEST_P(IniListForms, ArraysListWhatTheBufferFormHolds)
{
    std::wstring file = GetParam();
    std::replace(file.begin(), file.end(), L'@', L'\0');
    Seed(file);
    CStringArray array;
    for (const wchar_t* section : {L"A", L"B"}) {
        std::vector<wchar_t> buffer(ini.GetKeyLines(section, nullptr, 0) + 1);
        ini.GetKeyLines(section, buffer.data(), static_cast<unsigned long>(buffer.size() - 1));
        ini.GetKeyLines(section, &array);
        EXPECT_EQ(Items(array), Items(buffer.data())) << "lines of " << section;
        buffer.assign(ini.GetKeyNames(section, nullptr, 0) + 2, L'#');
        ini.GetKeyNames(section, buffer.data(), static_cast<unsigned long>(buffer.size() - 1));
        ini.GetKeyNames(section, &array);
        EXPECT_EQ(Items(array), Items(buffer.data())) << "names of " << section;
    }
    std::vector<wchar_t> buffer(ini.GetSectionNames(nullptr, 0) + 1);
    ini.GetSectionNames(buffer.data(), static_cast<unsigned long>(buffer.size() - 1));
    ini.GetSectionNames(&array);
    EXPECT_EQ(Items(array), Items(buffer.data()));
}

// '@' stands for a null character in the file.
INSTANTIATE_TEST_SUITE_P(Files, IniListForms,
                         ::testing::Values(L"[A]\r\nk=1\r\nj=2\r\n[B]\r\nx=3\r\n", L"[A]\r\nk=x@y\r\nj=2\r\n",
                                           L"[A]\r\nk=1@@\r\nj=2\r\n[B]\r\n", L"[A]\r\nk@ey=1\r\nj=2\r\n",
                                           L"[A]\r\n@k=1\r\nj=2\r\n", L"[A@B]\r\nk=1\r\n[B]\r\nj=2\r\n",
                                           L"[@]\r\nk=1\r\n[B]\r\nj=2\r\n"));

int CountUntilStop(const wchar_t* item, void* context)
{
    auto* seen = static_cast<Strings*>(context);
    seen->push_back(item);
    return seen->size() < 2;
}

TEST(CTqIniParse, WalksDoubleNullLists)
{
    Strings seen;
    EXPECT_EQ(CTqIni::ParseDNTString(L"a\0b\0c\0", CountUntilStop, &seen), 0);
    EXPECT_EQ(seen, (Strings{L"a", L"b"}));
    seen.clear();
    EXPECT_EQ(CTqIni::ParseDNTString(L"a\0", CountUntilStop, &seen), 1);
    EXPECT_EQ(CTqIni::ParseDNTString(L"", CountUntilStop, &seen), 1);
    EXPECT_EQ(CTqIni::ParseDNTString(nullptr, CountUntilStop, &seen), 0);
    EXPECT_EQ(CTqIni::ParseDNTString(L"a\0", nullptr, &seen), 0);
}

// Data blocks and splitting are fuzzed (fuzz_ini_arrays); these are the text
// forms and the refusals.
TEST_F(IniLists, DataBlocksAndJoinedArrays)
{
    ASSERT_TRUE(ini.WritePoint(L"S", L"p", POINT{1, -1}));
    EXPECT_STREQ(ini.GetString(L"S", L"p"), L"01000000FFFFFFFF");
    EXPECT_EQ(ini.WriteDataBlock(L"S", L"x", nullptr, 3), 0);
    const unsigned char ff = 255;
    ASSERT_TRUE(ini.WriteDataBlock(L"S", L"empty", &ff, 0));
    EXPECT_EQ(ini.IsKeyExist(L"S", L"empty"), 1);

    CStringArray xyz;
    for (const wchar_t* item : {L"x", L"y", L"z"})
        xyz.Add(item);
    EXPECT_STREQ(ini.GetArrayString(&xyz, 2, nullptr), L"x,y");
    EXPECT_STREQ(ini.GetArrayString(&xyz, -1, L" | "), L"x | y | z");
    EXPECT_STREQ(ini.GetArrayString(&xyz, 99, L""), L"x,y,z");
    EXPECT_STREQ(ini.GetArrayString(nullptr, 2, nullptr), L"");
    ASSERT_TRUE(ini.WriteArray(L"S", L"w", &xyz, -1, L";"));
    EXPECT_STREQ(ini.GetString(L"S", L"w"), L"x;y;z");
    EXPECT_EQ(ini.WriteArray(L"S", L"w", nullptr, -1, L";"), 0);
}

TEST_F(IniLists, CopyingMovingAndDeleting)
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

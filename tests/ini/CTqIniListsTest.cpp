#include "IniTestUtil.h"

#include <algorithm>
#include <tuple>
#include <vector>

namespace {

std::vector<std::wstring> Items(const wchar_t* list)
{
    std::vector<std::wstring> items;
    for (const wchar_t* p = list; *p; p += items.back().size() + 1)
        items.emplace_back(p);
    return items;
}

std::vector<std::wstring> Items(const CStringArray& array)
{
    std::vector<std::wstring> items;
    for (int i = 0; i < array.GetSize(); ++i)
        items.push_back(array[i].str());
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
    EXPECT_EQ(Items(names), (std::vector<std::wstring>{L"spaced key", L"plain", L"empty"}));
    EXPECT_EQ(ini.GetKeyNames(L"A", nullptr, 0), 23u);
    wchar_t buffer[64];
    EXPECT_EQ(ini.GetKeyNames(L"A", buffer, 8), 8u) << "a name cut to the room, then no more names";
    EXPECT_EQ(Items(buffer), (std::vector<std::wstring>{L"spaced "}));
    EXPECT_EQ(ini.GetKeyNames(nullptr, buffer, 8), 0u);

    ini.GetSectionNames(&names);
    EXPECT_EQ(Items(names), (std::vector<std::wstring>{L"A", L"B"}));
    CStringArray lines;
    ini.GetKeyLines(L"A", &lines);
    EXPECT_EQ(lines.GetSize(), 5);
}

TEST_F(IniLists, SizeQueries)
{
    EXPECT_EQ(ini.GetSectionNames(nullptr, 0), 2u) << "no file: an empty list needs 2";
    Seed(L"; only a comment\r\n");
    EXPECT_EQ(ini.GetSectionNames(nullptr, 0), 2u);
    EXPECT_EQ(ini.GetKeyLines(L"A", nullptr, 0), 2u);

    std::wstring text = L"[Big]\r\n";
    for (int i = 0; i < 300; ++i)
        text += L"key" + std::to_wstring(i) + L"=value\r\n";
    Seed(text);
    const unsigned long size = ini.GetKeyLines(L"Big", nullptr, 0);
    std::vector<wchar_t> buffer(size + 1);
    EXPECT_EQ(ini.GetKeyLines(L"Big", buffer.data(), size), size - 2) << "the answer is enough room";
    CStringArray names;
    ini.GetKeyNames(L"Big", &names);
    ASSERT_EQ(names.GetSize(), 300);
    EXPECT_STREQ(names[299], L"key299");
}

// The array forms read a list whole, yet give what a walk of the buffer
// form gives, also for files holding null characters in a line: there a
// null splits the item, and an empty piece ends the list.
class IniListForms : public IniTest, public ::testing::WithParamInterface<const wchar_t*> {};

TEST_P(IniListForms, ArraysListWhatTheBufferFormHolds)
{
    const std::wstring text = GetParam();
    std::wstring file;
    for (wchar_t c : text)
        file += c == L'@' ? L'\0' : c;
    Seed(file);
    for (const wchar_t* section : {L"A", L"B"}) {
        std::vector<wchar_t> buffer(ini.GetKeyLines(section, nullptr, 0) + 1);
        ini.GetKeyLines(section, buffer.data(), static_cast<unsigned long>(buffer.size() - 1));
        CStringArray lines;
        ini.GetKeyLines(section, &lines);
        EXPECT_EQ(Items(lines), Items(buffer.data())) << "lines of " << section;

        buffer.assign(ini.GetKeyNames(section, nullptr, 0) + 2, L'#');
        ini.GetKeyNames(section, buffer.data(), static_cast<unsigned long>(buffer.size() - 1));
        CStringArray names;
        ini.GetKeyNames(section, &names);
        EXPECT_EQ(Items(names), Items(buffer.data())) << "names of " << section;
    }
    std::vector<wchar_t> buffer(ini.GetSectionNames(nullptr, 0) + 1);
    ini.GetSectionNames(buffer.data(), static_cast<unsigned long>(buffer.size() - 1));
    CStringArray sections;
    ini.GetSectionNames(&sections);
    EXPECT_EQ(Items(sections), Items(buffer.data()));
}

// '@' stands for a null character in the file.
INSTANTIATE_TEST_SUITE_P(Files, IniListForms,
                         ::testing::Values(L"[A]\r\nk=1\r\nj=2\r\n[B]\r\nx=3\r\n", L"[A]\r\nk=x@y\r\nj=2\r\n",
                                           L"[A]\r\nk=1@@\r\nj=2\r\n[B]\r\n", L"[A]\r\nk@ey=1\r\nj=2\r\n",
                                           L"[A]\r\n@k=1\r\nj=2\r\n", L"[A@B]\r\nk=1\r\n[B]\r\nj=2\r\n",
                                           L"[@]\r\nk=1\r\n[B]\r\nj=2\r\n"));

TEST_F(IniLists, DeletingKeysAndSections)
{
    Seed(L"[A]\r\nx=1\r\ny=2\r\n[B]\r\nz=3\r\n");
    ASSERT_TRUE(ini.DeleteKey(L"a", L"X"));
    ASSERT_TRUE(ini.DeleteSection(L"b"));
    EXPECT_EQ(Bytes(), zvtest::Utf16(L"[A]\r\ny=2\r\n"));
    EXPECT_EQ(ini.DeleteKey(L"A", nullptr), 0) << "a null key must not remove the section";
    EXPECT_EQ(ini.DeleteSection(nullptr), 0);
    EXPECT_EQ(Bytes(), zvtest::Utf16(L"[A]\r\ny=2\r\n"));
}

int CountUntilStop(const wchar_t* item, void* context)
{
    auto* seen = static_cast<std::vector<std::wstring>*>(context);
    seen->push_back(item);
    return seen->size() < 2;
}

TEST(CTqIniParse, WalksDoubleNullLists)
{
    std::vector<std::wstring> seen;
    EXPECT_EQ(CTqIni::ParseDNTString(L"a\0b\0c\0", CountUntilStop, &seen), 0);
    EXPECT_EQ(seen, (std::vector<std::wstring>{L"a", L"b"}));
    seen.clear();
    EXPECT_EQ(CTqIni::ParseDNTString(L"a\0", CountUntilStop, &seen), 1);
    EXPECT_EQ(CTqIni::ParseDNTString(L"", CountUntilStop, &seen), 1);
    EXPECT_EQ(CTqIni::ParseDNTString(nullptr, CountUntilStop, &seen), 0);
    EXPECT_EQ(CTqIni::ParseDNTString(L"a\0", nullptr, &seen), 0);
}

TEST_F(IniLists, DataBlocksPointsAndRectangles)
{
    ASSERT_TRUE(ini.WritePoint(L"S", L"p", POINT{1, -1}));
    EXPECT_STREQ(ini.GetString(L"S", L"p"), L"01000000FFFFFFFF");
    POINT p = ini.GetPoint(L"S", L"p", POINT{9, 9});
    EXPECT_EQ(p.x, 1);
    EXPECT_EQ(p.y, -1);
    ini.WriteString(L"S", L"short", L"0100");
    EXPECT_EQ(ini.GetPoint(L"S", L"short", POINT{9, 9}).x, 9);

    const RECT r{-10, 20, 30000, -2147483647 - 1};
    ASSERT_TRUE(ini.WriteRect(L"S", L"r", r));
    const RECT back = ini.GetRect(L"S", L"r", RECT{});
    EXPECT_EQ(back.left, r.left);
    EXPECT_EQ(back.bottom, r.bottom);

    // Size queries: from a byte offset, a bad digit, an odd digit count.
    const std::tuple<const wchar_t*, int, unsigned long> sizes[] = {
        {L"0A1b", 1, 1u}, {L"0A1b", 2, 0u}, {L"0G", 0, 0u}, {L"0A1", 0, 1u}};
    for (const auto& [text, offset, size] : sizes) {
        ini.WriteString(L"S", L"d", text);
        EXPECT_EQ(ini.GetDataBlock(L"S", L"d", nullptr, 0, offset), size) << text << " from " << offset;
    }
    ini.WriteString(L"S", L"d", L"0A1b");
    unsigned char bytes[4] = {};
    EXPECT_EQ(ini.GetDataBlock(L"S", L"d", bytes, 4, 0), 2u);
    EXPECT_EQ(bytes[0] * 256 + bytes[1], 0x0A1B);

    ini.WriteString(L"S", L"grow", L"0A");
    const unsigned char ff = 255;
    ASSERT_TRUE(ini.AppendDataBlock(L"S", L"grow", &ff, 1));
    EXPECT_STREQ(ini.GetString(L"S", L"grow"), L"0AFF");
    EXPECT_EQ(ini.WriteDataBlock(L"S", L"x", nullptr, 3), 0);
    ASSERT_TRUE(ini.WriteDataBlock(L"S", L"empty", &ff, 0));
    EXPECT_EQ(ini.IsKeyExist(L"S", L"empty"), 1);
}

TEST_F(IniLists, ArraysSplitAndJoin)
{
    ini.WriteString(L"S", L"a", L"\" a ;b;;c \""); // quoted, so the blanks survive the read
    CStringArray items;
    ini.GetArray(L"S", L"a", &items, L";", 0);
    EXPECT_EQ(Items(items), (std::vector<std::wstring>{L"a", L"b", L"c"})) << "the array form always trims";

    wchar_t buffer[32];
    const unsigned long used = ini.GetArray(L"S", L"a", buffer, 32, L";", 0);
    EXPECT_EQ(Items(buffer), (std::vector<std::wstring>{L" a ", L"b", L"c "}));
    EXPECT_EQ(used, 9u);
    EXPECT_EQ(ini.GetArray(L"S", L"a", nullptr, 0, L";", 0), used) << "the size query agrees";

    ini.WriteString(L"S", L"m", L"x::y");
    ini.GetArray(L"S", L"m", &items, L"::");
    EXPECT_EQ(Items(items), (std::vector<std::wstring>{L"x", L"y"}));
    ini.GetArray(L"S", L"m", &items, L"");
    EXPECT_EQ(Items(items), (std::vector<std::wstring>{L"x::y"})) << "an empty delimiter does not split";
    ini.GetArray(L"S", L"missing", &items);
    EXPECT_EQ(items.GetSize(), 0);

    CStringArray xyz;
    xyz.Add(L"x");
    xyz.Add(L"y");
    xyz.Add(L"z");
    EXPECT_STREQ(ini.GetArrayString(&xyz, 2, nullptr), L"x,y");
    EXPECT_STREQ(ini.GetArrayString(&xyz, -1, L" | "), L"x | y | z");
    EXPECT_STREQ(ini.GetArrayString(&xyz, 99, L""), L"x,y,z");
    EXPECT_STREQ(ini.GetArrayString(nullptr, 2, nullptr), L"");
    ASSERT_TRUE(ini.WriteArray(L"S", L"w", &xyz, -1, L";"));
    EXPECT_STREQ(ini.GetString(L"S", L"w"), L"x;y;z");
    EXPECT_EQ(ini.WriteArray(L"S", L"w", nullptr, -1, L";"), 0);
}

// A list split into a room of n characters takes out[0] to out[n]: the items
// with their nulls use at most n, the null ending the list follows, and the
// result is what the items used. So the size query is exactly the room a
// later call needs, and a list cut at any room can still be walked.
TEST_F(IniLists, SplitListsEndWithinTheirRoom)
{
    struct Access : CTqIni {
        using CTqIni::__StringSplit;
    };
    const struct {
        const wchar_t* text;
        const wchar_t* delimiter;
        unsigned long room;
        std::vector<std::wstring> items;
    } cases[] = {
        {L"ab,cd", L",", 7, {L"ab", L"cd"}},
        {L"ab,cd", L",", 6, {L"ab", L"cd"}},
        {L"ab,cd", L",", 5, {L"ab", L"c"}},
        {L"ab,cd", L",", 4, {L"ab"}},
        {L"ab,cd", L",", 3, {L"ab"}},
        {L"ab,cd", L",", 2, {L"a"}},
        {L"ab,cd", L",", 1, {}},
        {L"a,,b,", nullptr, 10, {L"a", L"b"}},
        {L" a ; b ", L";", 10, {L"a", L"b"}},
        {L"alpha,beta,gamma", L",", 7, {L"alpha"}},
        {L"abcdef", L"", 7, {L"abcdef"}},
        {L"abcdef", L"", 6, {L"abcde"}},
        {L"abcdef", L"", 1, {}},
    };
    for (const auto& c : cases) {
        std::vector<wchar_t> out(c.room + 2, L'#');
        const unsigned long used = Access::__StringSplit(c.text, out.data(), c.room, c.delimiter, 1);
        const std::string what = std::to_string(&c - cases);
        EXPECT_EQ(Items(out.data()), c.items) << what;
        std::size_t walked = 0;
        for (const std::wstring& item : c.items)
            walked += item.size() + 1;
        EXPECT_LE(walked, c.room) << what;
        EXPECT_EQ(out[walked], 0) << "the list ends within the room: " << what;
        EXPECT_EQ(out[c.room + 1], L'#') << "nothing past out[room]: " << what;
        const unsigned long expected = !c.delimiter || *c.delimiter ? walked : (c.items.empty() ? 0 : walked - 1);
        EXPECT_EQ(used, expected) << what;
    }

    ini.WriteString(L"S", L"v", L"ab,cd");
    const unsigned long size = ini.GetArray(L"S", L"v", nullptr, 0, L",", 0);
    EXPECT_EQ(size, 6u);
    std::vector<wchar_t> buffer(size + 1, L'#');
    EXPECT_EQ(ini.GetArray(L"S", L"v", buffer.data(), size, L",", 0), size) << "the room the size query asked for";
    EXPECT_EQ(Items(buffer.data()), (std::vector<std::wstring>{L"ab", L"cd"}));
    EXPECT_EQ(buffer[size], 0);
}

TEST_F(IniLists, CopyingAndMoving)
{
    Seed(L"[A]\r\nk=1\r\nj=2\r\n[B]\r\nb=3\r\n");
    EXPECT_EQ(ini.CopyKey(L"A", L"k", L"a", L"K", 0), 0) << "onto itself";
    EXPECT_EQ(ini.CopyKey(L"A", L"missing", L"B", L"x", 0), 0);
    EXPECT_EQ(ini.CopyKey(L"A", L"k", L"B", L"b", 1), 0);
    EXPECT_STREQ(ini.GetString(L"B", L"b"), L"3");
    ASSERT_TRUE(ini.CopyKey(L"A", L"k", L"B", L"b", 0));
    EXPECT_STREQ(ini.GetString(L"B", L"b"), L"1");
    ASSERT_TRUE(ini.MoveKey(L"A", L"j", L"C", L"j", 1));
    EXPECT_EQ(ini.IsKeyExist(L"A", L"j"), 0);
    EXPECT_STREQ(ini.GetString(L"C", L"j"), L"2");
    EXPECT_EQ(ini.MoveKey(L"A", L"gone", L"C", L"g", 0), 0);

    const std::string before = Bytes();
    EXPECT_EQ(ini.CopySection(L"A", L"B", 1), 0);
    EXPECT_EQ(ini.CopySection(L"A", L"a", 0), 0);
    EXPECT_EQ(ini.CopySection(L"Missing", L"D", 0), 0);
    EXPECT_EQ(Bytes(), before) << "failed copies change nothing";
    ASSERT_TRUE(ini.CopySection(L"A", L"B", 0));
    CStringArray lines;
    ini.GetKeyLines(L"B", &lines);
    EXPECT_EQ(Items(lines), (std::vector<std::wstring>{L"k=1"}));
    ASSERT_TRUE(ini.MoveSection(L"C", L"D", 1));
    EXPECT_EQ(ini.IsSectionExist(L"C"), 0);
    EXPECT_STREQ(ini.GetString(L"D", L"j"), L"2");
}

// The empty name is the section "[]": a copy to it is read back from it, and
// the lines before the first section are left alone throughout.
TEST_F(IniLists, CopyingToTheEmptySectionName)
{
    Seed(L"pre=0\r\n[A]\r\nk=1\r\n");
    ASSERT_TRUE(ini.CopySection(L"A", L"", 0));
    EXPECT_STREQ(ini.GetString(L"", L"k"), L"1");
    EXPECT_STREQ(ini.GetString(L"", L"pre", L"none"), L"none");
    CStringArray lines;
    ini.GetKeyLines(L"", &lines);
    EXPECT_EQ(Items(lines), (std::vector<std::wstring>{L"k=1"}));
    ASSERT_TRUE(ini.DeleteSection(L""));
    EXPECT_EQ(Bytes(), zvtest::Utf16(L"pre=0\r\n[A]\r\nk=1\r\n"));
}

} // namespace

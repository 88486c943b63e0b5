#include "ProfileTestUtil.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

using namespace profiletest;

// Section lookups go through an index kept beside the lines; these cases
// change the lines in every way that moves, adds or removes a header and
// check that later lookups still find what a scan of the file would.
class ProfileIndex : public ::testing::Test {
protected:
    void SetUp() override { zv::ClearProfileCache(); }
    BOOL Set(const wchar_t* section, const wchar_t* key, const wchar_t* value)
    {
        return WritePrivateProfileStringW(section, key, value, W(path).c_str());
    }
    std::wstring Read(const wchar_t* section, const wchar_t* key) const { return Get(path, section, key); }
    std::string Bytes() const { return zvtest::ReadFile(path); }
    zvtest::TempDir dir;
    std::string path = dir / "a.ini";
};

TEST_F(ProfileIndex, DuplicateSectionsUseTheFirstUntilItIsDeleted)
{
    zvtest::WriteFile(path, zvtest::Utf16(L"[A]\r\nk=1\r\n[B]\r\nb=0\r\n[ a ]\r\nk=2\r\n"));
    EXPECT_EQ(Read(L"a", L"k"), L"1");
    ASSERT_TRUE(Set(L"A", nullptr, nullptr));
    EXPECT_EQ(Read(L"A", L"k"), L"2");
    EXPECT_EQ(Read(L"B", L"b"), L"0");
    ASSERT_TRUE(Set(L"A", L"n", L"3"));
    EXPECT_EQ(Bytes(), zvtest::Utf16(L"[B]\r\nb=0\r\n[ a ]\r\nk=2\r\nn=3\r\n"));
}

TEST_F(ProfileIndex, InsertedAndDeletedKeysMoveTheLaterHeaders)
{
    zvtest::WriteFile(path, zvtest::Utf16(L"[A]\r\na=1\r\n[B]\r\nb=1\r\n[C]\r\nc=1\r\n"));
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(Set(L"A", std::to_wstring(i).c_str(), L"x"));
    ASSERT_TRUE(Set(L"B", L"b2", L"2"));
    ASSERT_TRUE(Set(L"A", L"0", nullptr));
    ASSERT_TRUE(Set(L"A", L"1", nullptr));
    ASSERT_TRUE(Set(L"C", L"c2", L"2"));
    EXPECT_EQ(Read(L"C", L"c"), L"1");
    EXPECT_EQ(Read(L"B", L"b2"), L"2");
    EXPECT_EQ(Bytes(),
              zvtest::Utf16(L"[A]\r\na=1\r\n2=x\r\n3=x\r\n4=x\r\n[B]\r\nb=1\r\nb2=2\r\n[C]\r\nc=1\r\nc2=2\r\n"));
}

TEST_F(ProfileIndex, AKeySpelledLikeAHeaderReadsAsASectionAfterwards)
{
    ASSERT_TRUE(Set(L"S", L"[X]", L"v"));
    ASSERT_TRUE(Set(L"X", L"k", L"1"));
    EXPECT_EQ(Bytes(), zvtest::Utf16(L"[S]\r\n[X]=v\r\nk=1\r\n"));
    EXPECT_EQ(Read(L"X", L"k"), L"1");
    ASSERT_TRUE(Set(L"S", L"[Y]", L"w"));
    ASSERT_TRUE(Set(L"Y", L"k", L"2"));
    EXPECT_EQ(Bytes(), zvtest::Utf16(L"[S]\r\n[Y]=w\r\nk=2\r\n[X]=v\r\nk=1\r\n"));
    EXPECT_EQ(Read(L"Y", L"k"), L"2");
    EXPECT_EQ(Read(L"X", L"k"), L"1");
}

TEST_F(ProfileIndex, SectionLinesHoldingAHeaderAddASection)
{
    zvtest::WriteFile(path, zvtest::Utf16(L"[A]\r\na=1\r\n[Z]\r\nz=1\r\n"));
    const wchar_t lines[] = L"x=1\0[Inner]\0y=2\0";
    ASSERT_TRUE(WritePrivateProfileSectionW(L"A", lines, W(path).c_str()));
    EXPECT_EQ(Read(L"Inner", L"y"), L"2");
    EXPECT_EQ(Read(L"A", L"y"), L"<default>");
    EXPECT_EQ(Read(L"Z", L"z"), L"1");
    ASSERT_TRUE(WritePrivateProfileSectionW(L"New", lines, W(path).c_str()));
    ASSERT_TRUE(Set(L"Inner", L"w", L"3"));
    EXPECT_EQ(Bytes(), zvtest::Utf16(
                           L"[A]\r\nx=1\r\n[Inner]\r\ny=2\r\nw=3\r\n[Z]\r\nz=1\r\n[New]\r\nx=1\r\n[Inner]\r\ny=2\r\n"));
}

TEST_F(ProfileIndex, NamesMatchWithoutRegardToCaseOrBlanks)
{
    ASSERT_TRUE(Set(L"  Stra\u00dfe \u00c9T\u00c9 ", L"k", L"1"));
    EXPECT_EQ(Read(L"stra\u00dfe \u00e9t\u00e9", L"K"), L"1");
    ASSERT_TRUE(Set(L"STRA\u00dfE \u00e9t\u00e9", L"k", L"2"));
    EXPECT_EQ(Bytes(), zvtest::Utf16(L"[Stra\u00dfe \u00c9T\u00c9]\r\nk=2\r\n"));
}

} // namespace

namespace {

// New keys are indexed where they are inserted instead of by a rescan: after
// a long run of inserts into every kind of section (the empty name, a
// duplicate, comments, blank lines), every key reads its last value
// from the changed copy and again from a fresh parse of the file.
TEST_F(ProfileIndex, KeysAddedOneByOneReadAsAFreshParse)
{
    zvtest::WriteFile(path,
                      zvtest::Utf16(L"pre=0\r\n[A]\r\n;note\r\na=1\r\n\r\n[B]\r\n[A]\r\nx=dup\r\n[C]\r\nc=1\r\n"));
    const wchar_t* sections[] = {L"A", L"b", L"C", L"", L"new"};
    std::map<std::pair<std::wstring, std::wstring>, std::wstring> last;
    for (int i = 0; i < 200; ++i) {
        const wchar_t* section = sections[(i * 7) % 5];
        const std::wstring key = L"k" + std::to_wstring(i % 37), value = std::to_wstring(i);
        ASSERT_TRUE(Set(section, key.c_str(), value.c_str()));
        last[{section, key}] = value;
    }
    for (const auto& [where, value] : last)
        ASSERT_EQ(Read(where.first.c_str(), where.second.c_str()), value) << "changed copy";
    const std::string bytes = Bytes();
    zv::ClearProfileCache();
    zvtest::WriteFile(path, bytes);
    for (const auto& [where, value] : last)
        ASSERT_EQ(Read(where.first.c_str(), where.second.c_str()), value) << "fresh parse";
    EXPECT_EQ(Read(L"A", L"x"), L"<default>") << "the duplicate section stays out of reach";
    EXPECT_EQ(Read(L"", L"pre"), L"<default>") << "the lines before the first section are in none";
    EXPECT_EQ(bytes.substr(0, 2 + 2 * 7), zvtest::Utf16(L"pre=0\r\n"));
    EXPECT_EQ(Read(L"A", L"a"), L"1");
}

} // namespace

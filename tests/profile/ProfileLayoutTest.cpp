#include "ProfileTestUtil.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// What a line is, as Windows reads it: comment lines, the section of the empty
// name, and text written with line breaks. The cases that rest on an
// observation of Windows name it (from the public black-box tests of the
// profile functions run on Windows); Wine differs on some of them, which the
// platform comparison skips.
namespace {

using namespace profiletest;

class ProfileLayout : public ::testing::Test {
protected:
    void SetUp() override { zv::ClearProfileCache(); }
    void Seed(const std::wstring& text) { zvtest::WriteFile(path, zvtest::Utf16(text)); }
    BOOL Set(const wchar_t* section, const wchar_t* key, const wchar_t* value)
    {
        return WritePrivateProfileStringW(section, key, value, W(path).c_str());
    }
    std::string Bytes() const { return zvtest::ReadFile(path); }
    zvtest::TempDir dir;
    std::string path = dir / "a.ini";
};

TEST_F(ProfileLayout, CommentLinesAreNeverKeys)
{
    const struct {
        const wchar_t* file;
        const wchar_t* section;
        const wchar_t* key;
        const wchar_t* expected;
        const char* observed;
    } reads[] = {
        {L"[S]\r\n;key=v\r\n", L"S", L";key", L"<default>", "a key with a leading ';' reads as the default"},
        {L"[S]\r\n;key=v\r\n", L"S", L"key", L"<default>", "nor is it the key without the ';'"},
        {L"[S]\r\n ;key=v\r\n", L"S", L";key", L"<default>", "blanks before the ';' keep it a comment"},
        {L"[S]\r\n\t;key=v\r\n", L"S", L"\t;key", L"<default>", "not even as written in the file"},
        {L"[S]\r\nk=;v\r\n", L"S", L"k", L";v", "a value starting with ';' is a value"},
        {L"[S]\r\nkey ;x=v\r\n", L"S", L"key ;x", L"v", "a ';' inside a key is part of it"},
        {L"[;S]\r\nk=v\r\n", L";S", L"k", L"v", "a ';' in a section name is part of it"},
        {L"[S]\r\n=;c\r\n", L"S", L"", L";c", "the empty key holds ';c' and is found"},
    };
    for (const auto& r : reads) {
        Seed(r.file);
        EXPECT_EQ(Get(path, r.section, r.key), r.expected) << r.observed;
    }

    // Observed: writing a key that starts with ';' twice gives two lines.
    Seed(L"");
    ASSERT_TRUE(Set(L"S", L";key", L"v"));
    ASSERT_TRUE(Set(L"S", L";key", L"v"));
    EXPECT_EQ(Bytes(), zvtest::Utf16(L"[S]\r\n;key=v\r\n;key=v\r\n"));
    EXPECT_EQ(Get(path, L"S", L";key"), L"<default>");

    // Observed: a new comment goes after the last key, so comments written
    // one after the other come out latest first.
    Seed(L"");
    for (const wchar_t* key : {L"z", L";y", L"a", L";b", L";c"})
        ASSERT_TRUE(Set(L"S", key, L""));
    EXPECT_EQ(Bytes(), zvtest::Utf16(L"[S]\r\nz=\r\na=\r\n;c=\r\n;b=\r\n;y=\r\n"));

    // Observed: deleting sections keeps their comments, in order.
    Seed(L";c0\r\n[S]\r\n;c1\r\nk=1\r\n[T]\r\n;c2\r\n");
    ASSERT_TRUE(Set(L"S", nullptr, nullptr));
    ASSERT_TRUE(Set(L"T", nullptr, nullptr));
    EXPECT_EQ(Bytes(), zvtest::Utf16(L";c0\r\n;c1\r\n;c2\r\n"));
}

TEST_F(ProfileLayout, EmptyNameIsTheSectionOfAnEmptyHeader)
{
    // Observed: writing to the empty name creates "[]".
    Seed(L"");
    ASSERT_TRUE(Set(L"", L"key", L"v"));
    EXPECT_EQ(Bytes(), zvtest::Utf16(L"[]\r\nkey=v\r\n"));

    // Observed: "[]" is read by the empty name; the lines before the first
    // section are read by no name, not even blanks.
    Seed(L"k=before\r\n[S]\r\nk=s\r\n[]\r\nk=empty\r\n");
    EXPECT_EQ(Get(path, L"", L"k"), L"empty");
    EXPECT_EQ(Get(path, L" ", L"k"), L"empty");
    Seed(L"k=before\r\n[S]\r\nk=s\r\n");
    EXPECT_EQ(Get(path, L"", L"k"), L"<default>");
    EXPECT_EQ(Get(path, L" ", L"k"), L"<default>");

    // Every other operation follows the same rule and leaves the lines before
    // the first section alone.
    Seed(L"pre=1\r\n[]\r\nk=v\r\n[S]\r\ns=1\r\n");
    wchar_t buffer[64];
    GetPrivateProfileSectionW(L"", buffer, 64, W(path).c_str());
    EXPECT_EQ(Items(buffer), (std::vector<std::wstring>{L"k=v"}));
    GetPrivateProfileStringW(L"", nullptr, L"", buffer, 64, W(path).c_str());
    EXPECT_EQ(Items(buffer), (std::vector<std::wstring>{L"k"}));
    ASSERT_TRUE(Set(L"", nullptr, nullptr));
    EXPECT_EQ(Bytes(), zvtest::Utf16(L"pre=1\r\n[S]\r\ns=1\r\n"));
    ASSERT_TRUE(Set(L"", L"pre", nullptr));
    ASSERT_TRUE(Set(L"", nullptr, nullptr));
    EXPECT_EQ(Bytes(), zvtest::Utf16(L"pre=1\r\n[S]\r\ns=1\r\n")) << "nothing to delete under the empty name";
    ASSERT_TRUE(WritePrivateProfileSectionW(L"", L"c=2\0", W(path).c_str()));
    EXPECT_EQ(Get(path, L"", L"c"), L"2");
    EXPECT_EQ(Bytes(), zvtest::Utf16(L"pre=1\r\n[S]\r\ns=1\r\n[]\r\nc=2\r\n"));
}

} // namespace

#include "ProfileTestUtil.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

using namespace profiletest;

class ProfileWrite : public ::testing::Test {
protected:
    void SetUp() override { zv::ClearProfileCache(); }
    BOOL Set(const wchar_t* section, const wchar_t* key, const wchar_t* value)
    {
        return WritePrivateProfileStringW(section, key, value, W(path).c_str());
    }
    std::string Bytes() const { return zvtest::ReadFile(path); }
    zvtest::TempDir dir;
    std::string path = dir / "a.ini";
};

TEST_F(ProfileWrite, ChangesAKeyInItsOwnLine)
{
    zvtest::WriteFile(path, zvtest::Utf16(L"; head\r\n[S]\r\n  Key = old  \r\nother=1\r\n"));
    ASSERT_TRUE(Set(L"s", L"KEY", L"new"));
    EXPECT_EQ(Bytes(), zvtest::Utf16(L"; head\r\n[S]\r\nKey=new\r\nother=1\r\n")) << "the key keeps its spelling";
}

TEST_F(ProfileWrite, NewKeyFollowsTheLastKeyOfItsSection)
{
    zvtest::WriteFile(path, zvtest::Utf16(L"[A]\r\na1=1\r\n; note\r\n\r\n[B]\r\nb=2\r\n"));
    ASSERT_TRUE(Set(L"A", L"a2", L"two"));
    ASSERT_TRUE(Set(L"C", L"c", L"3"));
    ASSERT_TRUE(Set(L"B", L"b2", L"x"));
    EXPECT_EQ(Bytes(), zvtest::Utf16(L"[A]\r\na1=1\r\na2=two\r\n; note\r\n\r\n[B]\r\nb=2\r\nb2=x\r\n[C]\r\nc=3\r\n"));
}

TEST_F(ProfileWrite, NewFileIsUtf16WithMark)
{
    ASSERT_TRUE(Set(L"S", L"name", L"Jörg \U0001F600"));
    EXPECT_EQ(Bytes(), zvtest::Utf16(L"[S]\r\nname=Jörg \U0001F600\r\n"));
    EXPECT_EQ(Get(path, L"S", L"name"), L"Jörg \U0001F600");
}

TEST_F(ProfileWrite, FileKeepsItsEncodingAndLineEnds)
{
    struct Form {
        std::string before;
        std::string after;
    } forms[] = {
        {"[S]\nk=1\n", "[S]\nk=1\nn=\xC3\xA9\n"},
        {"\xEF\xBB\xBF[S]\r\nk=1\r\n", "\xEF\xBB\xBF[S]\r\nk=1\r\nn=\xC3\xA9\r\n"},
        {"[S]\rk=\xF6\r", "[S]\rk=\xF6\rn=\xE9\r"},
        {"[S]\r\nk=1", "[S]\r\nk=1\r\nn=\xC3\xA9\r\n"},
    };
    for (const Form& form : forms) {
        zv::ClearProfileCache();
        zvtest::WriteFile(path, form.before);
        ASSERT_TRUE(Set(L"S", L"n", L"é"));
        EXPECT_EQ(Bytes(), form.after);
    }
}

TEST_F(ProfileWrite, UnknownBytesWrittenBackAsTheyWere)
{
    zvtest::WriteFile(path, "[S]\r\nraw=\x81\x8D\xFF\r\n");
    ASSERT_TRUE(Set(L"S", L"k", L"\u4e2d"));
    EXPECT_EQ(Bytes(), "[S]\r\nraw=\x81\x8D\xFF\r\nk=?\r\n") << "a code-page file gets '?' where it has no byte";
}

TEST_F(ProfileWrite, DeletesExactlyItsLines)
{
    const std::wstring text = L"[A]\r\na=1\r\n;keep\r\n[B]\r\nb=2\r\nc=3\r\n\r\n[C]\r\nz=9\r\n";
    zvtest::WriteFile(path, zvtest::Utf16(text));
    ASSERT_TRUE(Set(L"B", L"b", nullptr));
    EXPECT_EQ(Bytes(), zvtest::Utf16(L"[A]\r\na=1\r\n;keep\r\n[B]\r\nc=3\r\n\r\n[C]\r\nz=9\r\n"));
    ASSERT_TRUE(Set(L"b", nullptr, nullptr));
    EXPECT_EQ(Bytes(), zvtest::Utf16(L"[A]\r\na=1\r\n;keep\r\n\r\n[C]\r\nz=9\r\n")) << "the blank line stays";
    ASSERT_TRUE(Set(L"Missing", L"k", nullptr)) << "deleting what is not there succeeds";
    ASSERT_TRUE(Set(L"Missing", nullptr, nullptr));
    EXPECT_EQ(Bytes(), zvtest::Utf16(L"[A]\r\na=1\r\n;keep\r\n\r\n[C]\r\nz=9\r\n"));
    EXPECT_FALSE(Set(nullptr, L"k", L"v"));
}

TEST_F(ProfileWrite, ReplacesASection)
{
    zvtest::WriteFile(path, zvtest::Utf16(L"[A]\r\nold=1\r\n;c\r\n[B]\r\nb=2\r\n"));
    ASSERT_TRUE(WritePrivateProfileSectionW(L"a", L"x=1\0y=2\0", W(path).c_str()));
    EXPECT_EQ(Bytes(), zvtest::Utf16(L"[A]\r\nx=1\r\ny=2\r\n[B]\r\nb=2\r\n"));
    ASSERT_TRUE(WritePrivateProfileSectionW(L"New", L"n=1\0", W(path).c_str()));
    EXPECT_EQ(Get(path, L"new", L"n"), L"1");
    ASSERT_TRUE(WritePrivateProfileSectionW(L"A", L"\0", W(path).c_str()));
    EXPECT_EQ(Bytes(), zvtest::Utf16(L"[A]\r\n[B]\r\nb=2\r\n[New]\r\nn=1\r\n"));
    ASSERT_TRUE(WritePrivateProfileSectionW(L"Empty", L"\0", W(path).c_str()));
    EXPECT_EQ(Bytes(), zvtest::Utf16(L"[A]\r\n[B]\r\nb=2\r\n[New]\r\nn=1\r\n")) << "no empty section is created";
}

// Lookups go through an index of the lines; every change that adds or
// removes lines must leave it pointing at the right ones.
TEST_F(ProfileWrite, LookupsFollowLinesThatComeAndGo)
{
    zvtest::WriteFile(path, zvtest::Utf16(L"top=0\r\n[A]\r\nk=1\r\n[B]\r\nk=2\r\n[a]\r\nk=3\r\nonly=dup\r\n"));
    EXPECT_EQ(Get(path, L"A", L"k"), L"1");
    EXPECT_EQ(Get(path, L"A", L"only"), L"<default>") << "a duplicate section is not looked into";
    ASSERT_TRUE(Set(L"A", L"new", L"n"));
    EXPECT_EQ(Get(path, L"B", L"k"), L"2");
    EXPECT_EQ(Get(path, L"a", L"NEW"), L"n");
    ASSERT_TRUE(Set(L"A", nullptr, nullptr));
    EXPECT_EQ(Get(path, L"A", L"k"), L"3") << "the duplicate is now the first of its name";
    EXPECT_EQ(Get(path, L"A", L"only"), L"dup");
    ASSERT_TRUE(Set(L"", L"top2", L"t"));
    ASSERT_TRUE(Set(L"B", L"k", nullptr));
    EXPECT_EQ(Get(path, L"B", L"k"), L"<default>");
    EXPECT_EQ(Get(path, L"", L"top2"), L"t");
    EXPECT_EQ(Get(path, L"", L"top"), L"<default>");
    ASSERT_TRUE(WritePrivateProfileSectionW(L"B", L"x=1\0y=2\0", W(path).c_str()));
    EXPECT_EQ(Get(path, L"a", L"k"), L"3");
    EXPECT_EQ(Get(path, L"b", L"y"), L"2");
    EXPECT_EQ(Bytes(), zvtest::Utf16(L"top=0\r\n[B]\r\nx=1\r\ny=2\r\n[a]\r\nk=3\r\nonly=dup\r\n[]\r\ntop2=t\r\n"));
}

TEST_F(ProfileWrite, FailsAndChangesNothingWhereItCannotWrite)
{
    EXPECT_FALSE(WritePrivateProfileStringW(L"S", L"k", L"v", W(dir / "missing/a.ini").c_str()));
    EXPECT_FALSE(zvtest::PathExists(dir / "missing"));
    zvtest::MakeFolders(dir / "folder.ini");
    EXPECT_FALSE(WritePrivateProfileStringW(L"S", L"k", L"v", W(dir / "folder.ini").c_str()));
    zvtest::WriteFile(dir / "file", "x");
    EXPECT_FALSE(WritePrivateProfileStringW(L"S", L"k", L"v", W(dir / "file/a.ini").c_str()));
    EXPECT_FALSE(WritePrivateProfileStringW(L"S", L"k", L"v", nullptr));
    if (geteuid() != 0) {
        zvtest::MakeFolders(dir / "ro");
        zvtest::WriteFile(dir / "ro/a.ini", zvtest::Utf16(L"[S]\r\nk=1\r\n"));
        chmod((dir / "ro").c_str(), 0555);
        EXPECT_FALSE(WritePrivateProfileStringW(L"S", L"k", L"2", W(dir / "ro/a.ini").c_str()));
        EXPECT_EQ(Get(dir / "ro/a.ini", L"S", L"k"), L"1");
        chmod((dir / "ro").c_str(), 0755);
    }
}

TEST_F(ProfileWrite, KeepsPermissions)
{
    zvtest::WriteFile(path, zvtest::Utf16(L"[S]\r\n"));
    chmod(path.c_str(), 0640);
    ASSERT_TRUE(Set(L"S", L"k", L"v"));
    struct stat info;
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST_F(ProfileWrite, BatchWritesOnceWithTheSameBytes)
{
    const std::wstring start = L"; settings\r\n[View]\r\nzoom=1\r\n\r\n[Trade]\r\nqty=5\r\n";
    std::string single, batched;
    auto edits = [&] {
        Set(L"View", L"zoom", L"2");
        Set(L"View", L"grid", L"on");
        Set(L"Trade", L"qty", nullptr);
        Set(L"Orders", L"last", L"42");
        WritePrivateProfileSectionW(L"Trade", L"a=1\0b=2\0", W(path).c_str());
        Set(L"View", L"zoom", L"3");
    };
    zvtest::WriteFile(path, zvtest::Utf16(start));
    edits();
    single = Bytes();

    zv::ClearProfileCache();
    zvtest::WriteFile(path, zvtest::Utf16(start));
    {
        zv::ProfileBatch batch(W(path).c_str());
        edits();
        EXPECT_EQ(Get(path, L"View", L"zoom"), L"3") << "reads inside the scope see its writes";
        EXPECT_EQ(Bytes(), zvtest::Utf16(start)) << "nothing on disk until the scope closes";
    }
    batched = Bytes();
    EXPECT_EQ(batched, single);
}

TEST_F(ProfileWrite, BatchOnAMissingFolderReportsFailure)
{
    const std::wstring missing = W(dir / "missing/a.ini");
    zv::ProfileBatch batch(missing.c_str());
    WritePrivateProfileStringW(L"S", L"k", L"v", missing.c_str());
    EXPECT_FALSE(batch.Flush());
    EXPECT_FALSE(zvtest::PathExists(dir / "missing"));
}

} // namespace

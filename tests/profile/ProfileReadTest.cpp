#include "ProfileTestUtil.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using namespace profiletest;

class ProfileRead : public ::testing::Test {
protected:
    void SetUp() override { zv::ClearProfileCache(); }
    std::string Write(const std::wstring& text)
    {
        zvtest::WriteFile(path, zvtest::Utf16(text));
        return path;
    }
    zvtest::TempDir dir;
    std::string path = dir / "a.ini";
};

TEST_F(ProfileRead, NamesIgnoreCaseAndBlanks)
{
    Write(L"[Main]\r\n  Title  =  Trading Desk  \r\nPORT=8080\r\n[ Spaced ]\r\nk=v\r\n"
          L"[\U00010400\u00e9]\r\n\U00010401=beyond\r\n");
    EXPECT_EQ(Get(path, L"main", L"title"), L"Trading Desk");
    EXPECT_EQ(Get(path, L"MAIN", L"port"), L"8080");
    EXPECT_EQ(Get(path, L"Main", L" Port "), L"8080");
    EXPECT_EQ(Get(path, L"spaced", L"K"), L"v");
    EXPECT_EQ(Get(path, L"\U00010428\u00c9", L"\U00010429"), L"beyond") << "a character beyond U+FFFF folds whole";
    EXPECT_EQ(Get(path, L"Main", L"Missing"), L"<default>");
    EXPECT_EQ(Get(path, L"Main", L"Missing", L"padded  "), L"padded") << "trailing blanks of the default go";
    EXPECT_EQ(Get(path, L"Main", L"Missing", nullptr), L"");
    EXPECT_EQ(Get(path, L"Main", L"Missing", L"tab\t"), L"tab\t") << "only spaces are cut from a default";
}

TEST_F(ProfileRead, QuotesAroundValues)
{
    Write(L"[S]\r\na=\"quoted\"\r\nb='single'\r\nc=\"mismatched'\r\nd=\"\r\ne=\" inner \"\r\n");
    EXPECT_EQ(Get(path, L"S", L"a"), L"quoted");
    EXPECT_EQ(Get(path, L"S", L"b"), L"single");
    EXPECT_EQ(Get(path, L"S", L"c"), L"\"mismatched'");
    EXPECT_EQ(Get(path, L"S", L"d"), L"\"");
    EXPECT_EQ(Get(path, L"S", L"e"), L" inner ");
}

TEST_F(ProfileRead, LinesThatAreNotKeys)
{
    Write(L"orphan=before sections\r\n; comment=not a key\r\n[S]\r\njust text\r\n;k=commented\r\nk=real\r\n\r\n"
          L"[S]\r\nk=second section\r\nonly=here\r\n");
    EXPECT_EQ(Get(path, L"S", L"k"), L"real");
    EXPECT_EQ(Get(path, L"S", L"just text"), L"<default>");
    EXPECT_EQ(Get(path, L"S", L";k"), L"<default>") << "a comment line is no key";
    EXPECT_EQ(Get(path, L"", L"orphan"), L"<default>") << "lines before the first section are in no section";

    wchar_t buffer[256];
    zv::ProfileGetString(L"S", nullptr, L"", buffer, 256, W(path).c_str());
    EXPECT_EQ(Items(buffer), (std::vector<std::wstring>{L"k"}));
    zv::ProfileGetSection(L"S", buffer, 256, W(path).c_str());
    EXPECT_EQ(Items(buffer), (std::vector<std::wstring>{L"just text", L"k=real"}));
}

TEST_F(ProfileRead, ListsAndTheirTruncation)
{
    Write(L"[First]\r\nalpha=1\r\nbeta=2\r\n[Second]\r\n[Third]\r\n");
    wchar_t buffer[64];
    const std::wstring file = W(path);
    EXPECT_EQ(zv::ProfileGetSectionNames(buffer, 64, file.c_str()), 19u);
    EXPECT_EQ(Items(buffer), (std::vector<std::wstring>{L"First", L"Second", L"Third"}));
    EXPECT_EQ(zv::ProfileGetString(nullptr, nullptr, L"", buffer, 64, file.c_str()), 19u);

    // Too small: size - 2, what fits, ended by two nulls.
    wmemset(buffer, L'#', 64);
    EXPECT_EQ(zv::ProfileGetSectionNames(buffer, 9, file.c_str()), 7u);
    EXPECT_EQ(std::wstring(buffer, 9), std::wstring(L"First\0S\0\0", 9));
    EXPECT_EQ(buffer[9], L'#') << "nothing past the buffer";

    EXPECT_EQ(zv::ProfileGetString(L"First", nullptr, L"", buffer, 64, file.c_str()), 11u);
    EXPECT_EQ(Items(buffer), (std::vector<std::wstring>{L"alpha", L"beta"}));
    EXPECT_EQ(zv::ProfileGetSection(L"First", buffer, 8, file.c_str()), 6u);
    EXPECT_EQ(zv::ProfileGetSection(L"Second", buffer, 64, file.c_str()), 0u);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(buffer[1], 0);
    EXPECT_EQ(zv::ProfileGetSectionNames(buffer, 0, file.c_str()), 0u);
}

// A list that would fill the buffer exactly counts as cut; a list cut where
// an item ends gets one closing null (section names two); nothing is ever
// written past the buffer, whatever its size.
TEST_F(ProfileRead, ListBoundaries)
{
    Write(L"[S]\r\nab=1\r\nc=2\r\n[T]\r\n");
    const std::wstring file = W(path);
    wchar_t buffer[16];
    wmemset(buffer, L'#', 16);
    EXPECT_EQ(zv::ProfileGetString(L"S", nullptr, L"", buffer, 6, file.c_str()), 4u);
    EXPECT_EQ(std::wstring(buffer, 6), std::wstring(L"ab\0c\0\0", 6));
    EXPECT_EQ(zv::ProfileGetString(L"S", nullptr, L"", buffer, 7, file.c_str()), 5u);
    EXPECT_EQ(zv::ProfileGetSectionNames(buffer, 5, file.c_str()), 3u);
    EXPECT_EQ(zv::ProfileGetSectionNames(buffer, 6, file.c_str()), 4u);
    EXPECT_EQ(zv::ProfileGetSection(L"S", buffer, 10, file.c_str()), 8u);
    EXPECT_EQ(zv::ProfileGetSection(L"S", buffer, 11, file.c_str()), 9u);

    wmemset(buffer, L'#', 16);
    EXPECT_EQ(zv::ProfileGetString(L"S", nullptr, L"", buffer, 5, file.c_str()), 3u);
    EXPECT_EQ(std::wstring(buffer, 5), std::wstring(L"ab\0\0#", 5));
    wmemset(buffer, L'#', 16);
    EXPECT_EQ(zv::ProfileGetSectionNames(buffer, 4, file.c_str()), 2u);
    EXPECT_EQ(std::wstring(buffer, 5), std::wstring(L"S\0\0\0#", 5));

    for (DWORD size = 0; size < 12; ++size) {
        wmemset(buffer, L'#', 16);
        zv::ProfileGetSectionNames(buffer, size, file.c_str());
        EXPECT_EQ(buffer[size], L'#') << "names, size " << size;
        wmemset(buffer, L'#', 16);
        zv::ProfileGetString(L"S", nullptr, L"", buffer, size, file.c_str());
        EXPECT_EQ(buffer[size], L'#') << "keys, size " << size;
        wmemset(buffer, L'#', 16);
        zv::ProfileGetSection(L"S", buffer, size, file.c_str());
        EXPECT_EQ(buffer[size], L'#') << "lines, size " << size;
    }
}

TEST_F(ProfileRead, ValueTruncation)
{
    Write(L"[S]\r\nk=abcdef\r\n");
    wchar_t buffer[8];
    wmemset(buffer, L'#', 8);
    EXPECT_EQ(zv::ProfileGetString(L"S", L"k", L"", buffer, 4, W(path).c_str()), 3u);
    EXPECT_EQ(std::wstring(buffer), L"abc");
    EXPECT_EQ(buffer[4], L'#');
    EXPECT_EQ(zv::ProfileGetString(L"S", L"k", L"", buffer, 7, W(path).c_str()), 6u);
    EXPECT_EQ(zv::ProfileGetString(L"S", L"k", L"", buffer, 0, W(path).c_str()), 0u);
    EXPECT_EQ(zv::ProfileGetString(L"S", L"x", L"defaultvalue", buffer, 5, W(path).c_str()), 4u);
    EXPECT_EQ(std::wstring(buffer), L"defa");
    EXPECT_EQ(zv::ProfileGetString(L"S", L"k", L"", nullptr, 5, W(path).c_str()), 0u);
}

TEST_F(ProfileRead, EncodingsAndLineEnds)
{
    const std::wstring text = L"[S]\nname=Jörg\n";
    const std::string forms[] = {
        zvtest::Utf16(L"[S]\r\nname=Jörg\r\n"),
        "\xEF\xBB\xBF[S]\r\nname=J\xC3\xB6rg\r\n",
        "[S]\nname=J\xC3\xB6rg\n",
        "[S]\rname=J\xF6rg\r",
        "[S]\r\nname=J\xC3\xB6rg",
    };
    for (const std::string& bytes : forms) {
        zvtest::WriteFile(path, bytes);
        EXPECT_EQ(Get(path, L"S", L"name"), L"Jörg") << bytes;
    }
}

TEST_F(ProfileRead, FileChangedByAnotherProgramIsSeen)
{
    Write(L"[S]\r\nk=old\r\n");
    EXPECT_EQ(Get(path, L"S", L"k"), L"old");
    Write(L"[S]\r\nk=new value\r\n");
    EXPECT_EQ(Get(path, L"S", L"k"), L"new value") << "a different size or time invalidates the copy";
    zvtest::WriteFile(path + ".tmp", zvtest::Utf16(L"[S]\r\nk=new_value\r\n"));
    std::filesystem::rename(path + ".tmp", path);
    EXPECT_EQ(Get(path, L"S", L"k"), L"new_value") << "a replaced file is another file";
}

TEST_F(ProfileRead, BadFilesReadAsDefaults)
{
    EXPECT_EQ(Get(dir / "missing.ini", L"S", L"k"), L"<default>");
    EXPECT_EQ(Get(dir.path(), L"S", L"k"), L"<default>") << "a folder";
    zvtest::WriteFile(dir / "file", "x");
    EXPECT_EQ(Get(dir / "file/below.ini", L"S", L"k"), L"<default>");

    std::string garbage;
    unsigned seed = 42;
    for (int i = 0; i < 100000; ++i) {
        seed = seed * 1103515245u + 12345u;
        garbage += static_cast<char>(seed >> 16);
    }
    zvtest::WriteFile(path, garbage);
    Get(path, L"S", L"k");
    zvtest::WriteFile(path, std::string("\xFF\xFE[\0S\0]\0\n\0k\0=\0v\0\0\0x", 19));
    EXPECT_EQ(Get(path, L"S", L"k"), L"v") << "a NUL ends the value, an odd last byte is dropped";
    zvtest::WriteFile(path, zvtest::Utf16(L"[S]\r\nk=" + std::wstring(10 * 1024 * 1024, L'x') + L"\r\n"));
    EXPECT_EQ(Get(path, L"S", L"k").size(), 1023u);
}

} // namespace

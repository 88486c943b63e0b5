#include "ProfileTestUtil.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>

namespace {

using namespace profiletest;

std::string U(const std::wstring& text)
{
    return zvtest::Utf16(text);
}

// One read of one file: the file's bytes, the names asked, the value read.
struct ReadCase {
    const char* name; // what the row guards
    std::string file;
    const wchar_t* section;
    const wchar_t* key;
    std::wstring expected;
    const wchar_t* def = L"<default>";
};

void PrintTo(const ReadCase& c, std::ostream* os)
{
    *os << c.name;
}

const std::wstring kNames = L"[Main]\r\n  Title  =  Trading Desk  \r\nPORT=8080\r\n[ Spaced ]\r\nk=v\r\n"
                            L"[\U00010400\u00e9]\r\n\U00010401=beyond\r\n";
const std::wstring kQuotes = L"[S]\r\na=\"quoted\"\r\nb='single'\r\nc=\"mismatched'\r\nd=\"\r\ne=\" inner \"\r\n";
const std::wstring kNotKeys = L"orphan=before sections\r\n; comment=not a key\r\n[S]\r\njust text\r\n;k=commented\r\n"
                              L"k=real\r\n\r\n[S]\r\nk=second section\r\nonly=here\r\n";
const std::wstring kEmptyHeader = L"k=before\r\n[S]\r\nk=s\r\n[]\r\nk=empty\r\n";

const ReadCase kReads[] = {
    {"SectionCaseIgnoredValueBlanksCut", U(kNames), L"main", L"title", L"Trading Desk"},
    {"KeyCaseIgnored", U(kNames), L"MAIN", L"port", L"8080"},
    {"BlanksAroundAskedKeyIgnored", U(kNames), L"Main", L" Port ", L"8080"},
    {"BlanksInsideHeaderIgnored", U(kNames), L"spaced", L"K", L"v"},
    {"CharacterBeyondBmpFoldsWhole", U(kNames), L"\U00010428\u00c9", L"\U00010429", L"beyond"},
    {"MissingKeyGivesDefault", U(kNames), L"Main", L"Missing", L"<default>"},
    {"TrailingSpacesOfDefaultCut", U(kNames), L"Main", L"Missing", L"padded", L"padded  "},
    {"NullDefaultIsEmpty", U(kNames), L"Main", L"Missing", L"", nullptr},
    {"OnlySpacesCutFromDefault", U(kNames), L"Main", L"Missing", L"tab\t", L"tab\t"},
    {"DoubleQuotesStripped", U(kQuotes), L"S", L"a", L"quoted"},
    {"SingleQuotesStripped", U(kQuotes), L"S", L"b", L"single"},
    {"MismatchedQuotesKept", U(kQuotes), L"S", L"c", L"\"mismatched'"},
    {"LoneQuoteKept", U(kQuotes), L"S", L"d", L"\""},
    {"BlanksInsideQuotesKept", U(kQuotes), L"S", L"e", L" inner "},
    {"FirstSectionOfANameWins", U(kNotKeys), L"S", L"k", L"real"},
    {"DuplicateSectionNotLookedInto", U(kNotKeys), L"S", L"only", L"<default>"},
    {"LineWithoutEqualsIsNoKey", U(kNotKeys), L"S", L"just text", L"<default>"},
    {"LinesBeforeFirstSectionInNone", U(kNotKeys), L"", L"orphan", L"<default>"},
    {"CommentKeyReadsAsDefault", U(L"[S]\r\n;key=v\r\n"), L"S", L";key", L"<default>"},
    {"CommentIsNotTheKeyWithoutSemicolon", U(L"[S]\r\n;key=v\r\n"), L"S", L"key", L"<default>"},
    {"BlanksBeforeSemicolonKeepComment", U(L"[S]\r\n ;key=v\r\n"), L"S", L";key", L"<default>"},
    {"TabBeforeSemicolonKeepsComment", U(L"[S]\r\n\t;key=v\r\n"), L"S", L"\t;key", L"<default>"},
    {"ValueStartingWithSemicolon", U(L"[S]\r\nk=;v\r\n"), L"S", L"k", L";v"},
    {"SemicolonInsideKey", U(L"[S]\r\nkey ;x=v\r\n"), L"S", L"key ;x", L"v"},
    {"SemicolonInSectionName", U(L"[;S]\r\nk=v\r\n"), L";S", L"k", L"v"},
    {"EmptyKeyFound", U(L"[S]\r\n=;c\r\n"), L"S", L"", L";c"},
    {"EmptyNameReadsEmptyHeader", U(kEmptyHeader), L"", L"k", L"empty"},
    {"BlankNameReadsEmptyHeader", U(kEmptyHeader), L" ", L"k", L"empty"},
    {"EmptyNameWithoutHeaderReadsNothing", U(L"k=before\r\n[S]\r\nk=s\r\n"), L"", L"k", L"<default>"},
    {"BlankNameWithoutHeaderReadsNothing", U(L"k=before\r\n[S]\r\nk=s\r\n"), L" ", L"k", L"<default>"},
    {"Utf16File", U(L"[S]\r\nname=Jörg\r\n"), L"S", L"name", L"Jörg"},
    {"Utf8WithMark", "\xEF\xBB\xBF[S]\r\nname=J\xC3\xB6rg\r\n", L"S", L"name", L"Jörg"},
    {"Utf8WithLineFeeds", "[S]\nname=J\xC3\xB6rg\n", L"S", L"name", L"Jörg"},
    {"CodePageWithCarriageReturns", "[S]\rname=J\xF6rg\r", L"S", L"name", L"Jörg"},
    {"NoFinalLineEnd", "[S]\r\nname=J\xC3\xB6rg", L"S", L"name", L"Jörg"},
    {"NulEndsValueOddByteDropped", std::string("\xFF\xFE[\0S\0]\0\n\0k\0=\0v\0\0\0x", 19), L"S", L"k", L"v"},
};

class ProfileReads : public ::testing::TestWithParam<ReadCase> {
protected:
    void SetUp() override { zv::ClearProfileCache(); }
    zvtest::TempDir dir;
    std::string path = dir / "a.ini";
};

TEST_P(ProfileReads, ReadsTheValue)
{
    const ReadCase& c = GetParam();
    zvtest::WriteFile(path, c.file);
    EXPECT_EQ(Get(path, c.section, c.key, c.def), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, ProfileReads, ::testing::ValuesIn(kReads),
                         [](const ::testing::TestParamInfo<ReadCase>& info) { return std::string(info.param.name); });

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

// Key lists skip comments and duplicates; line lists keep lines without '=';
// the empty name is listed by its header but not among the section names,
// where it would end the list.
TEST_F(ProfileRead, ListsAndTheirTruncation)
{
    wchar_t buffer[256];
    Write(kNotKeys);
    zv::ProfileGetString(L"S", nullptr, L"", buffer, 256, W(path).c_str());
    EXPECT_EQ(Items(buffer), (std::vector<std::wstring>{L"k"}));
    zv::ProfileGetSection(L"S", buffer, 256, W(path).c_str());
    EXPECT_EQ(Items(buffer), (std::vector<std::wstring>{L"just text", L"k=real"}));

    Write(L"pre=1\r\n[]\r\nk=v\r\n[S]\r\ns=1\r\n[T]\r\n");
    zv::ProfileGetSection(L"", buffer, 64, W(path).c_str());
    EXPECT_EQ(Items(buffer), (std::vector<std::wstring>{L"k=v"}));
    zv::ProfileGetString(L"", nullptr, L"", buffer, 64, W(path).c_str());
    EXPECT_EQ(Items(buffer), (std::vector<std::wstring>{L"k"}));
    zv::ProfileGetSectionNames(buffer, 64, W(path).c_str());
    EXPECT_EQ(Items(buffer), (std::vector<std::wstring>{L"S", L"T"}));

    Write(L"[First]\r\nalpha=1\r\nbeta=2\r\n[Second]\r\n[Third]\r\n");
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
    Get(path, L"S", L"k"); // must neither crash nor hang
    zvtest::WriteFile(path, zvtest::Utf16(L"[S]\r\nk=" + std::wstring(10 * 1024 * 1024, L'x') + L"\r\n"));
    EXPECT_EQ(Get(path, L"S", L"k").size(), 1023u);
}

} // namespace

#include "ProfileTestUtil.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <chrono>
#include <filesystem>
#include <optional>
#include <ostream>

// What the comparison under wine (tests/wine/scripts) cannot check: where the
// reference differs from Windows, or the script cannot make the file.
namespace {

using namespace profiletest;

// A call: a key written or deleted, a section's lines replaced, or a read
// (of a value, the section names, a section's keys or lines) into a buffer of
// `size` that must see what the calls before it wrote.
struct Step {
    enum Kind { kString, kSection, kRead, kNames, kKeys, kLines } kind;
    const wchar_t* section;
    const wchar_t* key;
    const wchar_t* value; // the value written, or the value read
    std::wstring text;    // the lines of kSection, ended by nulls; the default of kRead; a list's start
    DWORD size = 1024;
    DWORD returned = 0; // by a list
};

Step Put(const wchar_t* section, const wchar_t* key, const wchar_t* value)
{
    return {Step::kString, section, key, value, {}};
}
// The lines as written in the literal, with its closing null: "a=1\0" is one line.
template <std::size_t N> Step Lines(const wchar_t* section, const wchar_t (&lines)[N])
{
    return {Step::kSection, section, nullptr, nullptr, std::wstring(lines, N)};
}
Step Read(const wchar_t* section, const wchar_t* key, const wchar_t* expected, const wchar_t* def = L"<default>",
          DWORD size = 1024)
{
    return {Step::kRead, section, key, expected, def, size};
}
// The list's first characters ('#' where the buffer is untouched): a list cut
// where an item ends gets one closing null (section names two) and returns size - 2.
Step List(Step::Kind kind, const wchar_t* section, DWORD size, DWORD returned, std::wstring start)
{
    return {kind, section, nullptr, nullptr, std::move(start), size, returned};
}

DWORD ReadInto(const Step& s, const std::wstring& file, wchar_t* buffer, DWORD size)
{
    switch (s.kind) {
    case Step::kNames:
        return zv::ProfileGetSectionNames(buffer, size, file.c_str());
    case Step::kKeys:
        return zv::ProfileGetString(s.section, nullptr, L"", buffer, size, file.c_str());
    case Step::kLines:
        return zv::ProfileGetSection(s.section, buffer, size, file.c_str());
    default:
        return zv::ProfileGetString(s.section, s.key, s.text.c_str(), buffer, size, file.c_str());
    }
}

// The step's answer, nothing past the buffer at its size or any size up to 11, nothing into no buffer.
void CheckRead(const Step& s, const std::wstring& file)
{
    wchar_t buffer[1040];
    wmemset(buffer, L'#', 1040);
    const DWORD got = ReadInto(s, file, buffer, s.size);
    if (s.kind == Step::kRead)
        EXPECT_TRUE(s.size == 0 ? got == 0 : buffer[got] == 0 && std::wstring(buffer) == s.value)
            << "read of " << s.key;
    else
        EXPECT_TRUE(got == s.returned && std::wstring(buffer, s.text.size()) == s.text) << "list of kind " << s.kind;
    EXPECT_EQ(buffer[s.size], L'#') << "past the buffer";
    for (DWORD size = 0; size < 12; ++size) {
        wmemset(buffer, L'#', 16);
        ReadInto(s, file, buffer, size);
        EXPECT_EQ(buffer[size], L'#') << "size " << size;
    }
    EXPECT_EQ(ReadInto(s, file, nullptr, 5), 0u);
}

// The file before (none if absent), the calls, the bytes after (none: unchanged).
struct CallCase {
    const char* name; // what the row guards
    std::optional<std::string> before;
    std::vector<Step> steps;
    std::optional<std::string> after = {};
};

void PrintTo(const CallCase& c, std::ostream* os)
{
    *os << c.name;
}

const CallCase kCalls[] = {
    {"NamesBeyondTheBasicPlaneIgnoreCase",
     U(L"[\U00010400\u00e9]\r\n\U00010401=beyond\r\n"),
     {Read(L"\U00010428\u00c9", L"\U00010429", L"beyond")}},
    // As on Windows, a semicolon first on a line (after blanks) makes a comment, never a key.
    {"SemicolonMakesACommentOnlyFirstOnItsLine",
     U(L"[S]\r\n;a=v\r\n ;b=v\r\n\t;c=v\r\nk=;v\r\nkey ;x=v\r\n=;c\r\n[;S]\r\nk=v\r\n"),
     {Read(L"S", L";a", L"<default>"), Read(L"S", L"a", L"<default>"), Read(L"S", L";b", L"<default>"),
      Read(L"S", L"\t;c", L"<default>"), Read(L"S", L"k", L";v"), Read(L"S", L"key ;x", L"v"), Read(L"S", L"", L";c"),
      Read(L";S", L"k", L"v")}},
    {"EmptyNameReadsEmptyHeader",
     U(L"k=before\r\n[S]\r\nk=s\r\n[]\r\nk=empty\r\n"),
     {Read(L"", L"k", L"empty"), Read(L" ", L"k", L"empty")}},
    {"EmptyNameWithoutHeaderReadsNothing",
     U(L"k=before\r\n[S]\r\nk=s\r\n"),
     {Read(L"", L"k", L"<default>"), Read(L" ", L"k", L"<default>")}},
    {"NulEndsValueOddByteDropped", std::string("\xFF\xFE[\0S\0]\0\n\0k\0=\0v\0\0\0x", 19), {Read(L"S", L"k", L"v")}},
    {"ChangedKeyKeepsItsLineAndSpelling",
     U(L"; head\r\n[S]\r\n  Key = old  \r\nother=1\r\n"),
     {Put(L"s", L"KEY", L"new")},
     U(L"; head\r\n[S]\r\nKey=new\r\nother=1\r\n")},
    {"NewKeyFollowsLastKeyOfItsSection",
     U(L"[A]\r\na1=1\r\n; note\r\n\r\n[B]\r\nb=2\r\n"),
     {Put(L"A", L"a2", L"two"), Put(L"C", L"c", L"3"), Put(L"B", L"b2", L"x")},
     U(L"[A]\r\na1=1\r\na2=two\r\n; note\r\n\r\n[B]\r\nb=2\r\nb2=x\r\n[C]\r\nc=3\r\n")},
    {"NewFileIsUtf16WithMark",
     std::nullopt,
     {Put(L"S", L"name", L"Jörg \U0001F600"), Read(L"S", L"name", L"Jörg \U0001F600")},
     U(L"[S]\r\nname=Jörg \U0001F600\r\n")},
    {"Utf8WithMarkAndLineFeedsKept",
     "\xEF\xBB\xBF[S]\nk=J\xC3\xB6rg\n",
     {Read(L"S", L"k", L"Jörg"), Put(L"S", L"n", L"é")},
     "\xEF\xBB\xBF[S]\nk=J\xC3\xB6rg\nn=\xC3\xA9\n"},
    {"CodePageAndCarriageReturnsKept",
     "[S]\rk=J\xF6rg\r",
     {Read(L"S", L"k", L"Jörg"), Put(L"S", L"n", L"é")},
     "[S]\rk=J\xF6rg\rn=\xE9\r"},
    {"MissingLastLineEndAdded",
     "[S]\r\nk=J\xC3\xB6rg",
     {Read(L"S", L"k", L"Jörg"), Put(L"S", L"n", L"é")},
     "[S]\r\nk=J\xC3\xB6rg\r\nn=\xC3\xA9\r\n"},
    {"UntouchedLastLineKeepsItsMissingLineEnd",
     "[S]\r\nk=1\r\n[T]\r\nt=1",
     {Put(L"S", L"k", L"2")},
     "[S]\r\nk=2\r\n[T]\r\nt=1"},
    {"UnknownBytesKeptUnmappableWrittenAsQuestionMark",
     "[S]\r\nraw=\x81\x8D\xFF\r\n",
     {Put(L"S", L"k", L"\u4e2d")},
     "[S]\r\nraw=\x81\x8D\xFF\r\nk=?\r\n"},
    {"DuplicateSectionTakesOverWhenTheFirstGoes",
     U(L"[A]\r\nk=1\r\n[B]\r\nb=0\r\n[ a ]\r\nk=2\r\n"),
     {Read(L"a", L"k", L"1"), Put(L"A", nullptr, nullptr), Read(L"A", L"k", L"2"), Read(L"B", L"b", L"0"),
      Put(L"A", L"n", L"3")},
     U(L"[B]\r\nb=0\r\n[ a ]\r\nk=2\r\nn=3\r\n")},
    {"HeaderWrittenInLinesOrAsKeyStartsASection",
     U(L"[A]\r\na=1\r\n[Z]\r\nz=1\r\n"),
     {Lines(L"A", L"x=1\0[Inner]\0y=2\0"), Put(L"Z", L"[X]", L"v"), Put(L"X", L"k", L"1"), Read(L"Inner", L"y", L"2"),
      Read(L"A", L"y", L"<default>"), Read(L"Z", L"z", L"1"), Read(L"X", L"k", L"1")},
     U(L"[A]\r\nx=1\r\n[Inner]\r\ny=2\r\n[Z]\r\nz=1\r\n[X]=v\r\nk=1\r\n")},
    {"SectionNamesMatchWithoutCaseOrBlanks",
     std::nullopt,
     {Put(L"  Stra\u00dfe \u00c9T\u00c9 ", L"k", L"1"), Read(L"stra\u00dfe \u00e9t\u00e9", L"K", L"1"),
      Put(L"STRA\u00dfE \u00e9t\u00e9", L"k", L"2")},
     U(L"[Stra\u00dfe \u00c9T\u00c9]\r\nk=2\r\n")},
    // As on Windows: a key starting with ';' is never read back; each write adds a line after the last key.
    {"CommentKeysAddLinesAfterTheLastKey",
     U(L""),
     {Put(L"S", L"z", L""), Put(L"S", L";y", L""), Put(L"S", L"a", L""), Put(L"S", L";b", L""), Put(L"S", L";b", L""),
      Read(L"S", L";b", L"<default>")},
     U(L"[S]\r\nz=\r\na=\r\n;b=\r\n;b=\r\n;y=\r\n")},
    {"DeletedSectionsKeepTheirComments",
     U(L";c0\r\n[S]\r\n;c1\r\n\r\nk=1\r\n[T]\r\n;c2\r\n"),
     {Put(L"S", nullptr, nullptr), Put(L"T", nullptr, nullptr)},
     U(L";c0\r\n;c1\r\n\r\n;c2\r\n")},
    {"EmptyNameListsAreThoseOfTheEmptyHeader",
     U(L"pre=1\r\n[]\r\n;c\r\nbare\r\nk=v\r\n[S]\r\ns=1\r\n[T]\r\n"),
     {List(Step::kLines, L"", 64, 9, {L"bare\0k=v\0\0", 10}), List(Step::kKeys, L"", 64, 2, {L"k\0\0", 3}),
      List(Step::kNames, nullptr, 64, 4, {L"S\0T\0\0", 5})}},
    // A list filled to its last place before the cut item wrote that item past the buffer.
    {"ListsCutAtAnItemEnd",
     U(L"[S]\r\nab=1\r\nc=2\r\n[T]\r\n"),
     {List(Step::kKeys, L"S", 5, 3, {L"ab\0\0#", 5}), List(Step::kNames, nullptr, 4, 2, {L"S\0\0\0#", 5})}},
    {"ValuesAndDefaultsCut",
     U(L"[S]\r\nk=abcdef\r\n"),
     {Read(L"S", L"k", L"abc", L"", 4), Read(L"S", L"k", L"", L"", 0), Read(L"S", L"x", L"defa", L"defaultvalue", 5)}},
    {"EmptyNameIsTheEmptyHeaderNotTheLinesBeforeFirstSection",
     U(L"pre=1\r\n[]\r\nk=v\r\n[S]\r\ns=1\r\n"),
     {Put(L"", nullptr, nullptr), Put(L"", L"pre", nullptr), Put(L"", nullptr, nullptr), Put(L"", L"key", L"v"),
      Read(L"", L"key", L"v"), Lines(L"", L"c=2\0"), Read(L"", L"c", L"2")},
     U(L"pre=1\r\n[S]\r\ns=1\r\n[]\r\nc=2\r\n")},
};

using ProfileCalls = InFolder<::testing::TestWithParam<CallCase>>;

// Each row runs alone and in a batch, which writes nothing before it closes
// and then the same bytes; the reads after the last write give the same from
// a fresh parse.
TEST_P(ProfileCalls, AnswerAndLeaveTheBytes)
{
    const CallCase& c = GetParam();
    for (const bool batched : {false, true}) {
        SCOPED_TRACE(batched ? "in a batch" : "alone");
        zv::ClearProfileCache();
        std::filesystem::remove(path);
        if (c.before)
            zvtest::WriteFile(path, *c.before);
        std::optional<zv::ProfileBatch> batch;
        if (batched)
            batch.emplace(file.c_str());
        std::vector<const Step*> lastReads;
        for (const Step& step : c.steps) {
            if (step.kind >= Step::kRead) {
                CheckRead(step, file);
                lastReads.push_back(&step);
                continue;
            }
            lastReads.clear();
            ASSERT_TRUE(step.kind == Step::kString
                            ? Set(step.section, step.key, step.value)
                            : zv::ProfileWriteSection(step.section, step.text.c_str(), file.c_str()));
        }
        EXPECT_TRUE(!batch || zvtest::ReadFile(path) == c.before.value_or("")) << "written before the batch closed";
        batch.reset();
        EXPECT_EQ(zvtest::ReadFile(path), c.after ? *c.after : c.before.value_or(""));
        zv::ClearProfileCache();
        for (const Step* step : lastReads)
            CheckRead(*step, file);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ProfileCalls, ::testing::ValuesIn(kCalls),
                         [](const ::testing::TestParamInfo<CallCase>& info) { return std::string(info.param.name); });

using ProfileWrite = InFolder<>;

TEST_F(ProfileWrite, FailsAndChangesNothingWhereItCannotWrite)
{
    const std::wstring missing = W(dir / "missing/a.ini");
    EXPECT_FALSE(zv::ProfileWriteString(L"S", L"k", L"v", missing.c_str()));
    {
        zv::ProfileBatch batch(missing.c_str());
        zv::ProfileWriteString(L"S", L"k", L"v", missing.c_str());
        EXPECT_FALSE(batch.Flush());
    }
    EXPECT_FALSE(zvtest::PathExists(dir / "missing"));
    zvtest::MakeFolders(dir / "folder.ini");
    EXPECT_FALSE(zv::ProfileWriteString(L"S", L"k", L"v", W(dir / "folder.ini").c_str()));
    zvtest::WriteFile(dir / "file", "x");
    EXPECT_FALSE(zv::ProfileWriteString(L"S", L"k", L"v", W(dir / "file/a.ini").c_str()));
    EXPECT_FALSE(zv::ProfileWriteString(L"S", L"k", L"v", nullptr));
    EXPECT_FALSE(Set(nullptr, L"k", L"v")) << "no section";
#ifndef _WIN32
    // As uid 65534, a file anyone may write in a folder only root may write cannot be replaced.
    zvtest::WriteFile(path, U(L"[S]\r\nk=1\r\n"));
    chmod(path.c_str(), 0666);
    chmod(dir.path().c_str(), 0755);
    const pid_t child = fork();
    if (child == 0)
        _exit(setgid(65534) == 0 && setuid(65534) == 0 && !Set(L"S", L"k", L"2") && Get(path, L"S", L"k") == L"1" ? 0
                                                                                                                  : 1);
    EXPECT_EQ(zvtest::WaitFor(child), 0) << "an unwritable folder's file was written";
    EXPECT_EQ(zvtest::ReadFile(path), U(L"[S]\r\nk=1\r\n"));
    ASSERT_TRUE(Set(L"S", L"k", L"3"));
    struct stat info;
    EXPECT_TRUE(stat(path.c_str(), &info) == 0 && (info.st_mode & 0777) == 0666) << "the file's mode was not kept";
#endif
}

// Not even replaced by the same bytes.
TEST_F(ProfileWrite, DeletingWhatIsNotThereLeavesTheFile)
{
    zvtest::WriteFile(path, U(L"[S]\r\nk=1\r\n"));
    std::filesystem::last_write_time(path, std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
    const auto hourAgo = std::filesystem::last_write_time(path); // as the file system keeps it
    EXPECT_TRUE(Set(L"S", L"none", nullptr) && Set(L"None", L"k", nullptr) && Set(L"None", nullptr, nullptr));
    EXPECT_EQ(std::filesystem::last_write_time(path), hourAgo);
}

using ProfileRead = InFolder<>;

// A file changed by another program is read again; what cannot be read as a
// file reads as the default; a value longer than the buffer is cut to it.
TEST_F(ProfileRead, ReadsWhatIsOnDiskOrTheDefault)
{
    zvtest::WriteFile(path, U(L"[S]\r\nk=old\r\n"));
    EXPECT_EQ(Get(path, L"S", L"k"), L"old");
    zvtest::WriteFile(path, U(L"[S]\r\nk=new value\r\n"));
    EXPECT_EQ(Get(path, L"S", L"k"), L"new value") << "a different size or time invalidates the copy";
    zvtest::WriteFile(path + ".tmp", U(L"[S]\r\nk=new_value\r\n"));
    std::filesystem::rename(path + ".tmp", path);
    EXPECT_EQ(Get(path, L"S", L"k"), L"new_value") << "a replaced file is another file";
    zvtest::WriteFile(dir / "file", "x");
    for (const std::string& bad : {dir / "missing.ini", dir.path(), dir / "file/below.ini"})
        EXPECT_EQ(Get(bad, L"S", L"k"), L"<default>") << bad;
    zvtest::WriteFile(path, U(L"[S]\r\nk=" + std::wstring(10 * 1024 * 1024, L'x') + L"\r\n"));
    EXPECT_EQ(Get(path, L"S", L"k").size(), 1023u);
}

} // namespace

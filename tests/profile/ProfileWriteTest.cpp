#include "ProfileTestUtil.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <chrono>
#include <filesystem>
#include <optional>
#include <ostream>

namespace {

using namespace profiletest;

// A step of a write case: a key written or deleted, a section's lines
// replaced, or a read that must see what the steps before it wrote.
struct Step {
    enum Kind { kString, kSection, kRead } kind;
    const wchar_t* section;
    const wchar_t* key;
    const wchar_t* value; // the value written, or the value read
    std::wstring lines;   // for kSection, items ended by nulls
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
Step Read(const wchar_t* section, const wchar_t* key, const wchar_t* expected)
{
    return {Step::kRead, section, key, expected, {}};
}

// The file before (none if absent), the steps, the bytes after.
struct WriteCase {
    const char* name; // what the row guards
    std::optional<std::string> before;
    std::vector<Step> steps;
    std::string after;
};

void PrintTo(const WriteCase& c, std::ostream* os)
{
    *os << c.name;
}

const std::wstring kDeletes = L"[A]\r\na=1\r\n;keep\r\n[B]\r\nb=2\r\nc=3\r\n\r\n[C]\r\nz=9\r\n";
const std::wstring kDup = L"top=0\r\n[A]\r\nk=1\r\n[B]\r\nk=2\r\n[a]\r\nk=3\r\nonly=dup\r\n";

const WriteCase kWrites[] = {
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
    {"Utf8LineFeedsKept", "[S]\nk=1\n", {Put(L"S", L"n", L"é")}, "[S]\nk=1\nn=\xC3\xA9\n"},
    {"CodePageAndCarriageReturnsKept", "[S]\rk=\xF6\r", {Put(L"S", L"n", L"é")}, "[S]\rk=\xF6\rn=\xE9\r"},
    {"MissingLastLineEndAdded", "[S]\r\nk=1", {Put(L"S", L"n", L"é")}, "[S]\r\nk=1\r\nn=\xC3\xA9\r\n"},
    {"UntouchedLastLineKeepsItsMissingLineEnd",
     "[S]\r\nk=1\r\n[T]\r\nt=1",
     {Put(L"S", L"k", L"2")},
     "[S]\r\nk=2\r\n[T]\r\nt=1"},
    {"UnknownBytesKeptUnmappableWrittenAsQuestionMark",
     "[S]\r\nraw=\x81\x8D\xFF\r\n",
     {Put(L"S", L"k", L"\u4e2d")},
     "[S]\r\nraw=\x81\x8D\xFF\r\nk=?\r\n"},
    {"DeletionsTakeOnlyTheirLines",
     U(kDeletes),
     {Put(L"Missing", L"k", nullptr), Put(L"Missing", nullptr, nullptr), Put(L"B", L"none", nullptr),
      Put(L"b", nullptr, nullptr), Put(L"A", L"a", nullptr)},
     U(L"[A]\r\n;keep\r\n\r\n[C]\r\nz=9\r\n")},
    {"SectionLinesReplacedAppendedOrEmptied",
     U(L"[A]\r\nold=1\r\n;c\r\n[B]\r\nb=2\r\n"),
     {Lines(L"a", L"x=1\0y=2\0"), Lines(L"New", L"n=1\0"), Read(L"new", L"n", L"1"), Lines(L"B", L"\0"),
      Lines(L"Empty", L"\0")},
     U(L"[A]\r\nx=1\r\ny=2\r\n[B]\r\n[New]\r\nn=1\r\n")},
    {"LookupsFollowLinesThatComeAndGo",
     U(kDup),
     {Read(L"A", L"k", L"1"), Read(L"A", L"only", L"<default>"), Put(L"A", L"new", L"n"), Read(L"B", L"k", L"2"),
      Read(L"a", L"NEW", L"n"), Put(L"A", nullptr, nullptr), Read(L"A", L"k", L"3"), Read(L"A", L"only", L"dup"),
      Put(L"", L"top2", L"t"), Put(L"B", L"k", nullptr), Read(L"B", L"k", L"<default>"), Read(L"", L"top2", L"t"),
      Read(L"", L"top", L"<default>"), Lines(L"B", L"x=1\0y=2\0"), Read(L"a", L"k", L"3"), Read(L"b", L"y", L"2")},
     U(L"top=0\r\n[B]\r\nx=1\r\ny=2\r\n[a]\r\nk=3\r\nonly=dup\r\n[]\r\ntop2=t\r\n")},
    {"DuplicateSectionTakesOverWhenTheFirstGoes",
     U(L"[A]\r\nk=1\r\n[B]\r\nb=0\r\n[ a ]\r\nk=2\r\n"),
     {Read(L"a", L"k", L"1"), Put(L"A", nullptr, nullptr), Read(L"A", L"k", L"2"), Read(L"B", L"b", L"0"),
      Put(L"A", L"n", L"3")},
     U(L"[B]\r\nb=0\r\n[ a ]\r\nk=2\r\nn=3\r\n")},
    {"InsertedAndDeletedKeysMoveLaterHeaders",
     U(L"[A]\r\na=1\r\n[B]\r\nb=1\r\n[C]\r\nc=1\r\n"),
     {Put(L"A", L"0", L"x"), Put(L"A", L"1", L"x"), Put(L"A", L"2", L"x"), Put(L"A", L"3", L"x"),
      Put(L"B", L"b2", L"2"), Put(L"A", L"0", nullptr), Put(L"A", L"1", nullptr), Put(L"C", L"c2", L"2"),
      Read(L"C", L"c", L"1"), Read(L"B", L"b2", L"2")},
     U(L"[A]\r\na=1\r\n2=x\r\n3=x\r\n[B]\r\nb=1\r\nb2=2\r\n[C]\r\nc=1\r\nc2=2\r\n")},
    {"KeySpelledLikeAHeaderBecomesASection",
     std::nullopt,
     {Put(L"S", L"[X]", L"v"), Put(L"X", L"k", L"1"), Read(L"X", L"k", L"1"), Put(L"S", L"[Y]", L"w"),
      Put(L"Y", L"k", L"2"), Read(L"Y", L"k", L"2"), Read(L"X", L"k", L"1")},
     U(L"[S]\r\n[Y]=w\r\nk=2\r\n[X]=v\r\nk=1\r\n")},
    {"SectionLinesHoldingAHeaderAddASection",
     U(L"[A]\r\na=1\r\n[Z]\r\nz=1\r\n"),
     {Lines(L"A", L"x=1\0[Inner]\0y=2\0"), Read(L"Inner", L"y", L"2"), Read(L"A", L"y", L"<default>"),
      Read(L"Z", L"z", L"1"), Lines(L"New", L"x=1\0[Inner]\0y=2\0"), Put(L"Inner", L"w", L"3")},
     U(L"[A]\r\nx=1\r\n[Inner]\r\ny=2\r\nw=3\r\n[Z]\r\nz=1\r\n[New]\r\nx=1\r\n[Inner]\r\ny=2\r\n")},
    {"SectionNamesMatchWithoutCaseOrBlanks",
     std::nullopt,
     {Put(L"  Stra\u00dfe \u00c9T\u00c9 ", L"k", L"1"), Read(L"stra\u00dfe \u00e9t\u00e9", L"K", L"1"),
      Put(L"STRA\u00dfE \u00e9t\u00e9", L"k", L"2")},
     U(L"[Stra\u00dfe \u00c9T\u00c9]\r\nk=2\r\n")},
    // As on Windows: a key starting with ';' is never read back, and each
    // write of one adds a line after the last key, so such lines come out
    // latest first.
    {"CommentKeysAddLinesAfterTheLastKey",
     U(L""),
     {Put(L"S", L"z", L""), Put(L"S", L";y", L""), Put(L"S", L"a", L""), Put(L"S", L";b", L""), Put(L"S", L";b", L""),
      Read(L"S", L";b", L"<default>")},
     U(L"[S]\r\nz=\r\na=\r\n;b=\r\n;b=\r\n;y=\r\n")},
    {"DeletedSectionsKeepTheirComments",
     U(L";c0\r\n[S]\r\n;c1\r\nk=1\r\n[T]\r\n;c2\r\n"),
     {Put(L"S", nullptr, nullptr), Put(L"T", nullptr, nullptr)},
     U(L";c0\r\n;c1\r\n;c2\r\n")},
    {"EmptyNameIsTheEmptyHeaderNotTheLinesBeforeFirstSection",
     U(L"pre=1\r\n[]\r\nk=v\r\n[S]\r\ns=1\r\n"),
     {Put(L"", nullptr, nullptr), Put(L"", L"pre", nullptr), Put(L"", nullptr, nullptr), Put(L"", L"key", L"v"),
      Read(L"", L"key", L"v"), Lines(L"", L"c=2\0"), Read(L"", L"c", L"2")},
     U(L"pre=1\r\n[S]\r\ns=1\r\n[]\r\nc=2\r\n")},
};

using ProfileWrites = InFolder<::testing::TestWithParam<WriteCase>>;

// Each step succeeds and each read sees the steps before it; the bytes are
// the expected ones, and the reads after the last write give the same from a
// fresh parse of the file.
TEST_P(ProfileWrites, WritesTheBytes)
{
    const WriteCase& c = GetParam();
    if (c.before)
        zvtest::WriteFile(path, *c.before);
    std::vector<const Step*> lastReads;
    for (const Step& step : c.steps) {
        if (step.kind == Step::kRead) {
            EXPECT_EQ(Get(path, step.section, step.key), step.value) << "read of " << step.key;
            lastReads.push_back(&step);
            continue;
        }
        lastReads.clear();
        ASSERT_TRUE(step.kind == Step::kString
                        ? Set(step.section, step.key, step.value)
                        : zv::ProfileWriteSection(step.section, step.lines.c_str(), file.c_str()));
    }
    EXPECT_EQ(zvtest::ReadFile(path), c.after);
    zv::ClearProfileCache();
    for (const Step* step : lastReads)
        EXPECT_EQ(Get(path, step->section, step->key), step->value) << "fresh parse";
}

INSTANTIATE_TEST_SUITE_P(Cases, ProfileWrites, ::testing::ValuesIn(kWrites),
                         [](const ::testing::TestParamInfo<WriteCase>& info) { return std::string(info.param.name); });

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
    // As uid 65534 (root writes anywhere): a file anyone may write, in a
    // folder only root may write, cannot be replaced.
    zvtest::WriteFile(path, U(L"[S]\r\nk=1\r\n"));
    chmod(path.c_str(), 0666);
    chmod(dir.path().c_str(), 0755);
    const pid_t child = fork();
    if (child == 0)
        _exit(setgid(65534) == 0 && setuid(65534) == 0 && !Set(L"S", L"k", L"2") && Get(path, L"S", L"k") == L"1" ? 0
                                                                                                                  : 1);
    EXPECT_EQ(zvtest::WaitFor(child), 0) << "an unwritable folder's file was written";
    EXPECT_EQ(zvtest::ReadFile(path), U(L"[S]\r\nk=1\r\n"));
#endif
}

// Deleting a key or a section that is not there leaves the file alone, not
// even replaced by the same bytes.
TEST_F(ProfileWrite, DeletingWhatIsNotThereLeavesTheFile)
{
    zvtest::WriteFile(path, U(L"[S]\r\nk=1\r\n"));
    std::filesystem::last_write_time(path, std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
    const auto hourAgo = std::filesystem::last_write_time(path); // as the file system keeps it
    EXPECT_TRUE(Set(L"S", L"none", nullptr));
    EXPECT_TRUE(Set(L"None", L"k", nullptr));
    EXPECT_TRUE(Set(L"None", nullptr, nullptr));
    EXPECT_EQ(std::filesystem::last_write_time(path), hourAgo);
}

TEST_F(ProfileWrite, KeepsPermissions)
{
#ifdef _WIN32
    ZVTEST_LINUX_ONLY("file modes; the attributes a replacement keeps on Windows are checked by OsTest");
#else
    zvtest::WriteFile(path, U(L"[S]\r\n"));
    chmod(path.c_str(), 0640);
    ASSERT_TRUE(Set(L"S", L"k", L"v"));
    struct stat info;
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
#endif
}

TEST_F(ProfileWrite, BatchWritesOnceWithTheSameBytes)
{
    const std::string start = U(L"; settings\r\n[View]\r\nzoom=1\r\n\r\n[Trade]\r\nqty=5\r\n");
    auto edits = [&] {
        Set(L"View", L"zoom", L"2");
        Set(L"View", L"grid", L"on");
        Set(L"Trade", L"qty", nullptr);
        Set(L"Orders", L"last", L"42");
        zv::ProfileWriteSection(L"Trade", L"a=1\0b=2\0", file.c_str());
        Set(L"View", L"zoom", L"3");
    };
    zvtest::WriteFile(path, start);
    edits();
    const std::string single = zvtest::ReadFile(path);
    zv::ClearProfileCache();
    zvtest::WriteFile(path, start);
    {
        zv::ProfileBatch batch(file.c_str());
        edits();
        EXPECT_EQ(Get(path, L"View", L"zoom"), L"3") << "reads inside the scope see its writes";
        EXPECT_EQ(zvtest::ReadFile(path), start) << "nothing on disk until the scope closes";
    }
    EXPECT_EQ(zvtest::ReadFile(path), single);
}

} // namespace

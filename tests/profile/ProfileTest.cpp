#include <zvenv/platform/Os.h>
#include <zvenv/platform/Profile.h>

#include "ZvTest.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <thread>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#endif

// What the comparison under wine (tests/wine/scripts) cannot check (the reference differs from Windows, or no script
// makes the file), failure paths, real processes, kills and locks; a child is this program in its test on ZVTEST_PATH.
namespace {

using zvtest::Utf16;
using zvtest::W;

inline std::wstring Get(const std::string& path, const std::wstring& key)
{
    wchar_t buffer[1024];
    zv::ProfileGetString(L"S", key.c_str(), L"<default>", buffer, 1024, W(path).c_str());
    return buffer;
}

// The file a.ini in a fresh folder, with no parsed copy left from another test.
template <typename Base = ::testing::Test> class InFolder : public Base {
protected:
    void SetUp() override { zv::ClearProfileCache(); }
    BOOL Set(const wchar_t* section, const wchar_t* key, const wchar_t* value)
    {
        return zv::ProfileWriteString(section, key, value, file.c_str());
    }
    zvtest::TempDir dir;
    std::string path = dir / "a.ini";
    std::wstring file = W(path);
};

// A call: a key written or deleted, a section's lines replaced, or a read that must see what the calls before wrote.
struct Step {
    enum Kind { kString, kSection, kRead, kNames, kKeys, kLines } kind;
    const wchar_t *section, *key, *value; // the value kString writes
    std::wstring text;                    // the lines kSection writes; what a read gives, with its closing nulls
};

Step Put(const wchar_t* section, const wchar_t* key, const wchar_t* value)
{
    return {Step::kString, section, key, value, {}};
}
Step Read(const wchar_t* section, const wchar_t* key, const wchar_t* expected)
{
    return {Step::kRead, section, key, nullptr, expected + std::wstring(1, L'\0')};
}
// Lines written or a list read, as in the literal with its closing null: "a=1\0" is one line.
template <std::size_t N> Step Lines(Step::Kind kind, const wchar_t* section, const wchar_t (&lines)[N])
{
    return {kind, section, nullptr, nullptr, std::wstring(lines, N)};
}

DWORD ReadInto(const Step& s, const std::wstring& file, wchar_t* buffer, DWORD size)
{
    return s.kind == Step::kNames   ? zv::ProfileGetSectionNames(buffer, size, file.c_str())
           : s.kind == Step::kLines ? zv::ProfileGetSection(s.section, buffer, size, file.c_str())
                                    : zv::ProfileGetString(s.section, s.key, L"<default>", buffer, size, file.c_str());
}

// The step's answer and nothing after it, nothing into no buffer.
void CheckRead(const Step& s, const std::wstring& file)
{
    std::vector<wchar_t> buffer(1024, L'#');
    const DWORD got = ReadInto(s, file, buffer.data(), 1000);
    EXPECT_TRUE(got + 1 == s.text.size() && std::wstring(buffer.data(), got + 2) == s.text + L'#')
        << "read of kind " << s.kind;
    EXPECT_EQ(ReadInto(s, file, nullptr, 5), 0u);
}

// The file before (none if absent), the calls, the bytes after (none: unchanged).
struct CallCase {
    const char* name; // what the row guards
    std::optional<std::string> before;
    std::vector<Step> steps;
    std::optional<std::string> after = {};
    friend void PrintTo(const CallCase& c, std::ostream* os) { *os << c.name; }
};

// A value read, then one added: the file keeps its encoding and line ends.
const std::vector<Step> kReadAndAdd = {Read(L"S", L"k", L"Jörg"), Put(L"S", L"n", L"é")};

const CallCase kCalls[] = {
    // As on Windows, a semicolon first on a line (after blanks) makes a comment, never a key.
    {"SemicolonMakesACommentOnlyFirstOnItsLine",
     Utf16(L"[S]\r\n;a=v\r\n ;b=v\r\n\t;c=v\r\nk=;v\r\nkey ;x=v\r\n=;c\r\n[;S]\r\nk=v\r\n"),
     {Read(L"S", L";a", L"<default>"), Read(L"S", L"a", L"<default>"), Read(L"S", L";b", L"<default>"),
      Read(L"S", L"\t;c", L"<default>"), Read(L"S", L"k", L";v"), Read(L"S", L"key ;x", L"v"), Read(L"S", L"", L";c"),
      Read(L";S", L"k", L"v")}},
    {"NewKeyFollowsLastKeyOfItsSection",
     Utf16(L"[A]\r\na1=1\r\n; note\r\n\r\n[B]\r\nb=2\r\n"),
     {Put(L"A", L"a2", L"two"), Put(L"C", L"c", L"3"), Put(L"B", L"b2", L"x")},
     Utf16(L"[A]\r\na1=1\r\na2=two\r\n; note\r\n\r\n[B]\r\nb=2\r\nb2=x\r\n[C]\r\nc=3\r\n")},
    {"Utf8WithMarkAndLineFeedsKept", "\xEF\xBB\xBF[S]\nk=J\xC3\xB6rg\n", kReadAndAdd,
     "\xEF\xBB\xBF[S]\nk=J\xC3\xB6rg\nn=\xC3\xA9\n"},
    {"CodePageAndCarriageReturnsKept", "[S]\rk=J\xF6rg\r", kReadAndAdd, "[S]\rk=J\xF6rg\rn=\xE9\r"},
    {"MissingLastLineEndAdded", "[S]\r\nk=J\xC3\xB6rg", kReadAndAdd, "[S]\r\nk=J\xC3\xB6rg\r\nn=\xC3\xA9\r\n"},
    {"UntouchedLastLineKeepsItsMissingLineEnd",
     "[S]\r\nk=1\r\n[T]\r\nt=1",
     {Put(L"S", L"k", L"2")},
     "[S]\r\nk=2\r\n[T]\r\nt=1"},
    // A deleted section's comment and blank lines stay, with the block before.
    {"DuplicateSectionTakesOverWhenTheFirstGoes",
     Utf16(L";c0\r\n[A]\r\n;c1\r\n\r\nk=1\r\n[B]\r\nb=0\r\n[ a ]\r\nk=2\r\n[T]\r\n;c2\r\n"),
     {Read(L"a", L"k", L"1"), Put(L"A", nullptr, nullptr), Read(L"A", L"k", L"2"), Read(L"B", L"b", L"0"),
      Put(L"A", L"n", L"3"), Put(L"T", nullptr, nullptr)},
     Utf16(L";c0\r\n;c1\r\n\r\n[B]\r\nb=0\r\n[ a ]\r\nk=2\r\nn=3\r\n;c2\r\n")},
    {"HeaderWrittenInLinesOrAsKeyStartsASection",
     Utf16(L"[A]\r\na=1\r\n[Z]\r\nz=1\r\n"),
     {Lines(Step::kSection, L"A", L"x=1\0[Inner]\0y=2\0"), Put(L"Z", L"[X]", L"v"), Put(L"X", L"k", L"1"),
      Read(L"Inner", L"y", L"2"), Read(L"A", L"y", L"<default>"), Read(L"Z", L"z", L"1"), Read(L"X", L"k", L"1")},
     Utf16(L"[A]\r\nx=1\r\n[Inner]\r\ny=2\r\n[Z]\r\nz=1\r\n[X]=v\r\nk=1\r\n")},
    // A new file is UTF-16 with its mark.
    {"NamesMatchWithoutCaseOrBlanksInEveryPlane",
     std::nullopt,
     {Put(L"  Stra\u00dfe \u00c9T\u00c9\U00010400 ", L"k\U00010401", L"1"),
      Read(L"stra\u00dfe \u00e9t\u00e9\U00010428", L"K\U00010429", L"1"),
      Put(L"STRA\u00dfE \u00e9t\u00e9\U00010428", L"k\U00010401", L"2")},
     Utf16(L"[Stra\u00dfe \u00c9T\u00c9\U00010400]\r\nk\U00010401=2\r\n")},
    // As on Windows: a key starting with ';' is never read back; each write adds a line after the last key.
    {"CommentKeysAddLinesAfterTheLastKey",
     Utf16(L""),
     {Put(L"S", L"z", L""), Put(L"S", L";y", L""), Put(L"S", L"a", L""), Put(L"S", L";b", L""), Put(L"S", L";b", L""),
      Read(L"S", L";b", L"<default>")},
     Utf16(L"[S]\r\nz=\r\na=\r\n;b=\r\n;b=\r\n;y=\r\n")},
    // Not the lines before the first section: deleting or writing it there touches none of them.
    {"EmptyNameIsTheEmptyHeader",
     Utf16(L"k=pre\r\n[S]\r\ns=1\r\n[]\r\n;c\r\nbare\r\nk=v\r\n[T]\r\n"),
     {Read(L"", L"k", L"v"), Read(L" ", L"k", L"v"), Lines(Step::kLines, L"", L"bare\0k=v\0"),
      Lines(Step::kKeys, L"", L"k\0"), Lines(Step::kNames, nullptr, L"S\0T\0"), Put(L"", nullptr, nullptr),
      Read(L" ", L"k", L"<default>"), Put(L"", L"k", nullptr), Put(L"", nullptr, nullptr), Put(L"", L"key", L"v"),
      Read(L"", L"key", L"v"), Lines(Step::kSection, L"", L"c=2\0"), Read(L"", L"c", L"2")},
     Utf16(L"k=pre\r\n[S]\r\ns=1\r\n;c\r\n[T]\r\n[]\r\nc=2\r\n")},
};

using ProfileCalls = InFolder<::testing::TestWithParam<CallCase>>;

// Each row alone and in a batch (nothing written until it closes, then the same bytes); last reads again reparsed.
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

const auto MakeHourOld = [](const std::string& path) {
    std::filesystem::last_write_time(path, std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
};

using ProfileFile = InFolder<>;

// What cannot be a file reads as the default.
TEST_F(ProfileFile, FailsAndChangesNothingWhereItCannotWrite)
{
    const std::wstring missing = W(dir / "missing/a.ini");
    zvtest::MakeFolders(dir / "folder.ini");
    zvtest::WriteFile(dir / "file", "x");
    for (const std::string& bad : {dir / "missing/a.ini", dir / "folder.ini", dir / "file/a.ini"}) {
        EXPECT_FALSE(zv::ProfileWriteString(L"S", L"k", L"v", W(bad).c_str())) << bad;
        EXPECT_EQ(Get(bad, L"k"), L"<default>") << bad;
    }
    {
        zv::ProfileBatch batch(missing.c_str());
        zv::ProfileWriteString(L"S", L"k", L"v", missing.c_str());
        EXPECT_FALSE(batch.Flush());
    }
    EXPECT_FALSE(zvtest::PathExists(dir / "missing"));
    EXPECT_FALSE(zv::ProfileWriteString(L"S", L"k", L"v", nullptr));
    EXPECT_FALSE(Set(nullptr, L"k", L"v")) << "no section";
#ifndef _WIN32
    // As uid 65534, a file anyone may write in a folder only root may write cannot be replaced.
    zvtest::WriteFile(path, Utf16(L"[S]\r\nk=1\r\n"));
    chmod(path.c_str(), 0666);
    chmod(dir.path().c_str(), 0755);
    EXPECT_TRUE(zvtest::AsNobody([&] { return !Set(L"S", L"k", L"2") && Get(path, L"k") == L"1"; }))
        << "an unwritable folder's file was written";
    EXPECT_EQ(zvtest::ReadFile(path), Utf16(L"[S]\r\nk=1\r\n"));
    ASSERT_TRUE(Set(L"S", L"k", L"3"));
    struct stat info;
    EXPECT_TRUE(stat(path.c_str(), &info) == 0 && (info.st_mode & 0777) == 0666) << "the file's mode was not kept";
#endif
}

// Deleting nothing leaves the file, not even rewritten; a file changed by another program is read again.
TEST_F(ProfileFile, DeletingNothingLeavesTheFileAndChangesOnDiskAreRead)
{
    zvtest::WriteFile(path, Utf16(L"[S]\r\nk=old\r\n"));
    MakeHourOld(path);
    const auto hourAgo = std::filesystem::last_write_time(path); // as the file system keeps it
    EXPECT_TRUE(Set(L"S", L"none", nullptr) && Set(L"None", L"k", nullptr) && Set(L"None", nullptr, nullptr));
    EXPECT_EQ(std::filesystem::last_write_time(path), hourAgo);
    EXPECT_EQ(Get(path, L"k"), L"old");
    zvtest::WriteFile(path, Utf16(L"[S]\r\nk=new value\r\n"));
    EXPECT_EQ(Get(path, L"k"), L"new value") << "a different size or time invalidates the copy";
    zvtest::WriteFile(path + ".tmp", Utf16(L"[S]\r\nk=new_value\r\n"));
    std::filesystem::rename(path + ".tmp", path);
    EXPECT_EQ(Get(path, L"k"), L"new_value") << "a replaced file is another file";
}

const std::string kChildPath = zvtest::GetEnv("ZVTEST_PATH");

bool AwaitTrue(const std::function<bool()>& done, int ms = 10000)
{
    for (int wait = 0; wait < ms && !done(); ++wait)
        zvtest::SleepMs(1);
    return done();
}

constexpr int kWriters = 3, kThreads = 2, kKeysEach = 250;

// A writer process: its threads write their own keys (numbered writer by writer) and read each back.
void WriteOwnKeys()
{
    const int writer = std::stoi(zvtest::GetEnv("ZVTEST_WRITER"));
    const std::wstring path = W(kChildPath), value = std::to_wstring(writer);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int k = 0; k < kKeysEach; ++k) {
                const std::wstring key = std::to_wstring((writer * kThreads + t) * kKeysEach + k);
                EXPECT_TRUE(zv::ProfileWriteString(L"S", key.c_str(), value.c_str(), path.c_str()));
                EXPECT_EQ(Get(kChildPath, key), value);
            }
        });
    for (auto& thread : threads)
        thread.join();
}

TEST(ProfileConcurrency, ProcessesAndThreadsLoseNoUpdate)
{
    if (!kChildPath.empty())
        return WriteOwnKeys();
    zvtest::TempDir dir;
    const std::string path = dir / "shared.ini";
    zvtest::WriteFile(path, Utf16(L"[S]\r\n"));
    std::vector<zvtest::Process> children;
    for (int w = 0; w < kWriters; ++w)
        children.push_back(
            zvtest::StartSelf(zvtest::ThisTest(), {{"ZVTEST_PATH", path}, {"ZVTEST_WRITER", std::to_string(w)}}));
    for (zvtest::Process child : children)
        EXPECT_EQ(zvtest::WaitFor(child), 0);
    zv::ClearProfileCache();
    int missing = 0;
    for (int i = 0; i < kWriters * kThreads * kKeysEach; ++i)
        missing += Get(path, std::to_wstring(i)) != std::to_wstring(i / (kThreads * kKeysEach));
    EXPECT_EQ(missing, 0);
}

// A writer killed at a random moment leaves the bytes of some complete write.
TEST(ProfileConcurrency, KilledWriterNeverTearsTheFile)
{
    for (int i = 1; !kChildPath.empty(); ++i)
        zv::ProfileWriteString(L"S", L"k", std::to_wstring(i).c_str(), W(kChildPath).c_str());
    zvtest::TempDir dir;
    const std::string path = dir / "a.ini";
    const auto whole = [](const std::wstring& k) {
        return Utf16(L"[S]\r\nfill=" + std::wstring(2000, L'f') + L"\r\nk=" + k + L"\r\nlast=end\r\n");
    };
    constexpr int kRounds = zvtest::kSeparator == '/' ? 200 : 40; // under wine a process starts in 0.1 s
    std::mt19937 random(12345);
    for (int round = 0; round < kRounds; ++round) {
        zvtest::WriteFile(path, whole(L"0"));
        zv::ClearProfileCache();
        const zvtest::Process writer = zvtest::StartSelf(zvtest::ThisTest(), {{"ZVTEST_PATH", path}});
        AwaitTrue([&] { return Get(path, L"k") != L"0"; });
        zvtest::SleepMs(std::uniform_int_distribution<int>(0, 5)(random));
        zvtest::Kill(writer);
        zv::ClearProfileCache();
        const std::wstring value = Get(path, L"k");
        ASSERT_NE(value, L"0") << "round " << round << " was not killed after its first write";
        ASSERT_EQ(zvtest::ReadFile(path), whole(value)) << "round " << round;
    }
}

// Holds its folder's lock through nested batches, writes and locks (a nested hold must not wait on itself) until told.
void HoldLock()
{
    const std::wstring a = W(kChildPath + "/a.ini"), b = W(kChildPath + "/b.ini");
    zv::ProfileBatch batch(a.c_str());
    EXPECT_TRUE(zv::ProfileWriteString(L"S", L"k", L"1", a.c_str()));
    EXPECT_TRUE(zv::ProfileWriteString(L"S", L"k", L"2", b.c_str()));
    zv::ProfileBatch second(b.c_str());
    zv::FileWriteLock lock(W(kChildPath + "/doc.json").c_str());
    EXPECT_TRUE(zv::ProfileWriteString(L"S", L"k", L"3", b.c_str()));
    zvtest::WriteFile(kChildPath + "/held", "");
    EXPECT_TRUE(AwaitTrue([] { return zvtest::PathExists(kChildPath + "/release"); }));
}

TEST(ProfileConcurrency, FileWriteLockExcludesOtherProcessesWhileTheyLive)
{
    if (!kChildPath.empty())
        return HoldLock();
    for (const bool kill : {false, true}) {
        zvtest::TempDir dir;
        const zvtest::Process holder = zvtest::StartSelf(zvtest::ThisTest(), {{"ZVTEST_PATH", dir.path()}});
        if (!AwaitTrue([&] { return zvtest::PathExists(dir / "held"); })) {
            zvtest::Kill(holder);
            FAIL() << "the holder waited on its own lock";
        }
        auto written = std::make_shared<std::atomic<bool>>(false);
        std::thread writer([written, path = W(dir / "c.ini")] {
            *written = zv::ProfileWriteString(L"S", L"k", L"v", path.c_str()) != 0;
        });
        zvtest::SleepMs(200);
        EXPECT_FALSE(*written) << "the write went through while another process held the lock";
        kill ? zvtest::Kill(holder) : zvtest::WriteFile(dir / "release", "");
        AwaitTrue([&] { return written->load(); }, 5000);
        EXPECT_TRUE(*written) << (kill ? "the killed" : "the released") << " holder's lock kept the writer waiting";
        EXPECT_TRUE(kill || (zvtest::WaitFor(holder) == 0 && Get(dir / "a.ini", L"k") == L"1" &&
                             Get(dir / "b.ini", L"k") == L"3"))
            << "the holder failed, or its nested writes are not on disk";
        *written ? writer.join() : writer.detach(); // one still waiting ends with the process
    }
}

std::set<std::string> TempFiles(const std::string& folder)
{
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().filename().string().rfind(".zvtmp-", 0) == 0)
            names.insert(entry.path().string());
    return names;
}

// A profile write to a.ini, or with ZVTEST_PLAIN a replacement of doc.json outside the writers' lock (as in seeding).
void WriteOnce()
{
    const std::string folder = zvtest::ChildRoot() + "user/", value = zvtest::GetEnv("ZVTEST_VALUE");
    if (!zvtest::GetEnv("ZVTEST_PLAIN").empty())
        ASSERT_TRUE(zv::os::WriteFileAtomic(W(folder + "doc.json").c_str(), value.data(), value.size()));
    else
        ASSERT_TRUE(zv::ProfileWriteString(L"S", W(value).c_str(), L"1", W(folder + "a.ini").c_str()));
}

// The next writer removes the temporary file of one killed before its rename, not one still at work (held by strace;
// on Windows, where a writer holds its temporary file unshared until it is complete, by an open handle).
TEST(ProfileLeftovers, DeadWritersTemporariesGoLiveOnesStay)
{
    if (zvtest::InChild())
        return WriteOnce();
#ifdef _WIN32
    zvtest::TempDir dir;
    const std::string dead = dir / ".zvtmp-dead00", live = dir / ".zvtmp-live00";
    for (const std::string& temp : {dead, live}) {
        zvtest::WriteFile(temp, "half");
        MakeHourOld(temp);
    }
    const HANDLE held = CreateFileW(W(live).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(zv::ProfileWriteString(L"S", L"k", L"v", W(dir / "a.ini").c_str()));
    CloseHandle(held);
    EXPECT_EQ(TempFiles(dir.path()), std::set<std::string>{live}) << "the dead writer's file goes, the held one stays";
#else
    zvtest::AppRoot root;
    zvtest::PlaceInRoot(root, false);
    const std::string folder = root.user();
    zvtest::SetEnv("ZVTEST_VALUE", "dead");
    EXPECT_EQ(zvtest::WaitFor(zvtest::StartInRoot(root, zvtest::ThisTest(), zvtest::KillAt("fsync", 1))),
              zvtest::kKilled);
    const std::set<std::string> dead = TempFiles(folder);
    ASSERT_EQ(dead.size(), 1u);

    zvtest::SetEnv("ZVTEST_VALUE", "live");
    zvtest::SetEnv("ZVTEST_PLAIN", "1");
    const pid_t held = zvtest::StartInRoot(root, zvtest::ThisTest(), zvtest::KillAt("fsync", 1, "STOP"));
    zvtest::UnsetEnv("ZVTEST_PLAIN");
    pid_t tracee = 0;
    std::string stat; // of strace's one child: stopped for good once it stays in the tracing stop
    for (int wait = 0, still = 0; wait < 1000 && still < 10; ++wait, zvtest::SleepMs(20)) {
        std::ifstream("/proc/" + std::to_string(held) + "/task/" + std::to_string(held) + "/children") >> tracee;
        std::getline(std::ifstream("/proc/" + std::to_string(tracee) + "/stat"), stat);
        still = stat.find(") t ") != std::string::npos && TempFiles(folder).size() == 2 ? still + 1 : 0;
    }
    std::set<std::string> live = TempFiles(folder);
    ASSERT_EQ(live.size(), 2u);
    for (const std::string& temp : live)
        MakeHourOld(temp);
    live.erase(*dead.begin());

    zvtest::SetEnv("ZVTEST_VALUE", "next");
    EXPECT_EQ(zvtest::WaitFor(zvtest::StartInRoot(root, zvtest::ThisTest())), 0);
    EXPECT_EQ(TempFiles(folder), live) << "the dead writer's file goes, the live writer's stays";
    kill(tracee, SIGCONT);
    EXPECT_EQ(zvtest::WaitFor(held), 0);
    EXPECT_EQ(zvtest::ReadFile(folder + "doc.json"), "live");
    EXPECT_TRUE(TempFiles(folder).empty());
    zvtest::UnsetEnv("ZVTEST_VALUE");
#endif
}

} // namespace

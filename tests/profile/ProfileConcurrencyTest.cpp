#include "ProfileTestUtil.h"

#include <gtest/gtest.h>

#include <zvenv/platform/Os.h>

#include <atomic>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <thread>
#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using namespace profiletest;

// The children of these tests are this executable again, running one of the
// tests below with the file or folder in ZVTEST_PATH.
std::string ChildPath()
{
    return zvtest::GetEnv("ZVTEST_PATH");
}

constexpr int kKeysEach = 500;

TEST(ProfileConcurrency, Writer)
{
    if (ChildPath().empty())
        GTEST_SKIP() << "runs as a child of ProcessesLoseNoUpdate";
    const std::wstring writer = W(zvtest::GetEnv("ZVTEST_WRITER"));
    for (int k = 0; k < kKeysEach; ++k) {
        const std::wstring key = L"w" + writer + L"k" + std::to_wstring(k);
        ASSERT_TRUE(zv::ProfileWriteString(L"S", key.c_str(), writer.c_str(), W(ChildPath()).c_str()));
    }
}

// Real processes writing one file: every key of every writer must be there.
TEST(ProfileConcurrency, ProcessesLoseNoUpdate)
{
    zvtest::TempDir dir;
    const std::string path = dir / "shared.ini";
    zvtest::WriteFile(path, zvtest::Utf16(L"[S]\r\n"));
    constexpr int kWriters = 4;
    std::vector<zvtest::Process> children;
    for (int w = 0; w < kWriters; ++w)
        children.push_back(zvtest::StartSelf("ProfileConcurrency.Writer",
                                             {{"ZVTEST_PATH", path}, {"ZVTEST_WRITER", std::to_string(w)}}));
    for (zvtest::Process child : children)
        EXPECT_EQ(zvtest::WaitFor(child), 0);
    zv::ClearProfileCache();
    std::vector<wchar_t> buffer(200000);
    zv::ProfileGetString(L"S", nullptr, L"", buffer.data(), static_cast<DWORD>(buffer.size()), W(path).c_str());
    EXPECT_EQ(Items(buffer.data()).size(), static_cast<std::size_t>(kWriters * kKeysEach));
    int missing = 0;
    for (int w = 0; w < kWriters; ++w)
        for (int k = 0; k < kKeysEach; ++k) {
            std::wstring key = L"w" + std::to_wstring(w) + L"k" + std::to_wstring(k);
            missing += Get(path, L"S", key.c_str()) != std::to_wstring(w);
        }
    EXPECT_EQ(missing, 0) << "every writer's every key, with that writer's value";
}

TEST(ProfileConcurrency, ThreadsLoseNoUpdate)
{
    zvtest::TempDir dir;
    const std::string path = dir / "shared.ini";
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int k = 0; k < 100; ++k) {
                std::wstring key = L"t" + std::to_wstring(t) + L"k" + std::to_wstring(k);
                zv::ProfileWriteString(L"S", key.c_str(), L"v", W(path).c_str());
                Get(path, L"S", key.c_str());
            }
        });
    for (auto& thread : threads)
        thread.join();
    std::vector<wchar_t> buffer(100000);
    zv::ProfileGetString(L"S", nullptr, L"", buffer.data(), static_cast<DWORD>(buffer.size()), W(path).c_str());
    EXPECT_EQ(Items(buffer.data()).size(), 400u);
}

const std::wstring kFiller(2000, L'f');

std::string WholeFile(const std::wstring& value)
{
    return zvtest::Utf16(L"[S]\r\nfill=" + kFiller + L"\r\nk=" + value + L"\r\nlast=end\r\n");
}

// Writes k = 1, 2, 3... for ever (it gets killed).
TEST(ProfileConcurrency, EndlessWriter)
{
    if (ChildPath().empty())
        GTEST_SKIP() << "runs as a child of KilledWriterNeverTearsTheFile";
    for (int i = 1;; ++i)
        zv::ProfileWriteString(L"S", L"k", std::to_wstring(i).c_str(), W(ChildPath()).c_str());
}

// A writer killed at any moment leaves the old or the new file: the bytes
// are exactly those of some complete write.
TEST(ProfileConcurrency, KilledWriterNeverTearsTheFile)
{
    zvtest::TempDir dir;
    const std::string path = dir / "a.ini";
    // A process starts in milliseconds on Linux and in a tenth of a second
    // under wine: fewer rounds there.
#ifdef _WIN32
    constexpr int kRounds = 40;
#else
    constexpr int kRounds = 200;
#endif
    std::mt19937 random(12345);
    int changed = 0;
    for (int round = 0; round < kRounds; ++round) {
        zvtest::WriteFile(path, WholeFile(L"0"));
        zv::ClearProfileCache();
        const zvtest::Process writer = zvtest::StartSelf("ProfileConcurrency.EndlessWriter", {{"ZVTEST_PATH", path}});
        // The first write completes before the clock starts, so every kill
        // lands among the writes.
        for (int wait = 0; wait < 10000 && Get(path, L"S", L"k") == L"0"; ++wait)
            zvtest::SleepMs(1);
        zvtest::SleepMs(std::uniform_int_distribution<int>(0, 5)(random));
        zvtest::Kill(writer);
        zv::ClearProfileCache();
        const std::wstring value = Get(path, L"S", L"k");
        ASSERT_FALSE(value.empty()) << "round " << round;
        ASSERT_EQ(value.find_first_not_of(L"0123456789"), std::wstring::npos) << "round " << round;
        ASSERT_EQ(zvtest::ReadFile(path), WholeFile(value)) << "round " << round;
        changed += value != L"0";
    }
    EXPECT_EQ(changed, kRounds) << "every round was killed after its first write";
}

// A batch holds its folder's lock; writes to other files of that folder, and
// an explicit lock of one of them, are nested holds, not a wait on itself.
TEST(ProfileConcurrency, NestedLocks)
{
    if (ChildPath().empty())
        GTEST_SKIP() << "runs as a child of BatchAndWritesToOtherFilesOfItsFolderNest";
    const std::string folder = ChildPath();
    const std::wstring a = W(folder + "/a.ini"), b = W(folder + "/b.ini"), c = W(folder + "/c.json");
    zv::ProfileBatch batch(a.c_str());
    EXPECT_TRUE(zv::ProfileWriteString(L"S", L"k", L"1", a.c_str()));
    EXPECT_TRUE(zv::ProfileWriteString(L"S", L"k", L"2", b.c_str()));
    zv::ProfileBatch second(b.c_str());
    zv::FileWriteLock lock(c.c_str());
    EXPECT_TRUE(zv::ProfileWriteString(L"S", L"k", L"3", b.c_str()));
}

TEST(ProfileConcurrency, BatchAndWritesToOtherFilesOfItsFolderNest)
{
    zvtest::TempDir dir;
    int status = -1;
    EXPECT_TRUE(zvtest::WaitFor(zvtest::StartSelf("ProfileConcurrency.NestedLocks", {{"ZVTEST_PATH", dir.path()}}),
                                10000, status))
        << "the child waited on its own lock";
    EXPECT_EQ(status, 0);
    EXPECT_EQ(Get(dir / "a.ini", L"S", L"k"), L"1");
    EXPECT_EQ(Get(dir / "b.ini", L"S", L"k"), L"3");
}

// Holds a FileWriteLock on a file of the folder until told to let go.
TEST(ProfileConcurrency, LockHolder)
{
    if (ChildPath().empty())
        GTEST_SKIP() << "runs as a child of FileWriteLockExcludesWritersOfOtherProcesses";
    const std::string folder = ChildPath();
    zv::FileWriteLock lock(W(folder + "/doc.json").c_str());
    zvtest::WriteFile(folder + "/held", "");
    for (int wait = 0; wait < 10000 && !zvtest::PathExists(folder + "/release"); ++wait)
        zvtest::SleepMs(1);
    EXPECT_TRUE(zvtest::PathExists(folder + "/release"));
}

// Another process's FileWriteLock on a file of the folder holds back a write
// until it is released.
TEST(ProfileConcurrency, FileWriteLockExcludesWritersOfOtherProcesses)
{
    zvtest::TempDir dir;
    const std::wstring path = W(dir / "a.ini");
    const zvtest::Process holder = zvtest::StartSelf("ProfileConcurrency.LockHolder", {{"ZVTEST_PATH", dir.path()}});
    for (int wait = 0; wait < 10000 && !zvtest::PathExists(dir / "held"); ++wait)
        zvtest::SleepMs(1);
    ASSERT_TRUE(zvtest::PathExists(dir / "held"));
    std::atomic<bool> written{false};
    std::thread writer([&] {
        zv::ProfileWriteString(L"S", L"k", L"v", path.c_str());
        written = true;
    });
    zvtest::SleepMs(200);
    EXPECT_FALSE(written) << "the write went through while another process held the lock";
    zvtest::WriteFile(dir / "release", "");
    writer.join();
    EXPECT_TRUE(written);
    EXPECT_EQ(zvtest::WaitFor(holder), 0);
}

// Takes the folder's lock and dies holding it.
TEST(ProfileConcurrency, DyingHolder)
{
    if (ChildPath().empty())
        GTEST_SKIP() << "runs as a child of LockOfADeadHolderIsReleased";
    const std::string folder = ChildPath();
    zv::FileWriteLock lock(W(folder + "/doc.json").c_str());
    zvtest::WriteFile(folder + "/held", "");
    for (;;)
        zvtest::SleepMs(1000);
}

// A holder killed while it holds the lock does not keep other writers out.
TEST(ProfileConcurrency, LockOfADeadHolderIsReleased)
{
    zvtest::TempDir dir;
    const zvtest::Process holder = zvtest::StartSelf("ProfileConcurrency.DyingHolder", {{"ZVTEST_PATH", dir.path()}});
    for (int wait = 0; wait < 10000 && !zvtest::PathExists(dir / "held"); ++wait)
        zvtest::SleepMs(1);
    ASSERT_TRUE(zvtest::PathExists(dir / "held"));
    zvtest::Kill(holder);
    auto written = std::make_shared<std::atomic<bool>>(false);
    const std::wstring path = W(dir / "a.ini");
    std::thread writer([written, path] { *written = zv::ProfileWriteString(L"S", L"k", L"v", path.c_str()) != 0; });
    for (int wait = 0; wait < 5000 && !*written; ++wait)
        zvtest::SleepMs(1);
    EXPECT_TRUE(*written) << "the dead holder's lock kept the writer waiting";
    if (*written)
        writer.join();
    else
        writer.detach(); // still waiting: the process ends with it
}

} // namespace

namespace {

using namespace profiletest;

std::set<std::string> TempFiles(const std::string& folder)
{
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().filename().string().rfind(".zvtmp-", 0) == 0)
            names.insert(entry.path().string());
    return names;
}

#ifndef _WIN32
// The process that strace started: its one child.
pid_t Tracee(pid_t tracer)
{
    std::ifstream children("/proc/" + std::to_string(tracer) + "/task/" + std::to_string(tracer) + "/children");
    pid_t pid = 0;
    children >> pid;
    return pid;
}

char State(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const std::size_t close = text.rfind(')');
    return close == std::string::npos || close + 2 >= text.size() ? '?' : text[close + 2];
}
#endif

// The child of DeadWritersTemporariesGoLiveOnesStay: a profile write to
// a.ini, or with ZVTEST_PLAIN a replacement of doc.json outside the profile
// writers' lock (as a seeding or a plain file write makes one).
TEST(ProfileLeftovers, Writer)
{
    if (!zvtest::InChild())
        GTEST_SKIP() << "runs as a child of DeadWritersTemporariesGoLiveOnesStay";
    const std::string folder = zvtest::ChildRoot() + "user/";
    const std::string value = std::getenv("ZVTEST_VALUE");
    if (std::getenv("ZVTEST_PLAIN"))
        ASSERT_TRUE(zv::os::WriteFileAtomic(W(folder + "doc.json").c_str(), value.data(), value.size()));
    else
        ASSERT_TRUE(zv::ProfileWriteString(L"S", W(value).c_str(), L"1", W(folder + "a.ini").c_str()));
}

// A writer killed between its temporary file and the rename leaves that
// file behind; the next process to take the folder's write lock removes it,
// and leaves alone the temporary file of a writer that is still at work.
TEST(ProfileLeftovers, DeadWritersTemporariesGoLiveOnesStay)
{
    if (zvtest::InChild())
        GTEST_SKIP();
#ifdef _WIN32
    ZVTEST_LINUX_ONLY("strace kills and holds writers at their exact system calls; "
                      "ProfileLeftovers.HeldTemporariesStay is the Windows form");
#else
    zvtest::AppRoot root;
    zvtest::PlaceInRoot(root, false);
    const std::string folder = root.user();

    setenv("ZVTEST_VALUE", "dead", 1);
    EXPECT_EQ(zvtest::WaitFor(zvtest::StartInRoot(root, "ProfileLeftovers.Writer", zvtest::KillAt("fsync", 1))),
              128 + SIGKILL);
    const std::set<std::string> dead = TempFiles(folder);
    ASSERT_EQ(dead.size(), 1u);

    setenv("ZVTEST_VALUE", "live", 1);
    setenv("ZVTEST_PLAIN", "1", 1);
    const pid_t held = zvtest::StartInRoot(root, "ProfileLeftovers.Writer", zvtest::KillAt("fsync", 1, "STOP"));
    unsetenv("ZVTEST_PLAIN");
    pid_t tracee = 0;
    // Stopped for good once it stays in the tracing stop for a while.
    for (int wait = 0, still = 0; wait < 1000 && still < 10; ++wait) {
        usleep(20000);
        tracee = Tracee(held);
        still = tracee && TempFiles(folder).size() == 2 && State(tracee) == 't' ? still + 1 : 0;
    }
    ASSERT_EQ(TempFiles(folder).size(), 2u);
    // Both leftovers are from long before the next writer started.
    for (const std::string& temp : TempFiles(folder)) {
        const timespec hourAgo{time(nullptr) - 3600, 0};
        const timespec times[2] = {hourAgo, hourAgo};
        ASSERT_EQ(utimensat(AT_FDCWD, temp.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
    }
    std::set<std::string> live = TempFiles(folder);
    live.erase(*dead.begin());

    setenv("ZVTEST_VALUE", "next", 1);
    EXPECT_EQ(zvtest::WaitFor(zvtest::StartInRoot(root, "ProfileLeftovers.Writer")), 0);
    EXPECT_EQ(TempFiles(folder), live) << "the dead writer's file goes, the live writer's stays";

    kill(tracee, SIGCONT);
    EXPECT_EQ(zvtest::WaitFor(held), 0);
    EXPECT_EQ(zvtest::ReadFile(folder + "doc.json"), "live");
    EXPECT_TRUE(TempFiles(folder).empty());
    unsetenv("ZVTEST_VALUE");
#endif
}

#ifdef _WIN32
// A writer keeps its temporary file open without sharing it until the file
// is complete. The first write to a folder removes the old temporary files
// nobody holds (writers that died) and leaves a held one alone.
TEST(ProfileLeftovers, HeldTemporariesStay)
{
    zvtest::TempDir dir;
    const std::string dead = dir / ".zvtmp-dead00";
    const std::string live = dir / ".zvtmp-live00";
    zvtest::WriteFile(dead, "half");
    zvtest::WriteFile(live, "half");
    const auto hourAgo = std::filesystem::file_time_type::clock::now() - std::chrono::hours(1);
    std::filesystem::last_write_time(dead, hourAgo);
    std::filesystem::last_write_time(live, hourAgo);
    const HANDLE held = CreateFileW(W(live).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(zv::ProfileWriteString(L"S", L"k", L"v", W(dir / "a.ini").c_str()));
    CloseHandle(held);
    EXPECT_EQ(TempFiles(dir.path()), std::set<std::string>{live}) << "the dead writer's file goes, the held one stays";
}
#endif

} // namespace

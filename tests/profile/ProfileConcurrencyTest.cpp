#include "ProfileTestUtil.h"

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

// The children of these tests are this executable again, running one of the
// tests below with the file or folder in ZVTEST_PATH.
namespace {

using namespace profiletest;

std::string ChildPath()
{
    return zvtest::GetEnv("ZVTEST_PATH");
}

// Waits up to ten seconds for a file that a child makes.
bool AwaitFile(const std::string& path)
{
    for (int wait = 0; wait < 10000 && !zvtest::PathExists(path); ++wait)
        zvtest::SleepMs(1);
    return zvtest::PathExists(path);
}

constexpr int kThreads = 2, kKeysEach = 250;

// Each thread writes its own keys with the writer's number as the value, and
// reads each back at once.
TEST(ProfileConcurrency, Writer)
{
    if (ChildPath().empty())
        GTEST_SKIP() << "runs as a child of ProcessesAndThreadsLoseNoUpdate";
    const std::wstring path = W(ChildPath()), writer = W(zvtest::GetEnv("ZVTEST_WRITER"));
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int k = 0; k < kKeysEach; ++k) {
                const std::wstring key = L"w" + writer + L"t" + std::to_wstring(t) + L"k" + std::to_wstring(k);
                EXPECT_TRUE(zv::ProfileWriteString(L"S", key.c_str(), writer.c_str(), path.c_str()));
                EXPECT_EQ(Get(ChildPath(), L"S", key.c_str()), writer);
            }
        });
    for (auto& thread : threads)
        thread.join();
}

// Real processes of several threads writing one file: every key of every
// writer must be there.
TEST(ProfileConcurrency, ProcessesAndThreadsLoseNoUpdate)
{
    zvtest::TempDir dir;
    const std::string path = dir / "shared.ini";
    zvtest::WriteFile(path, U(L"[S]\r\n"));
    constexpr int kWriters = 3;
    std::vector<zvtest::Process> children;
    for (int w = 0; w < kWriters; ++w)
        children.push_back(zvtest::StartSelf("ProfileConcurrency.Writer",
                                             {{"ZVTEST_PATH", path}, {"ZVTEST_WRITER", std::to_string(w)}}));
    for (zvtest::Process child : children)
        EXPECT_EQ(zvtest::WaitFor(child), 0);
    zv::ClearProfileCache();
    std::vector<wchar_t> buffer(200000);
    zv::ProfileGetString(L"S", nullptr, L"", buffer.data(), static_cast<DWORD>(buffer.size()), W(path).c_str());
    EXPECT_EQ(Items(buffer.data()).size(), static_cast<std::size_t>(kWriters * kThreads * kKeysEach));
    int missing = 0;
    for (int w = 0; w < kWriters; ++w)
        for (int k = 0; k < kThreads * kKeysEach; ++k) {
            const std::wstring key =
                L"w" + std::to_wstring(w) + L"t" + std::to_wstring(k % kThreads) + L"k" + std::to_wstring(k / kThreads);
            missing += Get(path, L"S", key.c_str()) != std::to_wstring(w);
        }
    EXPECT_EQ(missing, 0) << "every writer's every key, with that writer's value";
}

const std::wstring kFiller(2000, L'f');

std::string WholeFile(const std::wstring& value)
{
    return U(L"[S]\r\nfill=" + kFiller + L"\r\nk=" + value + L"\r\nlast=end\r\n");
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
        ASSERT_NE(value, L"0") << "round " << round << " was not killed after its first write";
        ASSERT_EQ(zvtest::ReadFile(path), WholeFile(value)) << "round " << round;
    }
}

// Holds its folder's lock through a batch and, nested in it, a write to
// another file of the folder, a batch on that file and an explicit lock (a
// nested hold, not a wait on itself); then waits to be told to let go, or to
// be killed.
TEST(ProfileConcurrency, LockHolder)
{
    if (ChildPath().empty())
        GTEST_SKIP() << "runs as a child of FileWriteLockExcludesOtherProcessesWhileTheyLive";
    const std::string folder = ChildPath();
    const std::wstring a = W(folder + "/a.ini"), b = W(folder + "/b.ini");
    zv::ProfileBatch batch(a.c_str());
    EXPECT_TRUE(zv::ProfileWriteString(L"S", L"k", L"1", a.c_str()));
    EXPECT_TRUE(zv::ProfileWriteString(L"S", L"k", L"2", b.c_str()));
    zv::ProfileBatch second(b.c_str());
    zv::FileWriteLock lock(W(folder + "/doc.json").c_str());
    EXPECT_TRUE(zv::ProfileWriteString(L"S", L"k", L"3", b.c_str()));
    zvtest::WriteFile(folder + "/held", "");
    EXPECT_TRUE(AwaitFile(folder + "/release"));
}

// Another process's lock on its folder holds back a write until it is
// released, or until that process is killed.
TEST(ProfileConcurrency, FileWriteLockExcludesOtherProcessesWhileTheyLive)
{
    for (const bool kill : {false, true}) {
        zvtest::TempDir dir;
        const zvtest::Process holder =
            zvtest::StartSelf("ProfileConcurrency.LockHolder", {{"ZVTEST_PATH", dir.path()}});
        if (!AwaitFile(dir / "held")) {
            zvtest::Kill(holder);
            FAIL() << "the holder waited on its own lock";
        }
        auto written = std::make_shared<std::atomic<bool>>(false);
        std::thread writer([written, path = W(dir / "c.ini")] {
            *written = zv::ProfileWriteString(L"S", L"k", L"v", path.c_str()) != 0;
        });
        zvtest::SleepMs(200);
        EXPECT_FALSE(*written) << "the write went through while another process held the lock";
        if (kill)
            zvtest::Kill(holder);
        else
            zvtest::WriteFile(dir / "release", "");
        for (int wait = 0; wait < 5000 && !*written; ++wait)
            zvtest::SleepMs(1);
        EXPECT_TRUE(*written) << (kill ? "the killed" : "the released") << " holder's lock kept the writer waiting";
        EXPECT_TRUE(kill || (zvtest::WaitFor(holder) == 0 && Get(dir / "a.ini", L"S", L"k") == L"1" &&
                             Get(dir / "b.ini", L"S", L"k") == L"3"))
            << "the holder failed, or its nested writes are not on disk";
        if (*written)
            writer.join();
        else
            writer.detach(); // still waiting: the process ends with it
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

#ifndef _WIN32
// The state letter of the process that strace started (its one child).
char TraceeState(pid_t tracer, pid_t& tracee)
{
    std::ifstream children("/proc/" + std::to_string(tracer) + "/task/" + std::to_string(tracer) + "/children");
    tracee = 0;
    children >> tracee;
    std::ifstream stat("/proc/" + std::to_string(tracee) + "/stat");
    const std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const std::size_t close = text.rfind(')');
    return tracee == 0 || close == std::string::npos || close + 2 >= text.size() ? '?' : text[close + 2];
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
        still = TraceeState(held, tracee) == 't' && TempFiles(folder).size() == 2 ? still + 1 : 0;
    }
    // Both leftovers are from long before the next writer started.
    std::set<std::string> live = TempFiles(folder);
    ASSERT_EQ(live.size(), 2u);
    for (const std::string& temp : live) {
        const timespec hourAgo{time(nullptr) - 3600, 0}, times[2] = {hourAgo, hourAgo};
        ASSERT_EQ(utimensat(AT_FDCWD, temp.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
    }
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
    const std::string dead = dir / ".zvtmp-dead00", live = dir / ".zvtmp-live00";
    const auto hourAgo = std::filesystem::file_time_type::clock::now() - std::chrono::hours(1);
    for (const std::string& temp : {dead, live}) {
        zvtest::WriteFile(temp, "half");
        std::filesystem::last_write_time(temp, hourAgo);
    }
    const HANDLE held = CreateFileW(W(live).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(zv::ProfileWriteString(L"S", L"k", L"v", W(dir / "a.ini").c_str()));
    CloseHandle(held);
    EXPECT_EQ(TempFiles(dir.path()), std::set<std::string>{live}) << "the dead writer's file goes, the held one stays";
}
#endif

} // namespace

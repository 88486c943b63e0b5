#include "ProfileTestUtil.h"

#include <zvenv/platform/Os.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <thread>
#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#endif

// The children are this executable again, running a test below on ZVTEST_PATH.
namespace {

using namespace profiletest;

std::string ChildPath()
{
    return zvtest::GetEnv("ZVTEST_PATH");
}

bool AwaitFile(const std::string& path)
{
    for (int wait = 0; wait < 10000 && !zvtest::PathExists(path); ++wait)
        zvtest::SleepMs(1);
    return zvtest::PathExists(path);
}

constexpr int kWriters = 3, kThreads = 2, kKeysEach = 250;

std::wstring Key(int writer, int thread, int k)
{
    return L"w" + std::to_wstring(writer) + L"t" + std::to_wstring(thread) + L"k" + std::to_wstring(k);
}

TEST(ProfileConcurrency, Writer)
{
    if (ChildPath().empty())
        GTEST_SKIP() << "runs as a child of ProcessesAndThreadsLoseNoUpdate";
    const int writer = std::stoi(zvtest::GetEnv("ZVTEST_WRITER"));
    const std::wstring path = W(ChildPath()), value = std::to_wstring(writer);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int k = 0; k < kKeysEach; ++k) {
                EXPECT_TRUE(zv::ProfileWriteString(L"S", Key(writer, t, k).c_str(), value.c_str(), path.c_str()));
                EXPECT_EQ(Get(ChildPath(), L"S", Key(writer, t, k).c_str()), value);
            }
        });
    for (auto& thread : threads)
        thread.join();
}

// Every key of every thread of every writer process is there, with its writer's value.
TEST(ProfileConcurrency, ProcessesAndThreadsLoseNoUpdate)
{
    zvtest::TempDir dir;
    const std::string path = dir / "shared.ini";
    zvtest::WriteFile(path, U(L"[S]\r\n"));
    std::vector<zvtest::Process> children;
    for (int w = 0; w < kWriters; ++w)
        children.push_back(zvtest::StartSelf("ProfileConcurrency.Writer",
                                             {{"ZVTEST_PATH", path}, {"ZVTEST_WRITER", std::to_string(w)}}));
    for (zvtest::Process child : children)
        EXPECT_EQ(zvtest::WaitFor(child), 0);
    zv::ClearProfileCache();
    int missing = 0;
    for (int w = 0; w < kWriters; ++w)
        for (int t = 0; t < kThreads; ++t)
            for (int k = 0; k < kKeysEach; ++k)
                missing += Get(path, L"S", Key(w, t, k).c_str()) != std::to_wstring(w);
    EXPECT_EQ(missing, 0);
}

std::string WholeFile(const std::wstring& value)
{
    return U(L"[S]\r\nfill=" + std::wstring(2000, L'f') + L"\r\nk=" + value + L"\r\nlast=end\r\n");
}

TEST(ProfileConcurrency, EndlessWriter)
{
    if (ChildPath().empty())
        GTEST_SKIP() << "runs as a child of KilledWriterNeverTearsTheFile";
    for (int i = 1;; ++i)
        zv::ProfileWriteString(L"S", L"k", std::to_wstring(i).c_str(), W(ChildPath()).c_str());
}

// A writer killed at a random moment leaves the bytes of some complete write.
TEST(ProfileConcurrency, KilledWriterNeverTearsTheFile)
{
    zvtest::TempDir dir;
    const std::string path = dir / "a.ini";
#ifdef _WIN32
    constexpr int kRounds = 40; // a process starts in a tenth of a second under wine
#else
    constexpr int kRounds = 200;
#endif
    std::mt19937 random(12345);
    for (int round = 0; round < kRounds; ++round) {
        zvtest::WriteFile(path, WholeFile(L"0"));
        zv::ClearProfileCache();
        const zvtest::Process writer = zvtest::StartSelf("ProfileConcurrency.EndlessWriter", {{"ZVTEST_PATH", path}});
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

// Holds its folder's lock through nested batches, writes and locks (a nested
// hold must not wait on itself) until told to let go, or killed.
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

// Another process's lock holds back a write until released, or until that process is killed.
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
        kill ? zvtest::Kill(holder) : zvtest::WriteFile(dir / "release", "");
        for (int wait = 0; wait < 5000 && !*written; ++wait)
            zvtest::SleepMs(1);
        EXPECT_TRUE(*written) << (kill ? "the killed" : "the released") << " holder's lock kept the writer waiting";
        EXPECT_TRUE(kill || (zvtest::WaitFor(holder) == 0 && Get(dir / "a.ini", L"S", L"k") == L"1" &&
                             Get(dir / "b.ini", L"S", L"k") == L"3"))
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

void MakeHourOld(const std::string& path)
{
    std::filesystem::last_write_time(path, std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
}

// A profile write to a.ini, or with ZVTEST_PLAIN a replacement of doc.json
// outside the profile writers' lock (as a seeding makes one).
TEST(ProfileLeftovers, Writer)
{
    if (!zvtest::InChild())
        GTEST_SKIP() << "runs as a child of DeadWritersTemporariesGoLiveOnesStay";
    const std::string folder = zvtest::ChildRoot() + "user/", value = zvtest::GetEnv("ZVTEST_VALUE");
    if (!zvtest::GetEnv("ZVTEST_PLAIN").empty())
        ASSERT_TRUE(zv::os::WriteFileAtomic(W(folder + "doc.json").c_str(), value.data(), value.size()));
    else
        ASSERT_TRUE(zv::ProfileWriteString(L"S", W(value).c_str(), L"1", W(folder + "a.ini").c_str()));
}

// The next writer removes the temporary file of one killed before its
// rename, not that of one still at work (held stopped by strace).
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
    zvtest::SetEnv("ZVTEST_VALUE", "dead");
    EXPECT_EQ(zvtest::WaitFor(zvtest::StartInRoot(root, "ProfileLeftovers.Writer", zvtest::KillAt("fsync", 1))),
              zvtest::kKilled);
    const std::set<std::string> dead = TempFiles(folder);
    ASSERT_EQ(dead.size(), 1u);

    zvtest::SetEnv("ZVTEST_VALUE", "live");
    zvtest::SetEnv("ZVTEST_PLAIN", "1");
    const pid_t held = zvtest::StartInRoot(root, "ProfileLeftovers.Writer", zvtest::KillAt("fsync", 1, "STOP"));
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
    EXPECT_EQ(zvtest::WaitFor(zvtest::StartInRoot(root, "ProfileLeftovers.Writer")), 0);
    EXPECT_EQ(TempFiles(folder), live) << "the dead writer's file goes, the live writer's stays";
    kill(tracee, SIGCONT);
    EXPECT_EQ(zvtest::WaitFor(held), 0);
    EXPECT_EQ(zvtest::ReadFile(folder + "doc.json"), "live");
    EXPECT_TRUE(TempFiles(folder).empty());
    zvtest::UnsetEnv("ZVTEST_VALUE");
#endif
}

#ifdef _WIN32
// A writer holds its temporary file unshared until it is complete.
TEST(ProfileLeftovers, HeldTemporariesStay)
{
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
}
#endif

} // namespace

#include "ProfileTestUtil.h"

#include <gtest/gtest.h>

#include <zvenv/platform/Os.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace profiletest;

// Real processes writing one file: every key of every writer must be there.
TEST(ProfileConcurrency, ProcessesLoseNoUpdate)
{
    zvtest::TempDir dir;
    const std::string path = dir / "shared.ini";
    zvtest::WriteFile(path, zvtest::Utf16(L"[S]\r\n"));
    constexpr int kWriters = 4;
    constexpr int kKeys = 500;
    std::vector<pid_t> children;
    for (int w = 0; w < kWriters; ++w) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            bool ok = true;
            for (int k = 0; k < kKeys; ++k) {
                std::wstring key = L"w" + std::to_wstring(w) + L"k" + std::to_wstring(k);
                ok &= WritePrivateProfileStringW(L"S", key.c_str(), std::to_wstring(w).c_str(), W(path).c_str()) != 0;
            }
            _exit(ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    zv::ClearProfileCache();
    std::vector<wchar_t> buffer(200000);
    GetPrivateProfileStringW(L"S", nullptr, L"", buffer.data(), static_cast<DWORD>(buffer.size()), W(path).c_str());
    EXPECT_EQ(Items(buffer.data()).size(), static_cast<std::size_t>(kWriters * kKeys));
    int missing = 0;
    for (int w = 0; w < kWriters; ++w)
        for (int k = 0; k < kKeys; ++k) {
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
                WritePrivateProfileStringW(L"S", key.c_str(), L"v", W(path).c_str());
                Get(path, L"S", key.c_str());
            }
        });
    for (auto& thread : threads)
        thread.join();
    std::vector<wchar_t> buffer(100000);
    GetPrivateProfileStringW(L"S", nullptr, L"", buffer.data(), static_cast<DWORD>(buffer.size()), W(path).c_str());
    EXPECT_EQ(Items(buffer.data()).size(), 400u);
}

// A writer killed at any moment leaves the old or the new file: the bytes
// are exactly those of some complete write.
TEST(ProfileConcurrency, KilledWriterNeverTearsTheFile)
{
    zvtest::TempDir dir;
    const std::string path = dir / "a.ini";
    const std::wstring filler(2000, L'f');
    auto whole = [&](const std::wstring& value) {
        return zvtest::Utf16(L"[S]\r\nfill=" + filler + L"\r\nk=" + value + L"\r\nlast=end\r\n");
    };
    int changed = 0;
    unsigned seed = 12345;
    for (int round = 0; round < 200; ++round) {
        zvtest::WriteFile(path, whole(L"0"));
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            // The first write completes before the parent starts its clock,
            // so every kill lands among the writes.
            close(ready[0]);
            WritePrivateProfileStringW(L"S", L"k", L"1", W(path).c_str());
            ssize_t sent = write(ready[1], "w", 1);
            (void)sent;
            for (int i = 2;; ++i)
                WritePrivateProfileStringW(L"S", L"k", std::to_wstring(i).c_str(), W(path).c_str());
        }
        close(ready[1]);
        char byte;
        ASSERT_EQ(read(ready[0], &byte, 1), 1);
        close(ready[0]);
        seed = seed * 1103515245u + 12345u;
        usleep(static_cast<useconds_t>((seed >> 8) % 5000));
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        zv::ClearProfileCache();
        const std::wstring value = Get(path, L"S", L"k");
        ASSERT_FALSE(value.empty()) << "round " << round;
        ASSERT_EQ(value.find_first_not_of(L"0123456789"), std::wstring::npos) << "round " << round;
        ASSERT_EQ(zvtest::ReadFile(path), whole(value)) << "round " << round;
        changed += value != L"0";
    }
    EXPECT_EQ(changed, 200) << "every round was killed after its first write";
}

} // namespace

namespace {

using namespace profiletest;

// Runs body in a child that is killed if it takes longer than the limit; true
// when it exited 0 in time.
template <typename Body> bool FinishesInChild(Body body, unsigned seconds = 10)
{
    pid_t pid = fork();
    if (pid == 0) {
        alarm(seconds);
        _exit(body() ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A batch holds its folder's lock; writes to other files of that folder, and
// an explicit lock of one of them, are nested holds, not a wait on itself.
TEST(ProfileConcurrency, BatchAndWritesToOtherFilesOfItsFolderNest)
{
    zvtest::TempDir dir;
    const std::wstring a = W(dir / "a.ini"), b = W(dir / "b.ini"), c = W(dir / "c.json");
    EXPECT_TRUE(FinishesInChild([&] {
        zv::ProfileBatch batch(a.c_str());
        bool ok = WritePrivateProfileStringW(L"S", L"k", L"1", a.c_str());
        ok &= WritePrivateProfileStringW(L"S", L"k", L"2", b.c_str()) != 0;
        zv::ProfileBatch second(b.c_str());
        zv::FileWriteLock lock(c.c_str());
        ok &= WritePrivateProfileStringW(L"S", L"k", L"3", b.c_str()) != 0;
        return ok;
    }));
    EXPECT_EQ(Get(dir / "a.ini", L"S", L"k"), L"1");
    EXPECT_EQ(Get(dir / "b.ini", L"S", L"k"), L"3");
}

// Another process's FileWriteLock on a file of the folder holds back a write
// until it is released.
TEST(ProfileConcurrency, FileWriteLockExcludesWritersOfOtherProcesses)
{
    zvtest::TempDir dir;
    const std::wstring path = W(dir / "a.ini");
    int held[2], release[2];
    ASSERT_EQ(pipe(held), 0);
    ASSERT_EQ(pipe(release), 0);
    pid_t holder = fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        zv::FileWriteLock lock(W(dir / "doc.json").c_str());
        char byte = 'h';
        bool ok = write(held[1], &byte, 1) == 1 && read(release[0], &byte, 1) == 1;
        _exit(ok ? 0 : 1);
    }
    char byte;
    ASSERT_EQ(read(held[0], &byte, 1), 1);
    std::atomic<bool> written{false};
    std::thread writer([&] {
        WritePrivateProfileStringW(L"S", L"k", L"v", path.c_str());
        written = true;
    });
    usleep(200000);
    EXPECT_FALSE(written) << "the write went through while another process held the lock";
    ASSERT_EQ(write(release[1], "r", 1), 1);
    writer.join();
    EXPECT_TRUE(written);
    EXPECT_EQ(zvtest::WaitFor(holder), 0);
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
        ASSERT_TRUE(WritePrivateProfileStringW(L"S", W(value).c_str(), L"1", W(folder + "a.ini").c_str()));
}

// A writer killed between its temporary file and the rename leaves that
// file behind; the next process to take the folder's write lock removes it,
// and leaves alone the temporary file of a writer that is still at work.
TEST(ProfileLeftovers, DeadWritersTemporariesGoLiveOnesStay)
{
    if (zvtest::InChild())
        GTEST_SKIP();
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
}

} // namespace

#include <zvenv/platform/Os.h>

#include "ZvTest.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using zvtest::ReadFile;
using zvtest::WriteFile;

CString W(const std::string& utf8)
{
    return CString(utf8.c_str());
}

// A replacement keeps what the system keeps of a file besides its bytes: its
// permissions on POSIX, its attributes (hidden, not indexed) on Windows. A
// file nobody may write (no write permission on POSIX, which stops root too,
// the read-only attribute on Windows, which stops an administrator) is
// neither replaced nor created anew, with the system's reason as last error.
TEST(AtomicFiles, ReplacementKeepsAttributesAndRefusesReadOnlyFiles)
{
    namespace fs = std::filesystem;
    zvtest::TempDir dir;
    const std::string path = dir / "s.ini";
    WriteFile(path, "old");
#ifdef _WIN32
    const DWORD kept = FILE_ATTRIBUTE_HIDDEN;
    ASSERT_TRUE(SetFileAttributesW(W(path), kept));
    EXPECT_TRUE(zv::os::WriteFileAtomic(W(path), "new", 3));
    EXPECT_EQ(kept, GetFileAttributesW(W(path)) & kept);
#else
    chmod(path.c_str(), 0640);
    EXPECT_TRUE(zv::os::WriteFileAtomic(W(path), "new", 3));
    struct stat st;
    ASSERT_EQ(0, stat(path.c_str(), &st));
    EXPECT_EQ(0640u, st.st_mode & 07777);
#endif
    EXPECT_EQ(ReadFile(path), "new");
    // A folder that does not exist, a target that is a folder, a path under a file.
    EXPECT_FALSE(zv::os::WriteFileAtomic(W(dir / "none/x"), "x", 1));
    zvtest::MakeFolders(dir / "folder");
    EXPECT_FALSE(zv::os::WriteFileAtomic(W(dir / "folder"), "x", 1));
    EXPECT_FALSE(zv::os::WriteFileAtomic(W(dir / "s.ini/x"), "x", 1));
    EXPECT_EQ(2u, zv::os::ListFolder(W(dir.path())).size()); // no temporary file left

    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_FALSE(zv::os::WriteFileAtomic(W(path), "other", 5));
    EXPECT_EQ(zv::os::GetLastError(), zvtest::kErrorAccessDenied);
    EXPECT_FALSE(zv::os::CopyFileTo(W(path), W(path), false));
    EXPECT_TRUE(zv::os::IsWriteProtected(W(path)));
    EXPECT_EQ(ReadFile(path), "new");
    fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);
    EXPECT_FALSE(zv::os::IsWriteProtected(W(path)));
    EXPECT_TRUE(zv::os::WriteFileAtomic(W(path), "other", 5));
}

#ifndef _WIN32
// Runs body in a child that has dropped to uid and gid 65534 (the tests run
// as root, which any permission would let through); true when it exited 0.
template <typename Body> bool AsNobody(Body body)
{
    const pid_t pid = fork();
    if (pid == 0)
        _exit(setgid(65534) == 0 && setuid(65534) == 0 && body() ? 0 : 1);
    return zvtest::WaitFor(pid) == 0;
}

struct stat Stat(const std::string& path)
{
    struct stat info {};
    stat(path.c_str(), &info);
    return info;
}
#endif

// Another user's file this user may not write is not replaced through the
// folder's permission; a replacement by root keeps the user's owner, group
// and mode.
TEST(AtomicFiles, ReplacementRespectsTheFilesOwner)
{
#ifdef _WIN32
    ZVTEST_LINUX_ONLY("other users' files need user ids and owners (ACLs on Windows, which wine does not enforce)");
#else
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to act as another user";
    zvtest::TempDir dir;
    const std::string path = dir / "a.ini";
    WriteFile(path, "old");

    chmod(dir.path().c_str(), 0777);
    chmod(path.c_str(), 0644);
    EXPECT_TRUE(AsNobody([&] {
        return zv::os::IsWriteProtected(W(path)) && !zv::os::WriteFileAtomic(W(path), "new", 3) &&
               zv::os::GetLastError() == zvtest::kErrorAccessDenied;
    })) << "another user's file was replaced through the folder's permission";
    EXPECT_EQ(ReadFile(path), "old");
    EXPECT_EQ(Stat(path).st_uid, 0u);

    ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0);
    chmod(path.c_str(), 0640);
    EXPECT_TRUE(zv::os::WriteFileAtomic(W(path), "root's", 6));
    EXPECT_EQ(ReadFile(path), "root's");
    EXPECT_EQ(Stat(path).st_uid, 65534u);
    EXPECT_EQ(Stat(path).st_gid, 65534u);
    EXPECT_EQ(Stat(path).st_mode & 07777, 0640u);
#endif
}

std::string Big(char fill)
{
    return std::string(256 * 1024, fill);
}

// The child of KilledAtAnyStepLeavesWholeFilesOrNone: makes one new file
// and replaces another.
TEST(AtomicFiles, Writer)
{
    if (!zvtest::InChild())
        GTEST_SKIP() << "runs as the child of KilledAtAnyStepLeavesWholeFilesOrNone";
    const std::string root = zvtest::ChildRoot();
    const std::string bytes = Big('n');
    ASSERT_TRUE(zv::os::CreateNewFile(W(root + "new.bin"), bytes.data(), bytes.size()));
    ASSERT_TRUE(zv::os::WriteFileAtomic(W(root + "old.bin"), bytes.data(), bytes.size()));
}

// Killed at every write, flush and rename it makes, a writer leaves each
// file whole: the new one absent or complete, the old one old or new.
TEST(AtomicFiles, KilledAtAnyStepLeavesWholeFilesOrNone)
{
    if (zvtest::InChild())
        GTEST_SKIP();
    ZVTEST_LINUX_ONLY("strace kills the writer at its exact system calls");
    zvtest::AppRoot root;
    zvtest::PlaceInRoot(root, false);
    std::set<std::string> killedAt;
    for (const char* syscall : {"write", "fsync", "rename", "renameat2", "link"}) {
        for (int n = 1; n < 40; ++n) {
            std::filesystem::remove(root.root() + "new.bin");
            WriteFile(root.root() + "old.bin", "old");
            const int status =
                zvtest::WaitFor(zvtest::StartInRoot(root, "AtomicFiles.Writer", zvtest::KillAt(syscall, n)));
            const std::string made = ReadFile(root.root() + "new.bin");
            const std::string replaced = ReadFile(root.root() + "old.bin");
            EXPECT_TRUE(!zvtest::PathExists(root.root() + "new.bin") || made == Big('n'))
                << syscall << " " << n << ": a new file of " << made.size() << " bytes";
            EXPECT_TRUE(replaced == "old" || replaced == Big('n'))
                << syscall << " " << n << ": a replaced file of " << replaced.size() << " bytes";
            if (status != zvtest::kKilled) {
                EXPECT_EQ(status, 0) << syscall << " " << n;
                break;
            }
            killedAt.insert(syscall);
        }
    }
    EXPECT_EQ(killedAt, (std::set<std::string>{"write", "fsync", "rename", "renameat2"}))
        << "the writer was killed at its writes, flushes and renames (link only where renameat2 is missing)";
}

} // namespace

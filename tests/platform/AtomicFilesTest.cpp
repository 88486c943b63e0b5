#include <zvenv/platform/Os.h>

#include "ZvTest.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
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

// A replacement keeps the mode (POSIX) or the attributes (Windows). A file
// nobody may write (no write permission, which stops root too; the read-only
// attribute, which stops an administrator) is neither replaced nor created
// anew.
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

// Another user's file is not replaced through the folder's permission; a
// replacement by root keeps the owner, group and mode.
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
    EXPECT_TRUE(zvtest::AsNobody([&] {
        return zv::os::IsWriteProtected(W(path)) && !zv::os::WriteFileAtomic(W(path), "new", 3) &&
               zv::os::GetLastError() == zvtest::kErrorAccessDenied;
    }));
    EXPECT_EQ(ReadFile(path), "old");

    ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0);
    chmod(path.c_str(), 0640);
    EXPECT_TRUE(zv::os::WriteFileAtomic(W(path), "root's", 6));
    EXPECT_EQ(ReadFile(path), "root's");
    struct stat st {};
    stat(path.c_str(), &st);
    EXPECT_EQ(std::make_pair(st.st_uid, st.st_gid), std::make_pair(65534u, 65534u));
    EXPECT_EQ(st.st_mode & 07777, 0640u);
#endif
}

// Killed at every write, flush and rename it makes, a writer that makes one
// new file and replaces another leaves each whole: absent or complete, old
// or new.
TEST(AtomicFiles, KilledAtAnyStepLeavesWholeFilesOrNone)
{
    const std::string big(256 * 1024, 'n');
    if (zvtest::InChild()) {
        const std::string root = zvtest::ChildRoot();
        ASSERT_TRUE(zv::os::CreateNewFile(W(root + "new.bin"), big.data(), big.size()));
        ASSERT_TRUE(zv::os::WriteFileAtomic(W(root + "old.bin"), big.data(), big.size()));
        return;
    }
    ZVTEST_LINUX_ONLY("strace kills the writer at its exact system calls");
    zvtest::AppRoot root;
    zvtest::PlaceInRoot(root, false);
    std::set<std::string> killedAt;
    for (const char* syscall : {"write", "fsync", "rename", "renameat2", "link"}) {
        for (int n = 1; n < 40; ++n) {
            std::filesystem::remove(root.root() + "new.bin");
            WriteFile(root.root() + "old.bin", "old");
            const int status =
                zvtest::WaitFor(zvtest::StartInRoot(root, zvtest::ThisTest(), zvtest::KillAt(syscall, n)));
            const std::string made = ReadFile(root.root() + "new.bin");
            const std::string replaced = ReadFile(root.root() + "old.bin");
            EXPECT_TRUE(!zvtest::PathExists(root.root() + "new.bin") || made == big)
                << syscall << " " << n << ": a new file of " << made.size() << " bytes";
            EXPECT_TRUE(replaced == "old" || replaced == big)
                << syscall << " " << n << ": a replaced file of " << replaced.size() << " bytes";
            if (status != zvtest::kKilled) {
                EXPECT_EQ(status, 0) << syscall << " " << n;
                break;
            }
            killedAt.insert(syscall);
        }
    }
    EXPECT_EQ(killedAt, (std::set<std::string>{"write", "fsync", "rename", "renameat2"}))
        << "killed at writes, flushes and renames (link only where renameat2 is missing)";
}

} // namespace

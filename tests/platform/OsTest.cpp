#include <zvenv/platform/CFile.h>
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
using zvtest::TempDir;
using zvtest::WriteFile;

const auto W = [](const std::string& utf8) { return CString(utf8.c_str()); };

// Where names ignore case (Windows) one name is one file, spelled as on disk;
// elsewhere the exact spelling wins, then the first match in sorted order.
TEST(PathResolution, PrefersExactSpellingThenFirstCaseInsensitiveMatch)
{
    TempDir dir;
    zvtest::MakeFolders(dir / "System");
#ifdef _WIN32
    WriteFile(dir / "System/Trade.INI", "one");
    EXPECT_EQ(dir / "System/Trade.INI", zv::os::NativePath(W(dir / "system/trade.ini")));
    EXPECT_EQ(CString(W(dir / "System/Trade.INI")), zv::os::ResolvePath(W(dir / "SYSTEM/TRADE.ini")));
    ASSERT_TRUE(zv::os::MovePath(W(dir / "System/Trade.INI"), W(dir / "System/trade.ini")));
    EXPECT_EQ(dir / "System/trade.ini", zv::os::NativePath(W(dir / "SYSTEM/TRADE.INI"))) << "a rename takes the case";
#else
    WriteFile(dir / "System/Trade.INI", "upper");
    WriteFile(dir / "System/trade.ini", "lower");
    EXPECT_EQ("lower", ReadFile(zv::os::NativePath(W(dir / "system/trade.ini"))));
    EXPECT_EQ("upper", ReadFile(zv::os::NativePath(W(dir / "SYSTEM/TRADE.ini"))));
#endif
    EXPECT_TRUE(zv::os::FileExists(W(dir / "system\\TRADE.INI")));
    EXPECT_EQ(0, zv::os::CreateFolders(W(dir / "system/New/Deeper/")));
    EXPECT_TRUE(zv::os::FolderExists(W(dir / "System/new/deeper")));
    EXPECT_EQ(zvtest::kSeparator == '\\', zvtest::PathExists(dir / "system")) << "no second folder in another case";
}

TEST(FileOperations, NothingIsReplacedUnasked)
{
    TempDir dir;
    WriteFile(dir / "a", "new");
    WriteFile(dir / "b", "old");
    zvtest::MakeFolders(dir / "f");
    EXPECT_FALSE(zv::os::MovePath(W(dir / "a"), W(dir / "b")));
    EXPECT_FALSE(zv::os::CopyFileTo(W(dir / "a"), W(dir / "b"), true));
    EXPECT_EQ("old", ReadFile(dir / "b"));
    EXPECT_TRUE(zv::os::CopyFileTo(W(dir / "a"), W(dir / "b"), false));
    EXPECT_EQ("new", ReadFile(dir / "b"));
    EXPECT_FALSE(zv::os::CopyFileTo(W(dir / "missing"), W(dir / "c"), false));
    EXPECT_TRUE(zv::os::MovePath(W(dir / "a"), W(dir / "c")));
    EXPECT_FALSE(zv::os::RemoveFile(W(dir / "f")));
    EXPECT_FALSE(zv::os::FileExists(W(dir / "f")));
    EXPECT_TRUE(zv::os::FolderExists(W(dir / "f")));
    EXPECT_FALSE(zv::os::RemoveFile(nullptr));
    EXPECT_NE(0, zv::os::CreateFolders(W(dir / "c/sub")));
    EXPECT_TRUE(zv::os::CreateNewFile(W(dir / "n"), "first", 5));
    EXPECT_FALSE(zv::os::CreateNewFile(W(dir / "n"), "second", 6));
    EXPECT_EQ(zv::os::GetLastError(), zvtest::kErrorExists);
    EXPECT_EQ(ReadFile(dir / "n"), "first");
    EXPECT_FALSE(zv::os::CreateNewFile(W(dir / "none/n"), "x", 1));
    const auto entries = zv::os::ListFolder(W(dir.path()));
    ASSERT_EQ(entries.size(), 4u) << "no temporary file left";
    for (const auto& e : entries)
        EXPECT_EQ(e.name == L"f", e.isFolder);
    EXPECT_TRUE(zv::os::ListFolder(W(dir / "missing")).empty());
    zv::os::LocalTime t{};
    EXPECT_TRUE(zv::os::ToLocalTime(entries[0].lastWriteTime, t));
    EXPECT_GE(t.year, 2020);
}

TEST(CFile, OpensReadsWritesAndReportsFailures)
{
    TempDir dir;
    WriteFile(dir / "Doc.json", "abcdef");
    CFile f;
    ASSERT_TRUE(f.Open(W(dir / "doc.JSON"), CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite));
    EXPECT_EQ(6u, f.GetLength());
    EXPECT_STREQ(L"Doc.json", f.GetFileName().GetString());
    f.Write("XY", 2);
    f.Flush();
    f.Close();
    ASSERT_TRUE(f.Open(W(dir / "Doc.json"), CFile::modeRead | CFile::shareDenyNone));
    char buf[8] = {};
    EXPECT_EQ(6u, f.Read(buf, sizeof buf));
    EXPECT_STREQ("XYcdef", buf);
    f.Close();
    ASSERT_TRUE(f.Open(W(dir / "Doc.json"), CFile::modeCreate | CFile::modeWrite));
    f.Close();
    EXPECT_EQ("", ReadFile(dir / "Doc.json"));

    zvtest::MakeFolders(dir / "folder");
    CFileException error;
    EXPECT_FALSE(f.Open(W(dir / "missing"), CFile::modeRead, &error));
    EXPECT_EQ(CFileException::fileNotFound, error.m_cause);
    EXPECT_FALSE(f.Open(W(dir / "folder"), CFile::modeRead, &error));
    EXPECT_EQ(CFileException::accessDenied, error.m_cause);
    EXPECT_FALSE(f.Open(nullptr, CFile::modeRead));
    EXPECT_EQ(INVALID_HANDLE_VALUE, f.m_hFile);
    WriteFile(dir / "b", "B");
    EXPECT_THROW(CFile::Rename(W(dir / "Doc.json"), W(dir / "b")), CFileException);
    EXPECT_EQ("B", ReadFile(dir / "b"));
    EXPECT_NO_THROW(CFile::Rename(W(dir / "Doc.json"), W(dir / "c")));
    EXPECT_THROW(CFile::Rename(W(dir / "Doc.json"), W(dir / "d")), CFileException);
    EXPECT_THROW(CFile::Remove(W(dir / "Doc.json")), CFileException);
    EXPECT_NO_THROW(CFile::Remove(W(dir / "c")));
}

TEST(ProcessPaths, FullPathsAndModules)
{
#ifdef _WIN32
    EXPECT_STREQ(L"C:\\a\\c\\", zv::os::FullPath(L"C:/a/b/../c/./").GetString());
    EXPECT_STREQ(L"C:\\", zv::os::FullPath(L"C:\\..").GetString());
    EXPECT_STREQ(L"JSONLint.dll", zv::os::ModuleFileName(L"JSONLint").GetString());
#else
    EXPECT_STREQ(L"/a/c/", zv::os::FullPath(L"/a/b/../c/./").GetString());
    EXPECT_STREQ(L"/a/c", zv::os::FullPath(L"\\a\\\\b\\..\\c").GetString());
    EXPECT_STREQ(L"/", zv::os::FullPath(L"/..").GetString());
    EXPECT_STREQ(L"libJSONLint.so", zv::os::ModuleFileName(L"JSONLint").GetString());
#endif
    EXPECT_EQ(nullptr, zv::os::LoadModule(L"libzv-does-not-exist.so"));
    EXPECT_EQ(nullptr, zv::os::LoadModule(nullptr));
    EXPECT_EQ(nullptr, zv::os::FindEntryPoint(nullptr, "x"));
    const CString folder = zv::os::FolderOfModuleContaining(reinterpret_cast<const void*>(&zv::os::Sleep));
    EXPECT_TRUE(zv::os::FolderExists(folder));
}

// A replacement keeps the mode or attributes. A file nobody may write (no
// write permission stops root too) is neither replaced nor created anew.
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
    EXPECT_FALSE(zv::os::WriteFileAtomic(W(dir / "none/x"), "x", 1));
    zvtest::MakeFolders(dir / "folder");
    EXPECT_FALSE(zv::os::WriteFileAtomic(W(dir / "folder"), "x", 1));
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

// Another user's file is not replaced through the folder's permission; root's replacement keeps owner, group, mode.
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

// Killed at any write, flush or rename, a writer making one file and replacing another leaves each absent or whole.
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

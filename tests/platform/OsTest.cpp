#include <zvenv/platform/CFile.h>
#include <zvenv/platform/Message.h>
#include <zvenv/platform/Os.h>

#include "ZvTest.h"

#include <gtest/gtest.h>

namespace {

using zvtest::ReadFile;
using zvtest::TempDir;
using zvtest::WriteFile;

CString W(const std::string& utf8)
{
    return CString(utf8.c_str());
}

// Where names ignore case (Windows) one name is one file, spelled as on disk;
// where they do not, the exact spelling wins, then the first match in sorted
// order. A missing folder keeps the spelling given.
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
    EXPECT_EQ(dir / "System/New/file.ini", zv::os::NativePath(W(dir / "system/New/file.ini")));
    EXPECT_EQ(0, zv::os::CreateFolders(W(dir / "system/New/Deeper/")));
    EXPECT_TRUE(zv::os::FolderExists(W(dir / "System/new/deeper")));
    EXPECT_EQ(zvtest::kSeparator == '\\', zvtest::PathExists(dir / "system")) << "no second folder in another case";
}

// Copies, moves, creations and deletions never replace or remove what they
// must not.
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
    EXPECT_FALSE(zvtest::PathExists(dir / "a"));
    EXPECT_FALSE(zv::os::RemoveFile(W(dir / "f")));
    EXPECT_FALSE(zv::os::FileExists(W(dir / "f")));
    EXPECT_TRUE(zv::os::FolderExists(W(dir / "f")));
    EXPECT_FALSE(zv::os::RemoveFile(nullptr));
    EXPECT_NE(0, zv::os::CreateFolders(W(dir / "c/sub")));
    EXPECT_TRUE(zv::os::CreateNewFile(W(dir / "n"), "first", 5));
    EXPECT_FALSE(zv::os::CreateNewFile(W(dir / "n"), "second", 6));
    EXPECT_EQ(zv::os::GetLastError(), zvtest::kErrorExists);
    EXPECT_FALSE(zv::os::CopyFileTo(W(dir / "n"), W(dir / "n"), true));
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
    EXPECT_EQ(0u, f.Read(buf, sizeof buf));
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
    EXPECT_STREQ(zv::os::ExecutablePath(), W(zvtest::ExecutablePath()));
    EXPECT_EQ(nullptr, zv::os::LoadModule(L"libzv-does-not-exist.so"));
    EXPECT_EQ(nullptr, zv::os::LoadModule(nullptr));
    EXPECT_EQ(nullptr, zv::os::FindEntryPoint(nullptr, "x"));
    const CString folder = zv::os::FolderOfModuleContaining(reinterpret_cast<const void*>(&zv::os::Sleep));
    EXPECT_TRUE(zv::os::FolderExists(folder));
}

int Capture(const wchar_t* text, UINT, void* context)
{
    *static_cast<CString*>(context) += text;
    return 7;
}

TEST(MessageBox, GoesToTheInstalledHandler)
{
    CString seen;
    zv::SetMessageHandler(Capture, &seen);
    EXPECT_EQ(7, AfxMessageBox(L"p:json parse error:\nx"));
    EXPECT_EQ(Capture, zv::SetMessageHandler(nullptr));
    EXPECT_EQ(1, AfxMessageBox(L"to standard error"));
    EXPECT_STREQ(L"p:json parse error:\nx", seen.GetString());
}

} // namespace

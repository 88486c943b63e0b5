#include <zvenv/platform/CFile.h>

#include "ZvTest.h"

#include <gtest/gtest.h>

namespace {

using zvtest::ReadFile;
using zvtest::WriteFile;

CString W(const std::string& utf8)
{
    return CString(utf8.c_str());
}

TEST(CFile, OpensReadsAndWritesAsAsked)
{
    zvtest::TempDir dir;
    WriteFile(dir / "Doc.json", "abcdef");
    CFile f;
    ASSERT_TRUE(f.Open(W(dir / "doc.JSON"), CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite));
    EXPECT_EQ(6u, f.GetLength());
    EXPECT_STREQ(L"Doc.json", f.GetFileName().GetString());
    f.Write("XY", 2);
    f.Flush();
    f.Close();
    EXPECT_EQ("XYcdef", ReadFile(dir / "Doc.json"));
    ASSERT_TRUE(f.Open(W(dir / "Doc.json"), CFile::modeRead | CFile::shareDenyNone));
    char buf[8] = {};
    EXPECT_EQ(6u, f.Read(buf, sizeof buf));
    EXPECT_EQ(0u, f.Read(buf, sizeof buf));
    EXPECT_STREQ("XYcdef", buf);
    f.Close();
    ASSERT_TRUE(f.Open(W(dir / "Doc.json"), CFile::modeCreate | CFile::modeWrite));
    f.Close();
    EXPECT_EQ("", ReadFile(dir / "Doc.json"));
}

TEST(CFile, FailuresReportTheirCause)
{
    zvtest::TempDir dir;
    zvtest::MakeFolders(dir / "folder");
    CFile f;
    CFileException error;
    EXPECT_FALSE(f.Open(W(dir / "missing"), CFile::modeRead, &error));
    EXPECT_EQ(CFileException::fileNotFound, error.m_cause);
    EXPECT_FALSE(f.Open(W(dir / "folder"), CFile::modeRead, &error));
    EXPECT_EQ(CFileException::accessDenied, error.m_cause);
    EXPECT_FALSE(f.Open(nullptr, CFile::modeRead));
    EXPECT_EQ(INVALID_HANDLE_VALUE, f.m_hFile);
    WriteFile(dir / "a", "A");
    WriteFile(dir / "b", "B");
    EXPECT_THROW(CFile::Rename(W(dir / "a"), W(dir / "b")), CFileException);
    EXPECT_EQ("B", ReadFile(dir / "b"));
    EXPECT_NO_THROW(CFile::Rename(W(dir / "a"), W(dir / "c")));
    EXPECT_THROW(CFile::Rename(W(dir / "a"), W(dir / "d")), CFileException);
    EXPECT_THROW(CFile::Remove(W(dir / "a")), CFileException);
    EXPECT_NO_THROW(CFile::Remove(W(dir / "c")));
}

} // namespace

#include "util/CPath.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(CPath, SplitsAWindowsPath)
{
    CPath path(L"C:\\App\\user\\x\\Trade.ini", 0, 0);
    EXPECT_STREQ(path.GetDrive(), L"C:");
    EXPECT_STREQ(path.GetDir(-1), L"/App/user/x/");
    EXPECT_STREQ(path.GetDir(0), L"App");
    EXPECT_STREQ(path.GetDir(1), L"user");
    EXPECT_STREQ(path.GetDir(2), L"x");
    EXPECT_STREQ(path.GetDir(3), L"");
    EXPECT_STREQ(path.GetTitle(), L"Trade");
    EXPECT_STREQ(path.GetExtension(), L".ini");
    EXPECT_STREQ(path.GetFileName(), L"Trade.ini");
    EXPECT_FALSE(path.IsRelative());
}

TEST(CPath, SplitsAPosixPath)
{
    CPath path(L"/opt/app/user/trader01/layout.json", 0, 0);
    EXPECT_STREQ(path.GetDrive(), L"");
    EXPECT_STREQ(path.GetDir(-1), L"/opt/app/user/trader01/");
    EXPECT_STREQ(path.GetDir(0), L"opt") << "a rooted path lists from its first name";
    EXPECT_STREQ(path.GetDir(3), L"trader01");
    EXPECT_STREQ(path.GetFileName(), L"layout.json");
}

TEST(CPath, MixedSeparatorsBecomeNative)
{
    CPath path(L"C:/App\\user/a.ini", 0, 0);
    EXPECT_STREQ(path.GetDir(-1), L"/App/user/");
    EXPECT_STREQ(path.GetDir(1), L"user");
}

TEST(CPath, NetworkAndRelativePaths)
{
    CPath network(L"\\\\server\\share\\cfg\\a.ini", 0, 0);
    EXPECT_STREQ(network.GetDir(-1), L"//server/share/cfg/");
    EXPECT_STREQ(network.GetDir(0), L"server");
    EXPECT_STREQ(network.GetDir(2), L"cfg");

    CPath relative(L"user\\x\\a.ini", 0, 0);
    EXPECT_TRUE(relative.IsRelative());
    EXPECT_STREQ(relative.GetDir(0), L"user");
    EXPECT_STREQ(relative.GetDir(1), L"x");

    CPath bare(L"a.ini", 0, 0);
    EXPECT_FALSE(bare.IsRelative()) << "no folder part is not relative";
    EXPECT_STREQ(bare.GetDir(-1), L"");
    EXPECT_STREQ(bare.GetDir(0), L"");
    EXPECT_STREQ(bare.GetFileName(), L"a.ini");
}

TEST(CPath, ExtensionsAndDots)
{
    EXPECT_STREQ(CPath(L"/a/Trade", 0, 0).GetFileName(), L"Trade");
    EXPECT_STREQ(CPath(L"/a/Trade", 0, 0).GetExtension(), L"");
    EXPECT_STREQ(CPath(L"/a/b.c.ini", 0, 0).GetFileName(), L"b.c.ini");
    EXPECT_STREQ(CPath(L"/a/name.", 0, 0).GetFileName(), L"name") << "a lone dot is no extension";
    EXPECT_STREQ(CPath(L"/a/.ini", 0, 0).GetFileName(), L"") << "no name, so no extension either";
    EXPECT_STREQ(CPath(L"/a.d/file", 0, 0).GetExtension(), L"");
}

TEST(CPath, EmptyAndQuotedPaths)
{
    CPath empty(L"", 0, 0);
    EXPECT_STREQ(empty.GetDir(-1), L"");
    EXPECT_STREQ(empty.GetDir(0), L"");
    EXPECT_STREQ(empty.GetFileName(), L"");
    CPath null(nullptr, 0, 0);
    EXPECT_STREQ(null.GetFileName(), L"");

    CPath quoted(L"\"/my app/a b.ini\"", 0, 0);
    EXPECT_STREQ(quoted.GetDir(-1), L"/my app/");
    EXPECT_STREQ(quoted.GetFileName(), L"a b.ini");

    // Quotes go only as a pair around the whole text; a lone quote is both
    // the opening and the closing one, so nothing is left of it.
    const std::pair<const wchar_t*, const wchar_t*> names[] = {
        {L"\"", L""}, {L"\"\"", L""}, {L"\"a.ini", L"\"a.ini"}, {L"a.ini\"", L"a.ini\""}, {L"\"a.ini\"", L"a.ini"}};
    for (const auto& [path, fileName] : names) {
        CPath parts(path, 0, 0);
        EXPECT_STREQ(parts.GetFileName(), fileName) << std::wstring(path).size();
        if (!*fileName) {
            EXPECT_STREQ(parts.GetDir(-1), L"");
            EXPECT_STREQ(parts.GetExtension(), L"");
        }
    }
}

TEST(CPath, ArgumentsAndFolders)
{
    CPath withArgs(L"\"/my app/zvenv\" ini get trade", 0, 1);
    EXPECT_STREQ(withArgs.GetArgs(), L"ini get trade");
    EXPECT_STREQ(withArgs.GetFileName(), L"zvenv");
    EXPECT_STREQ(withArgs.GetDir(-1), L"/my app/");

    CPath folder(L"/opt/app/user", 1, 0);
    EXPECT_STREQ(folder.GetDir(-1), L"/opt/app/user/");
    EXPECT_STREQ(folder.GetFileName(), L"");
    EXPECT_STREQ(folder.GetDir(2), L"user");
}

TEST(CPath, LongPathsAreCutAt260Characters)
{
    std::wstring longPath = L"/" + std::wstring(300, L'd') + L"/file.ini";
    CPath path(longPath.c_str(), 0, 0);
    EXPECT_STREQ(path.GetPath(), longPath.c_str()) << "the path itself is kept";
    EXPECT_STREQ(path.GetDir(-1), L"/") << "the cut buffer holds no separator after the first";
    EXPECT_EQ(path.GetTitle().GetLength(), 255) << "a name part holds at most 255 characters";
}

TEST(CPath, AddBackslash)
{
    EXPECT_STREQ(CPath::AddBackslash(L"a"), L"a/");
    EXPECT_STREQ(CPath::AddBackslash(L"a/"), L"a/");
    EXPECT_STREQ(CPath::AddBackslash(L"a\\"), L"a\\");
    EXPECT_STREQ(CPath::AddBackslash(L"", 1), L"");
    EXPECT_STREQ(CPath::AddBackslash(L"a", 1), L"a/");
}

} // namespace

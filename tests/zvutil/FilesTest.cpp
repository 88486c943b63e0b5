#include <zvenv/ZvUtil.h>

#include "ZvTest.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring W(const std::string& s)
{
    return std::wstring(s.begin(), s.end());
}

TEST(UtilFiles, ExistenceTellsFilesFromFolders)
{
    zvtest::TempDir dir;
    zvtest::WriteFile(dir / "a.ini", "x");
    zvtest::MakeFolders(dir / "sub");
    EXPECT_TRUE(FILEEXISTS(W(dir / "a.ini").c_str()));
    EXPECT_TRUE(FILEEXISTS(W(dir / "A.INI").c_str())) << "names are matched without regard to case";
    EXPECT_FALSE(FILEEXISTS(W(dir / "sub").c_str()));
    EXPECT_FALSE(FILEEXISTS(W(dir / "missing.ini").c_str()));
    EXPECT_TRUE(DIRECTORYEXISTS(W(dir / "sub").c_str()));
    EXPECT_TRUE(DIRECTORYEXISTS(W(dir / "SUB/").c_str()));
    EXPECT_FALSE(DIRECTORYEXISTS(W(dir / "a.ini").c_str()));
    EXPECT_FALSE(FILEEXISTS(nullptr));
    EXPECT_FALSE(FILEEXISTS(L""));
    EXPECT_FALSE(DIRECTORYEXISTS(nullptr));
}

TEST(UtilFiles, CreatesEveryMissingFolder)
{
    zvtest::TempDir dir;
    EXPECT_TRUE(CREATEDIRECTORYS(W(dir / "a/b\\c/").c_str()));
    EXPECT_TRUE(zvtest::PathExists(dir / "a/b/c"));
    EXPECT_TRUE(CREATEDIRECTORYS(W(dir / "a/b").c_str())) << "an existing folder is success";
    zvtest::WriteFile(dir / "file", "x");
    EXPECT_FALSE(CREATEDIRECTORYS(W(dir / "file/below").c_str()));
    EXPECT_FALSE(CREATEDIRECTORYS(nullptr));
}

TEST(UtilFiles, BoundedCopyAlwaysTerminates)
{
    wchar_t buffer[4] = {L'x', L'x', L'x', L'x'};
    STRCPY(buffer, 4, L"abcdef");
    EXPECT_STREQ(buffer, L"abc");
    STRCPY(buffer, 4, nullptr);
    EXPECT_STREQ(buffer, L"");
    STRCPY(buffer, 1, L"abc");
    EXPECT_STREQ(buffer, L"");
    EXPECT_EQ(STRCPY(nullptr, 4, L"a"), nullptr);
}

struct Split {
    const wchar_t* path;
    const wchar_t* drive;
    const wchar_t* folder;
    const wchar_t* name;
    const wchar_t* extension;
};

TEST(UtilFiles, SplitsPathsAsTheRuntimeDoes)
{
    const Split cases[] = {
        {L"C:\\App\\user\\x\\Trade.ini", L"C:", L"\\App\\user\\x\\", L"Trade", L".ini"},
        {L"/opt/app/system/a.b.json", L"", L"/opt/app/system/", L"a.b", L".json"},
        {L"dir.d/name", L"", L"dir.d/", L"name", L""},
        {L"name.", L"", L"", L"name", L"."},
        {L".hidden", L"", L"", L"", L".hidden"},
        {L"C:", L"C:", L"", L"", L""},
        {L"\\\\server\\share\\f.txt", L"", L"\\\\server\\share\\", L"f", L".txt"},
        {L"", L"", L"", L"", L""},
    };
    for (const Split& c : cases) {
        wchar_t drive[ZV_MAX_DRIVE], folder[ZV_MAX_DIR], name[ZV_MAX_FNAME], extension[ZV_MAX_EXT];
        SPLITPATH(c.path, drive, folder, name, extension);
        EXPECT_STREQ(drive, c.drive) << c.path;
        EXPECT_STREQ(folder, c.folder) << c.path;
        EXPECT_STREQ(name, c.name) << c.path;
        EXPECT_STREQ(extension, c.extension) << c.path;
    }
}

TEST(UtilFiles, SplitCutsLongPartsAndAcceptsNullBuffers)
{
    std::wstring longName(400, L'n');
    wchar_t name[ZV_MAX_FNAME];
    SPLITPATH((L"/a/" + longName + L".ext").c_str(), nullptr, nullptr, name, nullptr);
    EXPECT_EQ(std::wstring(name), longName.substr(0, ZV_MAX_FNAME - 1));
    SPLITPATH(nullptr, nullptr, nullptr, name, nullptr);
    EXPECT_STREQ(name, L"");
}

} // namespace

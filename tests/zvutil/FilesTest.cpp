#include <zvenv/ZvUtil.h>

#include "ZvTest.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace {

using zvtest::W;

TEST(UtilFiles, ExistenceAndFolders)
{
    zvtest::TempDir dir;
    zvtest::WriteFile(dir / "a.ini", "x");
    zvtest::MakeFolders(dir / "sub");
    // Names are matched without regard to case.
    const std::tuple<const char*, bool, bool> paths[] = {{"A.INI", 1, 0}, {"SUB/", 0, 1}, {"missing.ini", 0, 0}};
    for (const auto& [name, file, folder] : paths) {
        EXPECT_EQ(FILEEXISTS(W(dir / name).c_str()), file) << name;
        EXPECT_EQ(DIRECTORYEXISTS(W(dir / name).c_str()), folder) << name;
    }
    EXPECT_FALSE(FILEEXISTS(nullptr) || FILEEXISTS(L"") || DIRECTORYEXISTS(nullptr));

    // Every missing folder is created; an existing one is success.
    EXPECT_TRUE(CREATEDIRECTORYS(W(dir / "a/b\\c/").c_str()));
    EXPECT_TRUE(zvtest::PathExists(dir / "a/b/c"));
    EXPECT_TRUE(CREATEDIRECTORYS(W(dir / "a/b").c_str()));
    EXPECT_FALSE(CREATEDIRECTORYS(W(dir / "a.ini/below").c_str()));
    EXPECT_FALSE(CREATEDIRECTORYS(nullptr));
}

TEST(UtilFiles, BoundedCopyAlwaysTerminates)
{
    wchar_t buffer[4] = {L'x', L'x', L'x', L'x'};
    EXPECT_STREQ(STRCPY(buffer, 4, L"abcdef"), L"abc");
    EXPECT_STREQ(STRCPY(buffer, 4, nullptr), L"");
    EXPECT_STREQ(STRCPY(buffer, 1, L"abc"), L"");
    EXPECT_EQ(STRCPY(nullptr, 4, L"a"), nullptr);
}

// Drive, folder, name and extension in one line, "|" between them.
std::wstring Split(const wchar_t* path)
{
    wchar_t drive[ZV_MAX_DRIVE], folder[ZV_MAX_DIR], name[ZV_MAX_FNAME], extension[ZV_MAX_EXT];
    SPLITPATH(path, drive, folder, name, extension);
    return std::wstring(drive) + L"|" + folder + L"|" + name + L"|" + extension;
}

TEST(UtilFiles, SplitsPathsAsTheRuntimeDoes)
{
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"dir.d/name", L"|dir.d/|name|"},
        {L"name.", L"||name|."},
        {L".hidden", L"|||.hidden"},
        {L"C:", L"C:|||"},
        {nullptr, L"|||"},
    };
    for (const auto& [path, parts] : cases)
        EXPECT_EQ(Split(path), parts) << (path ? path : L"(null)");
    // A long part is cut; a part not wanted needs no buffer.
    const std::wstring longName(400, L'n');
    wchar_t name[ZV_MAX_FNAME];
    SPLITPATH((L"/a/" + longName + L".ext").c_str(), nullptr, nullptr, name, nullptr);
    EXPECT_EQ(std::wstring(name), longName.substr(0, ZV_MAX_FNAME - 1));
}

TEST(MappedFile, ViewsTheBytesOfAnOpenFileOrRefuses)
{
    zvtest::TempDir dir;
    const std::string bytes = zvtest::Utf16(L"{\r\n}");
    zvtest::WriteFile(dir / "a.json", bytes);
    zvtest::WriteFile(dir / "empty.json", "");
    CFile file, empty;
    ASSERT_TRUE(file.Open(W(dir / "a.json").c_str(), CFile::modeRead | CFile::shareDenyNone));
    ASSERT_TRUE(empty.Open(W(dir / "empty.json").c_str(), CFile::modeRead));
    CTqMMF map;
    EXPECT_FALSE(map.Open(L"empty.json", empty.m_hFile, 2, 0, 0, nullptr, 4, 0, 0));
    EXPECT_FALSE(map.Open(L"a.json", file.m_hFile, 2, 0, 100, nullptr, 4, 0, 0)) << "past the end";
    EXPECT_FALSE(map.Open(L"x", INVALID_HANDLE_VALUE, 2, 0, 3, nullptr, 4, 0, 0));
    EXPECT_EQ(map.GetData(), nullptr);
    ASSERT_TRUE(map.Open(L"a.json", file.m_hFile, 2, 0, static_cast<DWORD>(file.GetLength()), nullptr, 4, 0, 0));
    ASSERT_EQ(map.GetLength(), bytes.size());
    file.Close();
    EXPECT_EQ(std::memcmp(map.GetData(), bytes.data(), bytes.size()), 0) << "the view outlives the handle";
    map.Close();
    EXPECT_EQ(map.GetData(), nullptr);
}

// A value of the cached file; "<none>" when it has none.
CString Read(void* ini, const wchar_t* section, const wchar_t* key)
{
    CString value;
    const bool found = TQ_UT_ENV_GetMemIniString(ini, section, key, L"<none>", value);
    EXPECT_EQ(found, value != L"<none>") << key;
    return value;
}

// Read once as the profile functions parse it; reading the file again (in threads too) refreshes the same handle.
TEST(MemIni, ReadsRefreshesInThreadsAndClears)
{
    zvtest::TempDir dir;
    const std::string path = dir / "a.ini";
    zvtest::WriteFile(path, zvtest::Utf16(L"; shipped\r\n[Main]\r\n Title = \"Trading\" \r\nport=8080\r\n"
                                          L"no equals sign\r\n[Empty]\r\n[Other]\r\nkey=\r\n"));
    ASSERT_EQ(TQ_UT_ENV_ReadIniFile(W(path).c_str()), 1);
    void* ini = TQ_UT_ENV_GetMemIni(W(path).c_str());
    ASSERT_NE(ini, nullptr);
    EXPECT_STREQ(Read(ini, L"main", L"TITLE"), L"Trading");
    EXPECT_STREQ(Read(ini, L"Main", L"port"), L"8080");
    EXPECT_STREQ(Read(ini, L"Other", L"key"), L"");
    EXPECT_STREQ(Read(ini, L"Main", L"no equals sign"), L"<none>");
    EXPECT_STREQ(Read(ini, L"Missing", L"port"), L"<none>");

    zvtest::WriteFile(path, zvtest::Utf16(L"[Main]\r\nport=22\r\n"));
    EXPECT_STREQ(Read(ini, L"Main", L"port"), L"8080") << "the cache does not follow the file by itself";
    ASSERT_EQ(TQ_UT_ENV_ReadIniFile(W(path).c_str()), 1);
    EXPECT_EQ(TQ_UT_ENV_GetMemIni(W(dir / "A.INI").c_str()), ini) << "one entry per file, whatever the spelling";
    EXPECT_STREQ(Read(ini, L"Main", L"port"), L"22");
    EXPECT_STREQ(Read(ini, L"Main", L"Title"), L"<none>");
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                if (t % 2)
                    TQ_UT_ENV_ReadIniFile(W(path).c_str());
                else
                    EXPECT_STREQ(Read(ini, L"Main", L"port"), L"22");
            }
        });
    for (auto& thread : threads)
        thread.join();

    EXPECT_EQ(TQ_UT_ENV_ReadIniFile(W(dir / "missing.ini").c_str()), 0);
    EXPECT_EQ(TQ_UT_ENV_GetMemIni(W(dir / "missing.ini").c_str()), nullptr);
    EXPECT_EQ(TQ_UT_ENV_ReadIniFile(W(dir.path()).c_str()), 0) << "a folder is not an INI file";
    EXPECT_EQ(TQ_UT_ENV_ReadIniFile(nullptr), 0);
    EXPECT_EQ(TQ_UT_ENV_GetMemIni(nullptr), nullptr);
    TQ_UT_ENV_Clear();
    EXPECT_EQ(TQ_UT_ENV_GetMemIni(W(path).c_str()), nullptr);
    EXPECT_STREQ(Read(ini, L"Main", L"port"), L"<none>") << "a dropped handle is not read";
}

} // namespace

#include <zvenv/ZvUtil.h>

#include "ZvTest.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

std::wstring W(const std::string& s)
{
    return std::wstring(s.begin(), s.end());
}

class MemIniTest : public ::testing::Test {
protected:
    void SetUp() override { TQ_UT_ENV_Clear(); }
    void TearDown() override { TQ_UT_ENV_Clear(); }

    CString Read(void* ini, const wchar_t* section, const wchar_t* key)
    {
        CString value;
        TQ_UT_ENV_GetMemIniString(ini, section, key, L"<none>", value);
        return value;
    }

    zvtest::TempDir dir;
};

TEST_F(MemIniTest, ReadsAFileAsTheProfileFunctionsParseIt)
{
    const std::string path = dir / "html.ini";
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
    CString value;
    EXPECT_FALSE(TQ_UT_ENV_GetMemIniString(ini, L"Main", L"absent", L"d", value));
    EXPECT_STREQ(value, L"d");
}

TEST_F(MemIniTest, HandleIsStableAndRefreshedByReadingAgain)
{
    const std::string path = dir / "a.ini";
    zvtest::WriteFile(path, zvtest::Utf16(L"[S]\r\nk=1\r\n"));
    ASSERT_EQ(TQ_UT_ENV_ReadIniFile(W(path).c_str()), 1);
    void* first = TQ_UT_ENV_GetMemIni(W(path).c_str());

    zvtest::WriteFile(path, zvtest::Utf16(L"[S]\r\nk=22\r\nnew=yes\r\n"));
    EXPECT_STREQ(Read(first, L"S", L"k"), L"1") << "the cache does not follow the file by itself";
    ASSERT_EQ(TQ_UT_ENV_ReadIniFile(W(path).c_str()), 1);
    EXPECT_EQ(TQ_UT_ENV_GetMemIni(W(path).c_str()), first);
    EXPECT_STREQ(Read(first, L"S", L"k"), L"22");
    EXPECT_STREQ(Read(first, L"S", L"new"), L"yes");
    EXPECT_EQ(TQ_UT_ENV_GetMemIni(W(dir / "A.INI").c_str()), first) << "one entry per file, whatever the spelling";
}

TEST_F(MemIniTest, MissingFilesAndClearedCache)
{
    EXPECT_EQ(TQ_UT_ENV_ReadIniFile(W(dir / "missing.ini").c_str()), 0);
    EXPECT_EQ(TQ_UT_ENV_GetMemIni(W(dir / "missing.ini").c_str()), nullptr);
    EXPECT_EQ(TQ_UT_ENV_ReadIniFile(W(dir.path()).c_str()), 0) << "a folder is not an INI file";
    EXPECT_EQ(TQ_UT_ENV_ReadIniFile(nullptr), 0);
    EXPECT_EQ(TQ_UT_ENV_GetMemIni(nullptr), nullptr);

    const std::string path = dir / "a.ini";
    zvtest::WriteFile(path, zvtest::Utf16(L"[S]\r\nk=1\r\n"));
    ASSERT_EQ(TQ_UT_ENV_ReadIniFile(W(path).c_str()), 1);
    void* handle = TQ_UT_ENV_GetMemIni(W(path).c_str());
    TQ_UT_ENV_Clear();
    EXPECT_EQ(TQ_UT_ENV_GetMemIni(W(path).c_str()), nullptr);
    CString value;
    EXPECT_FALSE(TQ_UT_ENV_GetMemIniString(handle, L"S", L"k", L"gone", value)) << "a dropped handle is not read";
    EXPECT_STREQ(value, L"gone");
}

TEST_F(MemIniTest, ReadersAndRefreshersInThreads)
{
    const std::string path = dir / "a.ini";
    zvtest::WriteFile(path, zvtest::Utf16(L"[S]\r\nk=same\r\n"));
    ASSERT_EQ(TQ_UT_ENV_ReadIniFile(W(path).c_str()), 1);
    void* ini = TQ_UT_ENV_GetMemIni(W(path).c_str());
    std::vector<std::thread> threads;
    std::vector<int> wrong(4, 0);
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                if (t % 2)
                    TQ_UT_ENV_ReadIniFile(W(path).c_str());
                else if (Read(ini, L"S", L"k") != L"same")
                    ++wrong[t];
            }
        });
    for (auto& thread : threads)
        thread.join();
    for (int count : wrong)
        EXPECT_EQ(count, 0);
}

} // namespace

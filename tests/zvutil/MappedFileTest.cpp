#include <zvenv/ZvUtil.h>

#include "ZvTest.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::wstring W(const std::string& s)
{
    return std::wstring(s.begin(), s.end());
}

TEST(MappedFile, ViewsTheBytesOfAnOpenFile)
{
    zvtest::TempDir dir;
    const std::string bytes = zvtest::Utf16(L"{\r\n}");
    zvtest::WriteFile(dir / "a.json", bytes);
    CFile file;
    ASSERT_TRUE(file.Open(W(dir / "a.json").c_str(), CFile::modeRead | CFile::shareDenyNone));
    CTqMMF map;
    ASSERT_TRUE(map.Open(L"a.json", file.m_hFile, 2, 0, static_cast<DWORD>(file.GetLength()), nullptr, 4, 0, 0));
    ASSERT_EQ(map.GetLength(), bytes.size());
    EXPECT_EQ(std::memcmp(map.GetData(), bytes.data(), bytes.size()), 0);
    file.Close();
    EXPECT_EQ(std::memcmp(map.GetData(), bytes.data(), bytes.size()), 0) << "the view outlives the handle";
    map.Close();
    EXPECT_EQ(map.GetData(), nullptr);
}

TEST(MappedFile, RefusesWhatCannotBeMapped)
{
    zvtest::TempDir dir;
    zvtest::WriteFile(dir / "empty.json", "");
    zvtest::WriteFile(dir / "small.json", "abc");
    CTqMMF map;
    CFile empty;
    ASSERT_TRUE(empty.Open(W(dir / "empty.json").c_str(), CFile::modeRead));
    EXPECT_FALSE(map.Open(L"empty.json", empty.m_hFile, 2, 0, 0, nullptr, 4, 0, 0));
    CFile small;
    ASSERT_TRUE(small.Open(W(dir / "small.json").c_str(), CFile::modeRead));
    EXPECT_FALSE(map.Open(L"small.json", small.m_hFile, 2, 0, 100, nullptr, 4, 0, 0)) << "past the end";
    EXPECT_FALSE(map.Open(L"x", INVALID_HANDLE_VALUE, 2, 0, 3, nullptr, 4, 0, 0));
    EXPECT_EQ(map.GetData(), nullptr);
    EXPECT_TRUE(map.Open(L"small.json", small.m_hFile, 2, 0, 3, nullptr, 4, 0, 0));
}

} // namespace

#pragma once

#include <zvenv/platform/Profile.h>

#include "ZvTest.h"

#include <gtest/gtest.h>

#include <string>

namespace profiletest {

inline std::wstring W(const std::string& s)
{
    return std::wstring(s.begin(), s.end());
}

inline std::string U(const std::wstring& text)
{
    return zvtest::Utf16(text);
}

inline std::wstring Get(const std::string& path, const wchar_t* section, const wchar_t* key,
                        const wchar_t* def = L"<default>")
{
    wchar_t buffer[1024];
    zv::ProfileGetString(section, key, def, buffer, 1024, W(path).c_str());
    return buffer;
}

// The file a.ini in a fresh folder, with no parsed copy left from another test.
template <typename Base = ::testing::Test> class InFolder : public Base {
protected:
    void SetUp() override { zv::ClearProfileCache(); }
    BOOL Set(const wchar_t* section, const wchar_t* key, const wchar_t* value)
    {
        return zv::ProfileWriteString(section, key, value, file.c_str());
    }
    zvtest::TempDir dir;
    std::string path = dir / "a.ini";
    std::wstring file = W(path);
};

} // namespace profiletest

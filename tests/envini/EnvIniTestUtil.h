#pragma once

#include <zvenv/CTqEnvIni.h>
#include <zvenv/platform/Profile.h>
#include <zvenv/platform/Text.h>

#include "ZvTest.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace envinitest {

using Strings = std::vector<std::wstring>;
using zvtest::W;

// The path setter is the manager's; an explicit instantiation may name it. One source per program includes this.
using PathSetter = void (CTqEnvIni::*)(const wchar_t*);
inline PathSetter setter;
template <PathSetter Set> struct Take {
    static inline const bool taken = (setter = Set, true);
};
template struct Take<&CTqEnvIni::SetPathName>;

// Points a document at a file, as the manager does when it hands one out.
inline void BindPath(CTqEnvIni& doc, const std::string& path)
{
    (doc.*setter)(W(path).c_str());
}

inline Strings Items(const CStringArray& items)
{
    return Strings(items.begin(), items.end());
}

inline CStringArray Array(const Strings& items)
{
    CStringArray out;
    for (const auto& item : items)
        out.Add(CString(item));
    return out;
}

class EnvIniTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        zv::ClearProfileCache();
        BindPath(doc, path);
    }
    void Seed(const std::wstring& text) { zvtest::WriteFile(path, zvtest::Utf16(text)); }
    // The file's text after its UTF-16LE mark (without the mark the first character is lost).
    std::wstring Text() const
    {
        const std::string bytes = zvtest::ReadFile(path);
        return zv::text::DecodeUtf16le(bytes.data() + 2, bytes.size() < 2 ? 0 : bytes.size() - 2);
    }
    std::unique_ptr<CTqEnvIni> Again() const
    {
        auto other = std::make_unique<CTqEnvIni>();
        BindPath(*other, path);
        return other;
    }

    zvtest::TempDir dir;
    std::string path = dir / "doc.ini";
    CTqEnvIni doc;
};

} // namespace envinitest

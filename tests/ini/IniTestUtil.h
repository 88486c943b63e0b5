#pragma once

#include <zvenv/CTqIni.h>
#include <zvenv/platform/Profile.h>

#include "ZvTest.h"

#include <gtest/gtest.h>

#include <string>

class IniTest : public ::testing::Test {
protected:
    void SetUp() override { zv::ClearProfileCache(); }
    void Seed(const std::wstring& text) { zvtest::WriteFile(path, zvtest::Utf16(text)); }
    std::string Bytes() const { return zvtest::ReadFile(path); }

    zvtest::TempDir dir;
    std::string path = dir / "a.ini";
    CTqIni ini{std::wstring(path.begin(), path.end()).c_str()};
};

#pragma once

#include "ZvTest.h"

#include "json/Json.h"

#include <zvenv/platform/CString.h>
#include <zvenv/platform/Text.h>

#include <gtest/gtest.h>

#include <cwchar>
#include <filesystem>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace reliability {

const char* const kFiles[] = {"envsetting.ini", "trade.ini", "layout.json"};
const std::string kShipped[] = {zvtest::Utf16(L"[User]\r\ntheme=dark\r\n"), zvtest::Utf16(L"[Main]\r\nqty=5\r\n"),
                                zvtest::Utf16(L"{\r\n\t\"width\" : 640\r\n}")};

// The shipped defaults and a copy of this program (with or without the validator module) in root.
inline void Ship(const zvtest::AppRoot& root, bool withValidator = true)
{
    for (std::size_t f = 0; f < std::size(kFiles); ++f)
        zvtest::WriteFile(root.system() + kFiles[f], kShipped[f]);
    zvtest::PlaceInRoot(root, withValidator);
}

// Runs the rest of the test in a child in a fresh root with the shipped defaults and prepare's; true in the parent.
inline bool RanInRoot(const std::function<void(const zvtest::AppRoot&)>& prepare = {})
{
    if (zvtest::InChild())
        return false;
    zvtest::AppRoot root;
    Ship(root);
    if (prepare)
        prepare(root);
    EXPECT_EQ(zvtest::WaitFor(zvtest::StartInRoot(root, zvtest::ThisTest())), 0) << "the test failed in its root";
    return true;
}

inline CString Key(int owner, int k)
{
    return CString(L"w" + std::to_wstring(owner) + L"k" + std::to_wstring(k));
}

// Kills this test's child in root up to maxDelayMs after root/ready (every tenth round: its start); then check(round).
template <typename Check> void KillRepeatedly(const zvtest::AppRoot& root, int maxDelayMs, Check check)
{
    std::mt19937 random(20261206);
    // Under wine a process takes a tenth of a second to start.
    for (int round = 0; round < (zvtest::kSeparator == '/' ? 300 : 60); ++round) {
        std::filesystem::remove(root.root() + "ready");
        const zvtest::Process child = zvtest::StartInRoot(root, zvtest::ThisTest());
        for (int wait = 0; round % 10 && wait < 5000 && !zvtest::PathExists(root.root() + "ready"); ++wait)
            zvtest::SleepMs(1);
        zvtest::SleepMs(std::uniform_int_distribution<int>(0, maxDelayMs)(random));
        zvtest::Kill(child);
        check(round);
    }
}

// The numbers the named members of a JSON file hold (-1 where missing); empty when the file does not parse.
inline std::vector<int> JsonInts(const std::string& path, const std::vector<CString>& names)
{
    const std::string bytes = zvtest::ReadFile(path);
    JsonNode root = JsonParse(zv::text::DecodeJsonFile(bytes.data(), bytes.size()).c_str());
    if (!root)
        return {};
    std::vector<int> values;
    for (const CString& name : names) {
        JsonIterator it = JsonFindChild(root, name);
        wchar_t* text = it != JsonEnd(root) ? JsonGetString(*it) : nullptr;
        values.push_back(text ? static_cast<int>(std::wcstol(text, nullptr, 10)) : -1);
        JsonFreeString(text);
    }
    JsonDeleteNode(root);
    return values;
}

} // namespace reliability

// The validator module as a host loads it. What it accepts is the grammar
// (JsonGrammarTest); here: its name, its call contract and texts that test
// its survival.
#include "JsonTestUtil.h"

#include <gtest/gtest.h>

namespace {

using jsontest::LoadValidator;

struct Verdict {
    int result;
    std::wstring description;
};

Verdict Check(const std::wstring& text)
{
    CString error;
    const int result = LoadValidator()(text.c_str(), &error, 1);
    return {result, error.str()};
}

class JsonLint : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(nullptr, LoadValidator()) << "libJSONLint.so next to the test executable"; }
};

TEST_F(JsonLint, IsFoundUnderThePlatformNameNextToTheExecutable)
{
    // SetUp has loaded it from there and found its entry point.
    EXPECT_EQ(CString(L"libJSONLint.so"), zv::os::ModuleFileName(L"JSONLint"));
}

TEST_F(JsonLint, NullPointersAreSurvived)
{
    EXPECT_EQ(1, LoadValidator()(L"[]", nullptr, 1));
    EXPECT_EQ(0, LoadValidator()(L"[", nullptr, 1));
    CString error;
    EXPECT_EQ(0, LoadValidator()(nullptr, &error, 1));
    EXPECT_FALSE(error.IsEmpty());
}

TEST_F(JsonLint, LoneSurrogatesAndCodesBeyondUnicode)
{
    const wchar_t high = static_cast<wchar_t>(0xD800);
    const wchar_t low = static_cast<wchar_t>(0xDFFF);
    const wchar_t beyond = static_cast<wchar_t>(0x7FFFFFFF);
    EXPECT_EQ(1, Check({L'[', L'"', high, L'x', low, L'"', L',', L'"', beyond, L'"', L']'}).result);
    EXPECT_EQ(1, Check({L'/', L'/', high, beyond, L'\n', L'[', L']'}).result);
    const Verdict outside = Check({L'[', L'1', L',', beyond, L']'});
    EXPECT_EQ(0, outside.result);
    EXPECT_EQ(0u, outside.description.find(L"Line 1, Column 4: U+7FFFFFFF where a value or ']' should stand"));
}

TEST_F(JsonLint, HugeTextIsCheckedToItsLastCharacter)
{
    std::wstring text = L"[";
    for (int i = 0; i < 25000; ++i)
        text += L"{\"k\" : \"value\", \"n\" : [1, 2.5, true]},\n";
    text += L"null]";
    EXPECT_EQ(1, Check(text).result);
    text.replace(text.size() - 5, 4, L"nul ");
    const Verdict verdict = Check(text);
    EXPECT_EQ(0, verdict.result);
    EXPECT_EQ(0u, verdict.description.find(L"Line 25001, Column 1:")) << verdict.description.size();
}

} // namespace

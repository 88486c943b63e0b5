#include "JsonTestUtil.h"

#include <zvenv/platform/Text.h>

#include <gtest/gtest.h>

#include <random>
#include <vector>

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
    return {result, error.GetString()};
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

TEST_F(JsonLint, AcceptsDocumentsWithComments)
{
    const wchar_t* accepted[] = {
        L"{}",
        L"[]",
        L"{\r\n}",
        L"// lead\n{ /* c */ \"a\" : 1,\n// d\n\"b\" : [true, null]}",
        L"/* a\nb */\n[\"\u00e9\U0001F600\", -1.5e3, 0]",
    };
    for (const wchar_t* text : accepted) {
        const Verdict verdict = Check(text);
        EXPECT_EQ(1, verdict.result) << std::string(verdict.description.begin(), verdict.description.end());
        EXPECT_EQ(L"", verdict.description);
    }
}

TEST_F(JsonLint, RejectionsAreDescribedByLineColumnAndWhatWasExpected)
{
    const std::pair<const wchar_t*, std::vector<const wchar_t*>> cases[] = {
        {L"{\n  \"a\" : 1\n  \"b\" : 2\n}", {L"Line 3, Column 3", L"Missing ','"}},
        {L"12", {L"array or an object"}},
        {L"{} x", {L"Line 1, Column 4"}},
        {L"[1,\n\n   x]", {L"Line 3"}},
        {L"", {L"Line 1"}},
        {L"   ", {L"Line 1"}},
        {L"\n\n", {L"Line 1"}},
        {L"// only a comment", {L"Line 1"}},
    };
    for (const auto& [text, parts] : cases) {
        const Verdict verdict = Check(text);
        EXPECT_NE(1, verdict.result) << std::string(text, text + wcslen(text));
        for (const wchar_t* part : parts)
            EXPECT_NE(std::wstring::npos, verdict.description.find(part)) << std::string(text, text + wcslen(text));
    }
    // A null error pointer and a null text are survived.
    EXPECT_EQ(1, LoadValidator()(L"[]", nullptr, 1));
    CString error;
    EXPECT_NE(1, LoadValidator()(nullptr, &error, 1));
    EXPECT_FALSE(error.IsEmpty());
}

TEST_F(JsonLint, NestingBeyondTheLimitIsRejectedNotACrash)
{
    const int depth = 100000;
    std::wstring deep(depth, L'[');
    deep += std::wstring(depth, L']');
    const Verdict verdict = Check(deep);
    EXPECT_NE(1, verdict.result);
    EXPECT_NE(std::wstring::npos, verdict.description.find(L"stackLimit"));

    std::wstring fine(500, L'[');
    fine += std::wstring(500, L']');
    EXPECT_EQ(1, Check(fine).result);
}

TEST_F(JsonLint, LoneSurrogatesAndOddCharactersAreSurvived)
{
    const std::wstring lone = {L'[', L'"', static_cast<wchar_t>(0xD800), L'x', static_cast<wchar_t>(0xDFFF),
                               L'"', L']'};
    EXPECT_EQ(1, Check(lone).result);
    const std::wstring outside = {L'[', static_cast<wchar_t>(0xDC00), L']'};
    const Verdict verdict = Check(outside);
    EXPECT_NE(1, verdict.result);
    EXPECT_NE(std::wstring::npos, verdict.description.find(L"Line 1"));
    const std::wstring beyond = {L'[', L'"', static_cast<wchar_t>(0x7FFFFFFF), L'"', L']'};
    Check(beyond); // whatever the verdict, no crash
}

TEST_F(JsonLint, RandomTextIsJudgedWithoutCrashing)
{
    std::mt19937 random(20261206);
    std::uniform_int_distribution<int> length(0, 300);
    const wchar_t alphabet[] = L"{}[]\",:/*#\\ \n\r\t0123456789.eE+-truefalsn\u00e9\u4e2d";
    std::uniform_int_distribution<int> any(1, 0xFFFF);
    std::uniform_int_distribution<int> pick(0, static_cast<int>(std::size(alphabet)) - 2);
    int rejected = 0;
    for (int round = 0; round < 1500; ++round) {
        std::wstring text;
        const int size = length(random);
        for (int i = 0; i < size; ++i)
            text += round % 3 == 0 ? static_cast<wchar_t>(any(random)) : alphabet[pick(random)];
        const Verdict verdict = Check(text);
        if (verdict.result != 1) {
            ++rejected;
            EXPECT_FALSE(verdict.description.empty());
        }
    }
    EXPECT_GT(rejected, 1000);
}

TEST_F(JsonLint, HugeTextIsChecked)
{
    std::wstring text = L"[";
    for (int i = 0; i < 25000; ++i)
        text += L"{\"k\" : \"value\", \"n\" : [1, 2.5, true]},";
    text += L"null]";
    EXPECT_EQ(1, Check(text).result);
    text.back() = L',';
    const Verdict verdict = Check(text);
    EXPECT_NE(1, verdict.result);
    EXPECT_NE(std::wstring::npos, verdict.description.find(L"Line 1, Column"));
}

} // namespace

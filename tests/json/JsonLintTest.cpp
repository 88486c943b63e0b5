// The validator module as a host loads it: its name, its call contract, a
// huge text, and codes beyond Unicode (the grammar is JsonGrammarTest's).
#include "JsonTestUtil.h"

#include <gtest/gtest.h>

namespace {

using namespace jsontest;

TEST(JsonLint, ContractOfTheModule)
{
    const JsonCppParseFn validate = LoadValidator();
    ASSERT_NE(nullptr, validate) << "found under the platform's name next to the test executable";
#ifdef _WIN32
    EXPECT_EQ(CString(L"JSONLint.dll"), zv::os::ModuleFileName(L"JSONLint"));
#else
    EXPECT_EQ(CString(L"libJSONLint.so"), zv::os::ModuleFileName(L"JSONLint"));
#endif
    EXPECT_EQ(1, validate(L"[]", nullptr, 1));
    EXPECT_EQ(0, validate(L"[", nullptr, 1));
    CString error;
    EXPECT_EQ(0, validate(nullptr, &error, 1));
    EXPECT_FALSE(error.IsEmpty());

    std::wstring text = L"[";
    for (int i = 0; i < 25000; ++i)
        text += L"{\"k\" : \"value\", \"n\" : [1, 2.5, true]},\n";
    EXPECT_EQ(1, Validate(text + L"null]").result);
    EXPECT_EQ(0u, Validate(text + L"nul ]").description.find(L"Line 25001, Column 1:"));

    // Codes beyond Unicode exist only where wchar_t holds 32 bits.
    if constexpr (sizeof(wchar_t) == 4) {
        const auto beyond = static_cast<wchar_t>(0x7FFFFFFF);
        EXPECT_EQ(1, Validate({L'[', L'"', beyond, L'"', L']'}).result);
        EXPECT_EQ(1, Validate({L'/', L'/', beyond, L'\n', L'[', L']'}).result);
        EXPECT_EQ(0u, Validate({L'[', L'1', L',', beyond, L']'})
                          .description.find(L"Line 1, Column 4: U+7FFFFFFF where a value or ']' should stand"));
    }
}

} // namespace

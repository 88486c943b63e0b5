#include "EnvJsonTestUtil.h"

using namespace envjsontest;
using zvtest::ReadFile;
using zvtest::Utf16;

// A process without the validator module next to it reads no JSON document.
TEST(JsonWithoutValidator, EveryLoadIsRejectedWithAnEmptyDescription)
{
    if (!InFreshRoot(false))
        return;
    CapturedMessages messages;
    const std::string bytes = Utf16(L"{\"k\": \"v\"}");
    CTqEnvJson* doc = OpenUserDocument("valid", bytes);
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->GetJson(), nullptr);
    ASSERT_EQ(messages.count(), 1u);
    EXPECT_EQ(messages.texts()[0], doc->GetPath().str() + L":json parse error:\n");
    EXPECT_EQ(doc->GetString(L"k", L"d").str(), L"");

    // A missing file is still created, then rejected the same way.
    CTqEnvJson* fresh = fnTqEnvMgr()->GetJson(L"fresh");
    EXPECT_EQ(fresh->GetJson(), nullptr);
    EXPECT_EQ(messages.count(), 2u);
    EXPECT_EQ(ReadFile(UserFile("fresh.json")), std::string("\xFF\xFE{\0\r\0\n\0}\0", 10));

    doc->SetDirty(1);
    doc->Save();
    EXPECT_EQ(ReadFile(UserFile("valid.json")), bytes);
}

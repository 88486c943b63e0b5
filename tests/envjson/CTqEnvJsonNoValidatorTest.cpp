#include "EnvJsonTestUtil.h"

using namespace envjsontest;
using zvtest::ReadFile;

// Without the validator module next to the executable no JSON document loads.
TEST(JsonWithoutValidator, EveryLoadIsRejectedWithAnEmptyDescription)
{
    if (!InFreshRoot(false))
        return;
    CapturedMessages messages;
    const std::string valid = zvtest::Utf16(L"{\"k\": \"v\"}");
    CTqEnvJson* doc = OpenBytes("valid", valid);
    EXPECT_EQ(doc->GetJson(), nullptr);
    ASSERT_EQ(messages.texts.size(), 1u);
    EXPECT_EQ(messages.texts[0], doc->GetPath().str() + L":json parse error:\n");
    doc->SetDirty(1);
    doc->Save();
    EXPECT_EQ(ReadFile(UserFile("valid.json")), valid);

    EXPECT_EQ(fnTqEnvMgr()->GetJson(L"fresh")->GetJson(), nullptr);
    EXPECT_EQ(messages.texts.size(), 2u);
    EXPECT_EQ(ReadFile(UserFile("fresh.json")), std::string("\xFF\xFE{\0\r\0\n\0}\0", 10));
}

#include "EnvJsonTestUtil.h"

using namespace envjsontest;

// Without the validator module next to the executable no JSON document loads
// (one message each, with an empty description, and no file is rewritten).
// INI documents work as before: the seeding tests run such processes.
TEST(JsonWithoutValidator, EveryLoadIsRejectedWithAnEmptyDescription)
{
    if (!InFreshRoot(false))
        return;
    CapturedMessages messages;
    const std::string valid = Utf16(L"{\"k\": \"v\"}");
    CTqEnvJson* doc = OpenBytes("valid", valid);
    EXPECT_EQ(doc->GetJson(), nullptr);
    EXPECT_EQ(messages.texts, Texts{doc->GetPath().str() + L":json parse error:\n"});
    doc->SetDirty(1);
    doc->Save();
    EXPECT_EQ(ReadFile(UserFile("valid.json")), valid);

    EXPECT_EQ(fnTqEnvMgr()->GetJson(L"fresh")->GetJson(), nullptr);
    EXPECT_EQ(messages.texts.size(), 2u);
    EXPECT_EQ(ReadFile(UserFile("fresh.json")), std::string("\xFF\xFE{\0\r\0\n\0}\0", 10));
}

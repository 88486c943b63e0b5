#include "EnvJsonTestUtil.h"

using namespace envjsontest;

// Without the validator module next to the executable no JSON document loads
// (one message each, with an empty description, and no file is rewritten),
// while INI documents work as before.
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

    WriteFile(SystemFile("trade.ini"), Utf16(L"[Main]\r\nqty=5\r\n"));
    CTqEnvIni* ini = fnTqEnvMgr()->GetEnvIni(L"trade");
    ASSERT_NE(ini, nullptr);
    EXPECT_EQ(ini->GetInt(L"Main", L"qty", 0), 5);
}

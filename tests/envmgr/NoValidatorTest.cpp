#include "ManagerTestUtil.h"

#include "envjson/JsonValidator.h"

#include <zvenv/platform/Message.h>

#include <vector>

using namespace zvtest;

namespace {

std::vector<std::wstring> g_messages;

int Capture(const wchar_t* text, UINT, void*)
{
    g_messages.push_back(text);
    return 1;
}

// Without the validator next to the host, every JSON load is rejected with an
// empty description, while INI documents work as before.
TEST(NoValidator, JsonIsRejectedAndIniWorks)
{
    if (RanInRoot(
            [](const AppRoot& root) {
                WriteFile(root.system() + "layout.json", Utf16(L"{\r\n\t\"w\" : 1\r\n}"));
                WriteFile(root.system() + "trade.ini", Utf16(L"[Main]\r\nqty=5\r\n"));
            },
            false))
        return;
    zv::SetMessageHandler(Capture);
    CTqEnvMgr& mgr = Mgr();
    EXPECT_EQ(g_hJsonLint, nullptr);
    EXPECT_EQ(g_pfnJsonCppParse, nullptr);

    int copied = -1;
    CTqEnvJson* json = mgr.GetJsonEx(L"layout", copied);
    ASSERT_NE(json, nullptr);
    EXPECT_EQ(json->GetJson(), nullptr);
    EXPECT_EQ(json->GetInt(L"w", 9), 0) << "a document without a tree reads zero values";
    ASSERT_EQ(g_messages.size(), 1u) << "one message for one rejected load";
    const std::wstring expected = json->GetPath().str() + L":json parse error:\n";
    EXPECT_EQ(g_messages.front(), expected);

    CTqEnvIni* ini = mgr.GetEnvIni(L"trade");
    ASSERT_NE(ini, nullptr);
    EXPECT_EQ(ini->GetInt(L"Main", L"qty", 0), 5);
}

} // namespace

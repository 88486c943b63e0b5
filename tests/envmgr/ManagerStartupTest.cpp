#include "ManagerTestUtil.h"

#include "envjson/JsonValidator.h"

#include <zvenv/ZvUtil.h>

#include <tuple>

using namespace zvtest;

namespace {

TEST(ManagerStartup, LoadsHtmlIniOnceKeepsTheHostValuesAndSeedsFilesOfOnlyTheMark)
{
    if (RanInRoot([](const AppRoot& root) {
            WriteFile(root.system() + "html.ini", Utf16(L"[Main]\r\ntitle=Start\r\n"));
            WriteFile(root.system() + "trade.ini", Utf16(L"[Main]\r\nqty=5\r\n"));
            WriteFile(root.user() + "trade.ini", std::string("\xFF\xFE", 2));
        }))
        return;
    CTqEnvMgr& mgr = *fnTqEnvMgr();
    // A user file of only the byte order mark is seeded as a missing one.
    EXPECT_EQ(mgr.GetEnvIni(L"trade")->GetInt(L"Main", L"qty", 0), 5);
    EXPECT_EQ(ReadFile(Root() + "user/trade.ini"), ReadFile(Root() + "system/trade.ini"));
    const auto title = [&] {
        CString text;
        TQ_UT_ENV_GetMemIniString(mgr.GetMemIni(L"html.ini"), L"main", L"TITLE", L"", text);
        return text.ToUtf8();
    };
    EXPECT_EQ(title(), "Start");
    // A later GetInstance does not read html.ini again.
    WriteFile(Root() + "system/html.ini", Utf16(L"[Main]\r\ntitle=Changed\r\n"));
    CTqEnvMgr::GetInstance();
    EXPECT_EQ(title(), "Start");
    EXPECT_EQ(mgr.ReadMemIni((W(Root()) + L"system/html.ini").c_str(), 1), 1);
    EXPECT_EQ(title(), "Changed");

    EXPECT_EQ(std::make_tuple(mgr.GetChildTitleHeight(), mgr.GetDlgTitleHeight(), mgr.GetMockServer()),
              std::make_tuple(18, 18, 0));
    mgr.SetChildTitleHeight(22);
    mgr.SetDlgTitleHeight(-3);
    mgr.SetMockServer(1);
    mgr.SetMtsResInfoFile(L"res.info");
    EXPECT_EQ(std::make_tuple(mgr.GetChildTitleHeight(), mgr.GetDlgTitleHeight(), mgr.GetMockServer()),
              std::make_tuple(22, -3, 1));
    EXPECT_STREQ(mgr.GetMtsResInfoFile(), L"res.info");
    mgr.Clear();
    EXPECT_EQ(mgr.GetMemIni(L"html.ini"), nullptr) << "Clear empties the memory INI cache";
}

TEST(ManagerStartup, ReleaseBeforeStartCreatesNothing)
{
    const std::string shipped = Utf16(L"{ \"a\":1 }");
    if (RanInRoot([&](const AppRoot& root) { WriteFile(root.system() + "clean.json", shipped); }))
        return;
    CTqEnvMgr::ReleaseInstance();
    EXPECT_FALSE(PathExists(Root() + "user/envsetting.ini"));
    EXPECT_EQ(Narrow(fnTqEnvMgr()->GetRootPath()), Root());
    EXPECT_EQ(CTqEnvMgr::GetInstance(), fnTqEnvMgr()) << "one instance";
    EXPECT_EQ(fnTqEnvMgr()->GetMemIni(L"html.ini"), nullptr) << "a missing html.ini is no error";
    EXPECT_NE(g_pfnJsonCppParse, nullptr);
    CTqEnvIni* ini = fnTqEnvMgr()->GetEnvIni(L"after");
    ASSERT_NE(ini, nullptr);
    ini->SetInt(L"S", L"k", 1);
    ASSERT_NE(fnTqEnvMgr()->GetJson(L"clean"), nullptr);
    CTqEnvMgr::ReleaseInstance();
    EXPECT_EQ(ReadFile(Root() + "user/clean.json"), shipped) << "a document never changed is not written";
    EXPECT_EQ(fnTqEnvMgr()->GetEnvIni(L"after"), ini) << "release saves and keeps the registry";
    EXPECT_EQ(ini->IsDirty(), 0);
    EXPECT_TRUE(PathExists(Root() + "user/after.ini"));
}

} // namespace

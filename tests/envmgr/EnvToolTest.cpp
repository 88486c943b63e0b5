// Choosing another application root before start-up, as administration tools do.
#include "ManagerTestUtil.h"

#include <zvenv/EnvTool.h>

using namespace zvtest;

TEST(EnvTool, ARootChosenBeforeStartUpIsTakenAndFixedAfterwards)
{
    if (RanInRoot([](const AppRoot& root) {
            MakeFolders(root.path() + "/other/system");
            WriteFile(root.path() + "/other/system/html.ini", Utf16(L"[Colors]\r\nback=white\r\n"));
        }))
        return;
    const std::string other = Root() + "other/";
    EXPECT_EQ(Narrow(zv::envtool::DefaultRootPath()), Root());
    for (const wchar_t* refused : {static_cast<const wchar_t*>(nullptr), L"", L"/no/such/folder"})
        EXPECT_FALSE(zv::envtool::UseRootPath(refused));
    // Dots and a missing separator are made canonical.
    ASSERT_TRUE(zv::envtool::UseRootPath(W(Root() + "bin/../other").c_str()));

    CTqEnvMgr& mgr = *fnTqEnvMgr();
    EXPECT_EQ(Narrow(mgr.GetRootPath()), other);
    EXPECT_EQ(Narrow(mgr.GetModulePath()), Root() + "bin") << "the executable stays where it is";
    EXPECT_NE(mgr.GetMemIni(L"html.ini"), nullptr) << "start-up read the chosen root's html.ini";

    EXPECT_FALSE(zv::envtool::UseRootPath(W(Root()).c_str()));
    EXPECT_EQ(Narrow(mgr.GetRootPath()), other);
}

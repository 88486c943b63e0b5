#include "ManagerTestUtil.h"

#include <zvenv/ZvUtil.h>

#include <filesystem>
#include <set>
#include <tuple>

using namespace zvtest;

namespace {

const std::wstring kTrade = L"[Main]\r\nqty=5\r\n";
const std::wstring kLayout = L"{\r\n\t\"width\" : 640\r\n}";

void ShipDefaults(const AppRoot& root)
{
    WriteFile(root.system() + "trade.ini", Utf16(kTrade));
    WriteFile(root.system() + "layout.json", Utf16(kLayout));
}

// The path of a document under the root, or "null".
template <typename Doc> std::string PathOf(Doc* doc)
{
    return doc ? Narrow(doc->GetPath()).substr(Root().size()) : "null";
}

// INI names are keyed without case and extension, JSON names with case.
TEST(Registry, NamesKeysSaveAllDeleteAndClear)
{
    if (RanInRoot(ShipDefaults))
        return;
    CTqEnvMgr& mgr = *fnTqEnvMgr();
    CTqEnvIni* trade = mgr.GetEnvIni(L"trade", 0, L"cfg");
    ASSERT_NE(trade, nullptr);
    EXPECT_EQ(mgr.GetEnvIni(L"Trade.ini", 0, L"cfg"), trade);
    EXPECT_EQ(mgr.GetEnvIni(L"  TRADE  ", 0, L" cfg "), trade);
    EXPECT_EQ(mgr.GetEnvIni(L"trade.cfg", 1, L"cfg"), trade) << "neither extension nor system flag is in the key";
    EXPECT_NE(mgr.GetEnvIni(L"trade", 0, L""), trade);
    EXPECT_EQ(mgr.GetEnvIni(L""), mgr.GetEnvSetting());
    EXPECT_EQ(mgr.GetEnvIni(L"envSETTING.ini"), mgr.GetEnvSetting());
    EXPECT_EQ(PathOf(mgr.GetEnvIni(L".hidden")), "user/.hidden.ini");

    CTqEnvJson* upper = mgr.GetJson(L"Layout");
    CTqEnvJson* lower = mgr.GetJson(L"layout.json");
    ASSERT_NE(upper, nullptr);
    EXPECT_NE(upper, lower);
    EXPECT_EQ(mgr.GetJson(L" layout "), lower);
    EXPECT_EQ(mgr.GetJson(L""), nullptr);
    EXPECT_EQ(lower->GetInt(L"width", 0), 640);
    EXPECT_EQ(PathOf(mgr.GetJson(L"panel.cfg")), "user/panel.json") << "always a .json file";

    // The INI clone keeps its sub-folder untrimmed, the JSON clone trims both.
    EXPECT_EQ(PathOf(mgr.GetEnvIniClone(L" trade ", L" cb ")), "system/ cb /trade.ini");
    EXPECT_EQ(PathOf(mgr.GetJsonClone(L" layout ", L" cb ")), "system/cb/layout.json");

    for (const void* refused : std::initializer_list<const void*>{
             mgr.GetEnvIni(L"../outside"), mgr.GetEnvIni(L"trade", 0, L"../../x"), mgr.GetEnvIni(L"a.b/../../../c"),
             mgr.GetEnvIni(L"/etc/passwd"), mgr.GetEnvIni(L"C:evil"), mgr.GetEnvIniClone(L"../x"),
             mgr.GetJson(L"..\\up"), mgr.GetJson(L"x", 0, L"a/../../.."), mgr.GetJsonClone(L"ok", L"..")})
        EXPECT_EQ(refused, nullptr);
    EXPECT_EQ(PathOf(mgr.GetEnvIni(L"sub/name")), "user/sub/name.ini") << "a name with a folder stays inside";

    // The sub-folder as the path holds it: a leading separator dropped, cut at a null.
    const std::pair<CString, std::string> subs[] = {
        {L"\\cfg", "cfg/"},     {L"/cfg", "cfg/"},  {CString(L"..\0", 3), "null"}, {CString(L"cfg/..\0/x", 9), "null"},
        {L"cfg/.. /x", "null"}, {L"//cfg", "null"},
    };
    for (const auto& [sub, folder] : subs) {
        const auto expect = [&](const std::string& top, const std::string& file) {
            return folder == "null" ? folder : top + folder + file;
        };
        const std::string shown = Narrow(sub) + " (" + std::to_string(sub.GetLength()) + " characters)";
        EXPECT_EQ(PathOf(mgr.GetEnvIni(L"trade", 0, sub)), expect("user/", "trade.ini")) << shown;
        EXPECT_EQ(PathOf(mgr.GetEnvIni(L"deals", 1, sub)), expect("system/", "deals.ini")) << shown;
        EXPECT_EQ(PathOf(mgr.GetJson(L"layout", 0, sub)), expect("user/", "layout.json")) << shown;
        EXPECT_EQ(PathOf(mgr.GetJsonClone(L"layout", sub)), expect("system/", "layout.json")) << shown;
    }
    EXPECT_TRUE(PathExists(Root() + "user/cfg/trade.ini")) << "seeded into the sub-folder";
    EXPECT_EQ(mgr.GetEnvIni(L"absent")->GetInt(L"Main", L"qty", 3), 3);
    EXPECT_FALSE(PathExists(Root() + "user/absent.ini")) << "no default, nothing written";
    EXPECT_EQ(mgr.GetEnvIni(CString(L"trade\0/../../x", 14)), mgr.GetEnvIni(L"trade"));
    EXPECT_EQ(mgr.GetJson(CString(L"layout\0x", 8)), mgr.GetJson(L"layout"));

    CTqEnvIni* clone = mgr.GetEnvIniClone(L"trade");
    EXPECT_EQ(PathOf(clone), "system/trade.ini");
    EXPECT_EQ(mgr.GetEnvIniClone(L"TRADE.ini"), clone);
    clone->SetInt(L"Main", L"qty", 77);
    mgr.GetJsonClone(L"layout")->SetInt(L"width", 1);
    CTqEnvIni* changed = mgr.GetEnvIni(L"notes");
    changed->SetString(L"Main", L"text", L"hello");
    CTqEnvJson* layout = mgr.GetJson(L"layout");
    layout->SetInt(L"width", 800);
    mgr.GetEnvSetting()->SetInt(L"Main", L"x", 1);
    mgr.SaveAll();
    EXPECT_EQ(ReadFile(Root() + "system/trade.ini"), Utf16(kTrade)) << "clones are never saved";
    EXPECT_EQ(ReadFile(Root() + "system/layout.json"), Utf16(kLayout));
    EXPECT_EQ(ReadFile(Root() + "user/notes.ini"), Utf16(L"[Main]\r\ntext=hello\r\n"));
    EXPECT_EQ(changed->IsDirty() + layout->IsDirty(), 0);
    EXPECT_EQ(mgr.GetEnvSetting()->IsDirty(), 0) << "saved (to no file: no user is set)";

    mgr.DeleteIni(L"Trade.ini", L"", 0);
    EXPECT_TRUE(PathExists(Root() + "user/trade.ini"));
    ASSERT_NE(mgr.GetEnvIni(L"trade"), nullptr);
    mgr.DeleteIni(L"trade", L"", 1);
    EXPECT_FALSE(PathExists(Root() + "user/trade.ini"));
    mgr.DeleteJson(L"layout", L"", 1);
    EXPECT_FALSE(PathExists(Root() + "user/layout.json"));
    mgr.DeleteJson(L"never", L"", 1);
    mgr.DeleteCloneIni(L"trade", L"");
    mgr.DeleteCloneJson(L"layout", L"");
    EXPECT_TRUE(PathExists(Root() + "system/trade.ini")) << "deleting a clone touches no file";
    EXPECT_TRUE(PathExists(Root() + "system/layout.json"));

    mgr.GetEnvIni(L"a")->SetInt(L"S", L"k", 1);
    mgr.GetJson(L"b");
    mgr.Clear();
    mgr.SaveAll();
    EXPECT_FALSE(PathExists(Root() + "user/a.ini")) << "cleared documents are gone unsaved";
}

// A rename moves the file to newName + ".ini"; a change of case renames in place.
TEST(Registry, Renames)
{
    if (RanInRoot([](const AppRoot& root) {
            ShipDefaults(root);
            WriteFile(root.system() + "CASEY.ini", Utf16(kTrade));
        }))
        return;
    CTqEnvMgr& mgr = *fnTqEnvMgr();
    CTqEnvIni* trade = mgr.GetEnvIni(L"trade", 0, L"cfg");
    EXPECT_EQ(mgr.ChangeNameIni(L"trade", L"deals", L"cfg"), 1);
    EXPECT_FALSE(PathExists(Root() + "user/cfg/trade.ini"));
    EXPECT_EQ(ReadFile(Root() + "user/cfg/deals.ini"), Utf16(kTrade));
    EXPECT_EQ(PathOf(trade), "user/cfg/deals.ini");
    EXPECT_EQ(mgr.GetEnvIni(L"Deals", 0, L"cfg"), trade);
    EXPECT_EQ(mgr.ChangeNameIni(L"missing", L"x", L"cfg"), 0);
    mgr.GetEnvIni(L"trade", 0, L"cfg"); // seeded again
    EXPECT_EQ(mgr.ChangeNameIni(L"trade", L"deals", L"cfg"), 0) << "the target exists";
    EXPECT_TRUE(PathExists(Root() + "user/cfg/trade.ini"));
    mgr.GetEnvIni(L"trade");
    EXPECT_EQ(mgr.ChangeNameIni(L"trade", L"../../stolen", L""), 0);
    EXPECT_FALSE(PathExists(Root() + "../stolen.ini"));

    for (const auto& [newName, file] :
         {std::pair<const wchar_t*, std::string>{L"New.ini", "user/New.ini.ini"}, {L"", "user/.ini"}}) {
        CTqEnvIni* doc = mgr.GetEnvIni(L"trade");
        ASSERT_EQ(mgr.ChangeNameIni(L"trade", newName, L""), 1) << file;
        EXPECT_EQ(PathOf(doc), file);
        EXPECT_EQ(ReadFile(Root() + file), Utf16(kTrade)) << file;
        EXPECT_FALSE(PathExists(Root() + "user/trade.ini")) << file;
    }
    CTqEnvIni* casey = mgr.GetEnvIni(L"CASEY");
    EXPECT_EQ(mgr.ChangeNameIni(L"CASEY", L"casey", L""), 1);
    EXPECT_EQ(PathOf(casey), "user/casey.ini");
    EXPECT_EQ(ReadFile(Root() + "user/casey.ini"), Utf16(kTrade));
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::u8path(Root() + "user")))
        names.insert(entry.path().filename().u8string());
    EXPECT_EQ(names.count("casey.ini") - names.count("CASEY.ini"), 1u) << "the file took the new spelling";
    EXPECT_EQ(mgr.GetEnvIni(L"casey"), casey);

    CTqEnvJson* layout = mgr.GetJson(L"layout");
    const std::string bytes = ReadFile(Root() + "user/layout.json");
    ASSERT_FALSE(bytes.empty());
    const wchar_t* oldName = L"layout";
    for (const wchar_t* name : {L"layout", L"LAYOUT", L"Layout"}) {
        ASSERT_EQ(mgr.ChangeNameJson(oldName, name, L""), 1) << Narrow(name);
        oldName = name;
        EXPECT_EQ(PathOf(layout), "user/" + Narrow(name) + ".json");
        EXPECT_EQ(ReadFile(Root() + "user/" + Narrow(name) + ".json"), bytes) << Narrow(name);
        EXPECT_EQ(mgr.GetJson(name), layout);
    }
    EXPECT_EQ(mgr.ChangeNameJson(L"Layout", L"", L""), 1) << "an empty name gives .json";
    EXPECT_EQ(ReadFile(Root() + "user/.json"), bytes);
    CTqEnvJson* again = mgr.GetJson(L"layout");
    EXPECT_EQ(mgr.ChangeNameJson(L"layout", L"screen", L""), 1);
    EXPECT_TRUE(PathExists(Root() + "user/screen.json"));
    EXPECT_FALSE(PathExists(Root() + "user/layout.json"));
    EXPECT_EQ(mgr.GetJson(L"screen"), again);
}

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
    EXPECT_EQ(fnTqEnvMgr()->GetMemIni(L"html.ini"), nullptr) << "a missing html.ini is no error";
    CTqEnvIni* ini = fnTqEnvMgr()->GetEnvIni(L"after");
    ASSERT_NE(ini, nullptr);
    ini->SetInt(L"S", L"k", 1);
    ASSERT_NE(fnTqEnvMgr()->GetJson(L"clean")->GetJson(), nullptr) << "the validator is loaded again";
    CTqEnvMgr::ReleaseInstance();
    EXPECT_EQ(ReadFile(Root() + "user/clean.json"), shipped) << "a document never changed is not written";
    EXPECT_EQ(fnTqEnvMgr()->GetEnvIni(L"after"), ini) << "release saves and keeps the registry";
    EXPECT_EQ(ini->IsDirty(), 0);
    EXPECT_TRUE(PathExists(Root() + "user/after.ini"));
}

} // namespace

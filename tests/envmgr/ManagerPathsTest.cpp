#include "ManagerTestUtil.h"

#include <zvenv/ZvUtil.h>

using namespace zvtest;

namespace {

std::string Folders(const CString& path)
{
    return Narrow(path).substr(Root().size());
}

TEST(ManagerPaths, SubFoldersAreNormalised)
{
    if (RanInRoot())
        return;
    CTqEnvMgr& mgr = Mgr();
    wchar_t empty[] = L"", cfg[] = L"cfg", nested[] = L"/cfg/x", back[] = L"\\cfg", slash[] = L"/";
    EXPECT_EQ(Folders(mgr.GetRuntimePath(empty, 7)), "");
    EXPECT_EQ(Folders(mgr.GetRuntimePath(cfg, 0)), "cfg/");
    EXPECT_EQ(Folders(mgr.GetRuntimePath(nested, 3)), "cfg/x/");
    EXPECT_EQ(Folders(mgr.GetRuntimePath(back)), "cfg/");
    EXPECT_EQ(Folders(mgr.GetRuntimePath(slash)), "/");

    EXPECT_EQ(Folders(mgr.GetDataPath(L"")), "data/");
    EXPECT_EQ(Folders(mgr.GetDataPath(L"cfg/sub")), "data/cfg/sub/");
    EXPECT_EQ(Folders(mgr.GetDataPath(L"\\cfg\\")), "data/cfg/");
    EXPECT_EQ(Folders(mgr.GetImagePath(L"a\\b")), "image/a/b/");
    EXPECT_EQ(Folders(mgr.GetMenuPath(L"")), "menu/");
    EXPECT_EQ(Folders(mgr.GetScreenPath(L"layouts")), "screen/layouts/");
    EXPECT_EQ(Folders(mgr.GetSoundPath(L"x")), "sound/x/");
    EXPECT_EQ(Folders(mgr.GetSystemPath(L"")), "system/");
    EXPECT_FALSE(PathExists(Root() + "data/cfg")) << "plain getters create nothing";
}

TEST(ManagerPaths, UserFoldersAreCreated)
{
    if (RanInRoot())
        return;
    CTqEnvMgr& mgr = Mgr();
    EXPECT_EQ(Folders(mgr.GetUserPath(L"team/a")), "user/team/a/");
    EXPECT_TRUE(DIRECTORYEXISTS((Wide(Root()) + L"user/team/a").c_str()));
    EXPECT_EQ(Folders(mgr.GetUserIdPath(L"ignored")), "user/") << "no user: the sub-folder is not used";
    EXPECT_EQ(Folders(mgr.GetUserIdPath(nullptr)), "user/");
    EXPECT_FALSE(PathExists(Root() + "user/ignored"));
}

TEST(ManagerPaths, EncryptedUserKeepsSettingsUnderThePlainId)
{
    if (RanInRoot(
            [](const AppRoot& root) { WriteFile(root.system() + "envsetting.ini", Utf16(L"[Main]\r\nlang=en\r\n")); }))
        return;
    CTqEnvMgr& mgr = Mgr();
    mgr.SetUserID(L"alice smith", 1);
    const CString stored = mgr.GetUserId(1);
    EXPECT_STRNE(stored, L"alice smith");
    EXPECT_STREQ(mgr.GetUserId(0), L"alice smith");

    EXPECT_EQ(ReadFile(Root() + "user/alice smith/envsetting.ini"), ReadFile(Root() + "system/envsetting.ini"))
        << "the setting file lies under the id as passed, copied from the template";
    EXPECT_EQ(Folders(mgr.GetEnvSetting()->GetPath()), "user/alice smith/envsetting.ini");
    EXPECT_STREQ(mgr.GetEnvSetting()->GetString(L"Main", L"lang", L""), L"en");

    EXPECT_EQ(Folders(mgr.GetUserIdPath(L"")), "user/" + Narrow(stored) + "/");
    EXPECT_EQ(Folders(mgr.GetUserIdPath(L"cfg")), "user/" + Narrow(stored) + "/cfg/");
    EXPECT_TRUE(PathExists(Root() + "user/" + Narrow(stored) + "/cfg"));
    EXPECT_EQ(Folders(mgr.GetOtherUserIdPath(L"alice smith", L"")), "user/" + Narrow(stored) + "/");
}

TEST(ManagerPaths, ExistingSettingFileIsKeptByteForByte)
{
    const std::string own = Utf16(L"[Main]\r\nlang=fr\r\n; mine\r\n");
    if (RanInRoot([&](const AppRoot& root) {
            WriteFile(root.system() + "envsetting.ini", Utf16(L"[Main]\r\nlang=en\r\n"));
            MakeFolders(root.user() + "bob");
            WriteFile(root.user() + "bob/envsetting.ini", own);
        }))
        return;
    Mgr().SetUserID(L"bob", 0);
    EXPECT_EQ(ReadFile(Root() + "user/bob/envsetting.ini"), own);
    EXPECT_STREQ(Mgr().GetUserId(1), L"bob");
    EXPECT_STREQ(Mgr().GetUserId(0), L"bob") << "a plain id reads back as itself";
}

TEST(ManagerPaths, MissingTemplateLeavesOnlyTheMark)
{
    if (RanInRoot())
        return;
    Mgr().SetUserID(L"carol", 0);
    EXPECT_EQ(ReadFile(Root() + "user/carol/envsetting.ini"), std::string("\xFF\xFE", 2));
}

TEST(ManagerPaths, TextThatWouldLeaveTheRootCreatesNothingThere)
{
    if (RanInRoot())
        return;
    CTqEnvMgr& mgr = Mgr();
    for (const wchar_t* id : {L"../escape", L"..", L"a/b", L"a\\..\\..\\b", L"/tmp/x"}) {
        mgr.SetUserID(id, 0);
        EXPECT_STREQ(mgr.GetUserId(1), L"") << "refused: " << Narrow(id);
    }
    EXPECT_FALSE(PathExists(Root() + "escape"));
    EXPECT_FALSE(PathExists(Root() + "../escape"));

    const CString outside = mgr.GetUserPath(L"../../zv-outside");
    EXPECT_EQ(Folders(outside), "user/../../zv-outside/") << "the text is still returned";
    EXPECT_FALSE(PathExists(Root() + "../zv-outside"));
    EXPECT_FALSE(PathExists(Root() + "user/../../zv-outside"));
}

TEST(ManagerPaths, ImageFolderOfTheHost)
{
    if (RanInRoot())
        return;
    CTqEnvMgr& mgr = Mgr();
    EXPECT_EQ(Folders(mgr.GetMtsImagePath(L"", L"")), "");
    EXPECT_EQ(Folders(mgr.GetMtsImagePath(L"img")), "img/");
    EXPECT_STREQ(mgr.GetMtsImagePath(L"/abs/pics", L"x"), L"/abs/pics");
    mgr.SetMtsImagePath(L"skins\\dark");
    EXPECT_STREQ(mgr.GetMtsImagePath(), L"skins\\dark");
    EXPECT_EQ(Folders(mgr.GetMtsImagePath(L"ignored")), "skins/dark/");
    EXPECT_STREQ(mgr.GetMtsImagePath(L"", L"x"), L"skins\\dark") << "the stored text, not under the root";
}

} // namespace

namespace {

// Text that deflate shortens little (six bits a character): at 200
// characters its encrypted form is longer than a folder name may be.
std::wstring Incompressible(std::size_t length)
{
    std::wstring text;
    unsigned state = 12345;
    for (std::size_t i = 0; i < length; ++i) {
        state = state * 1103515245u + 12345u;
        text += L"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-_"[(state >> 16) % 64];
    }
    return text;
}

// A user id names a folder twice: as passed (the setting folder) and, when
// encrypted, as its ciphertext (the documents' folder). An id that cannot do
// both is refused everywhere alike: the current user stays and nothing is
// created.
TEST(ManagerPaths, UserIdsThatNameNoFolderAreRefused)
{
    if (RanInRoot())
        return;
    CTqEnvMgr& mgr = Mgr();
    mgr.SetUserID(L"ann", 1);
    const CString ann = mgr.GetUserId(1);
    const CString setting = mgr.GetEnvSetting()->GetPath();
    const struct {
        std::wstring id;
        int encrypt;
    } refused[] = {{Incompressible(200), 1}, {Incompressible(256), 0}, {std::wstring(128, L'\u00e9'), 0}};
    for (const auto& [id, encrypt] : refused) {
        mgr.SetUserID(id.c_str(), encrypt);
        EXPECT_STREQ(mgr.GetUserId(1), ann) << id.size() << " characters";
        EXPECT_STREQ(mgr.GetEnvSetting()->GetPath(), setting);
        EXPECT_STREQ(mgr.GetOtherUserIdPath(id.c_str(), L"team"), L"") << id.size() << " characters";
    }
    EXPECT_FALSE(PathExists(Root() + "user/team")) << "no folder for a refused id";

    const std::wstring longest = Incompressible(142);
    mgr.SetUserID(longest.c_str(), 1);
    EXPECT_STREQ(mgr.GetUserId(0), longest.c_str()) << "142 bytes always fit";
    EXPECT_EQ(Folders(mgr.GetOtherUserIdPath(longest.c_str(), L"")), "user/" + Narrow(mgr.GetUserId(1)) + "/");
}

// The empty id is encrypted like any other: its ciphertext names the folder.
TEST(ManagerPaths, EncryptedEmptyIdIsAUserOfItsOwn)
{
    if (RanInRoot())
        return;
    CTqEnvMgr& mgr = Mgr();
    mgr.SetUserID(L"", 1);
    CString expected;
    TQ_UT_EncryptSD(L"", expected);
    ASSERT_FALSE(expected.IsEmpty());
    EXPECT_STREQ(mgr.GetUserId(1), expected);
    EXPECT_STREQ(mgr.GetUserId(0), L"");
    EXPECT_EQ(Folders(mgr.GetEnvIni(L"trade")->GetPath()), "user/" + Narrow(expected) + "/trade.ini");
    EXPECT_EQ(Folders(mgr.GetEnvSetting()->GetPath()), "user//envsetting.ini") << "the id as passed is empty";
}

TEST(ManagerPaths, UserFoldersTakeNormalisedSubFolders)
{
    if (RanInRoot())
        return;
    CTqEnvMgr& mgr = Mgr();
    EXPECT_EQ(Folders(mgr.GetUserPath(L"\\cfg")), "user/cfg/");
    EXPECT_TRUE(PathExists(Root() + "user/cfg"));
    mgr.SetUserID(L"bo", 0);
    EXPECT_EQ(Folders(mgr.GetUserIdPath(L"/desk")), "user/bo/desk/");
    EXPECT_TRUE(PathExists(Root() + "user/bo/desk"));
    EXPECT_EQ(Folders(mgr.GetUserIdPath(L"/../../out")), "user/bo/../../out/");
    EXPECT_FALSE(PathExists(Root() + "out"));
}

} // namespace

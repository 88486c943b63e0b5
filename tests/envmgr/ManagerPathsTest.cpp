#include "ManagerTestUtil.h"

#include <zvenv/ZvUtil.h>

#include <algorithm>
#include <filesystem>
#include <random>

using namespace zvtest;

namespace {

std::string Folders(const CString& path)
{
    return Narrow(path).substr(Root().size());
}

// Text that deflate shortens little: at 200 characters its encrypted form is
// longer than a folder name may be.
std::wstring Incompressible(std::size_t length)
{
    std::minstd_rand random(12345);
    std::wstring text;
    while (text.size() < length)
        text += L"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-_"[random() % 64];
    return text;
}

TEST(ManagerPaths, FoldersUnderTheRootAreNormalisedAndUserIdsThatNameNoFolderRefused)
{
    const std::string own = Utf16(L"[Main]\r\nlang=fr\r\n");
    if (RanInRoot([&](const AppRoot& root) {
            MakeFolders(root.user() + "bob");
            WriteFile(root.user() + "bob/envsetting.ini", own);
        }))
        return;
    CTqEnvMgr& mgr = *fnTqEnvMgr();
    const CString other = kSeparator == '/' ? CString(L"\\") : CString(L"/");
    for (const CString& path : {mgr.GetRootPath(), mgr.GetUserIdPath(L"a/b\\c"), mgr.GetDataPath(L"x/y"),
                                mgr.GetEnvIni(L"trade", 0, L"cfg/sub")->GetPath()})
        EXPECT_EQ(path.Find(other), -1) << path.ToUtf8();
    wchar_t empty[] = L"", cfg[] = L"cfg", nested[] = L"/cfg/x", slash[] = L"/";
    // Only the user's folders are created, and none that climbs out.
    const std::pair<CString, std::string> paths[] = {
        {mgr.GetRuntimePath(empty, 7), ""},
        {mgr.GetRuntimePath(cfg, 0), "cfg/"},
        {mgr.GetRuntimePath(nested, 3), "cfg/x/"},
        {mgr.GetRuntimePath(slash), "/"},
        {mgr.GetDataPath(L""), "data/"},
        {mgr.GetDataPath(L"cfg/sub"), "data/cfg/sub/"},
        {mgr.GetImagePath(L"a\\b"), "image/a/b/"},
        {mgr.GetMenuPath(L""), "menu/"},
        {mgr.GetScreenPath(L"layouts"), "screen/layouts/"},
        {mgr.GetSoundPath(L"x"), "sound/x/"},
        {mgr.GetSystemPath(L""), "system/"},
        {mgr.GetMtsImagePath(L"", L""), ""},
        {mgr.GetMtsImagePath(L"img"), "img/"},
        {mgr.GetUserPath(L"team/a"), "user/team/a/"},
        {mgr.GetUserPath(L"\\cfg"), "user/cfg/"},
        {mgr.GetUserIdPath(L"ignored"), "user/"},
        {mgr.GetUserPath(L"../../zv-outside"), "user/../../zv-outside/"},
    };
    for (const auto& [path, folders] : paths)
        EXPECT_EQ(Folders(path), folders);
    EXPECT_TRUE(DIRECTORYEXISTS((W(Root()) + L"user/team/a").c_str()));
    EXPECT_TRUE(PathExists(Root() + "user/cfg"));

    // The host's image folder: an absolute one as given, a stored one under the root.
    EXPECT_STREQ(mgr.GetMtsImagePath(L"/abs/pics", L"x"), L"/abs/pics");
    mgr.SetMtsImagePath(L"skins\\dark");
    EXPECT_STREQ(mgr.GetMtsImagePath(), L"skins\\dark");
    EXPECT_EQ(Folders(mgr.GetMtsImagePath(L"ignored")), "skins/dark/");
    EXPECT_STREQ(mgr.GetMtsImagePath(L"", L"x"), L"skins\\dark") << "the stored text, not under the root";

    // An id that cannot name both folders, or would leave the root, is refused
    // everywhere alike: the current user stays and nothing is created.
    mgr.SetUserID(L"carol", 0);
    EXPECT_EQ(ReadFile(Root() + "user/carol/envsetting.ini"), std::string("\xFF\xFE", 2)) << "no template: the mark";
    mgr.SetUserID(L"bob", 0);
    EXPECT_EQ(ReadFile(Root() + "user/bob/envsetting.ini"), own);
    EXPECT_STREQ(mgr.GetEnvSetting()->GetString(L"Main", L"lang", L""), L"fr");
    // An encrypted id keeps its setting file under the id as passed, its documents under the ciphertext.
    mgr.SetUserID(L"ann", 1);
    const CString ann = mgr.GetUserId(1);
    const CString setting = mgr.GetEnvSetting()->GetPath();
    EXPECT_STREQ(mgr.GetUserId(0), L"ann");
    EXPECT_EQ(Folders(setting), "user/ann/envsetting.ini");
    EXPECT_EQ(Folders(mgr.GetUserIdPath(L"cfg")), "user/" + Narrow(ann) + "/cfg/");
    EXPECT_EQ(Folders(mgr.GetOtherUserIdPath(L"ann", L"")), "user/" + Narrow(ann) + "/");
    const std::pair<std::wstring, int> refused[] = {{Incompressible(200), 1},
                                                    {Incompressible(256), 0},
                                                    {std::wstring(128, L'\u00e9'), 0},
                                                    {L"../escape", 0},
                                                    {L"..", 0},
                                                    {L"a\\..\\..\\b", 0}};
    for (const auto& [id, encrypt] : refused) {
        mgr.SetUserID(id.c_str(), encrypt);
        EXPECT_STREQ(mgr.GetUserId(1), ann) << Narrow(id.c_str()).substr(0, 12) << ", " << id.size() << " characters";
        EXPECT_STREQ(mgr.GetEnvSetting()->GetPath(), setting);
        EXPECT_STREQ(mgr.GetOtherUserIdPath(id.c_str(), L"crew"), L"") << id.size() << " characters";
    }

    const std::wstring longest = Incompressible(142);
    mgr.SetUserID(longest.c_str(), 1);
    EXPECT_STREQ(mgr.GetUserId(0), longest.c_str()) << "142 bytes always fit";
    EXPECT_EQ(Folders(mgr.GetOtherUserIdPath(longest.c_str(), L"")), "user/" + Narrow(mgr.GetUserId(1)) + "/");

    mgr.SetUserID(L"", 1);
    CString expected;
    TQ_UT_EncryptSD(L"", expected);
    ASSERT_FALSE(expected.IsEmpty());
    EXPECT_STREQ(mgr.GetUserId(0), L"");
    EXPECT_EQ(Folders(mgr.GetEnvIni(L"trade")->GetPath()), "user/" + Narrow(expected) + "/trade.ini");
    EXPECT_EQ(Folders(mgr.GetEnvSetting()->GetPath()), "user//envsetting.ini") << "the id as passed is empty";

    mgr.SetUserID(L"bo", 0);
    EXPECT_EQ(Folders(mgr.GetUserIdPath(L"/desk")), "user/bo/desk/");
    EXPECT_TRUE(PathExists(Root() + "user/bo/desk"));
    EXPECT_EQ(Folders(mgr.GetUserIdPath(L"/../../out")), "user/bo/../../out/");
    // Nothing outside the user's folders was created, nor for a refused id.
    for (const char* never : {"data/cfg", "user/ignored", "../zv-outside", "user/crew", "escape", "../escape", "out"})
        EXPECT_FALSE(PathExists(Root() + never)) << never;
}

std::string Encrypted(const wchar_t* id)
{
    CString text;
    TQ_UT_EncryptSD(id, text);
    return Narrow(text);
}

// The users GetOtherUserInfo gives for a file name, sorted; "fail" when it fails.
std::vector<std::string> Others(const wchar_t* file)
{
    CStringArray ids, dates;
    if (!fnTqEnvMgr()->GetOtherUserInfo(ids, dates, file))
        return {ids.GetSize() || dates.GetSize() ? "filled" : "fail"};
    std::vector<std::string> names;
    for (int i = 0; i < ids.GetSize(); ++i)
        names.push_back(Narrow(ids[i]));
    std::sort(names.begin(), names.end());
    return names;
}

// ann and cid in folders named by their ciphertext, ben by the plain id (as
// SetUserID without encryption makes it); eva holds "Ärger.ini" only.
void Users(const AppRoot& root)
{
    for (const wchar_t* id : {L"ann", L"ben", L"cid"}) {
        const std::string folder = root.user() + (id == std::wstring(L"ben") ? "ben" : Encrypted(id));
        MakeFolders(folder);
        WriteFile(folder + "/EnvSetting.INI", Utf16(L"[Main]\r\n"));
    }
    MakeFolders(root.user() + "plainname");
    MakeFolders(root.user() + "empty");
    WriteFile(root.user() + "loose-envsetting.ini", "x");
    MakeFolders(root.user() + Encrypted(L"eva"));
    WriteFile(root.user() + Encrypted(L"eva") + "/\xC3\x84rger.ini", "x");
}

TEST(OtherUsers, ListsUsersHoldingTheFileExceptTheCurrentOne)
{
    if (RanInRoot(Users))
        return;
    fnTqEnvMgr()->SetUserID(L"ben", 0);
    CStringArray ids, dates;
    ids.Add(L"kept");
    EXPECT_EQ(fnTqEnvMgr()->GetOtherUserInfo(ids, dates, L"envsetting.ini"), 0)
        << "the arrays were not parallel before the call";
    using Names = std::vector<std::string>;
    EXPECT_EQ(Others(L"envsetting.ini"), (Names{"ann", "cid"}));
    // Folders that are no ciphertext are listed by their own names; plain files never.
    EXPECT_EQ(Others(L""), (Names{"ann", "cid", "empty", "eva", "plainname"}));
    EXPECT_EQ(Others(L"nothing.ini"), Names{"fail"});
    // Without regard to case beyond ASCII, in the C locale.
    EXPECT_EQ(Others(L"\u00e4rger.ini"), Names{"eva"});
    std::filesystem::remove_all(Root() + "user");
    EXPECT_EQ(Others(L"envsetting.ini"), Names{"fail"}) << "no user folder";
}

} // namespace

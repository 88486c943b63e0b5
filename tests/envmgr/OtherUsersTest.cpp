#include "ManagerTestUtil.h"

#include <zvenv/ZvUtil.h>

#include <algorithm>
#include <filesystem>

using namespace zvtest;

namespace {

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

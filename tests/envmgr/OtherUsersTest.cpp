#include "ManagerTestUtil.h"

#include <zvenv/ZvUtil.h>

#include <algorithm>
#include <filesystem>
#include <regex>

using namespace zvtest;

namespace {

std::string Encrypted(const wchar_t* id)
{
    CString text;
    TQ_UT_EncryptSD(id, text);
    return Narrow(text);
}

void ThreeUsers(const AppRoot& root)
{
    // ben's folder is named by the plain id, as SetUserID without encryption makes it.
    for (const wchar_t* id : {L"ann", L"ben", L"cid"}) {
        const std::string folder = root.user() + (id == std::wstring(L"ben") ? "ben" : Encrypted(id));
        MakeFolders(folder);
        WriteFile(folder + "/EnvSetting.INI", Utf16(L"[Main]\r\n"));
    }
    MakeFolders(root.user() + "plainname");
    MakeFolders(root.user() + "empty");
    WriteFile(root.user() + "plainname/other.txt", "x");
    WriteFile(root.user() + "loose-envsetting.ini", "x");
}

TEST(OtherUsers, ListsUsersHoldingTheFileExceptTheCurrentOne)
{
    if (RanInRoot(ThreeUsers))
        return;
    CTqEnvMgr& mgr = Mgr();
    mgr.SetUserID(L"ben", 0);
    CStringArray ids, dates;
    ids.Add(L"kept");
    EXPECT_EQ(mgr.GetOtherUserInfo(ids, dates, L"envsetting.ini"), 0) << "the arrays were not parallel before the call";
    ids.RemoveAll();
    dates.RemoveAll();
    EXPECT_EQ(mgr.GetOtherUserInfo(ids, dates, L"envsetting.ini"), 1);
    std::vector<std::wstring> names;
    for (int i = 0; i < ids.GetSize(); ++i)
        names.push_back(ids[i].str());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"ann", L"cid"}));
    ASSERT_EQ(dates.GetSize(), 2);
    const std::regex format(R"(\d\d/\d\d/\d\d\d\d \d\d:\d\d:\d\d)");
    for (int i = 0; i < dates.GetSize(); ++i)
        EXPECT_TRUE(std::regex_match(Narrow(dates[i]), format)) << Narrow(dates[i]);
}

TEST(OtherUsers, EmptyNameListsEveryFolderAndNoMatchListsNone)
{
    if (RanInRoot(ThreeUsers))
        return;
    CStringArray ids, dates;
    EXPECT_EQ(Mgr().GetOtherUserInfo(ids, dates, L""), 1);
    std::vector<std::wstring> names;
    for (int i = 0; i < ids.GetSize(); ++i)
        names.push_back(ids[i].str());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"ann", L"ben", L"cid", L"empty", L"plainname"}))
        << "folders that are no ciphertext are listed by their own names; plain files never";

    CStringArray none, noDates;
    EXPECT_EQ(Mgr().GetOtherUserInfo(none, noDates, L"nothing.ini"), 0);
    EXPECT_EQ(none.GetSize(), 0);
}

TEST(OtherUsers, MissingUserFolderGivesNothing)
{
    if (RanInRoot([](const AppRoot& root) { std::filesystem::remove_all(root.user()); }))
        return;
    CStringArray ids, dates;
    EXPECT_EQ(Mgr().GetOtherUserInfo(ids, dates, L"envsetting.ini"), 0);
    EXPECT_EQ(dates.GetSize(), 0);
}

} // namespace

namespace {

// File names match without regard to case beyond ASCII, whatever the
// process locale (the tests run in the C locale).
TEST(OtherUsers, FileNamesMatchWithUnicodeCaseFolding)
{
    if (RanInRoot([](const AppRoot& root) {
            MakeFolders(root.user() + Encrypted(L"eva"));
            WriteFile(root.user() + Encrypted(L"eva") + "/\xC3\x84rger.ini", "x"); // Ärger.ini
        }))
        return;
    CStringArray ids, dates;
    EXPECT_EQ(Mgr().GetOtherUserInfo(ids, dates, L"\u00e4rger.ini"), 1);
    ASSERT_EQ(ids.GetSize(), 1);
    EXPECT_STREQ(ids[0], L"eva");
}

} // namespace

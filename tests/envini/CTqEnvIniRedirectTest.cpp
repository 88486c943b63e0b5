#include <zvenv/CTqEnvMgr.h>
#include <zvenv/platform/Os.h>

#include "EnvIniTestUtil.h"

#include <tuple>

using namespace envinitest;

namespace {

// Each case runs again in a child in an application root; the parent checks the files.
const std::wstring kSystemText = L"; shipped\r\n[S]\r\nk=system\r\nonly=shipped\r\n";
const std::wstring kUserText = L"[S]\r\nk=user\r\nmine=1\r\n";

// Reloading app.ini with unsaved changes: name; shipped, user file, system document, user copy removed; the flag;
// S/k, S/mine, S/only read after ("-": missing); the file after (null when gone).
using ReloadCase = std::tuple<const char*, bool, bool, bool, bool, int, const wchar_t*, const std::wstring*>;

const ReloadCase kReloads[] = {
    {"FlagOneReplacesTheUserFileByTheSystemCopy", 1, 1, 0, 0, 1, L"system - shipped", &kSystemText},
    {"FlagOneWithoutASystemCopyLeavesNoFile", 0, 1, 0, 0, 1, L"- - -", nullptr},
    {"FlagOneWithoutAUserFileCopiesNothing", 1, 0, 0, 1, 1, L"- - -", nullptr},
    {"FlagOneOnASystemDocumentKeepsTheShippedFile", 1, 0, 1, 0, 1, L"system - shipped", &kSystemText},
    {"FlagZeroDropsUnsavedChangesAndLeavesTheFile", 0, 1, 0, 0, 0, L"user 1 -", &kUserText},
};

class EnvIniReload : public ::testing::TestWithParam<ReloadCase> {};

TEST_P(EnvIniReload, Reloads)
{
    const auto& [name, shipped, userFile, systemDocument, removeUserCopy, flag, reads, bytes] = GetParam();
    if (!zvtest::InChild()) {
        zvtest::AppRoot root;
        if (shipped)
            zvtest::WriteFile(root.system() + "app.ini", zvtest::Utf16(kSystemText));
        if (userFile)
            zvtest::WriteFile(root.user() + "app.ini", zvtest::Utf16(kUserText));
        ASSERT_EQ(zvtest::RunInRoot(root, false), 0);
        const std::string file = (systemDocument ? root.system() : root.user()) + "app.ini";
        EXPECT_EQ(zvtest::ReadFile(file), bytes ? zvtest::Utf16(*bytes) : "");
        EXPECT_EQ(zvtest::PathExists(file), bytes != nullptr);
        return;
    }
    CTqEnvIni* doc = fnTqEnvMgr()->GetEnvIni(systemDocument ? L"APP.ini" : L"app.ini", systemDocument);
    ASSERT_NE(doc, nullptr);
    ASSERT_TRUE(!removeUserCopy || zv::os::RemoveFile(doc->GetPath())) << "the user copy the parent finds gone";
    doc->SetString(L"S", L"k", L"unsaved");
    CStringArray items = Array({L"x"});
    doc->SetOrderArray(L"List", items, L"I%d", 0);
    EXPECT_EQ(doc->ReloadFile(flag), 1);
    EXPECT_EQ(doc->IsDirty(), 1) << "reloading leaves the flag";
    const CString read = doc->GetString(L"S", L"k", L"-") + L" " + doc->GetString(L"S", L"mine", L"-") + L" " +
                         doc->GetString(L"S", L"only", L"-");
    EXPECT_EQ(read, CString(reads));
    doc->GetOrderArray(L"List", items, L"", L"I%d", 0);
    EXPECT_EQ(items.GetSize(), 0) << "the unsaved array is dropped";
}

INSTANTIATE_TEST_SUITE_P(Flags, EnvIniReload, ::testing::ValuesIn(kReloads),
                         [](const ::testing::TestParamInfo<ReloadCase>& info) {
                             return std::string(std::get<0>(info.param));
                         });

// Without a user id the user folder itself is the target.
TEST(EnvIniRedirect, SaveAfterRedirectWritesANewUtf16FileAndKeepsTheOldOne)
{
    if (!zvtest::InChild()) {
        zvtest::AppRoot root;
        zvtest::WriteFile(root.user() + "app.ini", zvtest::Utf16(kUserText));
        ASSERT_EQ(zvtest::RunInRoot(root, false), 0);
        EXPECT_EQ(zvtest::ReadFile(root.user() + "app.ini"), zvtest::Utf16(kUserText));
        EXPECT_EQ(zvtest::ReadFile(root.user() + "alice/app.ini"),
                  zvtest::Utf16(L"[S]\r\nk=user\r\nadded=1\r\n[O]\r\ncount=1\r\nI0=x\r\n"));
        EXPECT_EQ(zvtest::ReadFile(root.user() + "moved.ini"), zvtest::Utf16(L"[S]\r\nk=v\r\n"));
        return;
    }
    CTqEnvIni* moved = fnTqEnvMgr()->GetEnvIni(L"moved.ini", 1);
    moved->SetString(L"S", L"k", L"v");
    EXPECT_EQ(moved->ChangeSavePathToUserIdPath(), 1);
    moved->Save();

    CTqEnvIni* doc = fnTqEnvMgr()->GetEnvIni(L"app.ini");
    EXPECT_EQ(doc->GetString(L"S", L"k", L""), CString(L"user"));
    doc->SetInt(L"S", L"added", 1);
    CStringArray items = Array({L"x"});
    doc->SetOrderArray(L"O", items, L"I%d", 0);
    fnTqEnvMgr()->SetUserID(L"alice");
    EXPECT_EQ(doc->ChangeSavePathToUserIdPath(), 1);
    EXPECT_EQ(doc->GetPath(), fnTqEnvMgr()->GetUserIdPath(L"") + L"app.ini");
    EXPECT_EQ(doc->IsDirty(), 1) << "the flag is kept";
    EXPECT_FALSE(zv::os::FileExists(doc->GetPath())) << "nothing is copied";
    EXPECT_EQ(doc->GetString(L"S", L"mine", L"none"), CString(L"none"));
    doc->DeleteKey(L"S", L"mine");
    doc->Save();
}

} // namespace

#include <zvenv/CTqEnvMgr.h>
#include <zvenv/platform/Os.h>

#include "EnvIniTestUtil.h"

using namespace envinitest;

namespace {

// Each case runs twice: in this process it builds an application root and
// starts itself again from <root>/bin, where the manager takes the root as
// its own; the child does the work, the parent checks the files afterwards.

const std::wstring kSystemText = L"; shipped\r\n[S]\r\nk=system\r\nonly=shipped\r\n";
const std::wstring kUserText = L"[S]\r\nk=user\r\nmine=1\r\n";

TEST(EnvIniReload, FlagOneReplacesTheUserFileByTheSystemCopy)
{
    if (!zvtest::InChild()) {
        zvtest::AppRoot root;
        zvtest::WriteFile(root.system() + "app.ini", zvtest::Utf16(kSystemText));
        zvtest::WriteFile(root.user() + "app.ini", zvtest::Utf16(kUserText));
        ASSERT_EQ(zvtest::RunInRoot(root, false), 0);
        EXPECT_EQ(zvtest::ReadFile(root.user() + "app.ini"), zvtest::ReadFile(root.system() + "app.ini"));
        return;
    }
    CTqEnvIni* doc = fnTqEnvMgr()->GetEnvIni(L"app.ini");
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->GetPath(), CString(W(zvtest::ChildRoot() + "user" + zvtest::kSeparator + "app.ini")));
    EXPECT_EQ(doc->GetString(L"S", L"k", L""), CString(L"user"));
    doc->SetString(L"S", L"k", L"unsaved");
    EXPECT_EQ(doc->ReloadFile(1), 1);
    EXPECT_EQ(doc->IsDirty(), 1) << "reloading leaves the flag";
    EXPECT_EQ(doc->GetString(L"S", L"k", L""), CString(L"system"));
    EXPECT_EQ(doc->GetString(L"S", L"mine", L"gone"), CString(L"gone"));
    EXPECT_EQ(doc->GetString(L"S", L"only", L""), CString(L"shipped"));
}

TEST(EnvIniReload, FlagOneWithoutASystemCopyLeavesNoFile)
{
    if (!zvtest::InChild()) {
        zvtest::AppRoot root;
        zvtest::WriteFile(root.user() + "lonely.ini", zvtest::Utf16(kUserText));
        ASSERT_EQ(zvtest::RunInRoot(root, false), 0);
        EXPECT_FALSE(zvtest::PathExists(root.user() + "lonely.ini"));
        return;
    }
    CTqEnvIni* doc = fnTqEnvMgr()->GetEnvIni(L"lonely.ini");
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->GetString(L"S", L"k", L""), CString(L"user"));
    EXPECT_EQ(doc->ReloadFile(1), 1);
    EXPECT_EQ(doc->GetString(L"S", L"k", L"default"), CString(L"default"));
}

TEST(EnvIniReload, FlagOneWithoutAUserFileCopiesNothing)
{
    if (!zvtest::InChild()) {
        zvtest::AppRoot root;
        zvtest::WriteFile(root.system() + "late.ini", zvtest::Utf16(kSystemText));
        ASSERT_EQ(zvtest::RunInRoot(root, false), 0);
        EXPECT_FALSE(zvtest::PathExists(root.user() + "late.ini"));
        return;
    }
    CTqEnvIni* doc = fnTqEnvMgr()->GetEnvIni(L"late.ini");
    ASSERT_NE(doc, nullptr);
    // The manager seeded the user's copy; take it away again.
    ASSERT_TRUE(zv::os::RemoveFile(doc->GetPath()));
    EXPECT_EQ(doc->ReloadFile(1), 1);
    EXPECT_FALSE(zv::os::FileExists(doc->GetPath()));
}

TEST(EnvIniReload, FlagOneOnASystemDocumentKeepsTheShippedFile)
{
    if (!zvtest::InChild()) {
        zvtest::AppRoot root;
        zvtest::WriteFile(root.system() + "app.ini", zvtest::Utf16(kSystemText));
        ASSERT_EQ(zvtest::RunInRoot(root, false), 0);
        EXPECT_EQ(zvtest::ReadFile(root.system() + "app.ini"), zvtest::Utf16(kSystemText));
        return;
    }
    CTqEnvIni* doc = fnTqEnvMgr()->GetEnvIni(L"APP.ini", 1);
    ASSERT_NE(doc, nullptr);
    doc->SetString(L"S", L"k", L"unsaved");
    EXPECT_EQ(doc->ReloadFile(1), 1);
    EXPECT_EQ(doc->GetString(L"S", L"k", L""), CString(L"system"));
}

TEST(EnvIniReload, FlagZeroDropsUnsavedChangesAndLeavesTheFile)
{
    if (!zvtest::InChild()) {
        zvtest::AppRoot root;
        zvtest::WriteFile(root.user() + "app.ini", zvtest::Utf16(kUserText));
        ASSERT_EQ(zvtest::RunInRoot(root, false), 0);
        EXPECT_EQ(zvtest::ReadFile(root.user() + "app.ini"), zvtest::Utf16(kUserText));
        return;
    }
    CTqEnvIni* doc = fnTqEnvMgr()->GetEnvIni(L"app.ini");
    ASSERT_NE(doc, nullptr);
    doc->SetString(L"S", L"k", L"unsaved");
    CStringArray items = Array({L"x"});
    doc->SetOrderArray(L"List", items, L"I%d", 0);
    EXPECT_EQ(doc->ReloadFile(0), 1);
    EXPECT_EQ(doc->GetString(L"S", L"k", L""), CString(L"user"));
    CStringArray got;
    doc->GetOrderArray(L"List", got, L"", L"I%d", 0);
    EXPECT_EQ(got.GetSize(), 0);
    EXPECT_EQ(doc->ReloadFile(), 1);
}

TEST(EnvIniRedirect, SaveAfterRedirectWritesANewUtf16FileAndKeepsTheOldOne)
{
    if (!zvtest::InChild()) {
        zvtest::AppRoot root;
        zvtest::WriteFile(root.user() + "app.ini", zvtest::Utf16(kUserText));
        ASSERT_EQ(zvtest::RunInRoot(root, false), 0);
        EXPECT_EQ(zvtest::ReadFile(root.user() + "app.ini"), zvtest::Utf16(kUserText));
        EXPECT_EQ(zvtest::ReadFile(root.user() + "alice/app.ini"),
                  zvtest::Utf16(L"[S]\r\nk=user\r\nadded=1\r\n[O]\r\ncount=1\r\nI0=x\r\n"));
        return;
    }
    CTqEnvIni* doc = fnTqEnvMgr()->GetEnvIni(L"app.ini");
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->GetString(L"S", L"k", L""), CString(L"user"));
    doc->SetInt(L"S", L"added", 1);
    CStringArray items = Array({L"x"});
    doc->SetOrderArray(L"O", items, L"I%d", 0);
    fnTqEnvMgr()->SetUserID(L"alice");
    const CString userFolder = fnTqEnvMgr()->GetUserIdPath(L"");
    EXPECT_EQ(doc->ChangeSavePathToUserIdPath(), 1);
    EXPECT_EQ(doc->GetPath(), userFolder + L"app.ini");
    EXPECT_EQ(doc->IsDirty(), 1) << "the flag is kept";
    EXPECT_FALSE(zv::os::FileExists(doc->GetPath())) << "nothing is copied";
    // Keys not cached now come from the new, missing file: the defaults.
    EXPECT_EQ(doc->GetString(L"S", L"mine", L"none"), CString(L"none"));
    doc->DeleteKey(L"S", L"mine");
    doc->Save();
}

TEST(EnvIniRedirect, WithoutAUserIdTheUserFolderItselfIsTheTarget)
{
    if (!zvtest::InChild()) {
        zvtest::AppRoot root;
        zvtest::MakeFolders(root.path() + "/data");
        ASSERT_EQ(zvtest::RunInRoot(root, false), 0);
        EXPECT_EQ(zvtest::ReadFile(root.user() + "moved.ini"), zvtest::Utf16(L"[S]\r\nk=v\r\n"));
        return;
    }
    CTqEnvIni* doc = fnTqEnvMgr()->GetEnvIni(L"moved.ini", 1);
    ASSERT_NE(doc, nullptr);
    doc->SetString(L"S", L"k", L"v");
    EXPECT_EQ(doc->ChangeSavePathToUserIdPath(), 1);
    EXPECT_EQ(doc->GetPath(), CString(W(zvtest::ChildRoot() + "user" + zvtest::kSeparator + "moved.ini")));
    doc->Save();
}

} // namespace

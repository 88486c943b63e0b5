#include <zvenv/CTqEnvMgr.h>
#include <zvenv/platform/Os.h>

#include "EnvIniTestUtil.h"

#include <ostream>
#include <utility>

using namespace envinitest;

namespace {

// Each case runs twice: in this process it builds an application root and
// starts itself again from <root>/bin, where the manager takes the root as
// its own; the child does the work, the parent checks the files afterwards.

const std::wstring kSystemText = L"; shipped\r\n[S]\r\nk=system\r\nonly=shipped\r\n";
const std::wstring kUserText = L"[S]\r\nk=user\r\nmine=1\r\n";

// A reload with unsaved changes (a value and an ordered array): the files
// before, the flag, what the document reads afterwards, and the file that
// must hold given bytes (or be gone) afterwards.
struct ReloadCase {
    const char* name; // what the row guards
    bool systemCopy;  // a shipped app.ini in the system folder
    bool userFile;    // the user's app.ini before the start
    BOOL systemDocument;
    bool removeUserCopy; // the user's copy is taken away before the reload
    int flag;
    // What S/k, S/mine and S/only read afterwards (nullptr: not checked).
    const wchar_t* k;
    const wchar_t* mine;
    const wchar_t* only;
    enum Folder { kUser, kSystem } folder;
    enum Bytes { kNone, kSystemText, kUserText } bytes;
};

void PrintTo(const ReloadCase& c, std::ostream* os)
{
    *os << c.name;
}

using R = ReloadCase;
const ReloadCase kReloads[] = {
    {"FlagOneReplacesTheUserFileByTheSystemCopy", true, true, 0, false, 1, L"system", L"-", L"shipped", R::kUser,
     R::kSystemText},
    {"FlagOneWithoutASystemCopyLeavesNoFile", false, true, 0, false, 1, L"-", L"-", L"-", R::kUser, R::kNone},
    {"FlagOneWithoutAUserFileCopiesNothing", true, false, 0, true, 1, nullptr, nullptr, nullptr, R::kUser, R::kNone},
    {"FlagOneOnASystemDocumentKeepsTheShippedFile", true, false, 1, false, 1, L"system", L"-", L"shipped", R::kSystem,
     R::kSystemText},
    {"FlagZeroDropsUnsavedChangesAndLeavesTheFile", false, true, 0, false, 0, L"user", L"1", L"-", R::kUser,
     R::kUserText},
};

class EnvIniReload : public ::testing::TestWithParam<ReloadCase> {};

TEST_P(EnvIniReload, Reloads)
{
    const ReloadCase& c = GetParam();
    if (!zvtest::InChild()) {
        zvtest::AppRoot root;
        if (c.systemCopy)
            zvtest::WriteFile(root.system() + "app.ini", zvtest::Utf16(kSystemText));
        if (c.userFile)
            zvtest::WriteFile(root.user() + "app.ini", zvtest::Utf16(kUserText));
        ASSERT_EQ(zvtest::RunInRoot(root, false), 0);
        const std::string file = (c.folder == R::kUser ? root.user() : root.system()) + "app.ini";
        if (c.bytes == R::kNone) {
            EXPECT_FALSE(zvtest::PathExists(file));
        } else {
            EXPECT_EQ(zvtest::ReadFile(file), zvtest::Utf16(c.bytes == R::kSystemText ? kSystemText : kUserText));
        }
        return;
    }
    CTqEnvIni* doc = fnTqEnvMgr()->GetEnvIni(c.systemDocument ? L"APP.ini" : L"app.ini", c.systemDocument);
    ASSERT_NE(doc, nullptr);
    if (!c.systemDocument) {
        EXPECT_EQ(doc->GetPath(), CString(W(zvtest::ChildRoot() + "user" + zvtest::kSeparator + "app.ini")));
    }
    if (c.removeUserCopy) { // the manager seeded the user's copy; take it away again
        ASSERT_TRUE(zv::os::RemoveFile(doc->GetPath()));
    }
    doc->SetString(L"S", L"k", L"unsaved");
    CStringArray items = Array({L"x"});
    doc->SetOrderArray(L"List", items, L"I%d", 0);
    EXPECT_EQ(doc->ReloadFile(c.flag), 1);
    EXPECT_EQ(doc->IsDirty(), 1) << "reloading leaves the flag";
    const std::pair<const wchar_t*, const wchar_t*> reads[] = {{L"k", c.k}, {L"mine", c.mine}, {L"only", c.only}};
    for (const auto& [key, expected] : reads) {
        if (expected) {
            EXPECT_EQ(doc->GetString(L"S", key, L"-"), CString(expected)) << "S/" << key;
        }
    }
    CStringArray got;
    doc->GetOrderArray(L"List", got, L"", L"I%d", 0);
    EXPECT_EQ(got.GetSize(), 0) << "the unsaved array is dropped";
    if (c.removeUserCopy) {
        EXPECT_FALSE(zv::os::FileExists(doc->GetPath()));
    }
}

INSTANTIATE_TEST_SUITE_P(Flags, EnvIniReload, ::testing::ValuesIn(kReloads),
                         [](const ::testing::TestParamInfo<ReloadCase>& info) { return std::string(info.param.name); });

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

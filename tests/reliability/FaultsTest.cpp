#include "ZvTest.h"

#include <zvenv/CTqEnvMgr.h>
#include <zvenv/platform/Os.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <functional>
#include <sys/resource.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Runs the rest of the test in a child placed in a fresh application root
// with a shipped INI and JSON default; true in the parent.
bool RanInRoot(const std::function<void(const zvtest::AppRoot&)>& prepare = nullptr)
{
    if (zvtest::InChild())
        return false;
    zvtest::AppRoot root;
    zvtest::WriteFile(root.system() + "trade.ini", zvtest::Utf16(L"[Main]\r\nqty=5\r\n"));
    zvtest::WriteFile(root.system() + "layout.json", zvtest::Utf16(L"{\r\n\t\"width\" : 640\r\n}"));
    if (prepare)
        prepare(root);
    EXPECT_EQ(zvtest::RunInRoot(root), 0) << "the test failed in its application root";
    return true;
}

std::string Root()
{
    return zvtest::ChildRoot();
}

TEST(Faults, FullDiskWhileSavingLosesNothingOnDisk)
{
    if (RanInRoot())
        return;
    CTqEnvMgr& mgr = *CTqEnvMgr::GetInstance();
    CTqEnvIni* ini = mgr.GetEnvIni(L"trade");
    CTqEnvJson* json = mgr.GetJson(L"layout");
    const std::string iniBefore = zvtest::ReadFile(Root() + "user/trade.ini");
    const std::string jsonBefore = zvtest::ReadFile(Root() + "user/layout.json");

    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
    const rlim_t hard = limit.rlim_max;
    limit.rlim_cur = 4096; // the soft limit alone, so it can be raised again
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    const CString big(L'x', 300);
    for (int i = 0; i < 100; ++i) {
        const CString key = CString(L"key") + CString(std::to_wstring(i));
        ini->SetString(L"Main", key, big);
        json->SetString(key, big);
    }
    ini->Save();
    EXPECT_EQ(zv::os::GetLastError(), static_cast<unsigned long>(EFBIG)) << "the reason of the failed save";
    json->Save();
    EXPECT_EQ(zvtest::ReadFile(Root() + "user/trade.ini"), iniBefore);
    EXPECT_EQ(zvtest::ReadFile(Root() + "user/layout.json"), jsonBefore);
    EXPECT_EQ(ini->IsDirty(), 1) << "an INI document that could not be saved stays dirty";
    EXPECT_EQ(json->IsDirty(), 1) << "a JSON document that could not be saved stays dirty";
    EXPECT_STREQ(ini->GetString(L"Main", L"key7", L""), big) << "the changes are still in memory";
    CTqEnvIni* fresh = mgr.GetEnvIni(L"fresh"); // no file and no shipped copy
    fresh->SetString(L"Main", L"big", CString(L'x', 3000));
    fresh->Save();
    EXPECT_FALSE(zvtest::PathExists(Root() + "user/fresh.ini")) << "no file, not even a bare mark";

    limit.rlim_cur = hard;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    mgr.SaveAll();
    EXPECT_EQ(json->IsDirty(), 0);
    EXPECT_EQ(ini->IsDirty(), 0) << "the next SaveAll tries again";
    EXPECT_NE(zvtest::ReadFile(Root() + "user/trade.ini"), iniBefore) << "with room the save goes through";
}

// A file this process may not write, read-only or another user's: Save
// fails with the reason and keeps the document dirty, and ReloadFile(1)
// neither replaces nor deletes it. The tests run as root, so the other
// user's case runs as uid 65534.
void WriteProtectedFilesAreNotReplaced(bool otherUser)
{
    const std::string iniText = zvtest::Utf16(L"[Main]\r\nqty=6\r\n");
    const std::string jsonText = zvtest::Utf16(L"{\r\n\t\"width\" : 800\r\n}");
    const fs::perms readable = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
    if (RanInRoot([&](const zvtest::AppRoot& root) {
            zvtest::WriteFile(root.user() + "trade.ini", iniText);
            zvtest::WriteFile(root.user() + "layout.json", jsonText);
            if (otherUser)
                for (const auto& entry : fs::recursive_directory_iterator(root.path()))
                    if (entry.is_directory())
                        fs::permissions(entry.path(), fs::perms::all, fs::perm_options::add);
            for (const char* file : {"trade.ini", "layout.json"})
                fs::permissions(root.user() + file, otherUser ? readable | fs::perms::owner_write : readable);
            fs::permissions(root.path(), fs::perms::all, fs::perm_options::add);
        }))
        return;
    if (otherUser && geteuid() == 0) {
        ASSERT_EQ(setgid(65534), 0);
        ASSERT_EQ(setuid(65534), 0);
    }
    CTqEnvMgr& mgr = *CTqEnvMgr::GetInstance();
    CTqEnvIni* ini = mgr.GetEnvIni(L"trade");
    CTqEnvJson* json = mgr.GetJson(L"layout");
    ini->SetInt(L"Main", L"qty", 7);
    json->SetInt(L"width", 1024);
    ini->Save();
    EXPECT_EQ(zv::os::GetLastError(), static_cast<unsigned long>(EACCES));
    json->Save();
    EXPECT_EQ(ini->IsDirty(), 1);
    EXPECT_EQ(json->IsDirty(), 1);
    EXPECT_EQ(ini->ReloadFile(1), 1);
    EXPECT_EQ(json->ReloadFile(1), 1);
    EXPECT_EQ(zvtest::ReadFile(Root() + "user/trade.ini"), iniText);
    EXPECT_EQ(zvtest::ReadFile(Root() + "user/layout.json"), jsonText);
}

TEST(Faults, ReadOnlyFilesAreNotReplaced)
{
    WriteProtectedFilesAreNotReplaced(false);
}

TEST(Faults, OtherUsersFilesAreNotReplaced)
{
    WriteProtectedFilesAreNotReplaced(true);
}

TEST(Faults, UserFolderRemovedWhileDocumentsAreOpen)
{
    if (RanInRoot())
        return;
    CTqEnvMgr& mgr = *CTqEnvMgr::GetInstance();
    mgr.SetUserID(L"erin", 0);
    CTqEnvIni* ini = mgr.GetEnvIni(L"trade");
    CTqEnvJson* json = mgr.GetJson(L"layout");
    ASSERT_EQ(ini->GetInt(L"Main", L"qty", 0), 5);
    fs::remove_all(Root() + "user/erin");

    EXPECT_EQ(ini->GetInt(L"Main", L"qty", 0), 5) << "cached values stay";
    EXPECT_EQ(ini->GetInt(L"Main", L"other", 3), 3);
    ini->SetInt(L"Main", L"qty", 6);
    json->SetInt(L"width", 800);
    ini->Save();
    json->Save();
    EXPECT_EQ(json->IsDirty(), 1);
    EXPECT_FALSE(zvtest::PathExists(Root() + "user/erin/layout.json"));

    mgr.GetUserIdPath(L""); // brings the folder back
    json->Save();
    EXPECT_EQ(json->IsDirty(), 0);
    EXPECT_EQ(json->ReloadFile(0), 1);
    EXPECT_EQ(json->GetInt(L"width", 0), 800);
}

TEST(Faults, FileReplacedByAFolder)
{
    if (RanInRoot([](const zvtest::AppRoot& root) {
            zvtest::MakeFolders(root.user() + "trade.ini");
            zvtest::MakeFolders(root.user() + "layout.json");
        }))
        return;
    CTqEnvMgr& mgr = *CTqEnvMgr::GetInstance();
    CTqEnvIni* ini = mgr.GetEnvIni(L"trade");
    ASSERT_NE(ini, nullptr);
    EXPECT_EQ(ini->GetInt(L"Main", L"qty", 9), 9);
    ini->SetInt(L"Main", L"qty", 1, 1);
    ini->Save();
    EXPECT_TRUE(fs::is_directory(Root() + "user/trade.ini"));

    CTqEnvJson* json = mgr.GetJson(L"layout");
    ASSERT_NE(json, nullptr);
    EXPECT_EQ(json->GetJson(), nullptr);
    json->SetInt(L"width", 1);
    json->Save();
    EXPECT_TRUE(fs::is_directory(Root() + "user/layout.json"));
}

// Run as an unprivileged user where the tests run as root, so that the
// system folder really cannot be read.
TEST(Faults, UnreadableSystemFolder)
{
    if (RanInRoot([](const zvtest::AppRoot& root) {
            for (const auto& entry : fs::recursive_directory_iterator(root.path()))
                fs::permissions(entry.path(), fs::perms::all, fs::perm_options::add);
            fs::permissions(root.path(), fs::perms::all, fs::perm_options::add);
            fs::permissions(root.system(), fs::perms::none);
        }))
        return;
    if (geteuid() == 0) {
        ASSERT_EQ(setgid(65534), 0);
        ASSERT_EQ(setuid(65534), 0);
    }
    CTqEnvMgr& mgr = *CTqEnvMgr::GetInstance();
    CTqEnvIni* ini = mgr.GetEnvIni(L"trade");
    ASSERT_NE(ini, nullptr);
    EXPECT_EQ(ini->GetInt(L"Main", L"qty", 7), 7) << "no default could be copied";
    ini->SetInt(L"Main", L"qty", 8);
    ini->Save();
    EXPECT_EQ(ini->ReloadFile(1), 1);
    EXPECT_EQ(ini->GetInt(L"Main", L"qty", 0), 0) << "the user's file was deleted and could not be restored";

    CTqEnvJson* json = mgr.GetJson(L"layout");
    ASSERT_NE(json->GetJson(), nullptr) << "a missing file gets the default text";
    EXPECT_EQ(json->GetNodeSize(nullptr), 0);
    EXPECT_EQ(json->ReloadFile(1), 0) << "no system copy to reload from";
    EXPECT_NE(json->GetJson(), nullptr);
}

} // namespace

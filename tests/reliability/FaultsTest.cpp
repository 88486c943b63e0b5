#include "Reliability.h"

#include <zvenv/CTqEnvMgr.h>
#include <zvenv/CTqIni.h>
#include <zvenv/platform/Os.h>
#include <zvenv/platform/Profile.h>

#include <mutex>
#include <thread>

#ifndef _WIN32
#include <cerrno>
#include <csignal>
#include <sys/resource.h>
#endif

namespace fs = std::filesystem;
using namespace reliability;

namespace {

const auto User = [](const char* file) { return zvtest::ChildRoot() + "user/" + file; };

TEST(Faults, FullDiskWhileSavingLosesNothingOnDisk)
{
#ifdef _WIN32
    ZVTEST_LINUX_ONLY("a full disk is a file-size limit of the process (setrlimit)");
#else
    if (RanInRoot())
        return;
    CTqEnvMgr& mgr = *CTqEnvMgr::GetInstance();
    CTqEnvIni* ini = mgr.GetEnvIni(L"trade");
    CTqEnvJson* json = mgr.GetJson(L"layout");
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
    limit.rlim_cur = 4096; // the soft limit alone, so it can be raised again
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    const CString big(L'x', 300);
    for (int i = 0; i < 100; ++i) {
        ini->SetString(L"Main", Key(0, i), big);
        json->SetString(Key(0, i), big);
    }
    ini->Save();
    EXPECT_EQ(zv::os::GetLastError(), static_cast<unsigned long>(EFBIG)) << "the reason of the failed save";
    json->Save();
    EXPECT_EQ(zvtest::ReadFile(User("trade.ini")), kShipped[1]);
    EXPECT_EQ(zvtest::ReadFile(User("layout.json")), kShipped[2]);
    EXPECT_EQ(ini->IsDirty() + json->IsDirty(), 2) << "documents that could not be saved stay dirty";
    EXPECT_STREQ(ini->GetString(L"Main", L"w0k7", L""), big) << "the changes are still in memory";
    CTqEnvIni* fresh = mgr.GetEnvIni(L"fresh"); // no file and no shipped copy
    fresh->SetString(L"Main", L"big", CString(L'x', 3000));
    fresh->Save();
    EXPECT_FALSE(zvtest::PathExists(User("fresh.ini"))) << "no file, not even a bare mark";

    limit.rlim_cur = limit.rlim_max;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    mgr.SaveAll();
    EXPECT_EQ(ini->IsDirty() + json->IsDirty(), 0) << "the next SaveAll tries again";
    EXPECT_NE(zvtest::ReadFile(User("trade.ini")), kShipped[1]) << "with room the save goes through";
#endif
}

// A read-only file, or another user's (as uid 65534): Save fails, the document stays dirty, ReloadFile(1) keeps it.
void WriteProtectedFilesAreNotReplaced(bool otherUser)
{
    const std::string iniText = zvtest::Utf16(L"[Main]\r\nqty=6\r\n");
    const std::string jsonText = zvtest::Utf16(L"{\r\n\t\"width\" : 800\r\n}");
    const fs::perms readable = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
    if (RanInRoot([&](const zvtest::AppRoot& root) {
            zvtest::WriteFile(root.user() + "trade.ini", iniText);
            zvtest::WriteFile(root.user() + "layout.json", jsonText);
            zvtest::OpenToEveryone(root.path());
            for (const char* file : {"trade.ini", "layout.json"})
                fs::permissions(root.user() + file, otherUser ? readable | fs::perms::owner_write : readable);
        }))
        return;
    if (otherUser)
        zvtest::DropToNobody();
    CTqEnvMgr& mgr = *CTqEnvMgr::GetInstance();
    CTqEnvIni* ini = mgr.GetEnvIni(L"trade");
    CTqEnvJson* json = mgr.GetJson(L"layout");
    ini->SetInt(L"Main", L"qty", 7);
    json->SetInt(L"width", 1024);
    ini->Save();
    EXPECT_EQ(zv::os::GetLastError(), zvtest::kErrorAccessDenied);
    json->Save();
    EXPECT_EQ(ini->IsDirty() + json->IsDirty(), 2);
    EXPECT_EQ(ini->ReloadFile(1) + json->ReloadFile(1), 2);
    EXPECT_EQ(zvtest::ReadFile(User("trade.ini")), iniText);
    EXPECT_EQ(zvtest::ReadFile(User("layout.json")), jsonText);
}

TEST(Faults, ReadOnlyFilesAreNotReplaced)
{
    WriteProtectedFilesAreNotReplaced(false);
}

TEST(Faults, OtherUsersFilesAreNotReplaced)
{
    ZVTEST_LINUX_ONLY("another user's files need user ids (ACLs on Windows, which wine does not enforce)");
    WriteProtectedFilesAreNotReplaced(true);
}

// Folders in the files' places are left alone; documents whose user folder went keep what they hold until it is back.
TEST(Faults, FilesReplacedByFoldersOrRemoved)
{
    if (RanInRoot([](const zvtest::AppRoot& root) {
            zvtest::MakeFolders(root.user() + "trade.ini");
            zvtest::MakeFolders(root.user() + "layout.json");
        }))
        return;
    CTqEnvMgr& mgr = *CTqEnvMgr::GetInstance();
    CTqEnvIni* ini = mgr.GetEnvIni(L"trade");
    EXPECT_EQ(ini->GetInt(L"Main", L"qty", 9), 9);
    ini->SetInt(L"Main", L"qty", 1, 1);
    ini->Save();
    CTqEnvJson* json = mgr.GetJson(L"layout");
    EXPECT_EQ(json->GetJson(), nullptr);
    json->SetInt(L"width", 1);
    json->Save();
    EXPECT_TRUE(fs::is_directory(User("trade.ini")) && fs::is_directory(User("layout.json")));

    mgr.ClearIni();
    mgr.ClearJson();
    mgr.SetUserID(L"erin", 0);
    ini = mgr.GetEnvIni(L"trade");
    json = mgr.GetJson(L"layout");
    ASSERT_EQ(ini->GetInt(L"Main", L"qty", 0), 5);
    fs::remove_all(User("erin"));
    EXPECT_EQ(ini->GetInt(L"Main", L"qty", 0), 5) << "cached values stay";
    EXPECT_EQ(ini->GetInt(L"Main", L"other", 3), 3);
    ini->SetInt(L"Main", L"qty", 6);
    json->SetInt(L"width", 800);
    ini->Save();
    json->Save();
    EXPECT_EQ(json->IsDirty(), 1);
    EXPECT_FALSE(zvtest::PathExists(User("erin/layout.json")));
    mgr.GetUserIdPath(L""); // brings the folder back
    json->Save();
    EXPECT_EQ(json->IsDirty(), 0);
    EXPECT_EQ(json->ReloadFile(0), 1);
    EXPECT_EQ(json->GetInt(L"width", 0), 800);
}

// As uid 65534, so that the system folder really cannot be read.
TEST(Faults, UnreadableSystemFolder)
{
    ZVTEST_LINUX_ONLY("an unreadable folder needs another user (ACLs on Windows, which wine does not enforce)");
    if (RanInRoot([](const zvtest::AppRoot& root) {
            zvtest::OpenToEveryone(root.path());
            fs::permissions(root.system(), fs::perms::none);
        }))
        return;
    zvtest::DropToNobody();
    CTqEnvMgr& mgr = *CTqEnvMgr::GetInstance();
    CTqEnvIni* ini = mgr.GetEnvIni(L"trade");
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

// Eight threads share one INI and one JSON document and the getters (serialised as the host does: no manager lock).
TEST(Load, ThreadsShareDocuments)
{
    if (RanInRoot())
        return;
    constexpr int kThreads = 8, kKeys = 20, kOperations = 100000;
    std::mutex registry;
    CTqEnvMgr& mgr = *CTqEnvMgr::GetInstance();
    std::vector<std::vector<int>> last(kThreads, std::vector<int>(kKeys, -1));
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            std::mt19937 random(static_cast<unsigned>(t));
            for (int i = 0; i < kOperations; ++i) {
                std::unique_lock<std::mutex> lock(registry);
                CTqEnvIni* ini = mgr.GetEnvIni(L"trade");
                CTqEnvJson* json = mgr.GetJson(L"layout");
                lock.unlock();
                const int k = static_cast<int>(random() % kKeys), what = static_cast<int>(random() % 4);
                if (what == 0) {
                    ini->SetInt(L"Load", Key(t, k), i);
                    json->SetInt(Key(t, k), i);
                    last[t][k] = i;
                } else if (what == 1) {
                    EXPECT_EQ(ini->GetInt(L"Load", Key(t, k), -1), last[t][k]);
                    EXPECT_EQ(json->GetInt(Key(t, k), -1), last[t][k]);
                } else if (what == 2) {
                    CStringArray list; // an array replaced while other threads read and save the document
                    list.Add(L"p");
                    json->SetArray(L"list", list);
                    EXPECT_STREQ(json->GetString(L"list", L""), L"p|");
                    EXPECT_EQ(ini->GetInt(L"Main", L"qty", 0), 5);
                    EXPECT_EQ(json->GetInt(L"width", 0), 640);
                    EXPECT_STREQ(ini->GetStringEx(L"Main", L"qty", L""), L"5");
                } else if (random() % 250 == 0) {
                    ini->Save();
                    json->Save();
                }
            }
        });
    for (auto& thread : threads)
        thread.join();
    mgr.SaveAll();
    zv::ClearProfileCache();
    CTqIni file(CString(User("trade.ini").c_str()));
    mgr.DeleteJson(L"layout", L"", 0); // asked again, the document reads the saved file
    CTqEnvJson* json = mgr.GetJson(L"layout");
    for (int t = 0; t < kThreads; ++t)
        for (int k = 0; k < kKeys; ++k) {
            ASSERT_EQ(file.GetInt(L"Load", Key(t, k), -1), last[t][k]);
            ASSERT_EQ(json->GetInt(Key(t, k), -1), last[t][k]);
        }
}

} // namespace

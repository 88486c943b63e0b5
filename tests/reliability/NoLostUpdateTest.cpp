#include "ZvTest.h"

#include <zvenv/CTqEnvMgr.h>
#include <zvenv/CTqIni.h>
#include <zvenv/platform/Profile.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

int EnvInt(const char* name)
{
    const char* text = std::getenv(name);
    return text ? std::atoi(text) : 0;
}

CString Name(int writer, int key)
{
    CString text;
    text.Format(L"w%dk%d", writer, key);
    return text;
}

// Children wait for this file, so that they start their work together.
void WaitForGo()
{
    for (int wait = 0; wait < 10000 && !zvtest::PathExists(zvtest::ChildRoot() + "go"); ++wait)
        usleep(500);
}

std::vector<pid_t> StartTogether(const zvtest::AppRoot& root, const std::string& test, int count)
{
    fs::remove(root.root() + "go");
    std::vector<pid_t> children;
    for (int w = 0; w < count; ++w) {
        setenv("ZVTEST_WRITER", std::to_string(w).c_str(), 1);
        children.push_back(zvtest::StartInRoot(root, test));
    }
    unsetenv("ZVTEST_WRITER");
    zvtest::WriteFile(root.root() + "go", "");
    return children;
}

constexpr int kRounds = 60;
constexpr int kKeysEach = 6;

// One host of ProcessesChangingDifferentKeysLoseNothing: every round it reads
// every key of every host, changes one of its own and saves (now and then
// after dropping what it has read).
TEST(NoLostUpdate, Host)
{
    if (!zvtest::InChild())
        GTEST_SKIP() << "runs as a child of ProcessesChangingDifferentKeysLoseNothing";
    const int me = EnvInt("ZVTEST_WRITER"), hosts = EnvInt("ZVTEST_WRITERS");
    CTqEnvMgr& mgr = *CTqEnvMgr::GetInstance();
    CTqEnvIni* ini = mgr.GetEnvIni(L"shared");
    WaitForGo();
    for (int round = 1; round <= kRounds; ++round) {
        if (round % 10 == 0)
            ini->ReloadFile(0);
        for (int w = 0; w < hosts; ++w)
            for (int k = 0; k < kKeysEach; ++k)
                ini->GetInt(L"S", Name(w, k), -1);
        ini->SetInt(L"S", Name(me, round % kKeysEach), round);
        mgr.SaveAll();
        ASSERT_EQ(ini->IsDirty(), 0);
    }
}

TEST(NoLostUpdate, ProcessesChangingDifferentKeysLoseNothing)
{
    if (zvtest::InChild())
        GTEST_SKIP();
    for (const int hosts : {4, 8}) {
        zvtest::AppRoot root;
        zvtest::PlaceInRoot(root, false);
        setenv("ZVTEST_WRITERS", std::to_string(hosts).c_str(), 1);
        for (pid_t pid : StartTogether(root, "NoLostUpdate.Host", hosts))
            EXPECT_EQ(zvtest::WaitFor(pid), 0);
        unsetenv("ZVTEST_WRITERS");
        zv::ClearProfileCache();
        CTqIni file(CString((root.user() + "shared.ini").c_str()));
        int lost = 0;
        for (int w = 0; w < hosts; ++w)
            for (int k = 0; k < kKeysEach; ++k) {
                // The host's last round that changed this key.
                const int last = kRounds - ((kRounds - k) % kKeysEach);
                lost += file.GetInt(L"S", Name(w, k), -1) != last;
            }
        EXPECT_EQ(lost, 0) << hosts << " hosts, " << hosts * kKeysEach << " keys, " << hosts * kRounds << " saves";
    }
}

const std::wstring kShippedIni = L"[Main]\r\nqty=5\r\nname=shipped\r\n";
const std::wstring kShippedJson = L"{\r\n\t\"width\" : 640\r\n}";
const std::wstring kTemplate = L"[User]\r\ntheme=dark\r\n";

void Ship(const zvtest::AppRoot& root)
{
    zvtest::WriteFile(root.system() + "trade.ini", zvtest::Utf16(kShippedIni));
    zvtest::WriteFile(root.system() + "layout.json", zvtest::Utf16(kShippedJson));
    zvtest::WriteFile(root.system() + "envsetting.ini", zvtest::Utf16(kTemplate));
}

constexpr int kSeedKeys = 25;

// One of four hosts that seed the same missing user file together and then
// change their own keys.
TEST(Seeding, Host)
{
    if (!zvtest::InChild())
        GTEST_SKIP() << "runs as a child of RacedByFourProcessesLosesNoKey";
    const int me = EnvInt("ZVTEST_WRITER");
    CTqEnvMgr& mgr = *CTqEnvMgr::GetInstance();
    WaitForGo();
    CTqEnvIni* ini = mgr.GetEnvIni(L"trade");
    for (int k = 0; k < kSeedKeys; ++k)
        ini->SetInt(L"Main", Name(me, k), k);
    mgr.SaveAll();
}

TEST(Seeding, RacedByFourProcessesLosesNoKey)
{
    if (zvtest::InChild())
        GTEST_SKIP();
    zvtest::AppRoot root;
    Ship(root);
    zvtest::PlaceInRoot(root);
    int lost = 0;
    for (int round = 0; round < 10; ++round) {
        fs::remove(root.user() + "trade.ini");
        for (pid_t pid : StartTogether(root, "Seeding.Host", 4))
            EXPECT_EQ(zvtest::WaitFor(pid), 0);
        zv::ClearProfileCache();
        CTqIni file(CString((root.user() + "trade.ini").c_str()));
        lost += file.GetInt(L"Main", L"qty", 0) != 5;
        for (int w = 0; w < 4; ++w)
            for (int k = 0; k < kSeedKeys; ++k)
                lost += file.GetInt(L"Main", Name(w, k), -1) != k;
    }
    EXPECT_EQ(lost, 0) << "of 10 rounds of 4 x " << kSeedKeys << " keys and the shipped one";
}

// A new user's first start: the setting file and two documents seeded, a
// value changed in each document, everything saved.
TEST(Seeding, NewUser)
{
    if (!zvtest::InChild())
        GTEST_SKIP() << "runs as a child of KilledAtEveryFlushAndRename";
    CTqEnvMgr& mgr = *CTqEnvMgr::GetInstance();
    mgr.SetUserID(L"newbie", 0);
    mgr.GetEnvIni(L"trade")->SetInt(L"Main", L"qty", 6);
    mgr.GetJson(L"layout")->SetInt(L"width", 800);
    mgr.SaveAll();
}

const char* const kUserFiles[] = {"envsetting.ini", "trade.ini", "layout.json"};

// Killed at each flush and each rename it makes, a new user's first start
// leaves every file absent, as shipped or as saved, never a bare mark; the
// next start completes them.
TEST(Seeding, KilledAtEveryFlushAndRename)
{
    if (zvtest::InChild())
        GTEST_SKIP();
    zvtest::AppRoot root;
    Ship(root);
    zvtest::PlaceInRoot(root);
    const std::string folder = root.user() + "newbie/";
    ASSERT_EQ(zvtest::WaitFor(zvtest::StartInRoot(root, "Seeding.NewUser")), 0);
    std::vector<std::string> saved;
    for (const char* file : kUserFiles)
        saved.push_back(zvtest::ReadFile(folder + file));
    const std::vector<std::string> shipped = {zvtest::Utf16(kTemplate), zvtest::Utf16(kShippedIni),
                                              zvtest::Utf16(kShippedJson)};
    ASSERT_EQ(saved[0], shipped[0]);

    int kills = 0;
    for (const char* syscall : {"fsync", "rename", "renameat2"}) {
        for (int n = 1; n < 20; ++n) {
            fs::remove_all(folder);
            const int status =
                zvtest::WaitFor(zvtest::StartInRoot(root, "Seeding.NewUser", zvtest::KillAt(syscall, n)));
            for (std::size_t f = 0; f < saved.size(); ++f) {
                const std::string path = folder + kUserFiles[f];
                const std::string bytes = zvtest::ReadFile(path);
                EXPECT_TRUE(!zvtest::PathExists(path) || bytes == shipped[f] || bytes == saved[f])
                    << kUserFiles[f] << " after a kill at " << syscall << " " << n << ": " << bytes.size() << " bytes";
            }
            ASSERT_EQ(zvtest::WaitFor(zvtest::StartInRoot(root, "Seeding.NewUser")), 0);
            for (std::size_t f = 0; f < saved.size(); ++f)
                EXPECT_EQ(zvtest::ReadFile(folder + kUserFiles[f]), saved[f])
                    << kUserFiles[f] << " after the next start, killed at " << syscall << " " << n;
            if (status != 128 + SIGKILL)
                break;
            ++kills;
        }
    }
    EXPECT_EQ(kills, 10) << "three seedings and two saves, each with a flush and a rename";
}

// New users one after another, until killed.
TEST(Seeding, ManyNewUsers)
{
    if (!zvtest::InChild())
        GTEST_SKIP() << "runs as a child of RandomKillsLeaveNoBareFile";
    CTqEnvMgr& mgr = *CTqEnvMgr::GetInstance();
    zvtest::WriteFile(zvtest::ChildRoot() + "ready", "");
    for (int i = 0;; ++i) {
        mgr.SetUserID(CString(("u" + std::to_string(getpid()) + "_" + std::to_string(i)).c_str()), 0);
        mgr.GetEnvIni(L"trade");
        mgr.GetJson(L"layout");
        mgr.ClearIni();
        mgr.ClearJson();
    }
}

TEST(Seeding, RandomKillsLeaveNoBareFile)
{
    if (zvtest::InChild())
        GTEST_SKIP();
    zvtest::AppRoot root;
    Ship(root);
    zvtest::PlaceInRoot(root);
    std::mt19937 random(20261207);
    for (int round = 0; round < 300; ++round) {
        fs::remove(root.root() + "ready");
        const pid_t pid = zvtest::StartInRoot(root, "Seeding.ManyNewUsers");
        for (int wait = 0; wait < 5000 && !zvtest::PathExists(root.root() + "ready"); ++wait)
            usleep(1000);
        usleep(std::uniform_int_distribution<useconds_t>(0, 20000)(random));
        kill(pid, SIGKILL);
        zvtest::WaitFor(pid);
    }
    const std::vector<std::string> shipped = {zvtest::Utf16(kTemplate), zvtest::Utf16(kShippedIni),
                                              zvtest::Utf16(kShippedJson)};
    int files = 0, broken = 0;
    for (const auto& user : fs::directory_iterator(root.user()))
        for (std::size_t f = 0; f < shipped.size(); ++f) {
            const std::string path = user.path().string() + "/" + kUserFiles[f];
            if (!zvtest::PathExists(path))
                continue;
            ++files;
            broken += zvtest::ReadFile(path) != shipped[f];
        }
    EXPECT_EQ(broken, 0) << "of " << files << " seeded files";
    EXPECT_GE(files, 100) << "the hosts got to seed";
}

} // namespace

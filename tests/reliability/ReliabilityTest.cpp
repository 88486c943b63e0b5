#include "ZvTest.h"

#include "json/Json.h"

#include <zvenv/CTqEnvMgr.h>
#include <zvenv/CTqIni.h>
#include <zvenv/platform/CString.h>
#include <zvenv/platform/Os.h>
#include <zvenv/platform/Profile.h>
#include <zvenv/platform/Text.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cwchar>
#include <filesystem>
#include <functional>
#include <iterator>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <cerrno>
#include <csignal>
#include <sys/resource.h>
#endif

namespace fs = std::filesystem;

namespace {

const char* const kFiles[] = {"envsetting.ini", "trade.ini", "layout.json"};
const std::string kShipped[] = {zvtest::Utf16(L"[User]\r\ntheme=dark\r\n"), zvtest::Utf16(L"[Main]\r\nqty=5\r\n"),
                                zvtest::Utf16(L"{\r\n\t\"width\" : 640\r\n}")};

void ShipDefaults(const zvtest::AppRoot& root)
{
    for (std::size_t f = 0; f < std::size(kFiles); ++f)
        zvtest::WriteFile(root.system() + kFiles[f], kShipped[f]);
}

// The shipped defaults and a copy of this program (with or without the validator module) in root.
void Ship(const zvtest::AppRoot& root, bool withValidator = true)
{
    ShipDefaults(root);
    zvtest::PlaceInRoot(root, withValidator);
}

// Runs the rest of the test in a child in a fresh root with the shipped defaults and prepare's; true in the parent.
bool RanInRoot(const std::function<void(const zvtest::AppRoot&)>& prepare = {})
{
    return zvtest::RanInRoot([&](const zvtest::AppRoot& root) {
        ShipDefaults(root);
        if (prepare)
            prepare(root);
    });
}

CString Key(int owner, int k)
{
    return CString(L"w" + std::to_wstring(owner) + L"k" + std::to_wstring(k));
}

const int kKillRounds = zvtest::kSeparator == '/' ? 300 : 60; // under wine a process takes a tenth of a second to start

// Kills this test's child in root up to maxDelayMs after root/ready (every tenth round: its start); then check(round).
template <typename Check> void KillRepeatedly(const zvtest::AppRoot& root, int maxDelayMs, Check check)
{
    std::mt19937 random(20261206);
    for (int round = 0; round < kKillRounds; ++round) {
        std::filesystem::remove(root.root() + "ready");
        const zvtest::Process child = zvtest::StartInRoot(root, zvtest::ThisTest());
        for (int wait = 0; round % 10 && wait < 5000 && !zvtest::PathExists(root.root() + "ready"); ++wait)
            zvtest::SleepMs(1);
        zvtest::SleepMs(std::uniform_int_distribution<int>(0, maxDelayMs)(random));
        zvtest::Kill(child);
        check(round);
    }
}

// The numbers the named members of a JSON file hold (-1 where missing); empty when the file does not parse.
std::vector<int> JsonInts(const std::string& path, const std::vector<CString>& names)
{
    const std::string bytes = zvtest::ReadFile(path);
    JsonNode root = JsonParse(zv::text::DecodeJsonFile(bytes.data(), bytes.size()).c_str());
    if (!root)
        return {};
    std::vector<int> values;
    for (const CString& name : names) {
        JsonIterator it = JsonFindChild(root, name);
        wchar_t* text = it != JsonEnd(root) ? JsonGetString(*it) : nullptr;
        values.push_back(text ? static_cast<int>(std::wcstol(text, nullptr, 10)) : -1);
        JsonFreeString(text);
    }
    JsonDeleteNode(root);
    return values;
}

constexpr int kHosts = 8, kKeysEach = 6, kRounds = 60;

std::vector<CString> Keys()
{
    std::vector<CString> names;
    for (int i = 0; i < kHosts * kKeysEach; ++i)
        names.push_back(Key(i / kKeysEach, i % kKeysEach));
    return names;
}

// A host's rounds on the documents ZVTEST_DOC: change one of its own INI keys (and in "shared", but not under wine,
// all its JSON members) and save. Odd hosts read every key first, so keys only read and keys never read are in play.
void ChangeOwnKeys()
{
    const int me = std::stoi(zvtest::GetEnv("ZVTEST_WRITER")), rounds = std::stoi(zvtest::GetEnv("ZVTEST_ROUNDS"));
    CTqEnvMgr& mgr = *CTqEnvMgr::GetInstance();
    for (int wait = 0; wait < 10000 && !zvtest::PathExists(zvtest::ChildRoot() + "go"); ++wait)
        zvtest::SleepMs(1);
    const CString name(zvtest::GetEnv("ZVTEST_DOC").c_str());
    CTqEnvIni* ini = mgr.GetEnvIni(name);
    CTqEnvJson* json = name == L"shared" && zvtest::kSeparator == '/' ? mgr.GetJson(name) : nullptr;
    for (int round = 1; round <= rounds; ++round) {
        if (round % 10 == 0)
            ini->ReloadFile(0);
        for (int w = 0; w < kHosts && me % 2; ++w)
            for (int k = 0; k < kKeysEach; ++k)
                ini->GetInt(L"Main", Key(w, k), -1);
        ini->SetInt(L"Main", Key(me, round % kKeysEach), round);
        if (json) {
            for (void **it = json->GetBeginIterator(), **end = json->GetEndIterator(); it != end; ++it)
                json->GetString(json->GetNodeName(*it), L"");
            const std::vector<int> onDisk = JsonInts(json->GetPath().ToUtf8(), Keys());
            for (int k = 0; k < kKeysEach; ++k) {
                EXPECT_TRUE(round == 1 || onDisk.at(static_cast<std::size_t>(me * kKeysEach + k)) == round - 1)
                    << "an update undone by another save";
                json->SetInt(Key(me, k), round);
            }
        }
        mgr.SaveAll();
        ASSERT_EQ(ini->IsDirty() + (json ? json->IsDirty() : 0), 0);
    }
}

// Runs hosts (ZVTEST_WRITER their index) on the document, started together by root/go; the keys the INI file lost.
int LostKeys(const zvtest::AppRoot& root, const char* doc, int hosts, int rounds)
{
    zvtest::SetEnv("ZVTEST_DOC", doc);
    zvtest::SetEnv("ZVTEST_ROUNDS", std::to_string(rounds));
    fs::remove(root.root() + "go");
    std::vector<zvtest::Process> children;
    for (int w = 0; w < hosts; ++w) {
        zvtest::SetEnv("ZVTEST_WRITER", std::to_string(w));
        children.push_back(zvtest::StartInRoot(root, zvtest::ThisTest()));
    }
    zvtest::WriteFile(root.root() + "go", "");
    for (zvtest::Process child : children)
        EXPECT_EQ(zvtest::WaitFor(child), 0);
    zv::ClearProfileCache();
    CTqIni file(CString((root.user() + doc + ".ini").c_str()));
    int lost = 0;
    for (int w = 0; w < hosts; ++w)
        for (int k = 0; k < kKeysEach; ++k) // the host's last round that changed the key
            lost += file.GetInt(L"Main", Key(w, k), -1) != rounds - ((rounds - k) % kKeysEach);
    return lost;
}

// Under wine a file number is an inode a replacement can take with the same stamp: there hosts change the INI alone.
TEST(NoLostUpdate, ProcessesChangingDifferentKeysLoseNothing)
{
    if (zvtest::InChild())
        return ChangeOwnKeys();
    zvtest::AppRoot root; // seeding the file together is the seeding tests' matter
    zvtest::WriteFile(root.user() + "shared.json", zvtest::Utf16(L"{\r\n\t\"title\" : \"shared\"\r\n}"));
    zvtest::PlaceInRoot(root);
    const bool json = zvtest::kSeparator == '/';
    EXPECT_EQ(LostKeys(root, "shared", kHosts, kRounds), 0) << "of " << kHosts * kKeysEach << " keys";
    EXPECT_EQ(JsonInts(root.user() + "shared.json", Keys()), std::vector<int>(kHosts * kKeysEach, json ? kRounds : -1));
}

// Four hosts seed the same missing user file together.
TEST(Seeding, RacedByFourProcessesLosesNoKey)
{
    if (zvtest::InChild())
        return ChangeOwnKeys();
    zvtest::AppRoot root;
    Ship(root, false); // INI documents only: hosts without the validator module
    int lost = 0;
    for (int round = 0; round < 10; ++round) {
        fs::remove(root.user() + "trade.ini");
        lost += LostKeys(root, "trade", 4, kKeysEach);
        lost += CTqIni(CString((root.user() + "trade.ini").c_str())).GetInt(L"Main", L"qty", 0) != 5;
    }
    EXPECT_EQ(lost, 0) << "of 10 rounds of 4 x " << kKeysEach << " keys and the shipped one";
}

// Killed at each flush and rename of a new user's first start (three files seeded, two changed and saved), each file is
// absent, as shipped or as saved; the next start completes them.
TEST(Seeding, KilledAtEveryFlushAndRename)
{
    if (zvtest::InChild()) {
        CTqEnvMgr& mgr = *CTqEnvMgr::GetInstance();
        mgr.SetUserID(L"newbie", 0);
        mgr.GetEnvIni(L"trade")->SetInt(L"Main", L"qty", 6);
        mgr.GetJson(L"layout")->SetInt(L"width", 800);
        return mgr.SaveAll();
    }
    ZVTEST_LINUX_ONLY("strace kills the host at its exact system calls");
    zvtest::AppRoot root;
    Ship(root);
    const std::string folder = root.user() + "newbie/";
    ASSERT_EQ(zvtest::WaitFor(zvtest::StartInRoot(root, zvtest::ThisTest())), 0);
    std::vector<std::string> saved;
    for (const char* file : kFiles)
        saved.push_back(zvtest::ReadFile(folder + file));
    int kills = 0;
    for (const char* syscall : {"fsync", "rename", "renameat2"}) {
        for (int n = 1; n < 20; ++n) {
            fs::remove_all(folder);
            const int status =
                zvtest::WaitFor(zvtest::StartInRoot(root, zvtest::ThisTest(), zvtest::KillAt(syscall, n)));
            for (std::size_t f = 0; f < saved.size(); ++f) {
                const std::string bytes = zvtest::ReadFile(folder + kFiles[f]);
                EXPECT_TRUE(!zvtest::PathExists(folder + kFiles[f]) || bytes == kShipped[f] || bytes == saved[f])
                    << kFiles[f] << " after a kill at " << syscall << " " << n << ": " << bytes.size() << " bytes";
            }
            ASSERT_EQ(zvtest::WaitFor(zvtest::StartInRoot(root, zvtest::ThisTest())), 0);
            for (std::size_t f = 0; f < saved.size(); ++f)
                EXPECT_EQ(zvtest::ReadFile(folder + kFiles[f]), saved[f])
                    << kFiles[f] << " after the next start, killed at " << syscall << " " << n;
            if (status != zvtest::kKilled)
                break;
            ++kills;
        }
    }
    EXPECT_EQ(kills, 10) << "three seedings and two saves, each with a flush and a rename";
}

// Hosts that seed new users one after another, killed at random.
TEST(Seeding, RandomKillsLeaveNoBareFile)
{
    if (zvtest::InChild()) {
        CTqEnvMgr& mgr = *CTqEnvMgr::GetInstance();
        zvtest::WriteFile(zvtest::ChildRoot() + "ready", "");
        const auto start = std::chrono::steady_clock::now().time_since_epoch().count();
        for (int i = 0;; ++i) {
            mgr.SetUserID(CString(("u" + std::to_string(start) + "_" + std::to_string(i)).c_str()), 0);
            mgr.GetEnvIni(L"trade");
            mgr.GetJson(L"layout");
            mgr.ClearIni();
            mgr.ClearJson();
        }
    }
    zvtest::AppRoot root;
    Ship(root);
    int files = 0, broken = 0;
    KillRepeatedly(root, 20, [](int) {});
    for (const auto& user : fs::directory_iterator(root.user()))
        for (std::size_t f = 0; f < std::size(kShipped); ++f) {
            const std::string path = user.path().string() + "/" + kFiles[f];
            files += zvtest::PathExists(path);
            broken += zvtest::PathExists(path) && zvtest::ReadFile(path) != kShipped[f];
        }
    EXPECT_EQ(broken, 0) << "of " << files << " seeded files";
    EXPECT_GE(files, kKillRounds / 3) << "the hosts got to seed";
}

// A writer saving all keys of an INI and a JSON document at a rising number, killed at random: one number, never older.
TEST(DocumentCrash, KilledSavesLeaveOldOrNewContent)
{
    if (zvtest::InChild()) {
        CTqEnvMgr& mgr = *CTqEnvMgr::GetInstance();
        CTqEnvIni* ini = mgr.GetEnvIni(L"trade");
        CTqEnvJson* json = mgr.GetJson(L"layout");
        ASSERT_NE(json->GetJson(), nullptr);
        zvtest::WriteFile(zvtest::ChildRoot() + "ready", "");
        for (int n = ini->GetInt(L"Main", Key(0, 0), 0) + 1;; ++n) {
            for (const CString& name : Keys()) {
                ini->SetInt(L"Main", name, n);
                json->SetInt(name, n);
            }
            ini->Save();
            json->Save();
        }
    }
    zvtest::AppRoot root;
    Ship(root);
    const std::vector<CString> names = Keys();
    int iniLast = -1, jsonLast = -1, progressed = 0;
    // The number all values hold; -2 when they differ, -1 when there are none (as shipped: a step back once saved).
    const auto generation = [](const std::vector<int>& v) {
        return v.empty() ? -1 : std::adjacent_find(v.begin(), v.end(), std::not_equal_to<>()) == v.end() ? v[0] : -2;
    };
    KillRepeatedly(root, 40, [&](int round) {
        if (!zvtest::PathExists(root.user() + "layout.json"))
            return; // killed before both documents were seeded
        zv::ClearProfileCache();
        CTqIni file(CString((root.user() + "trade.ini").c_str()));
        std::vector<int> iniValues;
        for (const CString& name : names)
            iniValues.push_back(file.GetInt(L"Main", name, -1));
        const int ini = generation(iniValues);
        ASSERT_GE(ini, iniLast) << "round " << round << ": the INI file is torn or went back";
        const int json = generation(JsonInts(root.user() + "layout.json", names));
        ASSERT_GE(json, jsonLast) << "round " << round << ": the JSON file is torn, empty or went back";
        progressed += ini > iniLast;
        iniLast = ini;
        jsonLast = json;
    });
    EXPECT_GE(progressed, kKillRounds / 10) << "the writer got to save in a good share of the rounds";
    EXPECT_GT(jsonLast, 0) << "the user's JSON file was never replaced by the shipped default";
}

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
    if (RanInRoot([&](const zvtest::AppRoot& root) {
            zvtest::WriteFile(root.user() + "trade.ini", iniText);
            zvtest::WriteFile(root.user() + "layout.json", jsonText);
            zvtest::OpenToEveryone(root.path());
            for (const char* file : {"trade.ini", "layout.json"})
                fs::permissions(root.user() + file, static_cast<fs::perms>(otherUser ? 0644 : 0444));
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
    ini->SetInt(L"Main", L"qty", 6);
    json->SetInt(L"width", 800);
    ini->Save();
    json->Save();
    EXPECT_EQ(json->IsDirty(), 1);
    EXPECT_FALSE(zvtest::PathExists(User("erin/layout.json")));
    mgr.GetUserIdPath(L""); // brings the folder back
    json->Save();
    EXPECT_EQ(json->IsDirty(), 0);
    EXPECT_EQ(JsonInts(User("erin/layout.json"), {L"width"}), std::vector<int>{800});
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

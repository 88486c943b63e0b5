#include "Reliability.h"

#include <zvenv/CTqEnvMgr.h>
#include <zvenv/CTqIni.h>
#include <zvenv/platform/Profile.h>

#include <algorithm>
#include <chrono>
#include <functional>

namespace fs = std::filesystem;
using namespace reliability;

namespace {

constexpr int kHosts = 8, kKeysEach = 6, kRounds = 60;

std::vector<CString> Keys()
{
    std::vector<CString> names;
    for (int i = 0; i < kHosts * kKeysEach; ++i)
        names.push_back(Key(i / kKeysEach, i % kKeysEach));
    return names;
}

// A host's rounds on the documents ZVTEST_DOC: change one of its own INI keys (with ZVTEST_JSON all its JSON members)
// and save. Odd hosts read every key first, so keys only read and keys never read are both in play.
void ChangeOwnKeys()
{
    const int me = std::stoi(zvtest::GetEnv("ZVTEST_WRITER")), rounds = std::stoi(zvtest::GetEnv("ZVTEST_ROUNDS"));
    CTqEnvMgr& mgr = *CTqEnvMgr::GetInstance();
    for (int wait = 0; wait < 10000 && !zvtest::PathExists(zvtest::ChildRoot() + "go"); ++wait)
        zvtest::SleepMs(1);
    const CString name(zvtest::GetEnv("ZVTEST_DOC").c_str());
    CTqEnvIni* ini = mgr.GetEnvIni(name);
    CTqEnvJson* json = zvtest::GetEnv("ZVTEST_JSON").empty() ? nullptr : mgr.GetJson(name);
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
    zvtest::UnsetEnv("ZVTEST_WRITER");
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
    zvtest::SetEnv("ZVTEST_JSON", json ? "1" : "");
    EXPECT_EQ(LostKeys(root, "shared", kHosts, kRounds), 0) << "of " << kHosts * kKeysEach << " keys";
    zvtest::UnsetEnv("ZVTEST_JSON");
    const std::vector<int> members(kHosts * kKeysEach, json ? kRounds : -1);
    EXPECT_EQ(JsonInts(root.user() + "shared.json", Keys()), members);
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
    const auto start = [&](const std::vector<std::string>& wrapper) {
        return zvtest::WaitFor(zvtest::StartInRoot(root, zvtest::ThisTest(), wrapper));
    };
    ASSERT_EQ(start({}), 0);
    std::vector<std::string> saved;
    for (const char* file : kFiles)
        saved.push_back(zvtest::ReadFile(folder + file));
    ASSERT_EQ(saved[0], kShipped[0]);
    int kills = 0;
    for (const char* syscall : {"fsync", "rename", "renameat2"}) {
        for (int n = 1; n < 20; ++n) {
            fs::remove_all(folder);
            const int status = start(zvtest::KillAt(syscall, n));
            for (std::size_t f = 0; f < saved.size(); ++f) {
                const std::string bytes = zvtest::ReadFile(folder + kFiles[f]);
                EXPECT_TRUE(!zvtest::PathExists(folder + kFiles[f]) || bytes == kShipped[f] || bytes == saved[f])
                    << kFiles[f] << " after a kill at " << syscall << " " << n << ": " << bytes.size() << " bytes";
            }
            ASSERT_EQ(start({}), 0);
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
    int rounds = 0, files = 0, broken = 0;
    KillRepeatedly(root, 20, [&](int) { ++rounds; });
    for (const auto& user : fs::directory_iterator(root.user()))
        for (std::size_t f = 0; f < std::size(kShipped); ++f) {
            const std::string path = user.path().string() + "/" + kFiles[f];
            files += zvtest::PathExists(path);
            broken += zvtest::PathExists(path) && zvtest::ReadFile(path) != kShipped[f];
        }
    EXPECT_EQ(broken, 0) << "of " << files << " seeded files";
    EXPECT_GE(files, rounds / 3) << "the hosts got to seed";
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
    // Shipped at 0, so that a file replaced by the default shows as a step back.
    std::wstring iniText = L"[Main]\r\n", jsonText = L"{";
    const std::vector<CString> names = Keys();
    for (const CString& name : names) {
        iniText += name.str() + L"=0\r\n";
        jsonText += (jsonText.size() > 1 ? L",\r\n\t\"" : L"\r\n\t\"") + name.str() + L"\" : 0";
    }
    zvtest::WriteFile(root.system() + "trade.ini", zvtest::Utf16(iniText));
    zvtest::WriteFile(root.system() + "layout.json", zvtest::Utf16(jsonText + L"\r\n}"));
    zvtest::PlaceInRoot(root);
    int iniLast = 0, jsonLast = 0, progressed = 0, rounds = 0;
    // The number all values hold; -2 when they differ, -1 when there are none.
    const auto generation = [](const std::vector<int>& v) {
        return v.empty() ? -1 : std::adjacent_find(v.begin(), v.end(), std::not_equal_to<>()) == v.end() ? v[0] : -2;
    };
    KillRepeatedly(root, 40, [&](int round) {
        ++rounds;
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
    EXPECT_GE(progressed, rounds / 10) << "the writer got to save in a good share of the rounds";
    EXPECT_GT(jsonLast, 0) << "the user's JSON file was never replaced by the shipped default";
}

} // namespace

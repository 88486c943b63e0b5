#include "Reliability.h"

#include <zvenv/CTqEnvMgr.h>
#include <zvenv/CTqIni.h>
#include <zvenv/platform/Profile.h>

#include <mutex>
#include <random>
#include <thread>

using reliability::Key;

namespace {

// Eight threads share one INI and one JSON document and the registry's
// getters (which the host serialises, as the manager has no lock of its own).
TEST(Load, ThreadsShareDocuments)
{
    if (reliability::RanInRoot())
        return;
    const std::string scale = zvtest::GetEnv("ZV_LOAD_OPERATIONS");
    const int operations = scale.empty() ? 100000 : std::atoi(scale.c_str());
    constexpr int kThreads = 8, kKeys = 20;
    std::mutex registry;
    CTqEnvMgr& mgr = *CTqEnvMgr::GetInstance();
    std::vector<std::vector<int>> last(kThreads, std::vector<int>(kKeys, -1));
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            std::mt19937 random(static_cast<unsigned>(t));
            for (int i = 0; i < operations; ++i) {
                CTqEnvIni* ini;
                CTqEnvJson* json;
                {
                    std::lock_guard<std::mutex> lock(registry);
                    ini = mgr.GetEnvIni(L"trade");
                    json = mgr.GetJson(L"layout");
                }
                const int k = static_cast<int>(random() % kKeys);
                const CString key = Key(t, k);
                switch (random() % 4) {
                case 0:
                    ini->SetInt(L"Load", key, i);
                    json->SetInt(key, i);
                    last[t][k] = i;
                    break;
                case 1:
                    EXPECT_EQ(ini->GetInt(L"Load", key, -1), last[t][k]);
                    EXPECT_EQ(json->GetInt(key, -1), last[t][k]);
                    break;
                case 2:
                    EXPECT_EQ(ini->GetInt(L"Main", L"qty", 0), 5);
                    EXPECT_EQ(json->GetInt(L"width", 0), 640);
                    EXPECT_STREQ(ini->GetStringEx(L"Main", L"qty", L""), L"5");
                    break;
                default:
                    if (random() % 250 == 0) {
                        ini->Save();
                        json->Save();
                    }
                }
            }
        });
    for (auto& thread : threads)
        thread.join();
    mgr.SaveAll();

    zv::ClearProfileCache();
    CTqIni file(CString((zvtest::ChildRoot() + "user/trade.ini").c_str()));
    // Dropping the document and asking again reads the saved file.
    mgr.DeleteJson(L"layout", L"", 0);
    CTqEnvJson* json = mgr.GetJson(L"layout");
    for (int t = 0; t < kThreads; ++t)
        for (int k = 0; k < kKeys; ++k) {
            if (last[t][k] < 0)
                continue;
            ASSERT_EQ(file.GetInt(L"Load", Key(t, k), -1), last[t][k]);
            ASSERT_EQ(json->GetInt(Key(t, k), -1), last[t][k]);
        }
}

} // namespace

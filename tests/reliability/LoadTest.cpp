#include "Reliability.h"

#include <zvenv/CTqEnvMgr.h>
#include <zvenv/CTqIni.h>
#include <zvenv/platform/Profile.h>

#include <mutex>
#include <thread>

using reliability::Key;

namespace {

// Eight threads share one INI and one JSON document and the registry's
// getters (which the host serialises, as the manager has no lock of its own).
TEST(Load, ThreadsShareDocuments)
{
    if (reliability::RanInRoot())
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
    CTqIni file(CString((zvtest::ChildRoot() + "user/trade.ini").c_str()));
    mgr.DeleteJson(L"layout", L"", 0); // asked again, the document reads the saved file
    CTqEnvJson* json = mgr.GetJson(L"layout");
    for (int t = 0; t < kThreads; ++t)
        for (int k = 0; k < kKeys; ++k)
            if (last[t][k] >= 0) {
                ASSERT_EQ(file.GetInt(L"Load", Key(t, k), -1), last[t][k]);
                ASSERT_EQ(json->GetInt(Key(t, k), -1), last[t][k]);
            }
}

} // namespace

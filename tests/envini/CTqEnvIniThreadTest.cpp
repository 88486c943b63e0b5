#include "EnvIniTestUtil.h"

#include <thread>

using namespace envinitest;

namespace {

using EnvIniThreads = EnvIniTest;

// Eight threads share one document: each writes its own keys, reads
// everybody's, writes arrays and saves now and then. Under ThreadSanitizer
// this must be clean, and the file must end with the last value of every key.
TEST_F(EnvIniThreads, MixedReadsWritesAndSavesEndWithTheLastValueOfEveryKey)
{
    Seed(L"[Shared]\r\nseed=1\r\n");
    constexpr int kThreads = 8;
    constexpr int kRounds = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([this, t] {
            const CString section = CString(L"T") + CString(std::to_wstring(t));
            for (int r = 0; r < kRounds; ++r) {
                doc.SetInt(section, L"round", r);
                doc.SetString(section, CString(std::to_wstring(r % 5)), CString(std::to_wstring(r)));
                doc.GetInt(L"Shared", L"seed", 0);
                doc.GetString(CString(L"T") + CString(std::to_wstring((t + 1) % kThreads)), L"round", L"");
                if (r % 20 == 0) {
                    CStringArray items = Array({std::to_wstring(t), std::to_wstring(r)});
                    doc.SetOrderArray(CString(L"O") + CString(std::to_wstring(t)), items, L"I%d", 0);
                    doc.SetTreeArray(L"Tree", items, CString(L"P") + CString(std::to_wstring(t)), L"|");
                    CStringArray back;
                    doc.GetTreeArray(L"Tree", back, L"", L"|");
                }
                if (r % 25 == 0)
                    doc.Save();
                if (r % 50 == 0)
                    doc.SetString(section, L"through", CString(std::to_wstring(r)), 1);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    doc.Save();

    zv::ClearProfileCache();
    CTqEnvIni check;
    BindPath(check, path);
    for (int t = 0; t < kThreads; ++t) {
        const CString section = CString(L"T") + CString(std::to_wstring(t));
        EXPECT_EQ(check.GetInt(section, L"round", -1), kRounds - 1) << t;
        for (int k = 0; k < 5; ++k)
            EXPECT_EQ(check.GetInt(section, CString(std::to_wstring(k)), -1), kRounds - 5 + k) << t << " " << k;
        EXPECT_EQ(check.GetInt(section, L"through", -1), 150);
        CStringArray items;
        check.GetOrderArray(CString(L"O") + CString(std::to_wstring(t)), items, L"", L"I%d", 0);
        EXPECT_EQ(Items(items), std::vector<std::wstring>({std::to_wstring(t), L"180"}));
    }
    EXPECT_EQ(check.GetInt(L"Shared", L"seed", 0), 1);
}

} // namespace

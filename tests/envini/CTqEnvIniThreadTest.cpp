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
    constexpr int kThreads = 8, kRounds = 200;
    const auto name = [](const wchar_t* prefix, int n) { return CString(prefix) + CString(std::to_wstring(n)); };
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int r = 0; r < kRounds; ++r) {
                doc.SetInt(name(L"T", t), name(L"", r % 5), r);
                doc.GetInt(L"Shared", L"seed", 0);
                doc.GetString(name(L"T", (t + 1) % kThreads), L"0", L"");
                if (r % 20 == 0) {
                    CStringArray items = Array({std::to_wstring(t), std::to_wstring(r)}), back;
                    doc.SetOrderArray(name(L"O", t), items, L"I%d", 0);
                    doc.SetTreeArray(L"Tree", items, name(L"P", t), L"|");
                    doc.GetTreeArray(L"Tree", back, L"", L"|");
                }
                if (r % 25 == 0)
                    doc.Save();
                if (r % 50 == 0)
                    doc.SetInt(name(L"T", t), L"through", r, 1);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    doc.Save();

    zv::ClearProfileCache();
    const auto check = Again();
    for (int t = 0; t < kThreads; ++t) {
        for (int k = 0; k < 5; ++k)
            EXPECT_EQ(check->GetInt(name(L"T", t), name(L"", k), -1), kRounds - 5 + k) << t << " " << k;
        EXPECT_EQ(check->GetInt(name(L"T", t), L"through", -1), 150);
        CStringArray items;
        check->GetOrderArray(name(L"O", t), items, L"", L"I%d", 0);
        EXPECT_EQ(Items(items), std::vector<std::wstring>({std::to_wstring(t), L"180"}));
    }
    EXPECT_EQ(check->GetInt(L"Shared", L"seed", 0), 1);
}

} // namespace

#include "EnvIniTestUtil.h"

#include <thread>

using namespace envinitest;

namespace {

using EnvIniThreads = EnvIniTest;

// Eight threads share one document: each writes its own arrays and values
// (some through to the file), reads the others' and saves now and then.
// Clean under ThreadSanitizer, the file ends with the last value of each key.
TEST_F(EnvIniThreads, MixedReadsWritesAndSavesEndWithTheLastValueOfEveryKey)
{
    constexpr int kThreads = 8, kRounds = 200;
    const auto name = [](const wchar_t* prefix, int n) { return CString(prefix) + CString(std::to_wstring(n)); };
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int r = 0; r < kRounds; ++r) {
                CStringArray items = Array({std::to_wstring(t), std::to_wstring(r)}), back;
                doc.SetOrderArray(name(L"O", t), items, L"I%d", 0);
                doc.SetTreeArray(L"Tree", items, name(L"P", t), L"|");
                doc.GetTreeArray(L"Tree", back, L"", L"|");
                doc.GetOrderArray(name(L"O", (t + 1) % kThreads), back, L"", L"I%d", 0);
                doc.SetInt(name(L"T", t), L"k", r, r % 50 == 0);
                if (r % 25 == 0)
                    doc.Save();
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    doc.Save();

    zv::ClearProfileCache();
    const auto check = Again();
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(check->GetInt(name(L"T", t), L"k", -1), kRounds - 1) << t;
        CStringArray items;
        check->GetOrderArray(name(L"O", t), items, L"", L"I%d", 0);
        EXPECT_EQ(Items(items), std::vector<std::wstring>({std::to_wstring(t), std::to_wstring(kRounds - 1)}));
    }
}

} // namespace

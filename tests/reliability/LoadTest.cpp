#include "ZvTest.h"

#include <zvenv/CTqEnvMgr.h>
#include <zvenv/CTqIni.h>
#include <zvenv/platform/Profile.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

namespace {

std::string Root()
{
    return zvtest::ChildRoot();
}

CString Name(const wchar_t* prefix, int a, int b)
{
    CString text;
    text.Format(L"%s%dk%d", prefix, a, b);
    return text;
}

// Eight threads share one INI and one JSON document and the registry's
// getters (which the host serialises, as the manager has no lock of its own).
TEST(Load, ThreadsShareDocuments)
{
    if (!zvtest::InChild()) {
        zvtest::AppRoot root;
        zvtest::WriteFile(root.system() + "trade.ini", zvtest::Utf16(L"[Main]\r\nqty=5\r\n"));
        zvtest::WriteFile(root.system() + "layout.json", zvtest::Utf16(L"{\r\n\t\"width\" : 640\r\n}"));
        EXPECT_EQ(zvtest::RunInRoot(root), 0);
        return;
    }
    const char* scale = std::getenv("ZV_LOAD_OPERATIONS");
    const int operations = scale ? std::atoi(scale) : 100000;
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
                const CString key = Name(L"t", t, k);
                switch (random() % 8) {
                case 0:
                case 1:
                    ini->SetInt(L"Load", key, i);
                    json->SetInt(key, i);
                    last[t][k] = i;
                    break;
                case 2:
                    EXPECT_EQ(ini->GetInt(L"Load", key, -1), last[t][k]);
                    break;
                case 3:
                    EXPECT_EQ(json->GetInt(key, -1), last[t][k]);
                    break;
                case 4:
                    EXPECT_EQ(ini->GetInt(L"Main", L"qty", 0), 5);
                    break;
                case 5:
                    EXPECT_EQ(json->GetInt(L"width", 0), 640);
                    break;
                case 6:
                    ini->GetStringEx(L"Main", L"qty", L"");
                    break;
                default:
                    if (random() % 500 == 0) {
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
    CTqIni file(CString((Root() + "user/trade.ini").c_str()));
    // Dropping the document and asking again reads the saved file.
    mgr.DeleteJson(L"layout", L"", 0);
    CTqEnvJson* json = mgr.GetJson(L"layout");
    for (int t = 0; t < kThreads; ++t)
        for (int k = 0; k < kKeys; ++k) {
            if (last[t][k] < 0)
                continue;
            ASSERT_EQ(file.GetInt(L"Load", Name(L"t", t, k), -1), last[t][k]);
            ASSERT_EQ(json->GetInt(Name(L"t", t, k), -1), last[t][k]);
        }
}

// One process of ProcessesSaveOneFile: its own keys, saved again and again.
TEST(Load, ProcessWriter)
{
    if (!zvtest::InChild())
        GTEST_SKIP() << "runs as a child of ProcessesSaveOneFile";
    const int writer = std::atoi(std::getenv("ZVTEST_WRITER"));
    CTqEnvIni* ini = CTqEnvMgr::GetInstance()->GetEnvIni(L"shared");
    for (int i = 0; i < 2000; ++i) {
        ini->SetInt(L"S", Name(L"w", writer, i % 100), i);
        ini->Save();
    }
}

TEST(Load, ProcessesSaveOneFile)
{
    if (zvtest::InChild())
        GTEST_SKIP();
    zvtest::AppRoot root;
    zvtest::PlaceInRoot(root);
    std::vector<zvtest::Process> writers;
    for (int w = 0; w < 4; ++w) {
        zvtest::SetEnv("ZVTEST_WRITER", std::to_string(w));
        writers.push_back(zvtest::StartInRoot(root, "Load.ProcessWriter"));
    }
    zvtest::UnsetEnv("ZVTEST_WRITER");
    for (zvtest::Process writer : writers)
        EXPECT_EQ(zvtest::WaitFor(writer), 0);
    zv::ClearProfileCache();
    CTqIni file(CString((root.user() + "shared.ini").c_str()));
    for (int w = 0; w < 4; ++w)
        for (int k = 0; k < 100; ++k)
            ASSERT_EQ(file.GetInt(L"S", Name(L"w", w, k), -1), 1900 + k) << "writer " << w << " key " << k;
}

} // namespace

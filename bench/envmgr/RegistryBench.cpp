#include <zvenv/CTqEnvMgr.h>
#include <zvenv/platform/Message.h>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <unistd.h>

// Asking the registry again for a document it holds: the cost every host call
// site pays when it does not keep the pointer. The documents live in a
// sub-folder of the build root's user folder, removed at the end.
namespace {

int Quiet(const wchar_t*, UINT, void*)
{
    return 1;
}

struct Registered {
    std::wstring sub = L"zvbench-" + std::to_wstring(getpid());
    std::string folder;

    Registered()
    {
        zv::SetMessageHandler(&Quiet);
        CTqEnvMgr* mgr = fnTqEnvMgr();
        for (int i = 0; i < 200; ++i) { // a registry of a realistic size
            mgr->GetEnvIni((L"doc" + std::to_wstring(i)).c_str(), 0, sub.c_str());
            mgr->GetJson((L"doc" + std::to_wstring(i)).c_str(), 0, sub.c_str());
        }
        folder =
            std::filesystem::path(mgr->GetEnvIni(L"trade", 0, sub.c_str())->GetPath().ToUtf8()).parent_path().string();
        mgr->GetJson(L"layout", 0, sub.c_str());
    }
    ~Registered()
    {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
};

Registered& Shared()
{
    static Registered registered;
    return registered;
}

void BM_GetEnvIniRegistered(benchmark::State& state)
{
    const CString sub = Shared().sub.c_str();
    CTqEnvMgr* mgr = fnTqEnvMgr();
    for (auto _ : state)
        benchmark::DoNotOptimize(mgr->GetEnvIni(L"Trade.ini", 0, sub));
}
BENCHMARK(BM_GetEnvIniRegistered);

void BM_GetJsonRegistered(benchmark::State& state)
{
    const CString sub = Shared().sub.c_str();
    CTqEnvMgr* mgr = fnTqEnvMgr();
    for (auto _ : state)
        benchmark::DoNotOptimize(mgr->GetJson(L"layout", 0, sub));
}
BENCHMARK(BM_GetJsonRegistered);

} // namespace

#include <zvenv/platform/Profile.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::wstring Widen(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

// A temporary folder holding "big.ini": UTF-16LE with its mark, sections
// S0..S99, each with keys K0..K99.
class BigFile {
public:
    BigFile()
    {
        char pattern[] = "/tmp/zvprofilebench.XXXXXX";
        m_folder = mkdtemp(pattern);
        m_path = m_folder + "/big.ini";
        Reset();
    }
    ~BigFile()
    {
        std::remove(m_path.c_str());
        rmdir(m_folder.c_str());
    }
    void Reset() const
    {
        std::wstring text;
        for (int s = 0; s < 100; ++s) {
            text += L"[S" + std::to_wstring(s) + L"]\r\n";
            for (int k = 0; k < 100; ++k)
                text += L"K" + std::to_wstring(k) + L"=value " + std::to_wstring(s * 100 + k) + L"\r\n";
        }
        std::string bytes = "\xFF\xFE";
        for (wchar_t c : text) {
            bytes += static_cast<char>(c & 0xFF);
            bytes += static_cast<char>((c >> 8) & 0xFF);
        }
        std::ofstream(m_path, std::ios::binary | std::ios::trunc)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        zv::ClearProfileCache();
    }
    const std::string& path() const { return m_path; }
    std::wstring widePath() const { return Widen(m_path); }

private:
    std::string m_folder;
    std::string m_path;
};

void BM_GetPrivateProfileString(benchmark::State& state)
{
    BigFile file;
    const std::wstring path = file.widePath();
    wchar_t buffer[256];
    zv::ProfileGetString(L"S50", L"K50", L"", buffer, 256, path.c_str());
    for (auto _ : state) {
        DWORD got = zv::ProfileGetString(L"S50", L"K50", L"", buffer, 256, path.c_str());
        benchmark::DoNotOptimize(got);
    }
}
BENCHMARK(BM_GetPrivateProfileString);

// The floor under every read: the one stat that checks the parsed copy
// against the file. On a virtual machine a system call alone can cost most
// of the read's budget; the read's own work is the difference.
void BM_StatOfTheFile(benchmark::State& state)
{
    BigFile file;
    struct stat info;
    for (auto _ : state)
        benchmark::DoNotOptimize(stat(file.path().c_str(), &info));
}
BENCHMARK(BM_StatOfTheFile);

// Every write changes the value, so every write replaces the file.
void BM_WritePrivateProfileString(benchmark::State& state)
{
    BigFile file;
    const std::wstring path = file.widePath();
    long i = 0;
    for (auto _ : state) {
        const std::wstring value = L"v" + std::to_wstring(i++);
        if (!zv::ProfileWriteString(L"S50", L"K50", value.c_str(), path.c_str()))
            state.SkipWithError("write failed");
    }
}
BENCHMARK(BM_WritePrivateProfileString)->Unit(benchmark::kMicrosecond);

// 10,000 writes of distinct keys inside one batch scope, the file written
// once when the scope closes.
void BM_BatchOf10000Writes(benchmark::State& state)
{
    BigFile file;
    const std::wstring path = file.widePath();
    long round = 0;
    for (auto _ : state) {
        const std::wstring value = L"r" + std::to_wstring(round++);
        zv::ProfileBatch batch(path.c_str());
        for (int i = 0; i < 10000; ++i) {
            const std::wstring section = L"S" + std::to_wstring(i % 100);
            const std::wstring key = L"K" + std::to_wstring(i / 100);
            zv::ProfileWriteString(section.c_str(), key.c_str(), value.c_str(), path.c_str());
        }
    }
}
BENCHMARK(BM_BatchOf10000Writes)->Unit(benchmark::kMillisecond);

// Lines that come, as an INI document's Save of long arrays makes them: in
// one batch, 10,000 new keys into a new last section and 1,000 new sections
// of one key each, after the 100 sections of the big file.
void BM_BatchOfNewKeysAndSections(benchmark::State& state)
{
    BigFile file;
    const std::wstring path = file.widePath();
    for (auto _ : state) {
        state.PauseTiming();
        file.Reset();
        state.ResumeTiming();
        zv::ProfileBatch batch(path.c_str());
        for (int i = 0; i < 10000; ++i)
            zv::ProfileWriteString(L"List", (L"Item" + std::to_wstring(i)).c_str(), L"v", path.c_str());
        for (int i = 0; i < 1000; ++i)
            zv::ProfileWriteString((L"Tree_" + std::to_wstring(i)).c_str(), L"count", L"1", path.c_str());
    }
}
BENCHMARK(BM_BatchOfNewKeysAndSections)->Unit(benchmark::kMillisecond);

#ifdef ZV_WINE64
// The platform's own functions under the loader: the Windows program times
// <count> operations itself and prints the seconds per operation; one
// iteration is reported as <perIteration> operations.
void RunUnderLoader(benchmark::State& state, const char* op, long count, double perIteration = 1)
{
    BigFile file;
    std::string windowsPath = "Z:" + file.path();
    for (char& c : windowsPath)
        if (c == '/')
            c = '\\';
    const std::string command = std::string("WINEDEBUG=-all WINEPREFIX='") + ZV_WINE_PREFIX + "' '" + ZV_WINE64 +
                                "' '" + ZV_PROFILE_TIMING_EXE + "' time '" + windowsPath + "' " + op + " " +
                                std::to_string(count) + " 2>/dev/null";
    for (auto _ : state) {
        FILE* pipe = popen(command.c_str(), "r");
        double seconds = -1;
        if (!pipe || std::fscanf(pipe, "%lf", &seconds) != 1 || seconds < 0) {
            if (pipe)
                pclose(pipe);
            state.SkipWithError("the loader did not run the Windows program");
            break;
        }
        pclose(pipe);
        state.SetIterationTime(seconds * perIteration);
    }
    state.counters["operations"] = static_cast<double>(count);
}

void BM_Reference_GetPrivateProfileString(benchmark::State& state)
{
    RunUnderLoader(state, "get", 10000);
}
BENCHMARK(BM_Reference_GetPrivateProfileString)->UseManualTime()->Iterations(1);

void BM_Reference_WritePrivateProfileString(benchmark::State& state)
{
    RunUnderLoader(state, "write", 200);
}
BENCHMARK(BM_Reference_WritePrivateProfileString)->UseManualTime()->Iterations(1)->Unit(benchmark::kMicrosecond);

// No batch on the platform: separate writes of distinct keys, 500 of them
// timed (each takes tens of milliseconds there), shown as the time of 10,000.
void BM_Reference_10000Writes(benchmark::State& state)
{
    RunUnderLoader(state, "write-many", 500, 10000);
}
BENCHMARK(BM_Reference_10000Writes)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
#endif

} // namespace

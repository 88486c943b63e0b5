// Costs of the INI document: cached reads, first reads from a large file, and
// Save of many changed keys, in one batch against one profile write per key.
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include <zvenv/CTqIni.h>
#include <zvenv/platform/CCriticalSection.h>
#include <zvenv/platform/CMap.h>

// The path setter belongs to the manager; the benchmark binds paths itself.
#define private public
#include <zvenv/CTqEnvIni.h>
#undef private

#include <zvenv/platform/Os.h>
#include <zvenv/platform/Profile.h>
#include <zvenv/platform/Text.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

constexpr int kSections = 100;
constexpr int kKeysPerSection = 100;
constexpr int kKeys = kSections * kKeysPerSection;

// A scratch folder removed at exit.
class Scratch {
public:
    Scratch()
    {
        char pattern[] = "/tmp/envini-bench-XXXXXX";
        m_path = mkdtemp(pattern);
    }
    ~Scratch()
    {
        const std::string command = "rm -rf '" + m_path + "'";
        if (std::system(command.c_str()) != 0)
            std::perror("rm");
    }
    std::wstring File(const char* name) const
    {
        const std::string path = m_path + "/" + name;
        return std::wstring(path.begin(), path.end());
    }

private:
    std::string m_path;
};

CString SectionName(int i)
{
    return CString(L"Section") + CString(std::to_wstring(i / kKeysPerSection));
}
CString KeyName(int i)
{
    return CString(L"Key") + CString(std::to_wstring(i % kKeysPerSection));
}

// The section and key name of every key, in file order.
std::pair<std::vector<CString>, std::vector<CString>> AllNames()
{
    std::vector<CString> sections, keys;
    for (int i = 0; i < kKeys; ++i) {
        sections.push_back(SectionName(i));
        keys.push_back(KeyName(i));
    }
    return {sections, keys};
}

// A UTF-16LE file of kKeys keys in kSections sections.
void WriteLargeFile(const std::wstring& path)
{
    std::wstring text;
    for (int i = 0; i < kKeys; ++i) {
        if (i % kKeysPerSection == 0)
            text += L"[" + SectionName(i).str() + L"]\r\n";
        text += KeyName(i).str() + L"=" + std::to_wstring(i) + L"\r\n";
    }
    const std::string bytes = "\xFF\xFE" + zv::text::EncodeUtf16le(text);
    zv::os::WriteFileAtomic(path.c_str(), bytes.data(), bytes.size());
}

void CachedGetInt(benchmark::State& state)
{
    Scratch scratch;
    const std::wstring path = scratch.File("cached.ini");
    WriteLargeFile(path);
    CTqEnvIni doc;
    doc.SetPathName(path.c_str());
    const CString section = L"Section42", key = L"Key7";
    doc.GetInt(section, key, 0);
    for (auto _ : state)
        benchmark::DoNotOptimize(doc.GetInt(section, key, 0));
}
BENCHMARK(CachedGetInt);

void CachedGetString(benchmark::State& state)
{
    Scratch scratch;
    const std::wstring path = scratch.File("cached.ini");
    WriteLargeFile(path);
    CTqEnvIni doc;
    doc.SetPathName(path.c_str());
    const CString section = L"Section42", key = L"Key7", def = L"";
    doc.GetString(section, key, def);
    for (auto _ : state)
        benchmark::DoNotOptimize(doc.GetString(section, key, def));
}
BENCHMARK(CachedGetString);

// Every iteration reads a key the document has not cached yet; the file's
// parsed copy is warm, as it is after the first read of any key.
void FirstReadOf10000Keys(benchmark::State& state)
{
    Scratch scratch;
    const std::wstring path = scratch.File("large.ini");
    WriteLargeFile(path);
    const auto [sections, keys] = AllNames();
    CTqEnvIni doc;
    doc.SetPathName(path.c_str());
    doc.GetInt(L"warm", L"up", 0);
    int next = 0;
    for (auto _ : state) {
        if (next == kKeys) {
            state.PauseTiming();
            doc.Clear();
            next = 0;
            state.ResumeTiming();
        }
        benchmark::DoNotOptimize(doc.GetInt(sections[next], keys[next], -1));
        ++next;
    }
}
BENCHMARK(FirstReadOf10000Keys);

// Save of a document whose kKeys keys all changed: one batch, one file write.
void SaveChangedKeys(benchmark::State& state)
{
    Scratch scratch;
    const std::wstring path = scratch.File("save.ini");
    WriteLargeFile(path);
    const auto [sections, keys] = AllNames();
    CTqEnvIni doc;
    doc.SetPathName(path.c_str());
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ++round;
        for (int i = 0; i < kKeys; ++i)
            doc.SetInt(sections[i], keys[i], i + round);
        state.ResumeTiming();
        doc.Save();
    }
    state.counters["keys"] = kKeys;
}
BENCHMARK(SaveChangedKeys)->Unit(benchmark::kMillisecond);

// Save of a document that read all kKeys keys and changed one: every key
// only read is compared with what the file holds now before it is written.
void SaveAfterReadingKeys(benchmark::State& state)
{
    Scratch scratch;
    const std::wstring path = scratch.File("read.ini");
    WriteLargeFile(path);
    const auto [sections, keys] = AllNames();
    CTqEnvIni doc;
    doc.SetPathName(path.c_str());
    for (int i = 0; i < kKeys; ++i)
        doc.GetInt(sections[i], keys[i], -1);
    int round = 0;
    for (auto _ : state) {
        doc.SetInt(sections[0], keys[0], ++round);
        doc.Save();
    }
    state.counters["keys"] = kKeys;
}
BENCHMARK(SaveAfterReadingKeys)->Unit(benchmark::kMillisecond);

// The same kind of save done as the original does it: one profile-file write
// per key, each rewriting the whole file. Run with fewer keys (the file is
// still the 10,000-key one); the counter gives the figure scaled to kKeys.
void SavePerKeyWrites(benchmark::State& state)
{
    const int writes = static_cast<int>(state.range(0));
    Scratch scratch;
    const std::wstring path = scratch.File("perkey.ini");
    WriteLargeFile(path);
    const auto [sections, keys] = AllNames();
    CTqIni ini(path.c_str());
    int round = 0;
    for (auto _ : state) {
        ++round;
        // Spread the writes over the whole file.
        for (int n = 0; n < writes; ++n) {
            const int i = static_cast<int>(static_cast<long long>(n) * kKeys / writes);
            ini.WriteString(sections[i], keys[i], CString(std::to_wstring(i + round)));
        }
    }
    state.counters["keys"] = writes;
    state.counters["ms_scaled_to_10000"] =
        benchmark::Counter(static_cast<double>(writes) / kKeys / 1e3,
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(SavePerKeyWrites)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

} // namespace

#include <zvenv/CTqEnvJson.h>
#include <zvenv/CTqEnvMgr.h>
#include <zvenv/platform/Message.h>
#include <zvenv/platform/Text.h>

#include "envjson/JsonFileText.h"
#include "envjson/JsonValidator.h"
#include "json/Json.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <time.h>
#include <unistd.h>

// Loading a large document against the validator's own time on the same text,
// and saving the same document once every node of it has been read.
namespace {

constexpr std::size_t kTextSize = 10u * 1024 * 1024; // characters of JSON text

// A settings-like document: many records with strings, numbers, booleans,
// nested objects, arrays of strings and a comment now and then.
std::wstring MakeDocument()
{
    std::wstring text = L"{\n";
    for (int i = 0; text.size() < kTextSize; ++i) {
        const std::wstring n = std::to_wstring(i);
        if (i % 50 == 0)
            text += L"\t// group " + n + L"\n";
        text += L"\t\"record" + n + L"\": {\n";
        text += L"\t\t\"name\": \"Record number " + n + L" \\\"quoted\\\" \\u00e9\",\n";
        text += L"\t\t\"id\": " + n + L", \"scale\": -12.5e-3, \"visible\": true, \"parent\": null,\n";
        text += L"\t\t\"rect\": \"10,20,300,400\", \"colour\": \"255,128,0\",\n";
        text += L"\t\t\"columns\": [\"alpha\", \"beta\", \"gamma\", \"delta\", " + n + L"],\n";
        text += L"\t\t\"layout\": {\"rows\": [[\"a\", \"b\"], [\"c\", \"d\"]], \"font\": {\"face\": \"Sans\", "
                L"\"size\": 9}}\n";
        text += L"\t},\n";
    }
    text += L"\t\"end\": true\n}\n";
    return text;
}

// Every node's children and value, so that nothing is left unread.
void ReadAll(JsonNode node)
{
    wchar_t* value = JsonGetString(node);
    JsonFreeString(value);
    for (JsonIterator it = JsonBegin(node), end = JsonEnd(node); it != end; ++it)
        ReadAll(*it);
}

int Quiet(const wchar_t*, UINT, void*)
{
    return 1;
}

struct Fixture {
    std::wstring text;
    std::string folder;
    CTqEnvJson* doc = nullptr;

    Fixture()
    {
        zv::SetMessageHandler(&Quiet);
        text = MakeDocument();
        const std::wstring sub = L"zvbench-" + std::to_wstring(getpid());
        doc = fnTqEnvMgr()->GetJson(L"large", 0, sub.c_str());
        folder = std::filesystem::path(doc->GetPath().ToUtf8()).parent_path().string();
        std::string bytes("\xFF\xFE", 2);
        bytes += zv::text::EncodeUtf16le(text);
        std::ofstream(doc->GetPath().ToUtf8(), std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        doc->Load();
    }
    ~Fixture()
    {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
};

Fixture& Shared()
{
    static Fixture fixture;
    return fixture;
}

void BM_ValidatorOnly(benchmark::State& state)
{
    Fixture& f = Shared();
    if (!g_pfnJsonCppParse) {
        state.SkipWithError("the validator module is not next to the executable");
        return;
    }
    for (auto _ : state) {
        CString error;
        benchmark::DoNotOptimize(g_pfnJsonCppParse(f.text.c_str(), &error, 1));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.text.size() * 2));
}
BENCHMARK(BM_ValidatorOnly)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_Load(benchmark::State& state)
{
    Fixture& f = Shared();
    for (auto _ : state)
        f.doc->Load();
    if (!f.doc->GetJson())
        state.SkipWithError("the document did not load");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.text.size() * 2));
}
BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The calling thread's processor time in seconds: on a busy machine the wall
// clock mostly measures waiting.
double ThreadSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Both in turn, so that caches and allocator treat them alike; the counter is
// the load's processor time over the validator's.
void BM_LoadOverValidator(benchmark::State& state)
{
    Fixture& f = Shared();
    if (!g_pfnJsonCppParse) {
        state.SkipWithError("the validator module is not next to the executable");
        return;
    }
    double validating = 0, loading = 0;
    for (auto _ : state) {
        const double t0 = ThreadSeconds();
        CString error;
        benchmark::DoNotOptimize(g_pfnJsonCppParse(f.text.c_str(), &error, 1));
        const double t1 = ThreadSeconds();
        f.doc->Load();
        loading += ThreadSeconds() - t1;
        validating += t1 - t0;
    }
    state.counters["load_over_validator"] = loading / validating;
}
BENCHMARK(BM_LoadOverValidator)->Unit(benchmark::kMillisecond)->MinTime(4.0);

// The two parts of a load besides the validator: decoding the file's bytes
// and the engine's first pass over the text.
void BM_LoadPartDecode(benchmark::State& state)
{
    Fixture& f = Shared();
    std::string bytes("\xFF\xFE", 2);
    bytes += zv::text::EncodeUtf16le(f.text);
    for (auto _ : state)
        benchmark::DoNotOptimize(zv::text::DecodeJsonFile(bytes.data(), bytes.size()));
}
BENCHMARK(BM_LoadPartDecode)->Unit(benchmark::kMillisecond);

void BM_LoadPartEngineParse(benchmark::State& state)
{
    Fixture& f = Shared();
    for (auto _ : state)
        JsonDeleteNode(JsonParse(f.text.c_str()));
}
BENCHMARK(BM_LoadPartEngineParse)->Unit(benchmark::kMillisecond);

void BM_SaveFullyRead(benchmark::State& state)
{
    Fixture& f = Shared();
    f.doc->Load();
    if (!f.doc->GetJson()) {
        state.SkipWithError("the document did not load");
        return;
    }
    ReadAll(f.doc->GetJson());
    for (auto _ : state) {
        f.doc->SetDirty(1);
        f.doc->Save();
    }
    if (f.doc->IsDirty())
        state.SkipWithError("the document was not saved");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.text.size() * 2));
}
BENCHMARK(BM_SaveFullyRead)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

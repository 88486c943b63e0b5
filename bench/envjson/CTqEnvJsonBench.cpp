#include <zvenv/CTqEnvJson.h>
#include <zvenv/CTqEnvMgr.h>
#include <zvenv/platform/Message.h>
#include <zvenv/platform/Text.h>

#include "envjson/JsonFileText.h"
#include "envjson/JsonValidator.h"
#include "json/Json.h"
#include "json/JsonMerge.h"

#include <zvenv/platform/Os.h>

#include "LargeDocument.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <string>
#include <time.h>
#include <unistd.h>

// Loading a large document against the validator's own time on the same text,
// and saving the same document once every node of it has been read: when the
// file is as the document left it, and when another program changed it.
namespace {

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
        text = MakeLargeDocument();
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

// With range(0) set the validator accepts every text at no cost, so that the
// figures show the library's own work apart from the validator's.
class ValidatorChoice {
public:
    explicit ValidatorChoice(bool free) : m_real(g_pfnJsonCppParse)
    {
        if (free)
            g_pfnJsonCppParse = [](const wchar_t*, CString*, int) { return 1; };
    }
    ~ValidatorChoice() { g_pfnJsonCppParse = m_real; }

private:
    JsonCppParseFn m_real;
};

void BM_LoadWithValidator(benchmark::State& state)
{
    Fixture& f = Shared();
    ValidatorChoice validator(state.range(0) != 0);
    for (auto _ : state)
        f.doc->Load();
}
BENCHMARK(BM_LoadWithValidator)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_SaveFullyRead(benchmark::State& state)
{
    Fixture& f = Shared();
    ValidatorChoice validator(state.range(0) != 0);
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
BENCHMARK(BM_SaveFullyRead)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The save as it was before saves merged and were checked: the formatted
// text, framed and written atomically. The yardstick of the two below.
void BM_SaveAsBefore(benchmark::State& state)
{
    Fixture& f = Shared();
    f.doc->Load();
    ReadAll(f.doc->GetJson());
    const CString path = f.doc->GetPath();
    for (auto _ : state) {
        wchar_t* text = JsonWriteFormatted(f.doc->GetJson());
        const std::string bytes = zv::envjson::EncodeDocumentFile(text);
        JsonFreeString(text);
        if (!zv::os::WriteFileAtomic(path, bytes.data(), bytes.size()))
            state.SkipWithError("the file could not be written");
    }
}
BENCHMARK(BM_SaveAsBefore)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// What a save adds to it when the file is unchanged, part by part.
void BM_SavePartStamp(benchmark::State& state)
{
    Fixture& f = Shared();
    const CString path = f.doc->GetPath();
    zv::os::FileStamp stamp;
    for (auto _ : state)
        benchmark::DoNotOptimize(zv::os::GetFileStamp(path, stamp));
}
BENCHMARK(BM_SavePartStamp)->Unit(benchmark::kMicrosecond);

void BM_SavePartValidateWritten(benchmark::State& state)
{
    Fixture& f = Shared();
    f.doc->Load();
    ReadAll(f.doc->GetJson());
    wchar_t* text = JsonWriteFormatted(f.doc->GetJson());
    for (auto _ : state) {
        CString error;
        benchmark::DoNotOptimize(g_pfnJsonCppParse(text, &error, 1));
    }
    JsonFreeString(text);
}
BENCHMARK(BM_SavePartValidateWritten)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The heap a document takes once every node has been read, against the
// engine's tree alone: the difference is the version the document keeps for
// merging. After a load that is a copy sharing all it can with the tree (in
// practice the members of each level read are held twice); after a save it
// is the bytes written.
void BM_KeptVersionMemory(benchmark::State& state)
{
    Fixture& f = Shared();
    const std::filesystem::path copy = std::filesystem::path(f.folder) / "measured.json";
    std::filesystem::copy_file(f.doc->GetPath().ToUtf8(), copy, std::filesystem::copy_options::overwrite_existing);
    const std::wstring sub = L"zvbench-" + std::to_wstring(getpid());
    double tree = 0, loaded = 0, saved = 0, file = 0;
    // Heap in use, mapped blocks included: the allocator's threshold for
    // mapping moves with what was freed before.
    auto inUse = [] {
        const struct mallinfo2 info = mallinfo2();
        return info.uordblks + info.hblkhd;
    };
    for (auto _ : state) {
        std::size_t before = inUse();
        JsonNode root = JsonParse(f.text.c_str());
        ReadAll(root);
        tree = static_cast<double>(inUse() - before);
        JsonDeleteNode(root);

        before = inUse();
        CTqEnvJson* doc = fnTqEnvMgr()->GetJson(L"measured", 0, sub.c_str());
        ReadAll(doc->GetJson());
        loaded = static_cast<double>(inUse() - before);
        doc->SetDirty(1);
        doc->Save();
        saved = static_cast<double>(inUse() - before);
        file = static_cast<double>(std::filesystem::file_size(doc->GetPath().ToUtf8()));
        fnTqEnvMgr()->DeleteJson(L"measured", sub.c_str(), 1);
    }
    state.counters["tree_MB"] = tree / (1024.0 * 1024.0);
    state.counters["loaded_MB"] = loaded / (1024.0 * 1024.0);
    state.counters["saved_MB"] = saved / (1024.0 * 1024.0);
    state.counters["file_MB"] = file / (1024.0 * 1024.0);
}
BENCHMARK(BM_KeptVersionMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

// A save after another program replaced the file with a version in which one
// member differs: the file is read, validated and parsed, merged into the
// document (which changed a member of its own) and the result written.
// range(0): 1 when the document has read every node, 0 when only the member
// it changes; range(1): the validator as in BM_SaveFullyRead; range(2): 1 when
// the other program is this library (its file written as this library writes
// it, so unchanged members compare by their text), 0 when it writes the text
// otherwise (escapes this library does not write, so every member is compared
// by value).
void BM_SaveAfterAnotherProgram(benchmark::State& state)
{
    Fixture& f = Shared();
    ValidatorChoice validator(state.range(1) != 0);
    f.doc->Load();
    if (state.range(0))
        ReadAll(f.doc->GetJson());
    const std::string path = f.doc->GetPath().ToUtf8();
    std::wstring written = f.text;
    if (state.range(2)) {
        wchar_t* text = JsonWriteFormatted(f.doc->GetJson());
        written = text;
        JsonFreeString(text);
    }
    // The last member, "end", on a line of its own, holds another number in
    // each of the two versions.
    std::wstring theirs[2] = {written, written};
    for (int i = 0; i < 2; ++i) {
        const std::size_t at = theirs[i].rfind(L"\"end\"");
        theirs[i].replace(at, theirs[i].find(L'\n', at) - at, i ? L"\"end\": 2000" : L"\"end\": 1000");
    }
    std::string files[2];
    for (int i = 0; i < 2; ++i)
        files[i] = zv::envjson::EncodeDocumentFile(theirs[i].c_str());
    void* record = *f.doc->GetIterator(L"record0");
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const std::string& bytes = files[round % 2];
        std::ofstream(path + ".other", std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        std::filesystem::rename(path + ".other", path);
        f.doc->SetInt(L"id", ++round, record);
        state.ResumeTiming();
        f.doc->Save();
    }
    if (f.doc->IsDirty() || f.doc->GetInt(L"end", -1) != ((round - 1) % 2 ? 2000 : 1000))
        state.SkipWithError("the save did not merge");
}
BENCHMARK(BM_SaveAfterAnotherProgram)
    ->Args({0, 0, 0})
    ->Args({1, 0, 0})
    ->Args({0, 1, 0})
    ->Args({1, 1, 0})
    ->Args({0, 0, 1})
    ->Args({1, 0, 1})
    ->Args({0, 1, 1})
    ->Args({1, 1, 1})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);

} // namespace

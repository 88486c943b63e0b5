// The JSON engine against jsoncpp on one 10 MB document: reading it whole,
// opening it and reading one member, reading every value, and writing it out
// with indentation.
#include "json/Json.h"

#include <zvenv/platform/Text.h>

#include <benchmark/benchmark.h>
#include <json/json.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

// Objects and arrays of mixed values, four levels deep, about 10 MB.
const std::string& DocumentText()
{
    static const std::string text = [] {
        std::mt19937 random(42);
        auto below = [&](int bound) { return std::uniform_int_distribution<int>(0, bound - 1)(random); };
        const char* words[] = {"alpha",
                               "beta",
                               "gamma",
                               "delta",
                               "window",
                               "screen",
                               "menu",
                               "caf\xC3\xA9",
                               "quote \\\"q\\\"",
                               "path\\\\to\\\\file",
                               "tab\\tand\\nline",
                               "\\u00e9t\\u00e9"};
        std::string out = "{\n";
        int item = 0;
        while (out.size() < 10 * 1000 * 1000) {
            if (item)
                out += ",\n";
            out += "  \"item" + std::to_string(item++) + "\": {\n";
            out += "    \"id\": " + std::to_string(below(1000000)) + ",\n";
            out += "    \"name\": \"" + std::string(words[below(12)]) + " " + std::to_string(below(1000)) + "\",\n";
            out += "    \"enabled\": " + std::string(below(2) ? "true" : "false") + ",\n";
            out += "    \"ratio\": " + std::to_string(below(10000) / 100.0) + ",\n";
            out += "    \"missing\": null,\n";
            out += "    \"values\": [";
            for (int i = 0, n = 4 + below(12); i < n; ++i)
                out += (i ? ", " : "") + std::to_string(below(100000) - 50000);
            out += "],\n    \"rect\": {\"left\": 1, \"top\": 2, \"right\": " + std::to_string(below(2000)) +
                   ", \"bottom\": " + std::to_string(below(2000)) + "},\n";
            out += "    \"children\": [";
            for (int i = 0, n = 1 + below(4); i < n; ++i) {
                out += i ? ", " : "";
                out += "{\"key\": \"" + std::string(words[below(12)]) + "\", \"list\": [\"" + words[below(12)] +
                       "\", \"" + words[below(12)] + "\", " + std::to_string(below(100)) + ".5e-3], \"on\": true}";
            }
            out += "]\n  }";
        }
        out += "\n}\n";
        return out;
    }();
    return text;
}

const std::wstring& WideText()
{
    static const std::wstring text = zv::text::DecodeUtf8Lenient(DocumentText());
    return text;
}

Json::Value JsoncppParse()
{
    const std::string& text = DocumentText();
    Json::CharReaderBuilder builder;
    builder["allowComments"] = true;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value root;
    std::string errors;
    if (!reader->parse(text.data(), text.data() + text.size(), &root, &errors))
        throw std::runtime_error(errors);
    return root;
}

// Reads every name and value of the tree, level by level.
std::size_t ReadEverything(JsonNode root)
{
    std::size_t characters = 0;
    std::vector<JsonNode> pending{root};
    while (!pending.empty()) {
        JsonNode node = pending.back();
        pending.pop_back();
        const JsonNodeType type = JsonGetType(node);
        if (type == JsonArray || type == JsonObject) {
            for (JsonIterator it = JsonBegin(node), end = JsonEnd(node); it != end; ++it)
                pending.push_back(*it);
            continue;
        }
        wchar_t* name = JsonGetName(node);
        wchar_t* value = JsonGetString(node);
        characters += std::wcslen(name) + std::wcslen(value);
        JsonFreeString(name);
        JsonFreeString(value);
    }
    return characters;
}

void JsoncppFullParse(benchmark::State& state)
{
    for (auto _ : state) {
        Json::Value root = JsoncppParse();
        benchmark::DoNotOptimize(root);
    }
    state.SetBytesProcessed(state.iterations() * DocumentText().size());
}

void EngineParse(benchmark::State& state)
{
    const std::wstring& text = WideText();
    for (auto _ : state) {
        JsonNode root = JsonParse(text.c_str());
        benchmark::DoNotOptimize(root);
        JsonDeleteNode(root);
    }
    state.SetBytesProcessed(state.iterations() * DocumentText().size());
}

void EngineParseAndOneMember(benchmark::State& state)
{
    const std::wstring& text = WideText();
    for (auto _ : state) {
        JsonNode root = JsonParse(text.c_str());
        JsonIterator it = JsonFindChild(root, L"item500");
        int size = it != JsonEnd(root) ? JsonGetSize(*it) : -1;
        benchmark::DoNotOptimize(size);
        JsonDeleteNode(root);
    }
    state.SetBytesProcessed(state.iterations() * DocumentText().size());
}

void EngineFullTraversal(benchmark::State& state)
{
    const std::wstring& text = WideText();
    for (auto _ : state) {
        JsonNode root = JsonParse(text.c_str());
        benchmark::DoNotOptimize(ReadEverything(root));
        JsonDeleteNode(root);
    }
    state.SetBytesProcessed(state.iterations() * DocumentText().size());
}

void EngineWriteFormatted(benchmark::State& state)
{
    JsonNode root = JsonParse(WideText().c_str());
    ReadEverything(root);
    for (auto _ : state) {
        wchar_t* text = JsonWriteFormatted(root);
        benchmark::DoNotOptimize(text);
        JsonFreeString(text);
    }
    wchar_t* text = JsonWriteFormatted(root);
    const std::size_t size = std::wcslen(text);
    JsonFreeString(text);
    JsonDeleteNode(root);
    state.counters["chars"] = static_cast<double>(size);
    state.SetBytesProcessed(state.iterations() * DocumentText().size());
}

void JsoncppStyledWriter(benchmark::State& state)
{
    const Json::Value root = JsoncppParse();
    std::size_t size = 0;
    for (auto _ : state) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
        Json::StyledWriter writer;
#pragma GCC diagnostic pop
        const std::string text = writer.write(root);
        size = text.size();
    }
    state.counters["chars"] = static_cast<double>(size);
    state.SetBytesProcessed(state.iterations() * DocumentText().size());
}

void JsoncppStreamWriter(benchmark::State& state)
{
    const Json::Value root = JsoncppParse();
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "\t";
    std::size_t size = 0;
    for (auto _ : state) {
        const std::string text = Json::writeString(builder, root);
        size = text.size();
    }
    state.counters["chars"] = static_cast<double>(size);
    state.SetBytesProcessed(state.iterations() * DocumentText().size());
}

} // namespace

// An object of n members, "m0" to "m<n-1>", read but never searched.
std::wstring FlatObject(int members)
{
    std::wstring text = L"{";
    for (int i = 0; i < members; ++i)
        text += (i ? L",\"m" : L"\"m") + std::to_wstring(i) + L"\":" + std::to_wstring(i);
    return text + L"}";
}

// The first search of an object by name, which builds the index of its members.
void EngineFirstSearch(benchmark::State& state)
{
    const int members = static_cast<int>(state.range(0));
    const std::wstring text = FlatObject(members);
    const std::wstring wanted = L"m" + std::to_wstring(members / 2);
    for (auto _ : state) {
        state.PauseTiming();
        JsonNode root = JsonParse(text.c_str());
        JsonGetSize(root);
        state.ResumeTiming();
        benchmark::DoNotOptimize(JsonFindChild(root, wanted.c_str()));
        state.PauseTiming();
        JsonDeleteNode(root);
        state.ResumeTiming();
    }
    state.counters["ns_per_member"] = benchmark::Counter(
        static_cast<double>(members), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Every later search: one probe of the index, whatever the object's size.
void EngineLaterSearch(benchmark::State& state)
{
    const int members = static_cast<int>(state.range(0));
    JsonNode root = JsonParse(FlatObject(members).c_str());
    const std::wstring wanted = L"m" + std::to_wstring(members / 2);
    JsonFindChild(root, wanted.c_str());
    for (auto _ : state)
        benchmark::DoNotOptimize(JsonFindChild(root, wanted.c_str()));
    JsonDeleteNode(root);
}

BENCHMARK(EngineFirstSearch)->Arg(1000)->Arg(10000)->Arg(250000)->Unit(benchmark::kMicrosecond);
BENCHMARK(EngineLaterSearch)->Arg(1000)->Arg(10000)->Arg(250000);
BENCHMARK(JsoncppFullParse)->Unit(benchmark::kMillisecond);
BENCHMARK(EngineParse)->Unit(benchmark::kMillisecond);
BENCHMARK(EngineParseAndOneMember)->Unit(benchmark::kMillisecond);
BENCHMARK(EngineFullTraversal)->Unit(benchmark::kMillisecond);
BENCHMARK(EngineWriteFormatted)->Unit(benchmark::kMillisecond);
BENCHMARK(JsoncppStyledWriter)->Unit(benchmark::kMillisecond);
BENCHMARK(JsoncppStreamWriter)->Unit(benchmark::kMillisecond);

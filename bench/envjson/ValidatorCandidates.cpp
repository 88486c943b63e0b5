// The validators that could stand behind JSONCPP_Parse, side by side on the
// same 10 MB text (wide characters, as the loader hands it over): the
// grammar scanner the module is built from, RapidJSON's and nlohmann-json's
// SAX readers with comments allowed (header only, both build with
// mingw-w64), and the jsoncpp wrapper the module used before. Each reader
// counts nesting and stops beyond the same depth limit.
#include <zvenv/platform/CString.h>
#include <zvenv/platform/Text.h>

#include "json/JsonGrammar.h"

#include "LargeDocument.h"

#include <benchmark/benchmark.h>
#include <json/json.h>
#include <nlohmann/json.hpp>
#include <rapidjson/reader.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <type_traits>

extern "C" int JSONCPP_Parse(const wchar_t* text, CString* error, int flag);

namespace {

const std::wstring& Text()
{
    static const std::wstring text = MakeLargeDocument();
    return text;
}

void Report(benchmark::State& state, bool valid)
{
    if (!valid)
        state.SkipWithError("the candidate refused the document");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Text().size() * 2));
}

void Module(benchmark::State& state)
{
    int result = 0;
    for (auto _ : state) {
        CString error;
        result = JSONCPP_Parse(Text().c_str(), &error, 1);
        benchmark::DoNotOptimize(result);
    }
    Report(state, result == 1);
}

// The scanner alone, without the module's entry point around it.
void Scanner(benchmark::State& state)
{
    bool valid = false;
    for (auto _ : state) {
        zv::json::NullGrammarSink sink;
        valid = zv::json::ScanDocument(Text().c_str(), Text().size(), sink).ok();
        benchmark::DoNotOptimize(valid);
    }
    Report(state, valid);
}

// RapidJSON reads UTF-32 or UTF-16 input directly, whichever wchar_t holds.
using WideEncoding = std::conditional_t<sizeof(wchar_t) == 4, rapidjson::UTF32<wchar_t>, rapidjson::UTF16<wchar_t>>;

struct DepthHandler : rapidjson::BaseReaderHandler<WideEncoding, DepthHandler> {
    unsigned depth = 0;
    bool StartObject() { return ++depth <= zv::json::kMaxDepth; }
    bool StartArray() { return ++depth <= zv::json::kMaxDepth; }
    bool EndObject(rapidjson::SizeType)
    {
        --depth;
        return true;
    }
    bool EndArray(rapidjson::SizeType)
    {
        --depth;
        return true;
    }
};

void RapidJsonSax(benchmark::State& state)
{
    constexpr unsigned kFlags =
        rapidjson::kParseCommentsFlag | rapidjson::kParseTrailingCommasFlag | rapidjson::kParseIterativeFlag;
    bool valid = false;
    for (auto _ : state) {
        rapidjson::GenericReader<WideEncoding, WideEncoding> reader;
        rapidjson::GenericStringStream<WideEncoding> stream(Text().c_str());
        DepthHandler handler;
        valid = !reader.Parse<kFlags>(stream, handler).IsError();
        benchmark::DoNotOptimize(valid);
    }
    Report(state, valid);
}

// nlohmann-json's SAX interface has comments but no trailing commas.
struct NlohmannDepth : nlohmann::json_sax<nlohmann::json> {
    unsigned depth = 0;
    bool null() override { return true; }
    bool boolean(bool) override { return true; }
    bool number_integer(number_integer_t) override { return true; }
    bool number_unsigned(number_unsigned_t) override { return true; }
    bool number_float(number_float_t, const string_t&) override { return true; }
    bool string(string_t&) override { return true; }
    bool binary(binary_t&) override { return true; }
    bool start_object(std::size_t) override { return ++depth <= zv::json::kMaxDepth; }
    bool key(string_t&) override { return true; }
    bool end_object() override
    {
        --depth;
        return true;
    }
    bool start_array(std::size_t) override { return ++depth <= zv::json::kMaxDepth; }
    bool end_array() override
    {
        --depth;
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }
};

void NlohmannSax(benchmark::State& state)
{
    bool valid = false;
    for (auto _ : state) {
        NlohmannDepth sax;
        valid = nlohmann::json::sax_parse(Text().begin(), Text().end(), &sax, nlohmann::json::input_format_t::json,
                                          true, true);
        benchmark::DoNotOptimize(valid);
    }
    Report(state, valid);
}

// The module's previous code: the text as UTF-8 through jsoncpp's reader.
void JsoncppWrapper(benchmark::State& state)
{
    bool valid = false;
    for (auto _ : state) {
        const std::string utf8 = zv::text::EncodeUtf8(Text());
        Json::CharReaderBuilder builder;
        builder["allowComments"] = true;
        builder["collectComments"] = false;
        builder["strictRoot"] = true;
        builder["failIfExtra"] = true;
        builder["stackLimit"] = static_cast<int>(zv::json::kMaxDepth);
        const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
        Json::Value root;
        std::string description;
        try {
            valid = reader->parse(utf8.data(), utf8.data() + utf8.size(), &root, &description);
        } catch (const std::exception&) {
            valid = false;
        }
        benchmark::DoNotOptimize(root);
    }
    Report(state, valid);
}

} // namespace

BENCHMARK(Module)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(Scanner)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(RapidJsonSax)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(NlohmannSax)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(JsoncppWrapper)->Unit(benchmark::kMillisecond)->MinTime(1.0);

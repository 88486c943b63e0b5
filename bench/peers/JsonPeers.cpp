// The JSON comparison: the document class (CTqEnvJson) and the engine under it
// against jsoncpp and nlohmann-json, on the same UTF-16LE file. Every run
// starts from the original file and goes load, read all, read one, change,
// save; each step's median over the runs is kept.
#include "PeerTiming.h"
#include "Peers.h"

#include <zvenv/CTqEnvMgr.h>
#include <zvenv/platform/Os.h>
#include <zvenv/platform/Text.h>

#include "envjson/JsonFileText.h"
#include "json/Json.h"

#include <json/json.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <fstream>
#include <functional>
#include <memory>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace peers {
namespace {

constexpr int kReadOneCalls = 1000;

[[noreturn]] void Fail(const std::string& what)
{
    std::fprintf(stderr, "peers: %s\n", what.c_str());
    std::exit(1);
}

void Expect(bool ok, const std::string& what)
{
    if (!ok)
        Fail(what);
}

// A settings-like document of records until the text reaches textSize
// characters; returns the number of records.
int MakeDocument(long textSize, std::wstring& text)
{
    text = L"{\n";
    int records = 0;
    while (static_cast<long>(text.size()) < textSize) {
        const std::wstring n = std::to_wstring(records);
        if (records)
            text += L",\n";
        text += L"\t\"record" + n + L"\": {\n";
        text += L"\t\t\"name\": \"Record number " + n + L"\",\n";
        text += L"\t\t\"id\": " + n + L",\n";
        text += L"\t\t\"scale\": -12.5,\n";
        text += L"\t\t\"visible\": true,\n";
        text += L"\t\t\"rect\": \"10,20,300,400\",\n";
        text += L"\t\t\"columns\": [\"alpha\", \"beta\", \"gamma\"],\n";
        text += L"\t\t\"font\": {\"face\": \"Sans\", \"size\": 9}\n";
        text += L"\t}";
        ++records;
    }
    text += L"\n}\n";
    return records;
}

// What every implementation reads of one record, summed to one number so
// that the results can be compared and nothing is optimised away.
struct Tally {
    long long chars = 0;
    long long numbers = 0;
    bool operator==(const Tally& o) const { return chars == o.chars && numbers == o.numbers; }
};

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

// --- the document class ---------------------------------------------------

void ReadAllDocument(CTqEnvJson* doc, Tally& t)
{
    CStringArray columns;
    for (void **it = doc->GetBeginIterator(), **end = doc->GetEndIterator(); it != end; ++it) {
        void* record = *it;
        t.chars += doc->GetString(L"name", L"", record).GetLength();
        t.numbers += doc->GetInt(L"id", 0, record);
        t.numbers += static_cast<long long>(doc->GetDouble(L"scale", 0, record));
        t.chars += doc->GetString(L"visible", L"", record).GetLength();
        t.chars += doc->GetString(L"rect", L"", record).GetLength();
        columns.RemoveAll(); // GetArray appends
        doc->GetArray(L"columns", columns, record);
        for (int i = 0; i < columns.GetSize(); ++i)
            t.chars += columns[i].GetLength();
        void** font = doc->GetIterator(L"font", record);
        t.chars += doc->GetString(L"face", L"", *font).GetLength();
        t.numbers += doc->GetInt(L"size", 0, *font);
    }
}

// --- the engine -----------------------------------------------------------

JsonNode Member(JsonNode parent, const wchar_t* name)
{
    JsonIterator it = JsonFindChild(parent, name);
    return it && it != JsonEnd(parent) ? *it : nullptr;
}

long long EngineText(JsonNode node)
{
    wchar_t* text = JsonGetString(node);
    const long long length = text ? static_cast<long long>(std::wcslen(text)) : 0;
    JsonFreeString(text);
    return length;
}

long long EngineNumber(JsonNode node)
{
    wchar_t* text = JsonGetString(node);
    const double value = text ? std::wcstod(text, nullptr) : 0;
    JsonFreeString(text);
    return static_cast<long long>(value);
}

void ReadAllEngine(JsonNode root, Tally& t)
{
    for (JsonIterator it = JsonBegin(root), end = JsonEnd(root); it != end; ++it) {
        JsonNode record = *it;
        t.chars += EngineText(Member(record, L"name"));
        t.numbers += EngineNumber(Member(record, L"id"));
        t.numbers += EngineNumber(Member(record, L"scale"));
        t.chars += EngineText(Member(record, L"visible"));
        t.chars += EngineText(Member(record, L"rect"));
        JsonNode columns = Member(record, L"columns");
        for (JsonIterator c = JsonBegin(columns), cend = JsonEnd(columns); c != cend; ++c)
            t.chars += EngineText(*c);
        JsonNode font = Member(record, L"font");
        t.chars += EngineText(Member(font, L"face"));
        t.numbers += EngineNumber(Member(font, L"size"));
    }
}

// --- jsoncpp ----------------------------------------------------------------

void ReadAllJsonCpp(const Json::Value& root, Tally& t)
{
    for (const Json::Value& record : root) {
        t.chars += static_cast<long long>(record["name"].asString().size());
        t.numbers += record["id"].asInt();
        t.numbers += static_cast<long long>(record["scale"].asDouble());
        t.chars += record["visible"].asBool() ? 4 : 5;
        t.chars += static_cast<long long>(record["rect"].asString().size());
        for (const Json::Value& column : record["columns"])
            t.chars += static_cast<long long>(column.asString().size());
        const Json::Value& font = record["font"];
        t.chars += static_cast<long long>(font["face"].asString().size());
        t.numbers += font["size"].asInt();
    }
}

// --- nlohmann-json ------------------------------------------------------------

void ReadAllNlohmann(const nlohmann::json& root, Tally& t)
{
    for (const auto& record : root) {
        t.chars += static_cast<long long>(record.at("name").get<std::string>().size());
        t.numbers += record.at("id").get<int>();
        t.numbers += static_cast<long long>(record.at("scale").get<double>());
        t.chars += record.at("visible").get<bool>() ? 4 : 5;
        t.chars += static_cast<long long>(record.at("rect").get<std::string>().size());
        for (const auto& column : record.at("columns"))
            t.chars += static_cast<long long>(column.get<std::string>().size());
        const auto& font = record.at("font");
        t.chars += static_cast<long long>(font.at("face").get<std::string>().size());
        t.numbers += font.at("size").get<int>();
    }
}

// The write of CTqEnvJson::Save: a temporary file, synced, renamed over the
// document.
void WriteDurably(const CString& path, const std::string& bytes)
{
    Expect(zv::os::WriteFileAtomic(path, bytes.data(), bytes.size()), "cannot save");
}

double Seconds(const std::chrono::steady_clock::time_point& start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// One implementation's steps, each timed on every run. save writes as the
// document class does (temporary file, fsync, rename); savePlain, where
// given, is the same save with a truncating rewrite in place and no sync,
// as programs using the peers usually write.
struct Steps {
    std::function<void()> load, readAll, readOne, change, save, savePlain, drop;
};

constexpr int kStepCount = 6;
const char* const kSteps[kStepCount] = {"load", "read_all", "read_one", "change", "save", "save_plain"};

void Run(const std::string& impl, long size, int runs, const std::function<void()>& restore, Steps steps, Recorder& out)
{
    std::vector<double> times[kStepCount], cpu[kStepCount], user[kStepCount];
    for (int r = 0; r < runs; ++r) {
        restore();
        const std::function<void()>* order[kStepCount] = {&steps.load,   &steps.readAll, &steps.readOne,
                                                          &steps.change, &steps.save,    &steps.savePlain};
        for (int s = 0; s < kStepCount; ++s) {
            if (!*order[s])
                continue;
            const int calls = s == 2 ? kReadOneCalls : 1;
            // The calls of "read one" are made once untimed, as the INI rows
            // read their key once first: the first search of an object builds
            // its index, measured on its own by json_bench.
            if (s == 2)
                (*order[s])();
            const double cpuStart = CpuSeconds();
            const double userStart = UserSeconds();
            const auto start = std::chrono::steady_clock::now();
            (*order[s])();
            times[s].push_back(Seconds(start) / calls);
            cpu[s].push_back((CpuSeconds() - cpuStart) / calls);
            user[s].push_back((UserSeconds() - userStart) / calls);
        }
        steps.drop();
    }
    for (int s = 0; s < kStepCount; ++s) {
        if (times[s].empty())
            continue;
        Figure f;
        f.seconds = Median(times[s]);
        f.cpuSeconds = Median(cpu[s]);
        f.userSeconds = Median(user[s]);
        f.runs = static_cast<int>(times[s].size());
        out.Add(f, "json", kSteps[s], impl, size);
    }
}

// A field of /proc/self/status in bytes (VmRSS, VmHWM).
long long StatusBytes(const std::string& field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.compare(0, field.size() + 1, field + ":") == 0)
            return std::atoll(line.c_str() + field.size() + 1) * 1024;
    return 0;
}

// Runs this program again as `jsonmem <impl> <size> <path>` and returns what it
// printed: the three figures of MeasureJsonMemory.
std::vector<long long> SpawnMemoryChild(const std::string& impl, long textSize, const std::string& path)
{
    int fds[2];
    Expect(pipe(fds) == 0, "no pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    const std::string self = "/proc/self/exe", size = std::to_string(textSize);
    std::vector<char*> args{const_cast<char*>(self.c_str()), const_cast<char*>("jsonmem"),
                            const_cast<char*>(impl.c_str()), const_cast<char*>(size.c_str()),
                            const_cast<char*>(path.c_str()), nullptr};
    pid_t pid = 0;
    Expect(posix_spawn(&pid, self.c_str(), &actions, nullptr, args.data(), environ) == 0, "cannot spawn");
    close(fds[1]);
    std::string text;
    char chunk[256];
    ssize_t got;
    while ((got = read(fds[0], chunk, sizeof chunk)) > 0)
        text.append(chunk, static_cast<std::size_t>(got));
    close(fds[0]);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    waitpid(pid, &status, 0);
    Expect(WIFEXITED(status) && WEXITSTATUS(status) == 0, "the memory run of " + impl + " failed");
    std::vector<long long> figures;
    for (const char* at = text.c_str(); *at;) {
        char* end = nullptr;
        figures.push_back(std::strtoll(at, &end, 10));
        if (end == at)
            break;
        at = end;
    }
    Expect(figures.size() >= 3, "the memory run of " + impl + " printed " + text);
    return figures;
}

} // namespace

int MeasureJsonMemory(const std::string& impl, long textSize, const std::string& path)
{
    // Everything the process holds before the load is left out: the
    // manager's own start for CTqEnvJson.
    CTqEnvMgr* mgr = impl == "CTqEnvJson" ? fnTqEnvMgr() : nullptr;
    const long long before = StatusBytes("VmRSS");
    {
        std::ofstream("/proc/self/clear_refs") << "5";
    } // the peak starts again from here
    Tally t;
    long long loaded = 0;
    nlohmann::json nl;
    Json::Value jc;
    JsonNode root = nullptr;
    if (impl == "CTqEnvJson") {
        const CString name = CString(L"json") + CString(std::to_wstring(textSize).c_str());
        CTqEnvJson* doc = mgr->GetJson(name, 0, L"peers");
        Expect(doc && doc->GetJson(), "CTqEnvJson did not load");
        loaded = StatusBytes("VmRSS");
        ReadAllDocument(doc, t);
    } else if (impl == "engine") {
        const std::string bytes = ReadBytes(path);
        const std::wstring decoded = zv::text::DecodeJsonFile(bytes.data(), bytes.size());
        root = JsonParse(decoded.c_str());
        loaded = StatusBytes("VmRSS");
        ReadAllEngine(root, t);
    } else if (impl == "nlohmann-json") {
        nl = nlohmann::json::parse(Utf16leToUtf8(ReadBytes(path)));
        loaded = StatusBytes("VmRSS");
        ReadAllNlohmann(nl, t);
    } else {
        const std::string utf8 = Utf16leToUtf8(ReadBytes(path));
        Json::CharReaderBuilder builder;
        const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
        std::string errors;
        Expect(reader->parse(utf8.data(), utf8.data() + utf8.size(), &jc, &errors), "jsoncpp: " + errors);
        loaded = StatusBytes("VmRSS");
        ReadAllJsonCpp(jc, t);
    }
    std::printf("%lld %lld %lld\n", StatusBytes("VmHWM") - before, loaded - before, StatusBytes("VmRSS") - before);
    return 0;
}

void RunJson(long textSize, Recorder& out)
{
    std::wstring text;
    const int records = MakeDocument(textSize, text);
    const std::string original = zv::envjson::EncodeDocumentFile(text.c_str());
    text.clear();
    text.shrink_to_fit();
    const int runs = textSize <= 2'000'000 ? 7 : textSize <= 20'000'000 ? 5 : 3;

    const CString name = CString(L"json") + CString(std::to_wstring(textSize).c_str());
    CTqEnvMgr* mgr = fnTqEnvMgr();
    CTqEnvJson* doc = mgr->GetJson(name, 0, L"peers");
    Expect(doc != nullptr, "no JSON document");
    const CString wpath = doc->GetPath();
    const std::string path = wpath.ToUtf8();
    mgr->DeleteJson(name, L"peers");
    doc = nullptr;
    auto restore = [&] { Expect(zv::os::WriteFileAtomic(wpath, original.data(), original.size()), "cannot write"); };

    const int middle = records / 2;
    const std::wstring middleName = L"record" + std::to_wstring(middle);
    const std::string middleNarrow = Narrow(middleName);
    std::vector<Tally> tallies;
    long long one = 0;

    // The document class: the manager loads the document when it is first
    // asked for, validating the text with the validator module.
    {
        Tally t;
        Steps s;
        s.load = [&] {
            doc = mgr->GetJson(name, 0, L"peers");
            Expect(doc && doc->GetJson(), "CTqEnvJson did not load");
        };
        s.readAll = [&] { ReadAllDocument(doc, t); };
        s.readOne = [&] {
            for (int c = 0; c < kReadOneCalls; ++c)
                one += doc->GetInt(L"id", 0, *doc->GetIterator(middleName.c_str()));
        };
        s.change = [&] {
            int i = 0;
            for (void **it = doc->GetBeginIterator(), **end = doc->GetEndIterator(); it != end; ++it)
                doc->SetInt(L"id", ++i, *it);
        };
        s.save = [&] { doc->Save(); };
        s.drop = [&] {
            mgr->DeleteJson(name, L"peers");
            doc = nullptr;
        };
        Run("CTqEnvJson", textSize, runs, restore, s, out);
        tallies.push_back(t);
    }
    // The engine alone: the file decoded and parsed, no validation.
    {
        Tally t;
        JsonNode root = nullptr;
        Steps s;
        s.load = [&] {
            const std::string bytes = ReadBytes(path);
            const std::wstring decoded = zv::text::DecodeJsonFile(bytes.data(), bytes.size());
            root = JsonParse(decoded.c_str());
            Expect(root != nullptr, "the engine did not parse");
        };
        s.readAll = [&] { ReadAllEngine(root, t); };
        s.readOne = [&] {
            for (int c = 0; c < kReadOneCalls; ++c)
                one += EngineNumber(Member(Member(root, middleName.c_str()), L"id"));
        };
        s.change = [&] {
            int i = 0;
            for (JsonIterator it = JsonBegin(root), end = JsonEnd(root); it != end; ++it)
                JsonSetInt(Member(*it, L"id"), ++i);
        };
        const auto engineText = [&] {
            wchar_t* written = JsonWriteFormatted(root);
            std::string bytes = zv::envjson::EncodeDocumentFile(written);
            JsonFreeString(written);
            return bytes;
        };
        s.save = [&] { WriteDurably(wpath, engineText()); };
        s.savePlain = [&] { WriteBytes(path, engineText()); };
        s.drop = [&] {
            JsonDeleteNode(root);
            root = nullptr;
        };
        Run("engine", textSize, runs, restore, s, out);
        tallies.push_back(t);
    }
    // jsoncpp: the file converted to UTF-8, parsed; saved tab-indented and
    // converted back.
    {
        Tally t;
        Json::Value root;
        Steps s;
        s.load = [&] {
            const std::string utf8 = Utf16leToUtf8(ReadBytes(path));
            Json::CharReaderBuilder builder;
            const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
            std::string errors;
            Expect(reader->parse(utf8.data(), utf8.data() + utf8.size(), &root, &errors), "jsoncpp: " + errors);
        };
        s.readAll = [&] { ReadAllJsonCpp(root, t); };
        s.readOne = [&] {
            for (int c = 0; c < kReadOneCalls; ++c)
                one += root[middleNarrow]["id"].asInt();
        };
        s.change = [&] {
            int i = 0;
            for (Json::Value& record : root)
                record["id"] = ++i;
        };
        const auto jsoncppText = [&] {
            Json::StreamWriterBuilder builder;
            builder["indentation"] = "\t";
            return Utf8ToUtf16le(Json::writeString(builder, root));
        };
        s.save = [&] { WriteDurably(wpath, jsoncppText()); };
        s.savePlain = [&] { WriteBytes(path, jsoncppText()); };
        s.drop = [&] { root = Json::Value(); };
        Run("jsoncpp", textSize, runs, restore, s, out);
        tallies.push_back(t);
    }
    // nlohmann-json, the same way.
    {
        Tally t;
        nlohmann::json root;
        Steps s;
        s.load = [&] { root = nlohmann::json::parse(Utf16leToUtf8(ReadBytes(path))); };
        s.readAll = [&] { ReadAllNlohmann(root, t); };
        s.readOne = [&] {
            for (int c = 0; c < kReadOneCalls; ++c)
                one += root.at(middleNarrow).at("id").get<int>();
        };
        s.change = [&] {
            int i = 0;
            for (auto& record : root)
                record["id"] = ++i;
        };
        s.save = [&] { WriteDurably(wpath, Utf8ToUtf16le(root.dump(1, '\t'))); };
        s.savePlain = [&] { WriteBytes(path, Utf8ToUtf16le(root.dump(1, '\t'))); };
        s.drop = [&] { root = nlohmann::json(); };
        Run("nlohmann-json", textSize, runs, restore, s, out);
        tallies.push_back(t);
    }
    for (const Tally& t : tallies) {
        if (!(t == tallies[0]))
            std::fprintf(stderr, "read %lld characters and %lld in numbers, against %lld and %lld\n", t.chars,
                         t.numbers, tallies[0].chars, tallies[0].numbers);
        Expect(t == tallies[0], "the implementations read different values");
    }
    Expect(one == static_cast<long long>(middle) * kReadOneCalls * runs * 4 * 2, "a single read gave a wrong value");

    // Memory, each implementation in a process of its own: the peak from
    // before the load to the end of reading every value, and what stays held
    // after the load and after the reads (resident bytes).
    for (const char* impl : {"CTqEnvJson", "engine", "jsoncpp", "nlohmann-json"}) {
        restore();
        const std::vector<long long> bytes = SpawnMemoryChild(impl, textSize, path);
        const char* ops[] = {"memory_peak", "memory_loaded", "memory_read"};
        for (int i = 0; i < 3; ++i) {
            Figure f;
            f.seconds = static_cast<double>(bytes[static_cast<std::size_t>(i)]);
            f.runs = 1;
            out.Add(f, "jsonmem", ops[i], impl, textSize, "bytes");
        }
    }
    restore();
}

} // namespace peers

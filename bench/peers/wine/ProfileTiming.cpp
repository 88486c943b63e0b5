// Times the platform's profile-file functions on the INI file the Linux side
// times: the same keys, the same values, the same four pieces of work.
//   profile_timing.exe <work.ini> <original.ini> <keys> <out.jsonl>
// Paths are Windows paths (Z:\... under wine). Figures are appended to
// out.jsonl in the Linux side's format.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kKeysPerSection = 100;
constexpr int kAddedKeys = 100;
constexpr int kReadOneCalls = 200;
constexpr int kMaxPerKeyWrites = 20;
constexpr int kFullWorkKeys = 1000;
constexpr int kSampledReads = 1000;
const char* const kImpl = "Wine kernel32";

std::wstring Section(int i)
{
    return L"Section" + std::to_wstring(i / kKeysPerSection);
}
std::wstring Key(int i)
{
    return L"Key" + std::to_wstring(i % kKeysPerSection);
}
std::wstring Value(int i)
{
    return L"value " + std::to_wstring(i) + L" of the settings";
}
std::wstring Changed(int i)
{
    return L"changed " + std::to_wstring(i) + L" of the settings";
}

std::wstring Wide(const char* text)
{
    const int n = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, -1, &out[0], n);
    out.resize(static_cast<std::size_t>(n > 0 ? n - 1 : 0));
    return out;
}

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "profile_timing: %s (error %lu)\n", what, GetLastError());
    std::exit(1);
}

std::string ReadAll(const std::wstring& path)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        Fail("cannot open the original file");
    std::string bytes(GetFileSize(h, nullptr), '\0');
    DWORD got = 0;
    if (!bytes.empty() &&
        (!ReadFile(h, &bytes[0], static_cast<DWORD>(bytes.size()), &got, nullptr) || got != bytes.size()))
        Fail("cannot read the original file");
    CloseHandle(h);
    return bytes;
}

// A fresh copy of the original with a new time stamp, so that no cached copy
// of the old file is taken for it.
void Restore(const std::wstring& path, const std::string& bytes)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        Fail("cannot create the work file");
    DWORD put = 0;
    if (!WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) || put != bytes.size())
        Fail("cannot write the work file");
    CloseHandle(h);
}

double Now()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::string Scaled(int done, int total)
{
    return done < total ? "timed on " + std::to_string(done) + " of " + std::to_string(total) + ", scaled" : "";
}

struct Figure {
    double seconds;
    int runs;
};

// Untimed setup, timed work: at least minRuns, at most maxRuns, and no more
// once the timed total passes budget seconds; the median is kept.
template <class Setup, class Work>
Figure Measure(Setup setup, Work work, int minRuns = 3, int maxRuns = 11, double budget = 2.0)
{
    std::vector<double> times;
    double total = 0;
    while (static_cast<int>(times.size()) < maxRuns && (static_cast<int>(times.size()) < minRuns || total < budget)) {
        setup();
        const double start = Now();
        work();
        const double seconds = Now() - start;
        times.push_back(seconds);
        total += seconds;
    }
    std::sort(times.begin(), times.end());
    const std::size_t n = times.size();
    return {n % 2 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2, static_cast<int>(n)};
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fputs("usage: profile_timing <work.ini> <original.ini> <keys> <out.jsonl>\n", stderr);
        return 2;
    }
    const std::wstring work = Wide(argv[1]);
    const std::string original = ReadAll(Wide(argv[2]));
    const int keys = std::atoi(argv[3]);
    FILE* out = std::fopen(argv[4], "ab");
    if (!out || keys <= 0)
        Fail("bad arguments");
    auto record = [&](const char* op, Figure f, const std::string& note) {
        char line[512];
        std::snprintf(line, sizeof line,
                      "{\"group\":\"ini\",\"op\":\"%s\",\"impl\":\"%s\",\"size\":%d,\"seconds\":%.9g,\"runs\":%d,"
                      "\"note\":\"%s\"}\n",
                      op, kImpl, keys, f.seconds, f.runs, note.c_str());
        std::fputs(line, out);
        std::fflush(out);
        std::fputs(line, stdout);
        std::fflush(stdout);
    };

    std::vector<std::wstring> sections, names, values, changed;
    for (int i = 0; i < keys; ++i) {
        sections.push_back(Section(i));
        names.push_back(Key(i));
        values.push_back(Value(i));
        changed.push_back(Changed(i));
    }
    const int sectionCount = (keys + kKeysPerSection - 1) / kKeysPerSection;
    std::vector<std::wstring> addSections, addKeys;
    for (int j = 0; j < kAddedKeys; ++j) {
        addSections.push_back(L"Section" + std::to_wstring(static_cast<long>(j) * sectionCount / kAddedKeys));
        addKeys.push_back(L"Added" + std::to_wstring(j));
    }
    const wchar_t* file = work.c_str();
    wchar_t buffer[256];
    unsigned long long sink = 0;
    const int last = keys - 1;
    auto read = [&](int i) {
        return GetPrivateProfileStringW(sections[i].c_str(), names[i].c_str(), L"", buffer, 256, file);
    };
    auto restore = [&] { Restore(work, original); };

    // Every call costs a round trip to the wine server: beyond kFullWorkKeys
    // an even spread of keys is timed and scaled.
    const int readCount = keys <= kFullWorkKeys ? keys : kSampledReads;
    Figure all = Measure(restore, [&] {
        for (int n = 0; n < readCount; ++n)
            sink += read(static_cast<int>(static_cast<long long>(n) * keys / readCount));
    });
    all.seconds *= static_cast<double>(keys) / readCount;
    record("read_all", all, Scaled(readCount, keys));
    read(last);
    if (values[last] != buffer)
        Fail("a wrong value was read");

    Figure one = Measure([&] { restore(), read(last); },
                         [&] {
                             for (int c = 0; c < kReadOneCalls; ++c)
                                 sink += read(last);
                         });
    one.seconds /= kReadOneCalls;
    record("read_one", one, "");

    const int writes = std::min(keys, kMaxPerKeyWrites);
    all = Measure(
        restore,
        [&] {
            for (int w = 0; w < writes; ++w) {
                const int i = static_cast<int>(static_cast<long long>(w) * keys / writes);
                if (!WritePrivateProfileStringW(sections[i].c_str(), names[i].c_str(), changed[i].c_str(), file))
                    Fail("a write failed");
            }
        },
        1, 5, 3.0);
    all.seconds *= static_cast<double>(keys) / writes;
    record("change_all_save", all, Scaled(writes, keys));
    read(0);
    if (changed[0] != buffer)
        Fail("a change was not kept");

    const int adds = std::min(kAddedKeys, kMaxPerKeyWrites);
    all = Measure(
        restore,
        [&] {
            for (int w = 0; w < adds; ++w) {
                const int j = w * kAddedKeys / adds;
                WritePrivateProfileStringW(addSections[j].c_str(), addKeys[j].c_str(), values[j].c_str(), file);
            }
        },
        1, 5, 3.0);
    all.seconds *= static_cast<double>(kAddedKeys) / adds;
    record("add_save", all, Scaled(adds, kAddedKeys));
    const int lastAdded = (adds - 1) * kAddedKeys / adds;
    GetPrivateProfileStringW(addSections[lastAdded].c_str(), addKeys[lastAdded].c_str(), L"", buffer, 256, file);
    if (values[lastAdded] != buffer)
        Fail("an added key was not kept");
    restore();
    std::fclose(out);
    return sink ? 0 : 1;
}

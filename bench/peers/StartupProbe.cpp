// A host's start, as perf.sh times it: the manager, two INI documents and one
// JSON document of the sample root (examples/approot), 50 values read, exit.
// The program must stand in <root>/bin. It prints the monotonic clock (in
// nanoseconds) at the start of main and after each part, so that the caller,
// which also knows when it started the program and when it ended, can tell
// the process's start and end apart from the library's work.
//   startup_probe          the whole start
//   startup_probe --empty  returns at the start of main (the libraries are
//                          still loaded: they are linked)
#include <zvenv/CTqEnvMgr.h>

#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

long long Now()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

} // namespace

int main(int argc, char** argv)
{
    const long long start = Now();
    if (argc > 1 && std::strcmp(argv[1], "--empty") == 0) {
        std::printf("{\"main\":%lld,\"end\":%lld}\n", start, Now());
        return 0;
    }
    CTqEnvMgr* env = fnTqEnvMgr();
    const long long manager = Now();
    CTqEnvIni* trade = env->GetEnvIni(L"trade");
    CTqEnvIni* html = env->GetEnvIni(L"html", 1);
    const long long ini = Now();
    CTqEnvJson* layout = env->GetJson(L"layout");
    const long long json = Now();
    if (!trade || !html || !layout)
        return 1;
    // 50 reads: every key of the shipped files, the rest defaults of keys
    // they lack, as a host's first screen asks for.
    long long sum = 0;
    const wchar_t* tradeKeys[][2] = {{L"Main", L"Title"},    {L"Main", L"RefreshSeconds"}, {L"Main", L"Background"},
                                     {L"Main", L"Bounds"},   {L"Columns", L"count"},       {L"Columns", L"Item1"},
                                     {L"Columns", L"Item2"}, {L"Columns", L"Item3"}};
    for (int i = 0; i < 20; ++i) {
        const auto& key = tradeKeys[i % 8];
        sum += i < 8 ? trade->GetString(key[0], key[1], L"").GetLength() : trade->GetInt(L"Extra", key[1], i);
    }
    const wchar_t* htmlKeys[][2] = {
        {L"Html", L"StartPage"}, {L"Html", L"HelpPage"}, {L"Fonts", L"Face"}, {L"Fonts", L"Size"}};
    for (int i = 0; i < 20; ++i)
        sum += html->GetString(htmlKeys[i % 4][0], htmlKeys[i % 4][1], L"").GetLength() + i;
    const wchar_t* layoutKeys[] = {L"title", L"columns", L"panels", L"window", L"missing"};
    for (int i = 0; i < 10; ++i)
        sum += layout->GetString(layoutKeys[i % 5], L"").GetLength();
    const long long reads = Now();
    std::printf(
        "{\"main\":%lld,\"manager\":%lld,\"ini\":%lld,\"json\":%lld,\"reads\":%lld,\"end\":%lld,\"sum\":%lld}\n", start,
        manager, ini, json, reads, Now(), sum);
    return 0;
}

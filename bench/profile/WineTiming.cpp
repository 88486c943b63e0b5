// Times one of the platform's profile-file functions on an existing file of
// profile_bench (100 sections of 100 keys), run under the loader, and prints
// the mean seconds per call:
//   profile_bench_wine.exe time FILE get|write|write-many COUNT
// "get" reads a key of the middle section, "write" gives that key another
// value each time, "write-many" writes COUNT distinct keys.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 5 || std::string(argv[1]) != "time") {
        std::fprintf(stderr, "usage: %s time FILE get|write|write-many COUNT\n", argv[0]);
        return 2;
    }
    const std::string path = argv[2], op = argv[3];
    const std::wstring file(path.begin(), path.end());
    const long count = std::atol(argv[4]);
    wchar_t buffer[256];
    GetPrivateProfileStringW(L"S50", L"K50", L"", buffer, 256, file.c_str());
    const auto start = std::chrono::steady_clock::now();
    for (long i = 0; i < count; ++i) {
        if (op == "get") {
            GetPrivateProfileStringW(L"S50", L"K50", L"", buffer, 256, file.c_str());
        } else if (op == "write") {
            WritePrivateProfileStringW(L"S50", L"K50", (L"v" + std::to_wstring(i)).c_str(), file.c_str());
        } else if (op == "write-many") {
            const std::wstring section = L"S" + std::to_wstring(i % 100), key = L"K" + std::to_wstring(i / 100 % 100);
            WritePrivateProfileStringW(section.c_str(), key.c_str(), L"changed", file.c_str());
        } else {
            std::fprintf(stderr, "unknown timed operation %s\n", op.c_str());
            return 2;
        }
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    std::printf("%.9f\n", elapsed.count() / static_cast<double>(count));
    return 0;
}

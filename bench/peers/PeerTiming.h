#pragma once

// Timing and file helpers shared by the comparisons against other libraries:
// a repeated measurement that keeps the median, one JSON line per figure, and
// the UTF-16LE <-> UTF-8 conversions a user of a UTF-8 library needs to read
// and write this library's files.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace peers {

struct Figure {
    std::string group; // "ini" or "json"
    std::string op;
    std::string impl;
    long size = 0;          // keys, or bytes of JSON text
    double seconds = 0;     // median of the runs, wall clock
    double cpuSeconds = 0;  // median of the runs, this process's CPU time
    double userSeconds = 0; // median of the runs, the part of it spent outside the kernel
    int runs = 0;
    std::string note;
};

inline double CpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// CPU time the kernel spent for the process (a sync to disk, say) is not
// counted here.
inline double UserSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec) + static_cast<double>(usage.ru_utime.tv_usec) * 1e-6;
}

inline double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Runs setup (untimed) then work (timed) until minRuns runs are done and
// either maxRuns are done or the timed total passes budget seconds.
inline Figure Measure(const std::function<void()>& setup, const std::function<void()>& work, int minRuns = 3,
                      int maxRuns = 11, double budget = 2.0)
{
    std::vector<double> times, cpu, user;
    double total = 0;
    while (static_cast<int>(times.size()) < maxRuns && (static_cast<int>(times.size()) < minRuns || total < budget)) {
        if (setup)
            setup();
        const double cpuStart = CpuSeconds();
        const double userStart = UserSeconds();
        const auto start = std::chrono::steady_clock::now();
        work();
        const auto stop = std::chrono::steady_clock::now();
        cpu.push_back(CpuSeconds() - cpuStart);
        user.push_back(UserSeconds() - userStart);
        const double seconds = std::chrono::duration<double>(stop - start).count();
        times.push_back(seconds);
        total += seconds;
    }
    Figure figure;
    figure.seconds = Median(times);
    figure.cpuSeconds = Median(cpu);
    figure.userSeconds = Median(user);
    figure.runs = static_cast<int>(times.size());
    return figure;
}

// Appends figures to a file as JSON lines and echoes them on stdout.
class Recorder {
public:
    explicit Recorder(const std::string& path) : m_out(path, std::ios::app) {}
    void Add(Figure figure, const std::string& group, const std::string& op, const std::string& impl, long size,
             const std::string& note = "")
    {
        figure.group = group;
        figure.op = op;
        figure.impl = impl;
        figure.size = size;
        figure.note = note;
        char line[512];
        std::snprintf(line, sizeof line,
                      "{\"group\":\"%s\",\"op\":\"%s\",\"impl\":\"%s\",\"size\":%ld,\"seconds\":%.9g,"
                      "\"cpu_seconds\":%.9g,\"user_seconds\":%.9g,\"runs\":%d,\"note\":\"%s\"}\n",
                      group.c_str(), op.c_str(), impl.c_str(), size, figure.seconds, figure.cpuSeconds,
                      figure.userSeconds, figure.runs, note.c_str());
        m_out << line;
        m_out.flush();
        std::fputs(line, stdout);
        std::fflush(stdout);
    }

private:
    std::ofstream m_out;
};

inline std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A plain rewrite in place, as a program using a UTF-8 library would save.
inline void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// UTF-16LE bytes (after an optional FF FE) to UTF-8; surrogate pairs are
// joined, a lone surrogate becomes U+FFFD.
inline std::string Utf16leToUtf8(const std::string& bytes)
{
    std::size_t i = bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
                            static_cast<unsigned char>(bytes[1]) == 0xFE
                        ? 2
                        : 0;
    std::string out;
    out.reserve(bytes.size() / 2 + 16);
    auto unit = [&bytes](std::size_t at) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at]) |
                                          (static_cast<unsigned char>(bytes[at + 1]) << 8));
    };
    for (; i + 1 < bytes.size(); i += 2) {
        std::uint32_t c = unit(i);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            continue;
        }
        if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 && unit(i + 2) < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
            i += 2;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        }
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
    return out;
}

// UTF-8 to FF FE and UTF-16LE; an invalid byte becomes U+FFFD.
inline std::string Utf8ToUtf16le(const std::string& text)
{
    std::string out;
    out.reserve(text.size() * 2 + 2);
    out.push_back(static_cast<char>(0xFF));
    out.push_back(static_cast<char>(0xFE));
    auto put = [&out](std::uint32_t unit) {
        out.push_back(static_cast<char>(unit & 0xFF));
        out.push_back(static_cast<char>(unit >> 8));
    };
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::uint32_t c;
        int extra;
        if (lead < 0x80) {
            put(lead);
            ++i;
            continue;
        }
        if ((lead & 0xE0) == 0xC0) {
            c = lead & 0x1F;
            extra = 1;
        } else if ((lead & 0xF0) == 0xE0) {
            c = lead & 0x0F;
            extra = 2;
        } else if ((lead & 0xF8) == 0xF0) {
            c = lead & 0x07;
            extra = 3;
        } else {
            put(0xFFFD);
            ++i;
            continue;
        }
        if (i + extra >= text.size()) {
            put(0xFFFD);
            break;
        }
        for (int k = 1; k <= extra; ++k)
            c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        i += extra + 1;
        if (c >= 0x10000) {
            c -= 0x10000;
            put(0xD800 + (c >> 10));
            put(0xDC00 + (c & 0x3FF));
        } else {
            put(c);
        }
    }
    return out;
}

} // namespace peers

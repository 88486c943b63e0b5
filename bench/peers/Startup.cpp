// Times a host's start: startup_probe spawned many times from its copy of the
// sample root, each part of its run told apart by the clock readings it
// prints (see StartupProbe.cpp).
#include "PeerTiming.h"
#include "Peers.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace peers {
namespace {

long long Now()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

// The probe's clock readings by name, with "spawn" and "exit" added: when
// it was started and when its end was seen.
std::map<std::string, long long> RunProbe(const std::string& probe, bool empty)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        std::exit(1);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    std::vector<char*> args{const_cast<char*>(probe.c_str())};
    if (empty)
        args.push_back(const_cast<char*>("--empty"));
    args.push_back(nullptr);
    std::map<std::string, long long> times;
    pid_t pid = 0;
    times["spawn"] = Now();
    if (posix_spawn(&pid, probe.c_str(), &actions, nullptr, args.data(), environ) != 0) {
        std::fprintf(stderr, "peers: cannot start %s\n", probe.c_str());
        std::exit(1);
    }
    close(pipeFds[1]);
    std::string out;
    char chunk[512];
    ssize_t got;
    while ((got = read(pipeFds[0], chunk, sizeof chunk)) > 0)
        out.append(chunk, static_cast<std::size_t>(got));
    int status = 0;
    waitpid(pid, &status, 0);
    times["exit"] = Now();
    close(pipeFds[0]);
    posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "peers: %s failed: %s\n", probe.c_str(), out.c_str());
        std::exit(1);
    }
    // {"name":number,...} on one line.
    for (std::size_t at = out.find('"'); at != std::string::npos; at = out.find('"', at)) {
        const std::size_t close = out.find('"', at + 1);
        const std::string name = out.substr(at + 1, close - at - 1);
        times[name] = std::atoll(out.c_str() + close + 2);
        at = out.find(',', close);
        if (at == std::string::npos)
            break;
    }
    return times;
}

} // namespace

void RunStartup(const std::string& probe, int runs, Recorder& out)
{
    // The first run copies the shipped documents to the user's folder; the
    // runs timed find them there, as every later start of a host does.
    RunProbe(probe, false);
    struct Part {
        const char* op;
        const char* from;
        const char* to;
    };
    const Part full[] = {{"total", "spawn", "exit"},       {"process_start", "spawn", "main"},
                         {"manager", "main", "manager"},   {"ini_documents", "manager", "ini"},
                         {"json_document", "ini", "json"}, {"reads", "json", "reads"},
                         {"exit", "end", "exit"}};
    const Part empty[] = {{"total", "spawn", "exit"}, {"process_start", "spawn", "main"}, {"exit", "end", "exit"}};
    for (bool isEmpty : {false, true}) {
        std::map<std::string, std::vector<double>> seconds;
        for (int r = 0; r < runs; ++r) {
            const auto times = RunProbe(probe, isEmpty);
            for (const Part& part : isEmpty ? std::vector<Part>(std::begin(empty), std::end(empty))
                                            : std::vector<Part>(std::begin(full), std::end(full)))
                seconds[part.op].push_back(static_cast<double>(times.at(part.to) - times.at(part.from)) * 1e-9);
        }
        for (const auto& [op, values] : seconds) {
            Figure f;
            f.seconds = Median(values);
            f.runs = static_cast<int>(values.size());
            std::vector<double> sorted = values;
            std::sort(sorted.begin(), sorted.end());
            char range[96];
            std::snprintf(range, sizeof range, "%.0f to %.0f us", sorted.front() * 1e6, sorted.back() * 1e6);
            out.Add(f, "startup", op, isEmpty ? "empty program" : "host", 0, range);
        }
    }
}

} // namespace peers

// zvenv started as a process on POSIX: fork and exec, its standard streams
// redirected to files.
#include "HostRun.h"

#include <cstdlib>
#include <filesystem>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace zvtest {

// The standard streams go through files beside the root (scratch + ".out"),
// so that a snapshot of the root does not see them.
HostResult RunProcess(const std::string& exe, const std::vector<std::string>& args, const RunOptions& options,
                      const std::string& scratch)
{
    const std::string inFile = scratch + ".in";
    const std::string outFile = scratch + ".out";
    const std::string errFile = scratch + ".err";
    WriteFile(inFile, options.input);
    const pid_t pid = fork();
    if (pid == 0) {
        const int in = open(inFile.c_str(), O_RDONLY);
        const int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        if (options.unprivileged && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(126);
        // A wrapper such as strace traces the program, and LeakSanitizer cannot
        // run in a traced process (sanitizer builds only).
        if (!options.wrapper.empty()) {
            const char* asan = getenv("ASAN_OPTIONS");
            setenv("ASAN_OPTIONS", (std::string(asan ? asan : "") + ":detect_leaks=0").c_str(), 1);
        }
        // No command takes a minute: one that hangs fails its test instead
        // of holding up the run (a pending alarm survives the exec).
        alarm(60);
        std::vector<char*> argv{const_cast<char*>(exe.c_str())};
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(exe.c_str(), argv.data());
        _exit(127);
    }
    HostResult result;
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status))
        result.status = WEXITSTATUS(status);
    result.out = ReadFile(outFile);
    result.err = ReadFile(errFile);
    for (const std::string& file : {inFile, outFile, errFile})
        fs::remove(file);
    return result;
}

} // namespace zvtest

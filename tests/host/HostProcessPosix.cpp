// zvenv started as a process on POSIX: fork and exec.
#include "HostRun.h"

#include <cstdlib>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zvtest {

int Spawn(const std::string& exe, const std::vector<std::string>& args, const RunOptions& options,
          const std::string& streams)
{
    const pid_t pid = fork();
    if (pid == 0) {
        for (int fd = 0; fd < 3; ++fd)
            dup2(open((streams + kStreams[fd]).c_str(), fd ? O_WRONLY | O_CREAT | O_TRUNC : O_RDONLY, 0666), fd);
        if (options.unprivileged && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(126);
        // LeakSanitizer cannot run in a process traced by the wrapper (strace).
        if (!options.wrapper.empty()) {
            const char* asan = getenv("ASAN_OPTIONS");
            setenv("ASAN_OPTIONS", (std::string(asan ? asan : "") + ":detect_leaks=0").c_str(), 1);
        }
        alarm(60); // survives the exec: a command that hangs fails its test
        std::vector<char*> argv{const_cast<char*>(exe.c_str())};
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(exe.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace zvtest

// Child processes of the tests on POSIX: fork and exec.
#include "ZvTest.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zvtest {

Process Start(const std::vector<std::string>& args, const std::vector<std::pair<std::string, std::string>>& env,
              const std::string& streams, bool nobody)
{
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        for (const auto& [name, value] : env)
            setenv(name.c_str(), value.c_str(), 1);
        const char* const names[] = {".in", ".out", ".err"};
        for (int fd = 0; fd < 3 && !streams.empty(); ++fd)
            dup2(open((streams + names[fd]).c_str(), fd ? O_WRONLY | O_CREAT | O_TRUNC : O_RDONLY, 0666), fd);
        if (nobody)
            DropToNobody();
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

int WaitFor(Process child)
{
    int status = 0;
    while (waitpid(static_cast<pid_t>(child), &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void Kill(Process child)
{
    kill(static_cast<pid_t>(child), SIGKILL);
    WaitFor(child);
}

void DropToNobody()
{
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
        _exit(126);
}

bool AsNobody(const std::function<bool()>& body)
{
    const pid_t pid = fork();
    if (pid == 0) {
        DropToNobody();
        _exit(body() ? 0 : 1);
    }
    return WaitFor(pid) == 0;
}

void SetEnv(const std::string& name, const std::string& value)
{
    setenv(name.c_str(), value.c_str(), 1);
}

void UnsetEnv(const std::string& name)
{
    unsetenv(name.c_str());
}

} // namespace zvtest

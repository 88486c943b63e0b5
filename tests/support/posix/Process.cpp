// Child processes of the tests on POSIX: fork and exec.
#include "ZvTest.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace zvtest {
namespace {

Process Exec(std::vector<std::string> args, const std::vector<std::pair<std::string, std::string>>& env)
{
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        for (const auto& [name, value] : env)
            setenv(name.c_str(), value.c_str(), 1);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

} // namespace

std::string ExecutablePath()
{
    return fs::read_symlink("/proc/self/exe").string();
}

Process StartInRoot(const AppRoot& root, const std::string& testName, const std::vector<std::string>& wrapper)
{
    const fs::path copy = fs::path(root.bin()) / fs::path(ExecutablePath()).filename();
    std::vector<std::string> args = wrapper;
    args.push_back(copy.string());
    args.push_back("--gtest_filter=" + testName);
    args.push_back("--gtest_brief=1");
    return Exec(args, {{"ZVTEST_CHILD_ROOT", root.root()}});
}

Process StartSelf(const std::string& testName, const std::vector<std::pair<std::string, std::string>>& env)
{
    return Exec({ExecutablePath(), "--gtest_filter=" + testName, "--gtest_brief=1"}, env);
}

int WaitFor(Process child)
{
    int status = 0;
    while (waitpid(static_cast<pid_t>(child), &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

bool WaitFor(Process child, int milliseconds, int& status)
{
    for (int waited = 0;; waited += 10) {
        int raw = 0;
        const pid_t done = waitpid(static_cast<pid_t>(child), &raw, WNOHANG);
        if (done == static_cast<pid_t>(child)) {
            status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
            return true;
        }
        if (waited >= milliseconds) {
            Kill(child);
            status = kKilled;
            return false;
        }
        SleepMs(10);
    }
}

void Kill(Process child)
{
    kill(static_cast<pid_t>(child), SIGKILL);
    WaitFor(child);
}

void SetEnv(const std::string& name, const std::string& value)
{
    setenv(name.c_str(), value.c_str(), 1);
}
void UnsetEnv(const std::string& name)
{
    unsetenv(name.c_str());
}

void SleepMs(int milliseconds)
{
    timespec ts{milliseconds / 1000, (milliseconds % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

} // namespace zvtest

#include "HostRun.h"

#include <algorithm>
#include <filesystem>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace zvtest {

void PlaceHost(const AppRoot& root, bool withValidator)
{
    const fs::path exe(ZV_HOST_EXE);
    fs::copy_file(exe, fs::path(root.bin()) / "zvenv", fs::copy_options::overwrite_existing);
    for (const auto& entry : fs::directory_iterator(exe.parent_path())) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("lib", 0) != 0 || name.find(".so") == std::string::npos)
            continue;
        if (name.rfind("libJSONLint.", 0) == 0 && !withValidator)
            continue;
        fs::copy(entry.path(), fs::path(root.bin()) / name,
                 fs::copy_options::overwrite_existing | fs::copy_options::copy_symlinks);
    }
    fs::copy(ZV_SAMPLE_SYSTEM, root.system(), fs::copy_options::overwrite_existing | fs::copy_options::recursive);
}

HostResult RunHost(const AppRoot& root, const std::vector<std::string>& args)
{
    const std::string outFile = root.path() + "/.out";
    const std::string errFile = root.path() + "/.err";
    const std::string exe = root.bin() + "zvenv";
    const pid_t pid = fork();
    if (pid == 0) {
        const int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(out, 1);
        dup2(err, 2);
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
    fs::remove(outFile);
    fs::remove(errFile);
    return result;
}

std::vector<std::string> ListNames(const std::string& folder)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace zvtest

#include "HostRun.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace zvtest {
namespace {

// The standard streams go through files beside the root (scratch + ".out"),
// so that a snapshot of the root does not see them.
HostResult Run(const std::string& exe, const std::vector<std::string>& args, const RunOptions& options,
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

} // namespace

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
    CopySamples(root);
}

void CopySamples(const AppRoot& root)
{
    fs::copy(ZV_SAMPLE_SYSTEM, root.system(), fs::copy_options::overwrite_existing | fs::copy_options::recursive);
}

HostResult RunHost(const AppRoot& root, const std::vector<std::string>& args)
{
    return Run(root.bin() + "zvenv", args, RunOptions{}, root.path());
}

HostResult RunTool(const AppRoot& root, const std::vector<std::string>& args, const RunOptions& options)
{
    std::vector<std::string> all(options.wrapper.begin() + (options.wrapper.empty() ? 0 : 1), options.wrapper.end());
    if (!options.wrapper.empty())
        all.push_back(ZV_HOST_EXE);
    if (options.withRoot)
        all.insert(all.end(), {"--root", root.path()});
    all.insert(all.end(), args.begin(), args.end());
    return Run(options.wrapper.empty() ? ZV_HOST_EXE : options.wrapper.front(), all, options, root.path());
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

std::string Snapshot(const std::string& folder)
{
    std::map<std::string, std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        entries[fs::relative(entry.path(), folder).string()] =
            entry.is_directory() ? std::string("(folder)") : ReadFile(entry.path().string());
    std::string out;
    for (const auto& entry : entries)
        out += entry.first + "\n" + entry.second + "\n";
    return out;
}

void OpenToEveryone(const AppRoot& root)
{
    for (const auto& entry : fs::recursive_directory_iterator(root.path()))
        fs::permissions(entry.path(), fs::perms::all, fs::perm_options::add);
    fs::permissions(root.path(), fs::perms::all, fs::perm_options::add);
}

} // namespace zvtest

namespace zvtest {

void HostTest::SetUp()
{
    CopySamples(root);
}

} // namespace zvtest

#include "HostRun.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdlib>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace zvtest {

namespace {

std::string HostExe()
{
    return fs::absolute(fs::u8path(ZV_HOST_EXE)).make_preferred().u8string();
}

// The standard streams are files beside the root, which a snapshot does not see.
const char* const kStreams[] = {".in", ".out", ".err"};

// Spawn answers the exit status, -1 when the program did not exit; Windows
// offers no wrapper or other user.

#ifdef _WIN32
int Spawn(const std::string& exe, const std::vector<std::string>& args, const RunOptions& options,
          const std::string& streams)
{
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE handles[3];
    for (int i = 0; i < 3; ++i)
        handles[i] =
            CreateFileW(std::filesystem::u8path(streams + kStreams[i]).c_str(), i ? GENERIC_WRITE : GENERIC_READ,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                        i ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    const std::wstring program = std::filesystem::u8path(exe).wstring();
    std::wstring commandLine = QuotedArgument(program);
    for (const std::string& a : args)
        commandLine += L" " + QuotedArgument(std::filesystem::u8path(a).wstring());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = handles[0];
    startup.hStdOutput = handles[1];
    startup.hStdError = handles[2];
    PROCESS_INFORMATION info{};
    const bool started = !options.unprivileged && options.wrapper.empty() &&
                         CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &info);
    for (HANDLE handle : handles)
        CloseHandle(handle);
    DWORD code = static_cast<DWORD>(-1);
    if (started) {
        // A command that hangs fails its test.
        if (WaitForSingleObject(info.hProcess, 60000) != WAIT_OBJECT_0) {
            TerminateProcess(info.hProcess, 142);
            WaitForSingleObject(info.hProcess, INFINITE);
        }
        GetExitCodeProcess(info.hProcess, &code);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
    return static_cast<int>(code);
}
#else
int Spawn(const std::string& exe, const std::vector<std::string>& args, const RunOptions& options,
          const std::string& streams)
{
    const pid_t pid = fork();
    if (pid == 0) {
        for (int fd = 0; fd < 3; ++fd)
            dup2(open((streams + kStreams[fd]).c_str(), fd ? O_WRONLY | O_CREAT | O_TRUNC : O_RDONLY, 0666), fd);
        if (options.unprivileged)
            DropToNobody();
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
#endif

HostResult RunProcess(const std::string& exe, const std::vector<std::string>& args, const RunOptions& options,
                      const std::string& streams)
{
    WriteFile(streams + kStreams[0], options.input);
    HostResult result;
    result.status = Spawn(exe, args, options, streams);
    result.out = ReadFile(streams + kStreams[1]);
    result.err = ReadFile(streams + kStreams[2]);
    for (const char* stream : kStreams)
        fs::remove(fs::u8path(streams + stream));
    return result;
}

} // namespace

void PlaceHost(const AppRoot& root, bool withValidator)
{
    const fs::path exe = fs::u8path(HostExe());
    fs::copy_file(exe, fs::u8path(root.bin()) / exe.filename(), fs::copy_options::overwrite_existing);
    for (const auto& entry : fs::directory_iterator(exe.parent_path())) {
        const std::string name = entry.path().filename().string();
        const bool library = entry.path().extension() == ".dll" || name.find(".so") != std::string::npos;
        if (library && (withValidator || name.find("JSONLint") == std::string::npos))
            fs::copy(entry.path(), fs::u8path(root.bin()) / name,
                     fs::copy_options::overwrite_existing | fs::copy_options::copy_symlinks);
    }
    CopySamples(root);
}

void CopySamples(const AppRoot& root)
{
    // File by file: a recursive fs::copy left system/ empty in the mingw build.
    for (const auto& entry : fs::directory_iterator(fs::absolute(fs::u8path(ZV_SAMPLE_SYSTEM))))
        fs::copy_file(entry.path(), fs::u8path(root.system()) / entry.path().filename(),
                      fs::copy_options::overwrite_existing);
}

HostResult RunHost(const AppRoot& root, const std::vector<std::string>& args)
{
    return RunProcess(root.bin() + fs::u8path(HostExe()).filename().u8string(), args, RunOptions{}, root.path());
}

HostResult RunTool(const AppRoot& root, const std::vector<std::string>& args, const RunOptions& options)
{
    std::vector<std::string> all(options.wrapper.begin() + (options.wrapper.empty() ? 0 : 1), options.wrapper.end());
    if (!options.wrapper.empty())
        all.push_back(HostExe());
    all.insert(all.end(), {"--root", root.path()});
    all.insert(all.end(), args.begin(), args.end());
    return RunProcess(options.wrapper.empty() ? HostExe() : options.wrapper.front(), all, options, root.path());
}

std::vector<std::string> ListNames(const std::string& folder)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(fs::u8path(folder), ec))
        names.push_back(entry.path().filename().u8string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string Snapshot(const std::string& folder)
{
    std::map<std::string, std::string> entries;
    const fs::path top = fs::u8path(folder);
    for (const auto& entry : fs::recursive_directory_iterator(top))
        entries[fs::relative(entry.path(), top).u8string()] =
            entry.is_directory() ? std::string("(folder)") : ReadFile(entry.path().u8string());
    std::string out;
    for (const auto& entry : entries)
        out += entry.first + "\n" + entry.second + "\n";
    return out;
}

std::string Pattern(const std::string& text)
{
    std::string out;
    for (char c : text)
        out += (std::string("\\^$.|?*+()[]{}").find(c) != std::string::npos ? "\\" : "") + std::string(1, c);
    return out;
}

std::string JsonPath(const std::string& path)
{
    return std::regex_replace(path, std::regex("\\\\"), "\\\\");
}

Step::Step(const char* line, int status, std::string out, std::string err, std::string input)
    : Step(std::vector<std::string>(), status, std::move(out), std::move(err), std::move(input))
{
    std::istringstream words(line);
    for (std::string word; words >> word;)
        args.push_back(word);
}

void HostTest::Steps(const std::vector<Step>& steps)
{
    for (const Step& s : steps) {
        RunOptions options;
        options.input = s.input;
        const HostResult r = Run(s.args, options);
        std::string shown;
        for (const std::string& a : s.args)
            shown += a + " ";
        EXPECT_EQ(r.status, s.status) << shown << "\n" << r.err;
        if (s.out.rfind("...", 0) == 0) {
            EXPECT_TRUE(Contains(r.out, s.out.substr(3))) << shown << "\n" << r.out;
        } else if (s.out != kAny) {
            EXPECT_EQ(r.out, s.out) << shown;
        }
        EXPECT_TRUE(s.status == 0 && s.err.empty() ? r.err.empty() : Contains(r.err, s.err)) << shown << "\n" << r.err;
        EXPECT_TRUE(s.status == 0 || s.err.empty() || Contains("\n" + r.err, "\nzvenv: ")) << shown << "\n" << r.err;
    }
}

} // namespace zvtest

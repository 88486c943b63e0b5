// zvenv started as a process on Windows: CreateProcessW with its standard
// handles on files.
#include "HostRun.h"

#include <windows.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace zvtest {
namespace {

HANDLE OpenInherited(const std::string& path, bool write)
{
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return CreateFileW(fs::u8path(path).c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                       write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

} // namespace

// The same streams through files as on POSIX. A wrapper or another user are
// Linux only: the tests that ask for them skip first.
HostResult RunProcess(const std::string& exe, const std::vector<std::string>& args, const RunOptions& options,
                      const std::string& scratch)
{
    const std::string inFile = scratch + ".in";
    const std::string outFile = scratch + ".out";
    const std::string errFile = scratch + ".err";
    WriteFile(inFile, options.input);
    HostResult result;
    const HANDLE streams[] = {OpenInherited(inFile, false), OpenInherited(outFile, true), OpenInherited(errFile, true)};
    const std::wstring program = fs::u8path(exe).wstring();
    std::wstring commandLine = QuotedArgument(program);
    for (const std::string& a : args)
        commandLine += L" " + QuotedArgument(fs::u8path(a).wstring());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = streams[0];
    startup.hStdOutput = streams[1];
    startup.hStdError = streams[2];
    PROCESS_INFORMATION info{};
    const bool started = !options.unprivileged && options.wrapper.empty() &&
                         CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &info);
    for (HANDLE stream : streams)
        CloseHandle(stream);
    if (started) {
        // No command takes a minute: one that hangs fails its test.
        if (WaitForSingleObject(info.hProcess, 60000) != WAIT_OBJECT_0) {
            TerminateProcess(info.hProcess, 142);
            WaitForSingleObject(info.hProcess, INFINITE);
        }
        DWORD code = 0;
        if (GetExitCodeProcess(info.hProcess, &code))
            result.status = static_cast<int>(code);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
    result.out = ReadFile(outFile);
    result.err = ReadFile(errFile);
    for (const std::string& file : {inFile, outFile, errFile})
        fs::remove(fs::u8path(file));
    return result;
}

} // namespace zvtest

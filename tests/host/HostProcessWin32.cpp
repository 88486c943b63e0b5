// zvenv started as a process on Windows: CreateProcessW. A wrapper or
// another user are Linux only: the tests that ask for them skip first.
#include "HostRun.h"

#include <windows.h>

#include <filesystem>

namespace zvtest {

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

} // namespace zvtest

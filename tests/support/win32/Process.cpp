// Child processes of the tests on Windows: CreateProcessW, TerminateProcess.
#include "ZvTest.h"

#include <windows.h>

#include <cstdlib>
#include <cwchar>
#include <filesystem>

namespace fs = std::filesystem;

namespace zvtest {

// A command-line word quoted so that the C runtime splits it out unchanged.
static std::wstring QuotedArgument(const std::wstring& word)
{
    std::wstring out = L"\"";
    std::size_t slashes = 0;
    for (wchar_t c : word) {
        if (c == L'\\') {
            ++slashes;
            continue;
        }
        out.append(c == L'"' ? slashes * 2 + 1 : slashes, L'\\');
        slashes = 0;
        out += c;
    }
    out.append(slashes * 2, L'\\');
    return out + L"\"";
}

// The child gets this environment with the variables in front (of two entries, programs see the first).
Process Start(const std::vector<std::string>& args, const std::vector<std::pair<std::string, std::string>>& env,
              const std::string& streams, bool)
{
    std::wstring commandLine, block;
    for (const std::string& arg : args)
        commandLine += (commandLine.empty() ? L"" : L" ") + QuotedArgument(fs::u8path(arg).wstring());
    for (const auto& [name, value] : env)
        block += fs::u8path(name + "=" + value).wstring() + L'\0';
    wchar_t* inherited = GetEnvironmentStringsW();
    for (const wchar_t* entry = inherited; *entry; entry += std::wcslen(entry) + 1)
        block += std::wstring(entry) + L'\0';
    FreeEnvironmentStringsW(inherited);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = streams.empty() ? 0 : STARTF_USESTDHANDLES;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE* handles[] = {&startup.hStdInput, &startup.hStdOutput, &startup.hStdError};
    const char* const names[] = {".in", ".out", ".err"};
    for (int i = 0; i < 3 && !streams.empty(); ++i)
        *handles[i] = CreateFileW(fs::u8path(streams + names[i]).wstring().c_str(), i ? GENERIC_WRITE : GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                                  i ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    PROCESS_INFORMATION info{};
    const BOOL started =
        CreateProcessW(fs::u8path(args[0]).wstring().c_str(), commandLine.data(), nullptr, nullptr, !streams.empty(),
                       CREATE_UNICODE_ENVIRONMENT, block.data(), nullptr, &startup, &info);
    for (HANDLE* handle : handles)
        if (*handle)
            CloseHandle(*handle);
    if (!started)
        return 0;
    CloseHandle(info.hThread);
    return reinterpret_cast<Process>(info.hProcess);
}

int WaitFor(Process child)
{
    const HANDLE process = reinterpret_cast<HANDLE>(child);
    DWORD code = 127; // it could not be started
    if (process) {
        WaitForSingleObject(process, INFINITE);
        GetExitCodeProcess(process, &code);
        CloseHandle(process);
    }
    return static_cast<int>(code);
}

void Kill(Process child)
{
    if (child)
        TerminateProcess(reinterpret_cast<HANDLE>(child), kKilled);
    WaitFor(child);
}

void DropToNobody() {}

void SetEnv(const std::string& name, const std::string& value)
{
    _putenv_s(name.c_str(), value.c_str());
}

void UnsetEnv(const std::string& name)
{
    _putenv_s(name.c_str(), "");
}

} // namespace zvtest

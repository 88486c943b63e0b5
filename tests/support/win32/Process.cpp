// Child processes of the tests on Windows: CreateProcessW, TerminateProcess.
#include "ZvTest.h"

#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <mutex>

namespace fs = std::filesystem;

namespace zvtest {
namespace {

std::wstring Widen(const std::string& text)
{
    return fs::u8path(text).wstring();
}

std::mutex g_environmentMutex;

} // namespace

// The child inherits this process's environment with the variables set for
// the moment of its creation.
Process Start(const std::vector<std::string>& args, const std::vector<std::pair<std::string, std::string>>& env)
{
    std::wstring commandLine;
    for (const std::string& arg : args)
        commandLine += (commandLine.empty() ? L"" : L" ") + QuotedArgument(Widen(arg));
    STARTUPINFOW startup{sizeof startup};
    PROCESS_INFORMATION info{};
    std::lock_guard<std::mutex> lock(g_environmentMutex);
    std::vector<std::pair<std::wstring, std::wstring>> saved;
    for (const auto& [name, value] : env) {
        wchar_t old[32768];
        const DWORD n = GetEnvironmentVariableW(Widen(name).c_str(), old, 32768);
        saved.emplace_back(Widen(name), n ? std::wstring(old, n) : std::wstring());
        SetEnvironmentVariableW(Widen(name).c_str(), Widen(value).c_str());
    }
    const BOOL created = CreateProcessW(Widen(args[0]).c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                        nullptr, &startup, &info);
    for (const auto& [name, value] : saved)
        SetEnvironmentVariableW(name.c_str(), value.empty() ? nullptr : value.c_str());
    if (!created)
        return 0;
    CloseHandle(info.hThread);
    return reinterpret_cast<Process>(info.hProcess);
}

std::wstring QuotedArgument(const std::wstring& word)
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
    const HANDLE process = reinterpret_cast<HANDLE>(child);
    if (!process)
        return;
    TerminateProcess(process, kKilled);
    WaitForSingleObject(process, INFINITE);
    CloseHandle(process);
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

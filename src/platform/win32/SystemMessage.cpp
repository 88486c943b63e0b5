#include "../SystemMessage.h"

#include <zvenv/platform/Text.h>

#include <windows.h>

#include <cstdio>
#include <string>

namespace zv::os {
namespace {

// Whether the running program is a Windows GUI program (no console of its
// own), from the subsystem in its image header.
bool IsGuiProgram()
{
    const auto* base = reinterpret_cast<const unsigned char*>(GetModuleHandleW(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    return nt->OptionalHeader.Subsystem == IMAGE_SUBSYSTEM_WINDOWS_GUI;
}

} // namespace

int ShowSystemMessage(const wchar_t* text, UINT type)
{
    if (IsGuiProgram())
        return MessageBoxW(nullptr, text, nullptr, type);
    // A console shows wide text as given; a pipe or a file gets UTF-8.
    const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    const std::wstring line = std::wstring(text) + L"\n";
    if (error != INVALID_HANDLE_VALUE && error && GetConsoleMode(error, &mode)) {
        DWORD written = 0;
        WriteConsoleW(error, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    } else {
        const std::string utf8 = text::EncodeUtf8(line);
        std::fwrite(utf8.data(), 1, utf8.size(), stderr);
        std::fflush(stderr);
    }
    return 1;
}

} // namespace zv::os

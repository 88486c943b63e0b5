#include "ZvTest.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

namespace zvtest {

TempDir::TempDir()
{
    std::random_device seed;
    std::mt19937_64 random(seed() ^
                           static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    const char* digits = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = "zvtest-";
        for (int i = 0; i < 8; ++i)
            name += digits[random() % 36];
        const fs::path folder = fs::temp_directory_path() / name;
        std::error_code ec;
        if (fs::create_directory(folder, ec)) {
            m_path = fs::path(folder).make_preferred().u8string();
            return;
        }
    }
    throw std::runtime_error("no temporary folder could be made");
}

TempDir::~TempDir()
{
    std::error_code ec;
    // Make everything writable again, so that tests that took rights away clean up.
    for (auto it = fs::recursive_directory_iterator(m_path, fs::directory_options::skip_permission_denied, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(m_path, ec);
}

std::string TempDir::operator/(const std::string& relative) const
{
    std::string out = m_path + kSeparator + relative;
    for (char& c : out)
        if (c == '/')
            c = kSeparator;
    return out;
}

AppRoot::AppRoot()
{
    for (const char* sub : {"bin", "system", "user"})
        fs::create_directories(fs::path(path()) / sub);
}

std::string ExecutableFolder()
{
    return fs::u8path(ExecutablePath()).parent_path().u8string();
}

void PlaceInRoot(const AppRoot& root, bool withValidator)
{
    const fs::path self = fs::u8path(ExecutablePath());
    fs::copy_file(self, fs::u8path(root.bin()) / self.filename(), fs::copy_options::overwrite_existing);
    // The project's shared libraries go along, as an installed host has them
    // next to it; the validator module only when asked for.
    for (const auto& entry : fs::directory_iterator(self.parent_path())) {
        const std::string name = entry.path().filename().string();
#ifdef _WIN32
        if (entry.path().extension() != ".dll")
            continue;
        if (name == "JSONLint.dll" && !withValidator)
            continue;
#else
        if (name.rfind("lib", 0) != 0 || name.find(".so") == std::string::npos)
            continue;
        if (name.rfind("libJSONLint.", 0) == 0 && !withValidator)
            continue;
#endif
        fs::copy_file(entry.path(), fs::u8path(root.bin()) / name, fs::copy_options::overwrite_existing);
    }
}

int RunInRoot(const AppRoot& root, bool withValidator)
{
    PlaceInRoot(root, withValidator);
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return WaitFor(StartInRoot(root, std::string(info->test_suite_name()) + "." + info->name()));
}

bool InChild()
{
    return !GetEnv("ZVTEST_CHILD_ROOT").empty();
}

std::string ChildRoot()
{
    return GetEnv("ZVTEST_CHILD_ROOT");
}

std::vector<std::string> KillAt(const std::string& syscall, int n, const char* signal)
{
    // The leak checker of a sanitizer build stops the process's threads
    // with ptrace, which a traced process cannot do.
    const std::string asan = GetEnv("ASAN_OPTIONS");
    const std::string options = "ASAN_OPTIONS=" + (asan.empty() ? std::string() : asan + ":") + "detect_leaks=0";
    const std::string inject = "inject=" + syscall + ":signal=" + signal + ":when=" + std::to_string(n);
    return {"strace", "-f", "-qq", "-o", "/dev/null", "-E", options, "-e", "trace=" + syscall, "-e", inject};
}

std::string GetEnv(const std::string& name)
{
    const char* value = std::getenv(name.c_str());
    return value ? value : "";
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(fs::u8path(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(fs::u8path(path), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool PathExists(const std::string& path)
{
    std::error_code ec;
    return fs::exists(fs::symlink_status(fs::u8path(path), ec));
}

void MakeFolders(const std::string& path)
{
    fs::create_directories(fs::u8path(path));
}

std::string Utf16(const std::wstring& text, bool bom)
{
    std::string out = bom ? std::string("\xFF\xFE", 2) : std::string();
    for (wchar_t ch : text) {
        auto cp = static_cast<unsigned long>(ch);
        auto put = [&](unsigned long u) {
            out.push_back(static_cast<char>(u & 0xFF));
            out.push_back(static_cast<char>((u >> 8) & 0xFF));
        };
        if (cp >= 0x10000) {
            cp -= 0x10000;
            put(0xD800 + (cp >> 10));
            put(0xDC00 + (cp & 0x3FF));
        } else {
            put(cp);
        }
    }
    return out;
}

} // namespace zvtest

#include "ZvTest.h"

#include <zvenv/platform/Os.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <thread>

namespace fs = std::filesystem;

namespace zvtest {

TempDir::TempDir()
{
    std::random_device seed;
    fs::path folder;
    do
        folder = fs::temp_directory_path() / ("zvtest-" + std::to_string(seed()));
    while (!fs::create_directory(folder));
    m_path = folder.make_preferred().u8string();
}

TempDir::~TempDir()
{
    std::error_code ec; // everything writable again, as some tests take rights away
    for (auto it = fs::recursive_directory_iterator(m_path, fs::directory_options::skip_permission_denied, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(m_path, ec);
}

std::string TempDir::operator/(const std::string& relative) const
{
    std::string out = m_path + kSeparator + relative;
    std::replace(out.begin(), out.end(), '/', kSeparator);
    return out;
}

AppRoot::AppRoot()
{
    for (const char* sub : {"bin", "system", "user"})
        fs::create_directories(fs::path(path()) / sub);
}

static std::string ExecutablePath()
{
    return zv::os::ExecutablePath().ToUtf8();
}

std::string ExecutableFolder()
{
    return fs::u8path(ExecutablePath()).parent_path().u8string();
}

void PlaceInRoot(const AppRoot& root, bool withValidator)
{
    for (const auto& entry : fs::directory_iterator(fs::u8path(ExecutableFolder()))) {
        const std::string name = entry.path().filename().u8string();
        const bool library = entry.path().extension() == ".dll" || name.find(".so") != std::string::npos;
        const bool validator = name.find("JSONLint.") != std::string::npos;
        if ((library && (withValidator || !validator)) || entry.path() == fs::u8path(ExecutablePath()))
            fs::copy_file(entry.path(), fs::u8path(root.bin()) / name, fs::copy_options::overwrite_existing);
    }
}

Process StartInRoot(const AppRoot& root, const std::string& testName, const std::vector<std::string>& wrapper)
{
    std::vector<std::string> args = wrapper;
    args.push_back((fs::u8path(root.bin()) / fs::u8path(ExecutablePath()).filename()).u8string());
    args.insert(args.end(), {"--gtest_filter=" + testName, "--gtest_brief=1"});
    return Start(args, {{"ZVTEST_CHILD_ROOT", root.root()}});
}

Process StartSelf(const std::string& testName, const std::vector<std::pair<std::string, std::string>>& env)
{
    return Start({ExecutablePath(), "--gtest_filter=" + testName, "--gtest_brief=1"}, env);
}

std::string ThisTest()
{
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return std::string(info->test_suite_name()) + "." + info->name();
}

int RunInRoot(const AppRoot& root, bool withValidator)
{
    PlaceInRoot(root, withValidator);
    return WaitFor(StartInRoot(root, ThisTest()));
}

bool RanInRoot(const std::function<void(const AppRoot&)>& prepare, bool withValidator)
{
    if (InChild())
        return false;
    AppRoot root;
    if (prepare)
        prepare(root);
    EXPECT_EQ(RunInRoot(root, withValidator), 0) << "the test failed in its application root";
    return true;
}

bool InChild()
{
    return !ChildRoot().empty();
}

std::string ChildRoot()
{
    return GetEnv("ZVTEST_CHILD_ROOT");
}

std::vector<std::string> KillAt(const std::string& syscall, int n, const char* signal)
{
    // A sanitizer's leak checker stops the threads with ptrace, which a traced process cannot do.
    const std::string asan = GetEnv("ASAN_OPTIONS");
    const std::string options = "ASAN_OPTIONS=" + (asan.empty() ? std::string() : asan + ":") + "detect_leaks=0";
    const std::string inject = "inject=" + syscall + ":signal=" + signal + ":when=" + std::to_string(n);
    return {"strace", "-f", "-qq", "-o", "/dev/null", "-E", options, "-e", "trace=" + syscall, "-e", inject};
}

void SleepMs(int milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::string GetEnv(const std::string& name)
{
    const char* value = std::getenv(name.c_str());
    return value ? value : "";
}

void OpenToEveryone(const std::string& folder)
{
    for (const auto& entry : fs::recursive_directory_iterator(fs::u8path(folder)))
        fs::permissions(entry.path(), fs::perms::all, fs::perm_options::add);
    fs::permissions(fs::u8path(folder), fs::perms::all, fs::perm_options::add);
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(fs::u8path(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(fs::u8path(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
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

std::wstring W(const std::string& ascii)
{
    return std::wstring(ascii.begin(), ascii.end());
}

std::wstring Wide(std::u32string_view codePoints)
{
    std::wstring out;
    for (char32_t cp : codePoints)
        if (sizeof(wchar_t) == 2 && cp >= 0x10000)
            out += {static_cast<wchar_t>(0xD800 + ((cp - 0x10000) >> 10)), static_cast<wchar_t>(0xDC00 + (cp & 0x3FF))};
        else
            out += static_cast<wchar_t>(cp);
    return out;
}

std::string Utf16(const std::wstring& text, bool bom)
{
    std::string out = bom ? std::string("\xFF\xFE", 2) : std::string();
    for (wchar_t ch : text) {
        const auto unit = static_cast<unsigned long>(ch), high = 0xD800 + ((unit - 0x10000) >> 10),
                   low = 0xDC00 + (unit & 0x3FF);
        if (unit >= 0x10000)
            out += {static_cast<char>(high), static_cast<char>(high >> 8), static_cast<char>(low),
                    static_cast<char>(low >> 8)};
        else
            out += {static_cast<char>(unit), static_cast<char>(unit >> 8)};
    }
    return out;
}

} // namespace zvtest

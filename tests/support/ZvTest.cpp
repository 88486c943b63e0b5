#include "ZvTest.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace zvtest {

TempDir::TempDir()
{
    std::string pattern = (fs::temp_directory_path() / "zvtest-XXXXXX").string();
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data()))
        throw std::runtime_error("mkdtemp failed");
    m_path = buf.data();
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

AppRoot::AppRoot()
{
    for (const char* sub : {"bin", "system", "user"})
        fs::create_directories(fs::path(path()) / sub);
}

std::string ExecutableFolder()
{
    return fs::read_symlink("/proc/self/exe").parent_path().string();
}

void PlaceInRoot(const AppRoot& root, bool withValidator)
{
    const fs::path self = fs::read_symlink("/proc/self/exe");
    fs::copy_file(self, fs::path(root.bin()) / self.filename(), fs::copy_options::overwrite_existing);
    // The project's shared libraries go along, as an installed host has them
    // next to it; the validator module only when asked for.
    for (const auto& entry : fs::directory_iterator(self.parent_path())) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("lib", 0) != 0 || name.find(".so") == std::string::npos)
            continue;
        if (name.rfind("libJSONLint.", 0) == 0 && !withValidator)
            continue;
        fs::copy_file(entry.path(), fs::path(root.bin()) / name, fs::copy_options::overwrite_existing);
    }
}

pid_t StartInRoot(const AppRoot& root, const std::string& testName, const std::vector<std::string>& wrapper)
{
    const fs::path copy = fs::path(root.bin()) / fs::read_symlink("/proc/self/exe").filename();
    std::vector<std::string> args = wrapper;
    args.push_back(copy.string());
    args.push_back("--gtest_filter=" + testName);
    args.push_back("--gtest_brief=1");
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("ZVTEST_CHILD_ROOT", root.root().c_str(), 1);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

std::vector<std::string> KillAt(const std::string& syscall, int n, const char* signal)
{
    // The leak checker of a sanitizer build stops the process's threads
    // with ptrace, which a traced process cannot do.
    const char* asan = std::getenv("ASAN_OPTIONS");
    const std::string options = std::string("ASAN_OPTIONS=") + (asan ? std::string(asan) + ":" : "") + "detect_leaks=0";
    const std::string inject = "inject=" + syscall + ":signal=" + signal + ":when=" + std::to_string(n);
    return {"strace", "-f", "-qq", "-o", "/dev/null", "-E", options, "-e", "trace=" + syscall, "-e", inject};
}

int WaitFor(pid_t pid)
{
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int RunInRoot(const AppRoot& root, bool withValidator)
{
    PlaceInRoot(root, withValidator);
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return WaitFor(StartInRoot(root, std::string(info->test_suite_name()) + "." + info->name()));
}

bool InChild() { return std::getenv("ZVTEST_CHILD_ROOT") != nullptr; }

std::string ChildRoot()
{
    const char* root = std::getenv("ZVTEST_CHILD_ROOT");
    return root ? root : "";
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool PathExists(const std::string& path)
{
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

void MakeFolders(const std::string& path) { fs::create_directories(path); }

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

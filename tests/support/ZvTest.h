#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Helpers for tests on real files and processes; paths are UTF-8 with the system's separator.
namespace zvtest {

// The separator of paths; the system's error codes the library leaves as its last error.
#ifdef _WIN32
constexpr char kSeparator = '\\';
constexpr unsigned long kErrorAccessDenied = 5; // also for a folder in a file's place
constexpr unsigned long kErrorExists = 80;
constexpr unsigned long kErrorNoFolder = 3;
constexpr unsigned long kErrorIsFolder = 5;
#else
constexpr char kSeparator = '/';
constexpr unsigned long kErrorAccessDenied = 13;
constexpr unsigned long kErrorExists = 17;
constexpr unsigned long kErrorNoFolder = 2;
constexpr unsigned long kErrorIsFolder = 21;
#endif

// A fresh temporary folder, removed with its contents at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    // path(), the separator and relative (whose '/' become the separator).
    std::string operator/(const std::string& relative) const;

private:
    std::string m_path;
};

// An application root: <root>/bin, <root>/system and <root>/user exist.
class AppRoot : public TempDir {
public:
    AppRoot();
    std::string root() const { return path() + kSeparator; }
    std::string bin() const { return *this / "bin/"; }
    std::string system() const { return *this / "system/"; }
    std::string user() const { return *this / "user/"; }
};

using Process = std::intptr_t; // a child process: its id on POSIX, its handle on Windows
// Starts args[0] with its arguments and the variables added to the environment; with streams its
// standard input, output and error are streams + ".in", ".out", ".err"; nobody: as uid 65534 (Linux).
Process Start(const std::vector<std::string>& args, const std::vector<std::pair<std::string, std::string>>& env = {},
              const std::string& streams = "", bool nobody = false);
constexpr int kKilled = 137; // WaitFor's status of a child that Kill (or a KILL signal) ended

// RunInRoot runs the current test again in a child, a copy of this program and the project's libraries
// (the validator module too when withValidator) in root.bin(), so that the library takes root as its own,
// and returns its exit status; there InChild() holds and ChildRoot() is root.root(). PlaceInRoot and
// StartInRoot are its halves; wrapper runs the command line.
int RunInRoot(const AppRoot& root, bool withValidator = true);
// `if (RanInRoot(prepare)) return;` runs the rest of a test in a child in a fresh root that prepare may fill: in the
// parent RanInRoot expects RunInRoot's status 0 and returns true, in the child it returns false.
bool RanInRoot(const std::function<void(const AppRoot&)>& prepare = {}, bool withValidator = true);
bool InChild();
std::string ChildRoot();
std::string ThisTest(); // "Suite.Name" of the running test
void PlaceInRoot(const AppRoot& root, bool withValidator = true);
Process StartInRoot(const AppRoot& root, const std::string& testName, const std::vector<std::string>& wrapper = {});
// This program where it is, running one test, with the variables added.
Process StartSelf(const std::string& testName, const std::vector<std::pair<std::string, std::string>>& env = {});
int WaitFor(Process child); // the child's exit code, or 128 + the signal that ended it
void Kill(Process child);   // and waits for it
// A wrapper for StartInRoot (Linux): strace signals the process tree at the n-th call of the syscall.
std::vector<std::string> KillAt(const std::string& syscall, int n, const char* signal = "KILL");
// Permissions do not stop root: DropToNobody makes this process uid and gid 65534 (Linux); AsNobody
// runs body in such a child, OpenToEveryone opens folder and all below it so it meets only the test's modes.
void DropToNobody();
void OpenToEveryone(const std::string& folder);
bool AsNobody(const std::function<bool()>& body); // Linux

void SetEnv(const std::string& name, const std::string& value);
void UnsetEnv(const std::string& name);
std::string GetEnv(const std::string& name); // empty when not set
void SleepMs(int milliseconds);

void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path); // empty when missing
bool PathExists(const std::string& path);
void MakeFolders(const std::string& path);
std::string Utf16(const std::wstring& text, bool bom = true); // UTF-16LE bytes, after the byte-order mark when bom
std::wstring W(const std::string& ascii);                     // an ASCII path or name, widened
// Code points as wide text: above U+FFFF one 32-bit wchar_t or a pair of 16-bit ones; a lone surrogate stays.
std::wstring Wide(std::u32string_view codePoints);
std::string ExecutableFolder(); // the running test program's (the build's bin folder)

} // namespace zvtest

// Skips a test, or the rest of one, that needs what only Linux offers (fork, strace, user ids, limits) on Windows.
#ifdef _WIN32
#define ZVTEST_LINUX_ONLY(reason) GTEST_SKIP() << "Linux only: " << reason
#else
#define ZVTEST_LINUX_ONLY(reason) static_cast<void>(0)
#endif

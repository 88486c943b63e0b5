#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Helpers for tests that work on real files: temporary folders, application
// roots and child processes, on POSIX and on Windows.
namespace zvtest {

// The separator of the paths these helpers build: the system's own, as in
// the paths the library returns.
#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

// A fresh folder under the system's temporary folder, removed with all its
// contents when the object goes away.
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

// An application root in a temporary folder: <root>/bin, <root>/system and
// <root>/user exist. RunInRoot starts the current test again from
// <root>/bin, so that the library sees this root as its own.
class AppRoot : public TempDir {
public:
    AppRoot();
    std::string root() const { return path() + kSeparator; }
    std::string bin() const { return *this / "bin/"; }
    std::string system() const { return *this / "system/"; }
    std::string user() const { return *this / "user/"; }
};

// The system's error codes the library leaves as its last error.
#ifdef _WIN32
constexpr unsigned long kErrorAccessDenied = 5; // ERROR_ACCESS_DENIED, also for a folder in a file's place
constexpr unsigned long kErrorExists = 80;      // ERROR_FILE_EXISTS
constexpr unsigned long kErrorNoFolder = 3;     // ERROR_PATH_NOT_FOUND
constexpr unsigned long kErrorIsFolder = 5;
#else
constexpr unsigned long kErrorAccessDenied = 13; // EACCES
constexpr unsigned long kErrorExists = 17;       // EEXIST
constexpr unsigned long kErrorNoFolder = 2;      // ENOENT
constexpr unsigned long kErrorIsFolder = 21;     // EISDIR
#endif

// A started child process: its id on POSIX, its handle on Windows.
using Process = std::intptr_t;
// The status WaitFor gives for a child that Kill ended (or that a KILL
// signal ended on POSIX): 128 + 9.
constexpr int kKilled = 137;

// Runs the current test in a child process whose executable is a copy of
// this one placed in root.bin() with the project's shared libraries beside
// it; the validator module is copied next to it when withValidator is true.
// Returns the child's exit status: 0 when the test passed there. In the
// child, InChild() is true and ChildRoot() is the root folder with a
// trailing separator.
int RunInRoot(const AppRoot& root, bool withValidator = true);
bool InChild();
std::string ChildRoot();
// The parts of RunInRoot: copy the executable (and libraries) into the root,
// start the named test there without waiting, wait for a started child.
void PlaceInRoot(const AppRoot& root, bool withValidator = true);
// wrapper, when given, is a command that runs the test's command line
// (KillAt gives one; POSIX only).
Process StartInRoot(const AppRoot& root, const std::string& testName, const std::vector<std::string>& wrapper = {});
// Starts this executable where it is, running one test, with the variables
// added to its environment.
Process StartSelf(const std::string& testName, const std::vector<std::pair<std::string, std::string>>& env = {});
// The child's exit code, or 128 + the signal that ended it.
int WaitFor(Process child);
// As WaitFor, for at most the given time: false, and the child killed, when
// it had not ended by then.
bool WaitFor(Process child, int milliseconds, int& status);
// Ends the child at once and waits for it.
void Kill(Process child);
// A wrapper for StartInRoot (Linux): strace delivers the signal (KILL, or
// STOP to hold a process where it is) to the process tree when it makes its
// n-th call of the syscall, before the call runs.
std::vector<std::string> KillAt(const std::string& syscall, int n, const char* signal = "KILL");

void SetEnv(const std::string& name, const std::string& value);
void UnsetEnv(const std::string& name);
std::string GetEnv(const std::string& name); // empty when not set
void SleepMs(int milliseconds);

// Files, by paths in UTF-8.
void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path); // empty when missing
bool PathExists(const std::string& path);
void MakeFolders(const std::string& path);
// UTF-16LE bytes of a text, with the byte-order mark when bom is true.
std::string Utf16(const std::wstring& text, bool bom = true);
// The running test executable, and its folder (the build's bin folder).
std::string ExecutablePath();
std::string ExecutableFolder();

#ifdef _WIN32
// A command-line word quoted so that the C runtime splits it out again
// unchanged: backslashes before a quote, or before the closing one, doubled.
std::wstring QuotedArgument(const std::wstring& word);
#endif

} // namespace zvtest

// A test, or the part of one, that needs what only the Linux runs offer
// (fork, strace's kill points, user ids, resource limits) is skipped on
// Windows with its reason; the Windows runs count these skips.
#ifdef _WIN32
#define ZVTEST_LINUX_ONLY(reason) GTEST_SKIP() << "Linux only: " << reason
#else
#define ZVTEST_LINUX_ONLY(reason) static_cast<void>(0)
#endif

#pragma once

#include <string>
#include <vector>

#include <sys/types.h>

// Helpers for tests that work on real files: temporary folders, application
// roots and child processes.
namespace zvtest {

// A fresh folder under the system's temporary folder, removed with all its
// contents when the object goes away.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    // path() + "/" + relative
    std::string operator/(const std::string& relative) const { return m_path + "/" + relative; }

private:
    std::string m_path;
};

// An application root in a temporary folder: <root>/bin, <root>/system and
// <root>/user exist. RunInRoot starts the current test again from
// <root>/bin, so that the library sees this root as its own.
class AppRoot : public TempDir {
public:
    AppRoot();
    std::string root() const { return path() + "/"; }
    std::string bin() const { return path() + "/bin/"; }
    std::string system() const { return path() + "/system/"; }
    std::string user() const { return path() + "/user/"; }
};

// Runs the current test in a child process whose executable is a copy of
// this one placed in root.bin() with the project's shared libraries beside
// it; the validator module is copied next to it
// when withValidator is true. Returns the child's exit status: 0 when the
// test passed there. In the child, InChild() is true and ChildRoot() is the
// root folder with a trailing '/'.
int RunInRoot(const AppRoot& root, bool withValidator = true);
bool InChild();
// The parts of RunInRoot: copy the executable (and libraries) into the root,
// start the named test there without waiting, wait for a started child.
void PlaceInRoot(const AppRoot& root, bool withValidator = true);
// wrapper, when given, is a command that runs the test's command line
// (KillAt gives one).
pid_t StartInRoot(const AppRoot& root, const std::string& testName, const std::vector<std::string>& wrapper = {});
int WaitFor(pid_t pid);
std::string ChildRoot();
// A wrapper for StartInRoot: strace delivers the signal (KILL, or STOP to
// hold a process where it is) to the process tree when it makes its n-th
// call of the syscall, before the call runs.
std::vector<std::string> KillAt(const std::string& syscall, int n, const char* signal = "KILL");

// Files.
void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path); // empty when missing
bool PathExists(const std::string& path);
void MakeFolders(const std::string& path);
// UTF-16LE bytes of a text, with the byte-order mark when bom is true.
std::string Utf16(const std::wstring& text, bool bom = true);
// The folder of the running test executable (the build's bin folder).
std::string ExecutableFolder();

} // namespace zvtest

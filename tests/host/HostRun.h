#pragma once

#include "ZvTest.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// zvenv run as a process on an application root: the built program with
// --root, or a copy placed in <root>/bin, which takes the folder above it as
// its root.
namespace zvtest {

struct HostResult {
    int status = -1; // the exit status
    std::string out;
    std::string err;
};

struct RunOptions {
    std::string input;         // standard input
    bool unprivileged = false; // as uid and gid 65534
    // A program that runs zvenv (strace with its options, say), placed before it.
    std::vector<std::string> wrapper;
};

// A root with the sample defaults in system/ and zvenv with the project's
// libraries in bin/ (the validator module only when withValidator).
void PlaceHost(const AppRoot& root, bool withValidator = true);
void CopySamples(const AppRoot& root);
HostResult RunHost(const AppRoot& root, const std::vector<std::string>& args); // the copy in <root>/bin
HostResult RunTool(const AppRoot& root, const std::vector<std::string>& args, const RunOptions& options = {});

// The standard streams go through files beside the root (streams + kStreams[i]),
// so that a snapshot of the root does not see them. Spawn, one per system,
// runs the program on them and gives its exit status (-1 when it did not exit).
inline const char* const kStreams[] = {".in", ".out", ".err"};
int Spawn(const std::string& exe, const std::vector<std::string>& args, const RunOptions& options,
          const std::string& streams);

// The names in a folder, sorted; empty when it cannot be read.
std::vector<std::string> ListNames(const std::string& folder);
// Every file under the folder with its bytes, and every folder.
std::string Snapshot(const std::string& folder);
// Lets every user reach and change everything under the root.
void OpenToEveryone(const AppRoot& root);

inline bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// A text as a regular expression that matches only it.
std::string Pattern(const std::string& text);
// A path as zvenv's JSON output writes it: backslashes escaped.
std::string JsonPath(const std::string& path);

// One command and what it must give: out is the whole standard output, a
// part of it after "...", or kAny; err is a part of standard error (which
// must be empty when err is and the command succeeds), on a line starting
// with "zvenv: " when the command fails.
inline const std::string kAny = "(any)";
struct Step {
    Step(std::vector<std::string> args, int status = 0, std::string out = kAny, std::string err = "",
         std::string input = "")
        : args(std::move(args)), status(status), out(std::move(out)), err(std::move(err)), input(std::move(input))
    {
    }
    // The arguments as words between single spaces.
    Step(const char* line, int status = 0, std::string out = kAny, std::string err = "", std::string input = "");
    std::vector<std::string> args;
    int status;
    std::string out;
    std::string err;
    std::string input;
};

// A root with the sample defaults in system/, worked on through --root.
class HostTest : public ::testing::Test {
protected:
    void SetUp() override { CopySamples(root); }
    HostResult Run(const std::vector<std::string>& args, const RunOptions& options = {})
    {
        return RunTool(root, args, options);
    }
    void Steps(const std::vector<Step>& steps);
    // Paths under system/ and user/, given with '/', in the system's form.
    std::string Sys(const std::string& name) const { return root / ("system/" + name); }
    std::string User(const std::string& name) const { return root / ("user/" + name); }

    AppRoot root;
};

} // namespace zvtest

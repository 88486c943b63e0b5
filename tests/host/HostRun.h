#pragma once

#include "ZvTest.h"

#include <string>
#include <vector>

// Runs zvenv as a process on an application root: the built program with
// --root, or a copy placed in <root>/bin (with the project's libraries), which
// takes the folder above it as its root.
namespace zvtest {

struct HostResult {
    int status = -1; // the exit status
    std::string out;
    std::string err;
};

// A root with the sample defaults in system/ and zvenv in bin/ (the validator
// module beside it when withValidator).
void PlaceHost(const AppRoot& root, bool withValidator = true);
// The sample defaults in <root>/system.
void CopySamples(const AppRoot& root);
// The copy in <root>/bin.
HostResult RunHost(const AppRoot& root, const std::vector<std::string>& args);

// How the built zvenv is run.
struct RunOptions {
    std::string input;         // standard input
    bool unprivileged = false; // as uid and gid 65534, for tests of file permissions
    bool withRoot = true;      // --root <root> before the arguments
    // A program that runs zvenv (strace with its options, say), placed before it.
    std::vector<std::string> wrapper;
};
HostResult RunTool(const AppRoot& root, const std::vector<std::string>& args, const RunOptions& options = {});
// Runs a program with its standard streams in files named after scratch
// (scratch + ".out"...), removed afterwards; one that runs a minute is ended.
HostResult RunProcess(const std::string& exe, const std::vector<std::string>& args, const RunOptions& options,
                      const std::string& scratch);
// The built zvenv, as an absolute path in the system's form.
std::string HostExe();
inline RunOptions WithInput(std::string text)
{
    RunOptions options;
    options.input = std::move(text);
    return options;
}
inline RunOptions Unprivileged()
{
    RunOptions options;
    options.unprivileged = true;
    return options;
}

// The names in a folder, sorted; empty when it cannot be read.
std::vector<std::string> ListNames(const std::string& folder);
// Every file under the folder with its bytes, and every folder, as
// "relative-path\n" + bytes lines: equal snapshots mean nothing changed.
std::string Snapshot(const std::string& folder);
// Lets every user reach and change everything under the root.
void OpenToEveryone(const AppRoot& root);

} // namespace zvtest

#include <gtest/gtest.h>

namespace zvtest {

// A root with the sample defaults in system/, worked on through --root.
class HostTest : public ::testing::Test {
protected:
    void SetUp() override;
    HostResult Run(const std::vector<std::string>& args, const RunOptions& options = {})
    {
        return RunTool(root, args, options);
    }
    // Paths under system/ and user/, given with '/', in the system's form.
    std::string Sys(const std::string& name) const { return root / ("system/" + name); }
    std::string User(const std::string& name) const { return root / ("user/" + name); }

    AppRoot root;
};

inline bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// A text as a regular expression that matches only it (a path with its
// dots, and its backslashes on Windows).
inline std::string Pattern(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (std::string("\\^$.|?*+()[]{}").find(c) != std::string::npos)
            out += '\\';
        out += c;
    }
    return out;
}

// A path as zvenv's JSON output writes it: backslashes escaped.
inline std::string JsonPath(const std::string& path)
{
    std::string out;
    for (char c : path)
        out += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return out;
}

} // namespace zvtest

#pragma once

#include "ZvTest.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

// zvenv run as a process on an application root, with --root or as a copy in <root>/bin.
namespace zvtest {

struct HostResult {
    int status = -1; // the exit status
    std::string out;
    std::string err;
};

struct RunOptions {
    std::string input;                // standard input
    bool unprivileged = false;        // as uid and gid 65534
    std::vector<std::string> wrapper; // a program that runs zvenv (strace with its options)
};

// zvenv and the project's libraries in bin/ (the validator only when withValidator), the samples in system/.
void PlaceHost(const AppRoot& root, bool withValidator = true);
void CopySamples(const AppRoot& root);
HostResult RunHost(const AppRoot& root, const std::vector<std::string>& args); // the copy in <root>/bin
HostResult RunTool(const AppRoot& root, const std::vector<std::string>& args, const RunOptions& options = {});

std::map<std::string, std::string> Snapshot(const std::string& folder);

inline bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

std::string Pattern(const std::string& text); // a regular expression matching only text

struct Words : std::vector<std::string> { // given one by one, or a line split at spaces
    Words(std::vector<std::string> words) : vector(std::move(words)) {}
    Words(std::initializer_list<std::string> words) : vector(words) {}
    Words(const char* line);
};
// A command and what it gives: out is all of standard output, a part after
// "...", or kAny; err a part of standard error, empty when it is and the
// command succeeds, after "zvenv: " when it fails.
inline const std::string kAny = "(any)";
struct Step {
    Words args;
    int status = 0;
    std::string out = kAny;
    std::string err = "";
    std::string input = "";
};

class HostTest : public ::testing::Test {
protected:
    void SetUp() override { CopySamples(root); }
    HostResult Run(const std::vector<std::string>& args, const RunOptions& options = {})
    {
        return RunTool(root, args, options);
    }
    void Steps(const std::vector<Step>& steps);
    std::string Sys(const std::string& name) const { return root / ("system/" + name); }
    std::string User(const std::string& name) const { return root / ("user/" + name); }

    AppRoot root;
};

} // namespace zvtest

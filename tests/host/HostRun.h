#pragma once

#include "ZvTest.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

// zvenv run as a process on an application root, with --root or as a copy in <root>/bin.
namespace zvtest {

namespace fs = std::filesystem;

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

inline fs::path HostExe()
{
    return fs::absolute(fs::u8path(ZV_HOST_EXE)).make_preferred();
}

// The words run with the standard streams in files beside the root, which a snapshot does not see.
inline HostResult RunProcess(const AppRoot& root, std::vector<std::string> words, const std::vector<std::string>& args,
                             const RunOptions& options = {})
{
    words.insert(words.end(), args.begin(), args.end());
    const std::string streams = root.path();
    WriteFile(streams + ".in", options.input);
    const int status = WaitFor(Start(words, {}, streams, options.unprivileged));
    const HostResult result{status, ReadFile(streams + ".out"), ReadFile(streams + ".err")};
    for (const char* stream : {".in", ".out", ".err"})
        fs::remove(fs::u8path(streams + stream));
    return result;
}

// The samples in system/, file by file: a recursive copy left system/ empty in the mingw build.
inline void CopySamples(const AppRoot& root)
{
    for (const auto& entry : fs::directory_iterator(fs::absolute(fs::u8path(ZV_SAMPLE_SYSTEM))))
        fs::copy_file(entry.path(), fs::u8path(root.system()) / entry.path().filename(),
                      fs::copy_options::overwrite_existing);
}

// zvenv and the project's libraries in bin/ (without the validator module), the samples in system/.
inline void PlaceHost(const AppRoot& root)
{
    PlaceInRoot(root, false);
    fs::copy_file(HostExe(), fs::u8path(root.bin()) / HostExe().filename(), fs::copy_options::overwrite_existing);
    CopySamples(root);
}

inline HostResult RunHost(const AppRoot& root, const std::vector<std::string>& args) // the copy in <root>/bin
{
    return RunProcess(root, {root.bin() + HostExe().filename().u8string()}, args);
}

inline HostResult RunTool(const AppRoot& root, const std::vector<std::string>& args, const RunOptions& options = {})
{
    std::vector<std::string> words = options.wrapper;
    words.insert(words.end(), {HostExe().u8string(), "--root", root.path()});
    return RunProcess(root, words, args, options);
}

inline std::map<std::string, std::string> Snapshot(const std::string& folder)
{
    std::map<std::string, std::string> entries;
    const fs::path top = fs::u8path(folder);
    for (const auto& entry : fs::recursive_directory_iterator(top))
        entries[fs::relative(entry.path(), top).u8string()] =
            entry.is_directory() ? std::string("(folder)") : ReadFile(entry.path().u8string());
    return entries;
}

inline bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

inline std::string Pattern(const std::string& text) // a regular expression matching only text
{
    return std::regex_replace(text, std::regex(R"([\\^$.|?*+()[\]{}])"), R"(\$&)");
}

struct Words : std::vector<std::string> { // given one by one, or a line split at spaces
    Words(std::vector<std::string> words) : vector(std::move(words)) {}
    Words(std::initializer_list<std::string> words) : vector(words) {}
    Words(const char* line)
    {
        std::istringstream words(line);
        for (std::string word; words >> word;)
            push_back(word);
    }
};
// A command and what it gives: out is all of standard output, a part after "...", a regular expression after "~",
// or kAny; err a part of standard error, empty when it is and the command succeeds, after "zvenv: " when it fails.
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
    void Steps(const std::vector<Step>& steps, RunOptions options = {})
    {
        for (const Step& s : steps) {
            options.input = s.input;
            const HostResult r = Run(s.args, options);
            const std::string shown = ::testing::PrintToString(s.args) + "\n" + r.out + "\n" + r.err;
            EXPECT_EQ(r.status, s.status) << shown;
            const bool part = s.out.rfind("...", 0) == 0, pattern = s.out.rfind("~", 0) == 0;
            EXPECT_TRUE(s.out == kAny || (part      ? Contains(r.out, s.out.substr(3))
                                          : pattern ? std::regex_match(r.out, std::regex(s.out.substr(1)))
                                                    : r.out == s.out))
                << shown;
            EXPECT_TRUE(s.status == 0 && s.err.empty() ? r.err.empty() : Contains(r.err, s.err)) << shown;
            EXPECT_TRUE(s.status == 0 || s.err.empty() || Contains("\n" + r.err, "\nzvenv: ")) << shown;
        }
    }
    std::string Sys(const std::string& name) const { return root / ("system/" + name); }
    std::string User(const std::string& name) const { return root / ("user/" + name); }

    AppRoot root;
};

} // namespace zvtest

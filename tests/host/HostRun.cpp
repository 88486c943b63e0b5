#include "HostRun.h"

#include <filesystem>
#include <regex>
#include <sstream>

namespace fs = std::filesystem;

namespace zvtest {

namespace {

std::string HostExe()
{
    return fs::absolute(fs::u8path(ZV_HOST_EXE)).make_preferred().u8string();
}

// The standard streams are files beside the root, which a snapshot does not see.
HostResult RunProcess(const std::vector<std::string>& args, const RunOptions& options, const std::string& streams)
{
    WriteFile(streams + ".in", options.input);
    const int status = WaitFor(Start(args, {}, streams, options.unprivileged));
    const HostResult result{status, ReadFile(streams + ".out"), ReadFile(streams + ".err")};
    for (const char* stream : {".in", ".out", ".err"})
        fs::remove(fs::u8path(streams + stream));
    return result;
}

} // namespace

void PlaceHost(const AppRoot& root, bool withValidator)
{
    PlaceInRoot(root, withValidator); // the project's libraries, and this program
    const fs::path exe = fs::u8path(HostExe());
    fs::copy_file(exe, fs::u8path(root.bin()) / exe.filename(), fs::copy_options::overwrite_existing);
    CopySamples(root);
}

void CopySamples(const AppRoot& root)
{
    // File by file: a recursive fs::copy left system/ empty in the mingw build.
    for (const auto& entry : fs::directory_iterator(fs::absolute(fs::u8path(ZV_SAMPLE_SYSTEM))))
        fs::copy_file(entry.path(), fs::u8path(root.system()) / entry.path().filename(),
                      fs::copy_options::overwrite_existing);
}

HostResult RunHost(const AppRoot& root, const std::vector<std::string>& args)
{
    std::vector<std::string> all{root.bin() + fs::u8path(HostExe()).filename().u8string()};
    all.insert(all.end(), args.begin(), args.end());
    return RunProcess(all, RunOptions{}, root.path());
}

HostResult RunTool(const AppRoot& root, const std::vector<std::string>& args, const RunOptions& options)
{
    std::vector<std::string> all = options.wrapper;
    all.insert(all.end(), {HostExe(), "--root", root.path()});
    all.insert(all.end(), args.begin(), args.end());
    return RunProcess(all, options, root.path());
}

std::map<std::string, std::string> Snapshot(const std::string& folder)
{
    std::map<std::string, std::string> entries;
    const fs::path top = fs::u8path(folder);
    for (const auto& entry : fs::recursive_directory_iterator(top))
        entries[fs::relative(entry.path(), top).u8string()] =
            entry.is_directory() ? std::string("(folder)") : ReadFile(entry.path().u8string());
    return entries;
}

std::string Pattern(const std::string& text)
{
    return std::regex_replace(text, std::regex(R"([\\^$.|?*+()[\]{}])"), R"(\$&)");
}

Words::Words(const char* line)
{
    std::istringstream words(line);
    for (std::string word; words >> word;)
        push_back(word);
}

void HostTest::Steps(const std::vector<Step>& steps)
{
    for (const Step& s : steps) {
        const HostResult r = Run(s.args, {s.input, false, {}});
        const std::string shown = ::testing::PrintToString(s.args);
        EXPECT_EQ(r.status, s.status) << shown << "\n" << r.err;
        if (s.out.rfind("...", 0) == 0) {
            EXPECT_TRUE(Contains(r.out, s.out.substr(3))) << shown << "\n" << r.out;
        } else if (s.out != kAny) {
            EXPECT_EQ(r.out, s.out) << shown;
        }
        EXPECT_TRUE(s.status == 0 && s.err.empty() ? r.err.empty() : Contains(r.err, s.err)) << shown << "\n" << r.err;
        EXPECT_TRUE(s.status == 0 || s.err.empty() || Contains("\n" + r.err, "\nzvenv: ")) << shown << "\n" << r.err;
    }
}

} // namespace zvtest

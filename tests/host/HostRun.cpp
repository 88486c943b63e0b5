#include "HostRun.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>

namespace fs = std::filesystem;

namespace zvtest {

namespace {

std::string HostExe()
{
    return fs::absolute(fs::u8path(ZV_HOST_EXE)).make_preferred().u8string();
}

HostResult RunProcess(const std::string& exe, const std::vector<std::string>& args, const RunOptions& options,
                      const std::string& streams)
{
    WriteFile(streams + kStreams[0], options.input);
    HostResult result;
    result.status = Spawn(exe, args, options, streams);
    result.out = ReadFile(streams + kStreams[1]);
    result.err = ReadFile(streams + kStreams[2]);
    for (const char* stream : kStreams)
        fs::remove(fs::u8path(streams + stream));
    return result;
}

} // namespace

void PlaceHost(const AppRoot& root, bool withValidator)
{
    const fs::path exe = fs::u8path(HostExe());
    fs::copy_file(exe, fs::u8path(root.bin()) / exe.filename(), fs::copy_options::overwrite_existing);
    for (const auto& entry : fs::directory_iterator(exe.parent_path())) {
        const std::string name = entry.path().filename().string();
#ifdef _WIN32
        const bool library = entry.path().extension() == ".dll";
#else
        const bool library = name.rfind("lib", 0) == 0 && name.find(".so") != std::string::npos;
#endif
        if (library && (withValidator || name.find("JSONLint") == std::string::npos))
            fs::copy(entry.path(), fs::u8path(root.bin()) / name,
                     fs::copy_options::overwrite_existing | fs::copy_options::copy_symlinks);
    }
    CopySamples(root);
}

void CopySamples(const AppRoot& root)
{
    // File by file: a recursive fs::copy of the folder left system/ empty
    // in the mingw build.
    for (const auto& entry : fs::directory_iterator(fs::absolute(fs::u8path(ZV_SAMPLE_SYSTEM))))
        fs::copy_file(entry.path(), fs::u8path(root.system()) / entry.path().filename(),
                      fs::copy_options::overwrite_existing);
}

HostResult RunHost(const AppRoot& root, const std::vector<std::string>& args)
{
    return RunProcess(root.bin() + fs::u8path(HostExe()).filename().u8string(), args, RunOptions{}, root.path());
}

HostResult RunTool(const AppRoot& root, const std::vector<std::string>& args, const RunOptions& options)
{
    std::vector<std::string> all(options.wrapper.begin() + (options.wrapper.empty() ? 0 : 1), options.wrapper.end());
    if (!options.wrapper.empty())
        all.push_back(HostExe());
    all.insert(all.end(), {"--root", root.path()});
    all.insert(all.end(), args.begin(), args.end());
    return RunProcess(options.wrapper.empty() ? HostExe() : options.wrapper.front(), all, options, root.path());
}

std::vector<std::string> ListNames(const std::string& folder)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(fs::u8path(folder), ec))
        names.push_back(entry.path().filename().u8string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string Snapshot(const std::string& folder)
{
    std::map<std::string, std::string> entries;
    const fs::path top = fs::u8path(folder);
    for (const auto& entry : fs::recursive_directory_iterator(top))
        entries[fs::relative(entry.path(), top).u8string()] =
            entry.is_directory() ? std::string("(folder)") : ReadFile(entry.path().u8string());
    std::string out;
    for (const auto& entry : entries)
        out += entry.first + "\n" + entry.second + "\n";
    return out;
}

void OpenToEveryone(const AppRoot& root)
{
    for (const auto& entry : fs::recursive_directory_iterator(fs::u8path(root.path())))
        fs::permissions(entry.path(), fs::perms::all, fs::perm_options::add);
    fs::permissions(fs::u8path(root.path()), fs::perms::all, fs::perm_options::add);
}

std::string Pattern(const std::string& text)
{
    std::string out;
    for (char c : text)
        out += (std::string("\\^$.|?*+()[]{}").find(c) != std::string::npos ? "\\" : "") + std::string(1, c);
    return out;
}

std::string JsonPath(const std::string& path)
{
    return std::regex_replace(path, std::regex("\\\\"), "\\\\");
}

Step::Step(const char* line, int status, std::string out, std::string err, std::string input)
    : Step(std::vector<std::string>(), status, std::move(out), std::move(err), std::move(input))
{
    std::istringstream words(line);
    for (std::string word; words >> word;)
        args.push_back(word);
}

void HostTest::Steps(const std::vector<Step>& steps)
{
    for (const Step& s : steps) {
        RunOptions options;
        options.input = s.input;
        const HostResult r = Run(s.args, options);
        std::string shown;
        for (const std::string& a : s.args)
            shown += a + " ";
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

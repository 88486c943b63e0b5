// zvenv: a command-line host of the library. Installed in <root>/bin/, it
// works on the application root above it, as a desktop host of the suite
// does; --root names another root.
#include "Cli.h"
#include "Commands.h"
#include "DryRun.h"

#include <zvenv/EnvTool.h>
#include <zvenv/Version.h>
#include <zvenv/platform/Message.h>
#include <zvenv/platform/Os.h>

#include <cstdio>
#include <cstring>

namespace {

const char kHelp[] = "Usage: zvenv [OPTION]... COMMAND [ARGUMENT]...\n"
                     "Reads and changes the settings of an application root from a shell: its folder\n"
                     "layout, its users and its INI and JSON documents, through the same library as\n"
                     "the programs installed there.\n"
                     "\n"
                     "Commands (zvenv COMMAND --help describes each):\n"
                     "  paths                      the root, the module path, the folder layout, the user\n"
                     "  user [set ID|clear]        the current user, kept between runs\n"
                     "  users [FILE]               the other users who have FILE, with dates\n"
                     "  ini get|set|delete|list    INI documents: typed values and lists\n"
                     "  json get|set|delete|list   JSON documents; json check FILE validates a file\n"
                     "  dump DOC                   a whole INI or JSON document with its values\n"
                     "  export DOC FILE            the document as UTF-8 text (FILE - is standard output)\n"
                     "  import DOC FILE            replaces the document by UTF-8 text (- reads standard input)\n"
                     "  reset DOC                  restores the shipped default, keeping the old file\n"
                     "  diff DOC                   the differences from the shipped default\n"
                     "\n"
                     "Options (anywhere before --):\n"
                     "  --root DIR         work on the application root DIR instead of the one above\n"
                     "                     the folder that holds zvenv\n"
                     "  --user ID          act as this user for one command\n"
                     "  --encrypt          the user id is stored encrypted (with --user or user set)\n"
                     "  --dry-run          write nothing: the command runs on a temporary copy of the\n"
                     "                     root's system/ and user/ folders, and what it would create,\n"
                     "                     change or delete is shown\n"
                     "  --format FORMAT    text (the default) or json: the reading commands' output as\n"
                     "                     UTF-8 JSON, with types\n"
                     "  -q, --quiet        no lines that only confirm a change (\"saved ...\")\n"
                     "  -h, --help         this help\n"
                     "  --version          the version of zvenv and of the library\n"
                     "\n"
                     "DOC is a document name such as trade, trade.ini or layout.json; EnvSetting is the\n"
                     "current user's settings. Changes are saved when the command ends.\n"
                     "\n"
                     "Exit status: 0 done; 1 not found, refused or not saved (the reason on standard\n"
                     "error); 2 a mistake on the command line, or a value that would not read back as\n"
                     "given.\n";

struct Command {
    const char* name;
    int (*run)(zvenv::Context&, const zvenv::Words&);
};
const Command kCommands[] = {
    {"paths", zvenv::RunPaths}, {"user", zvenv::RunUser}, {"users", zvenv::RunUsers},   {"ini", zvenv::RunIni},
    {"json", zvenv::RunJson},   {"dump", zvenv::RunDump}, {"export", zvenv::RunExport}, {"import", zvenv::RunImport},
    {"reset", zvenv::RunReset}, {"diff", zvenv::RunDiff},
};

// The library's messages name the copy's files in a dry run; they are shown
// with the root's names.
int ShowMessage(const wchar_t* text, UINT, void* context)
{
    std::fprintf(stderr, "%s\n", static_cast<const zvenv::Context*>(context)->Show(CString(text)).c_str());
    return 1;
}

// The options that stand before the command, or anywhere before "--".
struct Globals {
    std::string root;
    std::string user;
    bool rootGiven = false;
    bool userGiven = false;
    bool help = false;
    bool version = false;
    std::string format = "text";
    zvenv::Words rest;
};

// Reads the global options into g; a usage message when one is wrong.
std::string ReadGlobals(int argc, char** argv, zvenv::Context& ctx, Globals& g)
{
    bool ended = false;
    for (int i = 1; i < argc; ++i) {
        const std::string w = argv[i];
        const auto valued = [&](const char* name, std::string& out, bool& given) {
            const std::string option = std::string("--") + name;
            if (w != option && w.compare(0, option.size() + 1, option + "=") != 0)
                return false;
            given = true;
            if (w == option)
                out = i + 1 < argc ? argv[++i] : std::string();
            else
                out = w.substr(option.size() + 1);
            return true;
        };
        bool formatGiven = false;
        if (ended) {
            g.rest.push_back(w);
        } else if (w == "--") {
            ended = true;
            g.rest.push_back(w);
        } else if (w == "--dry-run") {
            ctx.dryRun = true;
        } else if (w == "--encrypt") {
            ctx.encrypt = true;
        } else if (w == "-q" || w == "--quiet") {
            ctx.quiet = true;
        } else if (w == "--version") {
            g.version = true;
        } else if (valued("user", g.user, g.userGiven)) {
            if (g.user.empty())
                return "--user needs an ID";
        } else if (valued("root", g.root, g.rootGiven)) {
            if (g.root.empty())
                return "--root needs a folder";
        } else if (valued("format", g.format, formatGiven)) {
            if (g.format != "text" && g.format != "json")
                return "--format takes text or json";
        } else {
            if (g.rest.empty() && (w == "--help" || w == "-h"))
                g.help = true;
            g.rest.push_back(w);
        }
    }
    ctx.format = g.format == "json" ? zvenv::Format::Json : zvenv::Format::Text;
    for (const std::string& w : g.rest)
        if (!zvenv::IsUtf8(w))
            return "an argument is not UTF-8 text";
    return std::string();
}

} // namespace

int main(int argc, char** argv)
{
    zvenv::Context ctx;
    Globals g;
    const std::string problem = ReadGlobals(argc, argv, ctx, g);
    if (!problem.empty())
        return zvenv::Usage(problem, kHelp);
    if (g.help)
        return zvenv::Help(kHelp);
    if (g.version) {
        std::printf("zvenv (ZvEnvMgr) %s\n", ZVENVMGR_VERSION_STRING);
        if (std::strcmp(ZvEnvMgrVersion(), ZVENVMGR_VERSION_STRING) != 0)
            std::printf("library %s\n", ZvEnvMgrVersion());
        return zvenv::kOk;
    }
    if (g.rest.empty())
        return zvenv::Usage("no command given", kHelp);
    const std::string command = g.rest.front();
    g.rest.erase(g.rest.begin());
    const Command* run = nullptr;
    for (const Command& c : kCommands)
        if (command == c.name)
            run = &c;
    if (!run)
        return zvenv::Usage("unknown command '" + command + "'", kHelp);

    // The root: --root, else the library's own rule.
    if (g.rootGiven) {
        ctx.root = zv::os::FullPath(zvenv::Wide(g.root));
        if (!zv::os::FolderExists(ctx.root))
            return zvenv::Fail("no folder at " + g.root);
        if (ctx.root.Right(1) != CString(zv::os::kSeparator))
            ctx.root += zv::os::kSeparator;
    } else {
        ctx.root = zv::envtool::DefaultRootPath();
    }
    if (!zv::os::FolderExists(ctx.root + L"system"))
        zvenv::Warn(zvenv::Narrow(ctx.root) +
                    " has no system/ folder, so no document has a shipped default (is this the application "
                    "root? --root DIR names another)");
    zvenv::DryRun dryRun;
    if (ctx.dryRun) {
        std::string error;
        if (!dryRun.Prepare(ctx.root, error))
            return zvenv::Fail(error);
        zv::SetMessageHandler(&ShowMessage, &ctx);
    }
    const CString work = ctx.dryRun ? dryRun.CopyRoot() : ctx.root;
    if ((g.rootGiven || ctx.dryRun) && !zv::envtool::UseRootPath(work))
        return zvenv::Fail("cannot open the root " + zvenv::Narrow(work));

    ctx.mgr = fnTqEnvMgr();
    ctx.workRoot = ctx.mgr->GetRootPath();
    // The user of this command: --user, else the one saved by `user set`.
    // `user` applies it itself, so that a bad saved id can still be replaced.
    ctx.user = zvenv::LoadSavedUser(ctx.mgr);
    if (g.userGiven)
        ctx.user = {zvenv::Wide(g.user), ctx.encrypt};
    if (!ctx.user.id.IsEmpty() && command != "user" && !zvenv::ApplyUser(ctx.mgr, ctx.user.id, ctx.user.encrypt))
        return zvenv::Fail(zvenv::RefusedUser(ctx.user.id));

    const int result = run->run(ctx, g.rest);
    const int saved = zvenv::Finish(ctx);
    if (ctx.dryRun && result == zvenv::kOk)
        dryRun.Report(ctx);
    return result != zvenv::kOk ? result : saved;
}

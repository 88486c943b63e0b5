// zvenv: a command-line host of the library. Installed in <root>/bin/, it
// works on the application root above it, as a desktop host of the suite does.
#include "Cli.h"
#include "Commands.h"

namespace {

const char kHelp[] = "usage: zvenv [--user ID [--encrypt]] [--dry-run] COMMAND ...\n"
                     "\n"
                     "Works on the application root: the parent of the folder that holds zvenv.\n"
                     "Commands (zvenv COMMAND --help for each):\n"
                     "  paths                      the root, the module path, the folder layout, the user\n"
                     "  ini get|set|delete|list    INI documents, typed values and lists\n"
                     "  json get|set|delete|list   JSON documents; json check FILE validates a file\n"
                     "  user [set ID|clear]        the current user, kept between runs\n"
                     "  users [FILE]               the other users who have FILE, with dates\n"
                     "\n"
                     "--user ID    act as this user for one command (--encrypt: the id is stored encrypted)\n"
                     "--dry-run    show what would change and save nothing\n"
                     "             (opening a user document still seeds a missing copy from system/)\n"
                     "Changes are saved when the command ends. Exit status: 0 done, 1 the library\n"
                     "could not do it, 2 the command line is wrong.\n";

} // namespace

int main(int argc, char** argv)
{
    // The global options may stand anywhere before "--"; the rest goes to the command.
    zvenv::Words rest;
    zvenv::Context ctx;
    std::string user;
    bool help = false;
    bool ended = false;
    for (int i = 1; i < argc; ++i) {
        const std::string w = argv[i];
        if (ended) {
            rest.push_back(w);
        } else if (w == "--") {
            ended = true;
            rest.push_back(w);
        } else if (w == "--dry-run") {
            ctx.dryRun = true;
        } else if (w == "--encrypt") {
            ctx.encrypt = true;
        } else if (w == "--user" || w.compare(0, 7, "--user=") == 0) {
            if (w == "--user" && i + 1 >= argc)
                return zvenv::Usage("--user needs an ID", kHelp);
            user = w == "--user" ? argv[++i] : w.substr(7);
            if (user.empty())
                return zvenv::Usage("--user needs an ID", kHelp);
        } else {
            if (rest.empty() && (w == "--help" || w == "-h"))
                help = true;
            rest.push_back(w);
        }
    }
    if (help)
        return zvenv::Help(kHelp);
    if (rest.empty())
        return zvenv::Usage("no command given", kHelp);
    const std::string command = rest.front();
    rest.erase(rest.begin());
    if (command != "paths" && command != "ini" && command != "json" && command != "user" && command != "users")
        return zvenv::Usage("unknown command '" + command + "'", kHelp);

    ctx.mgr = fnTqEnvMgr();
    // The user of this command: --user, else the one saved by `user set`.
    // `user` applies it itself, so that a bad saved id can still be replaced.
    ctx.user = zvenv::LoadSavedUser(ctx.mgr);
    if (!user.empty())
        ctx.user = {zvenv::Wide(user), ctx.encrypt};
    if (!ctx.user.id.IsEmpty() && command != "user" && !zvenv::ApplyUser(ctx.mgr, ctx.user.id, ctx.user.encrypt))
        return zvenv::Fail(zvenv::RefusedUser(ctx.user.id));

    int result = zvenv::kOk;
    if (command == "paths")
        result = zvenv::RunPaths(ctx, rest);
    else if (command == "ini")
        result = zvenv::RunIni(ctx, rest);
    else if (command == "json")
        result = zvenv::RunJson(ctx, rest);
    else if (command == "user")
        result = zvenv::RunUser(ctx, rest);
    else
        result = zvenv::RunUsers(ctx, rest);
    const int saved = zvenv::Finish(ctx);
    return result != zvenv::kOk ? result : saved;
}

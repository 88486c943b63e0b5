// zvenv: a command-line host of the library. Installed in <root>/bin/, it
// works on the application root above it, as a desktop host of the suite does.
#include "Cli.h"
#include "Commands.h"

#include <cstring>

namespace {

const char kHelp[] =
    "usage: zvenv [--user ID [--encrypt]] [--dry-run] COMMAND ...\n"
    "\n"
    "Commands (zvenv COMMAND --help for each):\n"
    "  paths                      the root, the module path and the folder layout\n"
    "  ini get|set|delete|list    INI documents\n"
    "  json get|set|delete|list   JSON documents; json check FILE validates a file\n"
    "  user set ID [--encrypt]    make ID the current user (folder and setting file)\n"
    "  users [FILE]               the other users who have FILE, with dates\n"
    "\n"
    "--user ID      act as this user for the command (--encrypt: the id is stored encrypted)\n"
    "--dry-run      save and delete nothing; list the documents that would be saved\n"
    "               (a missing user copy is still seeded from the defaults)\n"
    "Changes are saved when the command ends.\n";

} // namespace

int main(int argc, char** argv)
{
    zvenv::Words words(argv + 1, argv + argc);
    zvenv::Context ctx;
    // Global options stand before the command.
    std::string user;
    bool encrypt = false;
    std::size_t i = 0;
    for (; i < words.size() && words[i].compare(0, 2, "--") == 0; ++i) {
        if (words[i] == "--dry-run") {
            ctx.dryRun = true;
        } else if (words[i] == "--encrypt") {
            encrypt = true;
        } else if (words[i] == "--user" && i + 1 < words.size()) {
            user = words[++i];
        } else if (words[i] == "--help" || words[i] == "-h") {
            std::fputs(kHelp, stdout);
            return zvenv::kOk;
        } else {
            return zvenv::Usage("unknown option " + words[i], kHelp);
        }
    }
    if (i >= words.size())
        return zvenv::Usage("no command given", kHelp);
    const std::string command = words[i];
    const zvenv::Words rest(words.begin() + static_cast<long>(i) + 1, words.end());

    ctx.mgr = fnTqEnvMgr();
    if (!user.empty()) {
        ctx.mgr->SetUserID(zvenv::Wide(user), encrypt ? 1 : 0);
        if (ctx.mgr->GetUserId(0) != zvenv::Wide(user))
            return zvenv::Fail("the library refused the user id '" + user + "'");
    }

    int result = zvenv::kUsage;
    if (command == "paths")
        result = zvenv::RunPaths(ctx, rest);
    else if (command == "ini")
        result = zvenv::RunIni(ctx, rest);
    else if (command == "json")
        result = zvenv::RunJson(ctx, rest);
    else if (command == "user")
        result = zvenv::RunUser(ctx, rest);
    else if (command == "users")
        result = zvenv::RunUsers(ctx, rest);
    else
        return zvenv::Usage("unknown command " + command, kHelp);
    zvenv::Finish(ctx);
    return result;
}

#include "Cli.h"
#include "Commands.h"

#include <zvenv/platform/CStringArray.h>

#include <cstdio>

namespace zvenv {
namespace {

const char kPathsHelp[] = "usage: zvenv paths\n"
                          "Prints the root, the module path (the folder of zvenv), every folder of the\n"
                          "layout, the current user, the user-id folder and the user's setting file.\n";

const char kUserHelp[] = "usage: zvenv user [show]\n"
                         "       zvenv user set ID [--encrypt]\n"
                         "       zvenv user clear\n"
                         "set makes ID the current user: creates user/ID/ and its envsetting.ini from the\n"
                         "system template when missing, and keeps ID for later runs (in user/.zvenv-host.ini).\n"
                         "With --encrypt the id is stored encrypted and the user's documents go to the\n"
                         "folder named by the encrypted id. clear forgets the current user.\n"
                         "--user ID on any command acts as ID for that command only.\n";

const char kUsersHelp[] = "usage: zvenv users [FILE]\n"
                          "Lists the other users (not the current one) whose folder holds a file ending in\n"
                          "FILE (any file when FILE is omitted), with the folder's last-write time:\n"
                          "ID<TAB>DD/MM/YYYY HH:MM:SS.\n";

void Row(const char* label, const CString& value)
{
    std::printf("%-10s %s\n", label, Narrow(value).c_str());
}

void UserRows(CTqEnvMgr* m)
{
    const CString id = m->GetUserId(0);
    Row("user-id", id.IsEmpty() ? CString(L"(none)") : id);
    if (!id.IsEmpty() && m->GetUserId(1) != id)
        Row("stored-as", m->GetUserId(1));
    Row("user-dir", m->GetUserIdPath(L""));
    const CString setting = m->GetEnvSetting()->GetPath();
    Row("setting", setting.IsEmpty() ? CString(L"(none until a user is set)") : setting);
}

} // namespace

int RunPaths(Context& ctx, const Words& words)
{
    const Args args(words, {});
    if (args.WantsHelp())
        return Help(kPathsHelp);
    if (!args.Unknown({}).empty())
        return Usage("unknown option " + args.Unknown({}), kPathsHelp);
    if (args.Count() != 0)
        return Usage("paths takes no arguments", kPathsHelp);
    CTqEnvMgr* m = ctx.mgr;
    Row("root", m->GetRootPath());
    Row("module", m->GetModulePath());
    Row("data", m->GetDataPath(L""));
    Row("image", m->GetImagePath(L""));
    Row("menu", m->GetMenuPath(L""));
    Row("screen", m->GetScreenPath(L""));
    Row("sound", m->GetSoundPath(L""));
    Row("system", m->GetSystemPath(L""));
    Row("user", m->GetUserPath(L""));
    UserRows(m);
    return kOk;
}

int RunUser(Context& ctx, const Words& words)
{
    const Args args(words, {});
    if (args.WantsHelp())
        return Help(kUserHelp);
    if (!args.Unknown({}).empty())
        return Usage("unknown option " + args.Unknown({}), kUserHelp);
    const std::string verb = args.Count() == 0 ? "show" : args.At(0);
    if (verb == "show" && args.Count() <= 1) {
        if (!ctx.user.id.IsEmpty() && !ApplyUser(ctx.mgr, ctx.user.id, ctx.user.encrypt))
            return Fail(RefusedUser(ctx.user.id));
        UserRows(ctx.mgr);
        return kOk;
    }
    if (verb == "clear" && args.Count() == 1) {
        if (ctx.dryRun) {
            Print("would forget the current user");
            return kOk;
        }
        if (!StoreSavedUser(ctx.mgr, SavedUser()))
            return Fail("cannot write " + Narrow(SavedUserFile(ctx.mgr)));
        Print("no current user");
        return kOk;
    }
    if (verb != "set" || args.Count() != 2)
        return Usage("expected: user [show], user set ID or user clear", kUserHelp);
    const SavedUser wanted{Wide(args.At(1)), ctx.encrypt};
    if (ctx.dryRun) {
        Print("would make " + args.At(1) + " the current user" + (wanted.encrypt ? " (stored encrypted)" : ""));
        return kOk;
    }
    if (!ApplyUser(ctx.mgr, wanted.id, wanted.encrypt))
        return Fail(RefusedUser(wanted.id));
    if (!StoreSavedUser(ctx.mgr, wanted))
        return Fail("cannot write " + Narrow(SavedUserFile(ctx.mgr)));
    UserRows(ctx.mgr);
    return kOk;
}

int RunUsers(Context& ctx, const Words& words)
{
    const Args args(words, {});
    if (args.WantsHelp())
        return Help(kUsersHelp);
    if (!args.Unknown({}).empty())
        return Usage("unknown option " + args.Unknown({}), kUsersHelp);
    if (args.Count() > 1)
        return Usage("users takes at most one FILE", kUsersHelp);
    CStringArray ids;
    CStringArray dates;
    ctx.mgr->GetOtherUserInfo(ids, dates, Wide(args.At(0)));
    for (int i = 0; i < ids.GetSize() && i < dates.GetSize(); ++i)
        std::printf("%s\t%s\n", Narrow(ids[i]).c_str(), Narrow(dates[i]).c_str());
    return kOk;
}

} // namespace zvenv

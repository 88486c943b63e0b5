#include "Cli.h"
#include "Commands.h"

#include <zvenv/platform/CStringArray.h>

#include <cstdio>

namespace zvenv {
namespace {

const char kPathsHelp[] =
    "usage: zvenv paths\n"
    "Prints the root, the module path, every folder of the layout, the current user\n"
    "and the user-id folder.\n";

const char kUserHelp[] =
    "usage: zvenv user set ID [--encrypt]\n"
    "Makes ID the current user: creates user/ID/ and its envsetting.ini from the\n"
    "system template when missing, and prints the folders. With --encrypt the id is\n"
    "stored encrypted, and the user's documents go to the encrypted folder.\n";

const char kUsersHelp[] =
    "usage: zvenv users [FILE]\n"
    "Lists the other users whose folder holds a file ending in FILE (any file when\n"
    "FILE is omitted), with the last-write time of the folder.\n";

void Row(const char* label, const CString& value) { std::printf("%-10s %s\n", label, Narrow(value).c_str()); }

} // namespace

int RunPaths(Context& ctx, const Words& words)
{
    const Args args(words, {});
    if (args.Has("help"))
        return Usage("", kPathsHelp) - kUsage;
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
    const CString id = m->GetUserId(0);
    Row("user-id", id.IsEmpty() ? CString(L"(none)") : id);
    Row("user-dir", m->GetUserIdPath(L""));
    return kOk;
}

int RunUser(Context& ctx, const Words& words)
{
    const Args args(words, {});
    if (args.Has("help"))
        return Usage("", kUserHelp) - kUsage;
    if (args.Count() != 2 || args.At(0) != "set")
        return Usage("expected: user set ID", kUserHelp);
    if (ctx.dryRun) {
        Print("would set the user " + args.At(1));
        return kOk;
    }
    ctx.mgr->SetUserID(Wide(args.At(1)), args.Has("encrypt") ? 1 : 0);
    if (ctx.mgr->GetUserId(0) != Wide(args.At(1)))
        return Fail("the library refused the user id '" + args.At(1) + "'");
    Row("user-id", ctx.mgr->GetUserId(0));
    Row("stored", ctx.mgr->GetUserId(1));
    Row("user-dir", ctx.mgr->GetUserIdPath(L""));
    Row("setting", ctx.mgr->GetEnvSetting()->GetPath());
    return kOk;
}

int RunUsers(Context& ctx, const Words& words)
{
    const Args args(words, {});
    if (args.Has("help"))
        return Usage("", kUsersHelp) - kUsage;
    if (args.Count() > 1)
        return Usage("users takes at most one file name", kUsersHelp);
    CStringArray ids;
    CStringArray dates;
    ctx.mgr->GetOtherUserInfo(ids, dates, Wide(args.At(0)));
    for (int i = 0; i < ids.GetSize(); ++i)
        std::printf("%s\t%s\n", Narrow(ids[i]).c_str(), Narrow(dates[i]).c_str());
    return kOk;
}

int Finish(Context& ctx)
{
    for (CTqEnvIni* doc : ctx.inis)
        if (doc->IsDirty())
            Print((ctx.dryRun ? "would save " : "saved ") + Narrow(doc->GetPath()));
    for (CTqEnvJson* doc : ctx.jsons)
        if (doc->IsDirty())
            Print((ctx.dryRun ? "would save " : "saved ") + Narrow(doc->GetPath()));
    if (!ctx.dryRun)
        CTqEnvMgr::ReleaseInstance();
    return kOk;
}

} // namespace zvenv

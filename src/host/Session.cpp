#include "Cli.h"
#include "Commands.h"

#include <zvenv/CTqIni.h>
#include <zvenv/platform/Os.h>

namespace zvenv {

CString SavedUserFile(CTqEnvMgr* mgr)
{
    return mgr->GetUserPath(L"") + L".zvenv-host.ini";
}

SavedUser LoadSavedUser(CTqEnvMgr* mgr)
{
    const CString file = SavedUserFile(mgr);
    if (!zv::os::FileExists(file))
        return SavedUser();
    const CTqIni ini(file);
    SavedUser user;
    user.id = ini.GetString(L"Host", L"User", L"");
    user.encrypt = ini.GetInt(L"Host", L"Encrypt", 0) != 0;
    return user;
}

bool StoreSavedUser(CTqEnvMgr* mgr, const SavedUser& user)
{
    const CString file = SavedUserFile(mgr);
    if (user.id.IsEmpty())
        return !zv::os::FileExists(file) || zv::os::RemoveFile(file);
    const CTqIni ini(file);
    return ini.WriteString(L"Host", L"User", user.id) && ini.WriteInt(L"Host", L"Encrypt", user.encrypt ? 1 : 0);
}

bool ApplyUser(CTqEnvMgr* mgr, const CString& id, bool encrypt)
{
    mgr->SetUserID(id, encrypt ? 1 : 0);
    // SetUserID returns nothing; a refused id leaves another user (or none) current.
    return mgr->GetUserId(0) == id && mgr->GetEnvSetting()->GetPath().Find(id) >= 0;
}

std::string RefusedUser(const CString& id)
{
    return "the library refused the user id '" + Narrow(id) +
           "': it must be one folder name (no separator, no '..', no drive, not too long)";
}

int Finish(Context& ctx)
{
    std::vector<CString> changed;
    for (CTqEnvIni* doc : ctx.inis)
        if (doc->IsDirty())
            changed.push_back(doc->GetPath());
    for (CTqEnvJson* doc : ctx.jsons)
        if (doc->IsDirty())
            changed.push_back(doc->GetPath());
    if (ctx.dryRun) {
        for (const CString& path : changed)
            Print("would save " + Narrow(path));
        return kOk;
    }
    // What a desktop host does on exit: every dirty document is written.
    CTqEnvMgr::ReleaseInstance();
    // Save reports nothing and clears the dirty flag even when a write
    // failed; a file that is not there afterwards at least shows the failure.
    int result = kOk;
    for (const CString& path : changed) {
        if (zv::os::FileExists(path))
            Print("saved " + Narrow(path));
        else
            result = Fail("could not save " + Narrow(path));
    }
    return result;
}

} // namespace zvenv

#pragma once

#include "Cli.h"

#include <zvenv/CTqEnvMgr.h>

#include <string>
#include <vector>

namespace zvenv {

// The current user between runs: kept by the host in <root>/user/.zvenv-host.ini
// (the plain id and whether it is stored encrypted). The library itself keeps
// no current user across processes.
struct SavedUser {
    CString id;
    bool encrypt = false;
};
CString SavedUserFile(CTqEnvMgr* mgr);
SavedUser LoadSavedUser(CTqEnvMgr* mgr);
bool StoreSavedUser(CTqEnvMgr* mgr, const SavedUser& user); // an empty id forgets the user

// The state of one run of the host: the manager, the global options, and the
// documents the command touched, which are saved (or, with --dry-run, only
// named) at the end.
struct Context {
    CTqEnvMgr* mgr = nullptr;
    bool dryRun = false;
    bool encrypt = false;
    SavedUser user; // the user of this run: --user, else the saved one
    std::vector<CTqEnvIni*> inis;
    std::vector<CTqEnvJson*> jsons;
};

int RunPaths(Context& ctx, const Words& words);
int RunUser(Context& ctx, const Words& words);
int RunUsers(Context& ctx, const Words& words);
int RunIni(Context& ctx, const Words& words);
int RunJson(Context& ctx, const Words& words);

// Makes `id` the current user; false when the library refused it (a name
// that is not a single folder name, or too long to encrypt).
bool ApplyUser(CTqEnvMgr* mgr, const CString& id, bool encrypt);
std::string RefusedUser(const CString& id); // the message for a refused id

// Saves the touched documents that changed, through the manager's SaveAll
// as a desktop host does on exit, and names each file; with --dry-run names
// them only. kFailed when a document stayed unsaved.
int Finish(Context& ctx);

} // namespace zvenv

#pragma once

#include <zvenv/CTqEnvMgr.h>

#include <string>
#include <vector>

namespace zvenv {

// The state of one run of the host: the manager, and the documents the
// commands touched, which are saved (or, with --dry-run, listed) at the end.
struct Context {
    CTqEnvMgr* mgr = nullptr;
    bool dryRun = false;
    std::vector<CTqEnvIni*> inis;
    std::vector<CTqEnvJson*> jsons;
};

using Words = std::vector<std::string>;

int RunPaths(Context& ctx, const Words& words);
int RunUser(Context& ctx, const Words& words);
int RunUsers(Context& ctx, const Words& words);
int RunIni(Context& ctx, const Words& words);
int RunJson(Context& ctx, const Words& words);

// Saves every touched document that changed (SaveAll), or lists them with
// --dry-run. Returns kOk.
int Finish(Context& ctx);

} // namespace zvenv

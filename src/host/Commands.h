#pragma once

#include "Cli.h"
#include "JsonText.h"

#include <zvenv/CTqEnvMgr.h>

#include <string>
#include <vector>

namespace zvenv {

// The current user between runs: kept by the host in <root>/user/.zvenv-host.ini.
// An id stored encrypted is kept there only in its encrypted form. The
// library itself keeps no current user across processes.
struct SavedUser {
    CString id; // the plain id
    bool encrypt = false;
};
CString SavedUserFile(CTqEnvMgr* mgr);
SavedUser LoadSavedUser(CTqEnvMgr* mgr);
bool StoreSavedUser(CTqEnvMgr* mgr, const SavedUser& user); // an empty id forgets the user

enum class Format { Text, Json };

// The state of one run of the host: the manager, the global options, and the
// documents the command touched, which are saved at the end.
struct Context {
    CTqEnvMgr* mgr = nullptr;
    bool dryRun = false;
    bool encrypt = false;
    bool quiet = false;
    Format format = Format::Text;
    SavedUser user;   // the user of this run: --user, else the saved one
    CString root;     // the root the command is about, ending in a separator
    CString workRoot; // where the manager works: the root, or its copy in a dry run
    std::vector<CTqEnvIni*> inis;
    std::vector<CTqEnvJson*> jsons;

    // A path as the user knows it: in a dry run the copy's paths name the root.
    std::string Show(const CString& path) const;
    // A line that confirms a change; -q silences it.
    void Note(const std::string& line) const;
    // Prints a reading command's result: the text lines, or the JSON value.
    void Emit(const JsonValue& json, const std::vector<std::string>& lines) const;
};

int RunPaths(Context& ctx, const Words& words);
int RunUser(Context& ctx, const Words& words);
int RunUsers(Context& ctx, const Words& words);
int RunIni(Context& ctx, const Words& words);
int RunJson(Context& ctx, const Words& words);
int RunDump(Context& ctx, const Words& words);
int RunExport(Context& ctx, const Words& words);
int RunImport(Context& ctx, const Words& words);
int RunReset(Context& ctx, const Words& words);
int RunDiff(Context& ctx, const Words& words);

// Makes `id` the current user; false when the library refused it (a name
// that is not a single folder name, or too long to encrypt).
bool ApplyUser(CTqEnvMgr* mgr, const CString& id, bool encrypt);
std::string RefusedUser(const CString& id); // the message for a refused id

// Saves the touched documents that changed, one by one, and names each file;
// a document the library could not save is reported with the system's reason.
// kFailed when one stayed unsaved.
int Finish(Context& ctx);

// Checks text with the validator module the library uses: 1 valid, 0 not
// valid (with the description), -1 when the module is not available.
int ValidateJsonText(const std::wstring& text, CString& description);

} // namespace zvenv

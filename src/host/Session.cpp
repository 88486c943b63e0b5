#include "Cli.h"
#include "Commands.h"

#include <zvenv/CTqIni.h>
#include <zvenv/ZvUtil.h>
#include <zvenv/platform/Os.h>
#include <zvenv/platform/Profile.h>
#include <zvenv/platform/Text.h>

#include <algorithm>
#include <system_error>

namespace zvenv {

std::string Context::Show(const CString& path) const
{
    if (!workRoot.IsEmpty() && workRoot != root && path.Left(workRoot.GetLength()) == workRoot)
        return Narrow(root + path.Mid(workRoot.GetLength()));
    return Narrow(path);
}

void Context::Note(const std::string& line) const
{
    if (!quiet)
        Print(line);
}

void Context::Emit(const JsonValue& json, const std::vector<std::string>& lines) const
{
    if (format == Format::Json) {
        Print(WriteJson(json));
        return;
    }
    for (const std::string& line : lines)
        Print(line);
}

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
    user.encrypt = ini.GetInt(L"Host", L"Encrypt", 0) != 0;
    const CString stored = ini.GetString(L"Host", L"StoredUser", L"");
    if (stored.IsEmpty()) {
        user.id = ini.GetString(L"Host", L"User", L"");
    } else if (!TQ_UT_DecryptSD(stored, user.id)) {
        Warn("the user kept in " + Narrow(file) + " cannot be read; set it again with zvenv user set ID");
        return SavedUser();
    }
    return user;
}

// The file is the host's own: it is written whole, so an encrypted user
// leaves no plain id behind in it.
bool StoreSavedUser(CTqEnvMgr* mgr, const SavedUser& user)
{
    const CString file = SavedUserFile(mgr);
    if (user.id.IsEmpty())
        return !zv::os::FileExists(file) || zv::os::DeleteFile(file);
    CString line = L"User=" + user.id;
    if (user.encrypt) {
        CString stored;
        if (!TQ_UT_EncryptSD(user.id, stored))
            return false;
        line = L"StoredUser=" + stored;
    }
    const CString text = L"[Host]\r\n" + line + L"\r\nEncrypt=" + (user.encrypt ? L"1" : L"0") + L"\r\n";
    const std::string bytes = "\xFF\xFE" + zv::text::EncodeUtf16le(text.GetString());
    const zv::FileWriteLock lock(file);
    return zv::os::WriteFileAtomic(file, bytes.data(), bytes.size());
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

namespace {

std::string Reason(unsigned long error, bool fileThere)
{
    if (error != 0)
        return std::system_category().message(static_cast<int>(error));
    return fileThere ? "the library kept the document unsaved" : "no file is there after saving";
}

// Saves one document; false, with the reason on standard error, when the
// library could not write it (it then stays dirty, or no file is there).
template <typename Doc> bool SaveOne(const Context& ctx, Doc* doc)
{
    zv::os::SetLastError(0);
    doc->Save();
    const unsigned long error = zv::os::GetLastError();
    const CString path = doc->GetPath();
    const bool there = zv::os::FileExists(path);
    if (doc->IsDirty() || !there) {
        Fail("could not save " + ctx.Show(path) + ": " + Reason(error, there));
        return false;
    }
    if (!ctx.dryRun)
        ctx.Note("saved " + ctx.Show(path));
    return true;
}

template <typename Doc> bool SaveAll(const Context& ctx, const std::vector<Doc*>& docs)
{
    bool ok = true;
    std::vector<Doc*> done;
    for (Doc* doc : docs) {
        if (std::find(done.begin(), done.end(), doc) != done.end() || !doc->IsDirty())
            continue;
        done.push_back(doc);
        ok = SaveOne(ctx, doc) && ok;
    }
    return ok;
}

} // namespace

int Finish(Context& ctx)
{
    // In the order of the manager's SaveAll: INI documents, then JSON ones.
    const bool inis = SaveAll(ctx, ctx.inis);
    const bool jsons = SaveAll(ctx, ctx.jsons);
    return inis && jsons ? kOk : kFailed;
}

} // namespace zvenv

#include <zvenv/CTqEnvMgr.h>

#include "envjson/JsonValidator.h"
#include "envjson/RejectedCopy.h"
#include "envmgr/Names.h"
#include "envmgr/Seeding.h"
#include "util/CPath.h"

#include <zvenv/ZvUtil.h>
#include <zvenv/platform/CFile.h>
#include <zvenv/platform/Os.h>
#include <zvenv/platform/Profile.h>

#include <type_traits>

using zv::envmgr::DocumentName;
using zv::envmgr::kIniExtension;
using zv::envmgr::kJsonExtension;
using zv::envmgr::NormalizeSubFolder;
using zv::envmgr::SplitDocumentName;
using zv::envmgr::StaysInside;
using zv::envmgr::UpToNull;

namespace {

template <typename Doc> using Registry = CMap<CString, LPCWSTR, Doc*, Doc*>;

// INI documents are keyed by name and sub-folder without regard to case,
// JSON documents exactly; the extension is never part of a key.
CString IniKey(const CString& name, const CString& sub)
{
    CString key = name + sub;
    key.MakeUpper();
    return key;
}

// A document request as the registry reads it: every step (the key, the
// containment check, the path) works on this one text.
struct DocumentText {
    DocumentName doc;
    CString sub;  // as keyed; normalised where it builds a path
    CString file; // name "." extension
    CString key;
    bool inside = false; // the file and the normalised sub-folder stay under their folder
};

template <typename Doc> DocumentText ReadDocumentText(const CString& name, const CString& sub, bool trimSub)
{
    constexpr bool json = std::is_same_v<Doc, CTqEnvJson>;
    DocumentText text;
    text.doc = SplitDocumentName(UpToNull(name), json ? kJsonExtension : kIniExtension);
    if (json)
        text.doc.extension = kJsonExtension; // a JSON document is always a .json file
    text.sub = UpToNull(sub);
    if (trimSub)
        text.sub.Trim();
    text.file = text.doc.name + L"." + text.doc.extension;
    text.key = json ? text.doc.name + text.sub : IniKey(text.doc.name, text.sub);
    text.inside = StaysInside(text.file) && StaysInside(NormalizeSubFolder(text.sub));
    return text;
}

// The folder part of a file path, created with every missing parent.
void CreateFolderOf(const CString& path)
{
    CPath parts(path, 0, 0);
    CREATEDIRECTORYS(parts.GetDrive() + parts.GetDir(-1));
}

template <typename Doc> void DestroyAll(Registry<Doc>& map)
{
    POSITION pos = map.GetStartPosition();
    while (pos) {
        CString key;
        Doc* doc = nullptr;
        map.GetNextAssoc(pos, key, doc);
        delete doc;
    }
    map.RemoveAll();
}

} // namespace

// The file a document name stands for: the system folder's copy, the user
// folder (no user set), the user's own folder, or a sub-folder of it.
static CString DocumentPath(CTqEnvMgr& mgr, const CString& userId, const DocumentText& text, int system)
{
    if (system)
        return mgr.GetSystemPath(text.sub) + text.file;
    if (text.sub.IsEmpty()) {
        if (userId.IsEmpty())
            return mgr.GetUserPath(L"") + text.file;
        return mgr.GetUserPath(L"") + userId + CString(zv::os::kSeparator) + text.file;
    }
    return mgr.GetUserIdPath(L"") + NormalizeSubFolder(text.sub) + text.file;
}

// The one path of the four getters: the registered document, or a new one
// bound to its file. A user document's missing file is seeded from the system
// folder; a JSON document is loaded, and a user's JSON file that cannot be
// read is replaced by the shipped default once its bytes are kept beside it
// (without the validator no file can be judged, so none is). Clones stand
// for the system folder's file and are never seeded. bind gives a new
// document its path (a call only the manager may make).
template <typename Doc, typename Bind>
static Doc* GetDocument(CTqEnvMgr& mgr, Registry<Doc>& registry, const CString& userId, const DocumentText& text,
                        int system, bool clone, int* copied, Bind bind)
{
    if (!text.inside)
        return nullptr;
    Doc* doc = nullptr;
    if (registry.Lookup(text.key, doc))
        return doc;

    const CString path = clone ? mgr.GetSystemPath(text.sub) + text.file : DocumentPath(mgr, userId, text, system);
    CreateFolderOf(path);
    const bool seeded = !clone && !system;
    const CString shipped = mgr.GetSystemPath(L"") + text.file;
    int copy = seeded && zv::envmgr::SeedFromShipped(path, shipped) ? 1 : 0;
    doc = new Doc;
    bind(*doc, path);
    if constexpr (std::is_same_v<Doc, CTqEnvJson>) {
        doc->Load();
        if (seeded && !doc->GetJson() && !copy && g_pfnJsonCppParse) {
            {
                zv::FileWriteLock writers(path);
                if (zv::envjson::KeepRejectedCopy(path))
                    copy = zv::envmgr::RestoreFromShipped(path, shipped, zv::envmgr::WithoutShipped::Keep) ? 1 : 0;
            }
            if (copy == 1)
                doc->Load();
        }
    }
    if (copied)
        *copied = copy;
    registry.SetAt(text.key, doc);
    return doc;
}

CTqEnvIni* CTqEnvMgr::GetEnvIni(CString name, int system, CString sub)
{
    const DocumentText text = ReadDocumentText<CTqEnvIni>(name, sub, true);
    if (text.doc.name.IsEmpty() || text.doc.name.CompareNoCase(L"EnvSetting") == 0)
        return m_pEnvSetting;
    return GetDocument(*this, m_mapIni, m_strUserId, text, system, false, nullptr,
                       [](auto& doc, const CString& path) { doc.SetPathName(path); });
}

CTqEnvJson* CTqEnvMgr::GetJsonEx(CString name, int& copied, int system, CString sub)
{
    copied = 0;
    const DocumentText text = ReadDocumentText<CTqEnvJson>(name, sub, true);
    if (text.doc.name.IsEmpty())
        return nullptr;
    return GetDocument(*this, m_mapJson, m_strUserId, text, system, false, &copied,
                       [](auto& doc, const CString& path) { doc.SetPathName(path); });
}

CTqEnvJson* CTqEnvMgr::GetJson(CString name, int system, CString sub)
{
    int copied = 0;
    return GetJsonEx(name, copied, system, sub);
}

// The INI clone keeps its sub-folder as given (only the name is trimmed) and
// takes any name, the empty one included.
CTqEnvIni* CTqEnvMgr::GetEnvIniClone(CString name, CString sub)
{
    const DocumentText text = ReadDocumentText<CTqEnvIni>(name, sub, false);
    return GetDocument(*this, m_mapIniClone, m_strUserId, text, 1, true, nullptr,
                       [](auto& doc, const CString& path) { doc.SetPathName(path); });
}

CTqEnvJson* CTqEnvMgr::GetJsonClone(CString name, CString sub)
{
    const DocumentText text = ReadDocumentText<CTqEnvJson>(name, sub, true);
    if (text.doc.name.IsEmpty())
        return nullptr;
    return GetDocument(*this, m_mapJsonClone, m_strUserId, text, 1, true, nullptr,
                       [](auto& doc, const CString& path) { doc.SetPathName(path); });
}

void CTqEnvMgr::SetEvIni(CString name, CTqEnvIni* ini)
{
    name.MakeUpper();
    m_mapIni.SetAt(name, ini);
}

void CTqEnvMgr::DeleteIni(CString name, CString sub, int deleteFile)
{
    const CString key = ReadDocumentText<CTqEnvIni>(name, sub, true).key;
    CTqEnvIni* ini = nullptr;
    if (!m_mapIni.Lookup(key, ini))
        return;
    if (deleteFile && FILEEXISTS(ini->GetPath()))
        zv::os::DeleteFile(ini->GetPath());
    m_mapIni.RemoveKey(key);
    delete ini;
}

// JSON documents are found by the name and sub-folder as passed, trimmed.
static CString JsonLookupKey(const CString& name, const CString& sub)
{
    return UpToNull(name).Trim() + UpToNull(sub).Trim();
}

void CTqEnvMgr::DeleteJson(CString name, CString sub, int deleteFile)
{
    const CString key = JsonLookupKey(name, sub);
    CTqEnvJson* json = nullptr;
    if (!m_mapJson.Lookup(key, json))
        return;
    if (deleteFile && FILEEXISTS(json->GetPath()))
        zv::os::DeleteFile(json->GetPath());
    m_mapJson.RemoveKey(key);
    delete json;
}

void CTqEnvMgr::DeleteCloneIni(CString name, CString sub)
{
    const CString key = ReadDocumentText<CTqEnvIni>(name, sub, true).key;
    CTqEnvIni* ini = nullptr;
    if (m_mapIniClone.Lookup(key, ini)) {
        m_mapIniClone.RemoveKey(key);
        delete ini;
    }
}

void CTqEnvMgr::DeleteCloneJson(CString name, CString sub)
{
    const CString key = JsonLookupKey(name, sub);
    CTqEnvJson* json = nullptr;
    if (m_mapJsonClone.Lookup(key, json)) {
        m_mapJsonClone.RemoveKey(key);
        delete json;
    }
}

// The document's file moves into the user's folder as newName + ".ini" (the
// new name is used whole: "New.ini" gives New.ini.ini); the document is then
// found by a GetEnvIni of the new name and sub-folder. A new name that differs
// only in case names the same file, which takes the new spelling.
int CTqEnvMgr::ChangeNameIni(CString oldName, CString newName, CString sub)
{
    const DocumentText old = ReadDocumentText<CTqEnvIni>(oldName, sub, true);
    CTqEnvIni* ini = nullptr;
    if (!m_mapIni.Lookup(old.key, ini))
        return 0;
    newName = UpToNull(newName).Trim();
    const CString folder = NormalizeSubFolder(old.sub);
    const CString file = newName + L".ini";
    if (!StaysInside(file) || !StaysInside(folder))
        return 0;
    const CString path = GetUserIdPath(L"") + folder + file;
    if (!zv::os::MoveFile(ini->GetPath(), path))
        return 0;
    ini->SetPathName(path);
    m_mapIni.RemoveKey(old.key);
    m_mapIni.SetAt(IniKey(SplitDocumentName(newName, kIniExtension).name, old.sub), ini);
    return 1;
}

// A file at the new path is replaced, unless it is the document's own file
// (the same name, or one that differs only in case): that one is kept and
// takes the new spelling.
int CTqEnvMgr::ChangeNameJson(CString oldName, CString newName, CString sub)
{
    const CString oldKey = JsonLookupKey(oldName, sub);
    CTqEnvJson* json = nullptr;
    if (!m_mapJson.Lookup(oldKey, json))
        return 0;
    newName = UpToNull(newName).Trim();
    const CString folder = NormalizeSubFolder(UpToNull(sub).Trim());
    const CString file = newName + L".json";
    if (!StaysInside(file) || !StaysInside(folder))
        return 0;
    const CString path = GetUserIdPath(L"") + folder + file;
    const bool ownFile = zv::os::ResolvePath(path) == zv::os::ResolvePath(json->GetPath());
    if (!ownFile && FILEEXISTS(path))
        zv::os::DeleteFile(path);
    try {
        CFile::Rename(json->GetPath(), path);
    } catch (const CFileException&) {
        return 0;
    }
    json->SetPathName(path);
    m_mapJson.RemoveKey(oldKey);
    const int cut = folder.Find(zv::os::kSeparator);
    m_mapJson.SetAt(newName + (cut >= 0 ? folder.Left(cut) : folder), json);
    return 1;
}

void CTqEnvMgr::ClearIni()
{
    DestroyAll(m_mapIni);
    DestroyAll(m_mapIniClone);
}

void CTqEnvMgr::ClearJson()
{
    DestroyAll(m_mapJson);
    DestroyAll(m_mapJsonClone);
}

void CTqEnvMgr::Clear()
{
    ClearJson();
    ClearIni();
    TQ_UT_ENV_Clear();
}

void CTqEnvMgr::SaveAll()
{
    if (m_pEnvSetting->IsDirty())
        m_pEnvSetting->Save();
    POSITION pos = m_mapIni.GetStartPosition();
    while (pos) {
        CString key;
        CTqEnvIni* ini = nullptr;
        m_mapIni.GetNextAssoc(pos, key, ini);
        if (ini && ini->IsDirty())
            ini->Save();
    }
    pos = m_mapJson.GetStartPosition();
    while (pos) {
        CString key;
        CTqEnvJson* json = nullptr;
        m_mapJson.GetNextAssoc(pos, key, json);
        if (json && json->IsDirty())
            json->Save();
    }
}

void CTqEnvMgr::ReleaseInstance()
{
    if (m_bInit)
        GetInstance()->SaveAll();
}

#include <zvenv/CTqEnvMgr.h>

#include "envjson/JsonValidator.h"
#include "envjson/RejectedCopy.h"
#include "envmgr/Names.h"
#include "util/CPath.h"

#include <zvenv/ZvUtil.h>
#include <zvenv/platform/CFile.h>
#include <zvenv/platform/Os.h>
#include <zvenv/platform/Profile.h>

using zv::envmgr::DocumentName;
using zv::envmgr::kIniExtension;
using zv::envmgr::kJsonExtension;
using zv::envmgr::NormalizeSubFolder;
using zv::envmgr::SplitDocumentName;
using zv::envmgr::StaysInside;

namespace {

// INI documents are keyed by name and sub-folder without regard to case,
// JSON documents exactly; the extension is never part of a key.
CString IniKey(const CString& name, const CString& sub)
{
    CString key = name + sub;
    key.MakeUpper();
    return key;
}

bool NamesStayInside(const CString& name, const CString& sub)
{
    return StaysInside(name) && StaysInside(sub);
}

// The folder part of a file path, created with every missing parent.
void CreateFolderOf(const CString& path)
{
    CPath parts(path, 0, 0);
    CREATEDIRECTORYS(parts.GetDrive() + parts.GetDir(-1));
}

template <typename Doc> void DestroyAll(CMap<CString, LPCWSTR, Doc*, Doc*>& map)
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
static CString DocumentPath(CTqEnvMgr& mgr, const CString& userId, const DocumentName& doc, int system,
                            const CString& sub)
{
    const CString file = doc.name + L"." + doc.extension;
    if (system)
        return mgr.GetSystemPath(sub) + file;
    if (sub.IsEmpty()) {
        if (userId.IsEmpty())
            return mgr.GetUserPath(L"") + file;
        return mgr.GetUserPath(L"") + userId + CString(zv::os::kSeparator) + file;
    }
    return mgr.GetUserIdPath(L"") + NormalizeSubFolder(sub) + file;
}

CTqEnvIni* CTqEnvMgr::GetEnvIni(CString name, int system, CString sub)
{
    const DocumentName doc = SplitDocumentName(name, kIniExtension);
    sub.Trim();
    if (doc.name.IsEmpty() || doc.name.CompareNoCase(L"EnvSetting") == 0)
        return m_pEnvSetting;
    if (!NamesStayInside(name.Trim(), sub))
        return nullptr;
    const CString key = IniKey(doc.name, sub);
    CTqEnvIni* ini = nullptr;
    if (m_mapIni.Lookup(key, ini))
        return ini;

    const CString path = DocumentPath(*this, m_strUserId, doc, system, sub);
    CreateFolderOf(path);
    if (!system && !FILEEXISTS(path)) {
        const CString shipped = GetSystemPath(L"") + doc.name + L"." + doc.extension;
        if (FILEEXISTS(shipped))
            zv::os::CopyFile(shipped, path, true);
    }
    ini = new CTqEnvIni;
    ini->SetPathName(path);
    m_mapIni.SetAt(key, ini);
    return ini;
}

CTqEnvJson* CTqEnvMgr::GetJsonEx(CString name, int& copied, int system, CString sub)
{
    copied = 0;
    DocumentName doc = SplitDocumentName(name, kJsonExtension);
    doc.extension = kJsonExtension; // a JSON document is always a .json file
    sub.Trim();
    if (doc.name.IsEmpty() || !NamesStayInside(name.Trim(), sub))
        return nullptr;
    const CString key = doc.name + sub;
    CTqEnvJson* json = nullptr;
    if (m_mapJson.Lookup(key, json))
        return json;

    const CString path = DocumentPath(*this, m_strUserId, doc, system, sub);
    CreateFolderOf(path);
    const CString shipped = GetSystemPath(L"") + doc.name + L".json";
    if (!FILEEXISTS(path) && !system && FILEEXISTS(shipped))
        copied = zv::os::CopyFile(shipped, path, true) ? 1 : 0;
    json = new CTqEnvJson;
    json->SetPathName(path);
    json->Load();
    // A user file that cannot be read is replaced by the shipped default,
    // once its bytes are kept beside it. Without the validator no file can
    // be judged, so none is replaced.
    if (!json->GetJson() && !copied && !system && g_pfnJsonCppParse && FILEEXISTS(shipped)) {
        {
            zv::FileWriteLock writers(path);
            if (zv::envjson::KeepRejectedCopy(path))
                copied = zv::os::CopyFile(shipped, path, false) ? 1 : 0;
        }
        if (copied == 1)
            json->Load();
    }
    m_mapJson.SetAt(key, json);
    return json;
}

CTqEnvJson* CTqEnvMgr::GetJson(CString name, int system, CString sub)
{
    int copied = 0;
    return GetJsonEx(name, copied, system, sub);
}

CTqEnvIni* CTqEnvMgr::GetEnvIniClone(CString name, CString sub)
{
    const DocumentName doc = SplitDocumentName(name, kIniExtension);
    if (!NamesStayInside(name.Trim(), sub.Trim()))
        return nullptr;
    const CString key = IniKey(doc.name, sub);
    CTqEnvIni* ini = nullptr;
    if (m_mapIniClone.Lookup(key, ini))
        return ini;
    const CString path = GetSystemPath(sub) + doc.name + L"." + doc.extension;
    CreateFolderOf(path);
    ini = new CTqEnvIni;
    ini->SetPathName(path);
    m_mapIniClone.SetAt(key, ini);
    return ini;
}

CTqEnvJson* CTqEnvMgr::GetJsonClone(CString name, CString sub)
{
    const DocumentName doc = SplitDocumentName(name, kJsonExtension);
    sub.Trim();
    if (doc.name.IsEmpty() || !NamesStayInside(name.Trim(), sub))
        return nullptr;
    const CString key = doc.name + sub;
    CTqEnvJson* json = nullptr;
    if (m_mapJsonClone.Lookup(key, json))
        return json;
    const CString path = GetSystemPath(sub) + doc.name + L".json";
    CreateFolderOf(path);
    json = new CTqEnvJson;
    json->SetPathName(path);
    json->Load();
    m_mapJsonClone.SetAt(key, json);
    return json;
}

void CTqEnvMgr::SetEvIni(CString name, CTqEnvIni* ini)
{
    name.MakeUpper();
    m_mapIni.SetAt(name, ini);
}

void CTqEnvMgr::DeleteIni(CString name, CString sub, int deleteFile)
{
    const CString key = IniKey(SplitDocumentName(name, kIniExtension).name, sub.Trim());
    CTqEnvIni* ini = nullptr;
    if (!m_mapIni.Lookup(key, ini))
        return;
    if (deleteFile && FILEEXISTS(ini->GetPath()))
        zv::os::DeleteFile(ini->GetPath());
    m_mapIni.RemoveKey(key);
    delete ini;
}

void CTqEnvMgr::DeleteJson(CString name, CString sub, int deleteFile)
{
    const CString key = name.Trim() + sub.Trim();
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
    const CString key = IniKey(SplitDocumentName(name, kIniExtension).name, sub.Trim());
    CTqEnvIni* ini = nullptr;
    if (m_mapIniClone.Lookup(key, ini)) {
        m_mapIniClone.RemoveKey(key);
        delete ini;
    }
}

void CTqEnvMgr::DeleteCloneJson(CString name, CString sub)
{
    const CString key = name.Trim() + sub.Trim();
    CTqEnvJson* json = nullptr;
    if (m_mapJsonClone.Lookup(key, json)) {
        m_mapJsonClone.RemoveKey(key);
        delete json;
    }
}

// The document's file moves into the user's folder under the new name; the
// document is then found by a GetEnvIni of the new name and sub-folder.
int CTqEnvMgr::ChangeNameIni(CString oldName, CString newName, CString sub)
{
    sub.Trim();
    const CString oldKey = IniKey(SplitDocumentName(oldName, kIniExtension).name, sub);
    CTqEnvIni* ini = nullptr;
    if (!m_mapIni.Lookup(oldKey, ini))
        return 0;
    const DocumentName doc = SplitDocumentName(newName, kIniExtension);
    if (doc.name.IsEmpty() || !NamesStayInside(newName.Trim(), sub))
        return 0;
    const CString path = GetUserIdPath(L"") + NormalizeSubFolder(sub) + doc.name + L"." + doc.extension;
    if (!zv::os::MoveFile(ini->GetPath(), path))
        return 0;
    ini->SetPathName(path);
    m_mapIni.RemoveKey(oldKey);
    m_mapIni.SetAt(IniKey(doc.name, sub), ini);
    return 1;
}

int CTqEnvMgr::ChangeNameJson(CString oldName, CString newName, CString sub)
{
    oldName.Trim();
    newName.Trim();
    sub.Trim();
    const CString oldKey = oldName + sub;
    CTqEnvJson* json = nullptr;
    if (!m_mapJson.Lookup(oldKey, json))
        return 0;
    if (newName.IsEmpty() || !NamesStayInside(newName, sub))
        return 0;
    const CString folder = NormalizeSubFolder(sub);
    const CString path = GetUserIdPath(L"") + folder + newName + L".json";
    if (FILEEXISTS(path))
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

#include <zvenv/CTqEnvMgr.h>

#include "envmgr/Names.h"
#include "envmgr/Seeding.h"

#include <zvenv/ZvUtil.h>
#include <zvenv/platform/Os.h>

using zv::envmgr::NormalizeSubFolder;
using zv::envmgr::StaysInside;

namespace {

const CString kSep(zv::os::kSeparator);

// root + folder + separator, followed by the normalised sub-folder.
CString LayoutPath(const CString& root, const wchar_t* folder, const wchar_t* sub)
{
    return root + folder + kSep + NormalizeSubFolder(sub ? sub : L"");
}

// Folders are created only where the caller's text, as normalised into the
// path, keeps them under the root.
void EnsureFolder(const CString& path, const wchar_t* sub)
{
    if (!StaysInside(NormalizeSubFolder(sub ? sub : L"")))
        return;
    if (!DIRECTORYEXISTS(path))
        CREATEDIRECTORYS(path);
}

} // namespace

CString CTqEnvMgr::GetRuntimePath(wchar_t* sub, int /*reserved*/)
{
    return m_strRootPath + NormalizeSubFolder(sub ? sub : L"");
}

CString CTqEnvMgr::GetDataPath(const wchar_t* sub)
{
    return LayoutPath(m_strRootPath, L"data", sub);
}
CString CTqEnvMgr::GetImagePath(const wchar_t* sub)
{
    return LayoutPath(m_strRootPath, L"image", sub);
}
CString CTqEnvMgr::GetMenuPath(const wchar_t* sub)
{
    return LayoutPath(m_strRootPath, L"menu", sub);
}
CString CTqEnvMgr::GetScreenPath(const wchar_t* sub)
{
    return LayoutPath(m_strRootPath, L"screen", sub);
}
CString CTqEnvMgr::GetSoundPath(const wchar_t* sub)
{
    return LayoutPath(m_strRootPath, L"sound", sub);
}
CString CTqEnvMgr::GetSystemPath(const wchar_t* sub)
{
    return LayoutPath(m_strRootPath, L"system", sub);
}

CString CTqEnvMgr::GetUserPath(const wchar_t* sub)
{
    const CString path = LayoutPath(m_strRootPath, L"user", sub);
    EnsureFolder(path, sub);
    return path;
}

CString CTqEnvMgr::GetUserIdPath(const wchar_t* sub)
{
    CString path = m_strRootPath + L"user" + kSep;
    if (!m_strUserId.IsEmpty()) {
        path += m_strUserId + kSep;
        if (sub && *sub)
            path += NormalizeSubFolder(sub);
    }
    EnsureFolder(path, m_strUserId.IsEmpty() ? nullptr : sub);
    return path;
}

// The stored form of an id, or false when the id names no folder: the id as
// passed names the setting folder and, when encrypted, its ciphertext names
// the documents' folder, so both must be folder names.
static bool StoredUserId(const CString& id, bool encrypt, CString& stored)
{
    if (!zv::envmgr::IsFolderName(id))
        return false;
    if (!encrypt) {
        stored = id;
        return true;
    }
    return TQ_UT_EncryptSD(id, stored) && zv::envmgr::IsFolderName(stored);
}

// The folder is named by the id as passed, the manager keeps the stored
// (possibly encrypted) form; an existing setting file is never replaced. An id
// that names no folder is refused and the current user stays.
void CTqEnvMgr::SetUserID(CString id, int encrypt)
{
    id = zv::envmgr::UpToNull(id);
    CString stored;
    if (!StoredUserId(id, encrypt != 0, stored))
        return;
    m_strUserId = stored;

    const CString folder = GetUserPath(L"") + id + kSep;
    CREATEDIRECTORYS(folder);
    const CString settingFile = folder + L"envsetting.ini";
    // The template's copy, or without a template a file holding only the
    // byte-order mark; never a bare mark where a template could be copied.
    if (!zv::envmgr::SeedFromShipped(settingFile, GetSystemPath(L"") + L"envsetting.ini"))
        zv::envmgr::CreateMissing(settingFile, std::string("\xFF\xFE", 2));
    m_pEnvSetting->SetPathName(settingFile);
}

CString CTqEnvMgr::GetUserId(int stored)
{
    if (stored)
        return m_strUserId;
    CString plain;
    TQ_UT_DecryptSD(m_strUserId, plain);
    return plain;
}

// An id that SetUserID would refuse has no folder: the result is empty and
// nothing is created.
CString CTqEnvMgr::GetOtherUserIdPath(const wchar_t* userId, const wchar_t* sub)
{
    CString encrypted;
    if (!StoredUserId(userId ? userId : L"", true, encrypted))
        return CString();
    return GetUserPath(sub) + encrypted + kSep;
}

CString CTqEnvMgr::GetMtsImagePath(const wchar_t* sub)
{
    if (m_strMtsImagePath.IsEmpty())
        return GetRuntimePath(const_cast<wchar_t*>(sub ? sub : L""));
    CString path = GetRuntimePath(const_cast<wchar_t*>(L"")) + m_strMtsImagePath;
    path.Replace(L'/', zv::os::kSeparator);
    path.Replace(L'\\', zv::os::kSeparator);
    if (path.IsEmpty() || path[path.GetLength() - 1] != zv::os::kSeparator)
        path += zv::os::kSeparator;
    return path;
}

CString CTqEnvMgr::GetMtsImagePath(const wchar_t* path, const wchar_t* sub)
{
    if (path && *path)
        return path;
    if (!m_strMtsImagePath.IsEmpty())
        return m_strMtsImagePath;
    return GetRuntimePath(const_cast<wchar_t*>(sub ? sub : L""));
}

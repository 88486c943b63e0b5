#include <zvenv/CTqEnvMgr.h>

#include "envmgr/Names.h"

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

// The folder is named by the id as passed, the manager keeps the stored
// (possibly encrypted) form; an existing setting file is never replaced.
void CTqEnvMgr::SetUserID(CString id, int encrypt)
{
    if (!zv::envmgr::IsFolderName(id))
        return;
    CString stored = id;
    if (encrypt && !id.IsEmpty() && !TQ_UT_EncryptSD(id, stored))
        return; // an id too long for a folder name keeps the current user
    m_strUserId = stored;

    const CString folder = GetUserPath(L"") + id + kSep;
    CREATEDIRECTORYS(folder);
    const CString settingFile = folder + L"envsetting.ini";
    if (!FILEEXISTS(settingFile)) {
        static const unsigned char kMark[] = {0xFF, 0xFE};
        zv::os::CreateNewFile(settingFile, kMark, sizeof kMark);
        const CString templateFile = GetSystemPath(L"") + L"envsetting.ini";
        if (FILEEXISTS(templateFile))
            zv::os::CopyFile(templateFile, settingFile, false);
    }
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

CString CTqEnvMgr::GetOtherUserIdPath(const wchar_t* userId, const wchar_t* sub)
{
    CString encrypted;
    TQ_UT_EncryptSD(userId ? userId : L"", encrypted);
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

#include <zvenv/CTqEnvIni.h>
#include <zvenv/CTqEnvMgr.h>
#include <zvenv/ZvUtil.h>
#include <zvenv/platform/Os.h>

#include "envmgr/Seeding.h"
#include "util/CPath.h"

namespace {

bool SameFile(const CString& a, const CString& b)
{
    return zv::os::ResolvePath(zv::os::FullPath(a)) == zv::os::ResolvePath(zv::os::FullPath(b));
}

} // namespace

// The two operations that need the manager's folders live apart, so that the
// rest of the document links without the manager.

int CTqEnvIni::ReloadFile(int restoreFromSystem)
{
    CSingleLock lock(&m_cs);
    const CString path = m_ini.GetPathName();
    if (restoreFromSystem && FILEEXISTS(path)) {
        // The shipped copy of the same file name replaces the user's file;
        // without one the user's file is gone and reads give defaults.
        const CString fileName = CPath(path, 0, 0).GetFileName();
        CString source;
        source.Format(L"%s%s", fnTqEnvMgr()->GetSystemPath(L""), fileName);
        // A document of the system folder is its own shipped copy and is
        // left alone.
        if (!SameFile(source, path))
            zv::envmgr::RestoreFromShipped(path, source, zv::envmgr::WithoutShipped::Delete);
    }
    // Clearing under the same hold leaves no gap in which another thread
    // could cache a value of the replaced file.
    Clear();
    return 1;
}

int CTqEnvIni::ChangeSavePathToUserIdPath()
{
    CSingleLock lock(&m_cs);
    const CString fileName = CPath(m_ini.GetPathName(), 0, 0).GetFileName();
    CString path;
    path.Format(L"%s%s", fnTqEnvMgr()->GetUserIdPath(L""), fileName);
    SetPathName(path);
    return 1;
}

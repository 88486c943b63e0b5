#include <zvenv/EnvTool.h>

#include "envmgr/RootChoice.h"

#include <zvenv/platform/Os.h>

namespace {

struct RootChoice {
    CString chosen;
    bool started = false;
};

RootChoice& Choice()
{
    static RootChoice choice;
    return choice;
}

CString WithSeparator(CString folder)
{
    if (folder.IsEmpty() || folder[folder.GetLength() - 1] != zv::os::kSeparator)
        folder += zv::os::kSeparator;
    return folder;
}

} // namespace

namespace zv::envtool {

// The parent of the executable's folder; an executable directly in the top
// folder gets the top folder itself.
CString DefaultRootPath()
{
    const CString exe = zv::os::ExecutablePath();
    const CString folder = exe.Left(exe.ReverseFind(zv::os::kSeparator));
    CString root = folder.Left(folder.ReverseFind(zv::os::kSeparator) + 1);
    if (root.IsEmpty())
        root = CString(zv::os::kSeparator);
    return WithSeparator(zv::os::FullPath(root));
}

bool UseRootPath(const wchar_t* folder)
{
    RootChoice& choice = Choice();
    if (choice.started || !folder || !*folder || !zv::os::FolderExists(folder))
        return false;
    choice.chosen = WithSeparator(zv::os::FullPath(folder));
    return true;
}

} // namespace zv::envtool

namespace zv::envmgr {

CString TakeStartupRoot()
{
    RootChoice& choice = Choice();
    choice.started = true;
    return choice.chosen.IsEmpty() ? zv::envtool::DefaultRootPath() : choice.chosen;
}

} // namespace zv::envmgr

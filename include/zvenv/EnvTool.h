#pragma once

#include <zvenv/platform/CString.h>
#include <zvenv/platform/Export.h>

/// \file
/// Opening an application root other than the executable's, for
/// administration tools such as `zvenv --root DIR`. Hosts of the suite never
/// need these functions: without them the manager takes the root by its own
/// rule (the parent of the folder that holds the executable), and a process
/// that never calls them sees no difference at all.

/// Functions for administration tools (see EnvTool.h).
namespace zv::envtool {

/// The root folder the manager takes by its own rule: the parent of the
/// folder that holds the running executable, absolute and canonical, ending
/// in a separator. Computing it starts nothing and touches no file.
ZVENVMGR_API CString DefaultRootPath();

/// Makes the manager take `folder` as its root when it starts, instead of the
/// folder above the executable. Call it before the first
/// CTqEnvMgr::GetInstance() (or fnTqEnvMgr()); the root never changes once
/// the manager has started. The folder is made absolute and canonical.
/// \return false, and nothing changes, when the manager has started already
///         or `folder` is null, empty or not an existing folder.
ZVENVMGR_API bool UseRootPath(const wchar_t* folder);

} // namespace zv::envtool

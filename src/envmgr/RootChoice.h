#pragma once

#include <zvenv/platform/CString.h>

namespace zv::envmgr {

// The root the manager starts with: the folder a tool chose through
// zv::envtool::UseRootPath, else the default rule. Later choices are refused.
CString TakeStartupRoot();

} // namespace zv::envmgr

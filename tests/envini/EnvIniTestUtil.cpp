// The path setter is the manager's; tests reach it here, and only here.
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include <zvenv/CTqIni.h>
#include <zvenv/platform/CCriticalSection.h>
#include <zvenv/platform/CMap.h>

#define private public
#include <zvenv/CTqEnvIni.h>
#undef private

#include "EnvIniTestUtil.h"

namespace envinitest {

void BindPath(CTqEnvIni& doc, const std::string& path)
{
    doc.SetPathName(W(path).c_str());
}

} // namespace envinitest

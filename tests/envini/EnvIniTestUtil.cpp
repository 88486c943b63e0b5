#include "EnvIniTestUtil.h"

namespace envinitest {
namespace {

// The path setter is the manager's; an explicit instantiation may name it.
using PathSetter = void (CTqEnvIni::*)(const wchar_t*);
PathSetter setter;
template <PathSetter Set> struct Take {
    static inline const bool taken = (setter = Set, true);
};
template struct Take<&CTqEnvIni::SetPathName>;

} // namespace

void BindPath(CTqEnvIni& doc, const std::string& path)
{
    (doc.*setter)(W(path).c_str());
}

} // namespace envinitest

// zvenv: a command-line host of the library. For now it prints the
// application root and the folder layout of its own location.
#include <zvenv/CTqEnvMgr.h>

#include <cstdio>

namespace {

void PrintLine(const char* label, const CString& value) { std::printf("%-8s %s\n", label, value.ToUtf8().c_str()); }

} // namespace

int main()
{
    CTqEnvMgr* mgr = CTqEnvMgr::GetInstance();
    PrintLine("root", mgr->GetRootPath());
    PrintLine("module", mgr->GetModulePath());
    PrintLine("data", mgr->GetDataPath(L""));
    PrintLine("image", mgr->GetImagePath(L""));
    PrintLine("menu", mgr->GetMenuPath(L""));
    PrintLine("screen", mgr->GetScreenPath(L""));
    PrintLine("sound", mgr->GetSoundPath(L""));
    PrintLine("system", mgr->GetSystemPath(L""));
    PrintLine("user", mgr->GetUserPath(L""));
    return 0;
}

// A host of an installed ZvEnvMgr in <root>/bin: seeds the user's trade.ini
// from system/, changes it (with a character beyond U+FFFF), saves it, and
// reads a JSON document, which needs the validator module.
#include <zvenv/CTqEnvMgr.h>

#include <cstdio>

int main()
{
    CTqEnvMgr* mgr = fnTqEnvMgr();
    std::printf("root=%s\n", mgr->GetRootPath().ToUtf8().c_str());
    CTqEnvIni* trade = mgr->GetEnvIni(L"trade");
    if (!trade)
        return 4;
    std::printf("before=%s\n", trade->GetString(L"Main", L"Title", L"(missing)").ToUtf8().c_str());
    trade->SetString(L"Main", L"Title", L"Consumer \u00e9t\u00e9 \U0001F600");
    CTqEnvJson* layout = mgr->GetJson(L"layout");
    if (!layout || !layout->GetJson())
        return 5;
    std::printf("layout=%s\n", layout->GetString(L"title", L"(missing)").ToUtf8().c_str());
    CTqEnvMgr::ReleaseInstance();
}

#include <zvenv/CTqEnvMgr.h>

#include <cstdio>

int main()
{
    CTqEnvMgr* env = fnTqEnvMgr();               // the root is the parent of this program's folder
    env->SetUserID(L"alice");                    // user/alice/ with its envsetting.ini
    CTqEnvIni* trade = env->GetEnvIni(L"trade"); // user/alice/trade.ini, seeded from system/trade.ini
    int seconds = trade->GetInt(L"Main", L"RefreshSeconds", 5);
    trade->SetInt(L"Main", L"RefreshSeconds", seconds + 1);
    std::printf("RefreshSeconds was %d\n", seconds);
    CTqEnvMgr::ReleaseInstance(); // saves every changed document
}

// Reads and saves settings through an installed ZvEnvMgr.
//   consumer ini FILE   writes a value with CTqIni and reads it back
//   consumer manager    as a host in <root>/bin: seeds the user's trade.ini
//                       from system/, changes it, saves it, and reads a JSON
//                       document (which needs the validator module)
#include <zvenv/CTqEnvMgr.h>
#include <zvenv/CTqIni.h>

#include <cstdio>
#include <cstring>

namespace {

int Ini(const char* file)
{
    const CString path(file);
    CTqIni ini(path);
    if (!ini.WriteString(L"Main", L"Title", L"Größe \u00e9t\u00e9 \U0001F600"))
        return 3;
    if (!ini.WriteInt(L"Main", L"Count", 42))
        return 3;
    std::printf("Title=%s\n", ini.GetString(L"Main", L"Title", L"").ToUtf8().c_str());
    std::printf("Count=%d\n", ini.GetInt(L"Main", L"Count", -1));
    return 0;
}

int Manager()
{
    CTqEnvMgr* mgr = fnTqEnvMgr();
    std::printf("root=%s\n", mgr->GetRootPath().ToUtf8().c_str());
    CTqEnvIni* trade = mgr->GetEnvIni(L"trade");
    if (!trade)
        return 4;
    std::printf("before=%s\n", trade->GetString(L"Main", L"Title", L"(missing)").ToUtf8().c_str());
    trade->SetString(L"Main", L"Title", L"Consumer \u00e9t\u00e9");
    CTqEnvJson* layout = mgr->GetJson(L"layout");
    if (!layout || !layout->GetJson())
        return 5;
    std::printf("layout=%s\n", layout->GetString(L"title", L"(missing)").ToUtf8().c_str());
    CTqEnvMgr::ReleaseInstance();
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "ini") == 0)
        return Ini(argv[2]);
    if (argc == 2 && std::strcmp(argv[1], "manager") == 0)
        return Manager();
    std::fprintf(stderr, "usage: consumer ini FILE | consumer manager\n");
    return 2;
}

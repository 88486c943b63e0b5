#include <zvenv/CTqEnvMgr.h>

#include "envjson/JsonValidator.h"
#include "envmgr/Names.h"
#include "envmgr/RootChoice.h"

#include <zvenv/ZvUtil.h>
#include <zvenv/platform/Os.h>

zv::os::ModuleHandle g_hJsonLint = nullptr;
JsonCppParseFn g_pfnJsonCppParse = nullptr;

int CTqEnvMgr::m_bInit = 0;

namespace {

// The validator module is looked for next to the host executable, then next
// to this library, then through the loader's own search.
zv::os::ModuleHandle LoadValidator()
{
    const CString file = zv::os::ModuleFileName(L"JSONLint");
    const CString exe = zv::os::ExecutablePath();
    const CString folders[] = {
        exe.Left(exe.ReverseFind(zv::os::kSeparator)),
        zv::os::FolderOfModuleContaining(reinterpret_cast<const void*>(&LoadValidator)),
    };
    for (const CString& folder : folders) {
        if (folder.IsEmpty())
            continue;
        const CString path = folder + CString(zv::os::kSeparator) + file;
        if (!zv::os::FileExists(path))
            continue;
        if (zv::os::ModuleHandle module = zv::os::LoadModule(path))
            return module;
    }
    return zv::os::LoadModule(file);
}

} // namespace

CTqEnvMgr* CTqEnvMgr::GetInstance()
{
    static CTqEnvMgr instance;
    if (!m_bInit) {
        instance.Initialize();
        m_bInit = 1;
    }
    return &instance;
}

CTqEnvMgr* fnTqEnvMgr()
{
    return CTqEnvMgr::GetInstance();
}

CTqEnvMgr::CTqEnvMgr()
    : m_nChildTitleHeight(18), m_nDlgTitleHeight(18), m_bMockServer(0), m_pEnvSetting(new CTqEnvSetting), m_mapJson(10),
      m_mapIni(10), m_mapJsonClone(10), m_mapIniClone(10)
{
    for (auto* map : {&m_mapJson, &m_mapJsonClone})
        map->InitHashTable(17, FALSE);
    for (auto* map : {&m_mapIni, &m_mapIniClone})
        map->InitHashTable(17, FALSE);

    g_hJsonLint = LoadValidator();
    if (!g_hJsonLint)
        return;
    g_pfnJsonCppParse = reinterpret_cast<JsonCppParseFn>(zv::os::FindEntryPoint(g_hJsonLint, "JSONCPP_Parse"));
    if (!g_pfnJsonCppParse) {
        zv::os::FreeModule(g_hJsonLint);
        g_hJsonLint = nullptr;
    }
}

// Unload: every document goes without being saved; what the host wants kept
// it saved through SaveAll or ReleaseInstance before.
CTqEnvMgr::~CTqEnvMgr()
{
    ClearJson();
    ClearIni();
    TQ_UT_ENV_Clear();
    delete m_pEnvSetting;
    m_pEnvSetting = nullptr;
    if (g_hJsonLint) {
        zv::os::FreeModule(g_hJsonLint);
        g_hJsonLint = nullptr;
        g_pfnJsonCppParse = nullptr;
    }
}

int CTqEnvMgr::Initialize()
{
    const int result = DetermineRootPath();
    if (result == 1)
        TQ_UT_ENV_ReadIniFile(GetSystemPath(L"") + L"html.ini");
    return result;
}

// The root is the parent of the folder that holds the executable, unless an
// administration tool chose another before start-up (zvenv/EnvTool.h).
int CTqEnvMgr::DetermineRootPath()
{
    m_strRootPath = zv::envmgr::TakeStartupRoot();
    return 1;
}

CString CTqEnvMgr::GetModulePath()
{
    const CString exe = zv::os::ExecutablePath();
    return exe.Left(exe.ReverseFind(zv::os::kSeparator));
}

CString CTqEnvMgr::GetRootPath()
{
    return m_strRootPath;
}

int CTqEnvMgr::GetChildTitleHeight()
{
    return m_nChildTitleHeight;
}
void CTqEnvMgr::SetChildTitleHeight(int height)
{
    m_nChildTitleHeight = height;
}
int CTqEnvMgr::GetDlgTitleHeight()
{
    return m_nDlgTitleHeight;
}
void CTqEnvMgr::SetDlgTitleHeight(int height)
{
    m_nDlgTitleHeight = height;
}
int CTqEnvMgr::GetMockServer()
{
    return m_bMockServer;
}
void CTqEnvMgr::SetMockServer(int mock)
{
    m_bMockServer = mock;
}
void CTqEnvMgr::SetMtsImagePath(const wchar_t* path)
{
    m_strMtsImagePath = path ? path : L"";
}
CString CTqEnvMgr::GetMtsImagePath()
{
    return m_strMtsImagePath;
}
void CTqEnvMgr::SetMtsResInfoFile(const wchar_t* file)
{
    m_strMtsResInfoFile = file ? file : L"";
}
CString CTqEnvMgr::GetMtsResInfoFile()
{
    return m_strMtsResInfoFile;
}
CTqEnvSetting* CTqEnvMgr::GetEnvSetting()
{
    return m_pEnvSetting;
}

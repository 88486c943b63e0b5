#pragma once

#include <zvenv/CTqEnvIni.h>
#include <zvenv/CTqEnvJson.h>
#include <zvenv/CTqEnvSetting.h>
#include <zvenv/platform/CMap.h>
#include <zvenv/platform/CString.h>
#include <zvenv/platform/CStringArray.h>
#include <zvenv/platform/Export.h>

// The one object through which a host reaches its environment: the root
// folder (the parent of the folder holding the host's executable), the folder
// layout under it, the current user, and the registry of INI and JSON
// documents. The manager has no lock: the host serialises calls into it.
class ZVENVMGR_API CTqEnvMgr {
public:
    static CTqEnvMgr* GetInstance();
    // Saves every dirty document; the manager stays alive and usable.
    static void ReleaseInstance();

    // Folders of the process.
    CString GetModulePath();
    CString GetRootPath();
    CString GetRuntimePath(wchar_t* sub, int reserved = 0);
    CString GetDataPath(const wchar_t* sub);
    CString GetImagePath(const wchar_t* sub);
    CString GetMenuPath(const wchar_t* sub);
    CString GetScreenPath(const wchar_t* sub);
    CString GetSoundPath(const wchar_t* sub);
    CString GetSystemPath(const wchar_t* sub);
    CString GetUserPath(const wchar_t* sub);
    CString GetUserIdPath(const wchar_t* sub);
    CString GetOtherUserIdPath(const wchar_t* userId, const wchar_t* sub);
    CString GetMtsImagePath();
    CString GetMtsImagePath(const wchar_t* sub);
    CString GetMtsImagePath(const wchar_t* path, const wchar_t* sub);

    // The current user.
    void SetUserID(CString id, int encrypt = 0);
    CString GetUserId(int stored = 0);

    // Values kept for the host.
    int GetChildTitleHeight();
    void SetChildTitleHeight(int height);
    int GetDlgTitleHeight();
    void SetDlgTitleHeight(int height);
    int GetMockServer();
    void SetMockServer(int mock);
    void SetMtsImagePath(const wchar_t* path);
    void SetMtsResInfoFile(const wchar_t* file);
    CString GetMtsResInfoFile();
    CTqEnvSetting* GetEnvSetting();

    // The document registry.
    CTqEnvIni* GetEnvIni(CString name, int system = 0, CString sub = L"");
    CTqEnvJson* GetJsonEx(CString name, int& copied, int system = 0, CString sub = L"");
    CTqEnvJson* GetJson(CString name, int system = 0, CString sub = L"");
    CTqEnvIni* GetEnvIniClone(CString name, CString sub = L"");
    CTqEnvJson* GetJsonClone(CString name, CString sub = L"");
    void SetEvIni(CString name, CTqEnvIni* ini);
    void DeleteIni(CString name, CString sub = L"", int deleteFile = 0);
    void DeleteJson(CString name, CString sub = L"", int deleteFile = 0);
    void DeleteCloneIni(CString name, CString sub = L"");
    void DeleteCloneJson(CString name, CString sub = L"");
    int ChangeNameIni(CString oldName, CString newName, CString sub = L"");
    int ChangeNameJson(CString oldName, CString newName, CString sub = L"");
    void ClearIni();
    void ClearJson();
    void Clear();
    void SaveAll();

    // Other users and the memory INI.
    int GetOtherUserInfo(CStringArray& ids, CStringArray& dates, CString fileName);
    void* GetMemIni(const wchar_t* name, unsigned int fullPath = 0);
    int ReadMemIni(const wchar_t* name, unsigned int fullPath = 0);

protected:
    CTqEnvMgr();
    virtual ~CTqEnvMgr();
    CTqEnvMgr(const CTqEnvMgr&) = delete;
    CTqEnvMgr& operator=(const CTqEnvMgr&) = delete;

    int Initialize();
    int DetermineRootPath();

private:
    using JsonMap = CMap<CString, LPCWSTR, CTqEnvJson*, CTqEnvJson*>;
    using IniMap = CMap<CString, LPCWSTR, CTqEnvIni*, CTqEnvIni*>;

    CString m_strRootPath;
    CString m_strUserId;
    int m_nChildTitleHeight;
    int m_nDlgTitleHeight;
    CString m_strMtsImagePath;
    CString m_strMtsResInfoFile;
    int m_bMockServer;
    CTqEnvSetting* m_pEnvSetting;
    JsonMap m_mapJson;
    IniMap m_mapIni;
    JsonMap m_mapJsonClone;
    IniMap m_mapIniClone;

    static int m_bInit;
};

extern "C" ZVENVMGR_API CTqEnvMgr* fnTqEnvMgr();

#pragma once

#include <zvenv/CTqEnvIni.h>
#include <zvenv/CTqEnvJson.h>
#include <zvenv/CTqEnvSetting.h>
#include <zvenv/platform/CMap.h>
#include <zvenv/platform/CString.h>
#include <zvenv/platform/CStringArray.h>
#include <zvenv/platform/Export.h>

/// \file
/// The environment manager, the one object of the library a host starts from.

/// The one object through which a host reaches its environment: the root
/// folder (the parent of the folder holding the host's executable), the folder
/// layout under it, the current user, and the registry of INI and JSON
/// documents. The manager has no lock: the host serialises calls into it.
///
/// Sub-folder arguments are normalised: either separator, one leading
/// separator dropped, one trailing separator ensured (cfg/a and \\cfg\\a both
/// give cfg/a/). Every path returned uses the platform's separator. No caller's
/// text makes the manager create, write, rename or delete anything outside the
/// root: names and sub-folders with a ".." component, an absolute path or a
/// drive are refused (the getters of documents return null).
class ZVENVMGR_API CTqEnvMgr {
public:
    /// The one manager of the process, started on the first call: the root is
    /// determined, system/html.ini is read into the memory INI cache and the
    /// validator module is loaded. The first call must not race another.
    static CTqEnvMgr* GetInstance();
    /// Saves every dirty document (SaveAll) when the manager has started;
    /// the manager stays alive and usable, its documents registered.
    static void ReleaseInstance();

    // Folders of the process.
    /// The folder of the host's executable, without a trailing separator.
    CString GetModulePath();
    /// The root folder, absolute and canonical, ending in a separator.
    CString GetRootPath();
    /// The root followed by a normalised sub-folder; the root alone for an
    /// empty one. The integer is accepted and not used. Creates nothing.
    CString GetRuntimePath(wchar_t* sub, int reserved = 0);
    /// root/data/ followed by the normalised sub-folder. Creates nothing.
    CString GetDataPath(const wchar_t* sub);
    /// root/image/ followed by the normalised sub-folder. Creates nothing.
    CString GetImagePath(const wchar_t* sub);
    /// root/menu/ followed by the normalised sub-folder. Creates nothing.
    CString GetMenuPath(const wchar_t* sub);
    /// root/screen/ followed by the normalised sub-folder. Creates nothing.
    CString GetScreenPath(const wchar_t* sub);
    /// root/sound/ followed by the normalised sub-folder. Creates nothing.
    CString GetSoundPath(const wchar_t* sub);
    /// root/system/ (the shipped defaults) followed by the normalised
    /// sub-folder. Creates nothing.
    CString GetSystemPath(const wchar_t* sub);
    /// root/user/ followed by the normalised sub-folder; the folder is created
    /// when missing (inside the root only).
    CString GetUserPath(const wchar_t* sub);
    /// The current user's folder, root/user/STORED_ID/, followed by the
    /// normalised sub-folder; root/user/ without a sub-folder while no user is
    /// set. The folder is created when missing (inside the root only).
    CString GetUserIdPath(const wchar_t* sub);
    /// Another user's folder: GetUserPath(sub) followed by the encrypted form
    /// of userId and a separator. That last folder is not created.
    CString GetOtherUserIdPath(const wchar_t* userId, const wchar_t* sub);
    /// The host's image folder as set by SetMtsImagePath.
    CString GetMtsImagePath();
    /// The root followed by the host's image folder (with a trailing
    /// separator) when one is set, otherwise GetRuntimePath(sub).
    CString GetMtsImagePath(const wchar_t* sub);
    /// The first that is not empty: path itself, the host's image folder as
    /// stored, GetRuntimePath(sub).
    CString GetMtsImagePath(const wchar_t* path, const wchar_t* sub);

    // The current user.
    /// Makes id the current user: creates root/user/ID/ and, when missing,
    /// its envsetting.ini from the template system/envsetting.ini (an existing
    /// file is never touched), and binds the setting document to it. With
    /// encrypt non-zero the id is stored encrypted, and the user's documents go
    /// to the folder of the stored form. An id that is not one folder name (or
    /// too long to encrypt) is refused: the current user stays as it was.
    /// Documents already registered keep their paths.
    void SetUserID(CString id, int encrypt = 0);
    /// The current user: the plain id with stored 0, the stored (possibly
    /// encrypted) form otherwise; empty while no user is set.
    CString GetUserId(int stored = 0);

    // Values kept for the host; the manager itself uses only the image folder.
    int GetChildTitleHeight();                   ///< Title-bar height of child windows; 18 until set.
    void SetChildTitleHeight(int height);        ///< Keeps the title-bar height of child windows.
    int GetDlgTitleHeight();                     ///< Title-bar height of dialogs; 18 until set.
    void SetDlgTitleHeight(int height);          ///< Keeps the title-bar height of dialogs.
    int GetMockServer();                         ///< The mock-server flag; 0 until set.
    void SetMockServer(int mock);                ///< Keeps the mock-server flag.
    void SetMtsImagePath(const wchar_t* path);   ///< Keeps the host's image folder (null for none).
    void SetMtsResInfoFile(const wchar_t* file); ///< Keeps the resource-info file name (null for none).
    CString GetMtsResInfoFile();                 ///< The resource-info file name as set.
    /// The current user's setting document (envsetting.ini); it has no file
    /// until a user is set. The manager keeps ownership.
    CTqEnvSetting* GetEnvSetting();

    // The document registry.
    /// The INI document of a name, created on the first request and the same
    /// object afterwards. The name is trimmed and cut before its first "."
    /// (unless that is the first character); the text after it is the
    /// extension, "ini" when there is none. An empty name or EnvSetting (any
    /// case) is the setting document. The file is system/SUB/NAME.EXT
    /// with system non-zero, otherwise in the current user's folder (or
    /// user/ while no user is set), with the sub-folder. A user document whose
    /// file is missing is seeded from system/NAME.EXT (never over an
    /// existing file). The key is the name and sub-folder in upper case; the
    /// system flag is not part of it, so the first request decides the file.
    /// \return the document, owned by the manager; null for a refused name.
    CTqEnvIni* GetEnvIni(CString name, int system = 0, CString sub = L"");
    /// As GetJson, and copied tells whether the shipped default was copied
    /// into place (for a missing file, or over one that could not be read).
    CTqEnvJson* GetJsonEx(CString name, int& copied, int system = 0, CString sub = L"");
    /// The JSON document of a name, created and loaded on the first request
    /// and the same object afterwards. The rules are GetEnvIni's, with the
    /// extension always json and a case-sensitive key; in addition, a user's
    /// file that cannot be read (missing, empty, not valid JSON) is replaced by
    /// the shipped default, which is loaded. A file that is still missing is
    /// created with the text "{" CR LF "}".
    /// \return the document, owned by the manager; null for an empty or refused name.
    CTqEnvJson* GetJson(CString name, int system = 0, CString sub = L"");
    /// A separate document for the shipped default, the file
    /// system/SUB/NAME.EXT; it is kept in a registry of its own and
    /// never saved by SaveAll.
    CTqEnvIni* GetEnvIniClone(CString name, CString sub = L"");
    /// A separate, loaded document for the shipped default
    /// system/SUB/NAME.json, never saved by SaveAll; null for an empty name.
    CTqEnvJson* GetJsonClone(CString name, CString sub = L"");
    /// Hands a document of the host to the registry under the name in upper
    /// case; the registry then owns it. A document stored under that key
    /// before is dropped from the registry without being destroyed.
    void SetEvIni(CString name, CTqEnvIni* ini);
    /// Removes an INI document from the registry and destroys it, deleting its
    /// file too when deleteFile is non-zero. Pointers to it become invalid.
    void DeleteIni(CString name, CString sub = L"", int deleteFile = 0);
    /// Removes a JSON document (found by the name and sub-folder as given) and
    /// destroys it, deleting its file too when deleteFile is non-zero.
    void DeleteJson(CString name, CString sub = L"", int deleteFile = 0);
    /// Removes an INI clone and destroys it; no file is touched.
    void DeleteCloneIni(CString name, CString sub = L"");
    /// Removes a JSON clone and destroys it; no file is touched.
    void DeleteCloneJson(CString name, CString sub = L"");
    /// Moves an INI document's file into the current user's folder (with the
    /// sub-folder) as NEWNAME.ini and registers it under the new name.
    /// Returns 0, and nothing changes, when the document is not registered or
    /// a file of the new name exists.
    int ChangeNameIni(CString oldName, CString newName, CString sub = L"");
    /// Moves a JSON document's file into the current user's folder (with the
    /// sub-folder) as NEWNAME.json, replacing a file of that name, and
    /// registers it under the new name. Returns 0 when the document is not
    /// registered or the move failed.
    int ChangeNameJson(CString oldName, CString newName, CString sub = L"");
    /// Destroys every INI document and INI clone, without saving.
    void ClearIni();
    /// Destroys every JSON document and JSON clone, without saving.
    void ClearJson();
    /// ClearJson, ClearIni, and empties the memory INI cache. The setting
    /// document stays.
    void Clear();
    /// Saves the setting document, then every INI document, then every JSON
    /// document, each only when it is dirty. Clones are never saved.
    void SaveAll();

    // Other users and the memory INI.
    /// Appends to ids every user whose folder under user/ holds a file whose
    /// name ends in fileName (any file for an empty one), except the current
    /// user's folder, and to dates the folder's last-write time as
    /// DD/MM/YYYY HH:MM:SS local time. Ids are decrypted where they are
    /// encrypted. Returns 1 when a user was found.
    int GetOtherUserInfo(CStringArray& ids, CStringArray& dates, CString fileName);
    /// The handle of a file in the utility library's memory INI cache (see
    /// TQ_UT_ENV_GetMemIni): a file of system/, or a full path when fullPath is
    /// non-zero; null when the file is not cached.
    void* GetMemIni(const wchar_t* name, unsigned int fullPath = 0);
    /// Reads a file into the memory INI cache, by the same rule as GetMemIni;
    /// 1 when it was read.
    int ReadMemIni(const wchar_t* name, unsigned int fullPath = 0);

protected:
    /// Creates the registries and the setting document and loads the
    /// validator module; only GetInstance creates the manager.
    CTqEnvMgr();
    /// Destroys every document without saving, empties the memory INI cache
    /// and unloads the validator module.
    virtual ~CTqEnvMgr();
    CTqEnvMgr(const CTqEnvMgr&) = delete;
    CTqEnvMgr& operator=(const CTqEnvMgr&) = delete;

    /// The start-up: DetermineRootPath, then system/html.ini into the memory
    /// INI cache. Returns DetermineRootPath's result.
    int Initialize();
    /// Sets the root folder: the parent of the executable's folder, unless a
    /// tool chose another (zvenv/EnvTool.h). Returns 1.
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

/// The exported entry point: CTqEnvMgr::GetInstance().
extern "C" ZVENVMGR_API CTqEnvMgr* fnTqEnvMgr();

#pragma once

#include <zvenv/platform/CCriticalSection.h>
#include <zvenv/platform/CString.h>
#include <zvenv/platform/CStringArray.h>
#include <zvenv/platform/Export.h>
#include <zvenv/platform/Geometry.h>

class CTqEnvMgr;

// The validator's entry point: text in, a description of what is wrong out,
// and the constant 1; returns 1 for acceptable text.
using JsonCppParseFn = int (*)(const wchar_t* text, CString* error, int flag);

// A JSON document: one file held as a tree of the JSON engine. Node handles
// (void*) and iterators (void**) point into the tree; a null parent stands for
// the root. Reads and changes hold the document's lock.
class ZVENVMGR_API CTqEnvJson {
    friend class CTqEnvMgr;

public:
    CTqEnvJson();
    virtual ~CTqEnvJson();
    CTqEnvJson(const CTqEnvJson&) = delete;
    CTqEnvJson& operator=(const CTqEnvJson&) = delete;

    CString GetPath();
    void* GetJson();
    int IsDirty();
    void SetDirty(int dirty);
    void Load();
    void Save();
    int ReloadFile(int fromSystem = 0);
    int ChangeSavePathToUserIdPath();

    // Navigation and structure.
    void** GetIterator(CString key, void* parent = nullptr);
    void** GetBeginIterator(void* parent = nullptr);
    void** GetEndIterator(void* parent = nullptr);
    int GetNodeSize(void* node = nullptr);
    CString GetNodeName(void* node);
    void SetNodeName(void* node, CString name);
    int IsExistNode(void* const parent, CString key);
    void** CreateNode(void* const parent, CString name, char type, int replace = 0);
    void DeleteKey(void* const parent, CString key);
    void ClearNode(void* node);

    // Typed values.
    int GetInt(CString key, int def, void* parent = nullptr);
    double GetDouble(CString key, double def, void* parent = nullptr);
    CString GetString(CString key, CString def, void* parent = nullptr);
    CPoint GetPoint(CString key, CPoint& def, void* parent = nullptr);
    unsigned long GetRGB(CString key, unsigned long def, void* parent = nullptr);
    CRect GetRect(CString key, CRect& def, void* parent = nullptr);
    CSize GetSize(CString key, CSize& def, void* parent = nullptr);
    CString GetStringEx(CString key1, CString key2, CString key3, CString def);
    void SetInt(CString key, int value, void* parent = nullptr);
    void SetDouble(CString key, double value, void* parent = nullptr);
    void SetString(CString key, CString value, void* parent = nullptr);
    void SetPoint(CString key, CPoint& value, void* parent = nullptr);
    void SetRGB(CString key, unsigned long value, void* parent = nullptr);
    void SetRect(CString key, CRect& value, void* parent = nullptr);
    void SetSize(CString key, CSize& value, void* parent = nullptr);

    // Arrays and tree arrays.
    void GetArray(CString key, CStringArray& values, void* parent = nullptr);
    void SetArray(CString key, CStringArray& values, void* parent = nullptr);
    void GetTreeArray(CString key, CStringArray& rows, void* parent = nullptr);
    void SetTreeArray(CString key, CStringArray& rows, CString separator, void* parent = nullptr);
    static int StringToArray(CString text, CStringArray& pieces);

private:
    void SetPathName(const wchar_t* path);
    void SetDefaultValue(CString value);
    CString GetData(void* const parent, CString key, CString subKey, CString defaultText);
    CString GetData(void* const node, int join);
    CString ParseJSON(void* const node, CString key1, CString key2, CString key3);
    void JsonDataUpdate(void** it, wchar_t* text);

    // The version of the file this document last read or wrote, against which
    // a save tells its own changes from another program's.
    struct FileState;
    bool BringInOtherChanges(const CString& path, CString& message);

    CString m_strDefaultValue;
    int m_bDefaultValue;
    void* m_pJson;
    CString m_strPath;
    CCriticalSection m_cs;
    int m_bDirty;
    FileState* m_pFileState;

    static CCriticalSection m_csSplitEnv;
};

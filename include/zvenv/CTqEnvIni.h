#pragma once

#include <zvenv/CTqIni.h>
#include <zvenv/platform/CCriticalSection.h>
#include <zvenv/platform/CMap.h>
#include <zvenv/platform/CString.h>
#include <zvenv/platform/CStringArray.h>
#include <zvenv/platform/Export.h>
#include <zvenv/platform/Geometry.h>

class CTqEnvMgr;
namespace zv::envini {
class ReadRecord;
}

// An INI document: an in-memory cache over one INI file, filled lazily. A
// value is read from the file the first time it is asked for and served from
// memory afterwards; changes stay in memory (the document becomes dirty) until
// Save writes them back, or go to the file at once with write-through.
// Every operation that touches the cache holds the document's recursive lock.
class ZVENVMGR_API CTqEnvIni {
    friend class CTqEnvMgr;

public:
    using ArrayMap = CMap<CString, LPCWSTR, CStringArray*, CStringArray*>;
    using SectionArrays = CMap<CString, LPCWSTR, ArrayMap*, ArrayMap*>;
    using SectionValues = CMap<CString, LPCWSTR, CMapStringToString*, CMapStringToString*>;

    CTqEnvIni();
    virtual ~CTqEnvIni();
    CTqEnvIni(const CTqEnvIni&) = delete;
    CTqEnvIni& operator=(const CTqEnvIni& other);

    void Clear();
    CTqEnvIni* Clone();
    CString GetPath();
    int IsDirty();
    void SetDirty(int dirty);

    // Typed values.
    CString GetString(CString section, CString key, CString def);
    CString GetStringEx(CString section, CString key, CString def);
    int GetInt(CString section, CString key, int def);
    double GetDouble(CString section, CString key, double def);
    CPoint GetPoint(CString section, CString key, CPoint& def);
    unsigned long GetRGB(CString section, CString key, unsigned long def);
    CRect GetRect(CString section, CString key, CRect& def);
    CSize GetSize(CString section, CString key, CSize& def);
    void SetString(CString section, CString key, CString value, int writeThrough = 0);
    void SetStringEx(CString section, CString key, CString value);
    void SetInt(CString section, CString key, int value, int writeThrough = 0);
    void SetDouble(CString section, CString key, double value, int writeThrough = 0);
    void SetPoint(CString section, CString key, CPoint& value, int writeThrough = 0);
    void SetRGB(CString section, CString key, unsigned long value, int writeThrough = 0);
    void SetRect(CString section, CString key, CRect& value, int writeThrough = 0);
    void SetSize(CString section, CString key, CSize& value, int writeThrough = 0);
    int DeleteKey(const wchar_t* section, const wchar_t* key);
    int DeleteSection(const wchar_t* section);

    // Plain arrays, ordered arrays and tree arrays.
    void GetArray(CString section, CString key, CStringArray& items, CString def, CString delimiter,
                  int keepLastEmpty = 0);
    void SetArray(CString section, CString key, CStringArray& items, CString delimiter, int writeThrough = 0);
    void GetOrderArray(CString section, CStringArray& items, CString def, CString pattern, int first);
    void SetOrderArray(CString section, CStringArray& items, CString pattern, int first);
    void GetTreeArray(CString section, CStringArray& items, CString prefix, CString delimiter);
    void SetTreeArray(CString section, CStringArray& items, CString prefix, CString delimiter);

    // Saving, reloading and redirection to the user's folder. Save writes
    // every value and array set through the document; one that was only
    // read is written only where the file still holds what was read (a
    // default of a missing key only where the key is still missing), so a
    // change another program made meanwhile stays. A save that could not
    // write leaves the document dirty; zv::os::GetLastError() gives the
    // reason.
    void Save();
    int ReloadFile(int restoreFromSystem = 0);
    int ChangeSavePathToUserIdPath();

private:
    void SetPathName(const wchar_t* path);

    SectionArrays m_mapOrderArrays;
    CMapStringToString m_mapOrderFormats;
    SectionArrays m_mapTreeArrays;
    CMapStringToString m_mapTreeDelimiters;
    SectionValues m_mapSections;
    CTqIni m_ini;
    CCriticalSection m_cs;
    int m_bDirty;
    zv::envini::ReadRecord* m_pRead; // what the file held where the document only read
};

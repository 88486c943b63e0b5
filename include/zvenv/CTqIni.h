#pragma once

#include <zvenv/platform/CString.h>
#include <zvenv/platform/CStringArray.h>
#include <zvenv/platform/Export.h>
#include <zvenv/platform/Types.h>

// Reads and writes one INI file directly, at the moment of each call, through
// the profile-file functions. Its only state is the file's path.
class ZVENVMGR_API CTqIni {
public:
    CTqIni();
    CTqIni(const wchar_t* pathName);
    CTqIni(const CTqIni& other);
    CTqIni& operator=(const CTqIni& other);
    virtual ~CTqIni();

    void SetPathName(const wchar_t* pathName);
    CString GetPathName() const;
    unsigned long GetPathName(wchar_t* buffer, unsigned long length) const;

    // Strings.
    CString GetString(const wchar_t* section, const wchar_t* key, const wchar_t* def = nullptr) const;
    unsigned long GetString(const wchar_t* section, const wchar_t* key, wchar_t* buffer, unsigned long length,
                            const wchar_t* def = nullptr) const;
    int WriteString(const wchar_t* section, const wchar_t* key, const wchar_t* value) const;
    int AppendString(const wchar_t* section, const wchar_t* key, const wchar_t* text) const;

    // Integers and doubles.
    int GetInt(const wchar_t* section, const wchar_t* key, int def, int base = 10) const;
    unsigned int GetUInt(const wchar_t* section, const wchar_t* key, unsigned int def, int base = 10) const;
    int WriteInt(const wchar_t* section, const wchar_t* key, int value, int base = 10) const;
    int WriteUInt(const wchar_t* section, const wchar_t* key, unsigned int value, int base = 10) const;
    int IncreaseInt(const wchar_t* section, const wchar_t* key, int delta = 1, int base = 10) const;
    int IncreaseUInt(const wchar_t* section, const wchar_t* key, unsigned int delta = 1, int base = 10) const;
    double GetDouble(const wchar_t* section, const wchar_t* key, double def) const;
    int WriteDouble(const wchar_t* section, const wchar_t* key, double value, int precision = -1) const;
    int IncreaseDouble(const wchar_t* section, const wchar_t* key, double delta, int precision = -1) const;

    // Booleans and characters.
    int GetBool(const wchar_t* section, const wchar_t* key, int def) const;
    static int StringToBool(const wchar_t* text, int def);
    int WriteBool(const wchar_t* section, const wchar_t* key, int value) const;
    int InvertBool(const wchar_t* section, const wchar_t* key) const;
    wchar_t GetChar(const wchar_t* section, const wchar_t* key, wchar_t def) const;
    int WriteChar(const wchar_t* section, const wchar_t* key, wchar_t ch) const;

    // Data blocks, points and rectangles (hexadecimal text).
    unsigned long GetDataBlock(const wchar_t* section, const wchar_t* key, void* buffer, unsigned long size,
                               unsigned long offset = 0) const;
    int WriteDataBlock(const wchar_t* section, const wchar_t* key, const void* data, unsigned long size) const;
    int AppendDataBlock(const wchar_t* section, const wchar_t* key, const void* data, unsigned long size) const;
    POINT GetPoint(const wchar_t* section, const wchar_t* key, POINT def) const;
    int WritePoint(const wchar_t* section, const wchar_t* key, POINT point) const;
    RECT GetRect(const wchar_t* section, const wchar_t* key, RECT def) const;
    int WriteRect(const wchar_t* section, const wchar_t* key, RECT rect) const;

    // Arrays.
    unsigned long GetArray(const wchar_t* section, const wchar_t* key, wchar_t* buffer, unsigned long size,
                           const wchar_t* delimiter = nullptr, int trim = 1) const;
    void GetArray(const wchar_t* section, const wchar_t* key, CStringArray* items, const wchar_t* delimiter = nullptr,
                  int trim = 1) const;
    CString GetArrayString(const CStringArray* items, int count = -1, const wchar_t* delimiter = nullptr) const;
    int WriteArray(const wchar_t* section, const wchar_t* key, const CStringArray* items, int count = -1,
                   const wchar_t* delimiter = nullptr) const;

    // Keys and sections.
    int IsKeyExist(const wchar_t* section, const wchar_t* key) const;
    int IsSectionExist(const wchar_t* section) const;
    int DeleteKey(const wchar_t* section, const wchar_t* key) const;
    int DeleteSection(const wchar_t* section) const;
    unsigned long GetKeyLines(const wchar_t* section, wchar_t* buffer, unsigned long size) const;
    void GetKeyLines(const wchar_t* section, CStringArray* lines) const;
    unsigned long GetKeyNames(const wchar_t* section, wchar_t* buffer, unsigned long size) const;
    void GetKeyNames(const wchar_t* section, CStringArray* names) const;
    unsigned long GetSectionNames(wchar_t* buffer, unsigned long size) const;
    void GetSectionNames(CStringArray* names) const;

    // Copying and moving.
    int CopyKey(const wchar_t* srcSection, const wchar_t* srcKey, const wchar_t* dstSection, const wchar_t* dstKey,
                int failIfExists) const;
    int MoveKey(const wchar_t* srcSection, const wchar_t* srcKey, const wchar_t* dstSection, const wchar_t* dstKey,
                int failIfExists) const;
    int CopySection(const wchar_t* srcSection, const wchar_t* dstSection, int failIfExists) const;
    int MoveSection(const wchar_t* srcSection, const wchar_t* dstSection, int failIfExists) const;

    static int ParseDNTString(const wchar_t* list, int (*callback)(const wchar_t* item, void* context), void* context);

protected:
    wchar_t* __GetStringDynamic(const wchar_t* section, const wchar_t* key, const wchar_t* def = nullptr) const;
    static unsigned long __StringSplit(const wchar_t* text, wchar_t* out, unsigned long room,
                                       const wchar_t* delimiter, int trim);
    static wchar_t* __StrDupEx(const wchar_t* begin, const wchar_t* end);
    static void __IntToString(int value, wchar_t* buffer, int base);
    static void __UIntToString(unsigned int value, wchar_t* buffer, int base);
    static void __ToBinaryString(unsigned int value, wchar_t* buffer, unsigned long digits);
    static int __ValidateBase(int base);
    static int __TrimString(wchar_t* text);
    static int __KeyPairProc(const wchar_t* line, void* context);
    static int __SubStrAdd(const wchar_t* item, void* items);
    static int __SubStrCompare(const wchar_t* item, void* name);

private:
    wchar_t* m_pszPathName;
};

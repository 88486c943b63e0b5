#pragma once

#include <zvenv/platform/CFile.h>
#include <zvenv/platform/CString.h>
#include <zvenv/platform/CStringArray.h>
#include <zvenv/platform/Export.h>
#include <zvenv/platform/Geometry.h>
#include <zvenv/platform/Types.h>

#include <cstddef>

/// \file
/// The suite's utility library: file tests, folder creation, text forms of
/// values, the memory INI cache, user-id encryption and a mapped file.

/// TRUE when a file (not a folder) is at the path.
ZVUTIL_API BOOL FILEEXISTS(LPCWSTR path);
/// TRUE when a folder is at the path.
ZVUTIL_API BOOL DIRECTORYEXISTS(LPCWSTR path);
/// Creates every missing folder of the path (with or without a trailing separator).
ZVUTIL_API BOOL CREATEDIRECTORYS(LPCWSTR path);
/// Bounded copy: at most capacity - 1 characters, always terminated; returns destination.
ZVUTIL_API wchar_t* STRCPY(wchar_t* destination, std::size_t capacity, LPCWSTR source);

constexpr std::size_t ZV_MAX_DRIVE = 3;   ///< Room for SPLITPATH's drive, the null included.
constexpr std::size_t ZV_MAX_DIR = 256;   ///< Room for SPLITPATH's folder, the null included.
constexpr std::size_t ZV_MAX_FNAME = 256; ///< Room for SPLITPATH's name, the null included.
constexpr std::size_t ZV_MAX_EXT = 256;   ///< Room for SPLITPATH's extension, the null included.
/// Path splitting as the C runtime's _wsplitpath does it, with either separator.
/// Each buffer (any may be null) receives at most the given number of
/// characters including the null: drive 3, folder 256, name 256, extension 256.
ZVUTIL_API void SPLITPATH(LPCWSTR path, wchar_t* drive, wchar_t* folder, wchar_t* name, wchar_t* extension);

// Text forms of values: the fields in decimal joined by the separator, as
// "255,128,0" for a colour (red, green, blue), "10,20" for a point or size and
// "1,2,3,4" for a rectangle (left, top, right, bottom). Reading accepts blanks
// around the fields and any one of ",;| " between them; fields it cannot read
// are 0.
/// A colour as "red,green,blue" with the separator.
ZVUTIL_API CString RGBToString(COLORREF colour, LPCWSTR separator);
/// A size as "cx,cy" with the separator.
ZVUTIL_API CString SizeToString(const CSize& size, LPCWSTR separator);
/// A point as "x,y" with the separator.
ZVUTIL_API CString PointToString(const CPoint& point, LPCWSTR separator);
/// A rectangle as "left,top,right,bottom" with the separator.
ZVUTIL_API CString RectToString(const CRect& rect, LPCWSTR separator);
/// The colour of "red,green,blue": blanks around the fields and any one of
/// ",;| " between them accepted, fields that cannot be read are 0.
ZVUTIL_API COLORREF StringToRGB(LPCWSTR text);
/// The size of "cx,cy", read as StringToRGB reads.
ZVUTIL_API CSize StringToSize(LPCWSTR text);
/// The point of "x,y", read as StringToRGB reads.
ZVUTIL_API CPoint StringToPoint(LPCWSTR text);
/// The rectangle of "left,top,right,bottom", read as StringToRGB reads.
ZVUTIL_API CRect StringToRect(LPCWSTR text);

/// Splits text at every occurrence of the delimiter (found left to right, as a
/// substring) into pieces, which is emptied first; returns the number of
/// pieces. Empty pieces are kept, except an empty piece after the last
/// delimiter: "a|b" and "a|b|" both give a and b, "a||b" gives a, "" and b. An
/// empty text gives no piece; a null or empty delimiter gives the whole text.
ZVUTIL_API int StringToArray(const CString& text, CStringArray& pieces, LPCWSTR delimiter);

// The memory INI cache: INI files read once into memory, by full path.
/// Reads an INI file into the memory cache (again, when it is there); 1 when it was read.
ZVUTIL_API int TQ_UT_ENV_ReadIniFile(LPCWSTR path);
/// The cache's handle of a file read before; null when it is not cached.
ZVUTIL_API void* TQ_UT_ENV_GetMemIni(LPCWSTR path);
/// Empties the memory cache; handles given before become invalid.
ZVUTIL_API void TQ_UT_ENV_Clear();
/// Reads one value through a handle of TQ_UT_ENV_GetMemIni: sections and keys
/// matched without regard to case. FALSE (and value = def) when missing.
ZVUTIL_API BOOL TQ_UT_ENV_GetMemIniString(void* memIni, LPCWSTR section, LPCWSTR key, LPCWSTR def, CString& value);

/// User-id encryption: deterministic, the result a lowercase text that is a
/// valid folder name everywhere. Not a secret from anyone holding the library.
/// FALSE for an id too long to fit a folder name.
ZVUTIL_API BOOL TQ_UT_EncryptSD(LPCWSTR plain, CString& encrypted);
/// The plain id of an encrypted one. Text that is not such a ciphertext comes
/// back unchanged (returns FALSE).
ZVUTIL_API BOOL TQ_UT_DecryptSD(LPCWSTR encrypted, CString& plain);

/// A read-only view of an open file.
class ZVUTIL_API CMemoryMappedFile {
public:
    CMemoryMappedFile();          ///< No view.
    virtual ~CMemoryMappedFile(); ///< Closes the view.
    CMemoryMappedFile(const CMemoryMappedFile&) = delete;
    CMemoryMappedFile& operator=(const CMemoryMappedFile&) = delete;

    /// Maps the file. name labels the mapping; file is the handle of a file open
    /// for reading (CFile::m_hFile); protect 2 is read-only pages, access 4 read
    /// access. maxSizeLow bytes from offset 0 are mapped. FALSE when the view
    /// cannot be made (a zero length included).
    BOOL Open(LPCWSTR name, HANDLE file, DWORD protect, DWORD maxSizeHigh, DWORD maxSizeLow, const void* security,
              DWORD access, DWORD offsetHigh, DWORD offsetLow);
    void Close(); ///< Ends the view; GetData gives null afterwards.

    const void* GetData() const { return m_view; }     ///< The mapped bytes; null without a view.
    std::size_t GetLength() const { return m_length; } ///< The number of bytes mapped.

private:
    void* m_view = nullptr;
    std::size_t m_length = 0;
};

/// The suite's name for the mapped file.
class ZVUTIL_API CTqMMF : public CMemoryMappedFile {
public:
    CTqMMF();           ///< No view.
    ~CTqMMF() override; ///< Closes the view.
};

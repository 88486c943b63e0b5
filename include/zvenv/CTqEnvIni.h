#pragma once

#include <zvenv/CTqIni.h>
#include <zvenv/platform/CCriticalSection.h>
#include <zvenv/platform/CMap.h>
#include <zvenv/platform/CString.h>
#include <zvenv/platform/CStringArray.h>
#include <zvenv/platform/Export.h>
#include <zvenv/platform/Geometry.h>

class CTqEnvMgr;
namespace zv {
class ProfileSnapshot;
namespace envini {
class ReadRecord;
}
} // namespace zv

/// \file
/// The INI document.

/// An INI document: an in-memory cache over one INI file, filled lazily. A
/// value is read from the file the first time it is asked for and served from
/// memory afterwards; changes stay in memory (the document becomes dirty) until
/// Save writes them back, or go to the file at once with write-through.
/// Every operation that touches the cache holds the document's recursive lock.
///
/// Values are kept as text: integers as "%d", doubles as "%f" (six decimals,
/// so digits beyond the sixth are lost once a double is cached), points and
/// sizes as "x,y", rectangles as "left,top,right,bottom", colours as "r,g,b".
/// A getter caches what it read, the default included, and a later Save writes
/// it. Sections and keys match without regard to case in the file, exactly in
/// the cache.
class ZVENVMGR_API CTqEnvIni {
    friend class CTqEnvMgr;

public:
    /// The arrays of one section, by name.
    using ArrayMap = CMap<CString, LPCWSTR, CStringArray*, CStringArray*>;
    /// The arrays of every section.
    using SectionArrays = CMap<CString, LPCWSTR, ArrayMap*, ArrayMap*>;
    /// The cached key texts of every section.
    using SectionValues = CMap<CString, LPCWSTR, CMapStringToString*, CMapStringToString*>;

    /// A document without a file (the manager binds its documents to files).
    CTqEnvIni();
    /// Releases the cache without saving.
    virtual ~CTqEnvIni();
    CTqEnvIni(const CTqEnvIni&) = delete;
    /// Takes the other document's path and dirty flag, and its cached sections
    /// and arrays over this one's (sections only this one holds stay).
    CTqEnvIni& operator=(const CTqEnvIni& other);

    /// Empties the cache; the next reads go to the file. The dirty flag stays.
    void Clear();
    /// A new document with the same path, cache and dirty flag, owned by the
    /// caller (who deletes it).
    CTqEnvIni* Clone();
    /// The file's path; empty for a document without a file.
    CString GetPath();
    /// Non-zero when the cache holds changes that are not saved.
    int IsDirty();
    /// Sets or clears the dirty flag.
    void SetDirty(int dirty);

    // Typed values.
    /// The key's text: from the cache, or read from the file (def when the key
    /// is missing) and cached. The file's value comes trimmed, one pair of
    /// enclosing quotes removed.
    CString GetString(CString section, CString key, CString def);
    /// The key's text read from the file now (def when missing); the cache is
    /// neither read nor changed.
    CString GetStringEx(CString section, CString key, CString def);
    /// The key as an integer: the leading decimal integer of its text (0 for
    /// text without one); def when the key is missing.
    int GetInt(CString section, CString key, int def);
    /// The key as a number: the leading decimal number of its text; def when
    /// the key is missing. A cached value has six decimals.
    double GetDouble(CString section, CString key, double def);
    /// The key as a point "x,y"; def when the key is missing.
    CPoint GetPoint(CString section, CString key, CPoint& def);
    /// The key as a colour "r,g,b"; def when the key is missing.
    unsigned long GetRGB(CString section, CString key, unsigned long def);
    /// The key as a rectangle "left,top,right,bottom"; def when the key is missing.
    CRect GetRect(CString section, CString key, CRect& def);
    /// The key as a size "cx,cy"; def when the key is missing.
    CSize GetSize(CString section, CString key, CSize& def);
    /// Caches the text and makes the document dirty; with writeThrough
    /// non-zero, writes the key to the file at once instead (the dirty flag
    /// stays as it was). The other setters work the same way.
    void SetString(CString section, CString key, CString value, int writeThrough = 0);
    /// Writes the key to the file now; the cache and the dirty flag are
    /// neither read nor changed (a cached value is written back by a later Save).
    void SetStringEx(CString section, CString key, CString value);
    /// Stores an integer as "%d" (see SetString).
    void SetInt(CString section, CString key, int value, int writeThrough = 0);
    /// Stores a number as "%f", six decimals (see SetString).
    void SetDouble(CString section, CString key, double value, int writeThrough = 0);
    /// Stores a point as "x,y" (see SetString).
    void SetPoint(CString section, CString key, CPoint& value, int writeThrough = 0);
    /// Stores a colour as "r,g,b" (see SetString).
    void SetRGB(CString section, CString key, unsigned long value, int writeThrough = 0);
    /// Stores a rectangle as "left,top,right,bottom" (see SetString).
    void SetRect(CString section, CString key, CRect& value, int writeThrough = 0);
    /// Stores a size as "cx,cy" (see SetString).
    void SetSize(CString section, CString key, CSize& value, int writeThrough = 0);
    /// Deletes the key from the cache and from the file at once, and makes the
    /// document dirty. A section held as an ordered or tree array is left
    /// alone (returns 1). Returns the file operation's result, non-zero on success.
    int DeleteKey(const wchar_t* section, const wchar_t* key);
    /// Deletes a section the cache holds (plain, ordered array or tree array
    /// with its sub-sections) from the cache and from the file at once, and
    /// makes the document dirty. A section the document never read is left in
    /// the file (returns 1): read one of its keys first.
    int DeleteSection(const wchar_t* section);

    // Plain arrays, ordered arrays and tree arrays.
    /// Replaces items by the pieces of the key's text split at the delimiter
    /// (def when the key is missing); an empty piece after the last delimiter
    /// is dropped unless keepLastEmpty is non-zero. The text is cached.
    void GetArray(CString section, CString key, CStringArray& items, CString def, CString delimiter,
                  int keepLastEmpty = 0);
    /// Stores the items joined by the delimiter as the key's text (see SetString).
    void SetArray(CString section, CString key, CStringArray& items, CString delimiter, int writeThrough = 0);
    /// Replaces items by the ordered array of the section: "count" items under
    /// the keys made from pattern (holding one %d, such as Item%d) with the
    /// numbers from first on; def for a missing item key.
    void GetOrderArray(CString section, CStringArray& items, CString def, CString pattern, int first);
    /// Caches the items as the section's ordered array and makes the document
    /// dirty; Save replaces the whole section by "count" and the item keys.
    void SetOrderArray(CString section, CStringArray& items, CString pattern, int first);
    /// Replaces items by the tree array of the section: one text per
    /// sub-section PREFIX_N (the section's name when prefix is empty), its
    /// parts joined by the delimiter.
    void GetTreeArray(CString section, CStringArray& items, CString prefix, CString delimiter);
    /// Caches the items as the section's tree array and makes the document
    /// dirty; Save writes the section ("count" and the sub-section names) and
    /// one sub-section per item, split at the delimiter into its parts.
    void SetTreeArray(CString section, CStringArray& items, CString prefix, CString delimiter);

    // Saving, reloading and redirection to the user's folder.
    /// Writes, in one write of the file, every value and array set through the
    /// document; one that was only read is written only where the file still
    /// holds what was read (a default of a missing key only where the key is
    /// still missing), so a change another program made meanwhile stays.
    /// Values never read are left as the file has them. A successful save
    /// clears the dirty flag; one that could not write leaves the document
    /// dirty, and zv::os::GetLastError() gives the reason.
    void Save();
    /// Empties the cache, so that reads go to the file again. With
    /// restoreFromSystem non-zero, the file is first replaced by the copy of
    /// the same name in system/. Returns 1.
    int ReloadFile(int restoreFromSystem = 0);
    /// Points the document at the file of the same name in the current user's
    /// folder; later saves and reads use it. Returns 1.
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
    zv::ProfileSnapshot* m_pFile;    // the file as its last check found it, for first reads
};

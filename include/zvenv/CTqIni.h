#pragma once

#include <zvenv/platform/CString.h>
#include <zvenv/platform/CStringArray.h>
#include <zvenv/platform/Export.h>
#include <zvenv/platform/Types.h>

/// \file
/// Direct access to one INI file.

/// Reads and writes one INI file directly, at the moment of each call, through
/// the profile-file functions. Its only state is the file's path.
///
/// Sections and keys match without regard to case; values are read trimmed,
/// one pair of enclosing quotes removed. Members that fill a buffer take its
/// room without the terminating null (the buffer holds one more character)
/// and return a count of characters. Lists of keys, lines and sections come
/// as null-terminated items followed by one more null. Results typed int are
/// non-zero for success; a null section or key makes a write fail. Bases 2, 8
/// and 16 are used as given, any other base counts as 10.
class ZVENVMGR_API CTqIni {
public:
    CTqIni();                               ///< An object without a file.
    CTqIni(const wchar_t* pathName);        ///< An object for the file (none for null).
    CTqIni(const CTqIni& other);            ///< An object for the same file.
    CTqIni& operator=(const CTqIni& other); ///< Takes the other's file.
    virtual ~CTqIni();

    /// Changes the file; null empties the path.
    void SetPathName(const wchar_t* pathName);
    /// The file's path; empty when there is none.
    CString GetPathName() const;
    /// Copies the path into buffer; returns the characters copied.
    unsigned long GetPathName(wchar_t* buffer, unsigned long length) const;

    // Strings.
    /// The key's value, or def (empty for null) when the key is missing.
    CString GetString(const wchar_t* section, const wchar_t* key, const wchar_t* def = nullptr) const;
    /// Copies the key's value (or def) into buffer and returns the characters
    /// copied; with a null buffer, returns the value's whole length.
    unsigned long GetString(const wchar_t* section, const wchar_t* key, wchar_t* buffer, unsigned long length,
                            const wchar_t* def = nullptr) const;
    /// Writes the key's value (null as empty text), creating the file and the section as needed.
    int WriteString(const wchar_t* section, const wchar_t* key, const wchar_t* value) const;
    /// Writes the key's present value (empty when missing) followed by text.
    int AppendString(const wchar_t* section, const wchar_t* key, const wchar_t* text) const;

    // Integers and doubles.
    /// The value read as an unsigned number in the base (leading blanks and a
    /// sign accepted, out-of-range values saturate) and taken as its bit
    /// pattern; def when the value is empty or missing.
    int GetInt(const wchar_t* section, const wchar_t* key, int def, int base = 10) const;
    /// The same reading as GetInt, as an unsigned number.
    unsigned int GetUInt(const wchar_t* section, const wchar_t* key, unsigned int def, int base = 10) const;
    /// Writes an integer: "%d" in base 10, the 32-bit pattern's digits in bases
    /// 2, 8 and 16 (upper case, no prefix).
    int WriteInt(const wchar_t* section, const wchar_t* key, int value, int base = 10) const;
    /// Writes an unsigned number in the base.
    int WriteUInt(const wchar_t* section, const wchar_t* key, unsigned int value, int base = 10) const;
    /// Adds delta to the key's integer (0 when missing) and writes it back.
    int IncreaseInt(const wchar_t* section, const wchar_t* key, int delta = 1, int base = 10) const;
    /// Adds delta to the key's unsigned number (0 when missing) and writes it back.
    int IncreaseUInt(const wchar_t* section, const wchar_t* key, unsigned int delta = 1, int base = 10) const;
    /// The value read as a number; def when it is empty or missing.
    double GetDouble(const wchar_t* section, const wchar_t* key, double def) const;
    /// Writes a number with `precision` decimals ("%f", six, when precision is 0 or less).
    int WriteDouble(const wchar_t* section, const wchar_t* key, double value, int precision = -1) const;
    /// Adds delta to the key's number (0 when missing) and writes it back.
    int IncreaseDouble(const wchar_t* section, const wchar_t* key, double delta, int precision = -1) const;

    // Booleans and characters.
    /// 1 for a value that is "true" or "yes" (any case) or a non-zero number,
    /// 0 for any other; def when the value is empty or missing.
    int GetBool(const wchar_t* section, const wchar_t* key, int def) const;
    /// The boolean reading of GetBool applied to a text; def for null or empty text.
    static int StringToBool(const wchar_t* text, int def);
    /// Writes "1" for non-zero, "0" for zero.
    int WriteBool(const wchar_t* section, const wchar_t* key, int value) const;
    /// Writes the opposite of the key's boolean (a missing key becomes "1").
    int InvertBool(const wchar_t* section, const wchar_t* key) const;
    /// The value's first character; def when the value is empty or missing.
    wchar_t GetChar(const wchar_t* section, const wchar_t* key, wchar_t def) const;
    /// Writes one character (an empty value for the character 0).
    int WriteChar(const wchar_t* section, const wchar_t* key, wchar_t ch) const;

    // Data blocks, points and rectangles (hexadecimal text).
    /// Decodes the value's hexadecimal text from byte `offset` on into buffer
    /// (at most size bytes); returns the bytes decoded, or with a null buffer
    /// the bytes available from offset.
    unsigned long GetDataBlock(const wchar_t* section, const wchar_t* key, void* buffer, unsigned long size,
                               unsigned long offset = 0) const;
    /// Writes size bytes as hexadecimal text, two digits a byte.
    int WriteDataBlock(const wchar_t* section, const wchar_t* key, const void* data, unsigned long size) const;
    /// Adds size bytes, as hexadecimal text, to the key's present value.
    int AppendDataBlock(const wchar_t* section, const wchar_t* key, const void* data, unsigned long size) const;
    /// The point stored as a data block of 8 bytes; def for any other value.
    POINT GetPoint(const wchar_t* section, const wchar_t* key, POINT def) const;
    /// Writes the point as a data block of 8 bytes.
    int WritePoint(const wchar_t* section, const wchar_t* key, POINT point) const;
    /// The rectangle stored as a data block of 16 bytes; def for any other value.
    RECT GetRect(const wchar_t* section, const wchar_t* key, RECT def) const;
    /// Writes the rectangle as a data block of 16 bytes.
    int WriteRect(const wchar_t* section, const wchar_t* key, RECT rect) const;

    // Arrays.
    /// Splits the value at the delimiter ("," for null) into a list in buffer,
    /// leaving out empty items, trimming the items when trim is non-zero;
    /// returns the characters written, or with a null buffer the room needed.
    unsigned long GetArray(const wchar_t* section, const wchar_t* key, wchar_t* buffer, unsigned long size,
                           const wchar_t* delimiter = nullptr, int trim = 1) const;
    /// Replaces items by the value's items split at the delimiter, trimmed,
    /// empty ones left out (trim is accepted and not used).
    void GetArray(const wchar_t* section, const wchar_t* key, CStringArray* items, const wchar_t* delimiter = nullptr,
                  int trim = 1) const;
    /// The first count items (all for a negative count) joined by the
    /// delimiter ("," for null or empty); empty for a null array.
    CString GetArrayString(const CStringArray* items, int count = -1, const wchar_t* delimiter = nullptr) const;
    /// Writes GetArrayString of the items.
    int WriteArray(const wchar_t* section, const wchar_t* key, const CStringArray* items, int count = -1,
                   const wchar_t* delimiter = nullptr) const;

    // Keys and sections.
    /// 1 when the section holds the key (with any value, an empty one included).
    int IsKeyExist(const wchar_t* section, const wchar_t* key) const;
    /// 1 when the file has the section.
    int IsSectionExist(const wchar_t* section) const;
    /// Deletes the key.
    int DeleteKey(const wchar_t* section, const wchar_t* key) const;
    /// Deletes the section with all its keys.
    int DeleteSection(const wchar_t* section) const;
    /// The section's lines ("key=value") as a list in buffer; returns the characters written.
    unsigned long GetKeyLines(const wchar_t* section, wchar_t* buffer, unsigned long size) const;
    /// Replaces lines by the section's lines ("key=value"); nothing for a null array.
    void GetKeyLines(const wchar_t* section, CStringArray* lines) const;
    /// The section's key names as a list in buffer; returns the characters written.
    unsigned long GetKeyNames(const wchar_t* section, wchar_t* buffer, unsigned long size) const;
    /// Replaces names by the section's key names; nothing for a null array.
    void GetKeyNames(const wchar_t* section, CStringArray* names) const;
    /// The file's section names as a list in buffer; returns the characters written.
    unsigned long GetSectionNames(wchar_t* buffer, unsigned long size) const;
    /// Replaces names by the file's section names; nothing for a null array.
    void GetSectionNames(CStringArray* names) const;

    // Copying and moving.
    /// Copies a key's value to another key; with failIfExists non-zero an
    /// existing target makes it fail. Copying a key onto itself fails.
    int CopyKey(const wchar_t* srcSection, const wchar_t* srcKey, const wchar_t* dstSection, const wchar_t* dstKey,
                int failIfExists) const;
    /// CopyKey, then deletes the source; 1 when both succeeded.
    int MoveKey(const wchar_t* srcSection, const wchar_t* srcKey, const wchar_t* dstSection, const wchar_t* dstKey,
                int failIfExists) const;
    /// Copies every key of a section into another; with failIfExists non-zero
    /// an existing target section makes it fail.
    int CopySection(const wchar_t* srcSection, const wchar_t* dstSection, int failIfExists) const;
    /// CopySection, then deletes the source; 1 when both succeeded.
    int MoveSection(const wchar_t* srcSection, const wchar_t* dstSection, int failIfExists) const;

    /// Calls callback(item, context) for each item of a list (null-terminated
    /// items ended by an empty one); stops with 0 when a call returns 0.
    /// Returns 1 when the list was walked to its end, 0 for a null list or callback.
    static int ParseDNTString(const wchar_t* list, int (*callback)(const wchar_t* item, void* context), void* context);

protected:
    /// The key's value of any length (def when missing), in a buffer the caller frees with delete[].
    wchar_t* __GetStringDynamic(const wchar_t* section, const wchar_t* key, const wchar_t* def = nullptr) const;
    /// Splits text at the delimiter into a list in out (room characters),
    /// leaving out empty items; returns the characters written or needed.
    static unsigned long __StringSplit(const wchar_t* text, wchar_t* out, unsigned long room, const wchar_t* delimiter,
                                       int trim);
    /// A new copy of the characters from begin to end, freed with delete[].
    static wchar_t* __StrDupEx(const wchar_t* begin, const wchar_t* end);
    /// The text of an integer in the base, as WriteInt writes it.
    static void __IntToString(int value, wchar_t* buffer, int base);
    /// The text of an unsigned number in the base, as WriteUInt writes it.
    static void __UIntToString(unsigned int value, wchar_t* buffer, int base);
    /// The lowest digits binary digits of value, most significant first.
    static void __ToBinaryString(unsigned int value, wchar_t* buffer, unsigned long digits);
    /// The base itself for 2, 8 and 16, otherwise 10.
    static int __ValidateBase(int base);
    /// Removes blanks at both ends of the text in place; returns the new length.
    static int __TrimString(wchar_t* text);
    /// ParseDNTString callback: adds the key name of a "key=value" line to a list.
    static int __KeyPairProc(const wchar_t* line, void* context);
    /// ParseDNTString callback: adds the item to a CStringArray.
    static int __SubStrAdd(const wchar_t* item, void* items);
    /// ParseDNTString callback: 0 (stop) when the item equals the name ignoring case.
    static int __SubStrCompare(const wchar_t* item, void* name);

private:
    wchar_t* m_pszPathName;
};

#pragma once

#include <zvenv/platform/CCriticalSection.h>
#include <zvenv/platform/CString.h>
#include <zvenv/platform/CStringArray.h>
#include <zvenv/platform/Export.h>
#include <zvenv/platform/Geometry.h>

class CTqEnvMgr;

/// \file
/// The JSON document.

/// The validator's entry point: text in, a description of what is wrong out,
/// and the constant 1; returns 1 for acceptable text.
using JsonCppParseFn = int (*)(const wchar_t* text, CString* error, int flag);

/// A JSON document: one file held as a tree of the JSON engine. Node handles
/// (void*) and iterators (void**) point into the tree; a null parent stands for
/// the root. Reads and changes hold the document's lock.
///
/// Handles and iterators stay valid until the tree is replaced (Load,
/// ReloadFile) or the container they point into changes. Member names compare
/// exactly; a lookup finds the first member of a name. Node types are 0 null,
/// 1 string, 2 number, 3 boolean, 4 array, 5 object.
///
/// Typed values are text: a setter that finds no member creates a string
/// member; one that finds a member changes it by the member's own type (a
/// number keeps the leading integer of the text, a boolean becomes the text's
/// integer != 0). A document written only through setters holds strings.
class ZVENVMGR_API CTqEnvJson {
    friend class CTqEnvMgr;

public:
    /// A document without a file or tree (the manager binds and loads its documents).
    CTqEnvJson();
    /// Releases the tree without saving.
    virtual ~CTqEnvJson();
    CTqEnvJson(const CTqEnvJson&) = delete;
    CTqEnvJson& operator=(const CTqEnvJson&) = delete;

    /// The file's path.
    CString GetPath();
    /// The root node; null when no tree could be read.
    void* GetJson();
    /// Non-zero when the tree holds changes that are not saved.
    int IsDirty();
    /// Sets or clears the dirty flag.
    void SetDirty(int dirty);
    /// Reads the file into a new tree: a missing file is created with the
    /// text "{" CR LF "}"; an empty one is refreshed from system/; the text is
    /// checked by the validator module and parsed. A text the validator refuses
    /// is reported through the message handler ("PATH:json parse error:"
    /// and the description) and leaves the document without a tree.
    void Load();
    /// Writes the whole tree as UTF-16LE with a byte-order mark and CR LF line
    /// ends, replacing the file atomically, and clears the dirty flag. A
    /// document without a tree leaves its file as it is; a failed write leaves
    /// the document dirty.
    void Save();
    /// Drops the tree and loads the file again, after first copying the file
    /// of the same name from system/ over it when fromSystem is non-zero.
    /// Returns 0 only when that copy was asked for and system/ has none.
    int ReloadFile(int fromSystem = 0);
    /// Points the document at the file of the same name in the current user's
    /// folder; later saves use it. Returns 1.
    int ChangeSavePathToUserIdPath();

    // Navigation and structure.
    /// The iterator of the first member named key, or the end iterator.
    void** GetIterator(CString key, void* parent = nullptr);
    /// The iterator of the first child; null for a node that is neither array nor object.
    void** GetBeginIterator(void* parent = nullptr);
    /// The iterator one past the last child; null for a node that is neither array nor object.
    void** GetEndIterator(void* parent = nullptr);
    /// The number of members or elements of an array or object; 0 for other nodes.
    int GetNodeSize(void* node = nullptr);
    /// The node's member name; empty for array elements and the root.
    CString GetNodeName(void* node);
    /// Renames a member and makes the document dirty; the root cannot be renamed.
    void SetNodeName(void* node, CString name);
    /// 1 when the parent has a member named key.
    int IsExistNode(void* const parent, CString key);
    /// Adds an empty member of the type, named name, after the parent's last
    /// child and returns its iterator. When a member of that name exists, it
    /// is returned unchanged with replace 0, and replaced (by a new member
    /// placed last) otherwise.
    void** CreateNode(void* const parent, CString name, char type, int replace = 0);
    /// Removes the first member named key, and makes the document dirty; a
    /// null parent is the root.
    void DeleteKey(void* const parent, CString key);
    /// Removes every child of the node (the root for null) and makes the document dirty.
    void ClearNode(void* node);

    // Typed values.
    /// The member's text read as an integer (its leading integer); def when
    /// there is no such member, 0 when there is no tree.
    int GetInt(CString key, int def, void* parent = nullptr);
    /// The member's text read as a number; the default goes through "%f", so
    /// a missing member gives def with six decimals.
    double GetDouble(CString key, double def, void* parent = nullptr);
    /// The member's text: a string as it is, a number as the engine keeps it,
    /// a boolean as true or false, null as null, an array as its elements each
    /// followed by "|". def when there is no such member.
    CString GetString(CString key, CString def, void* parent = nullptr);
    /// The member's text read as a point "x,y".
    CPoint GetPoint(CString key, CPoint& def, void* parent = nullptr);
    /// The member's text read as a colour "r,g,b".
    unsigned long GetRGB(CString key, unsigned long def, void* parent = nullptr);
    /// The member's text read as a rectangle "left,top,right,bottom".
    CRect GetRect(CString key, CRect& def, void* parent = nullptr);
    /// The member's text read as a size "cx,cy".
    CSize GetSize(CString key, CSize& def, void* parent = nullptr);
    /// The text reached from the root through up to three member names (empty
    /// names end the path); def when a member on the way is missing.
    CString GetStringEx(CString key1, CString key2, CString key3, CString def);
    /// Stores an integer's "%d" text (see the class's rules for setters).
    void SetInt(CString key, int value, void* parent = nullptr);
    /// Stores a number's "%f" text, six decimals.
    void SetDouble(CString key, double value, void* parent = nullptr);
    /// Stores a text: a new member is a string, an existing one keeps its type.
    void SetString(CString key, CString value, void* parent = nullptr);
    /// Stores a point as "x,y".
    void SetPoint(CString key, CPoint& value, void* parent = nullptr);
    /// Stores a colour as "r,g,b".
    void SetRGB(CString key, unsigned long value, void* parent = nullptr);
    /// Stores a rectangle as "left,top,right,bottom".
    void SetRect(CString key, CRect& value, void* parent = nullptr);
    /// Stores a size as "cx,cy".
    void SetSize(CString key, CSize& value, void* parent = nullptr);

    // Arrays and tree arrays.
    /// Appends the string elements of the array member key to values (other
    /// elements are skipped); values stays as it was when there is no such array.
    void GetArray(CString key, CStringArray& values, void* parent = nullptr);
    /// Replaces the member key by an array of the values as strings, placed
    /// after the parent's last member, and makes the document dirty.
    void SetArray(CString key, CStringArray& values, void* parent = nullptr);
    /// Replaces rows by one text per row of the tree array key (an array of
    /// arrays), each piece followed by "|".
    void GetTreeArray(CString key, CStringArray& rows, void* parent = nullptr);
    /// Replaces the member key by an array with one array per row, the row
    /// split at the separator into string pieces, and makes the document dirty.
    void SetTreeArray(CString key, CStringArray& rows, CString separator, void* parent = nullptr);
    /// Splits a text at "|" (or, when it holds "||", at every "||" keeping one
    /// bar) into pieces, which is emptied first; the text after the last bar
    /// is not a piece. Returns the number of pieces.
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

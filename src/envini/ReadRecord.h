#pragma once

#include <zvenv/CTqIni.h>
#include <zvenv/platform/CString.h>

#include <unordered_map>
#include <unordered_set>

namespace zv::envini {

// What the file held where an INI document has only read: the text of each
// plain value it read, and the lines of each array section it read. Save
// writes such an entry only where the file still holds what is recorded
// here, so that a change another program made meanwhile stays. Whatever was
// set through the document is its own, and Save writes it.
class ReadRecord {
public:
    enum class Kind { OrderArray, TreeArray };

    // The record of a key that was missing from the file: no value read
    // from a file holds a line break.
    static const CString& Missing();

    // Plain values, by section and key exactly as the cache holds them. The
    // text the file held is kept only where it is not the cached text (a
    // number read as " 05" and cached as "5", a default of a missing key), so
    // a first read of a text costs no entry.
    void Read(const CString& section, const CString& key, const CString& fileText, const CString& cachedText);
    // The file holds fileText for the cached value now (written through,
    // saved, or changed past the cache): the value is no longer the
    // document's own.
    void Holds(const CString& section, const CString& key, const CString& fileText, const CString& cachedText);
    void Own(const CString& section, const CString& key);
    bool IsOwn(const CString& section, const CString& key) const;
    // What the file held for a cached value, or null for the document's own.
    const CString* AsRead(const CString& section, const CString& key, const CString& cachedText) const;
    void Forget(const CString& section, const CString& key);
    void ForgetValues(const CString& section);

    // Array sections: the lines as ArrayLines gives them; an array section
    // without them is the document's own.
    void RecordArray(Kind kind, const CString& section, const CString& lines);
    void ForgetArray(Kind kind, const CString& section);
    const CString* FindArray(Kind kind, const CString& section) const;

    void Clear();
    // This record's entries of a section become the other record's.
    void CopyValues(const ReadRecord& other, const CString& section);
    void CopyArray(const ReadRecord& other, Kind kind, const CString& section);

private:
    using Texts = std::unordered_map<CString, CString>;
    using Keys = std::unordered_set<CString>;
    Texts& Arrays(Kind kind) { return kind == Kind::OrderArray ? m_orders : m_trees; }
    const Texts& Arrays(Kind kind) const { return kind == Kind::OrderArray ? m_orders : m_trees; }

    std::unordered_map<CString, Keys> m_own;
    std::unordered_map<CString, Texts> m_fileTexts;
    Texts m_orders;
    Texts m_trees;
};

// A value's text as the file holds it now, or Missing().
CString FileText(const CTqIni& ini, const CString& section, const CString& key);

// The lines of an array section as the file holds them now, one text to
// compare: the section's key lines and, for a tree array, those of every
// sub-section it names.
CString ArrayLines(const CTqIni& ini, ReadRecord::Kind kind, const CString& section);

} // namespace zv::envini

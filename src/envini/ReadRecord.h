#pragma once

#include <zvenv/CTqIni.h>
#include <zvenv/platform/CString.h>

#include <unordered_map>

namespace zv::envini {

// What the file held where an INI document has only read: the text of each
// plain value it read, and the lines of each array section it read. Save
// writes such an entry only where the file still holds what is recorded
// here, so that a change another program made meanwhile stays. Whatever was
// set through the document has no record, and Save writes it.
class ReadRecord {
public:
    enum class Kind { OrderArray, TreeArray };

    // The record of a key that was missing from the file: no value read
    // from a file holds a line break.
    static const CString& Missing();

    // Plain values, by section and key exactly as the cache holds them.
    void Record(const CString& section, const CString& key, const CString& text);
    void Forget(const CString& section, const CString& key);
    const CString* Find(const CString& section, const CString& key) const;
    void ForgetValues(const CString& section);

    // Array sections: the lines as ArrayLines gives them.
    void RecordArray(Kind kind, const CString& section, const CString& lines);
    void ForgetArray(Kind kind, const CString& section);
    const CString* FindArray(Kind kind, const CString& section) const;

    void Clear();
    // This record's entries of a section become the other record's.
    void CopyValues(const ReadRecord& other, const CString& section);
    void CopyArray(const ReadRecord& other, Kind kind, const CString& section);

private:
    using Texts = std::unordered_map<CString, CString>;
    Texts& Arrays(Kind kind) { return kind == Kind::OrderArray ? m_orders : m_trees; }
    const Texts& Arrays(Kind kind) const { return kind == Kind::OrderArray ? m_orders : m_trees; }

    std::unordered_map<CString, Texts> m_values;
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

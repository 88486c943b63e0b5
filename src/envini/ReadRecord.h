#pragma once

#include <zvenv/CTqIni.h>
#include <zvenv/platform/CString.h>

#include <unordered_map>
#include <utility>
#include <vector>

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

    // A save wrote every value set through the document, and of the values
    // only read those listed: each is in the file as cached now.
    void Saved(const std::vector<std::pair<CString, CString>>& writtenAsRead);

    void Clear();
    // This record's entries of a section become the other record's.
    void CopyValues(const ReadRecord& other, const CString& section);
    void CopyArray(const ReadRecord& other, Kind kind, const CString& section);

private:
    using Texts = std::unordered_map<CString, CString>;

    // Keys in an open-addressing table: every setter adds one and every save
    // empties the table, so entries cost no allocation of their own.
    class KeySet {
    public:
        void Insert(const CString& key);
        bool Contains(const CString& key) const;
        void Erase(const CString& key);
        bool Empty() const { return m_live == 0; }
        void Clear();
        template <typename Visit> void ForEach(Visit visit) const
        {
            for (const Slot& slot : m_slots)
                if (slot.state == Slot::Live)
                    visit(slot.key);
        }

    private:
        struct Slot {
            enum State : unsigned char { Empty, Live, Erased } state = Empty;
            std::size_t hash = 0;
            CString key;
        };
        std::size_t Find(const CString& key, std::size_t hash) const;
        void Grow();
        std::vector<Slot> m_slots;
        std::size_t m_live = 0;
        std::size_t m_used = 0; // live and erased slots
    };

    struct Section {
        KeySet own;      // set through the document
        Texts fileTexts; // read, where the file held other text than is cached
    };

    Texts& Arrays(Kind kind) { return kind == Kind::OrderArray ? m_orders : m_trees; }
    const Texts& Arrays(Kind kind) const { return kind == Kind::OrderArray ? m_orders : m_trees; }

    std::unordered_map<CString, Section> m_sections;
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

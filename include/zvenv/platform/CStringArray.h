#pragma once

#include <zvenv/platform/CString.h>

#include <vector>

/// \file
/// The platform's array of strings.

/// An ordered, growable array of wide strings.
class CStringArray {
public:
    CStringArray() = default; ///< An empty array.

    int GetSize() const { return static_cast<int>(m_items.size()); } ///< The number of strings.
    int GetCount() const { return GetSize(); }                       ///< The number of strings.
    int GetUpperBound() const { return GetSize() - 1; }              ///< The last index; -1 when empty.
    bool IsEmpty() const { return m_items.empty(); }                 ///< True when there is no string.

    /// Makes the array `size` strings long (0 for a negative size): new ones
    /// are empty, extra ones dropped. growBy is accepted for the platform's
    /// signature; growth is the vector's.
    void SetSize(int size, int growBy = -1)
    {
        (void)growBy;
        m_items.resize(static_cast<std::size_t>(size > 0 ? size : 0));
    }
    void RemoveAll() { m_items.clear(); } ///< Empties the array.

    /// The string at index. Out-of-range reads give an empty string; out-of-range
    /// writes (SetAt) do nothing.
    CString GetAt(int index) const { return InRange(index) ? m_items[static_cast<std::size_t>(index)] : CString(); }
    /// Replaces the string at index; nothing happens outside the array.
    void SetAt(int index, const CString& value)
    {
        if (InRange(index))
            m_items[static_cast<std::size_t>(index)] = value;
    }
    /// Replaces the string at index, growing the array with empty strings to
    /// reach it; a negative index does nothing.
    void SetAtGrow(int index, const CString& value)
    {
        if (index < 0)
            return;
        if (index >= GetSize())
            SetSize(index + 1);
        m_items[static_cast<std::size_t>(index)] = value;
    }
    /// The string at index, to change in place; throws std::out_of_range outside the array.
    CString& ElementAt(int index) { return m_items.at(static_cast<std::size_t>(index)); }
    /// The string at index, to change in place, as ElementAt.
    CString& operator[](int index) { return ElementAt(index); }
    /// A copy of the string at index, as GetAt.
    CString operator[](int index) const { return GetAt(index); }

    /// Adds a string at the end; returns its index.
    int Add(const CString& value)
    {
        m_items.push_back(value);
        return GetSize() - 1;
    }
    /// Adds the strings of another array at the end; returns the index of the first.
    int Append(const CStringArray& other)
    {
        const int first = GetSize();
        m_items.insert(m_items.end(), other.m_items.begin(), other.m_items.end());
        return first;
    }
    /// Makes this array a copy of another.
    void Copy(const CStringArray& other)
    {
        if (&other != this)
            m_items = other.m_items;
    }
    /// Inserts count copies of value before index (past the end: after empty
    /// strings up to index); a negative index or count does nothing.
    void InsertAt(int index, const CString& value, int count = 1)
    {
        if (index < 0 || count <= 0)
            return;
        if (index > GetSize())
            SetSize(index);
        m_items.insert(m_items.begin() + index, static_cast<std::size_t>(count), value);
    }
    /// Removes up to count strings from index on; nothing happens outside the array.
    void RemoveAt(int index, int count = 1)
    {
        if (!InRange(index) || count <= 0)
            return;
        const int last = index + count > GetSize() ? GetSize() : index + count;
        m_items.erase(m_items.begin() + index, m_items.begin() + last);
    }

    const CString* GetData() const { return m_items.data(); } ///< The strings, one after the other.
    auto begin() const { return m_items.begin(); }            ///< For range-based for loops.
    auto end() const { return m_items.end(); }                ///< For range-based for loops.

private:
    bool InRange(int index) const { return index >= 0 && index < GetSize(); }

    std::vector<CString> m_items;
};

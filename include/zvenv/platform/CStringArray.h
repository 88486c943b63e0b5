#pragma once

#include <zvenv/platform/CString.h>

#include <vector>

// An ordered, growable array of wide strings.
class CStringArray {
public:
    CStringArray() = default;

    int GetSize() const { return static_cast<int>(m_items.size()); }
    int GetCount() const { return GetSize(); }
    int GetUpperBound() const { return GetSize() - 1; }
    bool IsEmpty() const { return m_items.empty(); }

    // growBy is accepted for the platform's signature; growth is the vector's.
    void SetSize(int size, int growBy = -1)
    {
        (void)growBy;
        m_items.resize(static_cast<std::size_t>(size > 0 ? size : 0));
    }
    void RemoveAll() { m_items.clear(); }

    // Out-of-range reads give an empty string; out-of-range writes do nothing.
    CString GetAt(int index) const { return InRange(index) ? m_items[static_cast<std::size_t>(index)] : CString(); }
    void SetAt(int index, const CString& value)
    {
        if (InRange(index))
            m_items[static_cast<std::size_t>(index)] = value;
    }
    void SetAtGrow(int index, const CString& value)
    {
        if (index < 0)
            return;
        if (index >= GetSize())
            SetSize(index + 1);
        m_items[static_cast<std::size_t>(index)] = value;
    }
    CString& ElementAt(int index) { return m_items.at(static_cast<std::size_t>(index)); }
    CString& operator[](int index) { return ElementAt(index); }
    CString operator[](int index) const { return GetAt(index); }

    int Add(const CString& value)
    {
        m_items.push_back(value);
        return GetSize() - 1;
    }
    int Append(const CStringArray& other)
    {
        const int first = GetSize();
        m_items.insert(m_items.end(), other.m_items.begin(), other.m_items.end());
        return first;
    }
    void Copy(const CStringArray& other)
    {
        if (&other != this)
            m_items = other.m_items;
    }
    void InsertAt(int index, const CString& value, int count = 1)
    {
        if (index < 0 || count <= 0)
            return;
        if (index > GetSize())
            SetSize(index);
        m_items.insert(m_items.begin() + index, static_cast<std::size_t>(count), value);
    }
    void RemoveAt(int index, int count = 1)
    {
        if (!InRange(index) || count <= 0)
            return;
        const int last = index + count > GetSize() ? GetSize() : index + count;
        m_items.erase(m_items.begin() + index, m_items.begin() + last);
    }

    const CString* GetData() const { return m_items.data(); }
    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }

private:
    bool InRange(int index) const { return index >= 0 && index < GetSize(); }

    std::vector<CString> m_items;
};

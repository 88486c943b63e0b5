#pragma once

#include <zvenv/platform/CString.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <string_view>
#include <vector>

/// \file
/// The platform's hash maps: CMap and CMapStringToString.

namespace zv::detail {

inline std::size_t HashKey(const wchar_t* key)
{
    return zv::HashText(std::wstring_view(key ? key : L""));
}
inline std::size_t HashKey(const CString& key)
{
    return std::hash<CString>()(key);
}
template <typename K> std::size_t HashKey(const K& key)
{
    return std::hash<K>()(key);
}

inline bool SameKey(const CString& stored, const wchar_t* key)
{
    return stored.Compare(key) == 0;
}
inline bool SameKey(const CString& stored, const CString& key)
{
    return stored == key;
}
template <typename K, typename A> bool SameKey(const K& stored, const A& key)
{
    return stored == key;
}

// The bucket of a hash among count buckets: the hash is mixed, so that
// identity hashes of small integers spread too, and scaled instead of
// divided.
inline std::size_t BucketOf(std::size_t hash, std::size_t count)
{
    const std::uint64_t mixed = (static_cast<std::uint64_t>(hash) * 0x9E3779B97F4A7C15ull) >> 32;
    return static_cast<std::size_t>((mixed * count) >> 32);
}

} // namespace zv::detail

/// A hash map with exact keys (for strings: case-sensitive, code unit by code
/// unit). Iteration visits entries in the order they were first inserted, so
/// everything that is written from a map comes out in a predictable order.
/// Removing entries while iterating is allowed; positions stay valid.
/// KEY and VALUE are the stored types, ARG_KEY and ARG_VALUE the types the
/// members take (LPCWSTR for CString keys, say).
template <typename KEY, typename ARG_KEY, typename VALUE, typename ARG_VALUE> class CMap {
public:
    /// An empty map; blockSize is accepted for the platform's signature.
    explicit CMap(int blockSize = 10) { (void)blockSize; }
    CMap(const CMap&) = delete;
    CMap& operator=(const CMap&) = delete;

    int GetCount() const { return m_live; }      ///< The number of entries.
    int GetSize() const { return m_live; }       ///< The number of entries.
    bool IsEmpty() const { return m_live == 0; } ///< True when there is no entry.

    /// Sets the number of hash buckets to start with; the count is a hint and
    /// the table grows as it fills. allocNow is accepted for the platform's signature.
    void InitHashTable(UINT size, BOOL allocNow = TRUE)
    {
        (void)allocNow;
        m_hintBuckets = size ? size : 17;
    }
    /// The number of hash buckets.
    UINT GetHashTableSize() const { return static_cast<UINT>(m_buckets.empty() ? m_hintBuckets : m_buckets.size()); }

    /// Copies the value under key into value; FALSE (value unchanged) when the key is not there.
    BOOL Lookup(ARG_KEY key, VALUE& value) const
    {
        const int i = Find(key);
        if (i < 0)
            return FALSE;
        value = m_entries[static_cast<std::size_t>(i)].value;
        return TRUE;
    }
    /// The stored value, or null when the key is not there.
    VALUE* PLookup(ARG_KEY key)
    {
        const int i = Find(key);
        return i < 0 ? nullptr : &m_entries[static_cast<std::size_t>(i)].value;
    }

    /// The value under key, entered with a default value when the key is not there.
    VALUE& operator[](ARG_KEY key)
    {
        return FindOrInsert(key, [key] { return KEY(key); });
    }
    /// Stores value under key, replacing what was there.
    void SetAt(ARG_KEY key, ARG_VALUE value) { (*this)[key] = value; }

    /// Removes the entry of key; FALSE when there is none. The value is not
    /// destroyed beyond its own destructor (a pointer's target stays).
    BOOL RemoveKey(ARG_KEY key)
    {
        if (m_buckets.empty())
            return FALSE;
        const std::size_t hash = zv::detail::HashKey(key);
        int* link = &m_buckets[zv::detail::BucketOf(hash, m_buckets.size())];
        while (*link >= 0) {
            Entry& e = m_entries[static_cast<std::size_t>(*link)];
            if (e.hash == hash && zv::detail::SameKey(e.key, key)) {
                e.live = false;
                e.value = VALUE();
                *link = e.next;
                --m_live;
                return TRUE;
            }
            link = &e.next;
        }
        return FALSE;
    }
    /// Removes every entry.
    void RemoveAll()
    {
        m_entries.clear();
        m_buckets.clear();
        m_live = 0;
    }

    /// The position of the first entry, null for an empty map.
    POSITION GetStartPosition() const { return PositionFrom(0); }
    /// Gives the key and value at pos and moves pos to the next entry (null
    /// after the last).
    void GetNextAssoc(POSITION& pos, KEY& key, VALUE& value) const
    {
        const auto i = reinterpret_cast<std::size_t>(pos) - 1;
        const Entry& e = m_entries[i];
        key = e.key;
        value = e.value;
        pos = PositionFrom(i + 1);
    }

protected:
    /// The value under key; when the key is missing, it is entered in the
    /// stored form that makeKey gives.
    template <typename MakeKey> VALUE& FindOrInsert(ARG_KEY key, MakeKey makeKey)
    {
        const std::size_t hash = zv::detail::HashKey(key);
        int i = Find(key, hash);
        if (i < 0)
            i = Insert(makeKey(), hash);
        return m_entries[static_cast<std::size_t>(i)].value;
    }

private:
    // Each entry keeps its key's hash: a chain is walked by comparing hashes,
    // so keys are only compared (and their text only touched) on a match,
    // and growing the table hashes nothing again.
    struct Entry {
        KEY key;
        VALUE value{};
        std::size_t hash = 0;
        int next = -1;
        bool live = true;
    };

    POSITION PositionFrom(std::size_t i) const
    {
        while (i < m_entries.size() && !m_entries[i].live)
            ++i;
        return i < m_entries.size() ? reinterpret_cast<POSITION>(i + 1) : nullptr;
    }

    int Find(ARG_KEY key) const { return m_buckets.empty() ? -1 : Find(key, zv::detail::HashKey(key)); }
    int Find(ARG_KEY key, std::size_t hash) const
    {
        if (m_buckets.empty())
            return -1;
        int i = m_buckets[zv::detail::BucketOf(hash, m_buckets.size())];
        while (i >= 0) {
            const Entry& e = m_entries[static_cast<std::size_t>(i)];
            if (e.hash == hash && zv::detail::SameKey(e.key, key))
                return i;
            i = e.next;
        }
        return -1;
    }

    int Insert(KEY key, std::size_t hash)
    {
        if (m_entries.size() >= m_buckets.size() * 2 || m_entries.size() > 2 * static_cast<std::size_t>(m_live) + 16)
            Rebuild();
        const std::size_t b = zv::detail::BucketOf(hash, m_buckets.size());
        Entry e;
        e.key = std::move(key);
        e.hash = hash;
        e.next = m_buckets[b];
        m_entries.push_back(std::move(e));
        m_buckets[b] = static_cast<int>(m_entries.size() - 1);
        ++m_live;
        return m_buckets[b];
    }

    // Drops removed entries (keeping the order of the others) and sizes the
    // bucket table for the live ones.
    void Rebuild()
    {
        if (m_entries.size() != static_cast<std::size_t>(m_live)) {
            std::deque<Entry> kept;
            for (auto& e : m_entries)
                if (e.live)
                    kept.push_back(std::move(e));
            m_entries.swap(kept);
        }
        std::size_t buckets = m_hintBuckets;
        while (buckets < m_entries.size() + 1)
            buckets = buckets * 2 + 1;
        m_buckets.assign(buckets, -1);
        for (std::size_t i = 0; i < m_entries.size(); ++i) {
            const std::size_t b = zv::detail::BucketOf(m_entries[i].hash, buckets);
            m_entries[i].next = m_buckets[b];
            m_buckets[b] = static_cast<int>(i);
        }
    }

    std::deque<Entry> m_entries;
    std::vector<int> m_buckets;
    std::size_t m_hintBuckets = 17;
    int m_live = 0;
};

/// A map from text to text, with exact (case-sensitive) keys.
class CMapStringToString : public CMap<CString, LPCWSTR, CString, LPCWSTR> {
public:
    /// An empty map; blockSize is accepted for the platform's signature.
    explicit CMapStringToString(int blockSize = 10) : CMap(blockSize) {}

    using CMap::operator[];
    using CMap::SetAt;
    /// The value under key, entered empty when the key is not there. Given a
    /// CString, the map keeps a shared copy of it instead of a new one (texts
    /// are shared until changed); the text still ends at its first null, as it
    /// does when given as a pointer.
    CString& operator[](const CString& key)
    {
        return FindOrInsert(key.GetString(), [&key] { return UpToNull(key); });
    }
    /// Stores value under key, both up to their first null.
    void SetAt(const CString& key, const CString& value) { (*this)[key] = UpToNull(value); }

private:
    static CString UpToNull(const CString& text)
    {
        return std::char_traits<wchar_t>::length(text.GetString()) == static_cast<std::size_t>(text.GetLength())
                   ? text
                   : CString(text.GetString());
    }
};

#pragma once

#include <zvenv/platform/Text.h>

#include <cstdint>
#include <string_view>
#include <vector>

// Where names stand, matched without regard to case: an open-addressing table
// of (hash, position) slots. The names themselves stay in the file's lines, so
// building the table allocates nothing per name, and a lookup compares text
// only where the hashes agree.
namespace zv::profile {

inline wchar_t FoldUnit(wchar_t c)
{
    if (c < 0x80)
        return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + (L'a' - L'A')) : c;
    return zv::text::FoldCase(c);
}

inline std::uint32_t HashNoCase(std::wstring_view name)
{
    std::uint32_t h = 2166136261u;
    for (wchar_t c : name) {
        h ^= static_cast<std::uint32_t>(FoldUnit(c));
        h *= 16777619u;
    }
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    return h;
}

inline bool EqualNoCase(std::wstring_view a, std::wstring_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i] && FoldUnit(a[i]) != FoldUnit(b[i]))
            return false;
    return true;
}

class NameTable {
public:
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;

    // The position of the name, or kNone. nameAt(position) gives the name
    // that stands at a position.
    template <typename NameAt> std::uint32_t Find(std::wstring_view name, std::uint32_t hash, NameAt nameAt) const
    {
        if (m_slots.empty())
            return kNone;
        const std::size_t mask = m_slots.size() - 1;
        for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
            const Slot& slot = m_slots[i];
            if (slot.position == kNone)
                return kNone;
            if (slot.hash == hash && EqualNoCase(nameAt(slot.position), name))
                return slot.position;
        }
    }

    // Enters the position under its name unless the name is there already:
    // the first line of a name is the one that counts.
    template <typename NameAt>
    void Add(std::wstring_view name, std::uint32_t hash, std::uint32_t position, NameAt nameAt)
    {
        if ((m_used + 1) * 2 > m_slots.size())
            Grow();
        const std::size_t mask = m_slots.size() - 1;
        for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
            Slot& slot = m_slots[i];
            if (slot.position == kNone) {
                slot = {hash, position};
                ++m_used;
                return;
            }
            if (slot.hash == hash && EqualNoCase(nameAt(slot.position), name))
                return;
        }
    }

    void Clear()
    {
        m_slots.clear();
        m_used = 0;
    }

private:
    struct Slot {
        std::uint32_t hash = 0;
        std::uint32_t position = kNone;
    };

    void Grow()
    {
        std::vector<Slot> old;
        old.swap(m_slots);
        m_slots.assign(old.empty() ? 8 : old.size() * 2, Slot());
        const std::size_t mask = m_slots.size() - 1;
        for (const Slot& slot : old) {
            if (slot.position == kNone)
                continue;
            std::size_t i = slot.hash & mask;
            while (m_slots[i].position != kNone)
                i = (i + 1) & mask;
            m_slots[i] = slot;
        }
    }

    std::vector<Slot> m_slots;
    std::size_t m_used = 0;
};

} // namespace zv::profile

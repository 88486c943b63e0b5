#include "envini/ReadRecord.h"

#include "envini/EnvIniText.h"
#include "ini/IniFile.h"

#include <zvenv/platform/Profile.h>

#include <cwchar>
#include <vector>

namespace zv::envini {
namespace {

// A hostile "count" must not make a listing run for long: at most this many
// sub-sections of a tree array are listed.
constexpr int kMaxSubSections = 1 << 16;

// The section's lines as the profile functions list them, each followed by a
// line feed.
void Join(const CString& path, const CString& section, CString& out)
{
    for (const std::wstring& line : zv::ini::ListItems(zv::ProfileSectionLines(path, section))) {
        out += CString(line);
        out += L'\n';
    }
}

} // namespace

const CString& ReadRecord::Missing()
{
    static const CString missing(L"\n(missing)\n");
    return missing;
}

void ReadRecord::KeySet::Insert(const CString& key)
{
    const std::size_t hash = std::hash<CString>()(key);
    if (Find(key, hash) != m_slots.size())
        return;
    if ((m_used + 1) * 2 > m_slots.size())
        Grow();
    const std::size_t mask = m_slots.size() - 1;
    std::size_t i = hash & mask;
    while (m_slots[i].state == Slot::Live)
        i = (i + 1) & mask;
    if (m_slots[i].state == Slot::Empty)
        ++m_used;
    m_slots[i] = Slot{Slot::Live, hash, key};
    ++m_live;
}

bool ReadRecord::KeySet::Contains(const CString& key) const
{
    return !m_slots.empty() && Find(key, std::hash<CString>()(key)) != m_slots.size();
}

void ReadRecord::KeySet::Erase(const CString& key)
{
    if (m_slots.empty())
        return;
    const std::size_t i = Find(key, std::hash<CString>()(key));
    if (i == m_slots.size())
        return;
    m_slots[i].state = Slot::Erased;
    m_slots[i].key.Empty();
    --m_live;
}

void ReadRecord::KeySet::Clear()
{
    m_slots.clear();
    m_live = m_used = 0;
}

// The slot of the key, or the table's size when it is not there.
std::size_t ReadRecord::KeySet::Find(const CString& key, std::size_t hash) const
{
    if (m_slots.empty())
        return 0;
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& slot = m_slots[i];
        if (slot.state == Slot::Empty)
            return m_slots.size();
        if (slot.state == Slot::Live && slot.hash == hash && slot.key == key)
            return i;
    }
}

// Erased slots are dropped on the way; the table doubles only when live keys fill it.
void ReadRecord::KeySet::Grow()
{
    std::vector<Slot> old;
    old.swap(m_slots);
    std::size_t size = 8;
    while (size < 4 * (m_live + 1))
        size *= 2;
    m_slots.resize(size);
    m_used = m_live = 0;
    const std::size_t mask = size - 1;
    for (Slot& slot : old) {
        if (slot.state != Slot::Live)
            continue;
        std::size_t i = slot.hash & mask;
        while (m_slots[i].state != Slot::Empty)
            i = (i + 1) & mask;
        m_slots[i] = std::move(slot);
        ++m_used;
        ++m_live;
    }
}

void ReadRecord::Read(const CString& section, const CString& key, const CString& fileText, const CString& cachedText)
{
    if (fileText != cachedText)
        m_sections[section].fileTexts[key] = fileText;
}

void ReadRecord::Holds(const CString& section, const CString& key, const CString& fileText, const CString& cachedText)
{
    const auto found = m_sections.find(section);
    if (found == m_sections.end()) {
        if (fileText != cachedText)
            m_sections[section].fileTexts[key] = fileText;
        return;
    }
    found->second.own.Erase(key);
    if (fileText != cachedText)
        found->second.fileTexts[key] = fileText;
    else
        found->second.fileTexts.erase(key);
}

void ReadRecord::Own(const CString& section, const CString& key)
{
    m_sections[section].own.Insert(key);
}

bool ReadRecord::IsOwn(const CString& section, const CString& key) const
{
    const auto found = m_sections.find(section);
    return found != m_sections.end() && found->second.own.Contains(key);
}

const CString* ReadRecord::AsRead(const CString& section, const CString& key, const CString& cachedText) const
{
    const auto found = m_sections.find(section);
    if (found == m_sections.end())
        return &cachedText;
    if (found->second.own.Contains(key))
        return nullptr;
    const Texts& texts = found->second.fileTexts;
    if (texts.empty())
        return &cachedText;
    const auto text = texts.find(key);
    return text == texts.end() ? &cachedText : &text->second;
}

void ReadRecord::Forget(const CString& section, const CString& key)
{
    const auto found = m_sections.find(section);
    if (found == m_sections.end())
        return;
    found->second.own.Erase(key);
    found->second.fileTexts.erase(key);
}

void ReadRecord::ForgetValues(const CString& section)
{
    m_sections.erase(section);
}

void ReadRecord::Saved(const std::vector<std::pair<CString, CString>>& writtenAsRead)
{
    for (const auto& [section, key] : writtenAsRead)
        Forget(section, key);
    for (auto& entry : m_sections) {
        auto& texts = entry.second.fileTexts;
        if (!texts.empty())
            entry.second.own.ForEach([&texts](const CString& key) { texts.erase(key); });
        entry.second.own.Clear();
    }
}

void ReadRecord::RecordArray(Kind kind, const CString& section, const CString& lines)
{
    Arrays(kind)[section] = lines;
}

void ReadRecord::ForgetArray(Kind kind, const CString& section)
{
    Arrays(kind).erase(section);
}

const CString* ReadRecord::FindArray(Kind kind, const CString& section) const
{
    const auto found = Arrays(kind).find(section);
    return found == Arrays(kind).end() ? nullptr : &found->second;
}

void ReadRecord::Clear()
{
    m_sections.clear();
    m_orders.clear();
    m_trees.clear();
}

void ReadRecord::CopyValues(const ReadRecord& other, const CString& section)
{
    const auto found = other.m_sections.find(section);
    if (found == other.m_sections.end())
        ForgetValues(section);
    else
        m_sections[section] = found->second;
}

void ReadRecord::CopyArray(const ReadRecord& other, Kind kind, const CString& section)
{
    if (const CString* lines = other.FindArray(kind, section))
        RecordArray(kind, section, *lines);
    else
        ForgetArray(kind, section);
}

CString FileText(const CTqIni& ini, const CString& section, const CString& key)
{
    return ini.GetString(section, key, ReadRecord::Missing());
}

CString ArrayLines(const CTqIni& ini, ReadRecord::Kind kind, const CString& section)
{
    const CString path = ini.GetPathName();
    CString lines;
    Join(path, section, lines);
    if (kind == ReadRecord::Kind::TreeArray) {
        const int count = ini.GetInt(section, L"count", 0, 10);
        for (int i = 0; i < count && i < kMaxSubSections; ++i) {
            const CString subSection = ini.GetString(section, IntText(i), L"");
            lines += L"[" + subSection + L"]\n";
            Join(path, subSection, lines);
        }
    }
    return lines;
}

} // namespace zv::envini

#include "envini/ReadRecord.h"

#include "envini/EnvIniText.h"

#include <zvenv/platform/Profile.h>

#include <cwchar>
#include <vector>

namespace zv::envini {
namespace {

// A hostile "count" must not make a listing run for long: at most this many
// sub-sections of a tree array are listed.
constexpr int kMaxSubSections = 1 << 16;

// The section's lines as the profile functions list them, each followed by a
// line feed. The buffer doubles until the list fits: the profile-file class's
// size query grows by a fixed step, which for a long section costs a listing
// of the whole section per step.
void Join(const CString& path, const CString& section, std::vector<wchar_t>& buffer, CString& out)
{
    while (GetPrivateProfileSectionW(section, buffer.data(), static_cast<DWORD>(buffer.size()), path) + 2 >=
           buffer.size())
        buffer.resize(buffer.size() * 2);
    for (const wchar_t* line = buffer.data(); *line; line += std::wcslen(line) + 1) {
        out += line;
        out += L'\n';
    }
}

} // namespace

const CString& ReadRecord::Missing()
{
    static const CString missing(L"\n(missing)\n");
    return missing;
}

void ReadRecord::Read(const CString& section, const CString& key, const CString& fileText, const CString& cachedText)
{
    if (fileText != cachedText)
        m_fileTexts[section][key] = fileText;
}

void ReadRecord::Holds(const CString& section, const CString& key, const CString& fileText, const CString& cachedText)
{
    const auto own = m_own.find(section);
    if (own != m_own.end())
        own->second.erase(key);
    if (fileText != cachedText) {
        m_fileTexts[section][key] = fileText;
        return;
    }
    const auto texts = m_fileTexts.find(section);
    if (texts != m_fileTexts.end())
        texts->second.erase(key);
}

void ReadRecord::Own(const CString& section, const CString& key)
{
    m_own[section].insert(key);
}

bool ReadRecord::IsOwn(const CString& section, const CString& key) const
{
    const auto own = m_own.find(section);
    return own != m_own.end() && own->second.count(key) != 0;
}

const CString* ReadRecord::AsRead(const CString& section, const CString& key, const CString& cachedText) const
{
    if (IsOwn(section, key))
        return nullptr;
    const auto texts = m_fileTexts.find(section);
    if (texts == m_fileTexts.end())
        return &cachedText;
    const auto text = texts->second.find(key);
    return text == texts->second.end() ? &cachedText : &text->second;
}

void ReadRecord::Forget(const CString& section, const CString& key)
{
    const auto own = m_own.find(section);
    if (own != m_own.end())
        own->second.erase(key);
    const auto texts = m_fileTexts.find(section);
    if (texts != m_fileTexts.end())
        texts->second.erase(key);
}

void ReadRecord::ForgetValues(const CString& section)
{
    m_own.erase(section);
    m_fileTexts.erase(section);
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
    m_own.clear();
    m_fileTexts.clear();
    m_orders.clear();
    m_trees.clear();
}

void ReadRecord::CopyValues(const ReadRecord& other, const CString& section)
{
    ForgetValues(section);
    const auto own = other.m_own.find(section);
    if (own != other.m_own.end())
        m_own[section] = own->second;
    const auto texts = other.m_fileTexts.find(section);
    if (texts != other.m_fileTexts.end())
        m_fileTexts[section] = texts->second;
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
    std::vector<wchar_t> buffer(1024);
    CString lines;
    Join(path, section, buffer, lines);
    if (kind == ReadRecord::Kind::TreeArray) {
        const int count = ini.GetInt(section, L"count", 0, 10);
        for (int i = 0; i < count && i < kMaxSubSections; ++i) {
            const CString subSection = ini.GetString(section, IntText(i), L"");
            lines += L"[" + subSection + L"]\n";
            Join(path, subSection, buffer, lines);
        }
    }
    return lines;
}

} // namespace zv::envini

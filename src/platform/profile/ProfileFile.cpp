#include "ProfileFile.h"

#include <zvenv/platform/Text.h>

#include <algorithm>

namespace zv::profile {

std::wstring_view Trim(std::wstring_view text)
{
    const wchar_t* blanks = L" \t";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::wstring_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

bool IsSectionLine(std::wstring_view trimmed, std::wstring_view* name)
{
    if (trimmed.empty() || trimmed.front() != L'[')
        return false;
    if (name) {
        std::wstring_view inside = trimmed.substr(1);
        const std::size_t close = inside.find(L']');
        *name = Trim(close == std::wstring_view::npos ? inside : inside.substr(0, close));
    }
    return true;
}

bool IsKeyLine(std::wstring_view trimmed, std::wstring_view* name, std::wstring_view* value)
{
    if (trimmed.empty() || trimmed.front() == L';' || trimmed.front() == L'[')
        return false;
    const std::size_t equals = trimmed.find(L'=');
    if (equals == std::wstring_view::npos)
        return false;
    if (name)
        *name = Trim(trimmed.substr(0, equals));
    if (value)
        *value = Trim(trimmed.substr(equals + 1));
    return true;
}

namespace {

// Case folding for the index, with ASCII names (most of them) done inline.
void FoldInPlace(std::wstring& name)
{
    for (wchar_t& c : name) {
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c + (L'a' - L'A'));
        else if (c >= 0x80)
            c = zv::text::FoldCase(c);
    }
}

std::wstring Folded(std::wstring_view name)
{
    std::wstring folded(name);
    FoldInPlace(folded);
    return folded;
}

// The folded name for a lookup, in a buffer of the thread that is reused:
// reads are the frequent call and should not allocate. slot keeps the
// section's and the key's names apart.
const std::wstring& FoldedForLookup(std::wstring_view name, int slot)
{
    thread_local std::wstring buffers[2];
    std::wstring& folded = buffers[slot];
    folded.assign(name);
    FoldInPlace(folded);
    return folded;
}

bool IsComment(std::wstring_view trimmed)
{
    return trimmed.empty() || trimmed.front() == L';';
}

// Text a parse of the written bytes may read otherwise than the model holds
// it: a line break splits the line, and two surrogates in a row (32-bit
// wchar_t) are read back as one code point. (A written line never starts the
// file, so a byte-order mark in it stays a character.)
bool MayReadBackOtherwise(std::wstring_view text)
{
    for (wchar_t c : text) {
        if (c == L'\r' || c == L'\n' || (c >= 0xD800 && c <= 0xDFFF))
            return true;
    }
    return false;
}

std::wstring_view Unquote(std::wstring_view value)
{
    if (value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

} // namespace

ProfileFile::ProfileFile(const ProfileFile& other)
    : m_sections(other.m_sections), m_encoding(other.m_encoding), m_lineEnd(other.m_lineEnd),
      m_endsWithLineEnd(other.m_endsWithLineEnd), m_lines(other.m_lines)
{
    m_order.reserve(m_sections.size());
    for (auto& [folded, entry] : m_sections)
        m_order.push_back(&entry);
    std::sort(m_order.begin(), m_order.end(),
              [](const SectionEntry* a, const SectionEntry* b) { return a->range.header < b->range.header; });
}

ProfileFile& ProfileFile::operator=(const ProfileFile& other)
{
    if (this != &other)
        *this = ProfileFile(other);
    return *this;
}

ProfileFile ProfileFile::Parse(const std::string& bytes)
{
    ProfileFile file;
    std::wstring text;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        file.m_encoding = Encoding::Utf16le;
        text = zv::text::DecodeUtf16le(bytes.data() + 2, bytes.size() - 2);
    } else if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        file.m_encoding = Encoding::Utf8Bom;
        text = zv::text::DecodeUtf8Lenient(std::string_view(bytes).substr(3));
    } else if (zv::text::DecodeUtf8(bytes, text)) {
        file.m_encoding = Encoding::Utf8;
    } else {
        file.m_encoding = Encoding::Windows1252;
        text = zv::text::DecodeWindows1252(bytes);
    }

    bool lineEndSeen = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c != L'\r' && c != L'\n')
            continue;
        std::size_t endLength = (c == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') ? 2 : 1;
        if (!lineEndSeen) {
            file.m_lineEnd = text.substr(i, endLength);
            lineEndSeen = true;
        }
        file.m_lines.push_back(text.substr(start, i - start));
        i += endLength - 1;
        start = i + 1;
    }
    file.m_endsWithLineEnd = start == text.size();
    if (start < text.size())
        file.m_lines.push_back(text.substr(start));
    if (text.empty())
        file.m_endsWithLineEnd = true;
    file.Reindex();
    return file;
}

// Encodes the lines straight into one buffer sized up front: the file is
// written on every change, and growing a copy of its whole text several
// times cost more than the write itself.
std::string ProfileFile::Serialise() const
{
    std::size_t characters = 0;
    for (const std::wstring& line : m_lines)
        characters += line.size() + m_lineEnd.size();
    std::string bytes;
    auto append = [&](std::wstring_view piece) {
        switch (m_encoding) {
        case Encoding::Utf16le:
            zv::text::AppendUtf16le(piece, bytes);
            break;
        case Encoding::Utf8Bom:
        case Encoding::Utf8:
            zv::text::AppendUtf8(piece, bytes);
            break;
        case Encoding::Windows1252:
            // Characters the code page lacks become '?', as a write to such
            // a file does on the platform; the bytes already there come back
            // unchanged.
            std::string one;
            zv::text::EncodeWindows1252(piece, one);
            bytes += one;
            break;
        }
    };
    if (m_encoding == Encoding::Utf16le) {
        bytes.reserve(2 + 2 * characters);
        bytes += "\xFF\xFE";
    } else {
        bytes.reserve(3 + characters);
        if (m_encoding == Encoding::Utf8Bom)
            bytes += "\xEF\xBB\xBF";
    }
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        append(m_lines[i]);
        if (i + 1 < m_lines.size() || m_endsWithLineEnd)
            append(m_lineEnd);
    }
    return bytes;
}

void ProfileFile::Settle(bool writtenMayReadOtherwise)
{
    // A legacy code page file changes on any write: a character it lacks is
    // written as '?', and bytes that become valid UTF-8 are read as UTF-8.
    if (writtenMayReadOtherwise || m_encoding == Encoding::Windows1252)
        *this = Parse(Serialise());
}

void ProfileFile::Reindex()
{
    m_sections.clear();
    m_order.clear();
    // The lines before the first header belong to no section.
    SectionEntry* current = nullptr;
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        const std::wstring_view trimmed = Trim(m_lines[i]);
        std::wstring_view name;
        if (IsSectionLine(trimmed, &name)) {
            if (current)
                current->range.end = i;
            auto inserted = m_sections.try_emplace(Folded(name));
            // Only the first section of a name is ever looked up.
            current = inserted.second ? &inserted.first->second : nullptr;
            if (current) {
                current->range.found = true;
                current->range.header = i;
                current->range.first = i + 1;
                m_order.push_back(current);
            }
            continue;
        }
        if (current && IsKeyLine(trimmed, &name)) {
            current->keys.try_emplace(Folded(name), i);
            current->lastKey = i;
        }
    }
    if (current)
        current->range.end = m_lines.size();
}

// Only the sections after the insertion move; the entry's own keys all lie
// before it (a key goes in after the last one), so appending to the last
// section costs nothing however large the file is.
void ProfileFile::IndexInsertedKey(SectionEntry& entry, std::size_t at)
{
    ++entry.range.end;
    auto later = std::lower_bound(m_order.begin(), m_order.end(), at,
                                  [](const SectionEntry* e, std::size_t line) { return e->range.header < line; });
    for (; later != m_order.end(); ++later) {
        SectionEntry& other = **later;
        ++other.range.header;
        ++other.range.first;
        ++other.range.end;
        if (other.lastKey != npos)
            ++other.lastKey;
        for (auto& key : other.keys)
            ++key.second;
    }

    std::wstring_view name;
    if (IsKeyLine(Trim(m_lines[at]), &name)) {
        entry.keys.try_emplace(Folded(name), at);
        entry.lastKey = at;
    }
}

ProfileFile::SectionEntry* ProfileFile::MutableEntry(std::wstring_view section)
{
    return const_cast<SectionEntry*>(Entry(section));
}

// The empty name (or blanks) is the section of a "[]" header, never the lines
// before the first header.
const ProfileFile::SectionEntry* ProfileFile::Entry(std::wstring_view section) const
{
    auto found = m_sections.find(FoldedForLookup(Trim(section), 0));
    return found == m_sections.end() ? nullptr : &found->second;
}

ProfileFile::Range ProfileFile::FindSection(std::wstring_view section) const
{
    const SectionEntry* entry = Entry(section);
    return entry ? entry->range : Range();
}

std::size_t ProfileFile::FindKey(std::wstring_view section, std::wstring_view key) const
{
    const SectionEntry* entry = Entry(section);
    if (!entry)
        return npos;
    auto found = entry->keys.find(FoldedForLookup(Trim(key), 1));
    return found == entry->keys.end() ? npos : found->second;
}

bool ProfileFile::GetValue(std::wstring_view section, std::wstring_view key, std::wstring_view& value) const
{
    const std::size_t line = FindKey(section, key);
    if (line == npos)
        return false;
    std::wstring_view raw;
    IsKeyLine(Trim(m_lines[line]), nullptr, &raw);
    value = Unquote(raw);
    return true;
}

// The empty name of a "[]" header is not listed: in a double-null list it
// would end the list, hiding every section after it.
std::vector<std::wstring> ProfileFile::SectionNames() const
{
    std::vector<std::wstring> names;
    for (const std::wstring& line : m_lines) {
        std::wstring_view name;
        if (IsSectionLine(Trim(line), &name) && !name.empty())
            names.emplace_back(name);
    }
    return names;
}

std::vector<std::wstring> ProfileFile::KeyNames(std::wstring_view section) const
{
    std::vector<std::wstring> names;
    const Range range = FindSection(section);
    if (!range.found)
        return names;
    for (std::size_t i = range.first; i < range.end; ++i) {
        std::wstring_view name;
        if (IsKeyLine(Trim(m_lines[i]), &name))
            names.emplace_back(name);
    }
    return names;
}

std::vector<std::wstring> ProfileFile::SectionLines(std::wstring_view section) const
{
    std::vector<std::wstring> lines;
    const Range range = FindSection(section);
    if (!range.found)
        return lines;
    for (std::size_t i = range.first; i < range.end; ++i) {
        const std::wstring_view trimmed = Trim(m_lines[i]);
        std::wstring_view name, value;
        if (IsKeyLine(trimmed, &name, &value))
            lines.push_back(std::wstring(name) + L"=" + std::wstring(value));
        else if (!IsComment(trimmed))
            lines.emplace_back(trimmed);
    }
    return lines;
}

void ProfileFile::AppendSection(std::wstring_view section)
{
    if (!m_lines.empty() && !m_endsWithLineEnd)
        m_endsWithLineEnd = true;
    m_lines.push_back(L"[" + std::wstring(Trim(section)) + L"]");
    m_endsWithLineEnd = true;
}

// A section and its one key line were appended: index them without a rescan
// when the lines read as what was written (the header names the section, the
// key line is a key); anything odder is left to a full rescan.
void ProfileFile::IndexAppendedSection(std::wstring_view section)
{
    const std::size_t header = m_lines.size() - 2;
    std::wstring_view name, key;
    const std::wstring folded = Folded(Trim(section));
    if (!IsSectionLine(Trim(m_lines[header]), &name) || Folded(name) != folded ||
        !IsKeyLine(Trim(m_lines[header + 1]), &key) || IsSectionLine(Trim(m_lines[header + 1])) ||
        m_sections.count(folded)) {
        Reindex();
        return;
    }
    SectionEntry& entry = m_sections[folded];
    entry.range = Range{true, header, header + 1, header + 2};
    entry.keys.try_emplace(Folded(key), header + 1);
    entry.lastKey = header + 1;
    m_order.push_back(&entry);
}

bool ProfileFile::SetValue(std::wstring_view section, std::wstring_view key, std::wstring_view value)
{
    Range range = FindSection(section);
    const std::wstring trimmedKey(Trim(key));
    const std::size_t line = FindKey(section, key);
    if (line != npos) {
        // The key keeps the spelling it has in the file.
        std::wstring_view name;
        IsKeyLine(Trim(m_lines[line]), &name);
        std::wstring updated = std::wstring(name) + L"=" + std::wstring(value);
        if (m_lines[line] == updated)
            return false;
        m_lines[line] = std::move(updated);
        Settle(MayReadBackOtherwise(value));
        return true;
    }
    const bool mayReadOtherwise =
        MayReadBackOtherwise(section) || MayReadBackOtherwise(key) || MayReadBackOtherwise(value);
    if (!range.found) {
        AppendSection(section);
        m_lines.push_back(trimmedKey + L"=" + std::wstring(value));
        IndexAppendedSection(section);
        Settle(mayReadOtherwise);
        return true;
    }
    // A new key follows the last key of its section (or opens the section
    // when it has none).
    SectionEntry* entry = MutableEntry(section);
    const std::size_t at = entry->lastKey != npos ? entry->lastKey + 1 : range.first;
    if (at == m_lines.size())
        m_endsWithLineEnd = true;
    std::wstring keyLine = trimmedKey + L"=" + std::wstring(value);
    const bool looksLikeHeader = IsSectionLine(Trim(keyLine));
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(keyLine));
    // A key spelled like a section header starts a section of its own.
    if (looksLikeHeader)
        Reindex();
    else
        IndexInsertedKey(*entry, at);
    Settle(mayReadOtherwise);
    return true;
}

bool ProfileFile::DeleteKey(std::wstring_view section, std::wstring_view key)
{
    const std::size_t line = FindKey(section, key);
    if (line == npos)
        return false;
    m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(line));
    Reindex();
    Settle(false);
    return true;
}

// The header goes with every line the section lists (keys and lines without
// '='); its comment and blank lines stay where they are, as on Windows.
bool ProfileFile::DeleteSection(std::wstring_view section)
{
    const Range range = FindSection(section);
    if (!range.found)
        return false;
    std::size_t kept = range.header;
    for (std::size_t i = range.first; i < range.end; ++i) {
        if (IsComment(Trim(m_lines[i])))
            m_lines[kept++] = std::move(m_lines[i]);
    }
    m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(kept),
                  m_lines.begin() + static_cast<std::ptrdiff_t>(range.end));
    Reindex();
    Settle(false);
    return true;
}

bool ProfileFile::ReplaceSection(std::wstring_view section, const std::vector<std::wstring>& lines)
{
    bool mayReadOtherwise = MayReadBackOtherwise(section);
    for (const std::wstring& line : lines)
        mayReadOtherwise = mayReadOtherwise || MayReadBackOtherwise(line);
    Range range = FindSection(section);
    if (!range.found) {
        // An empty section is not created; an existing one is emptied.
        if (lines.empty())
            return false;
        AppendSection(section);
        m_lines.insert(m_lines.end(), lines.begin(), lines.end());
        Reindex();
        Settle(mayReadOtherwise);
        return true;
    }
    const auto first = m_lines.begin() + static_cast<std::ptrdiff_t>(range.header + 1);
    if (std::vector<std::wstring>(first, m_lines.begin() + static_cast<std::ptrdiff_t>(range.end)) == lines)
        return false;
    if (range.end == m_lines.size())
        m_endsWithLineEnd = true;
    m_lines.erase(first, m_lines.begin() + static_cast<std::ptrdiff_t>(range.end));
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(range.header + 1), lines.begin(), lines.end());
    Reindex();
    Settle(mayReadOtherwise);
    return true;
}

} // namespace zv::profile

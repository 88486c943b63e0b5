#include "ProfileFile.h"

#include <zvenv/platform/Text.h>

#include <algorithm>

namespace zv::profile {

namespace {

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

std::wstring_view KeyNameOf(std::wstring_view line)
{
    std::wstring_view name;
    IsKeyLine(Trim(line), &name);
    return name;
}

std::wstring Joined(std::wstring_view name, std::wstring_view value)
{
    std::wstring line;
    line.reserve(name.size() + 1 + value.size());
    line.append(name);
    line += L'=';
    line.append(value);
    return line;
}

} // namespace

ProfileFile::ProfileFile() : m_blocks(1) {}

ProfileFile ProfileFile::Parse(const std::string& bytes)
{
    ProfileFile file;
    auto text = std::make_shared<std::wstring>();
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        file.m_encoding = Encoding::Utf16le;
        *text = zv::text::DecodeUtf16le(bytes.data() + 2, bytes.size() - 2);
    } else if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        file.m_encoding = Encoding::Utf8Bom;
        *text = zv::text::DecodeUtf8Lenient(std::string_view(bytes).substr(3));
    } else if (zv::text::DecodeUtf8(bytes, *text)) {
        file.m_encoding = Encoding::Utf8;
    } else {
        file.m_encoding = Encoding::Windows1252;
        *text = zv::text::DecodeWindows1252(bytes);
    }
    file.m_source = text;

    const wchar_t* data = text->data();
    const std::size_t size = text->size();
    bool lineEndSeen = false;
    std::size_t start = 0;
    auto add = [&](std::size_t from, std::size_t to) {
        // A line longer than a 32-bit count is cut there (a file of many
        // gigabytes, which no reader holds in memory anyway).
        const std::size_t length = std::min<std::size_t>(to - from, 0xFFFFFFFEu);
        file.AppendParsed(Line{data + from, static_cast<std::uint32_t>(length)});
    };
    for (std::size_t i = 0; i < size; ++i) {
        // Line breaks are rare among the characters: one compare skips the rest.
        const wchar_t c = data[i];
        if (c > L'\r' || (c != L'\r' && c != L'\n'))
            continue;
        const std::size_t endLength = (c == L'\r' && i + 1 < size && data[i + 1] == L'\n') ? 2 : 1;
        if (!lineEndSeen) {
            file.m_lineEnd.assign(data + i, endLength);
            lineEndSeen = true;
        }
        add(start, i);
        i += endLength - 1;
        start = i + 1;
    }
    file.m_endsWithLineEnd = start == size;
    if (start < size)
        add(start, size);
    return file;
}

// Encodes the lines straight into one buffer sized up front: the file is
// written on every change, and growing a copy of its whole text several
// times cost more than the write itself.
std::string ProfileFile::Serialise() const
{
    const Line* last = nullptr;
    for (auto block = m_blocks.rbegin(); block != m_blocks.rend() && !last; ++block)
        if (!block->lines.empty())
            last = &block->lines.back();
    auto forEachPiece = [&](auto&& piece) {
        for (const Block& block : m_blocks) {
            for (const Line& line : block.lines) {
                piece(line.View());
                if (&line != last || m_endsWithLineEnd)
                    piece(std::wstring_view(m_lineEnd));
            }
        }
    };
    std::string bytes;
    if (m_encoding == Encoding::Utf16le) {
        // Two bytes a unit; a character beyond the basic plane (in a 32-bit
        // wchar_t) takes a surrogate pair.
        std::size_t units = 0;
        // (A generic lambda, so that a 16-bit wchar_t never compiles the count.)
        forEachPiece([&units](auto piece) {
            units += piece.size();
            if constexpr (sizeof(wchar_t) >= 4)
                for (auto c : piece)
                    units += static_cast<std::uint32_t>(c) >= 0x10000 && static_cast<std::uint32_t>(c) <= 0x10FFFF;
        });
        bytes.resize(2 + 2 * units);
        char* out = &bytes[0];
        *out++ = '\xFF';
        *out++ = '\xFE';
        auto put = [&out](std::uint32_t unit) {
            *out++ = static_cast<char>(unit & 0xFF);
            *out++ = static_cast<char>((unit >> 8) & 0xFF);
        };
        forEachPiece([&put](std::wstring_view piece) {
            for (wchar_t c : piece) {
                auto cp = static_cast<std::uint32_t>(c);
                if (sizeof(wchar_t) >= 4 && cp >= 0x10000 && cp <= 0x10FFFF) {
                    cp -= 0x10000;
                    put(0xD800 + (cp >> 10));
                    put(0xDC00 + (cp & 0x3FF));
                } else {
                    put(cp & 0xFFFF);
                }
            }
        });
        return bytes;
    }
    if (m_encoding == Encoding::Utf8Bom)
        bytes += "\xEF\xBB\xBF";
    forEachPiece([&](std::wstring_view piece) {
        if (m_encoding != Encoding::Windows1252) {
            zv::text::AppendUtf8(piece, bytes);
            return;
        }
        // Characters the code page lacks become '?', as a write to such a
        // file does on the platform; the bytes already there come back
        // unchanged.
        std::string one;
        zv::text::EncodeWindows1252(piece, one);
        bytes += one;
    });
    return bytes;
}

void ProfileFile::Settle(bool writtenMayReadOtherwise)
{
    // A legacy code page file changes on any write: a character it lacks is
    // written as '?', and bytes that become valid UTF-8 are read as UTF-8.
    if (writtenMayReadOtherwise || m_encoding == Encoding::Windows1252)
        *this = Parse(Serialise());
}

void ProfileFile::AppendParsed(const Line& line)
{
    const std::wstring_view trimmed = Trim(line.View());
    std::wstring_view name;
    if (IsSectionLine(trimmed, &name)) {
        m_blocks.emplace_back();
        Block& block = m_blocks.back();
        block.lines.push_back(line);
        block.name = name;
        const auto at = static_cast<std::uint32_t>(m_blocks.size() - 1);
        m_sections.Add(name, HashNoCase(name), at, [this](std::uint32_t b) { return m_blocks[b].name; });
        return;
    }
    Block& block = m_blocks.back();
    block.lines.push_back(line);
    // The lines before the first header belong to no section.
    if (m_blocks.size() > 1)
        IndexKeyLine(block, static_cast<std::uint32_t>(block.lines.size() - 1));
}

void ProfileFile::IndexKeyLine(Block& block, std::uint32_t at)
{
    std::wstring_view name;
    if (!IsKeyLine(Trim(block.lines[at].View()), &name))
        return;
    block.keys.Add(name, HashNoCase(name), at, [&block](std::uint32_t i) { return KeyNameOf(block.lines[i].View()); });
    block.lastKey = at;
}

void ProfileFile::IndexKeys(Block& block)
{
    block.keys.Clear();
    block.lastKey = NameTable::kNone;
    for (std::uint32_t i = 1; i < block.lines.size(); ++i)
        IndexKeyLine(block, i);
}

void ProfileFile::IndexSections()
{
    m_sections.Clear();
    for (std::uint32_t b = 1; b < m_blocks.size(); ++b)
        m_sections.Add(m_blocks[b].name, HashNoCase(m_blocks[b].name), b,
                       [this](std::uint32_t i) { return m_blocks[i].name; });
}

void ProfileFile::Rebuild()
{
    m_lastChanged = npos;
    std::vector<Block> blocks(1);
    blocks.swap(m_blocks);
    m_sections.Clear();
    for (const Block& block : blocks)
        for (const Line& line : block.lines)
            AppendParsed(line);
}

ProfileFile::Line ProfileFile::OwnLine(std::wstring text)
{
    Line line;
    line.owner = static_cast<std::uint32_t>(m_owned.size());
    m_owned.push_back(std::make_shared<std::wstring>(std::move(text)));
    line.text = m_owned.back()->data();
    line.length = static_cast<std::uint32_t>(m_owned.back()->size());
    return line;
}

// A line's own text is changed in place unless a copy of the model shares it.
void ProfileFile::SetLineText(Line& line, std::wstring text)
{
    if (line.owner == NameTable::kNone) {
        line = OwnLine(std::move(text));
        return;
    }
    std::shared_ptr<std::wstring>& owned = m_owned[line.owner];
    if (owned.use_count() == 1)
        *owned = std::move(text);
    else
        owned = std::make_shared<std::wstring>(std::move(text));
    line.text = owned->data();
    line.length = static_cast<std::uint32_t>(owned->size());
}

void ProfileFile::DropLine(const Line& line)
{
    if (line.owner != NameTable::kNone)
        m_owned[line.owner].reset();
}

// The empty name (or blanks) is the section of a "[]" header, never the lines
// before the first header.
std::size_t ProfileFile::FindBlock(std::wstring_view section) const
{
    const std::wstring_view name = Trim(section);
    const std::uint32_t b =
        m_sections.Find(name, HashNoCase(name), [this](std::uint32_t i) { return m_blocks[i].name; });
    return b == NameTable::kNone ? npos : b;
}

std::size_t ProfileFile::FindBlockToChange(std::wstring_view section)
{
    if (m_lastChanged < m_blocks.size() && EqualNoCase(m_blocks[m_lastChanged].name, Trim(section)))
        return m_lastChanged;
    m_lastChanged = FindBlock(section);
    return m_lastChanged;
}

std::uint32_t ProfileFile::FindKey(const Block& block, std::wstring_view key) const
{
    const std::wstring_view name = Trim(key);
    return block.keys.Find(name, HashNoCase(name),
                           [&block](std::uint32_t i) { return KeyNameOf(block.lines[i].View()); });
}

std::size_t ProfileFile::Section(std::wstring_view name) const
{
    return FindBlock(name);
}

bool ProfileFile::GetValue(std::wstring_view section, std::wstring_view key, std::wstring_view& value) const
{
    return GetValue(FindBlock(section), key, value);
}

bool ProfileFile::GetValue(std::size_t section, std::wstring_view key, std::wstring_view& value) const
{
    if (section == npos || section >= m_blocks.size())
        return false;
    const Block& block = m_blocks[section];
    const std::uint32_t line = FindKey(block, key);
    if (line == NameTable::kNone)
        return false;
    std::wstring_view raw;
    IsKeyLine(Trim(block.lines[line].View()), nullptr, &raw);
    value = Unquote(raw);
    return true;
}

// The empty name of a "[]" header is not listed: in a double-null list it
// would end the list, hiding every section after it.
std::vector<std::wstring> ProfileFile::SectionNames() const
{
    std::vector<std::wstring> names;
    for (std::size_t b = 1; b < m_blocks.size(); ++b)
        if (!m_blocks[b].name.empty())
            names.emplace_back(m_blocks[b].name);
    return names;
}

std::vector<std::wstring> ProfileFile::KeyNames(std::wstring_view section) const
{
    std::vector<std::wstring> names;
    const std::size_t b = FindBlock(section);
    if (b == npos)
        return names;
    const Block& block = m_blocks[b];
    for (std::size_t i = 1; i < block.lines.size(); ++i) {
        std::wstring_view name;
        if (IsKeyLine(Trim(block.lines[i].View()), &name))
            names.emplace_back(name);
    }
    return names;
}

std::vector<std::wstring> ProfileFile::SectionLines(std::wstring_view section) const
{
    std::vector<std::wstring> lines;
    const std::size_t b = FindBlock(section);
    if (b == npos)
        return lines;
    const Block& block = m_blocks[b];
    for (std::size_t i = 1; i < block.lines.size(); ++i) {
        const std::wstring_view trimmed = Trim(block.lines[i].View());
        std::wstring_view name, value;
        if (IsKeyLine(trimmed, &name, &value))
            lines.push_back(Joined(name, value));
        else if (!IsComment(trimmed))
            lines.emplace_back(UpToNull(trimmed));
    }
    return lines;
}

bool ProfileFile::SetValue(std::wstring_view section, std::wstring_view key, std::wstring_view value)
{
    const std::size_t b = FindBlockToChange(section);
    if (b != npos) {
        Block& block = m_blocks[b];
        const std::uint32_t at = FindKey(block, key);
        if (at != NameTable::kNone) {
            // The key keeps the spelling it has in the file.
            Line& line = block.lines[at];
            const std::wstring_view name = KeyNameOf(line.View());
            const std::wstring_view current = line.View();
            if (current.size() == name.size() + 1 + value.size() && current.substr(0, name.size()) == name &&
                current[name.size()] == L'=' && current.substr(name.size() + 1) == value)
                return false;
            SetLineText(line, Joined(name, value));
            Settle(MayReadBackOtherwise(value));
            return true;
        }
    }
    const bool mayReadOtherwise =
        MayReadBackOtherwise(section) || MayReadBackOtherwise(key) || MayReadBackOtherwise(value);
    Line keyLine = OwnLine(Joined(Trim(key), value));
    if (b == npos) {
        // A new section goes at the end of the file, read as a parse reads it.
        m_endsWithLineEnd = true;
        std::wstring header = L"[";
        header.append(Trim(section));
        header += L']';
        AppendParsed(OwnLine(std::move(header)));
        AppendParsed(keyLine);
        Settle(mayReadOtherwise);
        return true;
    }
    // A new key follows the last key of its section (or opens the section
    // when it has none); only lines that are no keys come after it.
    Block& block = m_blocks[b];
    const std::uint32_t at = block.lastKey != NameTable::kNone ? block.lastKey + 1 : 1;
    if (b + 1 == m_blocks.size() && at == block.lines.size())
        m_endsWithLineEnd = true;
    block.lines.insert(block.lines.begin() + at, keyLine);
    // A key spelled like a section header starts a section of its own.
    if (IsSectionLine(Trim(keyLine.View())))
        Rebuild();
    else
        IndexKeyLine(block, at);
    Settle(mayReadOtherwise);
    return true;
}

bool ProfileFile::DeleteKey(std::wstring_view section, std::wstring_view key)
{
    const std::size_t b = FindBlock(section);
    if (b == npos)
        return false;
    Block& block = m_blocks[b];
    const std::uint32_t at = FindKey(block, key);
    if (at == NameTable::kNone)
        return false;
    DropLine(block.lines[at]);
    block.lines.erase(block.lines.begin() + at);
    IndexKeys(block);
    Settle(false);
    return true;
}

// The header goes with every line the section lists (keys and lines without
// '='); its comment and blank lines stay where they are, as on Windows, and
// so join the block before.
bool ProfileFile::DeleteSection(std::wstring_view section)
{
    const std::size_t b = FindBlock(section);
    if (b == npos)
        return false;
    Block& previous = m_blocks[b - 1];
    for (std::size_t i = 0; i < m_blocks[b].lines.size(); ++i) {
        const Line& line = m_blocks[b].lines[i];
        if (i > 0 && IsComment(Trim(line.View())))
            previous.lines.push_back(line);
        else
            DropLine(line);
    }
    m_blocks.erase(m_blocks.begin() + static_cast<std::ptrdiff_t>(b));
    m_lastChanged = npos;
    // A later section of the same name is the one that counts now.
    IndexSections();
    Settle(false);
    return true;
}

bool ProfileFile::ReplaceSection(std::wstring_view section, const std::vector<std::wstring>& lines)
{
    bool mayReadOtherwise = MayReadBackOtherwise(section);
    for (const std::wstring& line : lines)
        mayReadOtherwise = mayReadOtherwise || MayReadBackOtherwise(line);
    const std::size_t b = FindBlock(section);
    if (b == npos) {
        // An empty section is not created; an existing one is emptied.
        if (lines.empty())
            return false;
        m_endsWithLineEnd = true;
        std::wstring header = L"[";
        header.append(Trim(section));
        header += L']';
        AppendParsed(OwnLine(std::move(header)));
        for (const std::wstring& line : lines)
            AppendParsed(OwnLine(line));
        Settle(mayReadOtherwise);
        return true;
    }
    Block& block = m_blocks[b];
    bool same = block.lines.size() == lines.size() + 1;
    for (std::size_t i = 0; same && i < lines.size(); ++i)
        same = block.lines[i + 1].View() == lines[i];
    if (same)
        return false;
    if (b + 1 == m_blocks.size())
        m_endsWithLineEnd = true;
    for (std::size_t i = 1; i < block.lines.size(); ++i)
        DropLine(block.lines[i]);
    block.lines.resize(1);
    for (const std::wstring& line : lines)
        block.lines.push_back(OwnLine(line));
    Rebuild();
    Settle(mayReadOtherwise);
    return true;
}

} // namespace zv::profile

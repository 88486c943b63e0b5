#pragma once

#include "NameTable.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// One profile (INI) file held as its lines, exactly as read, so that a write
// changes only the lines it must and the rest of the file comes back byte for
// byte: comments, blank lines, lines without '=', text before the first
// section and duplicate sections are all kept.
//
// As on Windows, the lines before the first section header belong to no
// section: no name reaches them, and no operation changes them. The empty
// name is the section of an explicit "[]" header. A comment line (first
// non-blank character ';') is never a key, even when it holds '='.
namespace zv::profile {

enum class Encoding { Utf16le, Utf8Bom, Utf8, Windows1252 };

class ProfileFile {
public:
    // A file that does not exist yet: written as UTF-16LE with its mark and
    // CR LF line ends, the form every program of the suite reads.
    ProfileFile();
    // A copy shares the unchanged lines' text with the original: copying a
    // parsed file costs its line table, not its text.
    ProfileFile(const ProfileFile&) = default;
    ProfileFile& operator=(const ProfileFile&) = default;
    ProfileFile(ProfileFile&&) = default;
    ProfileFile& operator=(ProfileFile&&) = default;
    static ProfileFile Parse(const std::string& bytes);
    std::string Serialise() const;

    // Lookups match names without regard to case, in the first section of
    // that name. Values come trimmed and without matching quotes, as a view
    // into the model's own line. After every change the model is exactly what
    // a fresh parse of its Serialise() gives (a value written with a line
    // break reads back as the lines it makes).
    bool GetValue(std::wstring_view section, std::wstring_view key, std::wstring_view& value) const;
    // The same lookup in two steps, for readers that ask for many keys of one
    // section: the section's place in this model (npos when there is no such
    // section), then a key there.
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);
    std::size_t Section(std::wstring_view name) const;
    bool GetValue(std::size_t section, std::wstring_view key, std::wstring_view& value) const;
    std::vector<std::wstring> SectionNames() const;
    std::vector<std::wstring> KeyNames(std::wstring_view section) const;
    // The section's lines that are not blank and not comments, trimmed.
    std::vector<std::wstring> SectionLines(std::wstring_view section) const;

    // Each returns true when the lines changed. A new key goes after the last
    // key line of its section (comments are not keys, so a key spelled as a
    // comment always adds a line); deleting a section removes its header and
    // its entries and keeps its comment and blank lines.
    bool SetValue(std::wstring_view section, std::wstring_view key, std::wstring_view value);
    bool DeleteKey(std::wstring_view section, std::wstring_view key);
    bool DeleteSection(std::wstring_view section);
    bool ReplaceSection(std::wstring_view section, const std::vector<std::wstring>& lines);

private:
    // One line of the file: a slice of the decoded text of the parse, or a
    // text of its own for a line written since (owner indexes m_owned).
    struct Line {
        const wchar_t* text = nullptr;
        std::uint32_t length = 0;
        std::uint32_t owner = NameTable::kNone;
        std::wstring_view View() const { return {text, length}; }
    };
    // The lines before the first header (block 0, no header), or a section:
    // its header line first, then every line up to the next header. A new
    // key goes after the block's last key line, so adding one moves no line
    // of any other block and no indexed line of its own.
    struct Block {
        std::vector<Line> lines;
        std::wstring_view name; // the header's name, inside the header's text
        NameTable keys;         // first line of each key name, by line index
        std::uint32_t lastKey = NameTable::kNone;
    };
    std::size_t FindBlock(std::wstring_view section) const;
    // FindBlock for a change: changes come section by section, so the block
    // of the last one is tried first.
    std::size_t FindBlockToChange(std::wstring_view section);
    std::uint32_t FindKey(const Block& block, std::wstring_view key) const;
    // Adds a line at the end of the file as a parse reads it: a header opens
    // a block, any other line joins the last one.
    void AppendParsed(const Line& line);
    void IndexKeyLine(Block& block, std::uint32_t at);
    void IndexKeys(Block& block);
    void IndexSections();
    // Reads every line again into blocks, after a change that may have
    // added or removed a header.
    void Rebuild();
    Line OwnLine(std::wstring text);
    void SetLineText(Line& line, std::wstring text);
    void DropLine(const Line& line);
    // After a change: when the written text may read back otherwise (a line
    // break, a surrogate) or the file is in a legacy code page (a character
    // it lacks is written as '?'), the model is replaced by a parse of its
    // own bytes, so that it stays what a fresh reader of the file sees.
    void Settle(bool writtenMayReadOtherwise);

    std::shared_ptr<const std::wstring> m_source;       // the decoded text of the parse
    std::vector<std::shared_ptr<std::wstring>> m_owned; // texts of lines written since, one per line
    std::vector<Block> m_blocks;                        // m_blocks[0]: the lines before the first header
    NameTable m_sections;                               // first block of each section name
    std::size_t m_lastChanged = npos;                   // the block FindBlockToChange found last

    Encoding m_encoding = Encoding::Utf16le;
    std::wstring m_lineEnd = L"\r\n";
    bool m_endsWithLineEnd = true;
};

// Line classification shared by the model and its tests: blanks are space
// and tab, a header starts with '[', a key line holds '=' and is neither a
// header nor a comment (';').
inline std::wstring_view Trim(std::wstring_view text)
{
    std::size_t first = 0, last = text.size();
    while (first < last && (text[first] == L' ' || text[first] == L'\t'))
        ++first;
    while (last > first && (text[last - 1] == L' ' || text[last - 1] == L'\t'))
        --last;
    return text.substr(first, last - first);
}

inline bool IsSectionLine(std::wstring_view trimmed, std::wstring_view* name = nullptr)
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

// A name or a value reads up to its first null character, as the platform's
// functions read them; the rest of the line stays in the file as it is.
inline std::wstring_view UpToNull(std::wstring_view text)
{
    return text.substr(0, text.find(L'\0'));
}

inline bool IsKeyLine(std::wstring_view trimmed, std::wstring_view* name = nullptr, std::wstring_view* value = nullptr)
{
    if (trimmed.empty() || trimmed.front() == L';' || trimmed.front() == L'[')
        return false;
    const std::size_t equals = trimmed.find(L'=');
    if (equals == std::wstring_view::npos)
        return false;
    if (name)
        *name = UpToNull(Trim(trimmed.substr(0, equals)));
    if (value)
        *value = UpToNull(Trim(trimmed.substr(equals + 1)));
    return true;
}

} // namespace zv::profile

#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
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
    ProfileFile() = default;
    // A copy indexes its own entries; a move keeps them where they are.
    ProfileFile(const ProfileFile& other);
    ProfileFile& operator=(const ProfileFile& other);
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
    struct Range {
        bool found = false;
        std::size_t header = 0; // index of the "[name]" line
        std::size_t first = 0;  // the section's first line after its header
        std::size_t end = 0;    // one past the section's last line
    };
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    Range FindSection(std::wstring_view section) const;
    std::size_t FindKey(std::wstring_view section, std::wstring_view key) const;
    void AppendSection(std::wstring_view section);
    // After a change: when the written text may read back otherwise (a line
    // break, a surrogate) or the file is in a legacy code page (a character
    // it lacks is written as '?'), the model is replaced by a parse of its
    // own bytes, so that it stays what a fresh reader of the file sees.
    void Settle(bool writtenMayReadOtherwise);

    // Where each section and key is, by case-folded name, so that a lookup
    // costs a hash and not a scan: the first section of each name, and the
    // first line of each key in it. Rebuilt whenever lines come or go; a
    // changed value keeps every line where it was.
    struct SectionEntry {
        Range range;
        std::unordered_map<std::wstring, std::size_t> keys;
        std::size_t lastKey = npos; // the last key line (comments not counted): a new key goes after it
    };
    void Reindex();
    // A key line was inserted at index at of the section's entry: the index
    // follows without a rescan, so adding many keys costs no more than
    // changing them.
    void IndexInsertedKey(SectionEntry& entry, std::size_t at);
    void IndexAppendedSection(std::wstring_view section);
    SectionEntry* MutableEntry(std::wstring_view section);
    const SectionEntry* Entry(std::wstring_view section) const;
    std::unordered_map<std::wstring, SectionEntry> m_sections;
    std::vector<SectionEntry*> m_order; // the entries by header line

    Encoding m_encoding = Encoding::Utf16le;
    std::wstring m_lineEnd = L"\r\n";
    bool m_endsWithLineEnd = true;
    std::vector<std::wstring> m_lines;
};

// Line classification shared by the model and its tests.
std::wstring_view Trim(std::wstring_view text);
bool IsSectionLine(std::wstring_view trimmed, std::wstring_view* name = nullptr);
// A line with '=' that is neither a section header nor a comment (';').
bool IsKeyLine(std::wstring_view trimmed, std::wstring_view* name = nullptr, std::wstring_view* value = nullptr);

} // namespace zv::profile

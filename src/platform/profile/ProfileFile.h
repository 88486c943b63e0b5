#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// One profile (INI) file held as its lines, exactly as read, so that a write
// changes only the lines it must and the rest of the file comes back byte for
// byte: comments, blank lines, lines without '=', text before the first
// section and duplicate sections are all kept.
namespace zv::profile {

enum class Encoding { Utf16le, Utf8Bom, Utf8, Windows1252 };

class ProfileFile {
public:
    // A file that does not exist yet: written as UTF-16LE with its mark and
    // CR LF line ends, the form every program of the suite reads.
    ProfileFile() = default;
    static ProfileFile Parse(const std::string& bytes);
    std::string Serialise() const;

    // Lookups match names without regard to case, in the first section of
    // that name. Values come trimmed and without matching quotes.
    bool GetValue(std::wstring_view section, std::wstring_view key, std::wstring& value) const;
    std::vector<std::wstring> SectionNames() const;
    std::vector<std::wstring> KeyNames(std::wstring_view section) const;
    // The section's lines that are not blank and not comments, trimmed.
    std::vector<std::wstring> SectionLines(std::wstring_view section) const;

    // Each returns true when the lines changed.
    bool SetValue(std::wstring_view section, std::wstring_view key, std::wstring_view value);
    bool DeleteKey(std::wstring_view section, std::wstring_view key);
    bool DeleteSection(std::wstring_view section);
    bool ReplaceSection(std::wstring_view section, const std::vector<std::wstring>& lines);

private:
    struct Range {
        std::size_t header = npos; // index of the "[name]" line
        std::size_t end = 0;       // one past the section's last line
    };
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    Range FindSection(std::wstring_view section) const;
    std::size_t FindKey(const Range& range, std::wstring_view key) const;
    void AppendSection(std::wstring_view section);

    // The section index: the line of every section header in file order, and
    // for each case-folded name the position (in m_headers) of its first
    // section. Built by Parse and kept up to date by every change, so a
    // lookup does not scan the file and a shared copy is never written.
    void Reindex();
    void ShiftHeaders(std::size_t from, std::ptrdiff_t by);
    static std::wstring Folded(std::wstring_view name);

    Encoding m_encoding = Encoding::Utf16le;
    std::wstring m_lineEnd = L"\r\n";
    bool m_endsWithLineEnd = true;
    std::vector<std::wstring> m_lines;
    std::vector<std::size_t> m_headers;
    std::unordered_map<std::wstring, std::size_t> m_firstHeader;
};

// Line classification shared by the model and its tests.
std::wstring_view Trim(std::wstring_view text);
bool IsSectionLine(std::wstring_view trimmed, std::wstring_view* name = nullptr);
bool IsKeyLine(std::wstring_view trimmed, std::wstring_view* name = nullptr, std::wstring_view* value = nullptr);

} // namespace zv::profile

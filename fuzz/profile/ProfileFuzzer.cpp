// The profile-file functions on hostile files: the input's head becomes the
// bytes of an INI file, its tail chooses reads with buffers of every size and
// then writes. Afterwards every written key must read back as written, both
// from the parsed copy and after the file is parsed again from disk.
#include <zvenv/platform/Profile.h>
#include <zvenv/platform/Text.h>

#include "FuzzInput.h"

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

using zvfuzz::Check;

namespace {

// Names and values mix plain letters, blanks, the characters with a meaning
// in the file, case pairs that only full case mapping matches, characters
// beyond the basic plane and a lone surrogate.
const wchar_t kNameAlphabet[] = L"aBkZ09 _.\t\"'=;[]#\u00e9\u00c9\u00df\u03a3\u03c3\u03c2\u0130\u20ac\U0001F600\xD800";
const wchar_t kValueAlphabet[] = L"aBx 7\t=;[]\"'\\\u00e9\u00fc\u20ac\u4e2d\U0001F600\xDC00\u00a0";

std::wstring TrimBlanks(const std::wstring& text)
{
    const std::size_t first = text.find_first_not_of(L" \t");
    if (first == std::wstring::npos)
        return {};
    return text.substr(first, text.find_last_not_of(L" \t") - first + 1);
}

// What a read gives back for a written value: trimmed, one pair of matching
// quotes removed.
std::wstring AsRead(const std::wstring& value)
{
    std::wstring text = TrimBlanks(value);
    if (text.size() >= 2 && (text.front() == L'"' || text.front() == L'\'') && text.back() == text.front())
        text = text.substr(1, text.size() - 2);
    return text;
}

// A section name a file line can hold: no ']' and not blank.
std::wstring SectionName(zvfuzz::FuzzInput& in)
{
    std::wstring name = in.Text(kNameAlphabet, 6);
    for (auto& c : name)
        if (c == L']')
            c = L')';
    return TrimBlanks(name).empty() ? L"s" + name : name;
}

// A key name a file line can hold: no '=', not a comment or section line.
std::wstring KeyName(zvfuzz::FuzzInput& in)
{
    std::wstring name = in.Text(kNameAlphabet, 6);
    for (auto& c : name)
        if (c == L'=')
            c = L'-';
    const std::wstring trimmed = TrimBlanks(name);
    if (trimmed.empty() || trimmed.front() == L';' || trimmed.front() == L'[')
        return L"k" + name;
    return name;
}

struct Written {
    std::wstring section;
    std::wstring key;
    std::wstring value; // as a read gives it back
};

const std::wstring& FilePath()
{
    static const std::wstring path = [] {
        const std::string file = zvfuzz::ScratchFolder() + "/fuzz.ini";
        return std::wstring(file.begin(), file.end());
    }();
    return path;
}

// A list result must stay inside its buffer and end where the result says.
void CheckList(const std::vector<wchar_t>& buffer, DWORD result)
{
    if (buffer.empty())
        return;
    Check(result < buffer.size(), "list result beyond its buffer");
    Check(buffer[result] == 0, "list result does not end in a null");
}

std::vector<std::wstring> Items(const wchar_t* list)
{
    std::vector<std::wstring> items;
    for (const wchar_t* p = list; *p; p += items.back().size() + 1)
        items.emplace_back(p);
    return items;
}

void ReadHostileFile(zvfuzz::FuzzInput& in, const wchar_t* path)
{
    std::vector<wchar_t> buffer(in.Range(0, 40));
    DWORD result =
        zv::ProfileGetSectionNames(buffer.empty() ? nullptr : buffer.data(), static_cast<DWORD>(buffer.size()), path);
    CheckList(buffer, result);

    std::vector<wchar_t> names(4096);
    zv::ProfileGetSectionNames(names.data(), static_cast<DWORD>(names.size()), path);
    const std::vector<std::wstring> sections = Items(names.data());
    const std::wstring section = sections.empty() ? L"s" : sections[in.Range(0, sections.size() - 1)];

    buffer.assign(in.Range(0, 40), L'#');
    result = zv::ProfileGetSection(section.c_str(), buffer.empty() ? nullptr : buffer.data(),
                                   static_cast<DWORD>(buffer.size()), path);
    CheckList(buffer, result);

    buffer.assign(in.Range(0, 40), L'#');
    result = zv::ProfileGetString(section.c_str(), nullptr, L"", buffer.empty() ? nullptr : buffer.data(),
                                  static_cast<DWORD>(buffer.size()), path);
    CheckList(buffer, result);

    std::vector<wchar_t> keyList(4096);
    zv::ProfileGetString(section.c_str(), nullptr, L"", keyList.data(), static_cast<DWORD>(keyList.size()), path);
    const std::vector<std::wstring> keys = Items(keyList.data());
    for (const std::wstring& key : keys) {
        buffer.assign(in.Range(0, 24), L'#');
        result =
            zv::ProfileGetString(section.c_str(), key.c_str(), L"default", buffer.empty() ? nullptr : buffer.data(),
                                 static_cast<DWORD>(buffer.size()), path);
        if (!buffer.empty()) {
            Check(result < buffer.size(), "value result beyond its buffer");
            Check(buffer[result] == 0, "value does not end in a null");
        }
    }
}

// A file in the single-byte code page holds '?' for every character the code
// page lacks, as the platform writes it; names and values are passed through
// the code page first, so that what is expected is what the file can hold.
std::wstring ThroughCodePage(const std::wstring& text)
{
    std::wstring result = text;
    for (auto& c : result) {
        std::string byte;
        if (!zv::text::EncodeWindows1252(std::wstring_view(&c, 1), byte))
            c = L'?';
    }
    return result;
}

std::wstring ReadValue(const Written& entry, const wchar_t* path)
{
    std::vector<wchar_t> buffer(entry.value.size() + 1, L'#');
    const DWORD result = zv::ProfileGetString(entry.section.c_str(), entry.key.c_str(), L"\x1missing", buffer.data(),
                                              static_cast<DWORD>(buffer.size()), path);
    Check(buffer[result] == 0, "read value does not end in a null");
    return std::wstring(buffer.data(), result);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    zvfuzz::FuzzInput in(data, size);
    const std::string bytes = in.TakeDocument();
    const std::wstring& path = FilePath();
    {
        std::ofstream out(std::string(path.begin(), path.end()), std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    zv::ClearProfileCache();

    // A file with no mark that is not UTF-8 is read in the single-byte code page.
    std::wstring decoded;
    const bool hasMark = (bytes.size() >= 2 && bytes.compare(0, 2, "\xFF\xFE") == 0) ||
                         (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0);
    const bool codePage = !hasMark && !zv::text::DecodeUtf8(bytes, decoded);

    const int reads = in.Range(1, 3);
    for (int i = 0; i < reads; ++i)
        ReadHostileFile(in, path.c_str());

    std::vector<Written> written;
    const int writes = in.Range(1, 6);
    for (int i = 0; i < writes; ++i) {
        Written entry;
        const unsigned op = in.Range(0, 9);
        if (op < 3 && !written.empty()) {
            // Rewrite a key written before, spelled in another case.
            const Written& old = written[in.Range(0, written.size() - 1)];
            entry.section = old.section;
            entry.key = old.key;
            for (auto& c : entry.key)
                c = in.Flag() ? zv::text::ToUpper(c) : zv::text::ToLower(c);
        } else {
            entry.section = SectionName(in);
            entry.key = KeyName(in);
        }
        std::wstring value = in.Text(kValueAlphabet, 12);
        if (codePage) {
            entry.section = ThroughCodePage(entry.section);
            entry.key = ThroughCodePage(entry.key);
            value = ThroughCodePage(value);
        }
        if (op == 9) {
            // Deleting a key or a section: nothing written there can be
            // relied on any more.
            const bool wholeSection = in.Flag();
            zv::ProfileWriteString(entry.section.c_str(), wholeSection ? nullptr : entry.key.c_str(), nullptr,
                                   path.c_str());
            std::vector<Written> kept;
            for (const Written& w : written)
                if (!zv::text::EqualNoCase(TrimBlanks(w.section), TrimBlanks(entry.section)) ||
                    (!wholeSection && !zv::text::EqualNoCase(TrimBlanks(w.key), TrimBlanks(entry.key))))
                    kept.push_back(w);
            written.swap(kept);
            continue;
        }
        Check(zv::ProfileWriteString(entry.section.c_str(), entry.key.c_str(), value.c_str(), path.c_str()) != 0,
              "write failed");
        entry.value = AsRead(value);
        std::vector<Written> kept;
        for (const Written& w : written)
            if (!zv::text::EqualNoCase(TrimBlanks(w.section), TrimBlanks(entry.section)) ||
                !zv::text::EqualNoCase(TrimBlanks(w.key), TrimBlanks(entry.key)))
                kept.push_back(w);
        kept.push_back(entry);
        written.swap(kept);
    }

    for (int pass = 0; pass < 2; ++pass) {
        for (const Written& entry : written) {
            const std::wstring read = ReadValue(entry, path.c_str());
            Check(read == entry.value, "written value does not read back",
                  L"[" + entry.section + L"] " + entry.key + L" = <" + entry.value + L"> read <" + read + L">");
        }
        // The second pass reads what is on disk, not the parsed copy.
        zv::ClearProfileCache();
    }
    return 0;
}

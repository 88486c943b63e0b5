// The profile functions on hostile file bytes: reads into buffers of any
// size, writes that must read back, then odd writes (some in a batch) after
// which the parsed copy must read as a fresh parse of the file.
#include <zvenv/platform/Profile.h>
#include <zvenv/platform/Text.h>

#include "FuzzInput.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

using zvfuzz::Check;

namespace {

// Blanks, the file's own signs, case pairs, a non-BMP character, a lone surrogate.
const wchar_t kNameAlphabet[] = L"aBkZ09 _.\t\"'=;[]#\u00e9\u00c9\u00df\u03a3\u03c3\u03c2\u0130\u20ac\U0001F600\xD800";
const wchar_t kValueAlphabet[] = L"aBx 7\t=;[]\"'\\\u00e9\u00fc\u20ac\u4e2d\U0001F600\xDC00\u00a0";

std::wstring TrimBlanks(const std::wstring& text)
{
    const std::size_t first = text.find_first_not_of(L" \t");
    return first == std::wstring::npos ? L"" : text.substr(first, text.find_last_not_of(L" \t") - first + 1);
}

// A name a line can hold: no ending character, not blank, no key read as a comment or header.
std::wstring Name(zvfuzz::FuzzInput& in, bool key)
{
    std::wstring name = in.Text(kNameAlphabet, 6);
    std::replace(name.begin(), name.end(), key ? L'=' : L']', key ? L'-' : L')');
    const std::wstring trimmed = TrimBlanks(name);
    return trimmed.empty() || (key && (trimmed.front() == L';' || trimmed.front() == L'[')) ? (key ? L"k" : L"s") + name
                                                                                            : name;
}

struct Written {
    std::wstring section;
    std::wstring key;
    std::wstring value; // as a read gives it back: trimmed, one pair of matching quotes removed
};

template <typename Read> void ReadInto(zvfuzz::FuzzInput& in, std::uint32_t most, Read read)
{
    const std::uint32_t size = in.Range(0, most);
    std::vector<wchar_t> buffer(size + 1, L'#');
    const DWORD result = read(size == 0 ? nullptr : buffer.data(), size);
    Check(size == 0 || (result < size && buffer[result] == 0), "result beyond its buffer or without its null");
    Check(buffer[size] == L'#', "written past the buffer");
}

std::vector<std::wstring> Items(const std::vector<wchar_t>& list)
{
    std::vector<std::wstring> items;
    for (const wchar_t* p = list.data(); *p; p += items.back().size() + 1)
        items.emplace_back(p);
    return items;
}

void ReadHostileFile(zvfuzz::FuzzInput& in, const wchar_t* path)
{
    ReadInto(in, 40, [&](wchar_t* buffer, DWORD size) { return zv::ProfileGetSectionNames(buffer, size, path); });
    std::vector<wchar_t> list(4096);
    zv::ProfileGetSectionNames(list.data(), static_cast<DWORD>(list.size()), path);
    const std::vector<std::wstring> sections = Items(list);
    const std::wstring section = sections.empty() ? L"s" : sections[in.Range(0, sections.size() - 1)];
    ReadInto(in, 40,
             [&](wchar_t* buffer, DWORD size) { return zv::ProfileGetSection(section.c_str(), buffer, size, path); });
    ReadInto(in, 40, [&](wchar_t* buffer, DWORD size) {
        return zv::ProfileGetString(section.c_str(), nullptr, L"", buffer, size, path);
    });
    zv::ProfileGetSection(section.c_str(), list.data(), static_cast<DWORD>(list.size()), path);
    for (const std::wstring& line : Items(list))
        Check(line[0] != L';', "a comment listed as a line of its section");
    zv::ProfileGetString(section.c_str(), nullptr, L"", list.data(), static_cast<DWORD>(list.size()), path);
    for (const std::wstring& key : Items(list))
        ReadInto(in, 24, [&](wchar_t* buffer, DWORD size) {
            return zv::ProfileGetString(section.c_str(), key.c_str(), L"default", buffer, size, path);
        });
}

void Forget(std::vector<Written>& written, const std::wstring& section, const std::wstring* key)
{
    std::vector<Written> kept;
    for (const Written& w : written)
        if (!zv::text::EqualNoCase(TrimBlanks(w.section), TrimBlanks(section)) ||
            (key && !zv::text::EqualNoCase(TrimBlanks(w.key), TrimBlanks(*key))))
            kept.push_back(w);
    written.swap(kept);
}

// Every list and value a reader sees, of the sections and keys listed and of the names given.
std::wstring Listing(const std::wstring& path, const std::vector<std::wstring>& names)
{
    std::vector<wchar_t> buffer(1 << 16);
    const DWORD size = static_cast<DWORD>(buffer.size());
    auto text = [&](DWORD length) { return std::wstring(buffer.data(), length) + L'|'; };
    std::wstring out = text(zv::ProfileGetSectionNames(buffer.data(), size, path.c_str()));
    std::vector<std::wstring> sections = Items(buffer);
    sections.insert(sections.end(), names.begin(), names.end());
    for (const std::wstring& section : sections) {
        out += text(zv::ProfileGetSection(section.c_str(), buffer.data(), size, path.c_str()));
        out += text(zv::ProfileGetString(section.c_str(), nullptr, L"", buffer.data(), size, path.c_str()));
        std::vector<std::wstring> keys = Items(buffer);
        keys.insert(keys.end(), names.begin(), names.end());
        for (const std::wstring& key : keys)
            out += text(zv::ProfileGetString(section.c_str(), key.c_str(), L"-", buffer.data(), size, path.c_str()));
    }
    return out;
}

// A renamed copy never has the identity of a file parsed before.
std::wstring FreshListing(const std::string& file, const std::vector<std::wstring>& names)
{
    std::filesystem::copy_file(file, file + ".copy", std::filesystem::copy_options::overwrite_existing);
    std::filesystem::rename(file + ".copy", file + ".fresh");
    return Listing(std::wstring(file.begin(), file.end()) + L".fresh", names);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    zvfuzz::FuzzInput in(data, size);
    const std::string bytes = in.TakeDocument();
    static const std::string file = zvfuzz::ScratchFolder() + "/fuzz.ini";
    static const std::wstring path(file.begin(), file.end());
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    zv::ClearProfileCache();

    std::wstring decoded;
    const bool codePage = bytes.compare(0, 2, "\xFF\xFE") != 0 && bytes.compare(0, 3, "\xEF\xBB\xBF") != 0 &&
                          !zv::text::DecodeUtf8(bytes, decoded);

    for (int reads = in.Range(1, 3); reads > 0; --reads)
        ReadHostileFile(in, path.c_str());

    std::vector<Written> written;
    for (int writes = in.Range(1, 6); writes > 0; --writes) {
        Written entry;
        const unsigned op = in.Range(0, 9);
        if (op < 3 && !written.empty()) {
            entry = written[in.Range(0, written.size() - 1)];
            for (auto& c : entry.key)
                c = in.Flag() ? zv::text::ToUpper(c) : zv::text::ToLower(c);
        } else {
            entry.section = Name(in, false);
            entry.key = Name(in, true);
        }
        std::wstring value = in.Text(kValueAlphabet, 12);
        std::string byte; // what a code-page file can hold: '?' for each character it lacks
        for (std::wstring* text : {&entry.section, &entry.key, &value})
            for (wchar_t& c : *text)
                if (codePage && !zv::text::EncodeWindows1252(std::wstring_view(&c, 1), byte))
                    c = L'?';
        if (op == 9) {
            const bool wholeSection = in.Flag();
            zv::ProfileWriteString(entry.section.c_str(), wholeSection ? nullptr : entry.key.c_str(), nullptr,
                                   path.c_str());
            Forget(written, entry.section, wholeSection ? nullptr : &entry.key);
            continue;
        }
        Check(zv::ProfileWriteString(entry.section.c_str(), entry.key.c_str(), value.c_str(), path.c_str()) != 0,
              "write failed");
        const std::wstring v = TrimBlanks(value);
        const bool quoted = v.size() >= 2 && (v.front() == L'"' || v.front() == L'\'') && v.back() == v.front();
        entry.value = quoted ? v.substr(1, v.size() - 2) : v;
        Forget(written, entry.section, &entry.key);
        written.push_back(entry);
    }

    for (int pass = 0; pass < 2; ++pass) {
        for (const Written& entry : written) {
            std::vector<wchar_t> buffer(entry.value.size() + 1, L'#');
            const DWORD result = zv::ProfileGetString(entry.section.c_str(), entry.key.c_str(), L"\x1missing",
                                                      buffer.data(), static_cast<DWORD>(buffer.size()), path.c_str());
            Check(buffer[result] == 0, "read value does not end in a null");
            const std::wstring read(buffer.data(), result);
            Check(read == entry.value, "written value does not read back",
                  L"[" + entry.section + L"] " + entry.key + L" = <" + entry.value + L"> read <" + read + L">");
        }
        zv::ClearProfileCache();
    }

    static const wchar_t kOddAlphabet[] = L"Sk \t;[]=\"\r\n\u00e9\uFEFF\U0001F600\xD83D";
    std::vector<std::wstring> names;
    std::optional<zv::ProfileBatch> batch;
    if (in.Flag())
        batch.emplace(path.c_str());
    for (int writes = in.Range(1, 6); writes > 0; --writes) {
        const std::wstring section = in.Text(kOddAlphabet, 6), key = in.Text(kOddAlphabet, 4);
        const std::wstring value = in.Text(kOddAlphabet, 10), lines = key + L"=" + value + L'\0' + L"b=2" + L'\0';
        names.insert(names.end(), {section, key});
        const unsigned op = in.Range(0, 5);
        if (op == 0)
            zv::ProfileWriteSection(section.c_str(), lines.c_str(), path.c_str());
        else
            zv::ProfileWriteString(section.c_str(), op == 1 ? nullptr : key.c_str(), op < 3 ? nullptr : value.c_str(),
                                   path.c_str());
        if (!batch)
            Check(Listing(path, names) == FreshListing(file, names), "the parsed copy is not what the file reads as");
    }
    const std::wstring cached = Listing(path, names);
    batch.reset();
    Check(cached == FreshListing(file, names), "the batch's parsed copy is not what it wrote");
    return 0;
}

// CTqIni's array splitting and data blocks, and the INI document's split of a cached
// value, on hostile values against a model; the input's tail picks delimiters, flags and sizes.
#include <zvenv/CTqEnvIni.h>
#include <zvenv/CTqIni.h>
#include <zvenv/platform/CStringArray.h>
#include <zvenv/platform/Profile.h>
#include <zvenv/platform/Text.h>

#include "FuzzInput.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <memory>
#include <string>
#include <vector>

using zvfuzz::Check;

namespace {

const wchar_t* const kDelimiters[] = {nullptr, L"",  L",",  L";",   L"::",        L"ab",
                                      L"aa",   L" ", L"\t", L",;,", L"\U0001F600"};

std::wstring Trimmed(const std::wstring& text)
{
    const std::size_t first = text.find_first_not_of(L" \t\r\n");
    return first == std::wstring::npos ? std::wstring()
                                       : text.substr(first, text.find_last_not_of(L" \t\r\n") + 1 - first);
}

// Every piece between the separators, empty ones too; an empty separator does not split.
std::vector<std::wstring> Pieces(const std::wstring& text, const std::wstring& separator)
{
    std::vector<std::wstring> pieces;
    std::size_t start = 0;
    for (std::size_t found; !separator.empty() && (found = text.find(separator, start)) != std::wstring::npos;
         start = found + separator.size())
        pieces.push_back(text.substr(start, found - start));
    pieces.push_back(text.substr(start));
    return pieces;
}

// The pieces of an uncut split, trimmed if asked, empty ones dropped; an empty delimiter takes the value whole.
std::vector<std::wstring> ExpectedItems(const std::wstring& text, const wchar_t* delimiter, bool trim)
{
    if (delimiter && !*delimiter && !text.empty())
        return {text};
    std::vector<std::wstring> items;
    for (const std::wstring& piece : Pieces(text, delimiter ? delimiter : L","))
        if (!(trim ? Trimmed(piece) : piece).empty())
            items.push_back(trim ? Trimmed(piece) : piece);
    return items;
}

std::vector<std::wstring> ListItems(const wchar_t* out, unsigned long used)
{
    std::vector<std::wstring> items;
    for (unsigned long at = 0; at < used && out[at]; at += static_cast<unsigned long>(items.back().size()) + 1)
        items.emplace_back(out + at, wcsnlen(out + at, used - at));
    return items;
}

int HexValue(wchar_t c)
{
    const wchar_t* const digits = L"0123456789abcdef";
    const wchar_t* at = c ? std::wcschr(digits, static_cast<wchar_t>(std::towlower(c))) : nullptr;
    return at ? static_cast<int>(at - digits) : -1;
}

void CheckDataBlocks(zvfuzz::FuzzInput& in, const CTqIni& ini, const std::wstring& value)
{
    const bool hex = std::all_of(value.begin(), value.end(), [](wchar_t c) { return HexValue(c) >= 0; });
    std::vector<unsigned char> bytes;
    for (std::size_t i = 0; hex && i + 1 < value.size(); i += 2)
        bytes.push_back(static_cast<unsigned char>(HexValue(value[i]) * 16 + HexValue(value[i + 1])));

    const unsigned long offset = in.Range(0, static_cast<std::uint32_t>(bytes.size() + 2));
    const unsigned long available = offset < bytes.size() ? static_cast<unsigned long>(bytes.size() - offset) : 0;
    Check(ini.GetDataBlock(L"s", L"v", nullptr, 0, offset) == available, "data block size query");
    const unsigned long size = in.Range(0, static_cast<std::uint32_t>(bytes.size() + 2));
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[size == 0 ? 1 : size]);
    const unsigned long got = ini.GetDataBlock(L"s", L"v", buffer.get(), size, offset);
    Check(got == std::min(available, size), "data block length");
    Check(std::equal(buffer.get(), buffer.get() + got, bytes.begin() + (got ? offset : 0)), "data block bytes");

    // A point takes the first 8 bytes, a rectangle 16; a shorter block gives the default.
    const POINT defPoint{-7, 7}, point = ini.GetPoint(L"s", L"v", defPoint);
    const RECT defRect{1, 2, 3, 4}, rect = ini.GetRect(L"s", L"v", defRect);
    ini.WritePoint(L"s", L"p", point);
    ini.WriteRect(L"s", L"r", rect);
    const auto rewritten = [&](const wchar_t* key, std::size_t count, const void* shape, const void* def) {
        unsigned char back[16];
        if (bytes.size() < count)
            return std::memcmp(shape, def, count) == 0;
        return ini.GetDataBlock(L"s", key, back, 16, 0) == count && std::equal(back, back + count, bytes.begin());
    };
    Check(rewritten(L"p", 8, &point, &defPoint), "point does not round-trip or is not the default");
    Check(rewritten(L"r", 16, &rect, &defRect), "rectangle does not round-trip or is not the default");

    std::vector<unsigned char> first(in.Range(0, 8)), second(in.Range(0, 8));
    std::generate(first.begin(), first.end(), [&] { return in.Byte(); });
    std::generate(second.begin(), second.end(), [&] { return in.Byte(); });
    unsigned char dummy = 0;
    ini.WriteDataBlock(L"s", L"d", first.empty() ? &dummy : first.data(), static_cast<unsigned long>(first.size()));
    ini.AppendDataBlock(L"s", L"d", second.empty() ? &dummy : second.data(), static_cast<unsigned long>(second.size()));
    first.insert(first.end(), second.begin(), second.end());
    std::vector<unsigned char> back(first.size() + 1);
    back.resize(ini.GetDataBlock(L"s", L"d", back.data(), static_cast<unsigned long>(back.size()), 0));
    Check(back == first, "appended block differs");
}

void CheckArrays(zvfuzz::FuzzInput& in, const CTqIni& ini)
{
    const std::wstring stored = ini.GetString(L"s", L"v", L"").GetString();
    const wchar_t* delimiter = in.Pick(kDelimiters);
    const int trim = in.Flag();
    const std::vector<std::wstring> expected = ExpectedItems(stored, delimiter, trim);

    // Each item is cut to what is left less its null until no character and
    // null fit; a value taken whole is cut to one character less than its room.
    const unsigned long needed = ini.GetArray(L"s", L"v", nullptr, 0, delimiter, trim);
    const unsigned long size = in.Range(0, static_cast<std::uint32_t>(needed + 3));
    std::unique_ptr<wchar_t[]> buffer(new wchar_t[size + 1]);
    const unsigned long got = ini.GetArray(L"s", L"v", size == 0 ? nullptr : buffer.get(), size, delimiter, trim);
    const bool split = !delimiter || *delimiter;
    if (size > 0) {
        std::vector<std::wstring> cut;
        unsigned long used = 0;
        for (std::size_t i = 0; i < expected.size() && used + 1 < size; ++i) {
            cut.push_back(expected[i].substr(0, size - used - 1));
            used += static_cast<unsigned long>(cut.back().size()) + split;
        }
        Check(got == used && buffer[got] == 0, "array list length", stored);
        Check(split || got == 0 || buffer[got + 1] == 0, "cut whole value is not ended as a list");
        Check(ListItems(buffer.get(), got) == cut, "array differs from the split", stored);
        Check(size < needed + !split || got == needed, "size query", stored);
    }

    CStringArray items;
    const auto texts = [&] { return std::vector<std::wstring>(items.begin(), items.end()); };
    items.Add(L"stale");
    ini.GetArray(L"s", L"v", &items, delimiter, 0);
    Check(texts() == ExpectedItems(stored, delimiter, true), "array items", stored);

    // The document splits its cached text keeping empty pieces, an empty last one only for exactly 1.
    const int keepLastEmpty = static_cast<int>(in.Range(0, 2));
    std::vector<std::wstring> pieces = Pieces(stored, delimiter ? delimiter : L"");
    if (pieces.back().empty() && keepLastEmpty != 1)
        pieces.pop_back();
    CTqEnvIni doc;
    doc.SetString(L"s", L"v", stored.c_str());
    doc.GetArray(L"s", L"v", items, L"", delimiter ? delimiter : L"", keepLastEmpty);
    Check(texts() == pieces, "document array differs from the split", stored);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    zvfuzz::FuzzInput in(data, size);
    const std::wstring text = zvfuzz::DecodeText(in.TakeDocument());

    const std::wstring value = text.substr(0, std::min<std::size_t>(text.find_first_of(L"\r\n"), 512));
    static const std::string file = zvfuzz::ScratchFolder() + "/arrays.ini";
    const CTqIni ini(std::wstring(file.begin(), file.end()).c_str());
    zv::ClearProfileCache();
    ini.DeleteSection(L"s");
    Check(ini.WriteString(L"s", L"v", value.c_str()), "write failed");
    CheckArrays(in, ini);
    CheckDataBlocks(in, ini, ini.GetString(L"s", L"v", L"").GetString());
    return 0;
}

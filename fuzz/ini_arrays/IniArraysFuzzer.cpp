// CTqIni's array splitting and data blocks on hostile values against a model;
// the input's tail picks delimiters, trimming and buffer sizes.
#include <zvenv/CTqIni.h>
#include <zvenv/platform/CStringArray.h>
#include <zvenv/platform/Profile.h>
#include <zvenv/platform/Text.h>

#include "FuzzInput.h"

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

// The pieces of an uncut split, trimmed if asked, empty ones dropped.
std::vector<std::wstring> ExpectedItems(const std::wstring& text, const wchar_t* delimiter, bool trim)
{
    std::vector<std::wstring> items;
    if (text.empty())
        return items;
    if (delimiter && !*delimiter)
        return {text};
    const std::wstring separator = delimiter ? delimiter : L",";
    std::size_t start = 0;
    for (;;) {
        const std::size_t found = text.find(separator, start);
        std::wstring piece = text.substr(start, found == std::wstring::npos ? std::wstring::npos : found - start);
        if (trim)
            piece = Trimmed(piece);
        if (!piece.empty())
            items.push_back(piece);
        if (found == std::wstring::npos)
            break;
        start = found + separator.size();
    }
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
    bool hex = true;
    for (wchar_t c : value)
        hex = hex && HexValue(c) >= 0;
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
    for (auto& b : first)
        b = in.Byte();
    for (auto& b : second)
        b = in.Byte();
    unsigned char dummy = 0;
    ini.WriteDataBlock(L"s", L"d", first.empty() ? &dummy : first.data(), static_cast<unsigned long>(first.size()));
    ini.AppendDataBlock(L"s", L"d", second.empty() ? &dummy : second.data(), static_cast<unsigned long>(second.size()));
    first.insert(first.end(), second.begin(), second.end());
    std::vector<unsigned char> back(first.size() + 1);
    Check(ini.GetDataBlock(L"s", L"d", back.data(), static_cast<unsigned long>(back.size()), 0) == first.size(),
          "appended block length");
    Check(std::equal(first.begin(), first.end(), back.begin()), "appended block bytes");
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
    items.Add(L"stale");
    ini.GetArray(L"s", L"v", &items, delimiter, 0);
    const std::vector<std::wstring> trimmed = ExpectedItems(stored, delimiter, true);
    Check(items.GetSize() == static_cast<int>(trimmed.size()), "array item count", stored);
    for (int i = 0; i < items.GetSize(); ++i)
        Check(items.GetAt(i).GetString() == trimmed[static_cast<std::size_t>(i)], "array item");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    zvfuzz::FuzzInput in(data, size);
    const std::wstring text = zvfuzz::DecodeText(in.TakeDocument());

    std::wstring value = text.substr(0, text.find_first_of(L"\r\n"));
    if (value.size() > 512)
        value.resize(512);
    static const std::string file = zvfuzz::ScratchFolder() + "/arrays.ini";
    const CTqIni ini(std::wstring(file.begin(), file.end()).c_str());
    zv::ClearProfileCache();
    ini.DeleteSection(L"s");
    if (!ini.WriteString(L"s", L"v", value.c_str()))
        zvfuzz::Fail("write failed");
    CheckArrays(in, ini);
    CheckDataBlocks(in, ini, ini.GetString(L"s", L"v", L"").GetString());
    return 0;
}

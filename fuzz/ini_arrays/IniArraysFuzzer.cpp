// CTqIni's array splitting and data-block decoding on hostile values. The
// input's head is the value (UTF-8, or UTF-16 after a 0xFF 0xFE mark), its
// tail picks delimiters, trimming and buffer sizes. Every buffer is allocated
// at exactly the room the call is told plus its null, so a write past it is
// caught.
#include <zvenv/CTqIni.h>
#include <zvenv/platform/CStringArray.h>
#include <zvenv/platform/Profile.h>
#include <zvenv/platform/Text.h>

#include "FuzzInput.h"

#include <cstdlib>
#include <cwchar>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

using zvfuzz::Check;

namespace {

// Reaches the protected splitting and trimming helpers.
class IniProbe : public CTqIni {
public:
    using CTqIni::__StringSplit;
    using CTqIni::__TrimString;
    using CTqIni::CTqIni;
};

const wchar_t* const kDelimiters[] = {nullptr, L"",  L",",  L";",   L"::",        L"ab",
                                      L"aa",   L" ", L"\t", L",;,", L"\U0001F600"};

std::wstring Trimmed(std::wstring text)
{
    text.push_back(0);
    IniProbe::__TrimString(&text[0]);
    return std::wstring(text.c_str());
}

// The pieces the splitting must give when nothing is cut: the text between
// non-overlapping delimiters found left to right, trimmed if asked, empty
// pieces dropped.
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

// Walks a list the splitting produced, never past `used`.
std::vector<std::wstring> ListItems(const wchar_t* out, unsigned long used)
{
    std::vector<std::wstring> items;
    unsigned long at = 0;
    while (at < used && out[at]) {
        const wchar_t* item = out + at;
        const std::size_t length = wcsnlen(item, used - at);
        Check(at + length < used || (at + length == used && out[used] == 0), "item runs past the list");
        items.emplace_back(item, length);
        at += static_cast<unsigned long>(length) + 1;
    }
    return items;
}

void CheckSplit(zvfuzz::FuzzInput& in, const std::wstring& text)
{
    const wchar_t* delimiter = in.Pick(kDelimiters);
    const int trim = in.Flag();
    const std::vector<std::wstring> expected = ExpectedItems(text, delimiter, trim);

    // A room large enough for everything: the items come out whole. A room
    // of n characters is a buffer of n + 1, as every buffer form has it.
    const unsigned long full = static_cast<unsigned long>(text.size() + 2);
    std::unique_ptr<wchar_t[]> out(new wchar_t[full + 1]);
    const unsigned long used = IniProbe::__StringSplit(text.c_str(), out.get(), full, delimiter, trim);
    Check(used <= full, "split result beyond its room");
    Check(out[used] == 0, "split list does not end in a null");
    Check(ListItems(out.get(), used) == expected, "split items differ", text);

    // Any smaller room: nothing is written past it, the result stays inside,
    // and the list still ends (after the one item when nothing is split).
    const unsigned long room = in.Range(1, full);
    std::unique_ptr<wchar_t[]> small(new wchar_t[room + 1]);
    const unsigned long cut = IniProbe::__StringSplit(text.c_str(), small.get(), room, delimiter, trim);
    Check(cut <= room, "cut split result beyond its room");
    Check(small[cut] == 0, "cut split list does not end in a null");
    if (delimiter && !*delimiter && cut > 0)
        Check(small[cut + 1] == 0, "cut whole value is not ended as a list");
    const std::vector<std::wstring> cutItems = ListItems(small.get(), cut);
    Check(cutItems.size() <= expected.size(), "cut split gave more items");
    for (std::size_t i = 0; i < cutItems.size(); ++i)
        Check(expected[i].compare(0, cutItems[i].size(), cutItems[i]) == 0, "cut item is no prefix of its item");
}

const std::wstring& FilePath()
{
    static const std::wstring path = [] {
        const std::string file = zvfuzz::ScratchFolder() + "/arrays.ini";
        return std::wstring(file.begin(), file.end());
    }();
    return path;
}

int HexValue(wchar_t c)
{
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    return -1;
}

void CheckDataBlocks(zvfuzz::FuzzInput& in, const IniProbe& ini, const std::wstring& value)
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

    // A point takes the first 8 bytes, a rectangle the first 16; a shorter
    // block gives the default.
    const POINT defPoint{-7, 7};
    const POINT point = ini.GetPoint(L"s", L"v", defPoint);
    if (bytes.size() >= 8) {
        unsigned char back[8];
        ini.WritePoint(L"s", L"p", point);
        Check(ini.GetDataBlock(L"s", L"p", back, 8, 0) == 8 && std::equal(back, back + 8, bytes.begin()),
              "point does not round-trip");
    } else {
        Check(point.x == defPoint.x && point.y == defPoint.y, "point of a short block is not the default");
    }
    const RECT defRect{1, 2, 3, 4};
    const RECT rect = ini.GetRect(L"s", L"v", defRect);
    if (bytes.size() >= 16) {
        unsigned char back[16];
        ini.WriteRect(L"s", L"r", rect);
        Check(ini.GetDataBlock(L"s", L"r", back, 16, 0) == 16 && std::equal(back, back + 16, bytes.begin()),
              "rectangle does not round-trip");
    } else {
        Check(rect.left == 1 && rect.top == 2 && rect.right == 3 && rect.bottom == 4,
              "rectangle of a short block is not the default");
    }

    // Whatever bytes are stored and appended read back in order.
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

void CheckArrays(zvfuzz::FuzzInput& in, const IniProbe& ini, const std::wstring& value)
{
    // What the file gives back is the trimmed, unquoted value; split that.
    const std::wstring stored = ini.GetString(L"s", L"v", L"").GetString();
    const wchar_t* delimiter = in.Pick(kDelimiters);
    const int trim = in.Flag();

    const unsigned long needed = ini.GetArray(L"s", L"v", nullptr, 0, delimiter, trim);
    const unsigned long size = in.Range(0, static_cast<std::uint32_t>(needed + 3));
    std::unique_ptr<wchar_t[]> buffer(new wchar_t[size + 1]);
    const unsigned long got = ini.GetArray(L"s", L"v", size == 0 ? nullptr : buffer.get(), size, delimiter, trim);
    if (size > 0) {
        Check(got <= size, "array result beyond its buffer");
        Check(buffer[got] == 0, "array list does not end in a null");
        ListItems(buffer.get(), got);
    }
    // A split list fits the very room the size query answered; a value taken
    // whole is cut to one character less than its room.
    const bool split = !delimiter || *delimiter;
    if (size > needed || (split && size == needed && size > 0)) {
        Check(got == needed, "array size query differs from the split");
        Check(ListItems(buffer.get(), got) == ExpectedItems(stored, delimiter, trim), "array items differ");
    }

    CStringArray items;
    items.Add(L"stale");
    ini.GetArray(L"s", L"v", &items, delimiter, 0);
    const std::vector<std::wstring> expected = ExpectedItems(stored, delimiter, true);
    Check(items.GetSize() == static_cast<int>(expected.size()), "array item count", stored);
    for (int i = 0; i < items.GetSize(); ++i)
        Check(items.GetAt(i).GetString() == expected[static_cast<std::size_t>(i)], "array item");
    (void)value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    zvfuzz::FuzzInput in(data, size);
    const std::string bytes = in.TakeDocument();
    const std::wstring text = zvfuzz::DecodeText(bytes);

    CheckSplit(in, text);

    // Through a file: a value is one line, so it is cut at the first line end.
    std::wstring value = text.substr(0, text.find_first_of(L"\r\n"));
    if (value.size() > 512)
        value.resize(512);
    const IniProbe ini(FilePath().c_str());
    zv::ClearProfileCache();
    ini.DeleteSection(L"s");
    if (!ini.WriteString(L"s", L"v", value.c_str()))
        zvfuzz::Fail("write failed");
    CheckArrays(in, ini, value);
    CheckDataBlocks(in, ini, ini.GetString(L"s", L"v", L"").GetString());
    return 0;
}

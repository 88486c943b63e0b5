#include <zvenv/CTqIni.h>
#include <zvenv/platform/Profile.h>
#include <zvenv/platform/Text.h>

#include "ini/IniFile.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

using zv::ini::PrepareFile;

namespace {

int HexDigit(wchar_t c)
{
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    return -1;
}

CString ToHex(const void* data, unsigned long size)
{
    static const wchar_t kDigits[] = L"0123456789ABCDEF";
    std::wstring text;
    text.reserve(size * 2);
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (unsigned long i = 0; i < size; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 15];
    }
    return CString(text);
}

// The little-endian bytes of 32-bit values, as the structures lie in memory
// on the platform the files come from.
void PutLong(unsigned char* out, LONG value)
{
    const auto bits = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<unsigned char>(bits >> (8 * i));
}

LONG GetLong(const unsigned char* in)
{
    std::uint32_t bits = 0;
    for (int i = 0; i < 4; ++i)
        bits |= static_cast<std::uint32_t>(in[i]) << (8 * i);
    return static_cast<LONG>(bits);
}

} // namespace

unsigned long CTqIni::GetDataBlock(const wchar_t* section, const wchar_t* key, void* buffer, unsigned long size,
                                   unsigned long offset) const
{
    wchar_t* value = __GetStringDynamic(section, key, nullptr);
    const std::size_t length = std::wcslen(value);
    const unsigned long available = static_cast<unsigned long>(length / 2);
    unsigned long result = 0;
    bool hex = true;
    for (std::size_t i = 0; i < length && hex; ++i)
        hex = HexDigit(value[i]) >= 0;
    if (available > offset && hex) {
        if (!buffer) {
            result = available - offset;
        } else {
            result = std::min(available - offset, size);
            auto* out = static_cast<unsigned char*>(buffer);
            for (unsigned long i = 0; i < result; ++i) {
                const wchar_t* pair = value + 2 * (offset + i);
                out[i] = static_cast<unsigned char>(HexDigit(pair[0]) * 16 + HexDigit(pair[1]));
            }
        }
    }
    delete[] value;
    return result;
}

int CTqIni::WriteDataBlock(const wchar_t* section, const wchar_t* key, const void* data, unsigned long size) const
{
    if (!data)
        return 0;
    return WriteString(section, key, ToHex(data, size));
}

int CTqIni::AppendDataBlock(const wchar_t* section, const wchar_t* key, const void* data, unsigned long size) const
{
    if (!data || !section || !key)
        return 0;
    const CString added = ToHex(data, size);
    return WriteString(section, key, GetString(section, key, L"") + added);
}

POINT CTqIni::GetPoint(const wchar_t* section, const wchar_t* key, POINT def) const
{
    unsigned char bytes[8];
    if (GetDataBlock(section, key, bytes, 8, 0) != 8)
        return def;
    return POINT{GetLong(bytes), GetLong(bytes + 4)};
}

int CTqIni::WritePoint(const wchar_t* section, const wchar_t* key, POINT point) const
{
    unsigned char bytes[8];
    PutLong(bytes, point.x);
    PutLong(bytes + 4, point.y);
    return WriteDataBlock(section, key, bytes, 8);
}

RECT CTqIni::GetRect(const wchar_t* section, const wchar_t* key, RECT def) const
{
    unsigned char bytes[16];
    if (GetDataBlock(section, key, bytes, 16, 0) != 16)
        return def;
    return RECT{GetLong(bytes), GetLong(bytes + 4), GetLong(bytes + 8), GetLong(bytes + 12)};
}

int CTqIni::WriteRect(const wchar_t* section, const wchar_t* key, RECT rect) const
{
    unsigned char bytes[16];
    PutLong(bytes, rect.left);
    PutLong(bytes + 4, rect.top);
    PutLong(bytes + 8, rect.right);
    PutLong(bytes + 12, rect.bottom);
    return WriteDataBlock(section, key, bytes, 16);
}

// The list goes into out[0] to out[room]: the items with their nulls take at
// most room characters (a piece is cut to what is left less its null, and
// once no character and null fit the rest is dropped), and the null that ends
// the list follows them. The result is the characters the items used, so a
// size query answers exactly the room a later call needs.
unsigned long CTqIni::__StringSplit(const wchar_t* text, wchar_t* out, unsigned long room, const wchar_t* delimiter,
                                    int trim)
{
    if (!text || !out || room == 0)
        return 0;
    out[0] = 0;
    if (!*text)
        return 0;
    const std::size_t textLength = std::wcslen(text);
    if (delimiter && !*delimiter) {
        const unsigned long count = static_cast<unsigned long>(std::min<std::size_t>(textLength, room - 1));
        std::wmemcpy(out, text, count);
        out[count] = 0;
        out[count + 1] = 0;
        return count;
    }
    const wchar_t* separator = delimiter ? delimiter : L",";
    const std::size_t separatorLength = std::wcslen(separator);
    unsigned long used = 0;
    const wchar_t* start = text;
    while (used + 1 < room) {
        const wchar_t* found = std::wcsstr(start, separator);
        const wchar_t* pieceEnd = found ? found : text + textLength;
        wchar_t* piece = __StrDupEx(start, pieceEnd);
        if (trim)
            __TrimString(piece);
        const std::size_t length = std::min<std::size_t>(std::wcslen(piece), room - used - 1);
        if (length > 0) {
            std::wmemcpy(out + used, piece, length);
            out[used + length] = 0;
            used += static_cast<unsigned long>(length + 1);
        }
        delete[] piece;
        if (!found)
            break;
        start = found + separatorLength;
    }
    out[used] = 0;
    return used;
}

unsigned long CTqIni::GetArray(const wchar_t* section, const wchar_t* key, wchar_t* buffer, unsigned long size,
                               const wchar_t* delimiter, int trim) const
{
    if (buffer)
        buffer[0] = 0;
    if (!section || !key)
        return 0;
    wchar_t* value = __GetStringDynamic(section, key, nullptr);
    const std::size_t length = std::wcslen(value);
    unsigned long result = 0;
    if (length > 0) {
        if (buffer) {
            result = __StringSplit(value, buffer, size, delimiter, trim);
        } else {
            wchar_t* scratch = new wchar_t[length + 3];
            result = __StringSplit(value, scratch, static_cast<unsigned long>(length + 2), delimiter, trim);
            delete[] scratch;
        }
    }
    delete[] value;
    return result;
}

void CTqIni::GetArray(const wchar_t* section, const wchar_t* key, CStringArray* items, const wchar_t* delimiter,
                      int /*trim*/) const
{
    if (items)
        items->RemoveAll();
    if (!section || !key || !items)
        return;
    // The value is read once and split into a list of its own length.
    wchar_t* value = __GetStringDynamic(section, key, nullptr);
    const std::size_t length = std::wcslen(value);
    if (length > 0) {
        std::vector<wchar_t> list(length + 3);
        __StringSplit(value, list.data(), static_cast<unsigned long>(length + 2), delimiter, 1);
        ParseDNTString(list.data(), __SubStrAdd, items);
    }
    delete[] value;
}

CString CTqIni::GetArrayString(const CStringArray* items, int count, const wchar_t* delimiter) const
{
    if (!items)
        return CString();
    const int total = items->GetSize();
    if (count < 0 || count > total)
        count = total;
    const wchar_t* separator = delimiter && *delimiter ? delimiter : L",";
    CString text;
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            text += separator;
        text += items->GetAt(i);
    }
    return text;
}

int CTqIni::WriteArray(const wchar_t* section, const wchar_t* key, const CStringArray* items, int count,
                       const wchar_t* delimiter) const
{
    if (!items)
        return 0;
    return WriteString(section, key, GetArrayString(items, count, delimiter));
}

int CTqIni::CopyKey(const wchar_t* srcSection, const wchar_t* srcKey, const wchar_t* dstSection, const wchar_t* dstKey,
                    int failIfExists) const
{
    if (!srcSection || !srcKey || !dstSection || !dstKey)
        return 0;
    if (zv::text::EqualNoCase(srcSection, dstSection) && zv::text::EqualNoCase(srcKey, dstKey))
        return 0;
    if (!IsKeyExist(srcSection, srcKey))
        return 0;
    if (failIfExists && IsKeyExist(dstSection, dstKey))
        return 0;
    return WriteString(dstSection, dstKey, GetString(srcSection, srcKey, L""));
}

int CTqIni::MoveKey(const wchar_t* srcSection, const wchar_t* srcKey, const wchar_t* dstSection, const wchar_t* dstKey,
                    int failIfExists) const
{
    return CopyKey(srcSection, srcKey, dstSection, dstKey, failIfExists) && DeleteKey(srcSection, srcKey) ? 1 : 0;
}

int CTqIni::CopySection(const wchar_t* srcSection, const wchar_t* dstSection, int failIfExists) const
{
    if (!srcSection || !dstSection || zv::text::EqualNoCase(srcSection, dstSection))
        return 0;
    if (!IsSectionExist(srcSection))
        return 0;
    if (failIfExists && IsSectionExist(dstSection))
        return 0;
    DeleteSection(dstSection);
    const auto lines = zv::ini::ListItems(zv::ProfileSectionLines(m_pszPathName, srcSection));
    return zv::ProfileWriteSection(m_pszPathName, dstSection, lines) ? 1 : 0;
}

int CTqIni::MoveSection(const wchar_t* srcSection, const wchar_t* dstSection, int failIfExists) const
{
    return CopySection(srcSection, dstSection, failIfExists) && DeleteSection(srcSection) ? 1 : 0;
}

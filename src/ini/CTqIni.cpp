#include <zvenv/CTqIni.h>
#include <zvenv/platform/CRuntime.h>
#include <zvenv/platform/Os.h>
#include <zvenv/platform/Profile.h>
#include <zvenv/platform/Text.h>

#include "ini/IniFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

using zv::ini::PrepareFile;

namespace {

// Default of IsKeyExist: a text no real value holds.
constexpr const wchar_t* kMissingMarker = L"{63788286-AE30-4D6B-95DF-3B451C1C79F9}";
constexpr DWORD kNumberChars = 64;

wchar_t* Duplicate(const wchar_t* text)
{
    const std::size_t length = text ? std::wcslen(text) : 0;
    wchar_t* copy = new wchar_t[length + 1];
    if (length)
        std::wmemcpy(copy, text, length);
    copy[length] = 0;
    return copy;
}

bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
}

// The part of a value that number readings look at, as the fixed buffer of
// the platform's read gives it.
void NumberPart(const wchar_t* text, wchar_t (&out)[kNumberChars + 1])
{
    std::size_t n = 0;
    for (; n < kNumberChars && text[n]; ++n)
        out[n] = text[n];
    out[n] = 0;
}

struct KeyNameContext {
    wchar_t* out;
    unsigned long room;
    unsigned long count;
};

wchar_t* Copy(const std::wstring& text)
{
    wchar_t* copy = new wchar_t[text.size() + 1];
    std::wmemcpy(copy, text.data(), text.size());
    copy[text.size()] = 0;
    return copy;
}

} // namespace

// The items of a list as a walk of its double-null form finds them: an item
// holding a null character is two items there, and an empty one ends the
// list. Lists are asked for whole, in one call that knows their size.
std::vector<std::wstring> zv::ini::ListItems(std::vector<std::wstring> items)
{
    std::size_t clean = 0;
    while (clean < items.size() && !items[clean].empty() && items[clean].find(L'\0') == std::wstring::npos)
        ++clean;
    if (clean == items.size())
        return items;
    std::vector<std::wstring> walked(items.begin(), items.begin() + static_cast<std::ptrdiff_t>(clean));
    for (std::size_t i = clean; i < items.size(); ++i) {
        std::size_t start = 0;
        for (;;) {
            const std::size_t end = items[i].find(L'\0', start);
            const std::size_t stop = end == std::wstring::npos ? items[i].size() : end;
            if (stop == start)
                return walked;
            walked.push_back(items[i].substr(start, stop - start));
            if (end == std::wstring::npos)
                break;
            start = end + 1;
        }
    }
    return walked;
}

namespace {

// The room a list needs: every item with its null, and two nulls more, as
// the size queries of the list operations answer.
unsigned long ListRoom(const std::vector<std::wstring>& items)
{
    std::size_t room = 2;
    for (const std::wstring& item : items)
        room += item.size() + 1;
    return static_cast<unsigned long>(room);
}

void AddAll(const std::vector<std::wstring>& items, CStringArray& array)
{
    for (const std::wstring& item : items)
        array.Add(CString(item));
}

} // namespace

CTqIni::CTqIni() : m_pszPathName(nullptr) {}

CTqIni::CTqIni(const wchar_t* pathName) : m_pszPathName(pathName ? Duplicate(pathName) : nullptr) {}

CTqIni::CTqIni(const CTqIni& other) : m_pszPathName(other.m_pszPathName ? Duplicate(other.m_pszPathName) : nullptr) {}

CTqIni& CTqIni::operator=(const CTqIni& other)
{
    if (this != &other) {
        wchar_t* copy = other.m_pszPathName ? Duplicate(other.m_pszPathName) : nullptr;
        delete[] m_pszPathName;
        m_pszPathName = copy;
    }
    return *this;
}

CTqIni::~CTqIni()
{
    delete[] m_pszPathName;
}

void CTqIni::SetPathName(const wchar_t* pathName)
{
    if (pathName) {
        wchar_t* copy = Duplicate(pathName);
        delete[] m_pszPathName;
        m_pszPathName = copy;
    } else if (m_pszPathName) {
        m_pszPathName[0] = 0;
    }
}

CString CTqIni::GetPathName() const
{
    return CString(m_pszPathName ? m_pszPathName : L"");
}

unsigned long CTqIni::GetPathName(wchar_t* buffer, unsigned long length) const
{
    if (!buffer)
        return 0;
    const wchar_t* path = m_pszPathName ? m_pszPathName : L"";
    const std::size_t count = std::min<std::size_t>(std::wcslen(path), length);
    std::wmemcpy(buffer, path, count);
    buffer[count] = 0;
    return static_cast<unsigned long>(count);
}

void zv::ini::PrepareFile(const wchar_t* path)
{
    if (!path || !*path || zv::os::FileExists(path) || zv::os::FolderExists(path))
        return;
    zv::os::CreateNewFile(path, "\xFF\xFE", 2);
}

// A value of any length is read in one call into a buffer of its size.
wchar_t* CTqIni::__GetStringDynamic(const wchar_t* section, const wchar_t* key, const wchar_t* def) const
{
    if (!section || !key)
        return Duplicate(def);
    std::wstring value;
    zv::ProfileGetString(m_pszPathName, section, key, def ? def : L"", value);
    return Copy(value);
}

CString CTqIni::GetString(const wchar_t* section, const wchar_t* key, const wchar_t* def) const
{
    if (!section || !key)
        return CString(def);
    std::wstring value;
    zv::ProfileGetString(m_pszPathName, section, key, def ? def : L"", value);
    return CString(std::move(value));
}

unsigned long CTqIni::GetString(const wchar_t* section, const wchar_t* key, wchar_t* buffer, unsigned long length,
                                const wchar_t* def) const
{
    if (buffer)
        buffer[0] = 0;
    std::wstring value;
    if (section && key)
        zv::ProfileGetString(m_pszPathName, section, key, def ? def : L"", value);
    else if (def)
        value = def;
    unsigned long count = static_cast<unsigned long>(value.size());
    if (buffer) {
        count = std::min(count, length);
        std::wmemcpy(buffer, value.data(), count);
        buffer[count] = 0;
    }
    return count;
}

int CTqIni::WriteString(const wchar_t* section, const wchar_t* key, const wchar_t* value) const
{
    if (!section || !key)
        return 0;
    PrepareFile(m_pszPathName);
    return zv::ProfileWriteString(section, key, value ? value : L"", m_pszPathName) ? 1 : 0;
}

int CTqIni::AppendString(const wchar_t* section, const wchar_t* key, const wchar_t* text) const
{
    if (!text || !section || !key)
        return 0;
    CString joined = GetString(section, key, L"");
    joined += text;
    return WriteString(section, key, joined);
}

int CTqIni::GetInt(const wchar_t* section, const wchar_t* key, int def, int base) const
{
    return static_cast<int>(GetUInt(section, key, static_cast<unsigned int>(def), base));
}

unsigned int CTqIni::GetUInt(const wchar_t* section, const wchar_t* key, unsigned int def, int base) const
{
    if (!section || !key)
        return def;
    wchar_t value[kNumberChars + 1];
    zv::ProfileGetString(section, key, L"", value, kNumberChars + 1, m_pszPathName);
    return zv::ini::UIntFromText(value, def, base);
}

unsigned int zv::ini::UIntFromText(const wchar_t* text, unsigned int def, int base)
{
    if (!text || !text[0])
        return def;
    wchar_t value[kNumberChars + 1];
    NumberPart(text, value);
    return zv::crt::wcstoul(value, base == 2 || base == 8 || base == 16 ? base : 10);
}

double zv::ini::DoubleFromText(const wchar_t* text, double def)
{
    if (!text || !text[0])
        return def;
    wchar_t value[kNumberChars + 1];
    NumberPart(text, value);
    return std::wcstod(value, nullptr);
}

int CTqIni::WriteInt(const wchar_t* section, const wchar_t* key, int value, int base) const
{
    wchar_t text[72];
    __IntToString(value, text, base);
    return WriteString(section, key, text);
}

int CTqIni::WriteUInt(const wchar_t* section, const wchar_t* key, unsigned int value, int base) const
{
    wchar_t text[72];
    __UIntToString(value, text, base);
    return WriteString(section, key, text);
}

int CTqIni::IncreaseInt(const wchar_t* section, const wchar_t* key, int delta, int base) const
{
    const unsigned int sum =
        static_cast<unsigned int>(GetInt(section, key, 0, base)) + static_cast<unsigned int>(delta);
    return WriteInt(section, key, static_cast<int>(sum), base);
}

int CTqIni::IncreaseUInt(const wchar_t* section, const wchar_t* key, unsigned int delta, int base) const
{
    return WriteUInt(section, key, static_cast<unsigned int>(GetInt(section, key, 0, base)) + delta, base);
}

double CTqIni::GetDouble(const wchar_t* section, const wchar_t* key, double def) const
{
    if (!section || !key)
        return def;
    wchar_t value[kNumberChars + 1];
    zv::ProfileGetString(section, key, L"", value, kNumberChars + 1, m_pszPathName);
    return zv::ini::DoubleFromText(value, def);
}

int CTqIni::WriteDouble(const wchar_t* section, const wchar_t* key, double value, int precision) const
{
    CString text;
    if (precision <= 0) {
        text.Format(L"%f", value);
    } else {
        CString format;
        format.Format(L"%%.%df", precision);
        text.Format(format, value);
    }
    // The fixed-point text of a huge value does not fit the 129 characters
    // the platform's form allows; such a value is stored in exponent form,
    // which reads back to the same double, rather than cut.
    if (text.GetLength() > 128)
        text.Format(L"%.17g", value);
    return WriteString(section, key, text);
}

int CTqIni::IncreaseDouble(const wchar_t* section, const wchar_t* key, double delta, int precision) const
{
    return WriteDouble(section, key, GetDouble(section, key, 0.0) + delta, precision);
}

int CTqIni::StringToBool(const wchar_t* text, int def)
{
    if (!text || !*text)
        return def;
    if (zv::text::EqualNoCase(text, L"true") || zv::text::EqualNoCase(text, L"yes"))
        return 1;
    return zv::crt::wcstol(text, 10) != 0 ? 1 : 0;
}

int CTqIni::GetBool(const wchar_t* section, const wchar_t* key, int def) const
{
    if (!section || !key)
        return def;
    wchar_t value[kNumberChars + 1];
    zv::ProfileGetString(section, key, L"", value, kNumberChars + 1, m_pszPathName);
    return StringToBool(value, def);
}

int CTqIni::WriteBool(const wchar_t* section, const wchar_t* key, int value) const
{
    return WriteString(section, key, value ? L"1" : L"0");
}

int CTqIni::InvertBool(const wchar_t* section, const wchar_t* key) const
{
    return WriteBool(section, key, !GetBool(section, key, 0));
}

wchar_t CTqIni::GetChar(const wchar_t* section, const wchar_t* key, wchar_t def) const
{
    if (!section || !key)
        return def;
    wchar_t value[kNumberChars + 1];
    zv::ProfileGetString(section, key, L"", value, kNumberChars + 1, m_pszPathName);
    return value[0] ? value[0] : def;
}

int CTqIni::WriteChar(const wchar_t* section, const wchar_t* key, wchar_t ch) const
{
    const wchar_t text[2] = {ch, 0};
    return WriteString(section, key, text);
}

int CTqIni::IsKeyExist(const wchar_t* section, const wchar_t* key) const
{
    if (!section || !key)
        return 0;
    return GetString(section, key, kMissingMarker) == kMissingMarker ? 0 : 1;
}

int CTqIni::IsSectionExist(const wchar_t* section) const
{
    if (!section)
        return 0;
    for (const std::wstring& name : zv::ini::ListItems(zv::ProfileSectionNames(m_pszPathName)))
        if (!__SubStrCompare(name.c_str(), const_cast<wchar_t*>(section)))
            return 1;
    return 0;
}

int CTqIni::DeleteKey(const wchar_t* section, const wchar_t* key) const
{
    if (!section || !key)
        return 0;
    PrepareFile(m_pszPathName);
    return zv::ProfileWriteString(section, key, nullptr, m_pszPathName) ? 1 : 0;
}

int CTqIni::DeleteSection(const wchar_t* section) const
{
    if (!section)
        return 0;
    PrepareFile(m_pszPathName);
    return zv::ProfileWriteString(section, nullptr, nullptr, m_pszPathName) ? 1 : 0;
}

unsigned long CTqIni::GetKeyLines(const wchar_t* section, wchar_t* buffer, unsigned long size) const
{
    if (buffer) {
        buffer[0] = 0;
        if (!section)
            return 0;
        return zv::ProfileGetSection(section, buffer, static_cast<DWORD>(size), m_pszPathName);
    }
    if (!section)
        return 0;
    return ListRoom(zv::ProfileSectionLines(m_pszPathName, section));
}

void CTqIni::GetKeyLines(const wchar_t* section, CStringArray* lines) const
{
    if (!lines)
        return;
    lines->RemoveAll();
    if (section)
        AddAll(zv::ini::ListItems(zv::ProfileSectionLines(m_pszPathName, section)), *lines);
}

int CTqIni::__KeyPairProc(const wchar_t* line, void* context)
{
    auto* names = static_cast<KeyNameContext*>(context);
    const wchar_t* equals = std::wcschr(line, L'=');
    if (!equals || equals == line)
        return 1;
    wchar_t* name = __StrDupEx(line, equals);
    __TrimString(name);
    const unsigned long length = static_cast<unsigned long>(std::wcslen(name));
    if (names->out) {
        if (names->room >= 2) {
            const unsigned long copied = std::min(length, names->room - 1);
            std::wmemcpy(names->out, name, copied);
            names->out[copied] = 0;
            names->out += copied + 1;
            names->room -= copied + 1;
            names->count += copied + 1;
        }
    } else {
        names->count += length + 1;
    }
    delete[] name;
    return 1;
}

unsigned long CTqIni::GetKeyNames(const wchar_t* section, wchar_t* buffer, unsigned long size) const
{
    if (buffer)
        buffer[0] = 0;
    if (!section)
        return 0;
    KeyNameContext context{buffer, buffer ? size : 0, 0};
    for (const std::wstring& line : zv::ini::ListItems(zv::ProfileSectionLines(m_pszPathName, section)))
        __KeyPairProc(line.c_str(), &context);
    if (buffer)
        buffer[context.count] = 0;
    return context.count;
}

void CTqIni::GetKeyNames(const wchar_t* section, CStringArray* names) const
{
    if (!names)
        return;
    names->RemoveAll();
    if (!section)
        return;
    for (const std::wstring& line : zv::ini::ListItems(zv::ProfileSectionLines(m_pszPathName, section))) {
        const std::size_t equals = line.find(L'=');
        if (equals == std::wstring::npos || equals == 0)
            continue;
        wchar_t* name = __StrDupEx(line.data(), line.data() + equals);
        __TrimString(name);
        // An empty name would end the list the names are walked in.
        if (!*name) {
            delete[] name;
            return;
        }
        names->Add(name);
        delete[] name;
    }
}

unsigned long CTqIni::GetSectionNames(wchar_t* buffer, unsigned long size) const
{
    if (buffer)
        return zv::ProfileGetSectionNames(buffer, static_cast<DWORD>(size), m_pszPathName);
    return ListRoom(zv::ProfileSectionNames(m_pszPathName));
}

void CTqIni::GetSectionNames(CStringArray* names) const
{
    if (!names)
        return;
    names->RemoveAll();
    AddAll(zv::ini::ListItems(zv::ProfileSectionNames(m_pszPathName)), *names);
}

int CTqIni::ParseDNTString(const wchar_t* list, int (*callback)(const wchar_t*, void*), void* context)
{
    if (!list || !callback)
        return 0;
    for (const wchar_t* item = list; *item; item += std::wcslen(item) + 1)
        if (!callback(item, context))
            return 0;
    return 1;
}

void CTqIni::__IntToString(int value, wchar_t* buffer, int base)
{
    if (__ValidateBase(base) != 10) {
        __UIntToString(static_cast<unsigned int>(value), buffer, base);
        return;
    }
    std::swprintf(buffer, 72, L"%d", value);
}

void CTqIni::__UIntToString(unsigned int value, wchar_t* buffer, int base)
{
    switch (__ValidateBase(base)) {
    case 2:
        __ToBinaryString(value, buffer, 64);
        break;
    case 8:
        std::swprintf(buffer, 72, L"%o", value);
        break;
    case 16:
        std::swprintf(buffer, 72, L"%X", value);
        break;
    default:
        std::swprintf(buffer, 72, L"%u", value);
        break;
    }
}

void CTqIni::__ToBinaryString(unsigned int value, wchar_t* buffer, unsigned long digits)
{
    if (digits == 0 || !buffer)
        return;
    wchar_t reversed[64];
    unsigned long count = 0;
    do {
        reversed[count++] = (value & 1u) ? L'1' : L'0';
        value >>= 1;
    } while (value && count < digits && count < 64);
    for (unsigned long i = 0; i < count; ++i)
        buffer[i] = reversed[count - 1 - i];
    buffer[count] = 0;
}

int CTqIni::__ValidateBase(int base)
{
    return base == 2 || base == 8 || base == 16 ? base : 10;
}

int CTqIni::__TrimString(wchar_t* text)
{
    if (!text)
        return 0;
    std::size_t length = std::wcslen(text);
    const std::size_t original = length;
    while (length > 0 && IsBlank(text[length - 1]))
        text[--length] = 0;
    std::size_t first = 0;
    while (first < length && IsBlank(text[first]))
        ++first;
    if (first > 0)
        std::wmemmove(text, text + first, length - first + 1);
    return length - first != original ? 1 : 0;
}

int CTqIni::__SubStrAdd(const wchar_t* item, void* items)
{
    if (!item || !items)
        return 0;
    static_cast<CStringArray*>(items)->Add(item);
    return 1;
}

int CTqIni::__SubStrCompare(const wchar_t* item, void* name)
{
    return zv::text::EqualNoCase(item, static_cast<const wchar_t*>(name)) ? 0 : 1;
}

wchar_t* CTqIni::__StrDupEx(const wchar_t* begin, const wchar_t* end)
{
    const std::size_t length = begin && end > begin ? static_cast<std::size_t>(end - begin) : 0;
    wchar_t* copy = new wchar_t[length + 1];
    if (length)
        std::wmemcpy(copy, begin, length);
    copy[length] = 0;
    return copy;
}

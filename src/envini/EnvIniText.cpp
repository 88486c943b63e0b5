#include "envini/EnvIniText.h"

#include <climits>
#include <cwchar>
#include <cwctype>

namespace zv::envini {

void SplitText(const CString& text, const CString& delimiter, int keepLastEmpty, CStringArray& items)
{
    int start = 0;
    if (!delimiter.IsEmpty()) {
        for (int found = text.Find(delimiter, start); found >= 0; found = text.Find(delimiter, start)) {
            items.Add(text.Mid(start, found - start));
            start = found + delimiter.GetLength();
        }
    }
    const CString rest = text.Mid(start);
    if (!rest.IsEmpty() || keepLastEmpty == 1)
        items.Add(rest);
}

bool IsSafeKeyPattern(const CString& pattern)
{
    int conversions = 0;
    const int length = pattern.GetLength();
    for (int i = 0; i < length; ++i) {
        if (pattern[i] != L'%')
            continue;
        if (i + 1 >= length)
            return false;
        const wchar_t next = pattern[i + 1];
        if (next == L'd')
            ++conversions;
        else if (next != L'%')
            return false;
        ++i;
    }
    return conversions <= 1;
}

CString FormatKey(const CString& pattern, int index)
{
    CString key;
    const int length = pattern.GetLength();
    for (int i = 0; i < length; ++i) {
        const wchar_t c = pattern[i];
        if (c == L'%' && i + 1 < length) {
            if (pattern[i + 1] == L'd')
                key += IntText(index);
            else
                key += pattern[i + 1];
            ++i;
        } else {
            key += c;
        }
    }
    return key;
}

CMapStringToString* FindValues(CTqEnvIni::SectionValues& sections, const CString& section)
{
    CMapStringToString* values = nullptr;
    return sections.Lookup(section, values) ? values : nullptr;
}

CMapStringToString& ValuesFor(CTqEnvIni::SectionValues& sections, const CString& section)
{
    CMapStringToString*& values = sections[section];
    if (!values)
        values = new CMapStringToString(10);
    return *values;
}

CTqEnvIni::ArrayMap& ArraysFor(CTqEnvIni::SectionArrays& sections, const CString& section)
{
    CTqEnvIni::ArrayMap*& arrays = sections[section];
    if (!arrays) {
        arrays = new CTqEnvIni::ArrayMap(10);
        arrays->InitHashTable(17);
    }
    return *arrays;
}

CStringArray& ArrayFor(CTqEnvIni::ArrayMap& arrays, const CString& name)
{
    CStringArray*& items = arrays[name];
    if (!items)
        items = new CStringArray;
    return *items;
}

void FreeArrays(CTqEnvIni::ArrayMap* arrays)
{
    if (!arrays)
        return;
    POSITION pos = arrays->GetStartPosition();
    while (pos) {
        CString name;
        CStringArray* items = nullptr;
        arrays->GetNextAssoc(pos, name, items);
        delete items;
    }
    arrays->RemoveAll();
    delete arrays;
}

} // namespace zv::envini

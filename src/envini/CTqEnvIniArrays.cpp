#include <zvenv/CTqEnvIni.h>

#include "envini/EnvIniText.h"
#include "envini/ReadRecord.h"

#include <zvenv/platform/CFile.h>

#include <cstdint>

using namespace zv::envini;

namespace {

// The most elements (and, for a tree array, elements and parts together) one
// read takes from the file: each lies on a line of its own, so a file of n
// bytes holds fewer than n of them. Every element a file really holds is
// read, while a damaged or hostile "count" (2147483647, or many elements
// naming one large sub-section) costs no more than the file's size.
std::uint64_t ReadBudget(const CString& path)
{
    CFile file;
    return file.Open(path, CFile::modeRead | CFile::shareDenyNone) ? file.GetLength() : 0;
}

} // namespace

void CTqEnvIni::GetArray(CString section, CString key, CStringArray& items, CString def, CString delimiter,
                         int keepLastEmpty)
{
    CSingleLock lock(&m_cs);
    items.RemoveAll();
    CMapStringToString& values = ValuesFor(m_mapSections, section);
    if (const CString* text = values.PLookup(key)) {
        SplitText(*text, delimiter, keepLastEmpty, items);
        return;
    }
    // The file's items come trimmed and without empty ones; the cache keeps
    // them joined again, so the cached text is the normalised form.
    const CString fileText = FileText(m_ini, section, key);
    if (fileText != ReadRecord::Missing())
        m_ini.GetArray(section, key, &items, delimiter, 1);
    const CString text = items.GetSize() == 0 ? def : m_ini.GetArrayString(&items, items.GetSize(), delimiter);
    m_pRead->Read(section, key, fileText, text);
    values.SetAt(key, text);
    if (items.GetSize() == 0)
        SplitText(def, delimiter, keepLastEmpty, items);
}

void CTqEnvIni::SetArray(CString section, CString key, CStringArray& items, CString delimiter, int writeThrough)
{
    CSingleLock lock(&m_cs);
    const CString text = m_ini.GetArrayString(&items, items.GetSize(), delimiter);
    ValuesFor(m_mapSections, section).SetAt(key, text);
    if (writeThrough != 0 && m_ini.WriteString(section, key, text))
        m_pRead->Holds(section, key, text, text);
    else
        m_pRead->Own(section, key);
    if (writeThrough == 0)
        m_bDirty = 1;
}

void CTqEnvIni::GetOrderArray(CString section, CStringArray& items, CString def, CString pattern, int first)
{
    CSingleLock lock(&m_cs);
    items.RemoveAll();
    CStringArray* array = nullptr;
    if (ArrayMap** cached = m_mapOrderArrays.PLookup(section))
        if (CStringArray** found = (*cached)->PLookup(section))
            array = *found;
    if (!array) {
        if (first < 0 || pattern.Find(L"%d") < 0 || !IsSafeKeyPattern(pattern))
            return;
        // Taken before the items: a change between the two makes Save see
        // the section as changed, never the other way round.
        m_pRead->RecordArray(ReadRecord::Kind::OrderArray, section,
                             ArrayLines(m_ini, ReadRecord::Kind::OrderArray, section));
        const int count = m_ini.GetInt(section, L"count", 0, 10);
        const std::uint64_t budget = count > 0 ? ReadBudget(m_ini.GetPathName()) : 0;
        array = &ArrayFor(ArraysFor(m_mapOrderArrays, section), section);
        array->RemoveAll();
        for (int i = 0; i < count && static_cast<std::uint64_t>(i) < budget; ++i)
            array->Add(m_ini.GetString(section, FormatKey(pattern, first + i), def));
    }
    // The latest call's first index and pattern are the ones Save uses; a
    // pattern that cannot be formatted safely does not replace the record.
    if (IsSafeKeyPattern(pattern)) {
        CString record;
        record.Format(L"%d^%s", first, pattern);
        m_mapOrderFormats.SetAt(section, record);
    }
    items.Copy(*array);
}

void CTqEnvIni::SetOrderArray(CString section, CStringArray& items, CString pattern, int first)
{
    CSingleLock lock(&m_cs);
    // A pattern with conversions other than one "%d" is refused: the
    // document is left as it was.
    if (!IsSafeKeyPattern(pattern))
        return;
    CStringArray& array = ArrayFor(ArraysFor(m_mapOrderArrays, section), section);
    CString record;
    record.Format(L"%d^%s", first, pattern);
    m_mapOrderFormats.SetAt(section, record);
    array.Copy(items);
    m_pRead->ForgetArray(ReadRecord::Kind::OrderArray, section);
    m_bDirty = 1;
}

void CTqEnvIni::GetTreeArray(CString section, CStringArray& items, CString prefix, CString delimiter)
{
    CSingleLock lock(&m_cs);
    items.RemoveAll();
    if (prefix.IsEmpty())
        prefix = section;
    // A section seen for the first time is recorded as read before its
    // items; one the document holds already keeps what it has.
    if (!m_mapTreeArrays.PLookup(section))
        m_pRead->RecordArray(ReadRecord::Kind::TreeArray, section,
                             ArrayLines(m_ini, ReadRecord::Kind::TreeArray, section));
    ArrayMap& arrays = ArraysFor(m_mapTreeArrays, section);
    if (!m_mapTreeDelimiters.PLookup(section))
        m_mapTreeDelimiters.SetAt(section, delimiter);
    if (CStringArray** cached = arrays.PLookup(prefix)) {
        items.Copy(**cached);
        return;
    }
    CStringArray& array = ArrayFor(arrays, prefix);
    // The sub-section names come from the file, not from the prefix.
    const int count = m_ini.GetInt(section, L"count", 0, 10);
    std::uint64_t budget = count > 0 ? ReadBudget(m_ini.GetPathName()) : 0;
    for (int i = 0; i < count && budget > 0; ++i) {
        --budget;
        const CString subSection = m_ini.GetString(section, IntText(i), L"");
        const int parts = m_ini.GetInt(subSection, L"count", 0, 10);
        CString element;
        for (int j = 0; j < parts && budget > 0; ++j) {
            --budget;
            if (j > 0)
                element += delimiter;
            element += m_ini.GetString(subSection, IntText(j), L"");
        }
        array.Add(element);
    }
    items.Copy(array);
}

void CTqEnvIni::SetTreeArray(CString section, CStringArray& items, CString prefix, CString delimiter)
{
    CSingleLock lock(&m_cs);
    if (prefix.IsEmpty())
        prefix = section;
    CStringArray& array = ArrayFor(ArraysFor(m_mapTreeArrays, section), prefix);
    m_mapTreeDelimiters.SetAt(section, delimiter);
    array.Copy(items);
    m_pRead->ForgetArray(ReadRecord::Kind::TreeArray, section);
    m_bDirty = 1;
}

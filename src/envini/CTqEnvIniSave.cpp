#include <zvenv/CTqEnvIni.h>
#include <zvenv/ZvUtil.h>
#include <zvenv/platform/Profile.h>

#include "envini/EnvIniText.h"
#include "ini/IniFile.h"

using namespace zv::envini;

namespace {

bool HasPlainValues(const CTqEnvIni::SectionValues& sections)
{
    POSITION pos = sections.GetStartPosition();
    while (pos) {
        CString section;
        CMapStringToString* values = nullptr;
        sections.GetNextAssoc(pos, section, values);
        if (!values->IsEmpty())
            return true;
    }
    return false;
}

} // namespace

void CTqEnvIni::Save()
{
    CSingleLock lock(&m_cs);
    const CString path = m_ini.GetPathName();
    const bool anything = HasPlainValues(m_mapSections) || !m_mapOrderArrays.IsEmpty() || !m_mapTreeArrays.IsEmpty();
    if (path.IsEmpty() || !anything) {
        m_bDirty = 0;
        return;
    }
    // The per-key writes below are applied to one parsed copy of the file
    // and the file is written once, when the batch closes. The first write
    // would create a missing file as a bare UTF-16LE mark; doing that before
    // the batch opens gives the batch the same starting point.
    zv::ini::PrepareFile(path);
    zv::ProfileBatch batch(path);

    POSITION pos = m_mapSections.GetStartPosition();
    while (pos) {
        CString section;
        CMapStringToString* values = nullptr;
        m_mapSections.GetNextAssoc(pos, section, values);
        POSITION inner = values->GetStartPosition();
        while (inner) {
            CString key, text;
            values->GetNextAssoc(inner, key, text);
            m_ini.WriteString(section, key, text);
        }
    }

    // Ordered arrays: the section is written afresh from its record, "first
    // index^key pattern".
    pos = m_mapOrderArrays.GetStartPosition();
    while (pos) {
        CString section;
        ArrayMap* arrays = nullptr;
        m_mapOrderArrays.GetNextAssoc(pos, section, arrays);
        CString record;
        m_mapOrderFormats.Lookup(section, record);
        const int caret = record.Find(L'^');
        const int first = zv::crt::wtoi(caret < 0 ? record : record.Left(caret));
        const CString pattern = caret < 0 ? CString() : record.Mid(caret + 1);
        m_ini.DeleteSection(section);
        POSITION inner = arrays->GetStartPosition();
        while (inner) {
            CString name;
            CStringArray* items = nullptr;
            arrays->GetNextAssoc(inner, name, items);
            m_ini.WriteInt(section, L"count", items->GetSize(), 10);
            for (int i = 0; i < items->GetSize(); ++i)
                m_ini.WriteString(name, FormatKey(pattern, first + i), items->GetAt(i));
        }
    }

    // Tree arrays: the section lists its sub-sections; each sub-section is
    // overwritten key by key, so parts beyond a new count stay in the file.
    pos = m_mapTreeArrays.GetStartPosition();
    while (pos) {
        CString section;
        ArrayMap* arrays = nullptr;
        m_mapTreeArrays.GetNextAssoc(pos, section, arrays);
        CString delimiter;
        m_mapTreeDelimiters.Lookup(section, delimiter);
        m_ini.DeleteSection(section);
        POSITION inner = arrays->GetStartPosition();
        while (inner) {
            CString prefix;
            CStringArray* items = nullptr;
            arrays->GetNextAssoc(inner, prefix, items);
            m_ini.WriteInt(section, L"count", items->GetSize(), 10);
            for (int i = 0; i < items->GetSize(); ++i) {
                CString subSection;
                subSection.Format(L"%s_%d", prefix, i);
                m_ini.WriteString(section, IntText(i), subSection);
                CStringArray parts;
                StringToArray(items->GetAt(i), parts, delimiter);
                m_ini.WriteInt(subSection, L"count", parts.GetSize(), 10);
                for (int j = 0; j < parts.GetSize(); ++j)
                    m_ini.WriteString(subSection, IntText(j), parts[j]);
            }
        }
    }
    m_bDirty = 0;
}

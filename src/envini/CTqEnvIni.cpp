#include <zvenv/CTqEnvIni.h>
#include <zvenv/platform/Profile.h>

#include "envini/EnvIniText.h"
#include "envini/ReadRecord.h"

using namespace zv::envini;

namespace {

void FreeSections(CTqEnvIni::SectionArrays& sections)
{
    POSITION pos = sections.GetStartPosition();
    while (pos) {
        CString section;
        CTqEnvIni::ArrayMap* arrays = nullptr;
        sections.GetNextAssoc(pos, section, arrays);
        FreeArrays(arrays);
    }
    sections.RemoveAll();
}

// Copies every section of source into target, each replacing the target's
// section of the same name; the sections' records, and what was read of
// them, go along.
void CopySections(const CTqEnvIni::SectionArrays& source, const CMapStringToString& sourceRecords,
                  CTqEnvIni::SectionArrays& target, CMapStringToString& targetRecords, ReadRecord& targetRead,
                  const ReadRecord& sourceRead, ReadRecord::Kind kind)
{
    POSITION pos = source.GetStartPosition();
    while (pos) {
        CString section;
        CTqEnvIni::ArrayMap* arrays = nullptr;
        source.GetNextAssoc(pos, section, arrays);
        CTqEnvIni::ArrayMap* old = nullptr;
        if (target.Lookup(section, old)) {
            FreeArrays(old);
            target.RemoveKey(section);
        }
        CTqEnvIni::ArrayMap& copy = ArraysFor(target, section);
        POSITION inner = arrays->GetStartPosition();
        while (inner) {
            CString name;
            CStringArray* items = nullptr;
            arrays->GetNextAssoc(inner, name, items);
            ArrayFor(copy, name).Copy(*items);
        }
        CString record;
        if (sourceRecords.Lookup(section, record))
            targetRecords.SetAt(section, record);
        targetRead.CopyArray(sourceRead, kind, section);
    }
}

// Every cached value and array becomes the document's own: what was read
// belongs to a file the document no longer stands for.
void OwnEverything(const CTqEnvIni::SectionValues& sections, ReadRecord& read)
{
    read.Clear();
    POSITION pos = sections.GetStartPosition();
    while (pos) {
        CString section;
        CMapStringToString* values = nullptr;
        sections.GetNextAssoc(pos, section, values);
        POSITION inner = values->GetStartPosition();
        while (inner) {
            CString key, text;
            values->GetNextAssoc(inner, key, text);
            read.Own(section, key);
        }
    }
}

} // namespace

CTqEnvIni::CTqEnvIni()
    : m_mapOrderArrays(10), m_mapTreeArrays(10), m_mapSections(10), m_cs(0), m_bDirty(0), m_pRead(new ReadRecord),
      m_pFile(new zv::ProfileSnapshot)
{
    m_mapOrderArrays.InitHashTable(17);
    m_mapTreeArrays.InitHashTable(17);
    m_mapSections.InitHashTable(17);
}

CTqEnvIni::~CTqEnvIni()
{
    Clear();
    delete m_pRead;
    delete m_pFile;
}

void CTqEnvIni::Clear()
{
    CSingleLock lock(&m_cs);
    POSITION pos = m_mapSections.GetStartPosition();
    while (pos) {
        CString section;
        CMapStringToString* values = nullptr;
        m_mapSections.GetNextAssoc(pos, section, values);
        delete values;
    }
    m_mapSections.RemoveAll();
    FreeSections(m_mapOrderArrays);
    m_mapOrderFormats.RemoveAll();
    FreeSections(m_mapTreeArrays);
    m_mapTreeDelimiters.RemoveAll();
    m_pRead->Clear();
    // The reads that refill the cache check the file first.
    m_pFile->Forget();
}

CTqEnvIni* CTqEnvIni::Clone()
{
    CTqEnvIni* copy = new CTqEnvIni;
    *copy = *this;
    return copy;
}

CTqEnvIni& CTqEnvIni::operator=(const CTqEnvIni& other)
{
    if (this == &other)
        return *this;
    if (m_ini.GetPathName() != other.m_ini.GetPathName())
        OwnEverything(m_mapSections, *m_pRead);
    POSITION pos = other.m_mapSections.GetStartPosition();
    while (pos) {
        CString section;
        CMapStringToString* values = nullptr;
        other.m_mapSections.GetNextAssoc(pos, section, values);
        CMapStringToString* old = nullptr;
        if (m_mapSections.Lookup(section, old)) {
            delete old;
            m_mapSections.RemoveKey(section);
        }
        CMapStringToString& copy = ValuesFor(m_mapSections, section);
        POSITION inner = values->GetStartPosition();
        while (inner) {
            CString key, text;
            values->GetNextAssoc(inner, key, text);
            copy.SetAt(key, text);
        }
        m_pRead->CopyValues(*other.m_pRead, section);
    }
    CopySections(other.m_mapOrderArrays, other.m_mapOrderFormats, m_mapOrderArrays, m_mapOrderFormats, *m_pRead,
                 *other.m_pRead, ReadRecord::Kind::OrderArray);
    CopySections(other.m_mapTreeArrays, other.m_mapTreeDelimiters, m_mapTreeArrays, m_mapTreeDelimiters, *m_pRead,
                 *other.m_pRead, ReadRecord::Kind::TreeArray);
    m_bDirty = other.m_bDirty;
    m_ini.SetPathName(other.m_ini.GetPathName());
    m_pFile->SetFile(m_ini.GetPathName());
    return *this;
}

// What was read came from the former file; bound to another one, every
// cached value is the document's own and Save writes them all there.
void CTqEnvIni::SetPathName(const wchar_t* path)
{
    if (m_ini.GetPathName() != CString(path ? path : L""))
        OwnEverything(m_mapSections, *m_pRead);
    m_ini.SetPathName(path);
    m_pFile->SetFile(m_ini.GetPathName());
}

CString CTqEnvIni::GetPath()
{
    return m_ini.GetPathName();
}

int CTqEnvIni::IsDirty()
{
    return m_bDirty;
}

void CTqEnvIni::SetDirty(int dirty)
{
    m_bDirty = dirty;
}

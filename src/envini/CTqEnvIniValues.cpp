#include <zvenv/CTqEnvIni.h>
#include <zvenv/ZvUtil.h>
#include <zvenv/platform/Profile.h>

#include "envini/EnvIniText.h"
#include "envini/ReadRecord.h"
#include "ini/IniFile.h"

using namespace zv::envini;

// Every getter answers from the cache when it can; on a miss it reads the
// file once and caches the text, also when it is the caller's default for a
// missing key. What the file held is recorded for Save.

namespace {

// What the file holds for a value not cached yet, through the document's
// hold on the file (a first read in quick succession of others skips the
// check of the file): its text, or Missing() for a missing key, and the text
// a read gives, which is the default as the profile functions give it for a
// missing key.
struct FileRead {
    CString fileText;
    CString text;
};

FileRead ReadFile(zv::ProfileSnapshot& file, const CString& section, const CString& key, const CString& def)
{
    std::wstring value;
    const bool found = file.GetString(section, key, def, value);
    CString text(std::move(value));
    return {found ? text : ReadRecord::Missing(), text};
}

// The text of a value not cached yet, recorded as read.
CString ReadMiss(zv::ProfileSnapshot& file, ReadRecord& read, const CString& section, const CString& key,
                 const CString& def)
{
    const FileRead got = ReadFile(file, section, key, def);
    read.Read(section, key, got.fileText, got.text);
    return got.text;
}

} // namespace

CString CTqEnvIni::GetString(CString section, CString key, CString def)
{
    CSingleLock lock(&m_cs);
    CMapStringToString& values = ValuesFor(m_mapSections, section);
    if (const CString* text = values.PLookup(key))
        return *text;
    const CString text = ReadMiss(*m_pFile, *m_pRead, section, key, def);
    values.SetAt(key, text);
    return text;
}

CString CTqEnvIni::GetStringEx(CString section, CString key, CString def)
{
    CSingleLock lock(&m_cs);
    return m_ini.GetString(section, key, def);
}

int CTqEnvIni::GetInt(CString section, CString key, int def)
{
    CSingleLock lock(&m_cs);
    CMapStringToString& values = ValuesFor(m_mapSections, section);
    if (const CString* text = values.PLookup(key))
        return zv::crt::wtoi(*text);
    const CString fileText = ReadFile(*m_pFile, section, key, CString()).fileText;
    const int value = fileText == ReadRecord::Missing()
                          ? def
                          : static_cast<int>(zv::ini::UIntFromText(fileText, static_cast<unsigned>(def), 10));
    const CString text = IntText(value);
    m_pRead->Read(section, key, fileText, text);
    values.SetAt(key, text);
    return value;
}

double CTqEnvIni::GetDouble(CString section, CString key, double def)
{
    CSingleLock lock(&m_cs);
    CMapStringToString& values = ValuesFor(m_mapSections, section);
    if (const CString* text = values.PLookup(key))
        return zv::crt::wtof(*text);
    // The first answer is the file's number itself; the cache keeps "%f".
    const CString fileText = ReadFile(*m_pFile, section, key, CString()).fileText;
    const double value = fileText == ReadRecord::Missing() ? def : zv::ini::DoubleFromText(fileText, def);
    const CString text = DoubleText(value);
    m_pRead->Read(section, key, fileText, text);
    values.SetAt(key, text);
    return value;
}

namespace {

// The cached text of a value kept in a utility-library text form.
CString CachedText(CTqEnvIni::SectionValues& sections, zv::ProfileSnapshot& file, ReadRecord& read,
                   const CString& section, const CString& key, const CString& defText)
{
    CMapStringToString& values = ValuesFor(sections, section);
    if (const CString* text = values.PLookup(key))
        return *text;
    const CString text = ReadMiss(file, read, section, key, defText);
    values.SetAt(key, text);
    return text;
}

} // namespace

CPoint CTqEnvIni::GetPoint(CString section, CString key, CPoint& def)
{
    CSingleLock lock(&m_cs);
    return StringToPoint(CachedText(m_mapSections, *m_pFile, *m_pRead, section, key, PointToString(def, L",")));
}

unsigned long CTqEnvIni::GetRGB(CString section, CString key, unsigned long def)
{
    CSingleLock lock(&m_cs);
    return StringToRGB(CachedText(m_mapSections, *m_pFile, *m_pRead, section, key, RGBToString(def, L",")));
}

CRect CTqEnvIni::GetRect(CString section, CString key, CRect& def)
{
    CSingleLock lock(&m_cs);
    return StringToRect(CachedText(m_mapSections, *m_pFile, *m_pRead, section, key, RectToString(def, L",")));
}

CSize CTqEnvIni::GetSize(CString section, CString key, CSize& def)
{
    CSingleLock lock(&m_cs);
    return StringToSize(CachedText(m_mapSections, *m_pFile, *m_pRead, section, key, SizeToString(def, L",")));
}

// Every setter caches the text form; without write-through the document
// becomes dirty, with it the one key goes to the file now and the flag stays.

void CTqEnvIni::SetString(CString section, CString key, CString value, int writeThrough)
{
    CSingleLock lock(&m_cs);
    ValuesFor(m_mapSections, section).SetAt(key, value);
    // A value written through is in the file as a saved one is.
    if (writeThrough != 0 && m_ini.WriteString(section, key, value))
        m_pRead->Holds(section, key, value, value);
    else
        m_pRead->Own(section, key);
    if (writeThrough == 0)
        m_bDirty = 1;
}

void CTqEnvIni::SetStringEx(CString section, CString key, CString value)
{
    CSingleLock lock(&m_cs);
    // The cache keeps its text, which Save writes back; a value only read
    // is now compared with what this document wrote, not with what it read.
    CMapStringToString* values = FindValues(m_mapSections, section);
    const CString* cached = values ? values->PLookup(key) : nullptr;
    if (m_ini.WriteString(section, key, value) && cached && !m_pRead->IsOwn(section, key))
        m_pRead->Holds(section, key, value, *cached);
}

void CTqEnvIni::SetInt(CString section, CString key, int value, int writeThrough)
{
    SetString(section, key, IntText(value), writeThrough);
}

void CTqEnvIni::SetDouble(CString section, CString key, double value, int writeThrough)
{
    SetString(section, key, DoubleText(value), writeThrough);
}

void CTqEnvIni::SetPoint(CString section, CString key, CPoint& value, int writeThrough)
{
    SetString(section, key, PointToString(value, L","), writeThrough);
}

void CTqEnvIni::SetRGB(CString section, CString key, unsigned long value, int writeThrough)
{
    SetString(section, key, RGBToString(value, L","), writeThrough);
}

void CTqEnvIni::SetRect(CString section, CString key, CRect& value, int writeThrough)
{
    SetString(section, key, RectToString(value, L","), writeThrough);
}

void CTqEnvIni::SetSize(CString section, CString key, CSize& value, int writeThrough)
{
    SetString(section, key, SizeToString(value, L","), writeThrough);
}

int CTqEnvIni::DeleteKey(const wchar_t* section, const wchar_t* key)
{
    if (!section || !key)
        return 0;
    CSingleLock lock(&m_cs);
    if (CMapStringToString* values = FindValues(m_mapSections, section)) {
        values->RemoveKey(key);
        m_pRead->Forget(section, key);
    } else if (m_mapOrderArrays.PLookup(section) || m_mapTreeArrays.PLookup(section)) {
        // Keys of array sections are not deleted one by one.
        return 1;
    }
    m_bDirty = 1;
    return m_ini.DeleteKey(section, key);
}

int CTqEnvIni::DeleteSection(const wchar_t* section)
{
    if (!section)
        return 0;
    CSingleLock lock(&m_cs);
    m_bDirty = 1;
    // Only the first kind of content found is dropped: plain, ordered, tree.
    if (CMapStringToString* values = FindValues(m_mapSections, section)) {
        delete values;
        m_mapSections.RemoveKey(section);
        m_pRead->ForgetValues(section);
        return m_ini.DeleteSection(section);
    }
    if (ArrayMap** arrays = m_mapOrderArrays.PLookup(section)) {
        FreeArrays(*arrays);
        m_mapOrderArrays.RemoveKey(section);
        m_mapOrderFormats.RemoveKey(section);
        m_pRead->ForgetArray(ReadRecord::Kind::OrderArray, section);
        return m_ini.DeleteSection(section);
    }
    if (ArrayMap** found = m_mapTreeArrays.PLookup(section)) {
        ArrayMap* arrays = *found;
        POSITION pos = arrays->GetStartPosition();
        while (pos) {
            CString prefix;
            CStringArray* items = nullptr;
            arrays->GetNextAssoc(pos, prefix, items);
            for (int i = 0; i < items->GetSize(); ++i) {
                CString subSection;
                subSection.Format(L"%s_%d", prefix, i);
                m_ini.DeleteSection(subSection);
            }
        }
        FreeArrays(arrays);
        m_mapTreeArrays.RemoveKey(section);
        m_mapTreeDelimiters.RemoveKey(section);
        m_pRead->ForgetArray(ReadRecord::Kind::TreeArray, section);
        return m_ini.DeleteSection(section);
    }
    return 1;
}

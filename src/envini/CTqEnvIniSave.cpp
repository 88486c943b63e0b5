#include <zvenv/CTqEnvIni.h>
#include <zvenv/ZvUtil.h>
#include <zvenv/platform/Profile.h>

#include "envini/EnvIniText.h"
#include "envini/ReadRecord.h"

#include <vector>

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

// What Save writes over the file, in one rule: what was set through the
// document, always; what the document only read, only where the file still
// holds what was read (a key that was missing, only where it still is).
// asRead is null for the document's own entries; inFile gives what the file
// holds now, read only when needed.
template <typename InFile> bool Writes(const CString* asRead, InFile inFile)
{
    return !asRead || *asRead == inFile();
}

// The writes of a save, as CTqIni makes them but straight into the open
// batch: CTqIni would first create a missing file as a bare mark and test
// for the file before every key, where the batch's one write makes it.
class BatchWrites {
public:
    explicit BatchWrites(zv::ProfileBatch& batch) : m_batch(batch) {}
    void String(const CString& section, const CString& key, const CString& value) const
    {
        m_batch.WriteString(section, key, value);
    }
    void Int(const CString& section, const CString& key, int value) const { String(section, key, IntText(value)); }
    void DeleteSection(const CString& section) const { m_batch.WriteString(section, nullptr, nullptr); }
    // What the batch's copy of the file holds for a value, or Missing().
    CString FileText(const CString& section, const CString& key) const
    {
        std::wstring value;
        return m_batch.GetString(section, key, nullptr, value) ? CString(std::move(value)) : ReadRecord::Missing();
    }

private:
    zv::ProfileBatch& m_batch;
};

// The entries of a save, in the order the maps visit them: whether each is
// written, and for written arrays the lines they left in the file.
struct SavePlan {
    std::vector<char> values;
    std::vector<char> orders;
    std::vector<char> trees;
    std::vector<CString> orderLines;
    std::vector<CString> treeLines;
    // Values only read that are written: once saved, they hold what is cached.
    std::vector<std::pair<CString, CString>> writtenAsRead;
};

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
    // and the file is written once. The batch holds the writers' lock from
    // its fresh read of the file to its write, so what the file holds is
    // compared and changed with no other writer in between. A missing file
    // is made by that one write, whole.
    zv::ProfileBatch batch(path);
    const BatchWrites write(batch);
    const ReadRecord& read = *m_pRead;
    SavePlan plan;

    // Every entry is weighed against the file as the batch found it, before
    // this save changes any of it.
    POSITION pos = m_mapSections.GetStartPosition();
    while (pos) {
        CString section;
        CMapStringToString* values = nullptr;
        m_mapSections.GetNextAssoc(pos, section, values);
        POSITION inner = values->GetStartPosition();
        while (inner) {
            CString key, text;
            values->GetNextAssoc(inner, key, text);
            const CString* asRead = read.AsRead(section, key, text);
            const bool writes = Writes(asRead, [&] { return write.FileText(section, key); });
            plan.values.push_back(writes);
            if (writes && asRead && asRead != &text)
                plan.writtenAsRead.emplace_back(section, key);
        }
    }
    auto weighArrays = [&](SectionArrays& arrays, ReadRecord::Kind kind, std::vector<char>& writes) {
        POSITION at = arrays.GetStartPosition();
        while (at) {
            CString section;
            ArrayMap* inner = nullptr;
            arrays.GetNextAssoc(at, section, inner);
            writes.push_back(Writes(read.FindArray(kind, section), [&] { return ArrayLines(m_ini, kind, section); }));
        }
    };
    weighArrays(m_mapOrderArrays, ReadRecord::Kind::OrderArray, plan.orders);
    weighArrays(m_mapTreeArrays, ReadRecord::Kind::TreeArray, plan.trees);

    std::size_t entry = 0;
    pos = m_mapSections.GetStartPosition();
    while (pos) {
        CString section;
        CMapStringToString* values = nullptr;
        m_mapSections.GetNextAssoc(pos, section, values);
        POSITION inner = values->GetStartPosition();
        while (inner) {
            CString key, text;
            values->GetNextAssoc(inner, key, text);
            if (plan.values[entry++])
                write.String(section, key, text);
        }
    }

    // Ordered arrays: the section is written afresh from its record, "first
    // index^key pattern".
    entry = 0;
    pos = m_mapOrderArrays.GetStartPosition();
    while (pos) {
        CString section;
        ArrayMap* arrays = nullptr;
        m_mapOrderArrays.GetNextAssoc(pos, section, arrays);
        if (!plan.orders[entry++])
            continue;
        CString record;
        m_mapOrderFormats.Lookup(section, record);
        const int caret = record.Find(L'^');
        const int first = zv::crt::wtoi(caret < 0 ? record : record.Left(caret));
        const CString pattern = caret < 0 ? CString() : record.Mid(caret + 1);
        write.DeleteSection(section);
        POSITION inner = arrays->GetStartPosition();
        while (inner) {
            CString name;
            CStringArray* items = nullptr;
            arrays->GetNextAssoc(inner, name, items);
            write.Int(section, L"count", items->GetSize());
            for (int i = 0; i < items->GetSize(); ++i)
                write.String(name, FormatKey(pattern, first + i), items->GetAt(i));
        }
    }

    // Tree arrays: the section lists its sub-sections; each sub-section is
    // overwritten key by key, so parts beyond a new count stay in the file.
    entry = 0;
    pos = m_mapTreeArrays.GetStartPosition();
    while (pos) {
        CString section;
        ArrayMap* arrays = nullptr;
        m_mapTreeArrays.GetNextAssoc(pos, section, arrays);
        if (!plan.trees[entry++])
            continue;
        CString delimiter;
        m_mapTreeDelimiters.Lookup(section, delimiter);
        write.DeleteSection(section);
        POSITION inner = arrays->GetStartPosition();
        while (inner) {
            CString prefix;
            CStringArray* items = nullptr;
            arrays->GetNextAssoc(inner, prefix, items);
            write.Int(section, L"count", items->GetSize());
            for (int i = 0; i < items->GetSize(); ++i) {
                CString subSection;
                subSection.Format(L"%s_%d", prefix, i);
                write.String(section, IntText(i), subSection);
                CStringArray parts;
                StringToArray(items->GetAt(i), parts, delimiter);
                write.Int(subSection, L"count", parts.GetSize());
                for (int j = 0; j < parts.GetSize(); ++j)
                    write.String(subSection, IntText(j), parts[j]);
            }
        }
    }

    // The arrays as written are what the next save compares with.
    auto linesWritten = [&](SectionArrays& arrays, ReadRecord::Kind kind, const std::vector<char>& writes,
                            std::vector<CString>& lines) {
        std::size_t at = 0;
        POSITION p = arrays.GetStartPosition();
        while (p) {
            CString section;
            ArrayMap* inner = nullptr;
            arrays.GetNextAssoc(p, section, inner);
            lines.push_back(writes[at++] ? ArrayLines(m_ini, kind, section) : CString());
        }
    };
    linesWritten(m_mapOrderArrays, ReadRecord::Kind::OrderArray, plan.orders, plan.orderLines);
    linesWritten(m_mapTreeArrays, ReadRecord::Kind::TreeArray, plan.trees, plan.treeLines);

    // A save that did not reach the disk leaves everything as it was: the
    // document stays dirty and the system's reason is the last error.
    if (!batch.Flush())
        return;
    m_pRead->Saved(plan.writtenAsRead);
    auto recordWritten = [&](SectionArrays& arrays, ReadRecord::Kind kind, const std::vector<CString>& lines,
                             const std::vector<char>& writes) {
        std::size_t at = 0;
        POSITION p = arrays.GetStartPosition();
        while (p) {
            CString section;
            ArrayMap* inner = nullptr;
            arrays.GetNextAssoc(p, section, inner);
            if (writes[at])
                m_pRead->RecordArray(kind, section, lines[at]);
            ++at;
        }
    };
    recordWritten(m_mapOrderArrays, ReadRecord::Kind::OrderArray, plan.orderLines, plan.orders);
    recordWritten(m_mapTreeArrays, ReadRecord::Kind::TreeArray, plan.treeLines, plan.trees);
    m_bDirty = 0;
}

#include <zvenv/CTqEnvMgr.h>

#include <zvenv/ZvUtil.h>
#include <zvenv/platform/Os.h>
#include <zvenv/platform/Text.h>

namespace {

// Wildcard match of a file-name pattern ("*" any run, "?" one character),
// without regard to case (Unicode case folding, whatever the process locale),
// as the platform's file search matches names.
bool MatchesPattern(const wchar_t* pattern, const wchar_t* name)
{
    const wchar_t* star = nullptr;
    const wchar_t* resume = nullptr;
    while (*name) {
        if (*pattern == L'*') {
            star = pattern++;
            resume = name;
        } else if (*pattern == L'?' || (*pattern && zv::text::FoldCase(*pattern) == zv::text::FoldCase(*name))) {
            ++pattern;
            ++name;
        } else if (star) {
            pattern = star + 1;
            name = ++resume;
        } else {
            return false;
        }
    }
    while (*pattern == L'*')
        ++pattern;
    return *pattern == 0;
}

// A folder search also sees "." and "..", so a pattern that matches them
// finds something in every folder, an empty one included.
bool FolderHolds(const CString& folder, const CString& pattern)
{
    if (MatchesPattern(pattern, L".") || MatchesPattern(pattern, L".."))
        return true;
    for (const zv::os::FolderEntry& entry : zv::os::ListFolder(folder)) {
        if (MatchesPattern(pattern, entry.name))
            return true;
    }
    return false;
}

CString FormatLocalTime(std::int64_t time)
{
    zv::os::LocalTime local{};
    if (!zv::os::ToLocalTime(time, local))
        local = zv::os::LocalTime{0, 0, 0, -1, -1, -1};
    CString text;
    text.Format(L"%02d/%02d/%04d %02d:%02d:%02d", local.day, local.month, local.year, local.hour, local.minute,
                local.second);
    return text;
}

} // namespace

int CTqEnvMgr::GetOtherUserInfo(CStringArray& ids, CStringArray& dates, CString fileName)
{
    const CString pattern = L"*" + fileName;
    const CString userFolder = GetRuntimePath(const_cast<wchar_t*>(L"user"));
    for (const zv::os::FolderEntry& entry : zv::os::ListFolder(userFolder)) {
        if (!entry.isFolder)
            continue;
        if (!FolderHolds(userFolder + entry.name, pattern))
            continue;
        if (entry.name.Compare(m_strUserId) == 0)
            continue;
        CString plain;
        TQ_UT_DecryptSD(entry.name, plain);
        ids.Add(plain);
        dates.Add(FormatLocalTime(entry.lastWriteTime));
    }
    return ids.GetSize() > 0 && ids.GetSize() == dates.GetSize() ? 1 : 0;
}

// name is a file of the system folder, or a full path when fullPath is set.
static CString MemIniPath(CTqEnvMgr& mgr, const wchar_t* name, unsigned int fullPath)
{
    if (fullPath)
        return name ? name : L"";
    return mgr.GetSystemPath(L"") + (name ? name : L"");
}

void* CTqEnvMgr::GetMemIni(const wchar_t* name, unsigned int fullPath)
{
    return TQ_UT_ENV_GetMemIni(MemIniPath(*this, name, fullPath));
}

int CTqEnvMgr::ReadMemIni(const wchar_t* name, unsigned int fullPath)
{
    return TQ_UT_ENV_ReadIniFile(MemIniPath(*this, name, fullPath));
}

#include "util/CPath.h"

#include <zvenv/ZvUtil.h>
#include <zvenv/platform/Os.h>

#include <cwchar>

namespace {

bool IsSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

// The arguments start at the first blank outside double quotes.
const wchar_t* FindArgs(const wchar_t* text)
{
    bool quoted = false;
    for (const wchar_t* p = text; *p; ++p) {
        if (*p == L'"')
            quoted = !quoted;
        else if (*p == L' ' && !quoted)
            return p + 1;
    }
    return nullptr;
}

void RemoveArgs(wchar_t* text)
{
    const wchar_t* args = FindArgs(text);
    if (!args)
        return;
    wchar_t* end = const_cast<wchar_t*>(args) - 1;
    while (end > text && end[-1] == L' ')
        --end;
    *end = 0;
}

// Removes a quote at the start together with one at the end. A lone quote
// is both, so nothing is left of it, as the platform's unquoting has it.
void UnquoteSpaces(wchar_t* text)
{
    const std::size_t length = std::wcslen(text);
    if (length == 0 || text[0] != L'"' || text[length - 1] != L'"')
        return;
    const std::size_t inner = length >= 2 ? length - 2 : 0;
    std::wmemmove(text, text + 1, inner);
    text[inner] = 0;
}

} // namespace

CPath::CPath(const wchar_t* path, int asFolder, int withArgs)
{
    Parse(path, asFolder, withArgs);
}

void CPath::Parse(const wchar_t* path, int asFolder, int withArgs)
{
    m_path = path ? path : L"";
    m_drive.Empty();
    m_folder.Empty();
    m_fileName.Empty();
    m_extension.Empty();
    m_arguments.Empty();
    m_folders.RemoveAll();
    m_argumentList.clear();
    m_relative = 0;

    wchar_t buffer[kMaxPath];
    STRCPY(buffer, kMaxPath, m_path);
    if (withArgs) {
        if (const wchar_t* args = FindArgs(buffer))
            m_arguments = args;
        RemoveArgs(buffer);
    }
    UnquoteSpaces(buffer);
    if (!buffer[0])
        return;

    wchar_t drive[ZV_MAX_DRIVE];
    wchar_t folder[ZV_MAX_DIR];
    wchar_t name[ZV_MAX_FNAME];
    wchar_t extension[ZV_MAX_EXT];
    SPLITPATH(buffer, drive, folder, name, extension);

    m_drive = drive;
    m_folder = folder;
    m_folder.Replace(L'\\', zv::os::kSeparator);
    m_folder.Replace(L'/', zv::os::kSeparator);
    m_relative = !m_folder.IsEmpty() && m_folder[0] != zv::os::kSeparator;

    if (asFolder) {
        m_folder = AddBackslash(m_folder);
        m_folder += name;
        m_folder = AddBackslash(m_folder);
        return;
    }
    m_fileName = name;
    if (!m_fileName.IsEmpty()) {
        m_extension = extension;
        m_extension.Remove(L'.');
    }
}

CString CPath::GetDir(int index)
{
    if (index < 0)
        return m_folder;
    if (m_folders.GetSize() == 0 && !m_folder.IsEmpty())
        ListFolders();
    return m_folders.GetAt(index);
}

void CPath::ListFolders()
{
    // A path that starts with two separators is a network path whose first
    // name is the server; any other rooted path starts after its separator.
    int start = 0;
    if (!m_relative)
        start = (m_folder.GetLength() > 1 && IsSeparator(m_folder[1])) ? 2 : 1;
    for (int i = start; i < m_folder.GetLength(); ++i) {
        if (m_folder[i] == zv::os::kSeparator) {
            m_folders.Add(m_folder.Mid(start, i - start));
            start = i + 1;
        }
    }
}

CString CPath::GetExtension() const
{
    if (m_extension.IsEmpty())
        return CString();
    return CString(L".") + m_extension;
}

CString CPath::GetFileName() const
{
    return m_fileName + GetExtension();
}

CString CPath::AddBackslash(const CString& text, int slash)
{
    if (text.IsEmpty() || IsSeparator(text[text.GetLength() - 1]))
        return text;
    return text + (slash ? L'/' : zv::os::kSeparator);
}

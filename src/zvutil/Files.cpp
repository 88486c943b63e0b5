#include <zvenv/ZvUtil.h>
#include <zvenv/platform/Os.h>

#include <cwchar>

BOOL FILEEXISTS(LPCWSTR path)
{
    return path && *path && zv::os::FileExists(path) ? TRUE : FALSE;
}

BOOL DIRECTORYEXISTS(LPCWSTR path)
{
    return path && *path && zv::os::FolderExists(path) ? TRUE : FALSE;
}

BOOL CREATEDIRECTORYS(LPCWSTR path)
{
    if (!path || !*path)
        return FALSE;
    return zv::os::CreateFolders(path) == 0 ? TRUE : FALSE;
}

wchar_t* STRCPY(wchar_t* destination, std::size_t capacity, LPCWSTR source)
{
    if (!destination || capacity == 0)
        return destination;
    std::size_t i = 0;
    if (source)
        for (; i + 1 < capacity && source[i]; ++i)
            destination[i] = source[i];
    destination[i] = 0;
    return destination;
}

namespace {

bool IsSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

void CopyPart(wchar_t* to, std::size_t capacity, const wchar_t* from, std::size_t length)
{
    if (!to)
        return;
    if (length >= capacity)
        length = capacity - 1;
    std::wmemcpy(to, from, length);
    to[length] = 0;
}

} // namespace

void SPLITPATH(LPCWSTR path, wchar_t* drive, wchar_t* folder, wchar_t* name, wchar_t* extension)
{
    if (!path)
        path = L"";
    const wchar_t* p = path;
    std::size_t driveLength = 0;
    if (p[0] && p[1] == L':')
        driveLength = 2;
    CopyPart(drive, ZV_MAX_DRIVE, p, driveLength);
    p += driveLength;

    // The folder runs to the last separator, the extension from the last dot after it.
    const wchar_t* lastSeparator = nullptr;
    const wchar_t* lastDot = nullptr;
    for (const wchar_t* q = p; *q; ++q) {
        if (IsSeparator(*q))
            lastSeparator = q;
        else if (*q == L'.')
            lastDot = q;
    }
    const wchar_t* nameStart = lastSeparator ? lastSeparator + 1 : p;
    CopyPart(folder, ZV_MAX_DIR, p, static_cast<std::size_t>(nameStart - p));
    if (lastDot && lastDot < nameStart)
        lastDot = nullptr;
    const wchar_t* end = nameStart + std::wcslen(nameStart);
    const wchar_t* nameEnd = lastDot ? lastDot : end;
    CopyPart(name, ZV_MAX_FNAME, nameStart, static_cast<std::size_t>(nameEnd - nameStart));
    CopyPart(extension, ZV_MAX_EXT, nameEnd, static_cast<std::size_t>(end - nameEnd));
}

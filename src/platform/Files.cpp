// The parts of files and their errors that every system shares; the
// backends give the rest over their own handles.
#include <zvenv/platform/CFile.h>
#include <zvenv/platform/Os.h>

CFileException::CFileException(int cause, long osError, const wchar_t* fileName)
    : m_cause(cause), m_lOsError(osError), m_strFileName(fileName)
{
}

CFileException::~CFileException() = default;

CFile::CFile() : m_hFile(INVALID_HANDLE_VALUE) {}

CFile::~CFile()
{
    Abort();
}

CString CFile::GetFileName() const
{
    const int cut = m_strFileName.ReverseFind(zv::os::kSeparator);
    return m_strFileName.Mid(cut + 1);
}

CString CFile::GetFilePath() const
{
    return m_strFileName;
}

namespace zv::os {

ReadResult ReadRegularFile(LPCWSTR path, std::string& bytes)
{
    bytes.clear();
    HeldFile file;
    const ReadResult opened = file.Open(path);
    if (opened != ReadResult::Read)
        return opened;
    return file.ReadAll(bytes) ? ReadResult::Read : ReadResult::Unreadable;
}

} // namespace zv::os

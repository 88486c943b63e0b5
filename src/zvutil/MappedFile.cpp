#include <zvenv/ZvUtil.h>
#include <zvenv/platform/Os.h>

#include <cstdint>

CMemoryMappedFile::CMemoryMappedFile() = default;

CMemoryMappedFile::~CMemoryMappedFile()
{
    Close();
}

BOOL CMemoryMappedFile::Open(LPCWSTR /*name*/, HANDLE file, DWORD /*protect*/, DWORD maxSizeHigh, DWORD maxSizeLow,
                             const void* /*security*/, DWORD /*access*/, DWORD offsetHigh, DWORD offsetLow)
{
    Close();
    std::uint64_t fileSize = 0;
    if (file == INVALID_HANDLE_VALUE || file == nullptr || !zv::os::GetOpenFileSize(file, fileSize))
        return FALSE;
    const std::uint64_t offset =
        (static_cast<std::uint64_t>(offsetHigh & 0xFFFFFFFFu) << 32) | (offsetLow & 0xFFFFFFFFu);
    std::uint64_t length = (static_cast<std::uint64_t>(maxSizeHigh & 0xFFFFFFFFu) << 32) | (maxSizeLow & 0xFFFFFFFFu);
    // A zero size maps the whole file, as the platform's mapping does.
    if (length == 0)
        length = fileSize;
    if (offset % zv::os::MapGranularity() != 0 || offset >= fileSize || length > fileSize - offset || length == 0)
        return FALSE;
    void* view = zv::os::MapFileView(file, offset, static_cast<std::size_t>(length));
    if (!view)
        return FALSE;
    m_view = view;
    m_length = static_cast<std::size_t>(length);
    return TRUE;
}

void CMemoryMappedFile::Close()
{
    if (m_view)
        zv::os::UnmapFileView(m_view, m_length);
    m_view = nullptr;
    m_length = 0;
}

CTqMMF::CTqMMF() = default;

CTqMMF::~CTqMMF() = default;

#include <zvenv/ZvUtil.h>

#include <cstdint>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

CMemoryMappedFile::CMemoryMappedFile() = default;

CMemoryMappedFile::~CMemoryMappedFile() { Close(); }

BOOL CMemoryMappedFile::Open(LPCWSTR /*name*/, HANDLE file, DWORD /*protect*/, DWORD maxSizeHigh, DWORD maxSizeLow,
                             const void* /*security*/, DWORD /*access*/, DWORD offsetHigh, DWORD offsetLow)
{
    Close();
    if (file == INVALID_HANDLE_VALUE || file == nullptr)
        return FALSE;
    const int fd = static_cast<int>(reinterpret_cast<std::intptr_t>(file));
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        return FALSE;
    const std::uint64_t offset = (static_cast<std::uint64_t>(offsetHigh & 0xFFFFFFFFu) << 32) | (offsetLow & 0xFFFFFFFFu);
    std::uint64_t length = (static_cast<std::uint64_t>(maxSizeHigh & 0xFFFFFFFFu) << 32) | (maxSizeLow & 0xFFFFFFFFu);
    const std::uint64_t fileSize = static_cast<std::uint64_t>(info.st_size);
    // A zero size maps the whole file, as the platform's mapping does.
    if (length == 0)
        length = fileSize;
    if (offset % static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE)) != 0 || offset >= fileSize ||
        length > fileSize - offset || length == 0)
        return FALSE;
    void* view = mmap(nullptr, static_cast<std::size_t>(length), PROT_READ, MAP_PRIVATE, fd, static_cast<off_t>(offset));
    if (view == MAP_FAILED)
        return FALSE;
    m_view = view;
    m_length = static_cast<std::size_t>(length);
    return TRUE;
}

void CMemoryMappedFile::Close()
{
    if (m_view)
        munmap(m_view, m_length);
    m_view = nullptr;
    m_length = 0;
}

CTqMMF::CTqMMF() = default;

CTqMMF::~CTqMMF() = default;

// Windows implementation of the file stamps and whole-file reads of Os.h.
#include <zvenv/platform/Os.h>

#include "Paths.h"

#include <cstdint>

namespace zv::os {
namespace {

using win32::ApiPath;

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Nanoseconds since 1970 of a time in 100 ns ticks since 1601.
std::int64_t UnixNanoseconds(std::uint64_t ticks)
{
    constexpr std::uint64_t kTicksTo1970 = 116444736000000000ULL;
    return (static_cast<std::int64_t>(ticks) - static_cast<std::int64_t>(kTicksTo1970)) * 100;
}

std::uint64_t Ticks(const FILETIME& time)
{
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// The volume and file number identify the file whatever its name; the change
// time of its entry comes from the basic information, where the system has it.
bool StampOfHandle(HANDLE file, FileStamp& out)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file, &info))
        return false;
    out.device = info.dwVolumeSerialNumber;
    out.file = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    out.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    out.modified = UnixNanoseconds(Ticks(info.ftLastWriteTime));
    FILE_BASIC_INFO basic;
    out.changed = GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic)
                      ? UnixNanoseconds(static_cast<std::uint64_t>(basic.ChangeTime.QuadPart))
                      : out.modified;
    return true;
}

ReadResult Refuse(ReadResult result, DWORD error)
{
    SetLastError(error);
    return result;
}

} // namespace

bool GetFileStamp(LPCWSTR path, FileStamp& out)
{
    if (!path || !*path)
        return false;
    // Opened for its attributes only, folders included, sharing everything.
    const HANDLE file = CreateFileW(ApiPath(path).c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const bool stamped = StampOfHandle(file, out);
    CloseHandle(file);
    return stamped;
}

bool GetOpenFileStamp(void* fileHandle, FileStamp& out)
{
    return fileHandle && fileHandle != INVALID_HANDLE_VALUE && StampOfHandle(static_cast<HANDLE>(fileHandle), out);
}

// A file held is its path and stamp (m_file 0): a handle kept open would keep
// every other program, and this one, from replacing the file.
HeldFile::HeldFile(HeldFile&& other) noexcept
    : m_file(other.m_file), m_stamp(other.m_stamp), m_path(std::move(other.m_path))
{
    other.m_file = -1;
}

HeldFile& HeldFile::operator=(HeldFile&& other) noexcept
{
    if (this != &other) {
        Close();
        m_file = other.m_file;
        m_stamp = other.m_stamp;
        m_path = std::move(other.m_path);
        other.m_file = -1;
    }
    return *this;
}

void HeldFile::Close()
{
    m_file = -1;
    m_path.clear();
}

ReadResult HeldFile::Open(LPCWSTR path)
{
    Close();
    if (!path || !*path)
        return Refuse(ReadResult::Missing, ERROR_FILE_NOT_FOUND);
    const std::wstring apiPath = ApiPath(path);
    const DWORD attributes = GetFileAttributesW(apiPath.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return Refuse(ReadResult::Folder, ERROR_DIRECTORY);
    // Shared for writing and deleting, so that holding the file never keeps
    // another program from replacing, renaming or deleting it.
    const HANDLE file =
        CreateFileW(apiPath.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME)
            return Refuse(ReadResult::Missing, error);
        return Refuse(ReadResult::Unreadable, error);
    }
    // Devices, consoles and pipes are refused unread.
    if (GetFileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);
        return Refuse(ReadResult::NotAFile, ERROR_INVALID_PARAMETER);
    }
    const bool stamped = StampOfHandle(file, m_stamp);
    const DWORD error = ::GetLastError();
    CloseHandle(file);
    if (!stamped)
        return Refuse(ReadResult::Unreadable, error);
    m_file = 0;
    m_path = apiPath;
    return ReadResult::Read;
}

bool HeldFile::ReadAll(std::string& bytes) const
{
    bytes.clear();
    if (m_file < 0)
        return false;
    const HANDLE file =
        CreateFileW(m_path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    // Only the file that was stamped is read.
    FileStamp now;
    if (!StampOfHandle(file, now) || now != m_stamp) {
        CloseHandle(file);
        SetLastError(ERROR_FILE_INVALID);
        return false;
    }
    // Read from the first byte straight into the result; a file that grows
    // meanwhile is read on.
    std::size_t done = 0;
    bytes.resize(static_cast<std::size_t>(m_stamp.size) + 1);
    for (;;) {
        if (done == bytes.size())
            bytes.resize(bytes.size() * 2);
        const std::size_t room = bytes.size() - done;
        OVERLAPPED at = {};
        at.Offset = static_cast<DWORD>(done & 0xFFFFFFFFu);
        at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(done) >> 32);
        DWORD got = 0;
        if (!ReadFile(file, &bytes[done], room > 0x40000000u ? 0x40000000u : static_cast<DWORD>(room), &got, &at)) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_HANDLE_EOF)
                break;
            CloseHandle(file);
            SetLastError(error);
            bytes.clear();
            return false;
        }
        if (got == 0)
            break;
        done += got;
    }
    CloseHandle(file);
    bytes.resize(done);
    return true;
}

} // namespace zv::os

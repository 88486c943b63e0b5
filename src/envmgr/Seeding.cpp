#include "envmgr/Seeding.h"

#include <zvenv/platform/Os.h>
#include <zvenv/platform/Profile.h>

#include <cstdint>

namespace zv::envmgr {
namespace {

bool Write(const CString& path, const std::string& bytes)
{
    return zv::os::WriteFileAtomic(path, bytes.data(), bytes.size());
}

} // namespace

bool IsBare(const std::string& bytes)
{
    return bytes.empty() || bytes == "\xFF\xFE";
}

bool SeedFromShipped(const CString& path, const CString& shipped)
{
    // A file with more than a mark in it is never seeded: the usual case
    // costs one stat.
    std::uint64_t size = 0;
    if (zv::os::GetFileSize(path, size) && size > 2)
        return false;
    std::string bytes;
    if (!zv::os::ReadWholeFile(shipped, bytes))
        return false;
    zv::FileWriteLock lock(path);
    if (zv::os::CreateNewFile(path, bytes.data(), bytes.size()))
        return true;
    std::string current;
    if (IsBare(bytes) || !zv::os::ReadWholeFile(path, current) || !IsBare(current))
        return false;
    return Write(path, bytes);
}

bool CreateMissing(const CString& path, const std::string& bytes)
{
    if (zv::os::FileExists(path))
        return false;
    zv::FileWriteLock lock(path);
    return zv::os::CreateNewFile(path, bytes.data(), bytes.size());
}

bool RestoreFromShipped(const CString& path, const CString& shipped, WithoutShipped without)
{
    std::string bytes;
    const bool readable = zv::os::ReadWholeFile(shipped, bytes);
    zv::FileWriteLock lock(path);
    if (readable)
        return Write(path, bytes);
    if (without == WithoutShipped::Delete && !zv::os::IsWriteProtected(path))
        zv::os::DeleteFile(path);
    return false;
}

bool RefillEmpty(const CString& path, const CString& shipped, const std::string& fallback)
{
    std::string bytes;
    if (!zv::os::ReadWholeFile(shipped, bytes))
        bytes = fallback;
    zv::FileWriteLock lock(path);
    std::uint64_t size = 0;
    return zv::os::GetFileSize(path, size) && size == 0 && Write(path, bytes);
}

} // namespace zv::envmgr

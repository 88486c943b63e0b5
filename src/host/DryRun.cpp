#include "DryRun.h"

#include "Documents.h"

#include <zvenv/platform/Os.h>

#include <filesystem>
#include <map>
#include <random>

namespace fs = std::filesystem;

namespace zvenv {
namespace {

// The two folders a command can write under.
const char* const kWritten[] = {"system", "user"};

fs::path ToPath(const CString& path)
{
    return fs::u8path(Narrow(path));
}

CString FromPath(const fs::path& path)
{
    return Wide(path.u8string());
}

// Relative path (with '/') -> whether it is a folder, for everything below
// the written folders of a root.
std::map<std::string, bool> Listing(const fs::path& root)
{
    std::map<std::string, bool> entries;
    for (const char* top : kWritten) {
        std::error_code ec;
        if (!fs::is_directory(root / top, ec))
            continue;
        entries[top] = true;
        for (fs::recursive_directory_iterator it(root / top, ec), end; !ec && it != end; it.increment(ec))
            entries[it->path().lexically_relative(root).generic_u8string()] = it->is_directory(ec);
    }
    return entries;
}

bool SameBytes(const CString& a, const CString& b)
{
    std::string x;
    std::string y;
    return ReadBytes(a, x) && ReadBytes(b, y) && x == y;
}

// Unchanged when size and time agree (see Prepare), or else byte for byte.
bool SameFile(const CString& a, const CString& b)
{
    std::error_code ec;
    const fs::path x = ToPath(a);
    const fs::path y = ToPath(b);
    const auto sizeX = fs::file_size(x, ec);
    const auto sizeY = ec ? 0 : fs::file_size(y, ec);
    if (!ec && sizeX != sizeY)
        return false;
    const auto timeX = ec ? fs::file_time_type() : fs::last_write_time(x, ec);
    const auto timeY = ec ? fs::file_time_type() : fs::last_write_time(y, ec);
    if (!ec && timeX == timeY)
        return true;
    return SameBytes(a, b);
}

// A root (ending in a separator) joined with a relative path that uses '/'.
CString Native(const CString& root, const std::string& relative)
{
    CString path = Wide(relative);
    if (zv::os::kSeparator != L'/')
        path.Replace(L'/', zv::os::kSeparator);
    return root + path;
}

std::string ParentOf(const std::string& relative)
{
    const auto slash = relative.rfind('/');
    return slash == std::string::npos ? std::string() : relative.substr(0, slash);
}

void PrintDifferences(const CString& before, const CString& after)
{
    Differences diff;
    std::string error;
    if (!DiffFiles(before, after, diff, error))
        return;
    for (const std::string& line : diff.lines)
        Print("  " + line);
}

} // namespace

DryRun::~DryRun()
{
    if (m_copy.IsEmpty())
        return;
    std::error_code ec;
    fs::remove_all(ToPath(m_copy), ec);
}

bool DryRun::Prepare(const CString& root, std::string& error)
{
    m_root = root;
    std::error_code ec;
    const fs::path temp = fs::temp_directory_path(ec);
    std::random_device random;
    fs::path copy;
    for (int attempt = 0; attempt < 100 && copy.empty(); ++attempt) {
        const fs::path candidate = temp / ("zvenv-dry-run-" + std::to_string(random()));
        if (fs::create_directory(candidate, ec))
            copy = candidate;
    }
    if (copy.empty()) {
        error = "cannot make a folder for the dry run in " + temp.u8string() + ": " + ec.message();
        return false;
    }
    m_copy = FromPath(copy) + zv::os::kSeparator;
    const fs::path from = ToPath(root);
    for (const char* top : kWritten) {
        if (!fs::is_directory(from / top, ec))
            continue;
        fs::copy(from / top, copy / top, fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
        if (ec) {
            error = "cannot copy " + (from / top).u8string() + " for the dry run: " + ec.message();
            return false;
        }
    }
    // Times as the root has them: the user listing shows the folders', and a
    // file whose size and time are unchanged afterwards was not written (the
    // library replaces a file it writes).
    for (const auto& entry : Listing(copy)) {
        const fs::file_time_type time = fs::last_write_time(from / fs::u8path(entry.first), ec);
        if (!ec)
            fs::last_write_time(copy / fs::u8path(entry.first), time, ec);
    }
    return true;
}

void DryRun::Report(const Context& ctx) const
{
    const std::map<std::string, bool> before = Listing(ToPath(m_root));
    const std::map<std::string, bool> after = Listing(ToPath(m_copy));
    bool any = false;
    for (const auto& entry : after) {
        const CString real = Native(m_root, entry.first);
        const CString copy = Native(m_copy, entry.first);
        const auto old = before.find(entry.first);
        if (entry.second) {
            // A new folder once, not each folder below it.
            const std::string parent = ParentOf(entry.first);
            if (old == before.end() && (parent.empty() || before.count(parent))) {
                Print("would create the folder " + Narrow(real + CString(zv::os::kSeparator)));
                any = true;
            }
            continue;
        }
        if (old != before.end() && SameFile(real, copy))
            continue;
        any = true;
        if (old != before.end()) {
            Print("would change " + Narrow(real) + ":");
            PrintDifferences(real, copy);
            continue;
        }
        // A user's copy of a shipped default is named as such.
        const CString shipped = Native(m_root, "system/" + fs::u8path(entry.first).filename().u8string());
        const bool seeded = entry.first.rfind("user/", 0) == 0 && zv::os::FileExists(shipped);
        if (seeded && SameBytes(shipped, copy)) {
            Print("would create " + Narrow(real) + ", a copy of " + Narrow(shipped));
            continue;
        }
        Print("would create " + Narrow(real) + (seeded ? ", from " + Narrow(shipped) + " with changes:" : ":"));
        PrintDifferences(seeded ? shipped : Wide(""), copy);
    }
    for (const auto& entry : before) {
        if (after.count(entry.first))
            continue;
        const std::string parent = ParentOf(entry.first);
        if (!parent.empty() && !after.count(parent))
            continue;
        const CString path = Native(m_root, entry.first);
        Print("would delete " + Narrow(entry.second ? path + CString(zv::os::kSeparator) : path));
        any = true;
    }
    if (!any)
        ctx.Note("nothing would change");
}

} // namespace zvenv

// POSIX implementation of the operating-system services of Os.h.
#include <zvenv/platform/Os.h>
#include <zvenv/platform/Text.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <ctime>
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace zv::os {
namespace {

thread_local unsigned long t_lastError = 0;

bool IsSep(wchar_t ch)
{
    return ch == L'/' || ch == L'\\';
}

std::vector<std::string> SortedNames(const std::string& folder)
{
    std::vector<std::string> names;
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return names;
    while (dirent* e = readdir(dir)) {
        const std::string n = e->d_name;
        if (n != "." && n != "..")
            names.push_back(n);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

bool Exists(const std::string& path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

// The component spelled as it is on disk: the exact name when it exists,
// otherwise the first name in sorted order that matches ignoring case.
std::string MatchComponent(const std::string& folder, const std::string& name)
{
    const std::string exact = folder + name;
    if (Exists(exact))
        return name;
    std::wstring wanted = text::DecodeUtf8Lenient(name);
    for (const std::string& candidate : SortedNames(folder.empty() ? "." : folder))
        if (text::EqualNoCase(text::DecodeUtf8Lenient(candidate), wanted))
            return candidate;
    return name;
}

bool Fail(int error)
{
    t_lastError = static_cast<unsigned long>(error);
    return false;
}

} // namespace

std::string NativePath(LPCWSTR path)
{
    if (!path || !*path)
        return std::string();
    std::wstring p(path);
    std::replace(p.begin(), p.end(), L'\\', L'/');
    const std::string utf8 = text::EncodeUtf8(p);
    if (Exists(utf8))
        return utf8;
    // Resolve component by component; a missing component ends the search and
    // the rest keeps the spelling given.
    std::string out;
    std::size_t pos = 0;
    if (utf8[0] == '/') {
        out = "/";
        pos = 1;
    }
    bool searching = true;
    while (pos <= utf8.size()) {
        std::size_t next = utf8.find('/', pos);
        if (next == std::string::npos)
            next = utf8.size();
        const std::string part = utf8.substr(pos, next - pos);
        if (!part.empty()) {
            const std::string spelled = (searching && part != "." && part != "..") ? MatchComponent(out, part) : part;
            if (searching && !Exists(out + spelled))
                searching = false;
            out += spelled;
        }
        if (next < utf8.size())
            out += '/';
        pos = next + 1;
    }
    return out;
}

CString ResolvePath(LPCWSTR path)
{
    return CString(text::DecodeUtf8Lenient(NativePath(path)));
}

bool FileExists(LPCWSTR path)
{
    struct stat st;
    return path && *path && stat(NativePath(path).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool GetFileSize(LPCWSTR path, std::uint64_t& size)
{
    struct stat st;
    if (!path || !*path || stat(NativePath(path).c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        return false;
    size = static_cast<std::uint64_t>(st.st_size);
    return true;
}

bool FolderExists(LPCWSTR path)
{
    struct stat st;
    return path && *path && stat(NativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool MovePath(LPCWSTR from, LPCWSTR to)
{
    if (!from || !to || !*from || !*to)
        return Fail(ENOENT);
    const std::string source = NativePath(from);
    const std::string target = NativePath(to);
    if (!Exists(source))
        return Fail(ENOENT);
    if (!Exists(target))
        return rename(source.c_str(), target.c_str()) == 0 ? true : Fail(errno);
    if (target != source)
        return Fail(EEXIST);
    // The target is the source itself under a spelling that differs only in
    // case: as where names ignore case, the file takes the spelling given.
    std::wstring given(to);
    std::replace(given.begin(), given.end(), L'\\', L'/');
    const std::size_t slash = target.rfind('/');
    const std::string respelled = target.substr(0, slash == std::string::npos ? 0 : slash + 1) +
                                  text::EncodeUtf8(given.substr(given.rfind(L'/') + 1));
    if (respelled == source)
        return true;
    return rename(source.c_str(), respelled.c_str()) == 0 ? true : Fail(errno);
}

bool RemoveFile(LPCWSTR path)
{
    if (!path || !*path)
        return Fail(ENOENT);
    const std::string p = NativePath(path);
    struct stat st;
    if (lstat(p.c_str(), &st) != 0)
        return Fail(errno);
    if (S_ISDIR(st.st_mode))
        return Fail(EISDIR);
    return unlink(p.c_str()) == 0 ? true : Fail(errno);
}

int CreateFolders(LPCWSTR path)
{
    if (!path || !*path)
        return ENOENT;
    const std::string p = NativePath(path);
    std::size_t pos = 1;
    while (pos <= p.size()) {
        std::size_t next = p.find('/', pos);
        if (next == std::string::npos)
            next = p.size();
        const std::string prefix = p.substr(0, next);
        struct stat st;
        if (stat(prefix.c_str(), &st) != 0) {
            if (mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST)
                return errno;
        } else if (!S_ISDIR(st.st_mode)) {
            return ENOTDIR;
        }
        pos = next + 1;
    }
    return 0;
}

std::vector<FolderEntry> ListFolder(LPCWSTR folder)
{
    std::vector<FolderEntry> out;
    std::string base = NativePath(folder);
    if (base.empty())
        return out;
    if (base.back() != '/')
        base += '/';
    DIR* dir = opendir(base.c_str());
    if (!dir)
        return out;
    while (dirent* e = readdir(dir)) {
        const std::string n = e->d_name;
        if (n == "." || n == "..")
            continue;
        struct stat st;
        if (stat((base + n).c_str(), &st) != 0)
            continue;
        FolderEntry entry;
        entry.name = CString(text::DecodeUtf8Lenient(n));
        entry.isFolder = S_ISDIR(st.st_mode);
        entry.lastWriteTime = static_cast<std::int64_t>(st.st_mtime);
        out.push_back(entry);
    }
    closedir(dir);
    return out;
}

bool GetOpenFileSize(void* fileHandle, std::uint64_t& size)
{
    struct stat info;
    if (fstat(static_cast<int>(reinterpret_cast<std::intptr_t>(fileHandle)), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    size = static_cast<std::uint64_t>(info.st_size);
    return true;
}

std::size_t MapGranularity()
{
    return static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

void* MapFileView(void* fileHandle, std::uint64_t offset, std::size_t length)
{
    const int fd = static_cast<int>(reinterpret_cast<std::intptr_t>(fileHandle));
    void* view = mmap(nullptr, length, PROT_READ, MAP_PRIVATE, fd, static_cast<off_t>(offset));
    return view == MAP_FAILED ? nullptr : view;
}

void UnmapFileView(void* view, std::size_t length)
{
    if (view)
        munmap(view, length);
}

bool ToLocalTime(std::int64_t time, LocalTime& out)
{
    const std::time_t t = static_cast<std::time_t>(time);
    std::tm tm{};
    if (!localtime_r(&t, &tm))
        return false;
    out = LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
    return true;
}

CString ExecutablePath()
{
    std::vector<char> buf(PATH_MAX + 1);
    const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    if (n <= 0)
        return CString();
    return CString(text::DecodeUtf8Lenient(std::string(buf.data(), static_cast<std::size_t>(n))));
}

std::vector<std::string> ProgramArguments(int argc, char** argv)
{
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + (argc > 0 ? argc : 0));
}

void WriteStandard(int stream, const std::string& utf8)
{
    std::fwrite(utf8.data(), 1, utf8.size(), stream == 2 ? stderr : stdout);
}

CString FullPath(LPCWSTR path)
{
    std::wstring p = path ? path : L"";
    std::replace(p.begin(), p.end(), L'\\', L'/');
    if (p.empty() || p[0] != L'/') {
        std::vector<char> cwd(PATH_MAX + 1);
        const std::wstring base = getcwd(cwd.data(), cwd.size()) ? text::DecodeUtf8Lenient(cwd.data()) : L"/";
        p = base + L"/" + p;
    }
    const bool trailing = p.size() > 1 && p.back() == L'/';
    std::vector<std::wstring> parts;
    std::size_t pos = 0;
    while (pos <= p.size()) {
        std::size_t next = p.find(L'/', pos);
        if (next == std::wstring::npos)
            next = p.size();
        const std::wstring part = p.substr(pos, next - pos);
        if (part == L"..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != L".") {
            parts.push_back(part);
        }
        pos = next + 1;
    }
    std::wstring out;
    for (const auto& part : parts)
        out += L"/" + part;
    if (out.empty() || trailing)
        out += L"/";
    return CString(out);
}

void Sleep(unsigned milliseconds)
{
    timespec ts{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

unsigned long GetLastError()
{
    return t_lastError;
}
void SetLastError(unsigned long error)
{
    t_lastError = error;
}

ModuleHandle LoadModule(LPCWSTR nameOrPath)
{
    if (!nameOrPath || !*nameOrPath)
        return nullptr;
    std::wstring n(nameOrPath);
    const bool hasFolder = std::any_of(n.begin(), n.end(), IsSep);
    const std::string file = hasFolder ? NativePath(nameOrPath) : text::EncodeUtf8(n);
    void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        Fail(ENOENT);
    return handle;
}

void* FindEntryPoint(ModuleHandle module, const char* name)
{
    return (module && name) ? dlsym(module, name) : nullptr;
}

void UnloadModule(ModuleHandle module)
{
    if (module)
        dlclose(module);
}

CString ModuleFileName(LPCWSTR baseName)
{
    return CString(L"lib") + CString(baseName) + L".so";
}

CString FolderOfModuleContaining(const void* address)
{
    Dl_info info{};
    if (!address || !dladdr(address, &info) || !info.dli_fname)
        return CString();
    std::string file = info.dli_fname;
    if (file.find('/') == std::string::npos) {
        const CString exe = ExecutablePath();
        return exe.Left(exe.ReverseFind(L'/'));
    }
    return CString(text::DecodeUtf8Lenient(file.substr(0, file.rfind('/'))));
}

} // namespace zv::os

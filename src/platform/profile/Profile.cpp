#include <zvenv/platform/Os.h>
#include <zvenv/platform/Profile.h>
#include <zvenv/platform/Text.h>

#include "ProfileFile.h"
#include "platform/posix/TempFiles.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <vector>

// The profile-file functions over a cache of parsed files. A cached copy is
// used while the file on disk still has the identity, size and modification
// time it had when it was read, so a read costs a stat and a lookup. Writers
// take an exclusive lock on the file's folder (flock on the folder itself, so
// nothing is added to the user's folders) around read, modify and replace,
// and re-read the file under the lock, so no update from another process is
// lost. Every write replaces the file atomically.
namespace {

using zv::profile::ProfileFile;

struct Stamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = -1;
    timespec modified{};

    bool operator==(const Stamp& o) const
    {
        return device == o.device && inode == o.inode && size == o.size && modified.tv_sec == o.modified.tv_sec &&
               modified.tv_nsec == o.modified.tv_nsec;
    }
};

enum class State { Missing, File, Unusable };

State StatFile(const std::string& path, Stamp& stamp)
{
    struct stat info;
    if (stat(path.c_str(), &info) != 0)
        return errno == ENOENT ? State::Missing : State::Unusable;
    if (!S_ISREG(info.st_mode))
        return State::Unusable;
    stamp = {info.st_dev, info.st_ino, info.st_size, info.st_mtim};
    return State::File;
}

// Reads the whole file into bytes; expected is the size its stat gave, read
// straight into the buffer. A file that grew meanwhile is read to its end.
bool ReadBytes(const std::string& path, std::string& bytes, std::size_t expected)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bytes.resize(expected + 1);
    std::size_t used = 0;
    ssize_t got;
    for (;;) {
        if (used == bytes.size())
            bytes.resize(bytes.size() * 2);
        got = read(fd, &bytes[used], bytes.size() - used);
        if (got <= 0)
            break;
        used += static_cast<std::size_t>(got);
    }
    close(fd);
    bytes.resize(used);
    return got == 0;
}

struct Entry {
    Stamp stamp;
    std::shared_ptr<const ProfileFile> file;
};

std::mutex g_cacheMutex;
std::unordered_map<std::string, Entry> g_cache;
// Counts the writes of this process (and the drops of the cache): a reader
// that skips a check of the file must not miss one of them.
std::atomic<unsigned long> g_writes{0};

// The current parsed copy of a file; an empty model when there is no file.
std::shared_ptr<const ProfileFile> Load(const std::string& path, bool* missing = nullptr)
{
    Stamp stamp;
    const State state = StatFile(path, stamp);
    if (missing)
        *missing = state == State::Missing;
    if (state != State::File) {
        std::lock_guard<std::mutex> lock(g_cacheMutex);
        g_cache.erase(path);
        return std::make_shared<ProfileFile>();
    }
    {
        std::lock_guard<std::mutex> lock(g_cacheMutex);
        auto found = g_cache.find(path);
        if (found != g_cache.end() && found->second.stamp == stamp)
            return found->second.file;
    }
    std::string bytes;
    if (!ReadBytes(path, bytes, static_cast<std::size_t>(stamp.size)))
        return std::make_shared<ProfileFile>();
    auto file = std::make_shared<const ProfileFile>(ProfileFile::Parse(bytes));
    Stamp after;
    // Cache only what was read from an unchanged file.
    if (StatFile(path, after) == State::File && after == stamp && static_cast<off_t>(bytes.size()) == stamp.size) {
        std::lock_guard<std::mutex> lock(g_cacheMutex);
        g_cache[path] = {stamp, file};
    }
    return file;
}

// Writes the file and keeps the written model as its parsed copy.
bool Store(const std::string& path, LPCWSTR widePath, std::shared_ptr<const ProfileFile> file)
{
    const std::string bytes = file->Serialise();
    if (!zv::os::WriteFileAtomic(widePath, bytes.data(), bytes.size()))
        return false;
    Stamp stamp;
    std::lock_guard<std::mutex> lock(g_cacheMutex);
    if (StatFile(path, stamp) == State::File)
        g_cache[path] = {stamp, std::move(file)};
    else
        g_cache.erase(path);
    // Counted once the file is in place: a reader that took the count before
    // this write checks the file again at its next read.
    ++g_writes;
    return true;
}

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The writer exclusion of a folder: a recursive mutex for the threads of this
// process and an flock on the folder itself for other processes. There is one
// per folder per process, found by the folder's device and inode, so a batch
// on one file and a write to another file of the same folder never wait on
// each other (two descriptors of one folder would each need their own flock).
struct FolderLock {
    std::recursive_mutex mutex;
    int depth = 0;      // holds of the owning thread, guarded by mutex
    int fd = -1;        // the descriptor holding the flock while depth > 0
    bool swept = false; // leftovers of dead writers removed, guarded by mutex
};

std::mutex g_folderLocksGuard;
std::map<std::pair<dev_t, ino_t>, std::unique_ptr<FolderLock>> g_folderLocks;

FolderLock* AcquireFolder(const std::string& folder)
{
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat info;
    if (fd < 0 || fstat(fd, &info) != 0) {
        if (fd >= 0)
            close(fd);
        return nullptr;
    }
    FolderLock* lock;
    {
        std::lock_guard<std::mutex> guard(g_folderLocksGuard);
        auto& slot = g_folderLocks[{info.st_dev, info.st_ino}];
        if (!slot)
            slot = std::make_unique<FolderLock>();
        lock = slot.get();
    }
    lock->mutex.lock();
    if (lock->depth++ > 0) {
        close(fd);
        return lock;
    }
    lock->fd = fd;
    while (flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
    // Temporary files of writers that died are older than this process, so
    // one sweep per folder and process finds all there will be.
    if (!lock->swept) {
        lock->swept = true;
        zv::os::posix::RemoveLeftoverTempFiles(folder);
    }
    return lock;
}

void ReleaseFolder(FolderLock* lock)
{
    if (--lock->depth == 0) {
        close(lock->fd); // releases the flock
        lock->fd = -1;
    }
    lock->mutex.unlock();
}

// The write lock of one file is the lock of its folder. A folder that cannot
// be opened is not locked: the write then fails on its own.
class WriteLock {
public:
    explicit WriteLock(const std::string& path) : m_lock(AcquireFolder(FolderOf(path))) {}
    ~WriteLock()
    {
        if (m_lock)
            ReleaseFolder(m_lock);
    }
    WriteLock(const WriteLock&) = delete;
    WriteLock& operator=(const WriteLock&) = delete;

private:
    FolderLock* m_lock;
};

// Open batch scopes of this thread, by path. The batch reads the parsed copy
// it found and takes a copy of its own at its first change; once written,
// that copy is the cache's too, and the next change copies again.
struct Batch {
    int depth = 0;
    std::unique_ptr<WriteLock> lock;
    std::shared_ptr<const ProfileFile> shared;
    std::shared_ptr<ProfileFile> own;
    bool changed = false;
    std::wstring widePath;

    std::shared_ptr<const ProfileFile> Current() const { return own ? own : shared; }
    ProfileFile& Changing()
    {
        if (!own) {
            own = std::make_shared<ProfileFile>(*shared);
            shared.reset();
        }
        return *own;
    }
};

std::unordered_map<std::string, Batch>& Batches()
{
    thread_local std::unordered_map<std::string, Batch> batches;
    return batches;
}

Batch* OpenBatch(const std::string& path)
{
    auto& batches = Batches();
    auto found = batches.find(path);
    return found == batches.end() ? nullptr : &found->second;
}

std::shared_ptr<const ProfileFile> Current(const std::string& path)
{
    if (Batch* batch = OpenBatch(path))
        return batch->Current();
    return Load(path);
}

// The path as given, with native separators, as the system's text. Hosts
// read and write one file many times in a row: the last conversion is kept.
const std::string& GivenPath(LPCWSTR fileName)
{
    thread_local std::wstring lastGiven;
    thread_local std::string lastPath;
    if (lastGiven != fileName) {
        lastGiven = fileName;
        std::wstring given(fileName);
        for (wchar_t& c : given)
            if (c == L'\\')
                c = L'/';
        lastPath = zv::text::EncodeUtf8(given);
    }
    return lastPath;
}

// The file a read goes to. A file that has the spelling given is read
// straight away; only a missing one costs the case-insensitive lookup of its
// path, as reads are the frequent call.
std::shared_ptr<const ProfileFile> CurrentForRead(LPCWSTR fileName)
{
    if (!Batches().empty()) {
        // Reads inside a batch usually name the file as the batch does.
        if (Batch* batch = OpenBatch(GivenPath(fileName)))
            return batch->Current();
        return Current(zv::os::NativePath(fileName));
    }
    bool missing = false;
    auto file = Load(GivenPath(fileName), &missing);
    return missing ? Load(zv::os::NativePath(fileName)) : file;
}

// A write may only go where the file could be replaced: its folder exists
// and the path is not a folder. The reason of a refusal is the last error.
bool Writable(const std::string& path)
{
    struct stat info;
    int refusal = 0;
    if (stat(path.c_str(), &info) == 0)
        refusal = S_ISREG(info.st_mode) ? 0 : EISDIR;
    else if (errno != ENOENT)
        refusal = errno;
    if (!refusal)
        refusal = stat(FolderOf(path).c_str(), &info) != 0 ? errno : S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
    if (refusal)
        zv::os::SetLastError(static_cast<unsigned long>(refusal));
    return refusal == 0;
}

template <typename Change> BOOL Modify(LPCWSTR fileName, Change change)
{
    if (!fileName || !*fileName)
        return FALSE;
    // Inside a batch the path given is usually the batch's own spelling.
    Batch* batch = Batches().empty() ? nullptr : OpenBatch(GivenPath(fileName));
    const std::string path = batch ? GivenPath(fileName) : zv::os::NativePath(fileName);
    if (batch || (batch = OpenBatch(path)) != nullptr) {
        if (change(batch->Changing()))
            batch->changed = true;
        return TRUE;
    }
    if (!Writable(path))
        return FALSE;
    WriteLock lock(path);
    auto file = std::make_shared<ProfileFile>(*Load(path));
    if (!change(*file))
        return TRUE;
    return Store(path, fileName, std::move(file)) ? TRUE : FALSE;
}

// Copies text into a caller's buffer with the platform's truncation: at most
// size - 1 characters and a null; returns the characters copied.
DWORD CopyValue(std::wstring_view text, LPWSTR buffer, DWORD size)
{
    if (!buffer || size == 0)
        return 0;
    const std::size_t count = text.size() < size - 1 ? text.size() : size - 1;
    text.copy(buffer, count);
    buffer[count] = 0;
    return static_cast<DWORD>(count);
}

// Copies names as a double-null list. When the list does not fit, as much as
// fits is copied, ended by two nulls, and the result is size - 2. A list that
// would fill the buffer exactly counts as cut too, as on the platform.
DWORD CopyList(const std::vector<std::wstring>& items, LPWSTR buffer, DWORD size, bool sectionNames = false)
{
    if (!buffer || size == 0)
        return 0;
    if (size == 1) {
        buffer[0] = 0;
        return 0;
    }
    std::size_t used = 0;
    for (const std::wstring& item : items) {
        if (used + item.size() + 1 >= size - 1) {
            // A cut item ends with two nulls; when not even a character of
            // a key or a line fits, the list so far gets its one closing null
            // (a list of section names still gets both).
            const std::size_t room = size - 2 - used;
            buffer[size - 2] = 0;
            if (sectionNames)
                buffer[size - 1] = 0;
            if (room > 0) {
                item.copy(buffer + used, room);
                buffer[size - 1] = 0;
            }
            return size - 2;
        }
        item.copy(buffer + used, item.size());
        used += item.size();
        buffer[used++] = 0;
    }
    buffer[used] = 0;
    if (used == 0 && size > 1)
        buffer[1] = 0;
    return static_cast<DWORD>(used);
}

std::wstring TrimmedDefault(LPCWSTR value)
{
    std::wstring text = value ? value : L"";
    while (!text.empty() && text.back() == L' ')
        text.pop_back();
    return text;
}

// A key's value as found, or the default as the platform gives it; up to a
// null character in it, as a reader of the platform's buffer sees it.
bool ValueOrDefault(bool found, std::wstring_view text, LPCWSTR defaultValue, std::wstring& value)
{
    if (found)
        value.assign(text.substr(0, text.find(L'\0')));
    else
        value = TrimmedDefault(defaultValue);
    return found;
}

bool ValueOrDefault(const ProfileFile& file, LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue, std::wstring& value)
{
    std::wstring_view found;
    return ValueOrDefault(section && key && file.GetValue(section, key, found), found, defaultValue, value);
}

} // namespace

DWORD GetPrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue, LPWSTR buffer, DWORD size,
                               LPCWSTR fileName)
{
    if (!fileName || !*fileName)
        return CopyValue(TrimmedDefault(defaultValue), buffer, size);
    const auto file = CurrentForRead(fileName);
    if (!section)
        return CopyList(file->SectionNames(), buffer, size, true);
    if (!key)
        return CopyList(file->KeyNames(section), buffer, size);
    std::wstring_view value;
    if (file->GetValue(section, key, value))
        return CopyValue(value, buffer, size);
    return CopyValue(TrimmedDefault(defaultValue), buffer, size);
}

DWORD GetPrivateProfileSectionW(LPCWSTR section, LPWSTR buffer, DWORD size, LPCWSTR fileName)
{
    if (!section || !fileName || !*fileName)
        return CopyList({}, buffer, size);
    return CopyList(CurrentForRead(fileName)->SectionLines(section), buffer, size);
}

DWORD GetPrivateProfileSectionNamesW(LPWSTR buffer, DWORD size, LPCWSTR fileName)
{
    if (!fileName || !*fileName)
        return CopyList({}, buffer, size);
    return CopyList(CurrentForRead(fileName)->SectionNames(), buffer, size, true);
}

BOOL WritePrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR fileName)
{
    if (!section)
        return FALSE;
    return Modify(fileName, [&](ProfileFile& file) {
        if (!key)
            return file.DeleteSection(section);
        if (!value)
            return file.DeleteKey(section, key);
        return file.SetValue(section, key, value);
    });
}

BOOL WritePrivateProfileSectionW(LPCWSTR section, LPCWSTR lines, LPCWSTR fileName)
{
    if (!section)
        return FALSE;
    return Modify(fileName, [&](ProfileFile& file) {
        if (!lines)
            return file.DeleteSection(section);
        std::vector<std::wstring> list;
        for (const wchar_t* p = lines; *p; p += std::wcslen(p) + 1)
            list.emplace_back(p);
        return file.ReplaceSection(section, list);
    });
}

namespace zv {

struct ProfileBatch::State {
    std::string path;
    Batch* batch = nullptr; // this thread's entry for the path, while the scope is open
};

ProfileBatch::ProfileBatch(LPCWSTR fileName) : m_state(new State)
{
    if (!fileName || !*fileName)
        return;
    m_state->path = zv::os::NativePath(fileName);
    Batch& batch = Batches()[m_state->path];
    m_state->batch = &batch;
    if (batch.depth++ > 0)
        return;
    batch.widePath = fileName;
    batch.lock = std::make_unique<WriteLock>(m_state->path);
    batch.shared = Load(m_state->path);
}

bool ProfileBatch::Flush()
{
    Batch* batch = m_state->path.empty() ? nullptr : OpenBatch(m_state->path);
    if (!batch || !batch->changed)
        return true;
    if (!Writable(m_state->path) || !Store(m_state->path, batch->widePath.c_str(), batch->own))
        return false;
    batch->shared = std::move(batch->own);
    batch->own.reset();
    batch->changed = false;
    return true;
}

bool ProfileBatch::GetString(LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue, std::wstring& value) const
{
    const Batch* batch = m_state->batch;
    if (!batch)
        return ValueOrDefault(ProfileFile(), section, key, defaultValue, value);
    return ValueOrDefault(batch->own ? *batch->own : *batch->shared, section, key, defaultValue, value);
}

void ProfileBatch::WriteString(LPCWSTR section, LPCWSTR key, LPCWSTR value)
{
    Batch* batch = m_state->batch;
    if (!batch || !section)
        return;
    ProfileFile& file = batch->Changing();
    bool changed;
    if (!key)
        changed = file.DeleteSection(section);
    else if (!value)
        changed = file.DeleteKey(section, key);
    else
        changed = file.SetValue(section, key, value);
    batch->changed = batch->changed || changed;
}

ProfileBatch::~ProfileBatch()
{
    if (!m_state->path.empty()) {
        Batch* batch = OpenBatch(m_state->path);
        if (batch && batch->depth == 1)
            Flush();
        if (batch && --batch->depth == 0)
            Batches().erase(m_state->path);
    }
    delete m_state;
}

FileWriteLock::FileWriteLock(LPCWSTR fileName)
    : m_lock(fileName && *fileName ? new WriteLock(zv::os::NativePath(fileName)) : nullptr)
{
}

FileWriteLock::~FileWriteLock()
{
    delete static_cast<WriteLock*>(m_lock);
}

void ClearProfileCache()
{
    std::lock_guard<std::mutex> lock(g_cacheMutex);
    ++g_writes;
    g_cache.clear();
}

bool ProfileGetString(LPCWSTR fileName, LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue, std::wstring& value)
{
    if (!fileName || !*fileName || !section || !key)
        return ValueOrDefault(ProfileFile(), nullptr, nullptr, defaultValue, value);
    return ValueOrDefault(*CurrentForRead(fileName), section, key, defaultValue, value);
}

std::vector<std::wstring> ProfileSectionLines(LPCWSTR fileName, LPCWSTR section)
{
    if (!section || !fileName || !*fileName)
        return {};
    return CurrentForRead(fileName)->SectionLines(section);
}

std::vector<std::wstring> ProfileSectionNames(LPCWSTR fileName)
{
    if (!fileName || !*fileName)
        return {};
    return CurrentForRead(fileName)->SectionNames();
}

BOOL ProfileWriteSection(LPCWSTR fileName, LPCWSTR section, const std::vector<std::wstring>& lines)
{
    if (!section)
        return FALSE;
    // The list form ends at its first empty line, as the platform's does.
    std::vector<std::wstring> kept;
    for (const std::wstring& line : lines) {
        if (line.empty())
            break;
        kept.push_back(line);
    }
    return Modify(fileName, [&](ProfileFile& file) { return file.ReplaceSection(section, kept); });
}

struct ProfileSnapshot::State {
    std::wstring fileName;
    std::shared_ptr<const ProfileFile> file;
    std::chrono::steady_clock::time_point checked;
    unsigned long writes = 0;
    // The section of the last read in this copy: reads come section by section.
    std::wstring section;
    std::size_t sectionAt = ProfileFile::npos;
};

ProfileSnapshot::ProfileSnapshot() : m_state(new State) {}

ProfileSnapshot::~ProfileSnapshot()
{
    delete m_state;
}

void ProfileSnapshot::SetFile(LPCWSTR fileName)
{
    const std::wstring name = fileName ? fileName : L"";
    if (name != m_state->fileName) {
        m_state->fileName = name;
        Forget();
    }
}

void ProfileSnapshot::Forget()
{
    m_state->file.reset();
    m_state->section.clear();
    m_state->sectionAt = ProfileFile::npos;
}

bool ProfileSnapshot::GetString(LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue, std::wstring& value)
{
    State& state = *m_state;
    if (state.fileName.empty() || !section || !key)
        return ValueOrDefault(ProfileFile(), nullptr, nullptr, defaultValue, value);
    const auto now = std::chrono::steady_clock::now();
    const unsigned long writes = g_writes.load();
    const bool recent = state.file && writes == state.writes && Batches().empty() &&
                        now - state.checked < std::chrono::microseconds(kRecentWindowMicroseconds);
    if (!recent) {
        // The time and the count of writes are taken before the check, so
        // that nothing that comes during it is taken as seen.
        auto file = CurrentForRead(state.fileName.c_str());
        if (file != state.file) {
            state.file = std::move(file);
            state.section.clear();
            state.sectionAt = state.file->Section(state.section);
        }
        state.checked = now;
        state.writes = writes;
    }
    if (state.section != section) {
        state.section = section;
        state.sectionAt = state.file->Section(section);
    }
    std::wstring_view found;
    return ValueOrDefault(state.file->GetValue(state.sectionAt, key, found), found, defaultValue, value);
}

} // namespace zv

#include <zvenv/platform/Os.h>
#include <zvenv/platform/Profile.h>
#include <zvenv/platform/Text.h>

#include "ProfileCache.h"
#include "ProfileFile.h"
#include "WriteLock.h"
#include "platform/FileStore.h"

#include <chrono>
#include <cwchar>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

// The profile-file functions over the cache of parsed files. Writers take
// the write lock of the file's folder around read, modify and replace, and
// re-read the file under the lock, so no update from another process is
// lost. Every write replaces the file atomically.
namespace {

using zv::profile::LoadFile;
using zv::profile::ProfileFile;
using zv::profile::StoreFile;
using zv::profile::WriteLock;

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

// The batches are reached through a pointer, as a thread_local object must be
// trivially destructible (a thread's end would run its destructor after
// the runtime of some systems has gone). The map exists while a batch is open.
using BatchMap = std::unordered_map<std::string, Batch>;
thread_local BatchMap* t_batches = nullptr;

bool AnyBatch()
{
    return t_batches != nullptr;
}

Batch& NewBatch(const std::string& path)
{
    if (!t_batches)
        t_batches = new BatchMap;
    return (*t_batches)[path];
}

void EndBatch(const std::string& path)
{
    t_batches->erase(path);
    if (t_batches->empty()) {
        delete t_batches;
        t_batches = nullptr;
    }
}

Batch* OpenBatch(const std::string& path)
{
    if (!t_batches)
        return nullptr;
    auto found = t_batches->find(path);
    return found == t_batches->end() ? nullptr : &found->second;
}

std::shared_ptr<const ProfileFile> Current(const std::string& path)
{
    if (Batch* batch = OpenBatch(path))
        return batch->Current();
    return LoadFile(path);
}

// The path as given, with native separators, as the system's text. Hosts
// read one file many times in a row, so each thread keeps its last
// conversion. Conversions are kept for the life of the process (one per
// name used, as parsed copies are), so the thread's pointer never dangles and
// needs no destructor.
struct KnownPath {
    std::wstring given;
    std::string path;
};

std::mutex g_knownPathsMutex;
std::unordered_map<std::wstring, std::unique_ptr<const KnownPath>> g_knownPaths;
thread_local const KnownPath* t_lastPath = nullptr;

const std::string& GivenPath(LPCWSTR fileName)
{
    if (t_lastPath && t_lastPath->given == fileName)
        return t_lastPath->path;
    std::wstring given(fileName);
    std::lock_guard<std::mutex> lock(g_knownPathsMutex);
    auto& known = g_knownPaths[given];
    if (!known) {
        std::wstring native = given;
        for (wchar_t& c : native)
            if (c == L'/' || c == L'\\')
                c = zv::os::kSeparator;
        known.reset(new KnownPath{std::move(given), zv::text::EncodeUtf8(native)});
    }
    t_lastPath = known.get();
    return known->path;
}

// The file a read goes to. A file that has the spelling given is read
// straight away; only a missing one costs the case-insensitive lookup of its
// path, as reads are the frequent call.
std::shared_ptr<const ProfileFile> CurrentForRead(LPCWSTR fileName)
{
    if (AnyBatch()) {
        // Reads inside a batch usually name the file as the batch does.
        if (Batch* batch = OpenBatch(GivenPath(fileName)))
            return batch->Current();
        return Current(zv::os::NativePath(fileName));
    }
    bool missing = false;
    auto file = LoadFile(GivenPath(fileName), &missing);
    return missing ? LoadFile(zv::os::NativePath(fileName)) : file;
}

// A write may only go where the file could be replaced: its folder exists
// and the path is not a folder. The reason of a refusal is the last error.
bool Writable(const std::string& path)
{
    const unsigned long refusal = zv::os::store::WriteRefusal(path);
    if (refusal)
        zv::os::SetLastError(refusal);
    return refusal == 0;
}

template <typename Change> BOOL Modify(LPCWSTR fileName, Change change)
{
    if (!fileName || !*fileName)
        return FALSE;
    // Inside a batch the path given is usually the batch's own spelling.
    Batch* batch = AnyBatch() ? OpenBatch(GivenPath(fileName)) : nullptr;
    const std::string path = batch ? GivenPath(fileName) : zv::os::NativePath(fileName);
    if (batch || (batch = OpenBatch(path)) != nullptr) {
        if (change(batch->Changing()))
            batch->changed = true;
        return TRUE;
    }
    if (!Writable(path))
        return FALSE;
    WriteLock lock(path);
    auto file = std::make_shared<ProfileFile>(*LoadFile(path));
    if (!change(*file))
        return TRUE;
    return StoreFile(path, fileName, std::move(file)) ? TRUE : FALSE;
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

namespace zv {

DWORD ProfileGetString(LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue, LPWSTR buffer, DWORD size, LPCWSTR fileName)
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

DWORD ProfileGetSection(LPCWSTR section, LPWSTR buffer, DWORD size, LPCWSTR fileName)
{
    if (!section || !fileName || !*fileName)
        return CopyList({}, buffer, size);
    return CopyList(CurrentForRead(fileName)->SectionLines(section), buffer, size);
}

DWORD ProfileGetSectionNames(LPWSTR buffer, DWORD size, LPCWSTR fileName)
{
    if (!fileName || !*fileName)
        return CopyList({}, buffer, size);
    return CopyList(CurrentForRead(fileName)->SectionNames(), buffer, size, true);
}

BOOL ProfileWriteString(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR fileName)
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

BOOL ProfileWriteSection(LPCWSTR section, LPCWSTR lines, LPCWSTR fileName)
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

struct ProfileBatch::State {
    std::string path;
    Batch* batch = nullptr; // this thread's entry for the path, while the scope is open
};

ProfileBatch::ProfileBatch(LPCWSTR fileName) : m_state(new State)
{
    if (!fileName || !*fileName)
        return;
    m_state->path = zv::os::NativePath(fileName);
    Batch& batch = NewBatch(m_state->path);
    m_state->batch = &batch;
    if (batch.depth++ > 0)
        return;
    batch.widePath = fileName;
    batch.lock = std::make_unique<WriteLock>(m_state->path);
    batch.shared = LoadFile(m_state->path);
}

bool ProfileBatch::Flush()
{
    Batch* batch = m_state->path.empty() ? nullptr : OpenBatch(m_state->path);
    if (!batch || !batch->changed)
        return true;
    if (!Writable(m_state->path) || !StoreFile(m_state->path, batch->widePath.c_str(), batch->own))
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
    return ValueOrDefault(*batch->Current(), section, key, defaultValue, value);
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
            EndBatch(m_state->path);
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
    profile::ClearCache();
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
    const unsigned long writes = profile::WriteCount();
    const bool recent = state.file && writes == state.writes && !AnyBatch() &&
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

#include <zvenv/ZvUtil.h>
#include <zvenv/platform/Os.h>
#include <zvenv/platform/Profile.h>
#include <zvenv/platform/Text.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

// The memory INI cache. Each file is read once, through the profile-file
// functions so that it parses exactly as they parse it, into a table of
// sections and keys folded to one case. A handle is the address of a file's
// table; reading the file again refreshes the table in place, so handles stay
// valid until TQ_UT_ENV_Clear.
namespace {

std::wstring Folded(std::wstring_view text)
{
    std::wstring out(text);
    zv::text::FoldCase(out.data(), out.size());
    return out;
}

std::wstring_view Trimmed(std::wstring_view text)
{
    const wchar_t* blanks = L" \t";
    std::size_t first = text.find_first_not_of(blanks);
    if (first == std::wstring_view::npos)
        return {};
    std::size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

// A value in matching quotes reads without them, as a profile read gives it.
std::wstring_view Unquoted(std::wstring_view value)
{
    if (value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

struct MemIni {
    // Folded section -> folded key -> value; the first occurrence wins, as
    // for a profile read.
    std::map<std::wstring, std::unordered_map<std::wstring, std::wstring>> sections;
};

std::mutex g_mutex;
std::unordered_map<std::wstring, std::unique_ptr<MemIni>> g_cache;

std::wstring CacheKey(LPCWSTR path)
{
    return zv::os::ResolvePath(zv::os::FullPath(path)).str();
}

// Calls a profile listing function with a buffer that grows until the list fits.
template <typename Read> std::vector<wchar_t> ReadList(Read read)
{
    std::vector<wchar_t> buffer(4096);
    for (;;) {
        DWORD got = read(buffer.data(), static_cast<DWORD>(buffer.size()));
        if (got + 2 < buffer.size()) {
            buffer.resize(got + 2);
            return buffer;
        }
        buffer.assign(buffer.size() * 2, 0);
    }
}

std::vector<std::wstring_view> SplitList(const std::vector<wchar_t>& list)
{
    std::vector<std::wstring_view> items;
    const wchar_t* p = list.data();
    const wchar_t* end = list.data() + list.size();
    while (p < end && *p) {
        std::wstring_view item(p);
        items.push_back(item);
        p += item.size() + 1;
    }
    return items;
}

bool Load(LPCWSTR path, MemIni& ini)
{
    if (!zv::os::FileExists(path))
        return false;
    ini.sections.clear();
    auto names = ReadList([&](wchar_t* b, DWORD n) { return zv::ProfileGetSectionNames(b, n, path); });
    for (std::wstring_view name : SplitList(names)) {
        auto& keys = ini.sections[Folded(name)];
        std::wstring section(name);
        auto lines = ReadList([&](wchar_t* b, DWORD n) { return zv::ProfileGetSection(section.c_str(), b, n, path); });
        for (std::wstring_view line : SplitList(lines)) {
            std::size_t equals = line.find(L'=');
            if (equals == std::wstring_view::npos)
                continue;
            std::wstring key = Folded(Trimmed(line.substr(0, equals)));
            if (key.empty() || keys.count(key))
                continue;
            keys.emplace(std::move(key), std::wstring(Unquoted(Trimmed(line.substr(equals + 1)))));
        }
    }
    return true;
}

} // namespace

int TQ_UT_ENV_ReadIniFile(LPCWSTR path)
{
    if (!path || !*path)
        return 0;
    auto ini = std::make_unique<MemIni>();
    if (!Load(path, *ini))
        return 0;
    std::lock_guard<std::mutex> lock(g_mutex);
    auto& slot = g_cache[CacheKey(path)];
    if (slot)
        slot->sections = std::move(ini->sections);
    else
        slot = std::move(ini);
    return 1;
}

void* TQ_UT_ENV_GetMemIni(LPCWSTR path)
{
    if (!path || !*path)
        return nullptr;
    std::lock_guard<std::mutex> lock(g_mutex);
    auto found = g_cache.find(CacheKey(path));
    return found == g_cache.end() ? nullptr : found->second.get();
}

void TQ_UT_ENV_Clear()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_cache.clear();
}

BOOL TQ_UT_ENV_GetMemIniString(void* memIni, LPCWSTR section, LPCWSTR key, LPCWSTR def, CString& value)
{
    value = def ? def : L"";
    if (!memIni || !section || !key)
        return FALSE;
    std::lock_guard<std::mutex> lock(g_mutex);
    // Only a handle this cache gave out, and has not dropped, is read.
    bool known = false;
    for (const auto& entry : g_cache)
        if (entry.second.get() == memIni)
            known = true;
    if (!known)
        return FALSE;
    const auto& sections = static_cast<const MemIni*>(memIni)->sections;
    auto s = sections.find(Folded(Trimmed(section)));
    if (s == sections.end())
        return FALSE;
    auto k = s->second.find(Folded(Trimmed(key)));
    if (k == s->second.end())
        return FALSE;
    value = CString(k->second);
    return TRUE;
}

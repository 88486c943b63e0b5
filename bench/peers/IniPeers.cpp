// The INI comparison: this library's one-call-per-key access (CTqIni) and its
// cached document (CTqEnvIni) against SimpleIni, on the same UTF-16LE file.
// The same work on the same file is timed by the program in wine/ for the
// platform's own profile functions.
#include "PeerTiming.h"
#include "Peers.h"

#include <zvenv/CTqEnvMgr.h>
#include <zvenv/CTqIni.h>
#include <zvenv/platform/Os.h>

// SimpleIni's narrow class over UTF-8 text needs none of its converters;
// its implementation is compiled here rather than taken from the packaged library.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace peers {
namespace {

constexpr int kKeysPerSection = 100;
constexpr int kAddedKeys = 100;
constexpr int kReadOneCalls = 1000;
// One write per key rewrites the whole file each time: that many writes,
// spread evenly over the file, are timed and the time scaled to the full
// count.
constexpr int kMaxPerKeyWrites = 20;
// Above this many keys, reads and cached changes are timed on an even spread
// of keys and scaled to all keys, to keep a run short. Scaling also scales
// the fixed part of a save, so every size measured by default is done whole.
constexpr int kFullWorkKeys = 100000;
constexpr int kSampledReads = 10000;
constexpr int kSampledChanges = 10000;

std::wstring Wide(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

// Names and values of key i; the program under wine builds the same ones.
std::string SectionOf(int i)
{
    return "Section" + std::to_string(i / kKeysPerSection);
}
std::string KeyOf(int i)
{
    return "Key" + std::to_string(i % kKeysPerSection);
}
std::string ValueOf(int i)
{
    return "value " + std::to_string(i) + " of the settings";
}
std::string ChangedOf(int i)
{
    return "changed " + std::to_string(i) + " of the settings";
}
std::string AddedKeyOf(int j)
{
    return "Added" + std::to_string(j);
}

struct Names {
    std::vector<std::string> sections, keys, values, changed;
    std::vector<CString> wsections, wkeys, wvalues, wchanged;
    std::vector<std::string> addSections, addKeys;
    std::vector<CString> waddSections, waddKeys;
};

Names MakeNames(int keys)
{
    Names n;
    for (int i = 0; i < keys; ++i) {
        n.sections.push_back(SectionOf(i));
        n.keys.push_back(KeyOf(i));
        n.values.push_back(ValueOf(i));
        n.changed.push_back(ChangedOf(i));
        n.wsections.emplace_back(Wide(n.sections.back()).c_str());
        n.wkeys.emplace_back(Wide(n.keys.back()).c_str());
        n.wvalues.emplace_back(Wide(n.values.back()).c_str());
        n.wchanged.emplace_back(Wide(n.changed.back()).c_str());
    }
    // Added keys go into sections spread over the whole file.
    const int sections = (keys + kKeysPerSection - 1) / kKeysPerSection;
    for (int j = 0; j < kAddedKeys; ++j) {
        n.addSections.push_back("Section" + std::to_string(static_cast<long>(j) * sections / kAddedKeys));
        n.addKeys.push_back(AddedKeyOf(j));
        n.waddSections.emplace_back(Wide(n.addSections.back()).c_str());
        n.waddKeys.emplace_back(Wide(n.addKeys.back()).c_str());
    }
    return n;
}

std::string IniText(const Names& n)
{
    std::string text;
    for (std::size_t i = 0; i < n.keys.size(); ++i) {
        if (i % kKeysPerSection == 0)
            text += "[" + n.sections[i] + "]\r\n";
        text += n.keys[i] + "=" + n.values[i] + "\r\n";
    }
    return text;
}

[[noreturn]] void Fail(const std::string& what)
{
    std::fprintf(stderr, "peers: %s\n", what.c_str());
    std::exit(1);
}

void Expect(bool ok, const std::string& what)
{
    if (!ok)
        Fail(what);
}

// A fresh copy of the original file: a new inode and time stamp, so that no
// parsed copy of the old file is taken for it.
void Restore(const std::string& path, const std::string& bytes)
{
    const CString wide(Wide(path).c_str());
    Expect(zv::os::WriteFileAtomic(wide, bytes.data(), bytes.size()), "cannot write " + path);
}

int WritesFor(int keys)
{
    return std::min(keys, kMaxPerKeyWrites);
}
int SpreadIndex(int n, int writes, int keys)
{
    return static_cast<int>(static_cast<long long>(n) * keys / writes);
}

// The keys timed out of all keys: all of them, or an even spread of count.
std::vector<int> Spread(int keys, int count)
{
    count = std::min(keys, count);
    std::vector<int> picked;
    for (int n = 0; n < count; ++n)
        picked.push_back(SpreadIndex(n, count, keys));
    return picked;
}

Figure Scaled(Figure f, int done, int keys, std::string& note)
{
    f.seconds *= static_cast<double>(keys) / done;
    f.cpuSeconds *= static_cast<double>(keys) / done;
    f.userSeconds *= static_cast<double>(keys) / done;
    note = done < keys ? "timed on " + std::to_string(done) + " of " + std::to_string(keys) + ", scaled" : "";
    return f;
}

void LoadSimple(CSimpleIniA& ini, const std::string& path)
{
    ini.Reset();
    ini.SetUnicode(true);
    const std::string text = Utf16leToUtf8(ReadBytes(path));
    Expect(ini.LoadData(text) == SI_OK, "SimpleIni cannot load " + path);
}

void SaveSimple(CSimpleIniA& ini, const std::string& path)
{
    std::string text;
    Expect(ini.Save(text, false) == SI_OK, "SimpleIni cannot save");
    WriteBytes(path, Utf8ToUtf16le(text));
}

} // namespace

void RunIni(int keys, Recorder& out)
{
    const Names n = MakeNames(keys);
    const std::string original = Utf8ToUtf16le(IniText(n));
    CTqEnvIni* doc = fnTqEnvMgr()->GetEnvIni(CString(L"ini") + CString(std::to_wstring(keys).c_str()), 0, L"peers");
    Expect(doc != nullptr, "no INI document");
    const std::string path = doc->GetPath().ToUtf8();
    Restore(path, original);
    CTqIni ini(doc->GetPath());
    const long size = keys;
    const int last = keys - 1;
    std::size_t sink = 0;

    // Read every key once from a file nobody has read yet.
    const std::vector<int> reads = Spread(keys, keys <= kFullWorkKeys ? keys : kSampledReads);
    const int readCount = static_cast<int>(reads.size());
    std::string note;
    Figure f = Measure([&] { Restore(path, original); },
                       [&] {
                           for (int i : reads)
                               sink += ini.GetString(n.wsections[i], n.wkeys[i], L"").GetLength();
                       });
    f = Scaled(f, readCount, keys, note);
    out.Add(f, "ini", "read_all", "CTqIni", size, note);
    f = Measure(
        [&] {
            Restore(path, original);
            doc->Clear();
        },
        [&] {
            for (int i : reads)
                sink += doc->GetString(n.wsections[i], n.wkeys[i], L"").GetLength();
        });
    f = Scaled(f, readCount, keys, note);
    out.Add(f, "ini", "read_all", "CTqEnvIni", size, note);
    {
        CSimpleIniA simple;
        out.Add(Measure([&] { Restore(path, original); },
                        [&] {
                            LoadSimple(simple, path);
                            for (int i = 0; i < keys; ++i)
                                sink += std::char_traits<char>::length(
                                    simple.GetValue(n.sections[i].c_str(), n.keys[i].c_str(), ""));
                        }),
                "ini", "read_all", "SimpleIni", size);
        Expect(n.values[last] == simple.GetValue(n.sections[last].c_str(), n.keys[last].c_str(), ""),
               "SimpleIni read a wrong value");
    }
    Expect(ini.GetString(n.wsections[last], n.wkeys[last], L"") == n.wvalues[last], "CTqIni read a wrong value");
    Expect(doc->GetString(n.wsections[last], n.wkeys[last], L"") == n.wvalues[last], "CTqEnvIni read a wrong value");

    // One key, the file's last, read many times; the figure is per call.
    auto perCall = [](Figure f, int calls) {
        f.seconds /= calls;
        f.cpuSeconds /= calls;
        f.userSeconds /= calls;
        return f;
    };
    out.Add(perCall(Measure(
                        [&] {
                            Restore(path, original);
                            ini.GetString(n.wsections[last], n.wkeys[last], L"");
                        },
                        [&] {
                            for (int c = 0; c < kReadOneCalls; ++c)
                                sink += ini.GetString(n.wsections[last], n.wkeys[last], L"").GetLength();
                        }),
                    kReadOneCalls),
            "ini", "read_one", "CTqIni", size);
    out.Add(perCall(Measure(
                        [&] {
                            Restore(path, original);
                            doc->Clear();
                            doc->GetString(n.wsections[last], n.wkeys[last], L"");
                        },
                        [&] {
                            for (int c = 0; c < kReadOneCalls; ++c)
                                sink += doc->GetString(n.wsections[last], n.wkeys[last], L"").GetLength();
                        }),
                    kReadOneCalls),
            "ini", "read_one", "CTqEnvIni", size);
    {
        CSimpleIniA simple;
        out.Add(perCall(Measure(
                            [&] {
                                Restore(path, original);
                                LoadSimple(simple, path);
                            },
                            [&] {
                                for (int c = 0; c < kReadOneCalls; ++c)
                                    sink += std::char_traits<char>::length(
                                        simple.GetValue(n.sections[last].c_str(), n.keys[last].c_str(), ""));
                            }),
                        kReadOneCalls),
                "ini", "read_one", "SimpleIni", size);
    }

    // Every key changed and saved. One write per key rewrites the file each
    // time, so at most kMaxPerKeyWrites of them are timed and scaled.
    {
        const int writes = WritesFor(keys);
        f = Measure([&] { Restore(path, original); },
                    [&] {
                        for (int w = 0; w < writes; ++w) {
                            const int i = SpreadIndex(w, writes, keys);
                            ini.WriteString(n.wsections[i], n.wkeys[i], n.wchanged[i]);
                        }
                    },
                    1, 5, 3.0);
        f = Scaled(f, writes, keys, note);
        out.Add(f, "ini", "change_all_save", "CTqIni", size, note);
        Expect(ini.GetString(n.wsections[0], n.wkeys[0], L"") == n.wchanged[0], "CTqIni did not write");
    }
    const std::vector<int> changes = Spread(keys, keys <= kFullWorkKeys ? keys : kSampledChanges);
    f = Measure(
        [&] {
            Restore(path, original);
            doc->Clear();
        },
        [&] {
            for (int i : changes)
                doc->SetString(n.wsections[i], n.wkeys[i], n.wchanged[i]);
            doc->Save();
        });
    f = Scaled(f, static_cast<int>(changes.size()), keys, note);
    out.Add(f, "ini", "change_all_save", "CTqEnvIni", size, note);
    Expect(ini.GetString(n.wsections[changes.back()], n.wkeys[changes.back()], L"") == n.wchanged[changes.back()],
           "CTqEnvIni did not save");
    {
        CSimpleIniA simple;
        out.Add(Measure(
                    [&] {
                        Restore(path, original);
                        LoadSimple(simple, path);
                    },
                    [&] {
                        for (int i = 0; i < keys; ++i)
                            simple.SetValue(n.sections[i].c_str(), n.keys[i].c_str(), n.changed[i].c_str());
                        SaveSimple(simple, path);
                    }),
                "ini", "change_all_save", "SimpleIni", size);
        Expect(ini.GetString(n.wsections[last], n.wkeys[last], L"") == n.wchanged[last], "SimpleIni did not save");
    }

    // New keys added to sections spread over the file, and saved.
    {
        const int writes = std::min(kAddedKeys, kMaxPerKeyWrites);
        f = Measure([&] { Restore(path, original); },
                    [&] {
                        for (int w = 0; w < writes; ++w) {
                            const int j = SpreadIndex(w, writes, kAddedKeys);
                            ini.WriteString(n.waddSections[j], n.waddKeys[j], n.wvalues[j]);
                        }
                    },
                    1, 5, 3.0);
        f = Scaled(f, writes, kAddedKeys, note);
        out.Add(f, "ini", "add_save", "CTqIni", size, note);
    }
    out.Add(Measure(
                [&] {
                    Restore(path, original);
                    doc->Clear();
                },
                [&] {
                    for (int j = 0; j < kAddedKeys; ++j)
                        doc->SetString(n.waddSections[j], n.waddKeys[j], n.wvalues[j]);
                    doc->Save();
                }),
            "ini", "add_save", "CTqEnvIni", size);
    Expect(ini.GetString(n.waddSections[kAddedKeys - 1], n.waddKeys[kAddedKeys - 1], L"") == n.wvalues[kAddedKeys - 1],
           "CTqEnvIni did not add");
    {
        CSimpleIniA simple;
        out.Add(Measure(
                    [&] {
                        Restore(path, original);
                        LoadSimple(simple, path);
                    },
                    [&] {
                        for (int j = 0; j < kAddedKeys; ++j)
                            simple.SetValue(n.addSections[j].c_str(), n.addKeys[j].c_str(), n.values[j].c_str());
                        SaveSimple(simple, path);
                    }),
                "ini", "add_save", "SimpleIni", size);
        Expect(ini.GetString(n.waddSections[kAddedKeys - 1], n.waddKeys[kAddedKeys - 1], L"") ==
                   n.wvalues[kAddedKeys - 1],
               "SimpleIni did not add");
    }
    // Every key added, section by section, to a file that does not exist
    // yet, and saved. (One profile write per key would rewrite the growing
    // file every time; it is not timed here.)
    out.Add(Measure(
                [&] {
                    zv::os::RemoveFile(doc->GetPath());
                    doc->Clear();
                },
                [&] {
                    for (int i = 0; i < keys; ++i)
                        doc->SetString(n.wsections[i], n.wkeys[i], n.wvalues[i]);
                    doc->Save();
                }),
            "ini", "add_new", "CTqEnvIni", size);
    Expect(ReadBytes(path) == original, "CTqEnvIni did not write the file the keys make");
    {
        CSimpleIniA simple;
        out.Add(Measure(
                    [&] {
                        zv::os::RemoveFile(doc->GetPath());
                        simple.Reset();
                        simple.SetUnicode(true);
                    },
                    [&] {
                        for (int i = 0; i < keys; ++i)
                            simple.SetValue(n.sections[i].c_str(), n.keys[i].c_str(), n.values[i].c_str());
                        SaveSimple(simple, path);
                    }),
                "ini", "add_new", "SimpleIni", size);
        Expect(ini.GetString(n.wsections[last], n.wkeys[last], L"") == n.wvalues[last], "SimpleIni did not add");
    }
    doc->Clear();
    Restore(path, original);
    if (sink == 0)
        Fail("nothing was read");
}

void RunIniValue(long length, Recorder& out)
{
    // One key's value of that many characters among a few short keys.
    std::string text = "[Before]\r\nk=1\r\n[Big]\r\nfirst=1\r\nvalue=";
    text.reserve(text.size() + static_cast<std::size_t>(length) + 64);
    for (long i = 0; i < length; ++i)
        text += static_cast<char>('a' + i % 26);
    text += "\r\nlast=2\r\n";
    const std::string original = Utf8ToUtf16le(text);
    CTqEnvIni* doc = fnTqEnvMgr()->GetEnvIni(L"value", 0, L"peers");
    Expect(doc != nullptr, "no INI document");
    const std::string path = doc->GetPath().ToUtf8();
    CTqIni ini(doc->GetPath());
    std::size_t sink = 0;
    out.Add(Measure([&] { Restore(path, original); }, [&] { sink += ini.GetString(L"Big", L"value").GetLength(); }),
            "inivalue", "read", "CTqIni", length);
    out.Add(Measure(
                [&] {
                    Restore(path, original);
                    doc->Clear();
                },
                [&] { sink += doc->GetString(L"Big", L"value", L"").GetLength(); }),
            "inivalue", "read", "CTqEnvIni", length);
    {
        CSimpleIniA simple;
        out.Add(Measure([&] { Restore(path, original); },
                        [&] {
                            LoadSimple(simple, path);
                            sink += std::char_traits<char>::length(simple.GetValue("Big", "value", ""));
                        }),
                "inivalue", "read", "SimpleIni", length);
    }
    Expect(sink > 0 && sink % static_cast<std::size_t>(length) == 0, "a read gave a wrong length");
    Expect(ini.GetString(L"Big", L"value").GetLength() == length, "CTqIni read a wrong length");
    doc->Clear();
}

// The file the program under wine works on: the same bytes as above.
void WriteIniFile(int keys, const std::string& path)
{
    const Names n = MakeNames(keys);
    WriteBytes(path, Utf8ToUtf16le(IniText(n)));
}

} // namespace peers

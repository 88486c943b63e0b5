#include "EnvIniTestUtil.h"

#include <zvenv/platform/Os.h>

#include <functional>

using namespace envinitest;

namespace {

TEST_F(EnvIniTest, SaveLayoutOfValuesOrderedAndTreeArraysMatchesTheGoldenFiles)
{
    Seed(L"; shipped settings\r\n[Main]\r\nb=2\r\n[List]\r\nold=1\r\n[Empty]\r\n[Tree]\r\nstale=1\r\n");
    doc.SetString(L"Main", L"a", L"1");
    doc.SetInt(L"Main", L"n", -7);
    doc.SetDouble(L"Main", L"d", 0.5);
    CPoint p(3, 4);
    doc.SetPoint(L"Main", L"p", p);
    doc.SetString(L"Main", L"e", L"");
    CStringArray list = Array({L"x", L"y"}), tree = Array({L"a|b", L"c"});
    doc.SetOrderArray(L"List", list, L"Item%d", 1);
    doc.SetTreeArray(L"Tree", tree, L"", L"|");
    doc.Save();
    EXPECT_EQ(zvtest::ReadFile(path), zvtest::ReadFile(ZV_ENVINI_GOLDEN "/save_layout.ini"));
    doc.Save();
    EXPECT_EQ(zvtest::ReadFile(path), zvtest::ReadFile(ZV_ENVINI_GOLDEN "/save_layout_again.ini"));
}

// Dirty still, so the next SaveAll tries again. (A read-only file: Faults.ReadOnlyFilesAreNotReplaced.)
TEST_F(EnvIniTest, SaveThatCannotWriteLeavesTheFileAndTheDocumentDirty)
{
    zvtest::MakeFolders(path); // a folder where the file should be
    const std::pair<std::string, unsigned long> places[] = {{path, zvtest::kErrorIsFolder},
                                                            {dir / "no/such/folder/x.ini", zvtest::kErrorNoFolder}};
    for (const auto& [at, error] : places) {
        CTqEnvIni d;
        BindPath(d, at);
        d.SetString(L"S", L"k", L"2");
        d.Save();
        EXPECT_EQ(d.IsDirty(), 1) << at;
        EXPECT_EQ(zv::os::GetLastError(), error) << at;
        EXPECT_EQ(d.GetString(L"S", L"k", L""), CString(L"2")) << "the cache is kept";
    }
    EXPECT_FALSE(zvtest::PathExists(dir / "no"));
}

// The document reads or sets, another program sets section/key (deletes it for
// a null value), the document sets S/j and saves.
struct Interleaving {
    const char* name;
    std::wstring seed;
    std::function<void(CTqEnvIni&)> first;
    const wchar_t *section, *key, *value;
    std::wstring expected;
};

TEST_F(EnvIniTest, SaveWritesOnlyChangesOverAnotherProgramsChanges)
{
    CStringArray items;
    const auto readK = [](CTqEnvIni& d) { d.GetInt(L"S", L"k", 0); };
    const auto readList = [&](CTqEnvIni& d) { d.GetOrderArray(L"L", items, L"", L"I%d", 0); };
    const auto readM = [](CTqEnvIni& d) { d.GetString(L"S", L"m", L"7"); };
    const auto setK = [](CTqEnvIni& d) { d.SetInt(L"S", L"k", 5); };
    const auto thenSave = [](std::function<void(CTqEnvIni&)> first) {
        return [first](CTqEnvIni& d) {
            first(d);
            d.Save();
        };
    };
    const Interleaving cases[] = {
        {"a value read and changed by the other keeps the other's", L"[S]\r\nk=1\r\n", readK, L"S", L"k", L"2",
         L"[S]\r\nk=2\r\nj=9\r\n"},
        {"a default of a missing key is not written over the other's key", L"[S]\r\n", readM, L"S", L"m", L"3",
         L"[S]\r\nm=3\r\nj=9\r\n"},
        {"a value read and deleted by the other stays deleted", L"[S]\r\nk=1\r\nx=0\r\n", readK, L"S", L"k", nullptr,
         L"[S]\r\nx=0\r\nj=9\r\n"},
        {"a value set through the document wins", L"[S]\r\nk=1\r\n", setK, L"S", L"k", L"2", L"[S]\r\nk=5\r\nj=9\r\n"},
        {"a value the document saved is its own only until saved", L"[S]\r\n", thenSave(setK), L"S", L"k", L"2",
         L"[S]\r\nk=2\r\nj=9\r\n"},
        {"a default the document saved stays deleted when the other deletes it", L"[S]\r\n", thenSave(readM), L"S",
         L"m", nullptr, L"[S]\r\nj=9\r\n"},
        {"a value written through is not written back over the other's", L"[S]\r\n",
         [](CTqEnvIni& d) { d.SetString(L"S", L"k", L"5", 1); }, L"S", L"k", L"2", L"[S]\r\nk=2\r\nj=9\r\n"},
        {"what was read of another file is the document's own", L"[S]\r\nk=1\r\n",
         [&](CTqEnvIni& d) {
             readK(d);
             BindPath(d, dir / "other.ini");
             BindPath(d, path);
         },
         L"S", L"k", L"2", L"[S]\r\nk=1\r\nj=9\r\n"},
        {"an ordered array read and changed by the other keeps the other's elements",
         L"[L]\r\ncount=2\r\nI0=a\r\nI1=b\r\n[S]\r\n", readList, L"L", L"I1", L"B",
         L"[L]\r\ncount=2\r\nI0=a\r\nI1=B\r\n[S]\r\nj=9\r\n"},
        {"a tree array read and changed in a sub-section keeps the other's part",
         L"[T]\r\ncount=1\r\n0=T_0\r\n[T_0]\r\ncount=1\r\n0=a\r\n[S]\r\n",
         [&](CTqEnvIni& d) { d.GetTreeArray(L"T", items, L"", L"|"); }, L"T_0", L"0", L"A",
         L"[T]\r\ncount=1\r\n0=T_0\r\n[T_0]\r\ncount=1\r\n0=A\r\n[S]\r\nj=9\r\n"},
        {"an unchanged number read is written in the document's form", L"[S]\r\nk= 05\r\n", readK, nullptr, nullptr,
         nullptr, L"[S]\r\nk=5\r\nj=9\r\n"},
        {"a default of a key still missing is written", L"[S]\r\n", readM, nullptr, nullptr, nullptr,
         L"[S]\r\nm=7\r\nj=9\r\n"},
        {"an unchanged ordered array read is written afresh at the end", L"[L]\r\ncount=1\r\nI0=a\r\n[S]\r\n", readList,
         nullptr, nullptr, nullptr, L"[S]\r\nj=9\r\n[L]\r\ncount=1\r\nI0=a\r\n"},
        {"a section of values and an ordered array holds only the array", L"[S]\r\nold=1\r\n",
         [&](CTqEnvIni& d) {
             items.RemoveAll();
             items.Add(L"e");
             d.SetOrderArray(L"S", items, L"E%d", 0);
         },
         nullptr, nullptr, nullptr, L"[S]\r\ncount=1\r\nE0=e\r\n"},
    };
    for (const Interleaving& c : cases) {
        zv::ClearProfileCache();
        Seed(c.seed);
        const auto d = Again();
        c.first(*d);
        const CTqIni other(W(path).c_str());
        if (c.section)
            c.value ? other.WriteString(c.section, c.key, c.value) : other.DeleteKey(c.section, c.key);
        d->SetInt(L"S", L"j", 9);
        d->Save();
        EXPECT_EQ(Text(), c.expected) << c.name;
        EXPECT_EQ(d->IsDirty(), 0) << c.name;
    }
}

} // namespace

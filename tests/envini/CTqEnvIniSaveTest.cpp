#include "EnvIniTestUtil.h"

#include <zvenv/platform/Os.h>

#include <functional>
#include <vector>

using namespace envinitest;

namespace {

std::string Golden(const std::string& name)
{
    return zvtest::ReadFile(std::string(ZV_ENVINI_GOLDEN) + "/" + name);
}

using EnvIniSave = EnvIniTest;

TEST_F(EnvIniSave, LayoutOfPlainValuesOrderedAndTreeArraysMatchesTheGoldenFile)
{
    Seed(L"; shipped settings\r\n[Main]\r\nb=2\r\n[List]\r\nold=1\r\n[Empty]\r\n[Tree]\r\nstale=1\r\n");
    doc.SetString(L"Main", L"a", L"1");
    doc.SetInt(L"Main", L"n", -7);
    doc.SetDouble(L"Main", L"d", 0.5);
    CPoint p(3, 4);
    doc.SetPoint(L"Main", L"p", p);
    CStringArray list = Array({L"x", L"y"}), tree = Array({L"a|b", L"c"});
    doc.SetOrderArray(L"List", list, L"Item%d", 1);
    doc.SetTreeArray(L"Tree", tree, L"", L"|");
    doc.Save();
    EXPECT_EQ(zvtest::ReadFile(path), Golden("save_layout.ini"));
    // Saving again rewrites the array sections at the end, after the
    // sub-sections that are overwritten in place.
    doc.Save();
    EXPECT_EQ(zvtest::ReadFile(path), Golden("save_layout_again.ini"));

    // A shrunk tree array leaves its former sub-sections in the file.
    CTqEnvIni shrinking;
    BindPath(shrinking, dir / "tree.ini");
    CStringArray three = Array({L"a|b", L"c", L"d"}), two = Array({L"a", L"c"});
    shrinking.SetTreeArray(L"Tree", three, L"", L"|");
    shrinking.Save();
    shrinking.SetTreeArray(L"Tree", two, L"", L"|");
    shrinking.Save();
    EXPECT_EQ(zvtest::ReadFile(dir / "tree.ini"), Golden("tree_shrunk.ini"));
}

TEST_F(EnvIniSave, SectionUsedForPlainValuesAndAnOrderedArrayHoldsOnlyTheArray)
{
    Seed(L"[Both]\r\nold=1\r\n");
    doc.SetString(L"Both", L"plain", L"v");
    CStringArray items = Array({L"e"});
    doc.SetOrderArray(L"Both", items, L"E%d", 0);
    EXPECT_EQ(Saved(), L"[Both]\r\ncount=1\r\nE0=e\r\n");
}

TEST_F(EnvIniSave, CleanDocumentWritesEveryCachedValueAndNoFileForNothingCached)
{
    doc.SetDirty(1);
    doc.Save();
    EXPECT_FALSE(zvtest::PathExists(path));
    EXPECT_EQ(doc.IsDirty(), 0);
    Seed(L"[S]\r\nk=1\r\n");
    EXPECT_EQ(doc.GetInt(L"S", L"k", 0), 1);
    EXPECT_EQ(doc.GetInt(L"S", L"missing", 7), 7);
    EXPECT_EQ(Saved(), L"[S]\r\nk=1\r\nmissing=7\r\n") << "a default read once is written";
}

TEST_F(EnvIniSave, NewFileIsUtf16AndAnExistingFileKeepsItsEncoding)
{
    doc.SetString(L"S", L"k", L"\u00e9\U0001F600");
    doc.Save();
    EXPECT_EQ(zvtest::ReadFile(path), zvtest::Utf16(L"[S]\r\nk=\u00e9\U0001F600\r\n"));
    const std::string utf8 = dir / "utf8.ini";
    zvtest::WriteFile(utf8, "[S]\nold=1\n");
    CTqEnvIni other;
    BindPath(other, utf8);
    other.SetString(L"S", L"k", L"\u00e9");
    other.Save();
    EXPECT_EQ(zvtest::ReadFile(utf8), "[S]\nold=1\nk=\xC3\xA9\n");
}

TEST_F(EnvIniSave, OneBatchGivesTheBytesOfTheSingleWrites)
{
    const std::wstring seed = L"[Main]\r\nz=0\r\n[List]\r\nq=1\r\n[Tree_1]\r\ncount=5\r\n0=keep\r\n9=tail\r\n";
    const std::string single = dir / "single.ini";
    Seed(seed);
    zvtest::WriteFile(single, zvtest::Utf16(seed));
    CTqIni ini(W(single).c_str());
    for (int i = 0; i < 20; ++i)
        doc.SetInt(i % 2 ? L"Main" : L"Second", CString(std::to_wstring(i)), i * 3);
    for (const wchar_t* section : {L"Second", L"Main"})
        for (int i = section[0] == L'M'; i < 20; i += 2)
            ini.WriteString(section, std::to_wstring(i).c_str(), std::to_wstring(i * 3).c_str());
    CStringArray list = Array({L"x", L"y"}), tree = Array({L"a|b|c", L"", L"d||e"});
    doc.SetOrderArray(L"List", list, L"Item%d", 4);
    doc.SetTreeArray(L"Tree", tree, L"", L"|");
    doc.Save();

    // The same writes, one profile-file write each, on a copy of the seed.
    const std::vector<std::vector<const wchar_t*>> writes = {
        {L"List", L"count", L"2"},   {L"List", L"Item4", L"x"},   {L"List", L"Item5", L"y"},
        {L"Tree", L"count", L"3"},   {L"Tree", L"0", L"Tree_0"},  {L"Tree_0", L"count", L"3"},
        {L"Tree_0", L"0", L"a"},     {L"Tree_0", L"1", L"b"},     {L"Tree_0", L"2", L"c"},
        {L"Tree", L"1", L"Tree_1"},  {L"Tree_1", L"count", L"0"}, {L"Tree", L"2", L"Tree_2"},
        {L"Tree_2", L"count", L"3"}, {L"Tree_2", L"0", L"d"},     {L"Tree_2", L"1", L""},
        {L"Tree_2", L"2", L"e"},
    };
    for (const auto& write : writes) {
        if (write[1] == std::wstring(L"count") &&
            (write[0] == std::wstring(L"List") || write[0] == std::wstring(L"Tree")))
            ini.DeleteSection(write[0]);
        ini.WriteString(write[0], write[1], write[2]);
    }
    EXPECT_EQ(zvtest::ReadFile(path), zvtest::ReadFile(single));
}

// A save that cannot write keeps the document dirty, so the next SaveAll
// tries again, and the system's reason is the last error. (A read-only file
// is Faults.ReadOnlyFilesAreNotReplaced, through the manager.)
TEST_F(EnvIniSave, SaveThatCannotWriteLeavesTheFileAndTheDocumentDirty)
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

// What was read belongs to the file it came from: bound to another file (a
// user switch of the setting document), the document writes every cached
// value there, as it always did.
TEST_F(EnvIniSave, DocumentBoundToAnotherFileWritesEverythingItHolds)
{
    Seed(L"[S]\r\nk=1\r\n");
    EXPECT_EQ(doc.GetInt(L"S", L"k", 0), 1);
    EXPECT_EQ(doc.GetInt(L"S", L"m", 7), 7);
    const std::string other = dir / "other.ini";
    zvtest::WriteFile(other, zvtest::Utf16(L"[S]\r\nk=2\r\nm=3\r\n"));
    BindPath(doc, other);
    doc.Save();
    EXPECT_EQ(FileText(other), L"[S]\r\nk=1\r\nm=7\r\n");
}

// The document reads or changes the file, another program changes it (sets
// section/key to value, or deletes it for a null value), the document sets
// S/j and saves: what was set through the document is written; what it only
// read is written only where the file still holds it.
struct Interleaving {
    const char* name;
    std::wstring seed;
    std::function<void(CTqEnvIni&)> first;
    const wchar_t* section;
    const wchar_t* key;
    const wchar_t* value;
    std::wstring expected;
};

TEST_F(EnvIniSave, OnlyChangesAreWrittenOverAnotherProgramsChanges)
{
    CStringArray items;
    const auto readK = [](CTqEnvIni& d) { d.GetInt(L"S", L"k", 0); };
    const auto readList = [&](CTqEnvIni& d) { d.GetOrderArray(L"L", items, L"", L"I%d", 0); };
    const Interleaving cases[] = {
        {"a value read and changed by the other keeps the other's", L"[S]\r\nk=1\r\n", readK, L"S", L"k", L"2",
         L"[S]\r\nk=2\r\nj=9\r\n"},
        {"a default of a missing key is not written over the other's key", L"[S]\r\n",
         [](CTqEnvIni& d) { d.GetString(L"S", L"m", L"7"); }, L"S", L"m", L"3", L"[S]\r\nm=3\r\nj=9\r\n"},
        {"a value read and deleted by the other stays deleted", L"[S]\r\nk=1\r\nx=0\r\n", readK, L"S", L"k", nullptr,
         L"[S]\r\nx=0\r\nj=9\r\n"},
        {"a value set through the document wins", L"[S]\r\nk=1\r\n", [](CTqEnvIni& d) { d.SetInt(L"S", L"k", 5); },
         L"S", L"k", L"2", L"[S]\r\nk=5\r\nj=9\r\n"},
        {"a value the document saved is its own only until saved", L"[S]\r\n",
         [](CTqEnvIni& d) {
             d.SetInt(L"S", L"k", 5);
             d.Save();
         },
         L"S", L"k", L"2", L"[S]\r\nk=2\r\nj=9\r\n"},
        {"a default the document saved stays deleted when the other deletes it", L"[S]\r\n",
         [](CTqEnvIni& d) {
             d.GetString(L"S", L"m", L"7");
             d.Save();
         },
         L"S", L"m", nullptr, L"[S]\r\nj=9\r\n"},
        {"a value written through is not written back over the other's", L"[S]\r\n",
         [](CTqEnvIni& d) { d.SetString(L"S", L"k", L"5", 1); }, L"S", L"k", L"2", L"[S]\r\nk=2\r\nj=9\r\n"},
        {"an ordered array read and changed by the other keeps the other's elements",
         L"[L]\r\ncount=2\r\nI0=a\r\nI1=b\r\n[S]\r\n", readList, L"L", L"I1", L"B",
         L"[L]\r\ncount=2\r\nI0=a\r\nI1=B\r\n[S]\r\nj=9\r\n"},
        {"a tree array read and changed in a sub-section keeps the other's part",
         L"[T]\r\ncount=1\r\n0=T_0\r\n[T_0]\r\ncount=1\r\n0=a\r\n[S]\r\n",
         [&](CTqEnvIni& d) { d.GetTreeArray(L"T", items, L"", L"|"); }, L"T_0", L"0", L"A",
         L"[T]\r\ncount=1\r\n0=T_0\r\n[T_0]\r\ncount=1\r\n0=A\r\n[S]\r\nj=9\r\n"},
        // Where the file still holds what was read, the save is the one it always was.
        {"an unchanged number read is written in the document's form", L"[S]\r\nk= 05\r\n", readK, nullptr, nullptr,
         nullptr, L"[S]\r\nk=5\r\nj=9\r\n"},
        {"an unchanged ordered array read is written afresh at the end", L"[L]\r\ncount=1\r\nI0=a\r\n[S]\r\n", readList,
         nullptr, nullptr, nullptr, L"[S]\r\nj=9\r\n[L]\r\ncount=1\r\nI0=a\r\n"},
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

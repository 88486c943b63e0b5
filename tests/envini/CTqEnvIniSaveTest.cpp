#include "EnvIniTestUtil.h"

#include <zvenv/platform/Os.h>

#include <cerrno>
#include <functional>
#include <sys/stat.h>
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
    CStringArray list = Array({L"x", L"y"});
    doc.SetOrderArray(L"List", list, L"Item%d", 1);
    CStringArray tree = Array({L"a|b", L"c"});
    doc.SetTreeArray(L"Tree", tree, L"", L"|");
    doc.Save();
    EXPECT_EQ(zvtest::ReadFile(path), Golden("save_layout.ini"));
    EXPECT_EQ(doc.IsDirty(), 0);

    // Saving again rewrites the array sections at the end, after the
    // sub-sections that are overwritten in place.
    doc.Save();
    EXPECT_EQ(zvtest::ReadFile(path), Golden("save_layout_again.ini"));
}

TEST_F(EnvIniSave, ShrunkTreeArrayLeavesItsFormerSubSectionsInTheFile)
{
    CStringArray three = Array({L"a|b", L"c", L"d"});
    doc.SetTreeArray(L"Tree", three, L"", L"|");
    doc.Save();
    CStringArray two = Array({L"a", L"c"});
    doc.SetTreeArray(L"Tree", two, L"", L"|");
    doc.Save();
    EXPECT_EQ(zvtest::ReadFile(path), Golden("tree_shrunk.ini"));
}

TEST_F(EnvIniSave, SectionUsedForPlainValuesAndAnOrderedArrayHoldsOnlyTheArray)
{
    Seed(L"[Both]\r\nold=1\r\n");
    doc.SetString(L"Both", L"plain", L"v");
    CStringArray items = Array({L"e"});
    doc.SetOrderArray(L"Both", items, L"E%d", 0);
    doc.Save();
    EXPECT_EQ(Text(), L"[Both]\r\ncount=1\r\nE0=e\r\n");
}

TEST_F(EnvIniSave, CleanDocumentStillWritesEveryCachedValue)
{
    Seed(L"[S]\r\nk=1\r\n");
    EXPECT_EQ(doc.GetInt(L"S", L"k", 0), 1);
    EXPECT_EQ(doc.GetInt(L"S", L"missing", 7), 7);
    EXPECT_EQ(doc.IsDirty(), 0);
    doc.Save();
    EXPECT_EQ(Text(), L"[S]\r\nk=1\r\nmissing=7\r\n") << "a default read once is written";
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
    Seed(L"[Main]\r\nz=0\r\n[List]\r\nq=1\r\n[Tree_1]\r\ncount=5\r\n0=keep\r\n9=tail\r\n");
    for (int i = 0; i < 50; ++i)
        doc.SetInt(i % 2 ? L"Main" : L"Second", CString(std::to_wstring(i)), i * 3);
    CStringArray list = Array({L"x", L"y", L"z"});
    doc.SetOrderArray(L"List", list, L"Item%d", 4);
    CStringArray tree = Array({L"a|b|c", L"", L"d||e"});
    doc.SetTreeArray(L"Tree", tree, L"", L"|");
    doc.Save();

    // The same writes, one profile-file write each, on a copy of the seed.
    const std::string single = dir / "single.ini";
    zvtest::WriteFile(single,
                      zvtest::Utf16(L"[Main]\r\nz=0\r\n[List]\r\nq=1\r\n[Tree_1]\r\ncount=5\r\n0=keep\r\n9=tail\r\n"));
    CTqIni ini(W(single).c_str());
    for (const wchar_t* section : {L"Second", L"Main"})
        for (int i = 0; i < 50; ++i)
            if ((i % 2 != 0) == (section[0] == L'M')) {
                ini.WriteString(section, std::to_wstring(i).c_str(), std::to_wstring(i * 3).c_str());
            }
    ini.DeleteSection(L"List");
    ini.WriteString(L"List", L"count", L"3");
    ini.WriteString(L"List", L"Item4", L"x");
    ini.WriteString(L"List", L"Item5", L"y");
    ini.WriteString(L"List", L"Item6", L"z");
    ini.DeleteSection(L"Tree");
    ini.WriteString(L"Tree", L"count", L"3");
    const std::vector<std::vector<std::wstring>> parts = {{L"a", L"b", L"c"}, {}, {L"d", L"", L"e"}};
    for (int i = 0; i < 3; ++i) {
        const std::wstring sub = L"Tree_" + std::to_wstring(i);
        ini.WriteString(L"Tree", std::to_wstring(i).c_str(), sub.c_str());
        ini.WriteString(sub.c_str(), L"count", std::to_wstring(parts[i].size()).c_str());
        for (std::size_t j = 0; j < parts[i].size(); ++j)
            ini.WriteString(sub.c_str(), std::to_wstring(j).c_str(), parts[i][j].c_str());
    }
    EXPECT_EQ(zvtest::ReadFile(path), zvtest::ReadFile(single));
}

// A save that cannot write keeps the document dirty, so the next SaveAll
// tries again, and the system's reason is the last error.
TEST_F(EnvIniSave, SaveThatCannotWriteLeavesTheFileAndTheDocumentDirty)
{
    zvtest::MakeFolders(path); // a folder where the file should be
    doc.SetString(L"S", L"k", L"2");
    doc.Save();
    EXPECT_EQ(zvtest::ReadFile(path), "");
    EXPECT_EQ(doc.IsDirty(), 1);
    EXPECT_EQ(zv::os::GetLastError(), static_cast<unsigned long>(EISDIR));
    EXPECT_EQ(doc.GetString(L"S", L"k", L""), CString(L"2")) << "the cache is kept";

    CTqEnvIni lost;
    BindPath(lost, dir / "no/such/folder/x.ini");
    lost.SetString(L"S", L"k", L"v");
    lost.Save();
    EXPECT_EQ(lost.IsDirty(), 1);
    EXPECT_EQ(zv::os::GetLastError(), static_cast<unsigned long>(ENOENT));
    EXPECT_FALSE(zvtest::PathExists(dir / "no"));

    const std::string readOnly = dir / "ro.ini";
    zvtest::WriteFile(readOnly, zvtest::Utf16(L"[S]\r\nk=1\r\n"));
    chmod(readOnly.c_str(), 0444);
    CTqEnvIni protectedDoc;
    BindPath(protectedDoc, readOnly);
    protectedDoc.SetString(L"S", L"k", L"2");
    protectedDoc.Save();
    EXPECT_EQ(protectedDoc.IsDirty(), 1);
    EXPECT_EQ(zv::os::GetLastError(), static_cast<unsigned long>(EACCES));
    EXPECT_EQ(FileText(readOnly), L"[S]\r\nk=1\r\n");
    chmod(readOnly.c_str(), 0644);
    protectedDoc.Save();
    EXPECT_EQ(protectedDoc.IsDirty(), 0) << "the next save goes through";
    EXPECT_EQ(FileText(readOnly), L"[S]\r\nk=2\r\n");
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

TEST_F(EnvIniSave, DocumentWithNothingCachedDoesNotCreateAFile)
{
    doc.SetDirty(1);
    doc.Save();
    EXPECT_FALSE(zvtest::PathExists(path));
    EXPECT_EQ(doc.IsDirty(), 0);
}

} // namespace

namespace {

// The document reads or changes the file, another program changes it, the
// document does more and saves: what was set through the document is
// written; what it only read is written only where the file still holds it.
struct Interleaving {
    const char* name;
    std::wstring seed;
    std::function<void(CTqEnvIni&)> first;
    std::function<void(const CTqIni&)> other;
    std::function<void(CTqEnvIni&)> then;
    std::wstring expected;
};

CStringArray Elements(CTqEnvIni& doc, const wchar_t* section)
{
    CStringArray items;
    doc.GetOrderArray(section, items, L"", L"I%d", 0);
    return items;
}

TEST_F(EnvIniSave, OnlyChangesAreWrittenOverAnotherProgramsChanges)
{
    const auto setJ = [](CTqEnvIni& d) { d.SetInt(L"S", L"j", 9); };
    const std::vector<Interleaving> cases = {
        {"a value read and changed by the other program keeps the other's value", L"[S]\r\nk=1\r\n",
         [](CTqEnvIni& d) { d.GetInt(L"S", L"k", 0); }, [](const CTqIni& o) { o.WriteString(L"S", L"k", L"2"); }, setJ,
         L"[S]\r\nk=2\r\nj=9\r\n"},
        {"a default of a missing key is not written over the other's key", L"[S]\r\n",
         [](CTqEnvIni& d) { d.GetString(L"S", L"m", L"7"); }, [](const CTqIni& o) { o.WriteString(L"S", L"m", L"3"); },
         setJ, L"[S]\r\nm=3\r\nj=9\r\n"},
        {"a value read and deleted by the other program stays deleted", L"[S]\r\nk=1\r\nx=0\r\n",
         [](CTqEnvIni& d) { d.GetInt(L"S", L"k", 0); }, [](const CTqIni& o) { o.DeleteKey(L"S", L"k"); }, setJ,
         L"[S]\r\nx=0\r\nj=9\r\n"},
        {"a value set through the document wins", L"[S]\r\nk=1\r\n", [](CTqEnvIni& d) { d.SetInt(L"S", L"k", 5); },
         [](const CTqIni& o) { o.WriteString(L"S", L"k", L"2"); }, [](CTqEnvIni&) {}, L"[S]\r\nk=5\r\n"},
        {"a value the document saved is its own only until saved", L"[S]\r\n",
         [](CTqEnvIni& d) {
             d.SetInt(L"S", L"k", 5);
             d.Save();
         },
         [](const CTqIni& o) { o.WriteString(L"S", L"k", L"2"); }, setJ, L"[S]\r\nk=2\r\nj=9\r\n"},
        {"a value written through is not written back over the other's", L"[S]\r\n",
         [](CTqEnvIni& d) { d.SetString(L"S", L"k", L"5", 1); },
         [](const CTqIni& o) { o.WriteString(L"S", L"k", L"2"); }, setJ, L"[S]\r\nk=2\r\nj=9\r\n"},
        {"an ordered array read and changed by the other program keeps the other's elements",
         L"[L]\r\ncount=2\r\nI0=a\r\nI1=b\r\n[S]\r\n", [](CTqEnvIni& d) { Elements(d, L"L"); },
         [](const CTqIni& o) { o.WriteString(L"L", L"I1", L"B"); }, setJ,
         L"[L]\r\ncount=2\r\nI0=a\r\nI1=B\r\n[S]\r\nj=9\r\n"},
        {"a tree array read and changed in a sub-section keeps the other's part",
         L"[T]\r\ncount=1\r\n0=T_0\r\n[T_0]\r\ncount=1\r\n0=a\r\n[S]\r\n",
         [](CTqEnvIni& d) {
             CStringArray items;
             d.GetTreeArray(L"T", items, L"", L"|");
         },
         [](const CTqIni& o) { o.WriteString(L"T_0", L"0", L"A"); }, setJ,
         L"[T]\r\ncount=1\r\n0=T_0\r\n[T_0]\r\ncount=1\r\n0=A\r\n[S]\r\nj=9\r\n"},
        // Where the file still holds what was read, the save is the one it always was.
        {"an unchanged number read is written in the document's form", L"[S]\r\nk= 05\r\n",
         [](CTqEnvIni& d) { d.GetInt(L"S", L"k", 0); }, [](const CTqIni&) {}, setJ, L"[S]\r\nk=5\r\nj=9\r\n"},
        {"an unchanged ordered array read is written afresh at the end", L"[L]\r\ncount=1\r\nI0=a\r\n[S]\r\n",
         [](CTqEnvIni& d) { Elements(d, L"L"); }, [](const CTqIni&) {}, setJ,
         L"[S]\r\nj=9\r\n[L]\r\ncount=1\r\nI0=a\r\n"},
    };
    for (const Interleaving& c : cases) {
        zv::ClearProfileCache();
        Seed(c.seed);
        CTqEnvIni d;
        BindPath(d, path);
        c.first(d);
        c.other(CTqIni(W(path).c_str()));
        c.then(d);
        d.Save();
        EXPECT_EQ(Text(), c.expected) << c.name;
        EXPECT_EQ(d.IsDirty(), 0) << c.name;
    }
}

} // namespace

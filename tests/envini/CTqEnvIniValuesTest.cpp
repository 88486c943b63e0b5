#include <zvenv/CTqEnvSetting.h>

#include "EnvIniTestUtil.h"

#include <chrono>
#include <memory>
#include <ostream>
#include <thread>
#include <typeinfo>

#include <climits>
#include <cstdlib>

using namespace envinitest;

namespace {

using EnvIniCache = EnvIniTest;

TEST_F(EnvIniCache, AFileChangedByAnotherProgramIsSeenOnlyForKeysNotYetRead)
{
    Seed(L"[A]\r\nread=1\r\nunread=2\r\n");
    EXPECT_EQ(doc.GetInt(L"A", L"read", 0), 1);
    // Another program rewrites the file (a different size, so no stale copy).
    Seed(L"[A]\r\nread=100\r\nunread=200\r\n");
    // First reads may take the copy the last check found for a short while.
    std::this_thread::sleep_for(std::chrono::microseconds(zv::ProfileSnapshot::kRecentWindowMicroseconds + 1000));
    EXPECT_EQ(doc.GetInt(L"A", L"read", 0), 1) << "cached values are never re-read";
    EXPECT_EQ(doc.GetInt(L"A", L"unread", 0), 200);
    EXPECT_EQ(doc.GetStringEx(L"A", L"read", L""), CString(L"100")) << "Ex reads the file";
}

// A first read right after another may skip the check of the file, but never
// misses what this process changed: a write through the profile functions,
// another document's save, or a file replaced and the cache cleared.
struct OwnChange {
    const char* name;
    void (*change)(CTqEnvIni& doc, const std::string& path);
};

// Shown by name, so that the tests' names stay the same from build to build.
void PrintTo(const OwnChange& c, std::ostream* os)
{
    *os << c.name;
}

// The file lies in memory where the system offers a folder there: a write's
// sync to a disk can outlast the window and so hide a missed write.
class EnvIniOwnChanges : public ::testing::TestWithParam<OwnChange> {
protected:
    void SetUp() override
    {
        const std::string saved = zvtest::GetEnv("TMPDIR");
        if (zvtest::PathExists("/dev/shm"))
            zvtest::SetEnv("TMPDIR", "/dev/shm");
        dir = std::make_unique<zvtest::TempDir>();
        if (!saved.empty())
            zvtest::SetEnv("TMPDIR", saved);
        else
            zvtest::UnsetEnv("TMPDIR");
        path = *dir / "doc.ini";
        zv::ClearProfileCache();
        BindPath(doc, path);
    }
    std::unique_ptr<zvtest::TempDir> dir;
    std::string path;
    CTqEnvIni doc;
};

TEST_P(EnvIniOwnChanges, AreSeenByTheNextFirstRead)
{
    zvtest::WriteFile(path, zvtest::Utf16(L"[A]\r\nread=1\r\nunread=2\r\n"));
    ASSERT_EQ(doc.GetInt(L"A", L"read", 0), 1);
    GetParam().change(doc, path);
    EXPECT_EQ(doc.GetInt(L"A", L"unread", 0), 200);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EnvIniOwnChanges,
    ::testing::Values(OwnChange{"ProfileWrite",
                                [](CTqEnvIni&, const std::string& path) {
                                    ASSERT_TRUE(CTqIni(W(path).c_str()).WriteString(L"A", L"unread", L"200"));
                                }},
                      OwnChange{"OtherDocumentSaves",
                                [](CTqEnvIni&, const std::string& path) {
                                    CTqEnvIni other;
                                    BindPath(other, path);
                                    other.SetInt(L"A", L"unread", 200);
                                    other.Save();
                                }},
                      OwnChange{"ReplacedAndCleared",
                                [](CTqEnvIni& doc, const std::string& path) {
                                    zvtest::WriteFile(path, zvtest::Utf16(L"[A]\r\nread=100\r\nunread=200\r\n"));
                                    doc.Clear();
                                }}),
    [](const ::testing::TestParamInfo<OwnChange>& info) { return info.param.name; });

TEST_F(EnvIniCache, MissingKeysCacheTheFirstDefault)
{
    EXPECT_EQ(doc.GetString(L"A", L"k", L"d"), CString(L"d"));
    EXPECT_EQ(doc.GetString(L"A", L"k", L"other"), CString(L"d"));
    EXPECT_EQ(doc.GetInt(L"A", L"n", 7), 7);
    EXPECT_EQ(doc.GetInt(L"A", L"n", 9), 7);
    EXPECT_EQ(doc.IsDirty(), 0) << "reading never dirties";
    EXPECT_FALSE(zvtest::PathExists(path)) << "reading never creates the file";
}

TEST_F(EnvIniCache, NamesDifferingInCaseAreTwoEntriesOverOneFileKey)
{
    Seed(L"[A]\r\nk=file\r\n");
    EXPECT_EQ(doc.GetString(L"A", L"k", L""), CString(L"file"));
    doc.SetString(L"A", L"k", L"changed");
    // a/K is its own entry, so it reads the file, not the change above.
    EXPECT_EQ(doc.GetString(L"a", L"K", L""), CString(L"file"));
    EXPECT_EQ(doc.GetString(L"A", L"k", L""), CString(L"changed"));
    doc.SetString(L"a", L"K", L"second");
    doc.Save();
    // Both entries write the one file key; the later section in the map wins.
    EXPECT_EQ(Text(), L"[A]\r\nk=second\r\n");
}

TEST_F(EnvIniCache, DocumentWithoutPathAnswersDefaultsAndWritesNothing)
{
    CTqEnvIni none;
    EXPECT_EQ(none.GetPath(), CString(L""));
    EXPECT_EQ(none.GetString(L"S", L"k", L"d"), CString(L"d"));
    EXPECT_EQ(none.GetInt(L"S", L"n", 3), 3);
    none.SetString(L"S", L"w", L"v", 1);
    none.Save();
    EXPECT_EQ(none.GetString(L"S", L"w", L""), CString(L"v"));
    EXPECT_EQ(none.IsDirty(), 0);
}

TEST_F(EnvIniCache, BinaryGarbageReadsAsDefaultsOrItsTextAndSurvivesASave)
{
    std::string garbage;
    for (int i = 0; i < 4096; ++i)
        garbage += static_cast<char>((i * 7919 + 13) & 0xFF);
    garbage += std::string("\0\0\0[A]\r\nk=1\xFF\xFE\x00", 15);
    zvtest::WriteFile(path, garbage);
    EXPECT_EQ(doc.GetString(L"Nope", L"k", L"d"), CString(L"d"));
    EXPECT_EQ(doc.GetInt(L"Nope", L"n", 5), 5);
    CStringArray items;
    doc.GetOrderArray(L"Nope", items, L"", L"Item%d", 0);
    EXPECT_EQ(items.GetSize(), 0);
    doc.GetTreeArray(L"Nope", items, L"", L"|");
    EXPECT_EQ(items.GetSize(), 0);
    EXPECT_EQ(zvtest::ReadFile(path), garbage) << "reading leaves the file as it is";
    doc.SetString(L"New", L"k", L"v");
    doc.Save();
    CTqEnvIni again;
    BindPath(again, path);
    EXPECT_EQ(again.GetString(L"New", L"k", L""), CString(L"v"));
}

using EnvIniTyped = EnvIniTest;

TEST_F(EnvIniTyped, IntegersReadInBaseTenAndCacheTheirDecimalForm)
{
    Seed(L"[N]\r\nhex=0x10\r\nneg=-5\r\ntail=12abc\r\nbig=99999999999\r\n");
    EXPECT_EQ(doc.GetInt(L"N", L"hex", 9), 0);
    EXPECT_EQ(doc.GetString(L"N", L"hex", L""), CString(L"0"));
    EXPECT_EQ(doc.GetInt(L"N", L"neg", 0), -5);
    EXPECT_EQ(doc.GetInt(L"N", L"tail", 0), 12);
    EXPECT_EQ(doc.GetString(L"N", L"tail", L""), CString(L"12"));
    EXPECT_EQ(doc.GetInt(L"N", L"big", 0), -1) << "the file reader saturates to all ones";
    // Cached text is read as _wtoi does: blanks, sign, digits, saturation.
    doc.SetString(L"N", L"spaced", L"  42xyz");
    doc.SetString(L"N", L"over", L"-99999999999");
    EXPECT_EQ(doc.GetInt(L"N", L"spaced", 1), 42);
    EXPECT_EQ(doc.GetInt(L"N", L"over", 1), INT_MIN);
    doc.SetDirty(1);
    doc.Save();
    CTqEnvIni again;
    BindPath(again, path);
    EXPECT_EQ(again.GetStringEx(L"N", L"hex", L""), CString(L"0"));
    EXPECT_EQ(again.GetStringEx(L"N", L"tail", L""), CString(L"12"));
}

TEST_F(EnvIniTyped, DoublesKeepSixDecimalsOnceCached)
{
    Seed(L"[D]\r\nv=0.1234567\r\ntiny=0.0000004\r\n");
    EXPECT_DOUBLE_EQ(doc.GetDouble(L"D", L"v", 0), 0.1234567) << "the first answer is unrounded";
    EXPECT_DOUBLE_EQ(doc.GetDouble(L"D", L"v", 0), 0.123457);
    EXPECT_EQ(doc.GetString(L"D", L"v", L""), CString(L"0.123457"));
    EXPECT_DOUBLE_EQ(doc.GetDouble(L"D", L"tiny", 1), 0.0000004);
    EXPECT_DOUBLE_EQ(doc.GetDouble(L"D", L"tiny", 1), 0.0);
    doc.SetDouble(L"D", L"set", 2.0);
    EXPECT_EQ(doc.GetString(L"D", L"set", L""), CString(L"2.000000"));
    EXPECT_DOUBLE_EQ(doc.GetDouble(L"D", L"missing", 1.5), 1.5);
    EXPECT_EQ(doc.GetString(L"D", L"missing", L""), CString(L"1.500000"));
}

TEST_F(EnvIniTyped, PointsColoursRectanglesAndSizesRoundTripThroughTheirTextForms)
{
    CPoint p(3, -4);
    CRect r(1, 2, 30, 40);
    CSize s(640, 480);
    doc.SetPoint(L"G", L"p", p);
    doc.SetRGB(L"G", L"c", 0x00336699);
    doc.SetRect(L"G", L"r", r);
    doc.SetSize(L"G", L"s", s);
    doc.Save();
    CTqEnvIni again;
    BindPath(again, path);
    CPoint dp;
    CRect dr;
    CSize ds;
    EXPECT_EQ(again.GetPoint(L"G", L"p", dp), p);
    EXPECT_EQ(again.GetRGB(L"G", L"c", 0), 0x00336699ul);
    EXPECT_EQ(again.GetRect(L"G", L"r", dr), r);
    EXPECT_EQ(again.GetSize(L"G", L"s", ds), s);
    CPoint defPoint(7, 8);
    EXPECT_EQ(again.GetPoint(L"G", L"none", defPoint), defPoint);
    EXPECT_EQ(again.GetString(L"G", L"none", L""), PointToString(defPoint, L",")) << "defaults cache their text form";
}

using EnvIniDirty = EnvIniTest;

TEST_F(EnvIniDirty, FlagFollowsAWholeEditSaveCycle)
{
    Seed(L"[S]\r\nk=1\r\n");
    EXPECT_EQ(doc.IsDirty(), 0);
    doc.GetString(L"S", L"k", L"");
    doc.GetStringEx(L"S", L"k", L"");
    doc.SetStringEx(L"S", L"x", L"ex");
    EXPECT_EQ(doc.IsDirty(), 0) << "getters and the Ex pair leave the flag";
    doc.SetInt(L"S", L"k", 2, 1);
    EXPECT_EQ(doc.IsDirty(), 0) << "write-through leaves the flag";
    doc.SetInt(L"S", L"k", 3);
    EXPECT_EQ(doc.IsDirty(), 1);
    doc.Save();
    EXPECT_EQ(doc.IsDirty(), 0);

    CStringArray items = Array({L"a"});
    doc.SetArray(L"S", L"arr", items, L",", 1);
    EXPECT_EQ(doc.IsDirty(), 0);
    doc.SetArray(L"S", L"arr", items, L",");
    EXPECT_EQ(doc.IsDirty(), 1);
    doc.Save();
    doc.SetOrderArray(L"O", items, L"I%d", 0);
    EXPECT_EQ(doc.IsDirty(), 1);
    doc.Save();
    doc.SetTreeArray(L"T", items, L"", L"|");
    EXPECT_EQ(doc.IsDirty(), 1);
    doc.Save();

    doc.DeleteKey(L"S", L"k");
    EXPECT_EQ(doc.IsDirty(), 1);
    doc.Save();
    doc.DeleteSection(L"NeverRead");
    EXPECT_EQ(doc.IsDirty(), 1) << "DeleteSection always dirties";
    const std::string before = zvtest::ReadFile(path);
    doc.Clear();
    EXPECT_EQ(doc.IsDirty(), 1) << "Clear keeps the flag";
    EXPECT_EQ(doc.GetPath(), CString(W(path)));
    doc.Save();
    EXPECT_EQ(zvtest::ReadFile(path), before) << "nothing cached, nothing written";
}

TEST_F(EnvIniDirty, WriteThroughGoesToTheFileAtOnceAndPlainSettersWaitForSave)
{
    Seed(L"[S]\r\nold=0\r\n");
    doc.SetString(L"S", L"now", L"v", 1);
    EXPECT_EQ(Text(), L"[S]\r\nold=0\r\nnow=v\r\n");
    doc.SetString(L"S", L"later", L"w");
    doc.SetInt(L"S", L"n", 5);
    EXPECT_EQ(Text(), L"[S]\r\nold=0\r\nnow=v\r\n") << "nothing written before Save";
    doc.Save();
    EXPECT_EQ(Text(), L"[S]\r\nold=0\r\nnow=v\r\nlater=w\r\nn=5\r\n");
}

using EnvIniEx = EnvIniTest;

TEST_F(EnvIniEx, SetStringExBypassesTheCacheAndASaveWritesTheOldTextBack)
{
    Seed(L"[S]\r\nk=old\r\n");
    EXPECT_EQ(doc.GetString(L"S", L"k", L""), CString(L"old"));
    doc.SetStringEx(L"S", L"k", L"new");
    EXPECT_EQ(Text(), L"[S]\r\nk=new\r\n");
    EXPECT_EQ(doc.GetString(L"S", L"k", L""), CString(L"old"));
    doc.Save();
    EXPECT_EQ(Text(), L"[S]\r\nk=old\r\n");
}

TEST_F(EnvIniEx, GetStringExIgnoresUnsavedChangesAndCachesNothing)
{
    Seed(L"[S]\r\nk=file\r\n");
    doc.SetString(L"S", L"k", L"memory");
    EXPECT_EQ(doc.GetStringEx(L"S", L"k", L"d"), CString(L"file"));
    EXPECT_EQ(doc.GetStringEx(L"S", L"missing", L"d"), CString(L"d"));
    // Not cached by the Ex read: a later file change is still seen.
    doc.SetStringEx(L"S", L"missing", L"late");
    EXPECT_EQ(doc.GetString(L"S", L"missing", L"d"), CString(L"late"));
}

using EnvIniDelete = EnvIniTest;

TEST_F(EnvIniDelete, DeleteKeyRemovesCacheEntryAndFileKeyAtOnce)
{
    Seed(L"[S]\r\na=1\r\nb=2\r\n[Other]\r\nc=3\r\n");
    EXPECT_EQ(doc.GetInt(L"S", L"a", 0), 1);
    EXPECT_NE(doc.DeleteKey(L"S", L"a"), 0);
    EXPECT_EQ(Text(), L"[S]\r\nb=2\r\n[Other]\r\nc=3\r\n");
    EXPECT_EQ(doc.GetInt(L"S", L"a", 9), 9);
    // A key of a section never read is deleted in the file all the same.
    EXPECT_NE(doc.DeleteKey(L"Other", L"c"), 0);
    EXPECT_EQ(Text(), L"[S]\r\nb=2\r\n[Other]\r\n");
    EXPECT_EQ(doc.DeleteKey(nullptr, L"c"), 0);
}

TEST_F(EnvIniDelete, DeleteKeyOfAnArraySectionChangesNothing)
{
    Seed(L"[L]\r\ncount=1\r\nItem0=x\r\n");
    CStringArray items;
    doc.GetOrderArray(L"L", items, L"", L"Item%d", 0);
    const std::string before = zvtest::ReadFile(path);
    EXPECT_EQ(doc.DeleteKey(L"L", L"Item0"), 1);
    EXPECT_EQ(doc.IsDirty(), 0);
    EXPECT_EQ(zvtest::ReadFile(path), before);
    doc.GetOrderArray(L"L", items, L"", L"Item%d", 0);
    EXPECT_EQ(Items(items), std::vector<std::wstring>({L"x"}));
}

TEST_F(EnvIniDelete, DeleteSectionNeverReadLeavesTheFileSection)
{
    Seed(L"[S]\r\nk=1\r\n");
    EXPECT_EQ(doc.DeleteSection(L"S"), 1);
    EXPECT_EQ(Text(), L"[S]\r\nk=1\r\n");
}

TEST_F(EnvIniDelete, DeleteSectionDropsOnlyTheFirstKindFound)
{
    Seed(L"[Mixed]\r\nk=1\r\n[Keep]\r\nz=0\r\n");
    doc.GetString(L"Mixed", L"k", L"");
    CStringArray items = Array({L"a", L"b"});
    doc.SetOrderArray(L"Mixed", items, L"I%d", 0);
    EXPECT_NE(doc.DeleteSection(L"Mixed"), 0);
    EXPECT_EQ(Text(), L"[Keep]\r\nz=0\r\n");
    EXPECT_EQ(doc.GetString(L"Mixed", L"k", L"gone"), CString(L"gone"));
    CStringArray left;
    doc.GetOrderArray(L"Mixed", left, L"", L"I%d", 0);
    EXPECT_EQ(Items(left), Items(items)) << "the ordered array of the section is still cached";
}

TEST_F(EnvIniDelete, DeleteSectionOfATreeArrayDeletesEverySubSection)
{
    Seed(L"[T]\r\ncount=3\r\n0=P_0\r\n1=P_1\r\n2=P_2\r\n[P_0]\r\ncount=1\r\n0=a\r\n[P_1]\r\ncount=1\r\n0=b\r\n"
         L"[P_2]\r\ncount=1\r\n0=c\r\n[P_3]\r\ncount=1\r\n0=stale\r\n[Keep]\r\nz=0\r\n");
    CStringArray items;
    doc.GetTreeArray(L"T", items, L"P", L"|");
    ASSERT_EQ(items.GetSize(), 3);
    EXPECT_NE(doc.DeleteSection(L"T"), 0);
    EXPECT_EQ(Text(), L"[P_3]\r\ncount=1\r\n0=stale\r\n[Keep]\r\nz=0\r\n");
    doc.GetTreeArray(L"T", items, L"P", L"|");
    EXPECT_EQ(items.GetSize(), 0);
}

using EnvIniCopy = EnvIniTest;

TEST_F(EnvIniCopy, CloneHoldsEverythingAndIsIndependent)
{
    Seed(L"[S]\r\nk=1\r\n");
    doc.GetInt(L"S", L"k", 0);
    doc.SetString(L"S", L"s", L"text");
    CStringArray ordered = Array({L"x", L"y"});
    doc.SetOrderArray(L"O", ordered, L"N%d", 3);
    CStringArray tree = Array({L"a|b", L"c"});
    doc.SetTreeArray(L"T", tree, L"P", L"|");

    CTqEnvIni* clone = doc.Clone();
    ASSERT_NE(clone, nullptr);
    EXPECT_EQ(clone->GetPath(), doc.GetPath());
    EXPECT_EQ(clone->IsDirty(), 1);
    EXPECT_EQ(clone->GetString(L"S", L"s", L""), CString(L"text"));
    clone->SetString(L"S", L"s", L"changed");
    CStringArray more = Array({L"z"});
    clone->SetOrderArray(L"O", more, L"N%d", 3);
    EXPECT_EQ(doc.GetString(L"S", L"s", L""), CString(L"text"));
    CStringArray got;
    doc.GetOrderArray(L"O", got, L"", L"N%d", 3);
    EXPECT_EQ(Items(got), Items(ordered));

    // The clone saves the same record and delimiter the original holds.
    CTqEnvIni* second = doc.Clone();
    second->Save();
    delete second;
    EXPECT_EQ(Text(), L"[S]\r\nk=1\r\ns=text\r\n[O]\r\ncount=2\r\nN3=x\r\nN4=y\r\n[T]\r\ncount=2\r\n0=P_0\r\n1=P_1\r\n"
                      L"[P_0]\r\ncount=2\r\n0=a\r\n1=b\r\n[P_1]\r\ncount=1\r\n0=c\r\n");
    delete clone;
}

TEST_F(EnvIniCopy, AssignmentReplacesOnlyTheSourcesSections)
{
    CTqEnvIni source;
    source.SetString(L"Shared", L"a", L"src");
    source.SetDirty(0);
    doc.SetString(L"Shared", L"b", L"mine");
    doc.SetString(L"Only", L"c", L"kept");
    CStringArray items = Array({L"1"});
    doc.SetTreeArray(L"T", items, L"", L",");
    doc = source;
    EXPECT_EQ(doc.IsDirty(), 0);
    EXPECT_EQ(doc.GetPath(), CString(L"")) << "the path comes along";
    EXPECT_EQ(doc.GetString(L"Shared", L"a", L""), CString(L"src"));
    EXPECT_EQ(doc.GetString(L"Shared", L"b", L"default"), CString(L"default")) << "the section was replaced whole";
    EXPECT_EQ(doc.GetString(L"Only", L"c", L""), CString(L"kept"));
    CStringArray got;
    doc.GetTreeArray(L"T", got, L"", L",");
    EXPECT_EQ(Items(got), Items(items));
    doc = doc;
    EXPECT_EQ(doc.GetString(L"Only", L"c", L""), CString(L"kept")) << "self-assignment keeps everything";
}

TEST_F(EnvIniCopy, SettingDocumentCopiesLikeAnyDocumentAndClonesAsAPlainOne)
{
    CTqEnvSetting setting;
    BindPath(setting, path);
    setting.SetString(L"User", L"name", L"alice");
    CTqEnvSetting other;
    other.SetString(L"Other", L"k", L"kept");
    other = setting;
    EXPECT_EQ(other.GetPath(), CString(W(path)));
    EXPECT_EQ(other.IsDirty(), 1);
    EXPECT_EQ(other.GetString(L"User", L"name", L""), CString(L"alice"));
    EXPECT_EQ(other.GetString(L"Other", L"k", L""), CString(L"kept"));
    std::unique_ptr<CTqEnvIni> clone(setting.Clone());
    EXPECT_TRUE(typeid(*clone) == typeid(CTqEnvIni));
    EXPECT_EQ(clone->GetString(L"User", L"name", L""), CString(L"alice"));
    CTqEnvIni* asDocument = &setting;
    asDocument->Save();
    EXPECT_EQ(Text(), L"[User]\r\nname=alice\r\n");
}

} // namespace

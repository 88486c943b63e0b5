#include <zvenv/CTqEnvSetting.h>

#include "EnvIniTestUtil.h"

#include <chrono>
#include <functional>
#include <thread>
#include <typeinfo>

#include <climits>

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
// another document's save, or a file replaced and the cache cleared. The file
// lies in memory where the system offers a folder there: a write's sync to a
// disk can outlast the window and so hide a missed write.
TEST(EnvIniOwnChanges, AreSeenByTheNextFirstRead)
{
    const std::string saved = zvtest::GetEnv("TMPDIR");
    if (zvtest::PathExists("/dev/shm"))
        zvtest::SetEnv("TMPDIR", "/dev/shm");
    const zvtest::TempDir dir;
    saved.empty() ? zvtest::UnsetEnv("TMPDIR") : zvtest::SetEnv("TMPDIR", saved);
    const std::string path = dir / "doc.ini";
    const std::function<void(CTqEnvIni&)> changes[] = {
        [&](CTqEnvIni&) { ASSERT_TRUE(CTqIni(W(path).c_str()).WriteString(L"A", L"unread", L"200")); },
        [&](CTqEnvIni&) {
            CTqEnvIni other;
            BindPath(other, path);
            other.SetInt(L"A", L"unread", 200);
            other.Save();
        },
        [&](CTqEnvIni& doc) {
            zvtest::WriteFile(path, zvtest::Utf16(L"[A]\r\nread=100\r\nunread=200\r\n"));
            doc.Clear();
        },
    };
    for (const auto& change : changes) {
        zv::ClearProfileCache();
        zvtest::WriteFile(path, zvtest::Utf16(L"[A]\r\nread=1\r\nunread=2\r\n"));
        CTqEnvIni doc;
        BindPath(doc, path);
        ASSERT_EQ(doc.GetInt(L"A", L"read", 0), 1);
        change(doc);
        EXPECT_EQ(doc.GetInt(L"A", L"unread", 0), 200) << "change " << &change - changes;
    }
}

TEST_F(EnvIniCache, MissingKeysCacheTheFirstDefaultAndAPathlessDocumentWritesNothing)
{
    EXPECT_EQ(doc.GetString(L"A", L"k", L"d"), CString(L"d"));
    EXPECT_EQ(doc.GetString(L"A", L"k", L"other"), CString(L"d"));
    EXPECT_EQ(doc.GetInt(L"A", L"n", 7), 7);
    EXPECT_EQ(doc.GetInt(L"A", L"n", 9), 7);
    EXPECT_EQ(doc.IsDirty(), 0) << "reading never dirties";
    EXPECT_FALSE(zvtest::PathExists(path)) << "reading never creates the file";

    CTqEnvIni none;
    EXPECT_EQ(none.GetString(L"S", L"k", L"d"), CString(L"d"));
    none.SetString(L"S", L"w", L"v", 1);
    none.Save();
    EXPECT_EQ(none.GetString(L"S", L"w", L""), CString(L"v"));
    EXPECT_EQ(none.IsDirty(), 0);
}

TEST_F(EnvIniCache, NamesDifferingInCaseAreTwoEntriesOverOneFileKey)
{
    Seed(L"[A]\r\nk=file\r\n");
    EXPECT_EQ(doc.GetString(L"A", L"k", L""), CString(L"file"));
    doc.SetString(L"A", L"k", L"changed");
    // a/K is its own entry, so it reads the file, not the change above.
    EXPECT_EQ(doc.GetString(L"a", L"K", L""), CString(L"file"));
    doc.SetString(L"a", L"K", L"second");
    // Both entries write the one file key; the later section in the map wins.
    EXPECT_EQ(Saved(), L"[A]\r\nk=second\r\n");
}

TEST_F(EnvIniCache, BinaryGarbageReadsAsDefaultsAndSurvivesASave)
{
    std::string garbage;
    for (int i = 0; i < 4096; ++i)
        garbage += static_cast<char>((i * 7919 + 13) & 0xFF);
    garbage += std::string("\0\0\0[A]\r\nk=1\xFF\xFE\x00", 15);
    zvtest::WriteFile(path, garbage);
    EXPECT_EQ(doc.GetString(L"Nope", L"k", L"d"), CString(L"d"));
    CStringArray items;
    doc.GetTreeArray(L"Nope", items, L"", L"|");
    EXPECT_EQ(items.GetSize(), 0);
    EXPECT_EQ(zvtest::ReadFile(path), garbage) << "reading leaves the file as it is";
    doc.SetString(L"New", L"k", L"v");
    doc.Save();
    EXPECT_EQ(Again()->GetString(L"New", L"k", L""), CString(L"v"));
}

using EnvIniTyped = EnvIniTest;

TEST_F(EnvIniTyped, IntegersReadInBaseTenAndCacheTheirDecimalForm)
{
    Seed(L"[N]\r\nhex=0x10\r\nneg=-5\r\ntail=12abc\r\nbig=99999999999\r\n");
    EXPECT_EQ(doc.GetInt(L"N", L"hex", 9), 0);
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
    EXPECT_EQ(Again()->GetStringEx(L"N", L"hex", L""), CString(L"0"));
}

TEST_F(EnvIniTyped, DoublesKeepSixDecimalsOnceCachedAndShapesRoundTrip)
{
    Seed(L"[D]\r\nv=0.1234567\r\ntiny=0.0000004\r\n");
    EXPECT_DOUBLE_EQ(doc.GetDouble(L"D", L"v", 0), 0.1234567) << "the first answer is unrounded";
    EXPECT_DOUBLE_EQ(doc.GetDouble(L"D", L"v", 0), 0.123457);
    EXPECT_DOUBLE_EQ(doc.GetDouble(L"D", L"tiny", 1), 0.0000004);
    EXPECT_DOUBLE_EQ(doc.GetDouble(L"D", L"tiny", 1), 0.0);
    doc.SetDouble(L"D", L"set", 2.0);
    EXPECT_EQ(doc.GetString(L"D", L"set", L""), CString(L"2.000000"));
    EXPECT_DOUBLE_EQ(doc.GetDouble(L"D", L"missing", 1.5), 1.5);
    EXPECT_EQ(doc.GetString(L"D", L"missing", L""), CString(L"1.500000"));

    CPoint p(3, -4), dp(7, 8);
    CRect r(1, 2, 30, 40), dr;
    CSize s(640, 480), ds;
    doc.SetPoint(L"G", L"p", p);
    doc.SetRGB(L"G", L"c", 0x00336699);
    doc.SetRect(L"G", L"r", r);
    doc.SetSize(L"G", L"s", s);
    doc.Save();
    const auto again = Again();
    EXPECT_EQ(again->GetPoint(L"G", L"p", dp), p);
    EXPECT_EQ(again->GetRGB(L"G", L"c", 0), 0x00336699ul);
    EXPECT_EQ(again->GetRect(L"G", L"r", dr), r);
    EXPECT_EQ(again->GetSize(L"G", L"s", ds), s);
    EXPECT_EQ(again->GetPoint(L"G", L"none", dp), dp);
    EXPECT_EQ(again->GetString(L"G", L"none", L""), PointToString(dp, L",")) << "defaults cache their text form";
}

using EnvIniDirty = EnvIniTest;

TEST_F(EnvIniDirty, FlagFollowsAWholeEditSaveCycle)
{
    Seed(L"[S]\r\nk=1\r\n");
    doc.GetString(L"S", L"k", L"");
    doc.GetStringEx(L"S", L"k", L"");
    doc.SetStringEx(L"S", L"x", L"ex");
    doc.SetInt(L"S", L"k", 2, 1);
    CStringArray items = Array({L"a"});
    doc.SetArray(L"S", L"arr", items, L",", 1);
    EXPECT_EQ(doc.IsDirty(), 0) << "getters, the Ex pair and write-through leave the flag";
    const std::function<void()> edits[] = {
        [&] { doc.SetInt(L"S", L"k", 3); },
        [&] { doc.SetArray(L"S", L"arr", items, L","); },
        [&] { doc.SetOrderArray(L"O", items, L"I%d", 0); },
        [&] { doc.SetTreeArray(L"T", items, L"", L"|"); },
        [&] { doc.DeleteKey(L"S", L"k"); },
        [&] { doc.DeleteSection(L"NeverRead"); },
    };
    for (const auto& edit : edits) {
        edit();
        EXPECT_EQ(doc.IsDirty(), 1) << "edit " << &edit - edits;
        doc.Save();
        EXPECT_EQ(doc.IsDirty(), 0);
    }
    doc.SetInt(L"S", L"k", 4);
    const std::string before = zvtest::ReadFile(path);
    doc.Clear();
    EXPECT_EQ(doc.IsDirty(), 1) << "Clear keeps the flag";
    EXPECT_EQ(doc.GetPath(), CString(W(path)));
    doc.Save();
    EXPECT_EQ(zvtest::ReadFile(path), before) << "nothing cached, nothing written";
}

// Write-through and the Ex pair go to the file at once and leave the cache;
// plain setters wait for Save.
TEST_F(EnvIniDirty, WriteThroughAndTheExPairBypassTheCache)
{
    Seed(L"[S]\r\nk=old\r\n");
    EXPECT_EQ(doc.GetString(L"S", L"k", L""), CString(L"old"));
    doc.SetStringEx(L"S", L"k", L"new");
    doc.SetString(L"S", L"now", L"v", 1);
    doc.SetString(L"S", L"j", L"memory");
    EXPECT_EQ(Text(), L"[S]\r\nk=new\r\nnow=v\r\n");
    EXPECT_EQ(doc.GetString(L"S", L"k", L""), CString(L"old"));
    EXPECT_EQ(doc.GetStringEx(L"S", L"j", L"d"), CString(L"d")) << "unsaved changes are not in the file";
    doc.SetStringEx(L"S", L"j", L"late");
    EXPECT_EQ(doc.GetStringEx(L"S", L"missing", L"d"), CString(L"d"));
    doc.SetStringEx(L"S", L"missing", L"late");
    EXPECT_EQ(doc.GetString(L"S", L"missing", L"d"), CString(L"late")) << "the Ex read cached nothing";
    EXPECT_EQ(Saved(), L"[S]\r\nk=old\r\nnow=v\r\nj=memory\r\nmissing=late\r\n")
        << "a save writes the cached text back";
}

using EnvIniDelete = EnvIniTest;

TEST_F(EnvIniDelete, DeleteKeyRemovesCacheEntryAndFileKeyAtOnce)
{
    Seed(L"[S]\r\na=1\r\nb=2\r\n[Other]\r\nc=3\r\n[L]\r\ncount=1\r\nItem0=x\r\n");
    // In a section cached as an array nothing changes.
    CStringArray items;
    doc.GetOrderArray(L"L", items, L"", L"Item%d", 0);
    EXPECT_EQ(doc.DeleteKey(L"L", L"Item0"), 1);
    EXPECT_EQ(doc.IsDirty(), 0);
    doc.GetOrderArray(L"L", items, L"", L"Item%d", 0);
    EXPECT_EQ(Items(items), std::vector<std::wstring>({L"x"}));

    EXPECT_EQ(doc.GetInt(L"S", L"a", 0), 1);
    EXPECT_NE(doc.DeleteKey(L"S", L"a"), 0);
    EXPECT_EQ(doc.GetInt(L"S", L"a", 9), 9);
    // A key of a section never read is deleted in the file all the same.
    EXPECT_NE(doc.DeleteKey(L"Other", L"c"), 0);
    EXPECT_EQ(doc.DeleteKey(nullptr, L"c"), 0);
    EXPECT_EQ(Text(), L"[S]\r\nb=2\r\n[Other]\r\n[L]\r\ncount=1\r\nItem0=x\r\n");
}

TEST_F(EnvIniDelete, DeleteSectionDropsTheFirstKindFoundAndTreeSubSections)
{
    Seed(L"[Mixed]\r\nk=1\r\n[Never]\r\nk=1\r\n[T]\r\ncount=2\r\n0=P_0\r\n1=P_1\r\n[P_0]\r\ncount=1\r\n0=a\r\n"
         L"[P_1]\r\ncount=1\r\n0=b\r\n[P_2]\r\ncount=1\r\n0=stale\r\n");
    EXPECT_EQ(doc.DeleteSection(L"Never"), 1);
    doc.GetString(L"Mixed", L"k", L"");
    CStringArray items = Array({L"a", L"b"}), left;
    doc.SetOrderArray(L"Mixed", items, L"I%d", 0);
    EXPECT_NE(doc.DeleteSection(L"Mixed"), 0);
    EXPECT_EQ(doc.GetString(L"Mixed", L"k", L"gone"), CString(L"gone"));
    doc.GetOrderArray(L"Mixed", left, L"", L"I%d", 0);
    EXPECT_EQ(Items(left), Items(items)) << "the ordered array of the section is still cached";
    doc.GetTreeArray(L"T", left, L"P", L"|");
    ASSERT_EQ(left.GetSize(), 2);
    EXPECT_NE(doc.DeleteSection(L"T"), 0);
    doc.GetTreeArray(L"T", left, L"P", L"|");
    EXPECT_EQ(left.GetSize(), 0);
    EXPECT_EQ(Text(), L"[Never]\r\nk=1\r\n[P_2]\r\ncount=1\r\n0=stale\r\n") << "a section never read stays";
}

using EnvIniCopy = EnvIniTest;

TEST_F(EnvIniCopy, CloneHoldsEverythingAndIsIndependent)
{
    Seed(L"[S]\r\nk=1\r\n");
    doc.GetInt(L"S", L"k", 0);
    doc.SetString(L"S", L"s", L"text");
    CStringArray ordered = Array({L"x", L"y"}), tree = Array({L"a|b", L"c"}), got;
    doc.SetOrderArray(L"O", ordered, L"N%d", 3);
    doc.SetTreeArray(L"T", tree, L"P", L"|");

    std::unique_ptr<CTqEnvIni> clone(doc.Clone());
    EXPECT_EQ(clone->GetPath(), doc.GetPath());
    clone->SetString(L"S", L"s", L"changed");
    clone->SetOrderArray(L"O", tree, L"N%d", 3);
    EXPECT_EQ(doc.GetString(L"S", L"s", L""), CString(L"text"));
    doc.GetOrderArray(L"O", got, L"", L"N%d", 3);
    EXPECT_EQ(Items(got), Items(ordered));

    // The clone saves the same record and delimiter the original holds.
    std::unique_ptr<CTqEnvIni>(doc.Clone())->Save();
    EXPECT_EQ(Text(), L"[S]\r\nk=1\r\ns=text\r\n[O]\r\ncount=2\r\nN3=x\r\nN4=y\r\n[T]\r\ncount=2\r\n0=P_0\r\n1=P_1\r\n"
                      L"[P_0]\r\ncount=2\r\n0=a\r\n1=b\r\n[P_1]\r\ncount=1\r\n0=c\r\n");
}

// CTqEnvSetting's assignment is its own and copies as the document's does.
TEST(EnvIniAssignment, ReplacesOnlyTheSourcesSections)
{
    CTqEnvSetting source, doc;
    source.SetString(L"Shared", L"a", L"src");
    source.SetDirty(0);
    doc.SetString(L"Shared", L"b", L"mine");
    doc.SetString(L"Only", L"c", L"kept");
    CStringArray items = Array({L"1"}), got;
    doc.SetTreeArray(L"T", items, L"", L",");
    BindPath(doc, "/no/such/doc.ini");
    doc = source;
    EXPECT_EQ(doc.IsDirty(), 0);
    EXPECT_EQ(doc.GetPath(), CString(L"")) << "the path comes along";
    EXPECT_EQ(doc.GetString(L"Shared", L"a", L""), CString(L"src"));
    EXPECT_EQ(doc.GetString(L"Shared", L"b", L"default"), CString(L"default")) << "the section was replaced whole";
    doc = doc;
    EXPECT_EQ(doc.GetString(L"Only", L"c", L""), CString(L"kept"));
    doc.GetTreeArray(L"T", got, L"", L",");
    EXPECT_EQ(Items(got), Items(items));

    // A setting document clones as a plain one.
    std::unique_ptr<CTqEnvIni> clone(source.Clone());
    EXPECT_TRUE(typeid(*clone) == typeid(CTqEnvIni));
    EXPECT_EQ(clone->GetString(L"Shared", L"a", L""), CString(L"src"));
}

} // namespace

#include <zvenv/CTqEnvSetting.h>
#include <zvenv/platform/Os.h>

#include "EnvIniTestUtil.h"

#include <algorithm>
#include <functional>
#include <thread>
#include <tuple>
#include <typeinfo>

using namespace envinitest;

namespace {

// A read right after another may skip the file's check yet sees every change (in /dev/shm: no slow sync).
TEST(EnvIniCache, FirstReadsSeeEveryChange)
{
    const std::string saved = zvtest::GetEnv("TMPDIR");
    if (zvtest::PathExists("/dev/shm"))
        zvtest::SetEnv("TMPDIR", "/dev/shm");
    const zvtest::TempDir dir;
    saved.empty() ? zvtest::UnsetEnv("TMPDIR") : zvtest::SetEnv("TMPDIR", saved);
    const std::string path = dir / "doc.ini";
    const std::function<void(CTqEnvIni&)> changes[] = {
        [&](CTqEnvIni&) { // another program, once the window is over
            zvtest::WriteFile(path, zvtest::Utf16(L"[A]\r\nread=1\r\nunread=200\r\n"));
            zvtest::SleepMs(zv::ProfileSnapshot::kRecentWindowMicroseconds / 1000 + 1);
        },
        [&](CTqEnvIni&) { ASSERT_TRUE(CTqIni(W(path).c_str()).WriteString(L"A", L"unread", L"200")); },
        [&](CTqEnvIni&) {
            CTqEnvIni other;
            BindPath(other, path);
            other.SetInt(L"A", L"unread", 200);
            other.Save();
        },
        [&](CTqEnvIni& doc) {
            zvtest::WriteFile(path, zvtest::Utf16(L"[A]\r\nunread=200\r\n"));
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

TEST_F(EnvIniTest, ReadsWriteNothingNamesDifferingInCaseAreTwoAndFailedSavesStayDirty)
{
    EXPECT_EQ(doc.GetInt(L"A", L"n", 7), 7);
    EXPECT_EQ(doc.IsDirty(), 0);
    EXPECT_FALSE(zvtest::PathExists(path)) << "reading neither dirties nor creates the file";
    std::string garbage(4096, '\0');
    for (std::size_t i = 0; i < garbage.size(); ++i)
        garbage[i] = static_cast<char>((i * 7919 + 13) & 0xFF);
    zvtest::WriteFile(path, garbage);
    EXPECT_EQ(doc.GetString(L"Nope", L"k", L"d"), CString(L"d")) << "binary garbage reads as defaults";
    EXPECT_EQ(zvtest::ReadFile(path), garbage) << "reading leaves the file as it is";
    doc.SetString(L"New", L"k", L"v");
    doc.Save();
    EXPECT_EQ(Again()->GetString(L"New", L"k", L""), CString(L"v"));

    const auto other = Again();
    Seed(L"[A]\r\nk=file\r\n");
    EXPECT_EQ(other->GetString(L"A", L"k", L""), CString(L"file"));
    other->SetString(L"A", L"k", L"changed");
    EXPECT_EQ(other->GetString(L"a", L"K", L""), CString(L"file"));
    other->SetString(L"a", L"K", L"second");
    other->Save();
    EXPECT_EQ(Text(), L"[A]\r\nk=second\r\n");

    CTqEnvIni none; // no path: the cache works, nothing is written
    none.SetString(L"S", L"w", L"v", 1);
    none.Save();
    EXPECT_EQ(none.GetString(L"S", L"w", L""), CString(L"v"));
    EXPECT_EQ(none.IsDirty(), 0);

    // A save that cannot write keeps the flag, so SaveAll tries again (read-only: Faults.ReadOnlyFilesAreNotReplaced).
    zvtest::MakeFolders(dir / "folder.ini");
    const std::pair<std::string, unsigned long> places[] = {{dir / "folder.ini", zvtest::kErrorIsFolder},
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

// CTqIni converts; the document reads base ten and caches text (an array's items trimmed, without empties).
TEST_F(EnvIniTest, TypedValuesCacheTheirTextForm)
{
    Seed(L"[N]\r\nhex=0x10\r\ntail=12abc\r\nd=0.1234567\r\nk= a ; b ;;\r\n");
    EXPECT_EQ(doc.GetInt(L"N", L"hex", 9), 0);
    EXPECT_EQ(doc.GetInt(L"N", L"tail", 0), 12);
    doc.SetString(L"N", L"spaced", L"  42xyz");
    EXPECT_EQ(doc.GetInt(L"N", L"spaced", 1), 42);
    EXPECT_DOUBLE_EQ(doc.GetDouble(L"N", L"d", 0), 0.1234567) << "the first answer is unrounded";
    EXPECT_DOUBLE_EQ(doc.GetDouble(L"N", L"d", 0), 0.123457);
    EXPECT_DOUBLE_EQ(doc.GetDouble(L"N", L"missing", 1.5), 1.5);
    CStringArray items;
    doc.GetArray(L"N", L"k", items, L"def", L";", 1);
    EXPECT_EQ(Items(items), Strings({L"a", L"b"}));
    doc.GetArray(L"N", L"m", items, L"x,y", L",", 0);
    EXPECT_EQ(Items(items), Strings({L"x", L"y"}));
    doc.Save();
    EXPECT_EQ(Text(),
              L"[N]\r\nhex=0\r\ntail=12\r\nd=0.123457\r\nk=a;b\r\nspaced=  42xyz\r\nmissing=1.500000\r\nm=x,y\r\n")
        << "numbers, defaults and arrays read are saved as cached";
}

// Write-through and the Ex pair go to the file at once, past the cache and the flag.
TEST_F(EnvIniTest, WriteThroughTheExPairAndTheDirtyFlag)
{
    Seed(L"[S]\r\nk=old\r\n");
    EXPECT_EQ(doc.GetString(L"S", L"k", L""), CString(L"old"));
    doc.SetStringEx(L"S", L"k", L"new");
    doc.SetString(L"S", L"now", L"v", 1);
    CStringArray items = Array({L"a", L"b"});
    doc.SetArray(L"S", L"arr", items, L",", 1);
    EXPECT_EQ(doc.IsDirty(), 0);
    doc.SetString(L"S", L"j", L"memory");
    EXPECT_EQ(Text(), L"[S]\r\nk=new\r\nnow=v\r\narr=a,b\r\n");
    EXPECT_EQ(doc.GetStringEx(L"S", L"j", L"d"), CString(L"d")) << "unsaved changes are not in the file";
    doc.SetStringEx(L"S", L"j", L"late");
    EXPECT_EQ(doc.GetStringEx(L"S", L"missing", L"d"), CString(L"d"));
    doc.SetStringEx(L"S", L"missing", L"late");
    EXPECT_EQ(doc.GetString(L"S", L"missing", L"d"), CString(L"late")) << "the Ex read cached nothing";
    doc.Save();
    EXPECT_EQ(Text(), L"[S]\r\nk=old\r\nnow=v\r\narr=a,b\r\nj=memory\r\nmissing=late\r\n");

    const std::function<void()> edits[] = {
        [&] { doc.SetInt(L"S", L"k", 3); },
        [&] { doc.SetArray(L"S", L"arr", items, L","); },
        [&] { doc.SetOrderArray(L"O", items, L"I%d", 0); },
        [&] { doc.SetTreeArray(L"T", items, L"", L"|"); },
        [&] { doc.DeleteKey(L"S", L"k"); },
        [&] { doc.DeleteSection(L"NeverRead"); },
    };
    for (const auto& edit : edits) {
        EXPECT_EQ(doc.IsDirty(), 0);
        edit();
        EXPECT_EQ(doc.IsDirty(), 1) << "edit " << &edit - edits;
        doc.Save();
    }
    doc.SetInt(L"S", L"k", 4);
    const std::string before = zvtest::ReadFile(path);
    doc.Clear();
    EXPECT_EQ(doc.IsDirty(), 1) << "Clear keeps the flag";
    doc.Save();
    EXPECT_EQ(zvtest::ReadFile(path), before) << "nothing cached, nothing written";
}

TEST_F(EnvIniTest, DeleteKeyAndSectionReachCacheAndFileAtOnce)
{
    Seed(L"[S]\r\na=1\r\nb=2\r\n[Other]\r\nc=3\r\n[L]\r\ncount=1\r\nItem0=x\r\n[Mixed]\r\nk=1\r\n[Never]\r\nk=1\r\n"
         L"[T]\r\ncount=2\r\n0=P_0\r\n1=P_1\r\n[P_0]\r\ncount=1\r\n0=a\r\n[P_1]\r\ncount=1\r\n0=b\r\n[P_2]\r\n");
    CStringArray items, left;
    doc.GetOrderArray(L"L", items, L"", L"Item%d", 0);
    EXPECT_EQ(doc.DeleteKey(L"L", L"Item0"), 1) << "keys of an array section stay";
    EXPECT_EQ(doc.IsDirty(), 0);
    EXPECT_EQ(doc.GetInt(L"S", L"a", 0), 1);
    EXPECT_NE(doc.DeleteKey(L"S", L"a"), 0);
    EXPECT_EQ(doc.GetInt(L"S", L"a", 9), 9);
    EXPECT_NE(doc.DeleteKey(L"Other", L"c"), 0) << "a section never read";
    EXPECT_EQ(doc.DeleteKey(nullptr, L"c"), 0);

    // A section drops the first kind of content found: plain, ordered, tree.
    EXPECT_EQ(doc.DeleteSection(L"Never"), 1);
    doc.GetString(L"Mixed", L"k", L"");
    doc.SetOrderArray(L"Mixed", items, L"I%d", 0);
    EXPECT_NE(doc.DeleteSection(L"Mixed"), 0);
    EXPECT_EQ(doc.GetString(L"Mixed", L"k", L"gone"), CString(L"gone"));
    doc.GetOrderArray(L"Mixed", left, L"", L"I%d", 0);
    EXPECT_EQ(Items(left), Items(items)) << "the ordered array of the section is still cached";
    doc.GetTreeArray(L"T", left, L"P", L"|");
    EXPECT_NE(doc.DeleteSection(L"T"), 0);
    doc.GetTreeArray(L"T", left, L"P", L"|");
    EXPECT_EQ(left.GetSize(), 0);
    EXPECT_EQ(Text(), L"[S]\r\nb=2\r\n[Other]\r\n[L]\r\ncount=1\r\nItem0=x\r\n[Never]\r\nk=1\r\n[P_2]\r\n");
}

// Assignment keeps the target's other sections; a setting document clones as a plain one.
TEST_F(EnvIniTest, ClonesAndAssignmentCopyWhatTheSourceHolds)
{
    Seed(L"[S]\r\nk=1\r\n");
    doc.GetInt(L"S", L"k", 0);
    doc.SetString(L"S", L"s", L"text");
    CStringArray ordered = Array({L"x", L"y"}), tree = Array({L"a|b", L"c"}), got;
    doc.SetOrderArray(L"O", ordered, L"N%d", 3);
    doc.SetTreeArray(L"T", tree, L"P", L"|");
    std::unique_ptr<CTqEnvIni> clone(doc.Clone());
    clone->SetString(L"S", L"s", L"changed");
    clone->SetOrderArray(L"O", tree, L"N%d", 3);
    std::unique_ptr<CTqEnvIni>(doc.Clone())->Save();
    EXPECT_EQ(Text(), L"[S]\r\nk=1\r\ns=text\r\n[O]\r\ncount=2\r\nN3=x\r\nN4=y\r\n[T]\r\ncount=2\r\n0=P_0\r\n1=P_1\r\n"
                      L"[P_0]\r\ncount=2\r\n0=a\r\n1=b\r\n[P_1]\r\ncount=1\r\n0=c\r\n");

    CTqEnvSetting source, target;
    source.SetString(L"Shared", L"a", L"src");
    source.SetDirty(0);
    target.SetString(L"Shared", L"b", L"mine");
    target.SetString(L"Only", L"c", L"kept");
    target.SetTreeArray(L"T", ordered, L"", L",");
    BindPath(target, path);
    target = source;
    target = target;
    EXPECT_EQ(target.IsDirty(), 0);
    EXPECT_EQ(target.GetPath(), CString(L""));
    const CString read = target.GetString(L"Shared", L"a", L"") + L" " + target.GetString(L"Shared", L"b", L"-") +
                         L" " + target.GetString(L"Only", L"c", L"");
    EXPECT_EQ(read, CString(L"src - kept")) << "the section is replaced whole";
    target.GetTreeArray(L"T", got, L"", L",");
    EXPECT_EQ(Items(got), Items(ordered));
    clone.reset(source.Clone());
    EXPECT_TRUE(typeid(*clone) == typeid(CTqEnvIni));
    EXPECT_EQ(clone->GetString(L"Shared", L"a", L""), CString(L"src"));
}

using EnvIniThreads = EnvIniTest;

TEST_F(EnvIniThreads, MixedReadsWritesAndSavesEndWithTheLastValueOfEveryKey)
{
    constexpr int kThreads = 8, kRounds = 200;
    const auto name = [](const wchar_t* prefix, int n) { return CString(prefix) + CString(std::to_wstring(n)); };
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int r = 0; r < kRounds; ++r) {
                CStringArray items = Array({std::to_wstring(t), std::to_wstring(r)}), back;
                doc.SetOrderArray(name(L"O", t), items, L"I%d", 0);
                doc.SetTreeArray(L"Tree", items, name(L"P", t), L"|");
                doc.GetTreeArray(L"Tree", back, L"", L"|");
                doc.GetOrderArray(name(L"O", (t + 1) % kThreads), back, L"", L"I%d", 0);
                doc.SetInt(name(L"T", t), L"k", r, r % 50 == 0);
                if (r % 25 == 0)
                    doc.Save();
            }
        });
    for (auto& thread : threads)
        thread.join();
    doc.Save();

    zv::ClearProfileCache();
    const auto check = Again();
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(check->GetInt(name(L"T", t), L"k", -1), kRounds - 1) << t;
        CStringArray items;
        check->GetOrderArray(name(L"O", t), items, L"", L"I%d", 0);
        EXPECT_EQ(Items(items), Strings({std::to_wstring(t), std::to_wstring(kRounds - 1)}));
    }
}

// Save splits a tree with the section's first delimiter; of two prefixes the last visited stays.
TEST_F(EnvIniTest, OrderedAndTreeArraysReadTheKeysAndSubSectionsTheFileNames)
{
    Seed(L"[L]\r\ncount=3\r\nItem1=x\r\nItem2=y\r\n[Zero]\r\ncount=0\r\n[T]\r\ncount=2\r\n0=T_0\r\n1=X\r\n"
         L"[T_0]\r\ncount=2\r\n0=a\r\n1=b\r\n[X]\r\ncount=1\r\n0=c\r\n");
    CStringArray items = Array({L"stale"}), some = Array({L"p", L"q"}), first = Array({L"a", L"b"}),
                 second = Array({L"c,d"});
    const auto trees = Again(); // a document of tree arrays alone is saved too
    doc.GetOrderArray(L"L", items, L"", L"Item", 1);
    EXPECT_EQ(items.GetSize(), 0) << "no conversion";
    doc.GetOrderArray(L"L", items, L"", L"Item%d", -1);
    EXPECT_EQ(items.GetSize(), 0) << "a negative first index";
    for (const wchar_t* pattern : {L"Item%n%d", L"%s%d", L"%d%d", L"Item%d%"}) {
        doc.GetOrderArray(L"L", items, L"", pattern, 0);
        EXPECT_EQ(items.GetSize(), 0) << pattern;
        doc.SetOrderArray(L"Bad", some, pattern, 0);
    }
    trees->GetTreeArray(L"T", items, L"", L"|");
    EXPECT_EQ(Items(items), Strings({L"a|b", L"c"}));
    EXPECT_EQ(doc.IsDirty() + trees->IsDirty(), 0) << "reads and a refused SetOrderArray change nothing";
    trees->GetTreeArray(L"T", items, L"Other", L",");
    EXPECT_EQ(Items(items), Strings({L"a,b", L"c"}));
    doc.GetOrderArray(L"Zero", items, L"", L"I%d", 0);
    doc.GetOrderArray(L"Missing", items, L"", L"I%d", 0);
    EXPECT_EQ(items.GetSize(), 0);
    doc.GetOrderArray(L"L", items, L"-", L"Item%d", 1);
    EXPECT_EQ(Items(items), Strings({L"x", L"y", L"-"})) << "a missing element key gives the default";
    // A later read with another pattern changes what Save writes.
    doc.GetOrderArray(L"L", items, L"", L"N%d", 5);
    doc.SetOrderArray(L"P", some, L"100%%_%d", 0);
    trees->SetTreeArray(L"U", first, L"P", L"|");
    trees->SetTreeArray(L"U", second, L"Q", L"|");
    trees->SetTreeArray(L"U", second, L"Q", L","); // the set replaces the delimiter
    doc.Save();
    trees->Save();
    EXPECT_EQ(
        Text(),
        L"[T_0]\r\ncount=2\r\n0=a\r\n1=b\r\n[X]\r\ncount=1\r\n0=c\r\n[Zero]\r\ncount=0\r\n[Missing]\r\ncount=0\r\n"
        L"[L]\r\ncount=3\r\nN5=x\r\nN6=y\r\nN7=-\r\n[P]\r\ncount=2\r\n100%_0=p\r\n100%_1=q\r\n[T]\r\ncount=2\r\n"
        L"0=Other_0\r\n1=Other_1\r\n[T_1]\r\ncount=1\r\n0=c\r\n[Other_0]\r\ncount=1\r\n0=a,b\r\n[Other_1]\r\n"
        L"count=1\r\n0=c\r\n[U]\r\ncount=1\r\n0=Q_0\r\n1=P_1\r\n[P_0]\r\ncount=1\r\n0=a\r\n[P_1]\r\ncount=1\r\n"
        L"0=b\r\n[Q_0]\r\ncount=2\r\n0=c\r\n1=d\r\n");
}

// Past 65,535 elements arrays are read and saved whole; a read is bounded by the file's size.
TEST_F(EnvIniTest, LongArraysAreReadWholeAndHostileCountsCostNoMoreThanTheFile)
{
    constexpr int kOrdered = 66000, kTree = 22000;
    std::wstring orderedText, treeText, subSections;
    for (int i = 0; i < kOrdered; ++i) {
        const std::wstring n = std::to_wstring(i);
        orderedText += L"Item" + n + L"=v" + n + L"\r\n";
        treeText += i < kTree ? n + L"=T_" + n + L"\r\n" : L"";
        subSections += i < kTree ? L"[T_" + n + L"]\r\ncount=2\r\n0=a" + n + L"\r\n1=b\r\n" : L"";
    }
    Seed(L"[L]\r\ncount=66000\r\n" + orderedText + L"[T]\r\ncount=22000\r\n" + treeText + subSections);
    CStringArray ordered, tree;
    doc.GetOrderArray(L"L", ordered, L"-", L"Item%d", 0);
    doc.GetTreeArray(L"T", tree, L"", L"|");
    ASSERT_EQ(ordered.GetSize(), kOrdered);
    EXPECT_STREQ(ordered[kOrdered - 1], L"v65999");
    ASSERT_EQ(tree.GetSize(), kTree);
    EXPECT_STREQ(tree[kTree - 1], L"a21999|b");
    doc.Save();
    CTqIni file(W(path).c_str());
    EXPECT_STREQ(file.GetString(L"L", L"Item65999", L""), L"v65999");
    EXPECT_STREQ(file.GetString(L"T_21999", L"0", L""), L"a21999");

    Seed(L"[L]\r\ncount=2147483647\r\nItem0=x\r\n[T]\r\ncount=2147483647\r\n0=X\r\n1=X\r\n"
         L"[X]\r\ncount=2147483647\r\n0=p\r\n");
    const auto bytes = static_cast<int>(zvtest::ReadFile(path).size());
    const auto hostile = Again();
    hostile->GetOrderArray(L"L", ordered, L"-", L"Item%d", 0);
    ASSERT_GE(ordered.GetSize(), 1);
    EXPECT_LE(ordered.GetSize(), bytes);
    EXPECT_STREQ(ordered[0], L"x");
    hostile->GetTreeArray(L"T", tree, L"", L",");
    ASSERT_GE(tree.GetSize(), 1);
    int parts = 0;
    for (const CString& element : tree)
        parts += 1 + static_cast<int>(std::count(element.GetString(), element.GetString() + element.GetLength(), L','));
    EXPECT_LE(tree.GetSize() + parts, 2 * bytes) << "elements and parts together stay within the file's size";
}

TEST_F(EnvIniTest, SaveLayoutOfValuesOrderedAndTreeArraysMatchesTheGoldenFiles)
{
    Seed(L"; shipped settings\r\n[Main]\r\nb=2\r\n[List]\r\nold=1\r\n[Empty]\r\n[Tree]\r\nstale=1\r\n");
    doc.SetString(L"Main", L"a", L"1");
    doc.SetInt(L"Main", L"n", -7);
    doc.SetDouble(L"Main", L"d", 0.5);
    CPoint p(3, -4), dp(7, 8);
    CRect r(1, 2, 30, 40), dr;
    CSize s(640, 480), ds;
    doc.SetPoint(L"Main", L"p", p);
    doc.SetRGB(L"Main", L"c", 0x00336699);
    doc.SetRect(L"Main", L"r", r);
    doc.SetSize(L"Main", L"s", s);
    doc.SetString(L"Main", L"e", L"");
    CStringArray list = Array({L"x", L"y"}), tree = Array({L"a|b", L"c"});
    doc.SetArray(L"Main", L"l", list, L""); // an empty delimiter joins with a comma
    doc.SetOrderArray(L"List", list, L"Item%d", 1);
    doc.SetTreeArray(L"Tree", tree, L"", L"|");
    doc.Save();
    EXPECT_EQ(zvtest::ReadFile(path), zvtest::ReadFile(ZV_ENVINI_GOLDEN "/save_layout.ini"));
    const auto again = Again();
    EXPECT_EQ(again->GetPoint(L"Main", L"p", dp), p);
    EXPECT_EQ(again->GetRGB(L"Main", L"c", 0), 0x00336699ul);
    EXPECT_EQ(again->GetRect(L"Main", L"r", dr), r);
    EXPECT_EQ(again->GetSize(L"Main", L"s", ds), s);
    EXPECT_EQ(again->GetPoint(L"Main", L"none", dp), dp);
    EXPECT_EQ(again->GetString(L"Main", L"none", L""), CString(L"7,8")) << "a default is cached as text";
    doc.Save();
    EXPECT_EQ(zvtest::ReadFile(path), zvtest::ReadFile(ZV_ENVINI_GOLDEN "/save_layout_again.ini"));
}

// What a row guards, the file, what the document does first; another program sets section/key (a null value
// deletes); the document sets S/j and saves: the file expected.
TEST_F(EnvIniTest, SaveWritesOnlyChangesOverAnotherProgramsChanges)
{
    using Interleaving = std::tuple<const char*, std::wstring, std::function<void(CTqEnvIni&)>, const wchar_t*,
                                    const wchar_t*, const wchar_t*, std::wstring>;
    CStringArray items, one = Array({L"e"});
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
         [&](CTqEnvIni& d) { d.SetOrderArray(L"S", one, L"E%d", 0); }, nullptr, nullptr, nullptr,
         L"[S]\r\ncount=1\r\nE0=e\r\n"},
    };
    for (const auto& [name, seed, first, section, key, value, expected] : cases) {
        zv::ClearProfileCache();
        Seed(seed);
        const auto d = Again();
        first(*d);
        const CTqIni other(W(path).c_str());
        if (section)
            value ? other.WriteString(section, key, value) : other.DeleteKey(section, key);
        d->SetInt(L"S", L"j", 9);
        d->Save();
        EXPECT_EQ(Text(), expected) << name;
        EXPECT_EQ(d->IsDirty(), 0) << name;
    }
}

} // namespace

#include <zvenv/CTqEnvSetting.h>

#include "EnvIniTestUtil.h"

#include <functional>
#include <thread>
#include <typeinfo>

using namespace envinitest;

namespace {

// A first read right after another may skip the file's check, but never misses
// what this process changed; in memory, so no sync outlasts that window.
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

TEST_F(EnvIniTest, ReadsWriteNothingAndNamesDifferingInCaseAreTwoEntries)
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

    // Names differing in case are two cache entries over one file key.
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
}

// The conversions are CTqIni's; these are the document's: base ten, and the text it caches.
TEST_F(EnvIniTest, TypedValuesCacheTheirTextForm)
{
    Seed(L"[N]\r\nhex=0x10\r\ntail=12abc\r\nd=0.1234567\r\n");
    EXPECT_EQ(doc.GetInt(L"N", L"hex", 9), 0);
    EXPECT_EQ(doc.GetInt(L"N", L"tail", 0), 12);
    EXPECT_EQ(doc.GetString(L"N", L"tail", L""), CString(L"12"));
    doc.SetString(L"N", L"spaced", L"  42xyz");
    EXPECT_EQ(doc.GetInt(L"N", L"spaced", 1), 42);
    EXPECT_DOUBLE_EQ(doc.GetDouble(L"N", L"d", 0), 0.1234567) << "the first answer is unrounded";
    EXPECT_DOUBLE_EQ(doc.GetDouble(L"N", L"d", 0), 0.123457);
    EXPECT_DOUBLE_EQ(doc.GetDouble(L"N", L"missing", 1.5), 1.5);
    EXPECT_EQ(doc.GetString(L"N", L"missing", L""), CString(L"1.500000")) << "the default is cached as text";

    CPoint p(3, -4), dp(7, 8);
    CRect r(1, 2, 30, 40), dr;
    CSize s(640, 480), ds;
    doc.SetPoint(L"G", L"p", p);
    doc.SetRGB(L"G", L"c", 0x00336699);
    doc.SetRect(L"G", L"r", r);
    doc.SetSize(L"G", L"s", s);
    doc.SetDouble(L"G", L"d", 2.0);
    doc.Save();
    const auto again = Again();
    EXPECT_EQ(again->GetPoint(L"G", L"p", dp), p);
    EXPECT_EQ(again->GetRGB(L"G", L"c", 0), 0x00336699ul);
    EXPECT_EQ(again->GetRect(L"G", L"r", dr), r);
    EXPECT_EQ(again->GetSize(L"G", L"s", ds), s);
    EXPECT_EQ(again->GetStringEx(L"G", L"d", L""), CString(L"2.000000"));
    EXPECT_EQ(again->GetPoint(L"G", L"none", dp), dp);
    EXPECT_EQ(again->GetString(L"G", L"none", L""), CString(L"7,8"));
    EXPECT_EQ(again->GetStringEx(L"N", L"hex", L""), CString(L"0")) << "a number read is saved as cached";
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
    EXPECT_EQ(doc.GetString(L"S", L"k", L""), CString(L"old"));
    EXPECT_EQ(doc.GetStringEx(L"S", L"j", L"d"), CString(L"d")) << "unsaved changes are not in the file";
    doc.SetStringEx(L"S", L"j", L"late");
    EXPECT_EQ(doc.GetStringEx(L"S", L"missing", L"d"), CString(L"d"));
    doc.SetStringEx(L"S", L"missing", L"late");
    EXPECT_EQ(doc.GetString(L"S", L"missing", L"d"), CString(L"late")) << "the Ex read cached nothing";
    EXPECT_EQ(Saved(), L"[S]\r\nk=old\r\nnow=v\r\narr=a,b\r\nj=memory\r\nmissing=late\r\n");

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
    ASSERT_EQ(left.GetSize(), 2);
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
    EXPECT_EQ(doc.GetString(L"S", L"s", L""), CString(L"text"));
    doc.GetOrderArray(L"O", got, L"", L"N%d", 3);
    EXPECT_EQ(Items(got), Items(ordered));
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
    EXPECT_EQ(target.GetString(L"Shared", L"a", L""), CString(L"src"));
    EXPECT_EQ(target.GetString(L"Shared", L"b", L"default"), CString(L"default")) << "the section is replaced whole";
    EXPECT_EQ(target.GetString(L"Only", L"c", L""), CString(L"kept"));
    target.GetTreeArray(L"T", got, L"", L",");
    EXPECT_EQ(Items(got), Items(ordered));
    clone.reset(source.Clone());
    EXPECT_TRUE(typeid(*clone) == typeid(CTqEnvIni));
    EXPECT_EQ(clone->GetString(L"Shared", L"a", L""), CString(L"src"));
}

using EnvIniThreads = EnvIniTest;

// Clean under ThreadSanitizer, and the file ends with each key's last value.
TEST_F(EnvIniThreads, MixedReadsWritesAndSavesEndWithTheLastValueOfEveryKey)
{
    constexpr int kThreads = 8, kRounds = 200;
    const auto name = [](const wchar_t* prefix, int n) { return CString(prefix) + CString(std::to_wstring(n)); };
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
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
    }
    for (auto& thread : threads)
        thread.join();
    doc.Save();

    zv::ClearProfileCache();
    const auto check = Again();
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(check->GetInt(name(L"T", t), L"k", -1), kRounds - 1) << t;
        CStringArray items;
        check->GetOrderArray(name(L"O", t), items, L"", L"I%d", 0);
        EXPECT_EQ(Items(items), std::vector<std::wstring>({std::to_wstring(t), std::to_wstring(kRounds - 1)}));
    }
}

} // namespace

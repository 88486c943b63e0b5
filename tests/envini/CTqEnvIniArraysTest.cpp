#include "EnvIniTestUtil.h"

#include <algorithm>
#include <tuple>

using namespace envinitest;

namespace {

TEST_F(EnvIniTest, PlainArraysSplitTheCachedTextAndCacheWhatTheFileHeldJoined)
{
    // Only exactly 1 keeps the last empty element; an empty delimiter does not split.
    const std::tuple<const wchar_t*, const wchar_t*, int, Strings> cases[] = {
        {L"a;;b;", L";", 0, {L"a", L"", L"b"}},
        {L"a;;b;", L";", 1, {L"a", L"", L"b", L""}},
        {L"a;;b;", L";", 2, {L"a", L"", L"b"}},
        {L"", L";", 0, {}},
        {L"", L";", 1, {L""}},
        {L"x::y::", L"::", 0, {L"x", L"y"}},
        {L"x::y::", L"", 0, {L"x::y::"}},
    };
    CStringArray items;
    for (const auto& [text, delimiter, flag, expected] : cases) {
        doc.SetString(L"S", L"k", text);
        items.Add(L"stale");
        doc.GetArray(L"S", L"k", items, L"", delimiter, flag);
        EXPECT_EQ(Items(items), expected) << text << " split by " << delimiter << " with " << flag;
    }

    Seed(L"[F]\r\nk= a ; b ;;\r\n");
    doc.GetArray(L"F", L"k", items, L"def", L";", 1);
    EXPECT_EQ(Items(items), Strings({L"a", L"b"})) << "trimmed, without empties";
    EXPECT_EQ(doc.GetString(L"F", L"k", L""), CString(L"a;b"));
    doc.GetArray(L"F", L"m", items, L"x,y", L",", 0);
    EXPECT_EQ(Items(items), Strings({L"x", L"y"}));
    EXPECT_EQ(doc.GetString(L"F", L"m", L""), CString(L"x,y"));
    doc.SetArray(L"F", L"k", items, L"");
    EXPECT_EQ(doc.GetString(L"F", L"k", L""), CString(L"x,y")) << "an empty delimiter joins with a comma";
    doc.SetArray(L"F", L"w", items, L"|", 1);
    EXPECT_EQ(Text(), L"[F]\r\nk= a ; b ;;\r\nw=x|y\r\n");
}

TEST_F(EnvIniTest, OrderedArraysReadCountAndPatternKeysFromTheFirstIndex)
{
    Seed(L"[L]\r\ncount=3\r\nItem1=x\r\nItem2=y\r\n[Zero]\r\ncount=0\r\n");
    CStringArray items = Array({L"stale"}), some = Array({L"p", L"q"});
    doc.GetOrderArray(L"L", items, L"", L"Item", 1);
    EXPECT_EQ(items.GetSize(), 0) << "no conversion";
    doc.GetOrderArray(L"L", items, L"", L"Item%d", -1);
    EXPECT_EQ(items.GetSize(), 0) << "a negative first index";
    for (const wchar_t* pattern :
         {L"Item%d%s", L"%s%d", L"Item%n%d", L"%d%d", L"Item%x%d", L"Item%d%", L"%5d%d", L"%ls%d", L"%d%p"}) {
        doc.GetOrderArray(L"L", items, L"", pattern, 0);
        EXPECT_EQ(items.GetSize(), 0) << pattern;
        doc.SetOrderArray(L"Bad", some, pattern, 0);
    }
    EXPECT_EQ(doc.IsDirty(), 0) << "a refused SetOrderArray changes nothing";
    doc.GetOrderArray(L"Zero", items, L"", L"I%d", 0);
    doc.GetOrderArray(L"Missing", items, L"", L"I%d", 0);
    EXPECT_EQ(items.GetSize(), 0);
    doc.GetOrderArray(L"L", items, L"-", L"Item%d", 1);
    EXPECT_EQ(Items(items), Strings({L"x", L"y", L"-"})) << "a missing element key gives the default";
    EXPECT_EQ(doc.IsDirty(), 0);
    // A later read with another pattern changes what Save writes.
    doc.GetOrderArray(L"L", items, L"", L"N%d", 5);
    doc.SetOrderArray(L"P", some, L"100%%_%d", 0);
    EXPECT_EQ(Saved(), L"[Zero]\r\ncount=0\r\n[Missing]\r\ncount=0\r\n[L]\r\ncount=3\r\nN5=x\r\nN6=y\r\nN7=-\r\n"
                       L"[P]\r\ncount=2\r\n100%_0=p\r\n100%_1=q\r\n");
}

// Save splits with the section's first delimiter; of two prefixes the last visited stays.
TEST_F(EnvIniTest, TreeArraysReadTheSubSectionsTheFileNames)
{
    Seed(L"[T]\r\ncount=2\r\n0=T_0\r\n1=X\r\n[T_0]\r\ncount=2\r\n0=a\r\n1=b\r\n[X]\r\ncount=1\r\n0=c\r\n");
    CStringArray items, first = Array({L"a", L"b"}), second = Array({L"c,d"});
    doc.GetTreeArray(L"T", items, L"", L"|");
    EXPECT_EQ(Items(items), Strings({L"a|b", L"c"}));
    EXPECT_EQ(doc.IsDirty(), 0);
    doc.GetTreeArray(L"T", items, L"Other", L",");
    EXPECT_EQ(Items(items), Strings({L"a,b", L"c"}));
    doc.SetTreeArray(L"U", first, L"P", L"|");
    doc.SetTreeArray(L"U", second, L"Q", L"|");
    doc.SetTreeArray(L"U", second, L"Q", L","); // the set replaces the delimiter
    EXPECT_EQ(Saved(), L"[T_0]\r\ncount=2\r\n0=a\r\n1=b\r\n[X]\r\ncount=1\r\n0=c\r\n[T]\r\ncount=2\r\n0=Other_0\r\n"
                       L"1=Other_1\r\n[T_1]\r\ncount=1\r\n0=c\r\n[Other_0]\r\ncount=1\r\n0=a,b\r\n[Other_1]\r\n"
                       L"count=1\r\n0=c\r\n[U]\r\ncount=1\r\n0=Q_0\r\n1=P_1\r\n[P_0]\r\ncount=1\r\n0=a\r\n[P_1]\r\n"
                       L"count=1\r\n0=b\r\n[Q_0]\r\ncount=2\r\n0=c\r\n1=d\r\n");
}

// Past 65,535 elements arrays are read and saved whole; a read is bounded by the file's size.
TEST_F(EnvIniTest, LongArraysAreReadWholeAndHostileCountsCostNoMoreThanTheFile)
{
    constexpr int kOrdered = 66000, kTree = 22000;
    std::wstring text = L"[L]\r\ncount=" + std::to_wstring(kOrdered) + L"\r\n", trees;
    for (int i = 0; i < kOrdered; ++i)
        text += L"Item" + std::to_wstring(i) + L"=v" + std::to_wstring(i) + L"\r\n";
    text += L"[T]\r\ncount=" + std::to_wstring(kTree) + L"\r\n";
    for (int i = 0; i < kTree; ++i) {
        text += std::to_wstring(i) + L"=T_" + std::to_wstring(i) + L"\r\n";
        trees += L"[T_" + std::to_wstring(i) + L"]\r\ncount=2\r\n0=a" + std::to_wstring(i) + L"\r\n1=b\r\n";
    }
    Seed(text + trees);
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

} // namespace

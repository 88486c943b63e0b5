#include "EnvJsonTestUtil.h"

#include <zvenv/ZvUtil.h>

using namespace envjsontest;
using zvtest::Utf16;

namespace {

const wchar_t* const kMixed = L"{\"s\": \"x\", \"n\": 7, \"b\": true, \"f\": false, \"z\": null, \"a\": [1, 2],"
                              L" \"o\": {\"x\": 1}, \"e\": {\"\": \"inner\"}, \"strs\": [\"a\", \"b\"],"
                              L" \"nest\": [[\"a\", \"b\"], \"c\", {\"k\": \"v\"}], \"lead\": [\"12\", \"x\"]}";

JsonNodeType TypeOf(CTqEnvJson* doc, const wchar_t* key)
{
    void* node = Member(doc, key);
    return node ? JsonGetType(node) : static_cast<JsonNodeType>(255);
}

} // namespace

TEST(JsonValues, NewKeyIsStoredAsStringAndMarksDirty)
{
    if (!InFreshRoot())
        return;
    CTqEnvJson* doc = fnTqEnvMgr()->GetJson(L"typed");
    ASSERT_NE(doc->GetJson(), nullptr);
    doc->SetInt(L"n", 5);
    EXPECT_EQ(doc->IsDirty(), 1);
    EXPECT_EQ(TypeOf(doc, L"n"), JsonString);
    EXPECT_EQ(doc->GetString(L"n", L"").str(), L"5");
    EXPECT_EQ(doc->GetInt(L"n", 0), 5);

    doc->SetDouble(L"d", 2.75);
    EXPECT_EQ(doc->GetString(L"d", L"").str(), L"2.750000");
    EXPECT_DOUBLE_EQ(doc->GetDouble(L"d", 0), 2.75);

    CPoint pt(10, -20);
    doc->SetPoint(L"pt", pt);
    CPoint zeroPt(0, 0);
    EXPECT_EQ(doc->GetString(L"pt", L"").str(), PointToString(pt, L",").str());
    EXPECT_EQ(doc->GetPoint(L"pt", zeroPt), pt);

    doc->SetRGB(L"c", 0x0080FFul);
    EXPECT_EQ(doc->GetString(L"c", L"").str(), L"255,128,0");
    EXPECT_EQ(doc->GetRGB(L"c", 0), 0x0080FFul);

    CRect rc(1, 2, 3, 4), zeroRc(0, 0, 0, 0);
    doc->SetRect(L"rc", rc);
    EXPECT_EQ(doc->GetString(L"rc", L"").str(), L"1,2,3,4");
    EXPECT_EQ(doc->GetRect(L"rc", zeroRc), rc);

    CSize sz(640, 480), zeroSz(0, 0);
    doc->SetSize(L"sz", sz);
    EXPECT_EQ(doc->GetString(L"sz", L"").str(), L"640,480");
    EXPECT_EQ(doc->GetSize(L"sz", zeroSz), sz);

    // New members come last, in the order they were set.
    void** last = doc->GetEndIterator(nullptr) - 1;
    EXPECT_EQ(doc->GetNodeName(*last).str(), L"sz");
    EXPECT_EQ(doc->GetNodeSize(nullptr), 6);
}

TEST(JsonValues, ExistingMemberChangesByItsOwnType)
{
    if (!InFreshRoot())
        return;
    CTqEnvJson* doc = OpenUserText("update", kMixed);
    ASSERT_NE(doc->GetJson(), nullptr);
    const int members = doc->GetNodeSize(nullptr);

    doc->SetDouble(L"n", 2.75);
    EXPECT_EQ(doc->IsDirty(), 1);
    EXPECT_EQ(TypeOf(doc, L"n"), JsonNumber);
    EXPECT_EQ(doc->GetString(L"n", L"").str(), L"2");
    EXPECT_DOUBLE_EQ(doc->GetDouble(L"n", 9.0), 2.0);

    CPoint pt(3, 4);
    doc->SetPoint(L"n", pt);
    EXPECT_EQ(doc->GetString(L"n", L"").str(), L"3");

    doc->SetString(L"b", L"true"); // not a number: false
    EXPECT_EQ(TypeOf(doc, L"b"), JsonBoolean);
    EXPECT_EQ(doc->GetString(L"b", L"").str(), L"false");
    doc->SetInt(L"f", 3);
    EXPECT_EQ(doc->GetString(L"f", L"").str(), L"true");

    doc->SetInt(L"s", 42);
    EXPECT_EQ(TypeOf(doc, L"s"), JsonString);
    EXPECT_EQ(doc->GetString(L"s", L"").str(), L"42");

    // Null, array and object members are left alone and change nothing.
    doc->SetDirty(0);
    doc->SetInt(L"z", 5);
    doc->SetString(L"a", L"x");
    doc->SetInt(L"o", 1);
    EXPECT_EQ(doc->IsDirty(), 0);
    EXPECT_EQ(doc->GetString(L"z", L"").str(), L"null");
    EXPECT_EQ(doc->GetString(L"a", L"").str(), L"1|2|");
    EXPECT_EQ(doc->GetNodeSize(nullptr), members);
}

TEST(JsonValues, ReadersByMemberType)
{
    if (!InFreshRoot())
        return;
    CTqEnvJson* doc = OpenUserText("readers", kMixed);
    ASSERT_NE(doc->GetJson(), nullptr);
    EXPECT_EQ(doc->GetInt(L"missing", 9), 9);
    EXPECT_DOUBLE_EQ(doc->GetDouble(L"missing", 1.23456789), 1.234568);
    EXPECT_EQ(doc->GetString(L"missing", L"dflt").str(), L"dflt");
    CPoint defPt(7, 8);
    EXPECT_EQ(doc->GetPoint(L"missing", defPt), defPt);
    EXPECT_EQ(doc->GetRGB(L"missing", 0x123456ul), 0x123456ul);

    EXPECT_EQ(doc->GetInt(L"n", 0), 7);
    EXPECT_EQ(doc->GetString(L"strs", L"").str(), L"a|b|");
    EXPECT_EQ(doc->GetInt(L"b", 9), 0);
    EXPECT_EQ(doc->GetInt(L"f", 9), 0);
    EXPECT_EQ(doc->GetString(L"b", L"").str(), L"true");
    EXPECT_EQ(doc->GetString(L"z", L"d").str(), L"null");
    // An object is looked into for a member with an empty name.
    EXPECT_EQ(doc->GetInt(L"o", 9), 0);
    EXPECT_EQ(doc->GetString(L"o", L"d").str(), L"");
    EXPECT_EQ(doc->GetString(L"e", L"d").str(), L"inner");
    // Arrays flatten: a nested array after its own bar, an object as a bar.
    EXPECT_EQ(doc->GetString(L"nest", L"").str(), L"|a|b|c||");
    EXPECT_EQ(doc->GetInt(L"lead", 0), 12);
    // Names are matched exactly.
    EXPECT_EQ(doc->GetInt(L"N", 3), 3);
    EXPECT_EQ(doc->IsDirty(), 0);
}

TEST(JsonValues, ValuesUnderAParentNode)
{
    if (!InFreshRoot())
        return;
    CTqEnvJson* doc = OpenUserText("parent", L"{\"grp\": {\"a\": \"1\"}, \"s\": \"text\"}");
    void* grp = Member(doc, L"grp");
    ASSERT_NE(grp, nullptr);
    EXPECT_EQ(doc->GetInt(L"a", 0, grp), 1);
    doc->SetInt(L"b", 2, grp);
    EXPECT_EQ(doc->GetNodeSize(grp), 2);
    EXPECT_EQ(doc->GetInt(L"b", 0, grp), 2);
    EXPECT_EQ(doc->IsExistNode(nullptr, L"b"), 0);
    EXPECT_EQ(doc->IsExistNode(grp, L"b"), 1);

    // A parent that holds no members takes none and reads the default.
    void* text = Member(doc, L"s");
    doc->SetInt(L"x", 1, text);
    EXPECT_EQ(doc->GetInt(L"x", 6, text), 6);
    EXPECT_EQ(doc->GetString(L"s", L"").str(), L"text");
    EXPECT_EQ(doc->GetBeginIterator(text), nullptr);
    EXPECT_EQ(doc->GetNodeSize(text), 0);
}

TEST(JsonValues, PathLookupWithPendingDefault)
{
    if (!InFreshRoot())
        return;
    CTqEnvJson* doc = OpenUserText("path", L"{\"a\": {\"b\": \"x\", \"c\": {\"d\": \"deep\"}}, \"top\": \"t\","
                                           L" \"arr\": [\"p\", \"q\"], \"grid\": [[\"1\", \"2\"], [\"3\"]],"
                                           L" \"last\": {\"first\": \"1\", \"then\": [\"u\", {\"v\": \"w\"}]}}");
    ASSERT_NE(doc->GetJson(), nullptr);
    EXPECT_EQ(doc->GetStringEx(L"a", L"b", L"", L"dflt").str(), L"x");
    EXPECT_EQ(doc->GetStringEx(L"a", L"nope", L"", L"dflt").str(), L"dflt");
    EXPECT_EQ(doc->GetStringEx(L"nope", L"b", L"", L"dflt").str(), L"dflt");
    EXPECT_EQ(doc->GetStringEx(L"a", L"c", L"d", L"dflt").str(), L"deep");
    EXPECT_EQ(doc->GetStringEx(L"a", L"c", L"nope", L"dflt").str(), L"dflt");
    EXPECT_EQ(doc->GetStringEx(L"top", L"", L"", L"dflt").str(), L"t");
    EXPECT_EQ(doc->GetStringEx(L"arr", L"", L"", L"dflt").str(), L"p|q|");
    // A nested array replaces what came before it, then adds its own bar.
    EXPECT_EQ(doc->GetStringEx(L"grid", L"", L"", L"dflt").str(), L"3|");
    // With no key the last child of each level leads to the value.
    EXPECT_EQ(doc->GetStringEx(L"", L"", L"", L"dflt").str(), L"w");
    EXPECT_EQ(doc->GetStringEx(L"last", L"", L"", L"dflt").str(), L"w");
}

TEST(JsonValues, CreateNodeKeepsOrReplaces)
{
    if (!InFreshRoot())
        return;
    CTqEnvJson* doc = OpenUserText("create", L"{\"first\": 1}");
    void** made = doc->CreateNode(nullptr, L"obj", JsonObject, 0);
    ASSERT_NE(made, nullptr);
    ASSERT_NE(made, doc->GetEndIterator(nullptr));
    EXPECT_EQ(JsonGetType(*made), JsonObject);
    EXPECT_EQ(doc->IsDirty(), 1);
    doc->SetInt(L"inside", 1, *made);
    doc->SetInt(L"after", 2);

    doc->SetDirty(0);
    void** again = doc->CreateNode(nullptr, L"obj", JsonObject, 0);
    EXPECT_EQ(again, doc->GetIterator(L"obj", nullptr));
    EXPECT_EQ(doc->GetNodeSize(*again), 1);
    EXPECT_EQ(doc->IsDirty(), 0);
    EXPECT_EQ(doc->GetNodeSize(nullptr), 3);

    void** replaced = doc->CreateNode(nullptr, L"obj", JsonArray, 1);
    EXPECT_EQ(doc->IsDirty(), 1);
    EXPECT_EQ(doc->GetNodeSize(nullptr), 3);
    EXPECT_EQ(JsonGetType(*replaced), JsonArray);
    EXPECT_EQ(doc->GetNodeSize(*replaced), 0);
    EXPECT_EQ(replaced, doc->GetEndIterator(nullptr) - 1);

    // A parent that cannot hold members gets nothing.
    void* scalar = Member(doc, L"first");
    EXPECT_EQ(doc->CreateNode(scalar, L"x", JsonObject, 0), doc->GetEndIterator(scalar));
    EXPECT_EQ(doc->GetInt(L"first", 0), 1);
}

TEST(JsonValues, NamesDeletionAndClearing)
{
    if (!InFreshRoot())
        return;
    CTqEnvJson* doc = OpenUserText("names", L"{\"a\": 1, \"b\": {\"c\": 2, \"d\": 3}, \"s\": \"v\"}");
    ASSERT_NE(doc->GetJson(), nullptr);
    doc->SetNodeName(nullptr, L"x");
    doc->SetNodeName(doc->GetJson(), L"x");
    EXPECT_EQ(doc->IsDirty(), 0);
    EXPECT_EQ(doc->GetNodeName(nullptr).str(), L"");

    doc->SetNodeName(Member(doc, L"a"), L"renamed");
    EXPECT_EQ(doc->IsDirty(), 1);
    EXPECT_EQ(doc->IsExistNode(nullptr, L"a"), 0);
    EXPECT_EQ(doc->GetInt(L"renamed", 0), 1);

    doc->SetDirty(0);
    doc->DeleteKey(nullptr, L"missing");
    EXPECT_EQ(doc->IsDirty(), 0);
    void* b = Member(doc, L"b");
    doc->DeleteKey(b, L"c");
    EXPECT_EQ(doc->IsDirty(), 1);
    EXPECT_EQ(doc->GetNodeSize(b), 1);
    doc->DeleteKey(nullptr, L"renamed");
    EXPECT_EQ(doc->IsExistNode(nullptr, L"renamed"), 0);
    EXPECT_EQ(doc->GetNodeSize(nullptr), 2);

    doc->ClearNode(Member(doc, L"b"));
    EXPECT_EQ(doc->GetNodeSize(Member(doc, L"b")), 0);
    doc->ClearNode(nullptr);
    EXPECT_EQ(doc->GetNodeSize(nullptr), 0);
    EXPECT_NE(doc->GetJson(), nullptr);
}

TEST(JsonValues, DocumentWithoutTreeGivesZeroValuesAndTakesNothing)
{
    if (!InFreshRoot())
        return;
    CapturedMessages messages;
    CTqEnvJson* doc = OpenUserDocument("empty-tree", Utf16(L"not json"));
    ASSERT_EQ(doc->GetJson(), nullptr);
    CPoint pt(1, 2);
    CRect rc(1, 2, 3, 4);
    CSize sz(5, 6);
    EXPECT_EQ(doc->GetInt(L"k", 9), 0);
    EXPECT_EQ(doc->GetDouble(L"k", 9.5), 0.0);
    EXPECT_EQ(doc->GetString(L"k", L"d").str(), L"");
    EXPECT_EQ(doc->GetPoint(L"k", pt), CPoint(0, 0));
    EXPECT_EQ(doc->GetRGB(L"k", 7), 0ul);
    EXPECT_EQ(doc->GetRect(L"k", rc), CRect(0, 0, 0, 0));
    EXPECT_EQ(doc->GetSize(L"k", sz), CSize(0, 0));
    EXPECT_EQ(doc->GetStringEx(L"k", L"", L"", L"d").str(), L"");
    EXPECT_EQ(doc->GetIterator(L"k", nullptr), nullptr);
    EXPECT_EQ(doc->GetBeginIterator(nullptr), nullptr);
    EXPECT_EQ(doc->GetEndIterator(nullptr), nullptr);
    EXPECT_EQ(doc->GetNodeSize(nullptr), 0);
    EXPECT_EQ(doc->GetNodeName(nullptr).str(), L"");
    EXPECT_EQ(doc->IsExistNode(nullptr, L"k"), 0);
    EXPECT_EQ(doc->CreateNode(nullptr, L"k", JsonObject, 1), nullptr);

    doc->SetInt(L"k", 1);
    doc->SetString(L"k", L"v");
    doc->SetPoint(L"k", pt);
    doc->DeleteKey(nullptr, L"k");
    doc->ClearNode(nullptr);
    CStringArray values;
    values.Add(L"keep");
    doc->SetArray(L"k", values);
    doc->SetTreeArray(L"k", values, L"|");
    doc->GetArray(L"k", values);
    EXPECT_EQ(Items(values), (std::vector<std::wstring>{L"keep"}));
    doc->GetTreeArray(L"k", values);
    EXPECT_EQ(values.GetSize(), 0);
    EXPECT_EQ(doc->GetJson(), nullptr);
    EXPECT_EQ(doc->IsDirty(), 0);
}

#include "EnvJsonTestUtil.h"
#include "json/JsonGrammar.h"

#include <thread>

using namespace envjsontest;

namespace {

const wchar_t* const kMixed =
    L"{\"s\": \"x\", \"n\": 7, \"b\": true, \"f\": false, \"z\": null, \"a\": [\"12\", 2], \"o\": {\"x\": 1},"
    L" \"e\": {\"\": \"inner\"}, \"nest\": [[\"a\", \"b\"], \"c\", {\"k\": \"v\"}],"
    L" \"path\": {\"b\": \"x\", \"c\": {\"d\": \"deep\"}}, \"grid\": [[\"1\", \"2\"], [\"3\"]],"
    L" \"mixed\": [\"s\", 1, true, null, [\"in\"], {\"o\": \"p\"}, \"t\"], \"last\": {\"then\": [\"u\", {\"v\": "
    L"\"w\"}]}}";

JsonNodeType TypeOf(CTqEnvJson* doc, const wchar_t* key)
{
    return JsonGetType(Member(doc, key));
}

CStringArray Strings(std::initializer_list<const wchar_t*> items)
{
    CStringArray values;
    for (const wchar_t* item : items)
        values.Add(item);
    return values;
}

} // namespace

TEST(JsonValues, ReadersWritersNodesAndArrays)
{
    if (!InFreshRoot())
        return;
    CTqEnvJson* doc = OpenText("typed", kMixed);
    EXPECT_EQ(doc->GetInt(L"missing", 9), 9);
    EXPECT_DOUBLE_EQ(doc->GetDouble(L"missing", 1.23456789), 1.234568);
    EXPECT_EQ(doc->GetInt(L"N", 3), 3); // names match exactly
    EXPECT_EQ(doc->GetInt(L"b", 9) + doc->GetInt(L"f", 9), 0);
    EXPECT_EQ(doc->GetInt(L"a", 0), 12);
    EXPECT_EQ(doc->GetInt(L"o", 9), 0); // an object is searched for an empty name
    EXPECT_EQ(doc->GetString(L"e", L"d").str(), L"inner");
    EXPECT_EQ(doc->GetString(L"nest", L"").str(), L"|a|b|c||");

    const wchar_t* const paths[][4] = {{L"path", L"b", L"", L"x"},       {L"path", L"c", L"d", L"deep"},
                                       {L"path", L"nope", L"", L"dflt"}, {L"path", L"c", L"nope", L"dflt"},
                                       {L"nope", L"b", L"", L"dflt"},    {L"s", L"", L"", L"x"},
                                       {L"grid", L"", L"", L"3|"},       {L"", L"", L"", L"w"}};
    for (const auto& [key, key2, key3, found] : paths)
        EXPECT_EQ(doc->GetStringEx(key, key2, key3, L"dflt").str(), found) << key << key2 << key3;
    EXPECT_EQ(doc->IsDirty(), 0);

    // New members are strings, added at the end.
    CPoint pt(10, -20), zeroPt;
    CRect rc(1, 2, 3, 4), zeroRc;
    CSize sz(640, 480), zeroSz;
    doc->SetInt(L"new", 5);
    EXPECT_EQ(doc->IsDirty(), 1);
    EXPECT_EQ(TypeOf(doc, L"new"), JsonString);
    EXPECT_EQ(doc->GetNodeName(*(doc->GetEndIterator(nullptr) - 1)).str(), L"new");
    doc->SetDouble(L"d", 2.75);
    doc->SetPoint(L"pt", pt);
    doc->SetRGB(L"c", 0x0080FFul);
    doc->SetRect(L"rc", rc);
    doc->SetSize(L"sz", sz);
    EXPECT_EQ(doc->GetString(L"d", L"").str(), L"2.750000");
    EXPECT_EQ(doc->GetInt(L"new", 0), 5);
    EXPECT_DOUBLE_EQ(doc->GetDouble(L"d", 0), 2.75);
    EXPECT_EQ(doc->GetPoint(L"pt", zeroPt), pt);
    EXPECT_EQ(doc->GetRGB(L"c", 0), 0x0080FFul);
    EXPECT_EQ(doc->GetRect(L"rc", zeroRc), rc);
    EXPECT_EQ(doc->GetSize(L"sz", zeroSz), sz);

    // Existing members keep their type: numbers take the leading integer, booleans non-zero.
    doc->SetDouble(L"n", 2.75);
    EXPECT_EQ(TypeOf(doc, L"n"), JsonNumber);
    EXPECT_EQ(doc->GetString(L"n", L"").str(), L"2");
    doc->SetPoint(L"n", pt);
    EXPECT_EQ(doc->GetInt(L"n", 0), 10);
    doc->SetString(L"b", L"true");
    doc->SetInt(L"f", 3);
    EXPECT_EQ(TypeOf(doc, L"b"), JsonBoolean);
    EXPECT_EQ(doc->GetString(L"b", L"").str() + doc->GetString(L"f", L"").str(), L"falsetrue");
    doc->SetInt(L"s", 42);
    EXPECT_EQ(TypeOf(doc, L"s"), JsonString);
    EXPECT_EQ(doc->GetString(L"s", L"").str(), L"42");
    // Null, array and object members take nothing and leave the document clean.
    doc->SetDirty(0);
    doc->SetInt(L"z", 5);
    doc->SetString(L"a", L"x");
    doc->SetInt(L"o", 1);
    EXPECT_EQ(doc->IsDirty(), 0);
    EXPECT_EQ(doc->GetString(L"z", L"").str() + doc->GetString(L"a", L"").str(), L"null12|2|");

    // Nodes made, renamed and deleted; arrays and tree arrays.
    doc = OpenText("nodes", L"{\"first\": 1, \"grp\": {\"c\": 2, \"d\": 3}}");
    void** made = doc->CreateNode(nullptr, L"obj", JsonObject, 0);
    doc->SetInt(L"inside", 1, *made);
    doc->SetDirty(0);
    void** again = doc->CreateNode(nullptr, L"obj", JsonObject, 0);
    EXPECT_EQ(again, made);
    EXPECT_EQ(doc->GetNodeSize(*again), 1);
    EXPECT_EQ(doc->IsDirty(), 0);
    doc->SetInt(L"after", 2);
    void** replaced = doc->CreateNode(nullptr, L"obj", JsonArray, 1);
    EXPECT_EQ(JsonGetType(*replaced), JsonArray);
    EXPECT_EQ(doc->GetNodeSize(*replaced), 0);
    EXPECT_EQ(replaced, doc->GetEndIterator(nullptr) - 1);
    EXPECT_EQ(doc->GetNodeSize(nullptr), 4);

    doc->SetDirty(0);
    doc->SetNodeName(nullptr, L"x");
    doc->SetNodeName(doc->GetJson(), L"x");
    doc->DeleteKey(nullptr, L"missing");
    EXPECT_EQ(doc->IsDirty(), 0);
    EXPECT_EQ(doc->GetNodeName(nullptr).str(), L"");
    doc->SetNodeName(Member(doc, L"first"), L"renamed");
    EXPECT_EQ(doc->IsDirty(), 1);
    EXPECT_EQ(doc->IsExistNode(nullptr, L"first") * 10 + doc->IsExistNode(nullptr, L"renamed"), 1);
    void* grp = Member(doc, L"grp");
    doc->DeleteKey(grp, L"c");
    EXPECT_EQ(doc->GetNodeSize(grp), 1);
    doc->DeleteKey(nullptr, L"renamed");
    EXPECT_EQ(doc->GetNodeSize(nullptr), 3);
    doc->ClearNode(nullptr);
    EXPECT_EQ(doc->GetNodeSize(nullptr), 0);

    doc = OpenText("arrays", kMixed);
    const int members = doc->GetNodeSize(nullptr);
    CStringArray out = Strings({L"x"});
    doc->GetArray(L"mixed", out);
    doc->GetArray(L"s", out);
    EXPECT_EQ(Items(out), (Texts{L"x", L"s", L"t"}));
    CStringArray values = Strings({L"a", L"b"}), none;
    doc->SetArray(L"mixed", values);
    EXPECT_EQ(doc->GetNodeSize(nullptr), members);
    EXPECT_EQ(doc->GetNodeName(*(doc->GetEndIterator(nullptr) - 1)).str(), L"mixed");
    out.RemoveAll();
    doc->GetArray(L"mixed", out);
    EXPECT_EQ(Items(out), (Texts{L"a", L"b"}));
    doc->SetDirty(0);
    doc->SetArray(L"empty", none);
    EXPECT_EQ(doc->IsDirty(), 1);
    EXPECT_EQ(JsonGetType(Member(doc, L"empty")), JsonArray);

    CStringArray rows = Strings({L"a|b", L"c", L"d|e|"}), commas = Strings({L"x,y"});
    doc->SetTreeArray(L"tree", rows, L"|");
    CStringArray back = Strings({L"stale"});
    doc->GetTreeArray(L"tree", back);
    EXPECT_EQ(Items(back), (Texts{L"a|b|", L"c|", L"d|e|"}));
    doc->SetTreeArray(L"tree", commas, L",");
    doc->GetTreeArray(L"tree", back);
    EXPECT_EQ(Items(back), Texts{L"x|y|"});
    doc->GetTreeArray(L"mixed", back); // strings, not rows
    EXPECT_EQ(back.GetSize(), 0);

    // Every reader takes a value whole, U+0000 included.
    doc = OpenText("zeros",
                   L"{\"v\": \"a\\u0000b\", \"l\": [\"x\\u0000y\"], \"r\": [[\"p\\u0000q\"]], \"n\\u0000m\": 1}");
    EXPECT_EQ(doc->GetString(L"v", L"").str(), std::wstring(L"a\0b", 3));
    out.RemoveAll();
    doc->GetArray(L"l", out);
    EXPECT_EQ(Items(out), Texts{std::wstring(L"x\0y", 3)});
    doc->GetTreeArray(L"r", back);
    EXPECT_EQ(Items(back), Texts{std::wstring(L"p\0q|", 4)});
    EXPECT_EQ(doc->GetNodeName(*(doc->GetEndIterator(nullptr) - 1)).str(), std::wstring(L"n\0m", 3));

    // No node is built deeper than a loadable document; the deepest is walked without recursion.
    doc = fnTqEnvMgr()->GetJson(L"deep");
    CTqEnvJson* chain = fnTqEnvMgr()->GetJson(L"rows");
    void *parent = nullptr, *row = nullptr;
    for (std::uint32_t level = 2; level <= zv::json::kMaxDepth; ++level) {
        void** it = doc->CreateNode(parent, L"k", JsonObject, 0);
        ASSERT_NE(it, doc->GetEndIterator(parent)) << level;
        parent = *it;
        row = *chain->CreateNode(row, L"k", JsonArray, 0);
    }
    doc->SetString(L"leaf", L"value", parent);
    EXPECT_EQ(doc->CreateNode(parent, L"leaf", JsonArray, 1), doc->GetEndIterator(parent));
    EXPECT_EQ(doc->CreateNode(parent, L"more", JsonObject, 0), doc->GetEndIterator(parent));
    CStringArray items;
    items.Add(L"x");
    doc->SetArray(L"leaf", items, parent);
    doc->SetTreeArray(L"rows", items, L"|", parent);
    EXPECT_EQ(doc->GetNodeSize(parent), 1);
    EXPECT_EQ(doc->GetString(L"leaf", L"", parent).str(), L"value");
    void** number = doc->CreateNode(parent, L"n", JsonNumber, 0);
    EXPECT_NE(number, doc->GetEndIterator(parent));
    const std::wstring built = TreeText(doc);
    doc->Save();
    doc->ReloadFile(0);
    EXPECT_EQ(TreeText(doc), built);

    chain->SetString(L"", L"bottom", row);
    EXPECT_EQ(chain->GetString(L"k", L"d").str(), L"|bottom");
    EXPECT_EQ(chain->GetStringEx(L"", L"", L"", L"d").str(), L"bottom");
    EXPECT_EQ(chain->GetStringEx(L"k", L"", L"", L"d").str(), L"bottom|");
    chain->GetTreeArray(L"k", items);
    EXPECT_EQ(Items(items), Texts{L"bottom"});
}

// Double bars; fuzz_envjson_split checks the other texts against a model.
TEST(JsonSplit, DoubleBarsKeepOneBarPerPiece)
{
    const std::pair<std::wstring, Texts> rows[] = {
        {L"", {}},
        {L"a||b|", {L"a|", L"|b|"}},
        {L"a||b", {L"a|", L"|"}},
        {L"a|||b|", {L"a|"}},
        {L"||a", {}},
        {L"a||b||c|", {L"a|", L"|b|", L"|c|"}},
        {std::wstring(100000, L'|'), {}},
    };
    for (const auto& [text, pieces] : rows) {
        CStringArray out;
        out.Add(L"stale");
        EXPECT_EQ(CTqEnvJson::StringToArray(text.c_str(), out), static_cast<int>(pieces.size()));
        EXPECT_EQ(Items(out), pieces) << text.size();
    }
}

TEST(JsonValues, ThreadsSharingADocument)
{
    if (!InFreshRoot())
        return;
    CTqEnvJson* doc = fnTqEnvMgr()->GetJson(L"shared");
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([doc, t] {
            for (int i = 0; i < 200; ++i) {
                const CString key(std::to_wstring(t * 1000 + i));
                CStringArray values = Strings({L"p|q|"}), pieces;
                doc->SetInt(key, i);
                doc->SetArray(L"list", values);
                CTqEnvJson::StringToArray(doc->GetString(L"list", L""), pieces);
                EXPECT_EQ(doc->GetInt(key, -1) + pieces.GetSize(), i + 1);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(doc->GetNodeSize(nullptr), 4 * 200 + 1);
}

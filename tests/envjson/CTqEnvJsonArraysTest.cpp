#include "EnvJsonTestUtil.h"

#include <thread>

using namespace envjsontest;
using Pieces = std::vector<std::wstring>;

namespace {

Pieces Split(const wchar_t* text, int* count = nullptr)
{
    CStringArray pieces;
    pieces.Add(L"stale");
    const int n = CTqEnvJson::StringToArray(text, pieces);
    if (count)
        *count = n;
    EXPECT_EQ(n, pieces.GetSize());
    return Items(pieces);
}

CStringArray Strings(std::initializer_list<const wchar_t*> items)
{
    CStringArray values;
    for (const wchar_t* item : items)
        values.Add(item);
    return values;
}

} // namespace

TEST(JsonSplit, SingleBarTexts)
{
    int count = -1;
    EXPECT_EQ(Split(L"a|b|c|", &count), (Pieces{L"a", L"b", L"c"}));
    EXPECT_EQ(count, 3);
    EXPECT_EQ(Split(L"a|b"), (Pieces{L"a"}));
    EXPECT_EQ(Split(L"abc", &count), Pieces{});
    EXPECT_EQ(count, 0);
    EXPECT_EQ(Split(L"", &count), Pieces{});
    EXPECT_EQ(count, 0);
    EXPECT_EQ(Split(L"|a|"), (Pieces{L"a"}));
    EXPECT_EQ(Split(L"|"), Pieces{});
    EXPECT_EQ(Split(L"|x|y"), (Pieces{L"x"}));
}

TEST(JsonSplit, DoubleBarTexts)
{
    EXPECT_EQ(Split(L"a||b|"), (Pieces{L"a|", L"|b|"}));
    EXPECT_EQ(Split(L"a||b"), (Pieces{L"a|", L"|"}));
    EXPECT_EQ(Split(L"a|||b|"), (Pieces{L"a|"}));
    EXPECT_EQ(Split(L"||a"), Pieces{});
    EXPECT_EQ(Split(L"a||b||c|"), (Pieces{L"a|", L"|b|", L"|c|"}));
    EXPECT_EQ(Split(L"ab||"), (Pieces{L"ab|"}));
}

TEST(JsonSplit, SplitsFromManyThreadsStayApart)
{
    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &failures] {
            const std::wstring text = std::to_wstring(t) + L"|x|" + std::to_wstring(t) + L"|";
            for (int i = 0; i < 2000; ++i) {
                CStringArray pieces;
                if (CTqEnvJson::StringToArray(text.c_str(), pieces) != 3 || pieces.GetAt(2).str() != std::to_wstring(t))
                    ++failures[static_cast<std::size_t>(t)];
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(failures, std::vector<int>(4, 0));
}

TEST(JsonArrays, SetThenGetAppendsToTheCallersArray)
{
    if (!InFreshRoot())
        return;
    CTqEnvJson* doc = OpenUserText("arrays", L"{\"k\": [\"old\"], \"z\": 1}");
    CStringArray values = Strings({L"a", L"b"});
    doc->SetArray(L"k", values);
    EXPECT_EQ(doc->IsDirty(), 1);
    // The replaced member moves after the others.
    EXPECT_EQ(doc->GetNodeSize(nullptr), 2);
    EXPECT_EQ(doc->GetNodeName(*(doc->GetEndIterator(nullptr) - 1)).str(), L"k");

    CStringArray out = Strings({L"x"});
    doc->GetArray(L"k", out);
    EXPECT_EQ(Items(out), (Pieces{L"x", L"a", L"b"}));
    EXPECT_EQ(doc->GetString(L"k", L"").str(), L"a|b|");
}

TEST(JsonArrays, OnlyStringElementsAreRead)
{
    if (!InFreshRoot())
        return;
    CTqEnvJson* doc = OpenUserText("mixed", L"{\"k\": [\"s\", 1, true, null, [\"in\"], {\"o\": \"p\"}, \"t\"],"
                                            L" \"text\": \"v\", \"obj\": {\"a\": \"b\"}}");
    CStringArray out;
    doc->GetArray(L"k", out);
    EXPECT_EQ(Items(out), (Pieces{L"s", L"t"}));
    // Members that are not arrays give nothing.
    doc->GetArray(L"text", out);
    doc->GetArray(L"obj", out);
    doc->GetArray(L"missing", out);
    EXPECT_EQ(out.GetSize(), 2);
    EXPECT_EQ(doc->IsDirty(), 0);
}

TEST(JsonArrays, EmptyArrayIsStillWritten)
{
    if (!InFreshRoot())
        return;
    CTqEnvJson* doc = fnTqEnvMgr()->GetJson(L"emptyarr");
    CStringArray none;
    doc->SetArray(L"k", none);
    EXPECT_EQ(doc->IsDirty(), 1);
    void* member = Member(doc, L"k");
    ASSERT_NE(member, nullptr);
    EXPECT_EQ(JsonGetType(member), JsonArray);
    EXPECT_EQ(doc->GetNodeSize(member), 0);
}

TEST(JsonArrays, TreeArraysRoundTrip)
{
    if (!InFreshRoot())
        return;
    CTqEnvJson* doc = OpenUserText("tree", L"{\"flat\": [\"a\", \"b\"], \"t\": 0}");
    CStringArray rows = Strings({L"a|b", L"c", L"d|e|"});
    doc->SetTreeArray(L"t", rows, L"|");
    EXPECT_EQ(doc->IsDirty(), 1);
    EXPECT_EQ(doc->GetNodeSize(nullptr), 2);

    CStringArray back = Strings({L"stale"});
    doc->GetTreeArray(L"t", back);
    EXPECT_EQ(Items(back), (Pieces{L"a|b|", L"c|", L"d|e|"}));

    // Each row is an array of string elements.
    void* outer = Member(doc, L"t");
    ASSERT_EQ(doc->GetNodeSize(outer), 3);
    void* first = *doc->GetBeginIterator(outer);
    EXPECT_EQ(JsonGetType(first), JsonArray);
    EXPECT_EQ(doc->GetNodeSize(first), 2);

    CStringArray commas = Strings({L"x,y"});
    doc->SetTreeArray(L"c", commas, L",");
    doc->GetTreeArray(L"c", back);
    EXPECT_EQ(Items(back), (Pieces{L"x|y|"}));

    // An array of strings is no tree array; a missing key empties the result.
    doc->GetTreeArray(L"flat", back);
    EXPECT_EQ(back.GetSize(), 0);
    back.Add(L"stale");
    doc->GetTreeArray(L"missing", back);
    EXPECT_EQ(back.GetSize(), 0);
}

TEST(JsonArrays, WritersUnderAParentThatHoldsNothing)
{
    if (!InFreshRoot())
        return;
    CTqEnvJson* doc = OpenUserText("scalar", L"{\"s\": \"v\", \"o\": {}}");
    void* scalar = Member(doc, L"s");
    CStringArray values = Strings({L"a"});
    doc->SetArray(L"k", values, scalar);
    doc->SetTreeArray(L"k", values, L"|", scalar);
    EXPECT_EQ(doc->GetString(L"s", L"").str(), L"v");

    void* object = Member(doc, L"o");
    doc->SetArray(L"k", values, object);
    CStringArray out;
    doc->GetArray(L"k", out, object);
    EXPECT_EQ(Items(out), (Pieces{L"a"}));
    EXPECT_EQ(doc->IsExistNode(nullptr, L"k"), 0);
}

TEST(JsonArrays, ThreadsSharingADocument)
{
    if (!InFreshRoot())
        return;
    CTqEnvJson* doc = fnTqEnvMgr()->GetJson(L"shared");
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([doc, t] {
            for (int i = 0; i < 200; ++i) {
                const std::wstring key = L"k" + std::to_wstring(t) + L"_" + std::to_wstring(i);
                doc->SetInt(key.c_str(), i);
                CStringArray values;
                values.Add(key.c_str());
                doc->SetArray(L"list", values);
                doc->GetInt(key.c_str(), -1);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(doc->GetNodeSize(nullptr), 4 * 200 + 1);
    EXPECT_EQ(doc->GetInt(L"k3_199", -1), 199);
}

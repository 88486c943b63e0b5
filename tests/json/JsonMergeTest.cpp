// Kept copies, value comparison, and merging another version into a tree.
#include "json/JsonMerge.h"
#include "JsonTestUtil.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using namespace jsontest;

// The member at a path of names from the root, read the way a host reads it.
JsonNode At(JsonNode root, std::initializer_list<const wchar_t*> path)
{
    JsonNode node = root;
    for (const wchar_t* name : path)
        node = node ? Member(node, name) : nullptr;
    return node;
}

JsonNode NewNumber(const wchar_t* name, int value)
{
    JsonNode node = JsonNewNode(JsonNumber);
    JsonSetName(node, name);
    JsonSetInt(node, value);
    return node;
}

void SetA(JsonNode root)
{
    JsonSetInt(At(root, {L"a"}), 2);
}

TEST(JsonMerge, TheirChangesJoinOurs)
{
    const struct {
        const char* what;
        const wchar_t* base;
        std::function<void(JsonNode)> ours;
        const wchar_t* theirs;
        const wchar_t* expected;
    } cases[] = {
        {"different members changed on each side", L"{\"a\": 1, \"b\": 1}", SetA, L"{\"a\": 1, \"b\": 3}",
         L"{\"a\": 2, \"b\": 3}"},
        {"a member changed on both sides keeps ours", L"{\"a\": 1}", SetA, L"{\"a\": 3}", L"{\"a\": 2}"},
        {"members added on both sides, theirs in their place", L"{\"a\": 1, \"b\": 1}",
         [](JsonNode r) { JsonPushBack(r, NewNumber(L"d", 4)); }, L"{\"c\": 0, \"a\": 1, \"e\": 5, \"b\": 1}",
         L"{\"c\": 0, \"a\": 1, \"e\": 5, \"b\": 1, \"d\": 4}"},
        {"the same member added on both sides keeps ours", L"{}",
         [](JsonNode r) { JsonPushBack(r, NewNumber(L"n", 1)); }, L"{\"n\": 2}", L"{\"n\": 1}"},
        {"a member they dropped goes where ours kept it", L"{\"a\": 1, \"b\": 1}", SetA, L"{\"a\": 1}", L"{\"a\": 2}"},
        {"a member they dropped stays where ours changed it", L"{\"a\": 1, \"b\": 1}", SetA, L"{\"b\": 1}",
         L"{\"a\": 2, \"b\": 1}"},
        {"a member ours dropped stays dropped though they changed it", L"{\"a\": 1, \"b\": 1}",
         [](JsonNode r) { JsonErase(r, JsonFindChild(r, L"b")); }, L"{\"a\": 3, \"b\": 3}", L"{\"a\": 3}"},
        {"nested objects merge member by member", L"{\"o\": {\"x\": 1, \"y\": 1, \"z\": 1}}",
         [](JsonNode r) {
             JsonSetInt(At(r, {L"o", L"x"}), 2);
         },
         L"{\"o\": {\"x\": 1, \"y\": 3}}", L"{\"o\": {\"x\": 2, \"y\": 3}}"},
        {"an array ours changed is ours whole", L"{\"l\": [1, 2], \"a\": 0}",
         [](JsonNode r) { JsonPushBack(At(r, {L"l"}), NewNumber(L"", 3)); }, L"{\"l\": [0, 1, 2], \"a\": 1}",
         L"{\"l\": [1, 2, 3], \"a\": 1}"},
        {"an array only they changed is theirs", L"{\"l\": [1, 2], \"a\": 0}", SetA, L"{\"l\": [\"x\"], \"a\": 0}",
         L"{\"l\": [\"x\"], \"a\": 2}"},
        {"a member ours renamed takes their new value", L"{\"a\": {\"x\": 1}, \"c\": 1}",
         [](JsonNode r) { JsonSetName(At(r, {L"a"}), L"b"); }, L"{\"a\": {\"x\": 2}, \"c\": 1}",
         L"{\"b\": {\"x\": 2}, \"c\": 1}"},
        {"a renamed scalar is not added back under its old name", L"{\"a\": 1, \"c\": 1}",
         [](JsonNode r) { JsonSetName(At(r, {L"a"}), L"b"); }, L"{\"a\": 1, \"c\": 2}", L"{\"b\": 1, \"c\": 2}"},
        {"an object ours made a string stays a string", L"{\"o\": {\"x\": 1}}",
         [](JsonNode r) { JsonSetString(At(r, {L"o"}), L"s"); }, L"{\"o\": {\"x\": 2}}", L"{\"o\": \"s\"}"},
        {"a root of another kind is theirs when ours is unchanged", L"{\"a\": 1}", [](JsonNode) {}, L"[1, 2]",
         L"[1, 2]"},
        {"a root of another kind keeps ours when ours changed", L"{\"a\": 1}", SetA, L"[1]", L"{\"a\": 2}"},
        {"members of one name match in order", L"{\"d\": 1, \"d\": 2, \"a\": 0}", SetA,
         L"{\"d\": 1, \"d\": 5, \"a\": 0}", L"{\"d\": 1, \"d\": 5, \"a\": 2}"},
    };
    for (const auto& c : cases) {
        Document mine(c.base);
        Document base(JsonKeepCopy(mine));
        c.ours(mine);
        Document theirs(c.theirs), detached(JsonNewNode(JsonArray));
        JsonMergeTheirs(mine, base, theirs, detached);
        EXPECT_EQ(Write(mine), Write(Document(c.expected))) << c.what;
    }
}

// What a merge takes from theirs holds its own values, not their whole text.
TEST(JsonMerge, TheMergedTreeKeepsNoneOfTheirText)
{
    Document mine(L"{\"a\": \"x\", \"o\": {\"k\": [1]}, \"n\": 1}");
    Document base(JsonKeepCopy(mine));
    JsonNode theirs = JsonParse(L"{\"a\": \"y\", \"o\": {\"k\": [2], \"new\": {\"z\": \"w\"}}, \"n\": 1, \"m\": [3]}");
    zv::json::StrippedText* text = zv::json::AsHandle(theirs)->body->source;
    ASSERT_NE(text, nullptr);
    ++text->refs;
    {
        Document detached(JsonNewNode(JsonArray));
        JsonMergeTheirs(mine, base, theirs, detached);
        JsonDeleteNode(theirs);
        EXPECT_EQ(L"{a:\"y\",o:{k:[2],new:{z:\"w\"}},n:1,m:[3]}", Render(mine));
    }
    EXPECT_EQ(text->refs, 1u) << "the merged tree still holds their text";
    zv::json::ReleaseSource(text);
}

// Copy and original change apart, however deep, read before the copy or not.
TEST(JsonMerge, AKeptCopyAndItsOriginalChangeApart)
{
    const wchar_t* text = L"{\"a\": {\"b\": {\"c\": [1, {\"d\": \"x\"}]}}, \"e\": \"s\", \"f\": [[1], [2]]}";
    Document original(text);
    JsonNode c = At(original, {L"a", L"b", L"c"}); // read down to c before the copy
    Document kept(JsonKeepCopy(original));
    const std::wstring before = Write(Document(text));
    JsonSetString(Member(Child(c, 1), L"d"), L"changed");
    JsonPushBack(c, NewNumber(L"", 7));
    JsonSetName(At(original, {L"a"}), L"renamed");
    JsonClearChildren(Child(At(original, {L"f"}), 0));
    EXPECT_EQ(Write(kept), before);
    const std::wstring changed = Write(original);
    JsonSetInt(Member(kept, L"e"), 1);
    EXPECT_EQ(Write(original), changed);
}

TEST(JsonMerge, SameValueComparesValuesNotText)
{
    const struct {
        const wchar_t* a;
        const wchar_t* b;
        bool same;
    } cases[] = {
        {L"{\"a\": [1, \"x\", true, null, {}]}", L"{ \"a\" : [ 1 , \"x\" , true , null , { } ] } ", true},
        {L"{/* note */ \"a\": 1}", L"{\"a\": 1}", true},
        {L"{\"s\": \"\\u00e9\\n\"}", L"{\"s\": \"\u00e9\\u000a\"}", true},
        {L"{\"n\": 1}", L"{\"n\": 1.0}", false},
        {L"{\"a\": 1, \"b\": 2}", L"{\"b\": 2, \"a\": 1}", false},
        {L"{\"a\": {\"b\": [1, [2]]}}", L"{\"a\": {\"b\": [1, [3]]}}", false},
    };
    for (const auto& c : cases) {
        Document a(c.a), b(c.b);
        EXPECT_EQ(JsonSameValue(a, b), c.same) << Write(a) << " and " << Write(b);
        // Read on one side only, the answer is the same.
        for (int i = 0; i < JsonGetSize(a); ++i)
            Value(Child(a, i));
        EXPECT_EQ(JsonSameValue(b, a), c.same);
    }
}

} // namespace

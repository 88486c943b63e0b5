// Keeping a version of a tree, comparing values, and merging another
// program's version of a file into a document's tree.
#include "json/JsonMerge.h"
#include "JsonTestUtil.h"

#include <zvenv/platform/Text.h>

#include <gtest/gtest.h>

#include <functional>
#include <ostream>

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

void SetNumber(JsonNode root, std::initializer_list<const wchar_t*> path, int value)
{
    JsonSetInt(At(root, path), value);
}

void Drop(JsonNode parent, const wchar_t* name)
{
    JsonErase(parent, JsonFindChild(parent, name));
}

JsonNode NewNumber(const wchar_t* name, int value)
{
    JsonNode node = JsonNewNode(JsonNumber);
    JsonSetName(node, name);
    JsonSetInt(node, value);
    return node;
}

struct MergeCase {
    const char* what;
    const wchar_t* base;
    std::function<void(JsonNode)> ours;
    const wchar_t* theirs;
    const wchar_t* expected;
};

void PrintTo(const MergeCase& c, std::ostream* out)
{
    *out << c.what;
}

const MergeCase kMergeCases[] = {
    {"different members changed on each side", L"{\"a\": 1, \"b\": 1}", [](JsonNode r) { SetNumber(r, {L"a"}, 2); },
     L"{\"a\": 1, \"b\": 3}", L"{\"a\": 2, \"b\": 3}"},
    {"a member changed on both sides keeps ours", L"{\"a\": 1}", [](JsonNode r) { SetNumber(r, {L"a"}, 2); },
     L"{\"a\": 3}", L"{\"a\": 2}"},
    {"members added on both sides, theirs in their place", L"{\"a\": 1, \"b\": 1}",
     [](JsonNode r) { JsonPushBack(r, NewNumber(L"d", 4)); }, L"{\"c\": 0, \"a\": 1, \"e\": 5, \"b\": 1}",
     L"{\"c\": 0, \"a\": 1, \"e\": 5, \"b\": 1, \"d\": 4}"},
    {"the same member added on both sides keeps ours", L"{}", [](JsonNode r) { JsonPushBack(r, NewNumber(L"n", 1)); },
     L"{\"n\": 2}", L"{\"n\": 1}"},
    {"a member they dropped goes where ours kept it", L"{\"a\": 1, \"b\": 1}",
     [](JsonNode r) { SetNumber(r, {L"a"}, 2); }, L"{\"a\": 1}", L"{\"a\": 2}"},
    {"a member they dropped stays where ours changed it", L"{\"a\": 1, \"b\": 1}",
     [](JsonNode r) { SetNumber(r, {L"b"}, 2); }, L"{\"a\": 1}", L"{\"a\": 1, \"b\": 2}"},
    {"a member ours dropped stays dropped though they changed it", L"{\"a\": 1, \"b\": 1}",
     [](JsonNode r) { Drop(r, L"b"); }, L"{\"a\": 3, \"b\": 3}", L"{\"a\": 3}"},
    {"nested objects merge member by member", L"{\"o\": {\"x\": 1, \"y\": 1, \"z\": 1}}",
     [](JsonNode r) {
         SetNumber(r, {L"o", L"x"}, 2);
     },
     L"{\"o\": {\"x\": 1, \"y\": 3}}", L"{\"o\": {\"x\": 2, \"y\": 3}}"},
    {"an array ours changed is ours whole", L"{\"l\": [1, 2], \"n\": 0}",
     [](JsonNode r) { JsonPushBack(At(r, {L"l"}), NewNumber(L"", 3)); }, L"{\"l\": [0, 1, 2], \"n\": 1}",
     L"{\"l\": [1, 2, 3], \"n\": 1}"},
    {"an array only they changed is theirs", L"{\"l\": [1, 2], \"n\": 0}", [](JsonNode r) { SetNumber(r, {L"n"}, 5); },
     L"{\"l\": [\"x\"], \"n\": 0}", L"{\"l\": [\"x\"], \"n\": 5}"},
    {"a member ours renamed takes their new value", L"{\"a\": {\"x\": 1}, \"c\": 1}",
     [](JsonNode r) { JsonSetName(At(r, {L"a"}), L"b"); }, L"{\"a\": {\"x\": 2}, \"c\": 1}",
     L"{\"b\": {\"x\": 2}, \"c\": 1}"},
    {"a renamed scalar is not added back under its old name", L"{\"a\": 1, \"c\": 1}",
     [](JsonNode r) { JsonSetName(At(r, {L"a"}), L"b"); }, L"{\"a\": 1, \"c\": 2}", L"{\"b\": 1, \"c\": 2}"},
    {"an object ours made a string stays a string", L"{\"o\": {\"x\": 1}}",
     [](JsonNode r) { JsonSetString(At(r, {L"o"}), L"s"); }, L"{\"o\": {\"x\": 2}}", L"{\"o\": \"s\"}"},
    {"a root of another kind is theirs when ours is unchanged", L"{\"a\": 1}", [](JsonNode) {}, L"[1, 2]", L"[1, 2]"},
    {"a root of another kind keeps ours when ours changed", L"{\"a\": 1}", [](JsonNode r) { SetNumber(r, {L"a"}, 2); },
     L"[1]", L"{\"a\": 2}"},
    {"members of one name match in order", L"{\"d\": 1, \"d\": 2, \"e\": 0}",
     [](JsonNode r) { SetNumber(r, {L"e"}, 1); }, L"{\"d\": 1, \"d\": 5, \"e\": 0}", L"{\"d\": 1, \"d\": 5, \"e\": 1}"},
    {"their text written otherwise with the same values changes nothing",
     L"{\"s\": \"a\\\"b\", \"o\": {\"k\": [1, {\"z\": null}]}, \"n\": 1}", [](JsonNode r) { SetNumber(r, {L"n"}, 2); },
     L"{ // their comment\n  \"s\" : \"a\\u0022b\",\n  \"o\" : { \"k\" : [ 1 , { \"z\" : null } ] },\n  \"n\" : 1 }",
     L"{\"s\": \"a\\\"b\", \"o\": {\"k\": [1, {\"z\": null}]}, \"n\": 2}"},
};

class JsonMerge : public ::testing::TestWithParam<MergeCase> {};

TEST_P(JsonMerge, TheirChangesJoinOurs)
{
    const MergeCase& c = GetParam();
    Document mine(c.base);
    Document base(JsonKeepCopy(mine));
    c.ours(mine);
    Document theirs(c.theirs);
    Document detached(JsonNewNode(JsonArray));
    JsonMergeTheirs(mine, base, theirs, detached);
    EXPECT_EQ(Write(mine), Write(Document(c.expected))) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Rules, JsonMerge, ::testing::ValuesIn(kMergeCases));

// The host's handles point into the document's tree; a merge keeps every one
// of them usable, those of nodes it took out as well.
TEST(JsonMergeHandles, StayValidAndSeeTheMergedTree)
{
    Document mine(L"{\"keep\": {\"v\": 1}, \"gone\": {\"w\": [1, 2]}, \"theirs\": 1}");
    Document base(JsonKeepCopy(mine));
    JsonNode keep = At(mine, {L"keep"});
    JsonNode gone = At(mine, {L"gone"});
    JsonNode goneInner = At(mine, {L"gone", L"w"});
    JsonNode replaced = At(mine, {L"theirs"});
    Document theirs(L"{\"keep\": {\"v\": 1, \"new\": 2}, \"theirs\": \"changed\"}");
    {
        Document detached(JsonNewNode(JsonArray));
        JsonMergeTheirs(mine, base, theirs, detached);
        EXPECT_EQ(Write(mine), Write(Document(L"{\"keep\": {\"v\": 1, \"new\": 2}, \"theirs\": \"changed\"}")));
        EXPECT_EQ(Value(Member(keep, L"new")), L"2");
        EXPECT_EQ(Value(replaced), L"changed");
        EXPECT_EQ(Name(replaced), L"theirs");
        // Taken out of the tree, still readable, and changes to them go nowhere.
        EXPECT_EQ(Name(gone), L"gone");
        EXPECT_EQ(JsonGetSize(goneInner), 2);
        JsonPushBack(goneInner, NewNumber(L"", 3));
        JsonSetInt(Member(keep, L"v"), 9);
    }
    EXPECT_EQ(Write(mine), Write(Document(L"{\"keep\": {\"v\": 9, \"new\": 2}, \"theirs\": \"changed\"}")));
    // The merged tree shares nothing through which a change reaches theirs.
    EXPECT_EQ(Value(At(theirs, {L"keep", L"v"})), L"1");
}

// A tree that merges again and again must not keep every version's text
// alive: what it takes from theirs holds its own values.
TEST(JsonMergeHandles, TheMergedTreeKeepsNoneOfTheirText)
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
        EXPECT_EQ(Write(mine), Write(Document(L"{\"a\": \"y\", \"o\": {\"k\": [2], \"new\": {\"z\": \"w\"}}, \"n\": 1, "
                                              L"\"m\": [3]}")));
    }
    EXPECT_EQ(text->refs, 1u) << "the merged tree still holds their text";
    zv::json::ReleaseSource(text);
}

// The kept copy must not see any change made through the original's handles,
// however deep, whether the original had read that part or not.
TEST(JsonKeepCopy, NoChangeThroughTheOriginalReachesIt)
{
    const wchar_t* text = L"{\"a\": {\"b\": {\"c\": [1, {\"d\": \"x\"}]}}, \"e\": \"s\", \"f\": [[1], [2]]}";
    Document original(text);
    JsonNode c = At(original, {L"a", L"b", L"c"}); // read down to c before the copy
    Document kept(JsonKeepCopy(original));
    const std::wstring before = Write(kept);
    EXPECT_EQ(before, Write(Document(text)));

    JsonSetString(Member(Child(c, 1), L"d"), L"changed");
    JsonPushBack(c, NewNumber(L"", 7));
    JsonSetName(At(original, {L"a"}), L"renamed");
    JsonSetInt(At(original, {L"e"}), 5);
    JsonClearChildren(Child(At(original, {L"f"}), 0));
    Drop(original, L"f");
    EXPECT_NE(Write(original), before);
    EXPECT_EQ(Write(kept), before);

    // And the other way round: a change to the copy leaves the original.
    const std::wstring changed = Write(original);
    JsonSetInt(Member(kept, L"e"), 1);
    EXPECT_EQ(Write(original), changed);
}

struct SameCase {
    const wchar_t* a;
    const wchar_t* b;
    bool same;
};

void PrintTo(const SameCase& c, std::ostream* out)
{
    *out << zv::text::EncodeUtf8(c.a) << (c.same ? " same as " : " not same as ") << zv::text::EncodeUtf8(c.b);
}

const SameCase kSameCases[] = {
    {L"{\"a\": [1, \"x\", true, null, {}]}", L"{ \"a\" : [ 1 , \"x\" , true , null , { } ] } ", true},
    {L"{/* note */ \"a\": 1}", L"{\"a\": 1}", true},
    {L"{\"s\": \"\\u00e9\\n\"}", L"{\"s\": \"\u00e9\\u000a\"}", true},
    {L"{\"n\": 1}", L"{\"n\": 1.0}", false},
    {L"{\"a\": 1, \"b\": 2}", L"{\"b\": 2, \"a\": 1}", false},
    {L"{\"a\": {\"b\": [1, [2]]}}", L"{\"a\": {\"b\": [1, [3]]}}", false},
};

class JsonSame : public ::testing::TestWithParam<SameCase> {};

TEST_P(JsonSame, ComparesValuesNotText)
{
    const SameCase& c = GetParam();
    Document a(c.a), b(c.b);
    EXPECT_EQ(JsonSameValue(a, b), c.same) << Write(a) << " and " << Write(b);
    // Read on one side only, the answer is the same.
    for (int i = 0; i < JsonGetSize(a); ++i)
        Value(Child(a, i));
    EXPECT_EQ(JsonSameValue(b, a), c.same);
}

INSTANTIATE_TEST_SUITE_P(Pairs, JsonSame, ::testing::ValuesIn(kSameCases));

} // namespace

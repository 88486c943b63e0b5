// The engine's tree: nodes, views, the name index, kept copies, value comparison, merges and the depth limit.
#include "JsonTestUtil.h"
#include "json/JsonGrammar.h"
#include "json/JsonMerge.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <pthread.h>
#include <random>
#include <tuple>

namespace {

using namespace jsontest;
using zv::json::kMaxDepth;

TEST(JsonMerge, TheirChangesJoinOurs)
{
    const auto setA = [](JsonNode root) { JsonSetInt(Member(root, L"a"), 2); };
    const std::tuple<const char*, const wchar_t*, void (*)(JsonNode), const wchar_t*, const wchar_t*> cases[] = {
        {"different members changed on each side", L"{\"a\": 1, \"b\": 1}", setA, L"{\"a\": 1, \"b\": 3}",
         L"{\"a\": 2, \"b\": 3}"},
        {"a member changed on both sides keeps ours", L"{\"a\": 1}", setA, L"{\"a\": 3}", L"{\"a\": 2}"},
        {"members added on both sides, theirs in their place", L"{\"a\": 1, \"b\": 1}",
         [](JsonNode r) { JsonPushBack(r, JsonNewString(L"d", L"4")); }, L"{\"c\": 0, \"a\": 1, \"e\": 5, \"b\": 1}",
         L"{\"c\": 0, \"a\": 1, \"e\": 5, \"b\": 1, \"d\": \"4\"}"},
        {"the same member added on both sides keeps ours", L"{}",
         [](JsonNode r) { JsonPushBack(r, JsonNewString(L"n", L"1")); }, L"{\"n\": 2}", L"{\"n\": \"1\"}"},
        {"a member they dropped goes where ours kept it", L"{\"a\": 1, \"b\": 1}", setA, L"{\"a\": 1}", L"{\"a\": 2}"},
        {"a member they dropped stays where ours changed it", L"{\"a\": 1, \"b\": 1}", setA, L"{\"b\": 1}",
         L"{\"a\": 2, \"b\": 1}"},
        {"a member ours dropped stays dropped though they changed it", L"{\"a\": 1, \"b\": 1}",
         [](JsonNode r) { JsonErase(r, JsonFindChild(r, L"b")); }, L"{\"a\": 3, \"b\": 3}", L"{\"a\": 3}"},
        {"nested objects merge member by member", L"{\"o\": {\"x\": 1, \"y\": 1, \"z\": 1}}",
         [](JsonNode r) { JsonSetInt(Member(Member(r, L"o"), L"x"), 2); }, L"{\"o\": {\"x\": 1, \"y\": 3}}",
         L"{\"o\": {\"x\": 2, \"y\": 3}}"},
        {"an array ours changed is ours whole", L"{\"l\": [1, 2], \"a\": 0}",
         [](JsonNode r) { JsonPushBack(Member(r, L"l"), JsonNewString(L"", L"3")); }, L"{\"l\": [0, 1, 2], \"a\": 1}",
         L"{\"l\": [1, 2, \"3\"], \"a\": 1}"},
        {"an array only they changed is theirs", L"{\"l\": [1, 2], \"a\": 0}", setA, L"{\"l\": [\"x\"], \"a\": 0}",
         L"{\"l\": [\"x\"], \"a\": 2}"},
        {"a member ours renamed takes their new value", L"{\"a\": {\"x\": 1}, \"c\": 1}",
         [](JsonNode r) { JsonSetName(Member(r, L"a"), L"b"); }, L"{\"a\": {\"x\": 2}, \"c\": 1}",
         L"{\"b\": {\"x\": 2}, \"c\": 1}"},
        {"a renamed scalar is not added back under its old name", L"{\"a\": 1, \"c\": 1}",
         [](JsonNode r) { JsonSetName(Member(r, L"a"), L"b"); }, L"{\"a\": 1, \"c\": 2}", L"{\"b\": 1, \"c\": 2}"},
        {"an object ours made a string stays a string", L"{\"o\": {\"x\": 1}}",
         [](JsonNode r) { JsonSetString(Member(r, L"o"), L"s"); }, L"{\"o\": {\"x\": 2}}", L"{\"o\": \"s\"}"},
        {"a root of another kind is theirs when ours is unchanged", L"{\"a\": 1}", [](JsonNode) {}, L"[1, 2]",
         L"[1, 2]"},
        {"a root of another kind keeps ours when ours changed", L"{\"a\": 1}", setA, L"[1]", L"{\"a\": 2}"},
        {"members of one name match in order", L"{\"d\": 1, \"d\": 2, \"a\": 0}", setA,
         L"{\"d\": 1, \"d\": 5, \"a\": 0}", L"{\"d\": 1, \"d\": 5, \"a\": 2}"},
    };
    for (const auto& [what, baseText, ours, theirsText, expected] : cases) {
        Document mine(baseText);
        Document base(JsonKeepCopy(mine));
        ours(mine);
        Document theirs(theirsText), detached(JsonNewNode(JsonArray));
        JsonMergeTheirs(mine, base, theirs, detached);
        EXPECT_EQ(Write(mine), Write(Document(expected))) << what;
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
    JsonNode c = Member(Member(Member(original, L"a"), L"b"), L"c"); // read down to c before the copy
    Document kept(JsonKeepCopy(original));
    const std::wstring before = Write(Document(text));
    JsonSetString(Member(JsonBegin(c)[1], L"d"), L"changed");
    JsonPushBack(c, JsonNewString(L"", L"7"));
    JsonSetName(Member(original, L"a"), L"renamed");
    JsonClearChildren(JsonBegin(Member(original, L"f"))[0]);
    EXPECT_EQ(Write(kept), before);
    const std::wstring changed = Write(original);
    JsonSetInt(Member(kept, L"e"), 1);
    EXPECT_EQ(Write(original), changed);
}

TEST(JsonMerge, SameValueComparesValuesNotText)
{
    const std::tuple<const wchar_t*, const wchar_t*, bool> cases[] = {
        {L"{/* note */ \"a\": [1, \"x\", true, null, {}]}", L"{ \"a\" : [ 1 , \"x\" , true , null , { } ] } ", true},
        {L"{\"s\": \"\\u00e9\\n\"}", L"{\"s\": \"\u00e9\\u000a\"}", true},
        {L"{\"n\": 1}", L"{\"n\": 1.0}", false},
        {L"{\"a\": 1, \"b\": 2}", L"{\"b\": 2, \"a\": 1}", false},
        {L"{\"a\": {\"b\": [1, [2]]}}", L"{\"a\": {\"b\": [1, [3]]}}", false},
    };
    for (const auto& [aText, bText, same] : cases) {
        Document a(aText), b(bText);
        EXPECT_EQ(JsonSameValue(a, b), same) << Write(a) << " and " << Write(b);
        // Read on one side only, the answer is the same.
        for (int i = 0; i < JsonGetSize(a); ++i)
            Value(JsonBegin(a)[i]);
        EXPECT_EQ(JsonSameValue(b, a), same);
    }
}

TEST(JsonNullHandle, EveryFunctionAcceptsIt)
{
    EXPECT_EQ(JsonNull, JsonGetType(nullptr));
    EXPECT_EQ(0, JsonGetSize(nullptr));
    EXPECT_EQ(L"", Name(nullptr) + Value(nullptr) + Write(nullptr));
    const void* const answers[] = {JsonParse(nullptr),           JsonBegin(nullptr),          JsonEnd(nullptr),
                                   JsonFindChild(nullptr, L"a"), JsonErase(nullptr, nullptr), JsonAsArray(nullptr)};
    for (const void* const& answer : answers)
        EXPECT_EQ(nullptr, answer) << &answer - answers;
    JsonSetName(nullptr, L"a");
    JsonSetString(nullptr, L"a");
    JsonSetInt(nullptr, 1);
    JsonSetBool(nullptr, 1);
    JsonClearChildren(nullptr);
    JsonDeleteNode(nullptr);
    JsonFreeString(nullptr);
    Document unnamed(JsonNewString(nullptr, nullptr));
    EXPECT_EQ(L"", Name(unnamed) + Value(unnamed));
    Document array(JsonNewNode(JsonArray));
    JsonPushBack(array, nullptr);
    JsonPushBack(nullptr, array);
    EXPECT_EQ(0, JsonGetSize(array));
}

// Each setter in turn on one node: the type it leaves and the value's text.
TEST(JsonValues, SettersGiveTheirTypesAndTextForms)
{
    const std::tuple<void (*)(JsonNode), JsonNodeType, const wchar_t*> steps[] = {
        {[](JsonNode n) { JsonSetInt(n, -2147483647 - 1); }, JsonNumber, L"-2147483648"},
        {[](JsonNode n) { JsonSetInt(n, 2147483647); }, JsonNumber, L"2147483647"},
        {[](JsonNode n) { JsonSetBool(n, 5); }, JsonBoolean, L"true"},
        {[](JsonNode n) { JsonSetBool(n, 0); }, JsonBoolean, L"false"},
        {[](JsonNode n) { JsonSetString(n, nullptr); }, JsonString, L""},
    };
    Document node(JsonNewNode(JsonNumber));
    EXPECT_EQ(L"", Value(node));
    for (const auto& [set, type, text] : steps) {
        set(node);
        EXPECT_EQ(type, JsonGetType(node)) << text;
        EXPECT_EQ(text, Value(node));
    }
    // A scalar setter on a container drops its children.
    Document object(JsonParse(L"{\"a\":[1,2],\"b\":{}}"));
    JsonSetString(Member(object, L"a"), L"now text");
    EXPECT_EQ(L"{a:\"now text\",b:{}}", Render(object));
}

TEST(JsonChildList, GrowsErasesAndClears)
{
    Document array(JsonNewNode(JsonArray));
    for (int i = 0; i < 9; ++i) // past the first allocation
        JsonPushBack(array, JsonNewString(L"", std::to_wstring(i).c_str()));
    EXPECT_EQ(L"2", Value(*JsonErase(array, JsonBegin(array) + 1))); // later children move down
    JsonIterator last = JsonEnd(array) - 1;
    EXPECT_EQ(last, JsonErase(array, last));
    EXPECT_EQ(JsonEnd(array), last);
    // Out of range: before the start gives the beginning, past the end the end.
    EXPECT_EQ(JsonBegin(array), JsonErase(array, JsonBegin(array) - 1));
    EXPECT_EQ(JsonEnd(array), JsonErase(array, JsonEnd(array)));
    EXPECT_EQ(L"[\"0\",\"2\",\"3\",\"4\",\"5\",\"6\",\"7\"]", Render(array));
    JsonClearChildren(array);
    JsonPushBack(array, JsonNewString(L"", L"7"));
    // Erasing the only child frees the list; the node stays a container.
    EXPECT_EQ(JsonEnd(array), JsonErase(array, JsonBegin(array)));
    EXPECT_NE(nullptr, JsonBegin(array));
    JsonPushBack(array, JsonNewString(L"", L"2"));
    EXPECT_EQ(L"[\"2\"]", Render(array));

    // Onto a scalar or into itself nothing is added; the child stays the caller's.
    Document text(JsonNewString(L"a", L"b"));
    Document child(JsonNewString(L"", L"1"));
    JsonPushBack(text, child);
    EXPECT_EQ(0, JsonGetSize(text));
    JsonPushBack(array, array);
    EXPECT_EQ(1, JsonGetSize(array));
    EXPECT_EQ(nullptr, JsonFindChild(text, L"a"));
}

// A view shares the body until either handle changes it, and outlives its source.
TEST(JsonArrayView, SharesTheBodyUntilAChange)
{
    Document list(JsonParse(L"[\"x\",[\"y\"]]"));
    JsonClearChildren(Document(JsonAsArray(list)));
    EXPECT_EQ(L"[\"x\",[\"y\"]]", Render(list));
    // An object's view holds its values without names.
    Document object(JsonParse(L"{\"a\":1,\"b\":\"two\"}"));
    JsonNode view = JsonAsArray(object);
    EXPECT_EQ(L"[1,\"two\"]", Render(view));
    JsonSetInt(JsonBegin(view)[0], 9);
    EXPECT_EQ(L"{a:1,b:\"two\"}", Render(object));
    EXPECT_EQ(L"[]", Render(Document(JsonAsArray(JsonBegin(object)[0]))));

    JsonNode original = JsonParse(L"[1,[2,3]]");
    JsonDeleteNode(view);
    view = JsonAsArray(original);
    JsonDeleteNode(original);
    JsonNode inner = JsonAsArray(JsonBegin(view)[1]);
    JsonDeleteNode(view);
    EXPECT_EQ(L"[2,3]", Render(inner));
    JsonDeleteNode(inner);
}

// Lookup by name (indexed from 16 members) finds what a walk finds through random changes (merges: the merge fuzzer).
TEST(JsonNameIndex, AgreesWithAWalkThroughRandomChanges)
{
    constexpr int kPool = 60; // m0, M0, m1, ...: names differ by case and length
    auto poolName = [](int n) { return (n % 2 ? L"M" : L"m") + std::to_wstring(n / 2); };
    std::mt19937 random(7);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    std::wstring text = L"{";
    for (int i = 0; i < 40; ++i)
        text += (i ? L",\"" : L"\"") + poolName(i) + L"\":" + std::to_wstring(i);
    JsonNode object = JsonParse((text + L"}").c_str());
    for (int step = 0; step < 600; ++step) {
        const int size = JsonGetSize(object);
        const int op = pick(10);
        if (op < 3 || size < 20) {
            JsonPushBack(object, JsonNewString(poolName(pick(kPool)).c_str(), L"v"));
        } else if (op < 5) {
            JsonErase(object, JsonBegin(object) + pick(size));
        } else if (op < 8) {
            JsonSetName(JsonBegin(object)[pick(size)], poolName(pick(kPool)).c_str());
        } else if (op < 9) {
            Document kept(JsonKeepCopy(object)); // the rename copies the list and its index
            JsonSetName(JsonBegin(object)[pick(size)], L"m0");
        } else if (step % 50 == 9) {
            JsonClearChildren(object);
        } else {
            JsonErase(object, JsonFindChild(object, poolName(pick(kPool)).c_str()));
        }
        for (int n = 0; n < kPool; ++n) {
            int walked = 0;
            while (walked < JsonGetSize(object) && Name(JsonBegin(object)[walked]) != poolName(n))
                ++walked;
            ASSERT_EQ(JsonBegin(object) + walked, JsonFindChild(object, poolName(n).c_str())) << "step " << step;
        }
    }
    EXPECT_EQ(JsonEnd(object), JsonFindChild(object, nullptr));
    JsonDeleteNode(object);
}

// Runs job on a 64 KiB stack, which recursion along the depth overflows.
void OnSmallStack(const std::function<void()>& job)
{
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, 64 * 1024);
    pthread_t thread;
    auto run = [](void* argument) -> void* {
        (*static_cast<const std::function<void()>*>(argument))();
        return nullptr;
    };
    ASSERT_EQ(0, pthread_create(&thread, &attributes, run, const_cast<std::function<void()>*>(&job)));
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
}

// A chain of arrays built through the interface; answers its innermost one.
JsonNode Chain(JsonNode root, std::uint32_t levels)
{
    JsonNode node = root;
    for (std::uint32_t i = 1; i < levels; ++i) {
        JsonNode child = JsonNewNode(JsonArray);
        EXPECT_EQ(1, JsonPushBack(node, child)) << "level " << i + 1;
        node = child;
    }
    return node;
}

// Read, copied on change, written (tabs capped at 64 so the text grows linearly) and released.
TEST(JsonDepth, TextAtTheLimitIsHandledWithoutRecursionAndDeeperTextIsRefused)
{
    for (bool objects : {false, true}) {
        std::wstring text;
        for (std::uint32_t i = 0; i < kMaxDepth; ++i)
            text += objects ? L"{\"k\":" : L"[0,";
        text += L"7" + std::wstring(kMaxDepth, objects ? L'}' : L']');
        ASSERT_EQ(1, Validate(text).result);
        const std::wstring changed = objects ? text : L"[1" + text.substr(2); // the arrays' root changes
        bool done = false;
        OnSmallStack([&] {
            Document root(text.c_str());
            Document copy(JsonAsArray(root));
            JsonSetInt(JsonBegin(objects ? copy : root)[0], 1);
            const std::wstring written = Write(root);
            std::size_t longestRun = 0, run = 0;
            for (wchar_t c : written)
                longestRun = std::max(longestRun, run = c == L'\t' ? run + 1 : 0);
            done = written == Write(Document(changed.c_str())) && Write(Document(written.c_str())) == written &&
                   Write(objects ? root : copy) == Write(Document(text.c_str())) && longestRun == 64;
        });
        EXPECT_TRUE(done) << (objects ? "objects" : "arrays");
    }
    for (std::uint32_t depth : {kMaxDepth + 1, 100000u}) {
        const std::wstring text = std::wstring(depth, L'[') + std::wstring(depth, L']');
        Verdict verdict{1, L""};
        JsonNode root = nullptr;
        OnSmallStack([&] {
            verdict = Validate(text);
            root = JsonParse(text.c_str());
        });
        EXPECT_EQ(nullptr, root) << depth;
        EXPECT_EQ(L"Line 1, Column 1001: arrays and objects are nested deeper than 1000 levels", verdict.description);
    }
}

TEST(JsonDepth, NoContainerIsAddedBeyondTheLimit)
{
    Document root(JsonNewNode(JsonObject));
    JsonNode deepest = Chain(root, kMaxDepth);
    for (JsonNodeType type : {JsonArray, JsonObject}) {
        Document refused(JsonNewNode(type)); // still the caller's
        EXPECT_EQ(0, JsonPushBack(deepest, refused));
        EXPECT_EQ(0, JsonGetSize(deepest));
    }
    EXPECT_EQ(1, JsonPushBack(deepest, JsonNewString(L"", L"a value is no level")));

    // A subtree counts with its own height, read or unread.
    JsonNode level999 = Chain(JsonEnd(JsonEnd(root)[-1])[-1], kMaxDepth - 3);
    Document pair(JsonParse(L"[[1]]"));
    EXPECT_EQ(0, JsonPushBack(level999, pair));
    JsonNode one = JsonNewNode(JsonArray);
    EXPECT_EQ(1, JsonPushBack(level999, one));
    Document leaf(JsonNewNode(JsonArray));
    EXPECT_EQ(0, JsonPushBack(one, leaf));
    const std::wstring written = Write(root);
    EXPECT_EQ(1, Validate(written).result);
    EXPECT_EQ(Render(root), Render(Document(written.c_str())));

    // A subtree built apart counts from 1; once placed deep, from there.
    JsonNode deep = Chain(JsonBegin(root)[0], kMaxDepth - 11);
    JsonNode subtree = JsonNewNode(JsonArray);
    JsonNode bottom = Chain(subtree, 10);
    ASSERT_EQ(1, JsonPushBack(deep, subtree));
    Document refused(JsonNewNode(JsonArray));
    EXPECT_EQ(0, JsonPushBack(bottom, refused));

    // A view pushed elsewhere takes its new place's level; the original keeps its own.
    JsonNode view = JsonAsArray(bottom);
    Document shallow(JsonNewNode(JsonArray));
    ASSERT_EQ(1, JsonPushBack(shallow, view));
    EXPECT_EQ(1, JsonPushBack(view, JsonNewNode(JsonArray)));
    EXPECT_EQ(0, JsonPushBack(bottom, refused));
}

} // namespace

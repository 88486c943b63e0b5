#include "JsonTestUtil.h"
#include "json/JsonBody.h"

#include <gtest/gtest.h>

namespace {

using namespace jsontest;
using zv::json::AsHandle;

JsonNode NumberNode(std::int32_t value)
{
    JsonNode node = JsonNewNode(JsonNumber);
    JsonSetInt(node, value);
    return node;
}

TEST(JsonNullHandle, EveryFunctionAcceptsIt)
{
    EXPECT_EQ(JsonNull, JsonGetType(nullptr));
    EXPECT_EQ(0, JsonGetSize(nullptr));
    EXPECT_EQ(L"", Name(nullptr));
    EXPECT_EQ(L"", Value(nullptr));
    EXPECT_EQ(L"", Write(nullptr));
    EXPECT_EQ(nullptr, JsonParse(nullptr));
    EXPECT_EQ(nullptr, JsonBegin(nullptr));
    EXPECT_EQ(nullptr, JsonEnd(nullptr));
    EXPECT_EQ(nullptr, JsonFindChild(nullptr, L"a"));
    EXPECT_EQ(nullptr, JsonErase(nullptr, nullptr));
    EXPECT_EQ(nullptr, JsonAsArray(nullptr));
    JsonSetName(nullptr, L"a");
    JsonSetString(nullptr, L"a");
    JsonSetInt(nullptr, 1);
    JsonSetBool(nullptr, 1);
    JsonClearChildren(nullptr);
    JsonDeleteNode(nullptr);
    JsonFreeString(nullptr);
    Document array(JsonNewNode(JsonArray));
    JsonPushBack(array, nullptr);
    JsonPushBack(nullptr, array);
    EXPECT_EQ(0, JsonGetSize(array));
}

// Each setter in turn on one node: the type it leaves and the value's text.
TEST(JsonValues, SettersGiveTheirTypesAndTextForms)
{
    const struct {
        void (*set)(JsonNode);
        JsonNodeType type;
        const wchar_t* text;
    } steps[] = {
        {[](JsonNode n) { JsonSetInt(n, -2147483647 - 1); }, JsonNumber, L"-2147483648"},
        {[](JsonNode n) { JsonSetInt(n, 0); }, JsonNumber, L"0"},
        {[](JsonNode n) { JsonSetInt(n, 2147483647); }, JsonNumber, L"2147483647"},
        {[](JsonNode n) { JsonSetBool(n, 5); }, JsonBoolean, L"true"},
        {[](JsonNode n) { JsonSetBool(n, 0); }, JsonBoolean, L"false"},
        {[](JsonNode n) { JsonSetString(n, nullptr); }, JsonString, L""},
    };
    Document node(JsonNewNode(JsonNumber));
    EXPECT_EQ(L"", Value(node));
    for (const auto& step : steps) {
        step.set(node);
        EXPECT_EQ(step.type, JsonGetType(node)) << step.text;
        EXPECT_EQ(step.text, Value(node));
    }
    Document text(JsonNewString(nullptr, L"v"));
    EXPECT_EQ(L":\"v\"", Render(text, true));

    // A scalar setter on a container drops its children.
    Document object(JsonParse(L"{\"a\":[1,2],\"b\":{}}"));
    JsonSetString(Member(object, L"a"), L"now text");
    EXPECT_EQ(nullptr, JsonBegin(Member(object, L"a")));
    EXPECT_EQ(L"{\n\t\"a\" : \"now text\",\n\t\"b\" : {}\n}", Write(object));
}

TEST(JsonChildList, GrowsErasesAndClears)
{
    Document array(JsonNewNode(JsonArray));
    for (int i = 0; i < 9; ++i) // past the first allocation
        JsonPushBack(array, NumberNode(i));
    EXPECT_EQ(L"[0,1,2,3,4,5,6,7,8]", Render(array));
    EXPECT_EQ(L"2", Value(*JsonErase(array, JsonBegin(array) + 1))); // later children move down
    JsonIterator last = JsonEnd(array) - 1;
    EXPECT_EQ(last, JsonErase(array, last));
    EXPECT_EQ(JsonEnd(array), last);
    // Out of range: before the start gives the beginning, past the end the end.
    EXPECT_EQ(JsonBegin(array), JsonErase(array, JsonBegin(array) - 1));
    EXPECT_EQ(JsonEnd(array), JsonErase(array, JsonEnd(array)));
    EXPECT_EQ(L"[0,2,3,4,5,6,7]", Render(array));
    JsonClearChildren(array);
    JsonPushBack(array, NumberNode(7));
    EXPECT_EQ(L"[\n\t7\n]", Write(array));
    // Erasing the only child frees the list; the node stays a container.
    EXPECT_EQ(JsonEnd(array), JsonErase(array, JsonBegin(array)));
    EXPECT_NE(nullptr, JsonBegin(array));
    JsonPushBack(array, NumberNode(2));
    EXPECT_EQ(L"[2]", Render(array));

    // Onto a scalar or into itself nothing is added; the child stays the caller's.
    Document text(JsonNewString(L"a", L"b"));
    JsonNode child = NumberNode(1);
    JsonPushBack(text, child);
    EXPECT_EQ(0, JsonGetSize(text));
    EXPECT_EQ(L"1", Value(child));
    JsonDeleteNode(child);
    JsonPushBack(array, array);
    EXPECT_EQ(1, JsonGetSize(array));
}

TEST(JsonChildList, FindChildIsExactAndMissingNamesGiveTheEnd)
{
    Document object(JsonParse(L"{\"key\":1,\"Key\":2,\"key\":3,\"ke\":4}"));
    EXPECT_EQ(L"2", Value(*JsonFindChild(object, L"Key")));
    EXPECT_EQ(L"1", Value(*JsonFindChild(object, L"key"))); // the first of two
    EXPECT_EQ(L"4", Value(*JsonFindChild(object, L"ke")));
    for (const wchar_t* missing : {L"KEY", L"k", static_cast<const wchar_t*>(nullptr)})
        EXPECT_EQ(JsonEnd(object), JsonFindChild(object, missing));
    Document text(JsonNewString(L"a", L"b"));
    EXPECT_EQ(nullptr, JsonFindChild(text, L"a"));
}

// A view made by JsonAsArray shares the body; every change through either
// handle, at the top or below it, copies it first and leaves the other.
TEST(JsonCopyOnWrite, EveryChangingFunctionCopiesASharedBody)
{
    using Change = void (*)(JsonNode);
    const Change changes[] = {
        [](JsonNode n) { JsonSetName(n, L"renamed"); },
        [](JsonNode n) { JsonSetString(n, L"s"); },
        [](JsonNode n) { JsonSetInt(n, 5); },
        [](JsonNode n) { JsonSetBool(n, 1); },
        [](JsonNode n) { JsonClearChildren(n); },
        [](JsonNode n) { JsonErase(n, JsonBegin(n)); },
        [](JsonNode n) { JsonPushBack(n, NumberNode(4)); },
        [](JsonNode n) { JsonSetInt(*JsonBegin(JsonBegin(n)[1]), 20); },
    };
    for (Change change : changes) {
        Document original(JsonParse(L"[\"x\",[\"y\"]]"));
        Document shared(JsonAsArray(original));
        EXPECT_EQ(AsHandle(original)->body, AsHandle(shared)->body);
        change(shared);
        EXPECT_EQ(L"[\"x\",[\"y\"]]", Render(original));
        EXPECT_EQ(L"", Name(original));
        EXPECT_EQ(1u, AsHandle(original)->body->refs);
        EXPECT_EQ(1u, AsHandle(shared)->body->refs);
    }
}

TEST(JsonCopyOnWrite, ASharedBodyOutlivesTheHandleItWasMadeWith)
{
    JsonNode original = JsonParse(L"[1,[2,3]]");
    JsonNode view = JsonAsArray(original);
    JsonDeleteNode(original);
    EXPECT_EQ(L"1", Value(Child(view, 0)));

    // A child's view stays readable when the tree that held the child goes.
    JsonNode inner = JsonAsArray(Child(view, 1));
    JsonDeleteNode(view);
    EXPECT_EQ(L"[2,3]", Render(inner));
    JsonDeleteNode(inner);

    // And the other way round: the handle lives on with a copy of its own.
    JsonNode first = JsonParse(L"[4]");
    JsonNode second = JsonAsArray(first);
    JsonSetName(first, L"own copy");
    JsonDeleteNode(second);
    EXPECT_EQ(L"[4]", Render(first));
    JsonDeleteNode(first);
}

TEST(JsonArrayView, ObjectBecomesAnArrayOfItsValuesAndOtherNodesAnEmptyOne)
{
    for (bool readFirst : {false, true}) {
        Document object(JsonParse(L"{\"a\":1,\"b\":\"two\"}"));
        if (readFirst) {
            EXPECT_EQ(L"two", Value(Member(object, L"b")));
        }
        Document view(JsonAsArray(object));
        EXPECT_EQ(L"[1,\"two\"]", Render(view));
        EXPECT_EQ(L"", Name(Child(view, 0)) + Name(Child(view, 1)));
        JsonSetInt(Child(view, 0), 9);
        EXPECT_EQ(L"{a:1,b:\"two\"}", Render(object)); // the object keeps its members and names
    }
    Document text(JsonNewString(L"a", L"b"));
    EXPECT_EQ(L"[]", Render(Document(JsonAsArray(text))));
}

} // namespace

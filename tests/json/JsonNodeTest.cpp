#include "JsonTestUtil.h"
#include "json/JsonBody.h"

#include <gtest/gtest.h>

namespace {

using namespace jsontest;
using zv::json::AsHandle;
using zv::json::NodeBody;

NodeBody* Body(JsonNode node)
{
    return AsHandle(node)->body;
}
std::uint32_t Capacity(JsonNode node)
{
    return Body(node)->children->capacity;
}

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

TEST(JsonValues, SettersGiveTheirTextForms)
{
    Document number(JsonNewNode(JsonNumber));
    EXPECT_EQ(JsonNumber, JsonGetType(number));
    EXPECT_EQ(L"", Value(number));
    JsonSetInt(number, -2147483647 - 1);
    EXPECT_EQ(L"-2147483648", Value(number));
    JsonSetInt(number, 0);
    EXPECT_EQ(L"0", Value(number));
    JsonSetInt(number, 2147483647);
    EXPECT_EQ(L"2147483647", Value(number));

    JsonSetBool(number, 5);
    EXPECT_EQ(JsonBoolean, JsonGetType(number));
    EXPECT_EQ(L"true", Value(number));
    JsonSetBool(number, 0);
    EXPECT_EQ(L"false", Value(number));

    JsonSetString(number, nullptr);
    EXPECT_EQ(JsonString, JsonGetType(number));
    EXPECT_EQ(L"", Value(number));
    EXPECT_EQ(0, JsonGetSize(number));

    Document text(JsonNewString(nullptr, L"v"));
    EXPECT_EQ(L"", Name(text));
    EXPECT_EQ(L"v", Value(text));
}

TEST(JsonValues, ScalarSetterOnAContainerDropsItsChildren)
{
    Document object(JsonParse(L"{\"a\":[1,2],\"b\":{}}"));
    JsonNode a = Member(object, L"a");
    JsonSetString(a, L"now text");
    EXPECT_EQ(JsonString, JsonGetType(a));
    EXPECT_EQ(0, JsonGetSize(a));
    EXPECT_EQ(nullptr, Body(a)->children);
    EXPECT_EQ(nullptr, JsonBegin(a));
    EXPECT_EQ(L"{\n\t\"a\" : \"now text\",\n\t\"b\" : {}\n}", Write(object));
}

TEST(JsonChildList, StartsAtEightSlotsAndDoubles)
{
    Document array(JsonNewNode(JsonArray));
    EXPECT_EQ(0u, Capacity(array));
    for (int i = 0; i < 8; ++i)
        JsonPushBack(array, NumberNode(i));
    EXPECT_EQ(8u, Capacity(array));
    JsonPushBack(array, NumberNode(8));
    EXPECT_EQ(16u, Capacity(array));
    EXPECT_EQ(9, JsonGetSize(array));
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(std::to_wstring(i), Value(Child(array, i)));
}

TEST(JsonChildList, EraseMovesLaterChildrenDownAndShrinksTheRecordedCapacity)
{
    Document array(JsonNewNode(JsonArray));
    for (int i = 0; i < 5; ++i)
        JsonPushBack(array, NumberNode(i));
    JsonIterator it = JsonErase(array, JsonBegin(array) + 1);
    EXPECT_EQ(L"2", Value(*it));
    EXPECT_EQ(4, JsonGetSize(array));
    EXPECT_EQ(4u, Capacity(array));
    JsonPushBack(array, NumberNode(9));
    EXPECT_EQ(8u, Capacity(array));

    // Erasing the last child gives the end.
    JsonIterator last = JsonEnd(array) - 1;
    JsonIterator result = JsonErase(array, last);
    EXPECT_EQ(last, result);
    EXPECT_EQ(JsonEnd(array), result);
    EXPECT_EQ(4, JsonGetSize(array));
    // Out of range: before the start gives the beginning, past the end the end.
    EXPECT_EQ(JsonBegin(array), JsonErase(array, JsonBegin(array) - 1));
    EXPECT_EQ(JsonEnd(array), JsonErase(array, JsonEnd(array)));
    EXPECT_EQ(4, JsonGetSize(array));
    EXPECT_EQ(L"0", Value(Child(array, 0)));
    EXPECT_EQ(L"2", Value(Child(array, 1)));
}

TEST(JsonChildList, ErasingTheOnlyChildFreesTheStorage)
{
    Document array(JsonNewNode(JsonArray));
    JsonPushBack(array, NumberNode(1));
    JsonIterator it = JsonErase(array, JsonBegin(array));
    EXPECT_EQ(JsonEnd(array), it);
    EXPECT_EQ(JsonBegin(array), JsonEnd(array));
    EXPECT_NE(nullptr, JsonBegin(array)); // still a container
    EXPECT_EQ(0u, Capacity(array));
    EXPECT_EQ(nullptr, Body(array)->children->items);
    JsonPushBack(array, NumberNode(2));
    EXPECT_EQ(8u, Capacity(array));
    EXPECT_EQ(1, JsonGetSize(array));
}

TEST(JsonChildList, FindChildIsExactAndMissingNamesGiveTheEnd)
{
    Document object(JsonParse(L"{\"key\":1,\"Key\":2,\"key\":3,\"ke\":4}"));
    EXPECT_EQ(L"2", Value(*JsonFindChild(object, L"Key")));
    EXPECT_EQ(L"1", Value(*JsonFindChild(object, L"key"))); // the first of two
    EXPECT_EQ(L"4", Value(*JsonFindChild(object, L"ke")));
    EXPECT_EQ(JsonEnd(object), JsonFindChild(object, L"KEY"));
    EXPECT_EQ(JsonEnd(object), JsonFindChild(object, L"k"));
    EXPECT_EQ(JsonEnd(object), JsonFindChild(object, nullptr));
    Document text(JsonNewString(L"a", L"b"));
    EXPECT_EQ(nullptr, JsonFindChild(text, L"a"));
}

TEST(JsonChildList, ClearChildrenKeepsTheStorage)
{
    Document array(JsonParse(L"[1,2,3]"));
    EXPECT_EQ(3, JsonGetSize(array));
    JsonClearChildren(array);
    EXPECT_EQ(0, JsonGetSize(array));
    EXPECT_NE(nullptr, Body(array)->children->items);
    JsonPushBack(array, NumberNode(7));
    EXPECT_EQ(L"[\n\t7\n]", Write(array));
}

TEST(JsonChildList, PushBackOntoAScalarLeavesTheChildWithTheCaller)
{
    Document text(JsonNewString(L"a", L"b"));
    JsonNode child = NumberNode(1);
    JsonPushBack(text, child);
    EXPECT_EQ(0, JsonGetSize(text));
    EXPECT_EQ(L"1", Value(child));
    JsonDeleteNode(child); // still ours: freed once, by us

    Document array(JsonNewNode(JsonArray));
    JsonPushBack(array, array); // would own itself
    EXPECT_EQ(0, JsonGetSize(array));
}

TEST(JsonCopyOnWrite, TheCopyIsDeep)
{
    // A change below the top stays on its side too.
    Document first(JsonParse(L"[1,[2,3]]"));
    Document second(JsonAsArray(first));
    EXPECT_EQ(Body(first), Body(second));
    JsonSetInt(*JsonBegin(Child(second, 1)), 20);
    EXPECT_EQ(L"20", Value(Child(Child(second, 1), 0)));
    EXPECT_EQ(L"[\n\t1,\n\t[\n\t\t2,\n\t\t3\n\t]\n]", Write(first));
}

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
    };
    for (Change change : changes) {
        Document original(JsonParse(L"[\"x\",\"y\"]"));
        Document shared(JsonAsArray(original));
        change(shared);
        EXPECT_EQ(JsonArray, JsonGetType(original));
        EXPECT_EQ(L"", Name(original));
        ASSERT_EQ(2, JsonGetSize(original));
        EXPECT_EQ(L"x", Value(Child(original, 0)));
        EXPECT_EQ(L"y", Value(Child(original, 1)));
        EXPECT_EQ(1u, Body(original)->refs);
        EXPECT_EQ(1u, Body(shared)->refs);
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
    ASSERT_EQ(2, JsonGetSize(inner));
    EXPECT_EQ(L"3", Value(Child(inner, 1)));
    JsonDeleteNode(inner);

    // And the other way round: the handle lives on with a copy of its own.
    JsonNode first = JsonParse(L"[4]");
    JsonNode second = JsonAsArray(first);
    JsonSetName(first, L"own copy");
    JsonDeleteNode(second);
    EXPECT_EQ(L"4", Value(Child(first, 0)));
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
        EXPECT_EQ(JsonArray, JsonGetType(view));
        ASSERT_EQ(2, JsonGetSize(view));
        EXPECT_EQ(L"", Name(Child(view, 0)));
        EXPECT_EQ(L"", Name(Child(view, 1)));
        EXPECT_EQ(L"1", Value(Child(view, 0)));
        EXPECT_EQ(L"two", Value(Child(view, 1)));
        // The object keeps its members and names.
        EXPECT_EQ(JsonObject, JsonGetType(object));
        EXPECT_EQ(L"a", Name(Child(object, 0)));
        EXPECT_EQ(L"b", Name(Child(object, 1)));
        JsonSetInt(Child(view, 0), 9);
        EXPECT_EQ(L"1", Value(Child(object, 0)));
    }
    // Any other node gives a fresh empty array.
    Document text(JsonNewString(L"a", L"b"));
    Document fromText(JsonAsArray(text));
    EXPECT_EQ(JsonArray, JsonGetType(fromText));
    EXPECT_EQ(0, JsonGetSize(fromText));
}

} // namespace

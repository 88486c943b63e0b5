#include "JsonTestUtil.h"
#include "json/JsonMerge.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using namespace jsontest;

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
    EXPECT_EQ(L"", Name(nullptr) + Value(nullptr) + Write(nullptr));
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
    const struct {
        void (*set)(JsonNode);
        JsonNodeType type;
        const wchar_t* text;
    } steps[] = {
        {[](JsonNode n) { JsonSetInt(n, -2147483647 - 1); }, JsonNumber, L"-2147483648"},
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
    // A scalar setter on a container drops its children.
    Document object(JsonParse(L"{\"a\":[1,2],\"b\":{}}"));
    JsonSetString(Member(object, L"a"), L"now text");
    EXPECT_EQ(L"{a:\"now text\",b:{}}", Render(object));
}

TEST(JsonChildList, GrowsErasesAndClears)
{
    Document array(JsonNewNode(JsonArray));
    for (int i = 0; i < 9; ++i) // past the first allocation
        JsonPushBack(array, NumberNode(i));
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
    // Erasing the only child frees the list; the node stays a container.
    EXPECT_EQ(JsonEnd(array), JsonErase(array, JsonBegin(array)));
    EXPECT_NE(nullptr, JsonBegin(array));
    JsonPushBack(array, NumberNode(2));
    EXPECT_EQ(L"[2]", Render(array));

    // Onto a scalar or into itself nothing is added; the child stays the caller's.
    Document text(JsonNewString(L"a", L"b"));
    Document child(NumberNode(1));
    JsonPushBack(text, child);
    EXPECT_EQ(0, JsonGetSize(text));
    JsonPushBack(array, array);
    EXPECT_EQ(1, JsonGetSize(array));
    EXPECT_EQ(nullptr, JsonFindChild(text, L"a"));
}

// A view shares the body until either handle changes it, and outlives its source.
TEST(JsonArrayView, SharesTheBodyUntilAChange)
{
    for (bool clear : {false, true}) {
        Document original(JsonParse(L"[\"x\",[\"y\"]]"));
        Document shared(JsonAsArray(original));
        clear ? JsonClearChildren(shared) : JsonSetString(shared, L"s");
        EXPECT_EQ(L"[\"x\",[\"y\"]]", Render(original));
    }
    // An object's view holds its values without names.
    Document object(JsonParse(L"{\"a\":1,\"b\":\"two\"}"));
    JsonNode view = JsonAsArray(object);
    EXPECT_EQ(L"[1,\"two\"]", Render(view));
    JsonSetInt(Child(view, 0), 9);
    EXPECT_EQ(L"{a:1,b:\"two\"}", Render(object));
    EXPECT_EQ(L"[]", Render(Document(JsonAsArray(Child(object, 0)))));

    JsonNode original = JsonParse(L"[1,[2,3]]");
    JsonDeleteNode(view);
    view = JsonAsArray(original);
    JsonDeleteNode(original);
    JsonNode inner = JsonAsArray(Child(view, 1));
    JsonDeleteNode(view);
    EXPECT_EQ(L"[2,3]", Render(inner));
    JsonDeleteNode(inner);
}

std::wstring PoolName(int n)
{
    return (n % 2 ? L"M" : L"m") + std::to_wstring(n / 2);
}

// Lookup by name (indexed from 16 members) finds what a walk finds, through random changes.
TEST(JsonNameIndex, AgreesWithAWalkThroughEveryKindOfChange)
{
    constexpr int kPool = 60; // m0, M0, m1, ...: names differ by case and length
    std::mt19937 random(7);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    std::wstring text = L"{";
    for (int i = 0; i < 40; ++i)
        text += (i ? L",\"" : L"\"") + PoolName(i) + L"\":" + std::to_wstring(i);
    JsonNode object = JsonParse((text + L"}").c_str());
    std::vector<JsonNode> copies;
    for (int step = 0; step < 600; ++step) {
        const int size = JsonGetSize(object);
        const int op = pick(11);
        if (op < 3 || size < 20) {
            JsonPushBack(object, JsonNewString(PoolName(pick(kPool)).c_str(), L"v"));
        } else if (op < 5) {
            JsonErase(object, JsonBegin(object) + pick(size));
        } else if (op < 8) {
            JsonSetName(Child(object, pick(size)), PoolName(pick(kPool)).c_str());
        } else if (op < 9) {
            copies.push_back(JsonKeepCopy(object)); // the next change copies the list
            JsonSetName(Child(object, pick(size)), L"m0");
        } else if (op < 10) {
            JsonNode base = JsonKeepCopy(object), theirs = JsonNewNode(JsonObject), detached = JsonNewNode(JsonArray);
            for (int i = size - 1; i >= 0; --i)
                JsonPushBack(theirs, JsonNewString(Name(Child(object, i)).c_str(), L"t"));
            JsonMergeTheirs(object, base, theirs, detached);
            for (JsonNode node : {base, theirs, detached})
                JsonDeleteNode(node);
        } else if (step % 50 == 9) {
            JsonClearChildren(object);
        } else {
            JsonErase(object, JsonFindChild(object, PoolName(pick(kPool)).c_str()));
        }
        for (JsonNode node :
             copies.empty() ? std::vector<JsonNode>{object} : std::vector<JsonNode>{object, copies.back()}) {
            for (int n = 0; n < kPool; ++n) {
                int walked = 0;
                while (walked < JsonGetSize(node) && Name(Child(node, walked)) != PoolName(n))
                    ++walked;
                ASSERT_EQ(JsonBegin(node) + walked, JsonFindChild(node, PoolName(n).c_str()))
                    << "step " << step << " op " << op;
            }
        }
    }
    EXPECT_EQ(JsonEnd(object), JsonFindChild(object, nullptr));
    for (JsonNode copy : copies)
        JsonDeleteNode(copy);
    JsonDeleteNode(object);
}

} // namespace

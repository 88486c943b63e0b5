#include "JsonTestUtil.h"
#include "json/JsonGrammar.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <pthread.h>

namespace {

using namespace jsontest;
using zv::json::kMaxDepth;

// Runs job on a thread with a small stack, so that any recursion that
// follows the document's depth overflows it.
void OnSmallStack(std::size_t stackBytes, const std::function<void()>& job)
{
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, stackBytes);
    pthread_t thread;
    auto run = [](void* argument) -> void* {
        (*static_cast<const std::function<void()>*>(argument))();
        return nullptr;
    };
    ASSERT_EQ(0, pthread_create(&thread, &attributes, run, const_cast<std::function<void()>*>(&job)));
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
}

std::wstring NestedText(std::uint32_t depth, bool objects)
{
    std::wstring text;
    for (std::uint32_t i = 0; i < depth; ++i)
        text += objects ? L"{\"k\":" : L"[0,";
    text += L"7";
    for (std::uint32_t i = 0; i < depth; ++i)
        text += objects ? L"}" : L"]";
    return text;
}

// Follows the last child of every level; returns the innermost node and
// the number of containers on the way.
JsonNode Innermost(JsonNode node, std::uint32_t& containers)
{
    containers = 0;
    for (;;) {
        const JsonNodeType type = JsonGetType(node);
        if (type != JsonArray && type != JsonObject)
            return node;
        ++containers;
        if (JsonGetSize(node) == 0)
            return node;
        node = JsonEnd(node)[-1];
    }
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

TEST(JsonDepth, DocumentAtTheLimitIsReadCopiedAndReleasedWithoutRecursion)
{
    for (bool objects : {false, true}) {
        const std::wstring text = NestedText(kMaxDepth, objects);
        ASSERT_EQ(1, Validate(text).result);
        bool done = false;
        OnSmallStack(64 * 1024, [&] {
            Document root(text.c_str());
            if (!root.get())
                return;
            Document copy(JsonAsArray(root));
            std::uint32_t levels = 0;
            const std::wstring value = Value(Innermost(root, levels));
            // Copy on write: the first change clones the whole read tree.
            JsonSetInt(JsonBegin(objects ? copy : root)[0], 1);
            std::uint32_t copyLevels = 0;
            JsonNode copyInner = Innermost(objects ? root : copy, copyLevels);
            const std::wstring written = Write(root);
            Document again(written.c_str());
            done = levels == kMaxDepth && value == L"7" && copyLevels == kMaxDepth && Value(copyInner) == L"7" &&
                   again.get() && Write(again) == written;
        });
        EXPECT_TRUE(done) << (objects ? "objects" : "arrays");
    }
}

TEST(JsonDepth, DeeperTextIsRefusedByBothAtAnyDepth)
{
    for (std::uint32_t depth : {kMaxDepth + 1, 100000u}) {
        const std::wstring text = std::wstring(depth, L'[') + std::wstring(depth, L']');
        Verdict verdict{1, L""};
        JsonNode root = nullptr;
        OnSmallStack(64 * 1024, [&] {
            verdict = Validate(text);
            root = JsonParse(text.c_str());
        });
        EXPECT_EQ(0, verdict.result) << depth;
        EXPECT_EQ(nullptr, root) << depth;
        EXPECT_EQ(0, verdict.description.find(L"Line 1, Column 1001: arrays and objects are nested deeper than 1000"));
    }
}

TEST(JsonDepth, NoContainerIsAddedBeyondTheLimit)
{
    Document root(JsonNewNode(JsonObject));
    JsonNode deepest = Chain(root, kMaxDepth);
    for (JsonNodeType type : {JsonArray, JsonObject}) {
        JsonNode refused = JsonNewNode(type);
        EXPECT_EQ(0, JsonPushBack(deepest, refused));
        EXPECT_EQ(0, JsonGetSize(deepest));
        JsonDeleteNode(refused); // still the caller's
    }
    EXPECT_EQ(1, JsonPushBack(deepest, JsonNewString(L"", L"a value is no level")));

    // A subtree counts with its own height, read or unread.
    JsonNode third = JsonEnd(JsonEnd(root)[-1])[-1];
    JsonNode level999 = Chain(third, kMaxDepth - 3);
    Document pair(JsonParse(L"[[1]]"));
    EXPECT_EQ(0, JsonPushBack(level999, pair));
    JsonNode one = JsonNewNode(JsonArray);
    EXPECT_EQ(1, JsonPushBack(level999, one));
    JsonNode leaf = JsonNewNode(JsonArray);
    EXPECT_EQ(0, JsonPushBack(one, leaf));
    JsonDeleteNode(leaf);

    const std::wstring written = Write(root);
    EXPECT_EQ(1, Validate(written).result);
    Document again(written.c_str());
    EXPECT_EQ(Render(root), Render(again));

    // A subtree built on its own counts its levels from 1; once placed deep,
    // its inner containers count from there.
    JsonNode deep = Chain(JsonBegin(root)[0], kMaxDepth - 11);
    JsonNode subtree = JsonNewNode(JsonArray);
    JsonNode bottom = Chain(subtree, 10);
    ASSERT_EQ(1, JsonPushBack(deep, subtree));
    JsonNode refused = JsonNewNode(JsonArray);
    EXPECT_EQ(0, JsonPushBack(bottom, refused));
    JsonDeleteNode(refused);

    // A view of an array shares its body; pushed elsewhere it is copied and
    // takes the level of its new place, and the original keeps its own.
    JsonNode view = JsonAsArray(bottom);
    Document shallow(JsonNewNode(JsonArray));
    ASSERT_EQ(1, JsonPushBack(shallow, view));
    EXPECT_EQ(1, JsonPushBack(view, JsonNewNode(JsonArray)));
    refused = JsonNewNode(JsonArray);
    EXPECT_EQ(0, JsonPushBack(bottom, refused));
    JsonDeleteNode(refused);
}

// One tab per level up to a bound: the text of a deep chain grows with its
// depth, not with the square of it.
TEST(JsonDepth, IndentationStopsGrowingSoTheTextStaysLinear)
{
    Document root(JsonNewNode(JsonArray));
    JsonPushBack(Chain(root, kMaxDepth), JsonNewString(L"", L"end"));
    const std::wstring written = Write(root);
    std::size_t longestRun = 0, run = 0;
    for (wchar_t c : written) {
        run = c == L'\t' ? run + 1 : 0;
        longestRun = std::max(longestRun, run);
    }
    EXPECT_EQ(64u, longestRun);
    EXPECT_NE(std::wstring::npos, written.find(L"\n" + std::wstring(30, L'\t') + L"[\n"));
    EXPECT_LT(written.size(), 2 * kMaxDepth * 70);
    Document again(written.c_str());
    std::uint32_t levels = 0;
    EXPECT_EQ(L"end", Value(Innermost(again, levels)));
    EXPECT_EQ(kMaxDepth, levels);
}

} // namespace

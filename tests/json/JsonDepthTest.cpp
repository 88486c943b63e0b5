#include "JsonTestUtil.h"
#include "json/JsonGrammar.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <pthread.h>

namespace {

using namespace jsontest;
using zv::json::kMaxDepth;

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

// The value at the end of the last children, and how many containers lead there.
std::pair<std::wstring, std::uint32_t> Innermost(JsonNode node)
{
    std::uint32_t containers = 0;
    while (JsonGetType(node) == JsonArray || JsonGetType(node) == JsonObject) {
        ++containers;
        node = JsonEnd(node)[-1];
    }
    return {Value(node), containers};
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
        bool done = false;
        OnSmallStack([&] {
            Document root(text.c_str());
            Document copy(JsonAsArray(root));
            JsonSetInt(JsonBegin(objects ? copy : root)[0], 1);
            const std::wstring written = Write(root);
            std::size_t longestRun = 0, run = 0;
            for (wchar_t c : written)
                longestRun = std::max(longestRun, run = c == L'\t' ? run + 1 : 0);
            Document again(written.c_str());
            const auto expected = std::make_pair(std::wstring(L"7"), kMaxDepth);
            done = Innermost(root) == expected && Innermost(objects ? root : copy) == expected && again.get() &&
                   Write(again) == written && longestRun == 64;
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

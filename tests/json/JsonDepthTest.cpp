#include "JsonTestUtil.h"

#include <gtest/gtest.h>

#include <functional>
#include <pthread.h>

namespace {

using namespace jsontest;

constexpr int kDepth = 100000;

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

std::wstring NestedText(int depth, bool objects)
{
    std::wstring text;
    text.reserve(depth * 8 + 8);
    for (int i = 0; i < depth; ++i)
        text += objects ? L"{\"k\":" : L"[0,";
    text += L"7";
    for (int i = 0; i < depth; ++i)
        text += objects ? L"}" : L"]";
    return text;
}

// Follows the last child of every level; returns the innermost node.
JsonNode Innermost(JsonNode node, int& levels)
{
    levels = 0;
    while (JsonGetSize(node) > 0) {
        node = JsonEnd(node)[-1];
        ++levels;
    }
    return node;
}

TEST(JsonDepth, DeepDocumentIsReadCopiedAndReleased)
{
    for (bool objects : {false, true}) {
        bool done = false;
        OnSmallStack(512 * 1024, [&] {
            const std::wstring text = NestedText(kDepth, objects);
            JsonNode root = JsonParse(text.c_str());
            if (!root)
                return;
            JsonNode copy = JsonAsArray(root);
            int levels = 0;
            JsonNode inner = Innermost(root, levels);
            const std::wstring value = Value(inner);
            // Copy on write: the first change clones the whole read tree.
            JsonNode copyRoot = objects ? copy : root;
            JsonSetInt(JsonBegin(copyRoot)[0], 1);
            int copyLevels = 0;
            JsonNode copyInner = Innermost(objects ? root : copy, copyLevels);
            done = levels == kDepth && value == L"7" && copyLevels == kDepth && Value(copyInner) == L"7";
            JsonDeleteNode(copy);
            JsonDeleteNode(root);
        });
        EXPECT_TRUE(done) << (objects ? "objects" : "arrays");
    }
}

TEST(JsonDepth, UnreadDeepDocumentIsReleasedAndCopied)
{
    bool done = false;
    OnSmallStack(256 * 1024, [&] {
        const std::wstring text = NestedText(kDepth, false);
        JsonNode root = JsonParse(text.c_str());
        // Half read: the lower half stays one unread slice.
        JsonNode node = root;
        for (int i = 0; i < kDepth / 2; ++i)
            node = Child(node, 1);
        JsonNode copy = JsonAsArray(root);
        JsonPushBack(copy, JsonNewNode(JsonNull));
        done = node && JsonGetSize(copy) == 3 && JsonGetSize(root) == 2;
        JsonDeleteNode(root);
        int levels = 0;
        done = done && JsonGetType(Innermost(copy, levels)) == JsonNull && levels == 1;
        JsonDeleteNode(copy);
    });
    EXPECT_TRUE(done);
}

TEST(JsonDepth, DeepTreeBuiltThroughTheInterface)
{
    bool done = false;
    OnSmallStack(256 * 1024, [&] {
        JsonNode root = JsonNewNode(JsonArray);
        JsonNode node = root;
        for (int i = 0; i < kDepth; ++i) {
            JsonNode child = JsonNewNode(i % 2 ? JsonArray : JsonObject);
            JsonSetName(child, L"n");
            JsonPushBack(node, child);
            node = child;
        }
        JsonPushBack(node, JsonNewString(L"leaf", L"end"));
        JsonNode shared = JsonAsArray(JsonBegin(root)[0]);
        JsonNode copy = JsonAsArray(root);
        JsonSetName(copy, L"changed"); // clones all 100,000 levels
        int levels = 0;
        const std::wstring leaf = Value(Innermost(root, levels));
        done = leaf == L"end" && levels == kDepth + 1 && Name(root) == L"";
        JsonDeleteNode(root);
        done = done && Value(Innermost(copy, levels)) == L"end" && levels == kDepth + 1;
        JsonDeleteNode(copy);
        JsonDeleteNode(shared);
    });
    EXPECT_TRUE(done);
}

TEST(JsonDepth, DeepTreeIsWrittenWithoutRecursion)
{
    // The text of n levels holds about n * n tabs, so the writer is shown on
    // a stack far smaller than a recursion this deep would need.
    const int depth = 3000;
    const std::wstring text = NestedText(depth, true);
    std::wstring written;
    OnSmallStack(128 * 1024, [&] {
        JsonNode root = JsonParse(text.c_str());
        written = Write(root);
        JsonDeleteNode(root);
    });
    ASSERT_FALSE(written.empty());
    EXPECT_EQ(0u, written.find(L"{\n\t\"k\" : {\n\t\t\"k\" : {\n"));
    EXPECT_NE(std::wstring::npos, written.find(L"\n" + std::wstring(depth, L'\t') + L"\"k\" : 7\n"));
    EXPECT_EQ(L"\n\t}\n}", written.substr(written.size() - 5));
    Document again(written.c_str());
    int levels = 0;
    EXPECT_EQ(L"7", Value(Innermost(again, levels)));
    EXPECT_EQ(depth, levels);
}

} // namespace

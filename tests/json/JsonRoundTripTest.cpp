#include "JsonTestUtil.h"
#include "json/JsonBody.h"

#include <gtest/gtest.h>

#include <zvenv/platform/Text.h>

#include <algorithm>
#include <random>

namespace {

using namespace jsontest;
using zv::json::AsHandle;
using zv::json::NodeBody;

// Random trees of every node type, built through the interface. Comments and
// number spellings, which the interface cannot set, go straight into the
// node as the parser would put them there.
class RandomTrees {
public:
    explicit RandomTrees(unsigned seed) : m_random(seed) {}

    JsonNode Tree()
    {
        JsonNode root = JsonNewNode(Below(2) ? JsonArray : JsonObject);
        MaybeComment(root);
        Fill(root, 0);
        return root;
    }

    // A number text of the grammar.
    std::wstring NumberText()
    {
        std::wstring text = Below(3) == 0 ? L"-" : L"";
        if (Below(3) == 0) {
            text += L"0";
        } else {
            text += static_cast<wchar_t>(L'1' + Below(9));
            for (int n = Below(6); n > 0; --n)
                text += Digit();
        }
        if (Below(2)) {
            text += L".";
            for (int n = 1 + Below(5); n > 0; --n)
                text += Digit();
        }
        if (Below(3) == 0) {
            text += Below(2) ? L"e" : L"E";
            const int sign = Below(3);
            text += sign == 0 ? L"" : sign == 1 ? L"+" : L"-";
            // Two digits at most: a plain reader refuses doubles out of range.
            for (int n = 1 + Below(2); n > 0; --n)
                text += Digit();
        }
        return text;
    }

private:
    int Below(int bound) { return std::uniform_int_distribution<int>(0, bound - 1)(m_random); }
    wchar_t Digit() { return static_cast<wchar_t>(L'0' + Below(10)); }

    // Text for names and strings: quotes, backslashes, separators, control
    // characters and text beyond ASCII, now and then a NUL or a lone surrogate.
    std::wstring Text(bool forComment)
    {
        static const wchar_t pool[] = L"ab Z09\"\\/*#[]{},:'\t\x01\x1f\x7f\u00e9\u4e2d\U0001F600\ufffd";
        std::wstring text;
        for (int n = Below(12); n > 0; --n) {
            const int kind = Below(40);
            if (!forComment && kind == 0)
                text += L'\0';
            else if (!forComment && kind == 1)
                text += L'\n';
            else if (!forComment && kind == 2)
                text += L'\r';
            else if (kind == 3)
                text += static_cast<wchar_t>(0xD800 + Below(0x800));
            else
                text += pool[Below(static_cast<int>(std::size(pool)) - 1)];
        }
        return text;
    }

    void MaybeComment(JsonNode node)
    {
        if (Below(4))
            return;
        std::wstring comment = Text(true);
        for (int lines = Below(3); lines > 0; --lines)
            comment += L"\n" + Text(true);
        AsHandle(node)->body->comment = comment;
    }

    JsonNode Scalar()
    {
        switch (Below(6)) {
        case 0:
            return JsonNewString(nullptr, Text(false).c_str());
        case 1: {
            JsonNode node = JsonNewNode(JsonString);
            JsonSetString(node, Text(false).c_str());
            return node;
        }
        case 2: {
            JsonNode node = JsonNewNode(JsonNumber);
            JsonSetInt(node, static_cast<std::int32_t>(m_random()));
            return node;
        }
        case 3: {
            JsonNode node = JsonNewNode(JsonNumber);
            AsHandle(node)->body->value = NumberText();
            return node;
        }
        case 4: {
            JsonNode node = JsonNewNode(JsonBoolean);
            JsonSetBool(node, Below(2));
            return node;
        }
        default:
            return JsonNewNode(JsonNull);
        }
    }

    void Fill(JsonNode parent, int depth)
    {
        const bool object = JsonGetType(parent) == JsonObject;
        for (int n = Below(depth < 4 ? 6 : 3); n > 0; --n) {
            JsonNode child = depth < 4 && Below(4) == 0 ? JsonNewNode(Below(2) ? JsonArray : JsonObject) : Scalar();
            if (JsonGetType(child) == JsonArray || JsonGetType(child) == JsonObject)
                Fill(child, depth + 1);
            if (object || Below(5) == 0)
                JsonSetName(child, Text(false).c_str()); // never shown for array elements
            MaybeComment(child);
            JsonPushBack(parent, child);
        }
    }

    std::mt19937 m_random;
};

// Compares a tree with the one read back, reading every value of both.
void ExpectSameTree(JsonNode expected, JsonNode actual, bool member, int& mismatches)
{
    NodeBody* want = AsHandle(expected)->body;
    NodeBody* got = AsHandle(actual)->body;
    zv::json::Fetch(want);
    zv::json::Fetch(got);
    std::wstring wantValue(zv::json::ValueText(want));
    if (wantValue.empty() && want->type != JsonString && !zv::json::IsContainer(want->type))
        wantValue = L"null";
    const bool same = want->type == got->type && (!member || want->name == got->name) &&
                      want->comment == got->comment && wantValue == zv::json::ValueText(got);
    if (!same) {
        ++mismatches;
        return;
    }
    if (!zv::json::IsContainer(want->type))
        return;
    if (JsonGetSize(expected) != JsonGetSize(actual)) {
        ++mismatches;
        return;
    }
    for (int i = 0; i < JsonGetSize(expected); ++i)
        ExpectSameTree(Child(expected, i), Child(actual, i), want->type == JsonObject, mismatches);
}

TEST(JsonRoundTrip, WrittenTextIsValidReadsBackEqualAndWritesTheSame)
{
    const JsonCppParseFn validate = LoadValidator();
    ASSERT_NE(nullptr, validate);
    RandomTrees trees(20261206);
    int nodes = 0;
    for (int round = 0; round < 3000; ++round) {
        Document tree(trees.Tree());
        const std::wstring written = Write(tree);
        CString error;
        ASSERT_EQ(1, validate(written.c_str(), &error, 1))
            << "tree " << round << ": " << zv::text::EncodeUtf8(error.GetString()) << "\n"
            << zv::text::EncodeUtf8(written);
        Document parsed(written.c_str());
        ASSERT_NE(nullptr, parsed.get()) << "tree " << round << "\n" << zv::text::EncodeUtf8(written);
        ASSERT_EQ(written, Write(parsed)) << "tree " << round << " written unread";
        int mismatches = 0;
        ExpectSameTree(tree, parsed, false, mismatches);
        ASSERT_EQ(0, mismatches) << "tree " << round << "\n" << zv::text::EncodeUtf8(written);
        ASSERT_EQ(written, Write(parsed)) << "tree " << round << " written after reading";
        nodes += static_cast<int>(std::count(written.begin(), written.end(), L'\n'));
    }
    EXPECT_GT(nodes, 30000); // the trees are not trivially small
}

} // namespace

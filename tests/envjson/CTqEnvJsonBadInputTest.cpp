#include "EnvJsonTestUtil.h"

#include <random>

using namespace envjsontest;
using zvtest::ReadFile;
using zvtest::Utf16;

namespace {

// Reads the document in every way a caller could, then saves it.
void Exercise(CTqEnvJson* doc)
{
    CStringArray values;
    doc->GetString(L"k", L"d");
    doc->GetStringEx(L"", L"", L"", L"d");
    doc->GetStringEx(L"k", L"k", L"k", L"d");
    doc->GetArray(L"k", values);
    doc->GetTreeArray(L"k", values);
    doc->GetNodeSize(nullptr);
    doc->Save();
}

// A document file whose content the loader must not take and must not change.
void ExpectRejectedAndKept(const std::string& name, const std::string& bytes)
{
    CapturedMessages messages;
    CTqEnvJson* doc = OpenUserDocument(name, bytes);
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->GetJson(), nullptr);
    EXPECT_EQ(messages.count(), 1u);
    Exercise(doc);
    EXPECT_EQ(ReadFile(UserFile(name + ".json")), bytes);
}

} // namespace

TEST(JsonBadInput, RandomBytes)
{
    if (!InFreshRoot())
        return;
    std::mt19937 random(20261206);
    for (int round = 0; round < 20; ++round) {
        std::string bytes(16 + random() % 4096, '\0');
        for (char& b : bytes)
            b = static_cast<char>(random());
        bytes[0] = '\x01'; // not the empty-file rule
        // Keep no stray brace pair from making it valid by luck: no '{' at all.
        for (char& b : bytes)
            if (b == '{' || b == '[')
                b = 'x';
        ExpectRejectedAndKept("random" + std::to_string(round), bytes);
    }
}

TEST(JsonBadInput, TruncatedDocument)
{
    if (!InFreshRoot())
        return;
    const std::string whole = Utf16(L"{\"a\": [1, 2, 3], \"b\": {\"c\": \"text\"}}");
    for (std::size_t cut : {whole.size() - 2, whole.size() / 2, std::size_t(4)})
        ExpectRejectedAndKept("cut" + std::to_string(cut), whole.substr(0, cut));
}

TEST(JsonBadInput, HugeNesting)
{
    if (!InFreshRoot())
        return;
    const std::size_t depth = 100000;
    for (const char* shape : {"array", "object"}) {
        std::wstring text;
        if (std::string(shape) == "array")
            text = L"{\"k\": " + std::wstring(depth, L'[') + std::wstring(depth, L']') + L"}";
        else {
            for (std::size_t i = 0; i < depth; ++i)
                text += L"{\"k\": ";
            text += L"1" + std::wstring(depth, L'}');
        }
        const std::string bytes = Utf16(text);
        CapturedMessages messages;
        CTqEnvJson* doc = OpenUserDocument(std::string("deep-") + shape, bytes);
        ASSERT_NE(doc, nullptr);
        // Whether the validator takes it or not, nothing breaks and the file
        // changes only by a save of what was read.
        EXPECT_LE(messages.count(), 1u);
        if (!doc->GetJson()) {
            Exercise(doc);
            EXPECT_EQ(ReadFile(UserFile(std::string("deep-") + shape + ".json")), bytes);
        } else {
            Exercise(doc);
            EXPECT_EQ(doc->ReloadFile(0), 1);
        }
    }
}

TEST(JsonBadInput, HostileSplitInput)
{
    // Long runs of bars in both modes finish and give what the rules say.
    CStringArray pieces;
    EXPECT_EQ(CTqEnvJson::StringToArray(CString(std::wstring(100000, L'|')), pieces), 0);
    std::wstring many;
    for (int i = 0; i < 50000; ++i)
        many += L"ab|";
    EXPECT_EQ(CTqEnvJson::StringToArray(CString(many), pieces), 50000);
    // One "||" at the very end: everything before it is one piece.
    EXPECT_EQ(CTqEnvJson::StringToArray(CString(many + L"|"), pieces), 1);
    EXPECT_TRUE(pieces.GetAt(0).str() == many);
}

TEST(JsonBadInput, DeepTreeBuiltThroughTheInterface)
{
    if (!InFreshRoot())
        return;
    // Far deeper than any file the validator takes: readers walk it without
    // running out of stack.
    CTqEnvJson* doc = fnTqEnvMgr()->GetJson(L"deep");
    void* parent = nullptr;
    for (int i = 0; i < 100000; ++i) {
        void** it = doc->CreateNode(parent, L"k", JsonArray, 0);
        ASSERT_NE(it, nullptr);
        parent = *it;
    }
    doc->SetString(L"", L"bottom", parent);
    EXPECT_EQ(doc->GetString(L"k", L"d").str(), L"|bottom");
    EXPECT_EQ(doc->GetStringEx(L"", L"", L"", L"d").str(), L"bottom");
    EXPECT_EQ(doc->GetStringEx(L"k", L"", L"", L"d").str(), L"bottom|");
    CStringArray rows;
    doc->GetTreeArray(L"k", rows);
    EXPECT_EQ(Items(rows), std::vector<std::wstring>{L"bottom"});
}

// Documents as people write them by hand, deep documents built through the
// interface, and strings holding what a file's framing could damage: loaded,
// saved and loaded again, nothing anybody wrote is lost or changed.
#include "EnvJsonTestUtil.h"
#include "json/JsonGrammar.h"

#include <zvenv/platform/Text.h>

using namespace envjsontest;
using zvtest::ReadFile;
using zvtest::Utf16;

namespace {

// The document's text as the engine writes it, once saved and loaded again.
std::wstring AfterSaveAndReload(CTqEnvJson* doc)
{
    doc->SetDirty(1);
    doc->Save();
    EXPECT_EQ(doc->IsDirty(), 0);
    doc->ReloadFile(0);
    return doc->GetJson() ? TreeText(doc) : L"(no tree)";
}

} // namespace

TEST(JsonHandWritten, TrailingCommasAndCommentsKeepEveryValue)
{
    if (!InFreshRoot())
        return;
    CapturedMessages messages;
    CTqEnvJson* doc =
        OpenText("hand", L"{\"a\" /* why */ : // more\r\n \"kept\" /* after */,\r\n\t\"o\": {\"x\": \"y\",},"
                         L" \"n\": [1, 2,],\r\n} // a note after the root");
    ASSERT_NE(doc->GetJson(), nullptr);
    EXPECT_EQ(doc->GetString(L"a", L"default").str(), L"kept");
    EXPECT_EQ(doc->GetString(L"x", L"default", Member(doc, L"o")).str(), L"y");
    EXPECT_EQ(doc->GetString(L"n", L"default").str(), L"1|2|");
    const std::wstring loaded = TreeText(doc);
    EXPECT_EQ(AfterSaveAndReload(doc), loaded);
    // An object holding only a comment is an empty object that keeps it.
    CTqEnvJson* empty = OpenText("empty", L"{\r\n\t// settings go here\r\n}");
    ASSERT_NE(empty->GetJson(), nullptr);
    EXPECT_EQ(JsonGetType(empty->GetJson()), JsonObject);
    EXPECT_EQ(AfterSaveAndReload(empty), L"\n// settings go here\n{}");
    EXPECT_TRUE(messages.texts.empty());
}

// A host can build no document deeper than one that loads.
TEST(JsonDepthLimit, NoNodeIsCreatedDeeperThanADocumentMayNest)
{
    if (!InFreshRoot())
        return;
    CTqEnvJson* doc = fnTqEnvMgr()->GetJson(L"deep");
    void* parent = nullptr;
    for (std::uint32_t level = 2; level <= zv::json::kMaxDepth; ++level) {
        void** it = doc->CreateNode(parent, L"k", JsonObject, 0);
        ASSERT_NE(it, doc->GetEndIterator(parent)) << level;
        parent = *it;
    }
    doc->SetString(L"leaf", L"value", parent);
    EXPECT_EQ(doc->CreateNode(parent, L"leaf", JsonArray, 1), doc->GetEndIterator(parent));
    EXPECT_EQ(doc->CreateNode(parent, L"more", JsonObject, 0), doc->GetEndIterator(parent));
    CStringArray items;
    items.Add(L"x");
    doc->SetArray(L"leaf", items, parent);
    doc->SetTreeArray(L"rows", items, L"|", parent);
    EXPECT_EQ(doc->GetNodeSize(parent), 1);
    EXPECT_EQ(doc->GetString(L"leaf", L"", parent).str(), L"value");
    void** number = doc->CreateNode(parent, L"n", JsonNumber, 0);
    EXPECT_NE(number, doc->GetEndIterator(parent));

    const std::wstring built = TreeText(doc);
    EXPECT_EQ(AfterSaveAndReload(doc), built);
}

TEST(JsonDepthLimit, ATreeAsDeepAsAFileMayBeIsWalkedWithoutRecursion)
{
    if (!InFreshRoot())
        return;
    CTqEnvJson* doc = fnTqEnvMgr()->GetJson(L"deep");
    void* parent = nullptr;
    for (std::uint32_t level = 2; level <= zv::json::kMaxDepth; ++level)
        parent = *doc->CreateNode(parent, L"k", JsonArray, 0);
    doc->SetString(L"", L"bottom", parent);
    EXPECT_EQ(doc->GetString(L"k", L"d").str(), L"|bottom");
    EXPECT_EQ(doc->GetStringEx(L"", L"", L"", L"d").str(), L"bottom");
    EXPECT_EQ(doc->GetStringEx(L"k", L"", L"", L"d").str(), L"bottom|");
    CStringArray rows;
    doc->GetTreeArray(L"k", rows);
    EXPECT_EQ(Items(rows), std::vector<std::wstring>{L"bottom"});
}

TEST(JsonStrings, ControlCharactersAndNulsComeBackAsTheyWere)
{
    if (!InFreshRoot())
        return;
    const std::wstring framing = L"one\ntwo\r\nthree\tfour\r";
    CTqEnvJson* doc = OpenText("strings", L"{\"raw\": \"tab\there\", \"nul\": \"a\\u0000b\", \"list\": [\"x\\u0000y\"],"
                                          L" \"rows\": [[\"p\\u0000q\"]], \"n\\u0000m\": 1}");
    doc->SetString(L"framing", framing.c_str());
    for (int save = 0; save < 2; ++save) {
        SCOPED_TRACE(save);
        AfterSaveAndReload(doc);
        EXPECT_EQ(doc->GetString(L"framing", L"").str(), framing);
        EXPECT_EQ(doc->GetString(L"raw", L"").str(), L"tab\there");
        EXPECT_EQ(doc->GetString(L"nul", L"").str(), std::wstring(L"a\0b", 3));
        CStringArray list, rows;
        doc->GetArray(L"list", list);
        EXPECT_EQ(Items(list), std::vector<std::wstring>{std::wstring(L"x\0y", 3)});
        doc->GetTreeArray(L"rows", rows);
        EXPECT_EQ(Items(rows), std::vector<std::wstring>{std::wstring(L"p\0q|", 4)});
        EXPECT_EQ(doc->GetNodeName(*(doc->GetEndIterator(nullptr) - 2)).str(), std::wstring(L"n\0m", 3));
    }
    // In the file they stand as escapes: every line end there is the
    // framing's own.
    const std::string bytes = ReadFile(UserFile("strings.json"));
    const std::wstring text = zv::text::DecodeUtf16le(bytes.data() + 2, bytes.size() - 2);
    EXPECT_NE(text.find(L"\"one\\ntwo\\r\\nthree\\tfour\\r\""), std::wstring::npos);
    EXPECT_NE(text.find(L"\"tab\\there\""), std::wstring::npos);
}

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
    struct {
        const char* name;
        const wchar_t* text;
        const wchar_t* key;
        const wchar_t* inner; // a member of key's object, or null
        const wchar_t* value;
    } cases[] = {
        {"comma", L"{\r\n\t\"a\": 1,\r\n}", L"a", nullptr, L"1"},
        {"nested", L"{\"o\": {\"x\": \"y\",}, \"n\": [1, 2,],}", L"o", L"x", L"y"},
        {"after", L"{\"a\": \"kept\"} // a note after the root", L"a", nullptr, L"kept"},
        {"between", L"{\"a\" /* why */ : // more\r\n \"kept\" /* after */}", L"a", nullptr, L"kept"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CTqEnvJson* doc = OpenText(c.name, c.text);
        ASSERT_NE(doc->GetJson(), nullptr);
        void* parent = c.inner ? Member(doc, c.key) : nullptr;
        EXPECT_EQ(doc->GetString(c.inner ? c.inner : c.key, L"default", parent).str(), c.value);
        const std::wstring loaded = TreeText(doc);
        EXPECT_EQ(AfterSaveAndReload(doc), loaded);
    }
    // An object holding only a comment is an empty object that keeps it.
    CTqEnvJson* empty = OpenText("empty", L"{\r\n\t// settings go here\r\n}");
    ASSERT_NE(empty->GetJson(), nullptr);
    EXPECT_EQ(JsonGetType(empty->GetJson()), JsonObject);
    EXPECT_EQ(AfterSaveAndReload(empty), L"\n// settings go here\n{}");
    EXPECT_TRUE(messages.texts.empty());
}

TEST(JsonHandWritten, WhatTheEngineCannotReadIsRefusedWithItsPlace)
{
    if (!InFreshRoot())
        return;
    CapturedMessages messages;
    const std::pair<const char*, const wchar_t*> cases[] = {
        {"zero", L"{\r\n\t\"a\": 08\r\n}"},
        {"sign", L"{\r\n\t\"a\": -\r\n}"},
        {"colon", L"{\r\n\t\"a\" 1\r\n}"},
        {"hex", L"{\r\n\t\"a\": 0x1F\r\n}"},
    };
    for (const auto& [name, text] : cases) {
        CTqEnvJson* doc = OpenText(name, text);
        EXPECT_EQ(doc->GetJson(), nullptr) << name;
    }
    ASSERT_EQ(messages.texts.size(), 4u);
    for (const std::wstring& message : messages.texts)
        EXPECT_NE(message.find(L":json parse error:\nLine 2, Column "), std::wstring::npos)
            << CString(message).ToUtf8();
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

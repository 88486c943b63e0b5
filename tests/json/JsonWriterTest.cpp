#include "JsonTestUtil.h"
#include "json/JsonBody.h"

#include <zvenv/platform/Text.h>

#include <gtest/gtest.h>

namespace {

using namespace jsontest;
using zv::json::AsHandle;

// Tabs, " : ", a blank line before a comment, unread values as spelt; written text reads back the same.
TEST(JsonWriter, LayoutOfReadDocuments)
{
    const wchar_t* const unread = L"{\n\t\"u\" : \"caf\\u00e9 \\\"q\\\" \\\\\\\" \\/\",\n\t\"n\" : -0.50E+01\n}";
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"{\"a\":1,//x\n\"b\":[true,null]}", L"{\n\t\"a\" : 1,\n\t\n\t//x\n\t\"b\" : [\n\t\ttrue,\n\t\tnull\n\t]\n}"},
        {L"[/*e*/1,{//m\n\"k\":2}]", L"[\n\t\n\t//e\n\t1,\n\t{\n\t\t\n\t\t//m\n\t\t\"k\" : 2\n\t}\n]"},
        {L"[ ]", L"[]"},
        {L"//c\n{}", L"\n//c\n{}"},
        {unread, unread},
    };
    for (const auto& [text, written] : cases) {
        EXPECT_EQ(written, Write(Document(text)));
        EXPECT_EQ(written, Write(Document(written)));
    }
    // Once read, a string is written from its value.
    Document root(unread);
    EXPECT_EQ(L"caf\u00e9 \"q\" \\\" /", Value(Member(root, L"u")));
    EXPECT_EQ(L"{\n\t\"u\" : \"caf\u00e9 \\\"q\\\" \\\\\\\" /\",\n\t\"n\" : -0.50E+01\n}", Write(root));

    EXPECT_EQ(L"", Write(Document(JsonNewString(L"a", L"b")))) << "a root that is no container";
    // A value never set is written as null: nothing after the colon would not read.
    Document unset(JsonNewNode(JsonObject));
    for (JsonNodeType type : {JsonNumber, JsonNull, JsonBoolean})
        JsonPushBack(unset, JsonNewNode(type));
    EXPECT_EQ(L"{\n\t\"\" : null,\n\t\"\" : null,\n\t\"\" : null\n}", Write(unset));
}

// What a string cannot hold raw is escaped, set, read or unread: no control character reaches a file.
TEST(JsonWriter, NamesAndStringsEscapeQuotesBackslashesAndControlCharacters)
{
    const std::wstring lone(1, static_cast<wchar_t>(0xD800));
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"say \"hi\" \\ now", L"say \\\"hi\\\" \\\\ now"},
        {L"line\nnext\r\nlast", L"line\\nnext\\r\\nlast"},
        {L"\t\b\f\x01\x1f", L"\\t\\u0008\\u000c\\u0001\\u001f"},
        {std::wstring(L"a\0b", 3), L"a\\u0000b"},
        {L"\x7f\u00e9\U0001F600/" + lone, L"\x7f\u00e9\U0001F600/" + lone},
    };
    for (const auto& [value, escaped] : cases) {
        SCOPED_TRACE(zv::text::EncodeUtf8(escaped));
        Document set(JsonNewNode(JsonObject));
        JsonNode named = JsonNewString(L"", L"");
        AsHandle(named)->body->name = value; // may hold a NUL
        JsonPushBack(set, named);
        JsonNode member = JsonNewNode(JsonString);
        AsHandle(member)->body->value = value;
        AsHandle(member)->body->valueEscaped = false;
        JsonPushBack(set, member);
        const std::wstring written = Write(set);
        EXPECT_EQ(L"{\n\t\"" + escaped + L"\" : \"\",\n\t\"\" : \"" + escaped + L"\"\n}", written);
        EXPECT_EQ(Render(set), Render(Document(written.c_str())));
    }
    // In an unread string raw control characters are escaped, its escapes kept.
    Document unread(L"[\"tab\there\\u0041\r\n\\n\\\"\"]");
    EXPECT_EQ(L"[\n\t\"tab\\there\\u0041\\r\\n\\n\\\"\"\n]", Write(unread));
}

// Each comment line is a line comment (a block would grow on every save); one ending
// in CR, which a line comment loses, is a block unless it holds "*/".
TEST(JsonWriter, EachCommentLineIsWrittenSoThatItReadsBackUnchanged)
{
    const struct {
        const wchar_t* comment;
        const wchar_t* lines;
        const wchar_t* readBack;
    } cases[] = {
        {L" a # b */ c", L"\t// a # b */ c\n", L" a # b */ c"},
        {L"\n\nx\n", L"\t//\n\t//\n\t//x\n\t//\n", L"\n\nx\n"},
        {L"p\r\nq\r", L"\t/*p\r*/\n\t/*q\r*/\n", L"p\r\nq\r"},
        {L"a\rb\nc", L"\t//a\rb\n\t//c\n", L"a\rb\nc"},
        {L"a\r*/b", L"\t//a\r*/b\n", L"a\r*/b"},
        {L"a*/b\r", L"\t//a*/b\n", L"a*/b"},
    };
    for (const auto& c : cases) {
        Document root(JsonNewNode(JsonObject));
        JsonNode member = JsonNewString(L"m", L"v");
        AsHandle(member)->body->comment = c.comment; // as the parser would have set it
        JsonPushBack(root, member);
        const std::wstring written = Write(root);
        EXPECT_EQ(std::wstring(L"{\n\t\n") + c.lines + L"\t\"m\" : \"v\"\n}", written) << zv::text::EncodeUtf8(written);
        EXPECT_EQ(L"/*" + std::wstring(c.readBack) + L"*/m:\"v\"", Render(Child(Document(written.c_str()), 0), true));
    }
}

} // namespace

#include "JsonTestUtil.h"
#include "json/JsonBody.h"

#include <gtest/gtest.h>

namespace {

using namespace jsontest;

std::wstring CommentOf(JsonNode node)
{
    return zv::json::AsHandle(node)->body->comment;
}

// An object with one member m whose comment is set directly, as the parser
// would have set it.
std::wstring WriteWithComment(const std::wstring& comment)
{
    Document root(JsonNewNode(JsonObject));
    JsonNode member = JsonNewString(L"m", L"v");
    zv::json::AsHandle(member)->body->comment = comment;
    JsonPushBack(root, member);
    return Write(root);
}

// The comment that a text's first member reads back with.
std::wstring CommentReadBack(const std::wstring& text)
{
    Document root(text.c_str());
    return CommentOf(Child(root, 0));
}

TEST(JsonWriter, LayoutOfAReadDocument)
{
    Document root(L"{\"a\":1,//x\n\"b\":[true,null]}");
    EXPECT_EQ(L"{\n"
              L"\t\"a\" : 1,\n"
              L"\t\n"
              L"\t//x\n"
              L"\t\"b\" : [\n"
              L"\t\ttrue,\n"
              L"\t\tnull\n"
              L"\t]\n"
              L"}",
              Write(root));
}

TEST(JsonWriter, RootsThatAreEmptyOrNotContainers)
{
    // A root or member found malformed while writing is written as null.
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"{}", L"{}"},
        {L"[ ]", L"[]"},
        {L"//c\n{}", L"\n//c\n{}"},
        {L"[1:2]", L"null"},
        {L"{\"a\":{1}}", L"{\n\t\"a\" : null\n}"},
    };
    for (const auto& [text, written] : cases)
        EXPECT_EQ(written, Write(Document(text)));
    EXPECT_EQ(L"", Write(Document(JsonNewString(L"a", L"b"))));
}

TEST(JsonWriter, StringsSetThroughTheInterfaceAreEscaped)
{
    Document root(JsonNewNode(JsonObject));
    JsonPushBack(root, JsonNewString(L"q\"b\\", L"say \"hi\" \\ then\nnext"));
    JsonNode renamed = JsonNewNode(JsonNumber);
    JsonSetInt(renamed, -7);
    JsonSetName(renamed, L"\"n\"");
    JsonPushBack(root, renamed);
    EXPECT_EQ(L"{\n\t\"q\\\"b\\\\\" : \"say \\\"hi\\\" \\\\ then\nnext\",\n\t\"\\\"n\\\"\" : -7\n}", Write(root));
}

// A stray quote in malformed text makes a member name that holds quotes and
// a line break. Written, it must not read back as other members.
TEST(JsonWriter, ANameHoldingAQuoteIsWrittenEscaped)
{
    Document root(L"{\"none\": null,\ne\": null,\n\t\"lb: 4}]\n}");
    ASSERT_EQ(JsonGetSize(root), 2);
    const std::wstring name = Name(Child(root, 1));
    ASSERT_NE(name.find(L'"'), std::wstring::npos);
    const std::wstring written = Write(root);
    EXPECT_EQ(L"{\n\t\"none\" : null,\n\t\"\\\": null,\n\t\\\"l\" : null\n}", written);

    Document again(written.c_str());
    ASSERT_EQ(JsonGetSize(again), 2) << "read back as other members";
    EXPECT_EQ(name, Name(Child(again, 1)));
    EXPECT_EQ(written, Write(again));
}

TEST(JsonWriter, UnreadValuesKeepTheirSpelling)
{
    const std::wstring text = L"{\n\t\"u\" : \"caf\\u00e9 \\\"q\\\" \\\\\\\" \\/\",\n\t\"h\" : 0x1F,\n\t\"o\" : 017\n}";
    Document root(text.c_str());
    EXPECT_EQ(text, Write(root));
    // Once read, the string is written from its value.
    EXPECT_EQ(L"caf\u00e9 \"q\" \\\" /", Value(Member(root, L"u")));
    EXPECT_EQ(L"{\n\t\"u\" : \"caf\u00e9 \\\"q\\\" \\\\\\\" /\",\n\t\"h\" : 0x1F,\n\t\"o\" : 017\n}", Write(root));
    // A value read without escapes is written unchanged.
    Document plain(L"[\"a'b\"]");
    EXPECT_EQ(L"a'b", Value(Child(plain, 0)));
    EXPECT_EQ(L"[\n\t\"a'b\"\n]", Write(plain));
}

TEST(JsonWriter, AValueNeverSetIsWrittenAsNull)
{
    // Nothing after the colon would make text that no reader accepts.
    Document root(JsonNewNode(JsonObject));
    JsonNode number = JsonNewNode(JsonNumber);
    JsonSetName(number, L"n");
    JsonPushBack(root, number);
    JsonNode null = JsonNewNode(JsonNull);
    JsonSetName(null, L"z");
    JsonPushBack(root, null);
    JsonPushBack(root, JsonNewNode(JsonBoolean));
    EXPECT_EQ(L"{\n\t\"n\" : null,\n\t\"z\" : null,\n\t\"\" : null\n}", Write(root));
    Document parsed(L"[1,,2]");
    EXPECT_EQ(L"[\n\t1,\n\tnull,\n\t2\n]", Write(parsed));
}

TEST(JsonWriter, ANulInAStringIsWrittenAsAnEscape)
{
    // A raw NUL would end the text there.
    Document root(JsonNewNode(JsonArray));
    JsonNode text = JsonNewNode(JsonString);
    zv::json::AsHandle(text)->body->value = std::wstring(L"a\0b", 3);
    zv::json::AsHandle(text)->body->valueEscaped = true;
    JsonPushBack(root, text);
    const std::wstring written = Write(root);
    EXPECT_EQ(L"[\n\t\"a\\u0000b\"\n]", written);
    Document again(written.c_str());
    JsonNode read = Child(again, 0);
    Value(read);
    EXPECT_EQ(std::wstring(L"a\0b", 3), zv::json::AsHandle(read)->body->value);
}

TEST(JsonWriterComments, EachLineIsWrittenSoThatItReadsBackUnchanged)
{
    // Several lines become one line comment each: a block comment would carry
    // the line breaks and indentation into the comment and grow on every save.
    // A CR before a line end (a file's CR LF) is left out for the same reason;
    // a CR elsewhere would end a line comment for a plain JSON reader, so such
    // a line is a block comment, unless it holds the block end as well.
    struct {
        const wchar_t* comment;
        const wchar_t* lines;
        const wchar_t* readBack;
    } cases[] = {
        {L"c", L"\t//c\n", L"c"},
        {L" a # b */ c", L"\t// a # b */ c\n", L" a # b */ c"},
        {L"p\nq", L"\t//p\n\t//q\n", L"p\nq"},
        {L"\n\nx\n", nullptr, L"\n\nx\n"},
        {L"p\r\nq\r", L"\t//p\n\t//q\n", L"p\nq"},
        {L"a\rb\nc", L"\t/*a\rb*/\n\t//c\n", L"a\rb\nc"},
        {L"a\r*/b", L"\t//a*/b\n", L"a*/b"},
    };
    for (const auto& c : cases) {
        const std::wstring written = WriteWithComment(c.comment);
        const std::string shown(written.begin(), written.end());
        if (c.lines) {
            EXPECT_EQ(std::wstring(L"{\n\t\n") + c.lines + L"\t\"m\" : \"v\"\n}", written) << shown;
        }
        EXPECT_EQ(c.readBack, CommentReadBack(written)) << shown;
    }
}

TEST(JsonWriterComments, CommentsOnArrayElementsAndNestedMembers)
{
    Document root(L"[/*e*/1,{//m\n\"k\":2}]");
    const std::wstring written = Write(root);
    EXPECT_EQ(L"[\n\t\n\t//e\n\t1,\n\t{\n\t\t\n\t\t//m\n\t\t\"k\" : 2\n\t}\n]", written);
    Document again(written.c_str());
    EXPECT_EQ(written, Write(again));
}

} // namespace

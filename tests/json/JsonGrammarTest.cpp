// The grammar row by row (validator and engine agree, accepted text reads as given), the validator module, the writer.
#include "JsonTestUtil.h"
#include "json/JsonBody.h"

#include <zvenv/platform/Text.h>

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace {

using namespace jsontest;
using zv::json::AsHandle;
using zv::text::EncodeUtf8;

// An accepted text and its tree (see Render), or a rejected one and the start of its description: where and what.
using Row = std::pair<const wchar_t*, const wchar_t*>;

const Row kAccepted[] = {
    // Escaped surrogates: pairs join (two units where wchar_t has 16 bits), a lone one stays.
    {L"[\"a\\uDBFF\\uDFFFb\", \"\\ud83d\\u0041\", \"\\ud83dA\", \"\\ud83d\\ud83d\\ude00\", \"\\ude00\\ud83d\"]",
     L"[\"a\U0010FFFFb\",\"\xD83D"
     L"A\",\"\xD83D"
     L"A\",\"\xD83D\U0001F600\",\"\xDE00\xD83D\"]"},
    // Control characters may stand raw in a string; the writer escapes them.
    {L"[\"tab\there\", \"line\r\nbreak\"]", L"[\"tab\there\",\"line\r\nbreak\"]"},
    // Comments wherever blanks may stand, each kept with a node.
    {L"// note\n{}", L"/* note*/{}"},
    {L"/* a *//* b */\n[]", L"/* a \n b */[]"},
    {L"// before\n[1] /* after */", L"/* before\n after */[1]"},
    {L"{\r\n\t// settings go here\r\n}", L"/* settings go here*/{}"},
    {L"{/*c*/\"a\":1,\n // d\n // e\n \"b\":[ // f\n true]}", L"{/*c*/a:1,/* d\n e*/b:[/* f*/true]}"},
    {L"{\"a\" /*x*/ : /*y*/ 1 /*z*/, \"b\":2}", L"{/*x\ny\nz*/a:1,b:2}"},
    {L"[1 /*x*/, 2 // y\n]", L"[/*x*/1,/* y*/2]"},
    {L"[1, /* after the comma */]", L"/* after the comma */[1]"},
    {L"[/**/1]", L"[1]"},
    {L"/* a\r\n b */ // c\r\r\n[]", L"/* a\n b \n c*/[]"},
    {L"/* a\r*/[]", L"/* a\r*/[]"},
    {L"// end of text\r\n[] //", L"/* end of text\n*/[]"},
    {L"[\"caf\u00e9\", \"\xD800x\xDFFF\"] // \u00fcber \U0001F600 \xD800",
     L"/* \u00fcber \U0001F600 \xD800*/[\"caf\u00e9\",\"\xD800x\xDFFF\"]"},
};

const Row kRejected[] = {
    {L"", L"Line 1, Column 1: the end of the text where the document should start"},
    {L"12", L"Line 1, Column 1: '1' where the document should start"},
    {L"{\"a\"}", L"Line 1, Column 5: '}' where ':' should follow the member name"},
    {L"{\"a\":}", L"Line 1, Column 6: '}' where a value should stand"},
    {L"{a:1}", L"Line 1, Column 2: 'a' where a member name in double quotes or '}'"},
    {L"[1 2]", L"Line 1, Column 4: '2' where ',' or ']' should follow the element"},
    {L"{\"a\":1 \"b\":2}", L"Line 1, Column 8: '\"' where ',' or '}' should follow the member"},
    {L"[1,,2]", L"Line 1, Column 4: ',' where a value or ']' should stand"},
    // Numbers: JSON's, and no other spelling.
    {L"[08]", L"Line 1, Column 2: a number may not start with 0"},
    {L"[-]", L"Line 1, Column 2: '-' must be followed by the digits"},
    {L"[1.]", L"Line 1, Column 4: a decimal point must be followed by digits"},
    {L"[1e+]", L"Line 1, Column 5: an exponent must have digits"},
    {L"[nul]", L"Line 1, Column 2: 'n' where a value should stand"},
    // Strings and escapes.
    {L"[\"abc", L"Line 1, Column 2: the string that starts here has no closing double quote"},
    {L"[\"abc\\", L"Line 1, Column 2: the string that starts here has no closing double quote"},
    {L"[\"a\\v\"]", L"Line 1, Column 4: unknown escape \\v"},
    {L"[\"\\u12\"]", L"Line 1, Column 3: \\u must be followed by four hexadecimal digits"},
    // Comments: only // and /* */, only where blanks may stand.
    {L"[1 / 2]", L"Line 1, Column 4: '/' starts no comment here"},
    {L"{\"a\":1} /* open", L"Line 1, Column 9: the comment that starts here has no closing */"},
    {L"[/*/]", L"Line 1, Column 2: the comment that starts here has no closing */"},
    // Characters outside strings and comments.
    {L"{\"a\":1}\u00e9", L"Line 1, Column 8: U+00E9 after the end of the document"},
    {L"[\"\U0001F600\",\n\n   x]", L"Line 3, Column 4: "},
    {L"[\r\r\n\rx]", L"Line 4, Column 1: 'x' where a value or ']' should stand"},
};

TEST(JsonGrammar, AcceptedTextsReadAsWritten)
{
    for (const auto& [text, tree] : kAccepted) {
        SCOPED_TRACE(EncodeUtf8(text));
        const Verdict verdict = Validate(text);
        EXPECT_EQ(1, verdict.result) << EncodeUtf8(verdict.description);
        EXPECT_EQ(L"", verdict.description);
        Document root(text);
        ASSERT_NE(nullptr, static_cast<JsonNode>(root));
        EXPECT_EQ(tree, Render(root)) << EncodeUtf8(Render(root));
    }
}

TEST(JsonGrammar, RejectedTextsAreRejectedByBothWithTheirPlace)
{
    for (const auto& [text, said] : kRejected) {
        SCOPED_TRACE(EncodeUtf8(text));
        const Verdict verdict = Validate(text);
        EXPECT_EQ(0, verdict.result);
        EXPECT_EQ(0u, verdict.description.find(said)) << EncodeUtf8(verdict.description);
        EXPECT_EQ(nullptr, JsonParse(text));
    }
}

// The validator module as a host loads it.
TEST(JsonLint, ContractOfTheModule)
{
    const JsonCppParseFn validate = LoadValidator();
    ASSERT_NE(nullptr, validate) << "found under the platform's name next to the test executable";
    EXPECT_EQ(1, validate(L"[]", nullptr, 1));
    EXPECT_EQ(0, validate(L"[", nullptr, 1));
    CString error;
    EXPECT_EQ(0, validate(nullptr, &error, 1));
    EXPECT_FALSE(error.IsEmpty());

    // Codes beyond Unicode exist only where wchar_t holds 32 bits.
    if constexpr (sizeof(wchar_t) == 4) {
        const auto beyond = static_cast<wchar_t>(0x7FFFFFFF);
        EXPECT_EQ(1, Validate({L'/', L'/', beyond, L'\n', L'[', L'"', beyond, L'"', L']'}).result);
        EXPECT_EQ(0u, Validate({L'[', L'1', L',', beyond, L']'})
                          .description.find(L"Line 1, Column 4: U+7FFFFFFF where a value or ']' should stand"));
    }
}

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
    for (const auto& [text, written] : cases)
        EXPECT_EQ(written, Write(Document(text)));
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
        SCOPED_TRACE(EncodeUtf8(escaped));
        Document set(JsonNewNode(JsonObject));
        JsonNode member = JsonNewNode(JsonString);
        AsHandle(member)->body->name = value; // may hold a NUL
        AsHandle(member)->body->value = value;
        AsHandle(member)->body->valueEscaped = false;
        JsonPushBack(set, member);
        const std::wstring written = Write(set);
        EXPECT_EQ(L"{\n\t\"" + escaped + L"\" : \"" + escaped + L"\"\n}", written);
        EXPECT_EQ(Render(set), Render(Document(written.c_str())));
    }
    // In an unread string raw control characters are escaped, its escapes kept.
    Document unread(L"[\"tab\there\\u0041\r\n\\n\\\"\"]");
    EXPECT_EQ(L"[\n\t\"tab\\there\\u0041\\r\\n\\n\\\"\"\n]", Write(unread));
}

// A comment line is written as a line comment (a block grows each save); one ending in CR as a block unless it has */.
TEST(JsonWriter, EachCommentLineIsWrittenSoThatItReadsBackUnchanged)
{
    const std::tuple<const wchar_t*, const wchar_t*, const wchar_t*> cases[] = {
        {L" a # b */ c", L"\t// a # b */ c\n", L" a # b */ c"},
        {L"\n\nx\n", L"\t//\n\t//\n\t//x\n\t//\n", L"\n\nx\n"},
        {L"p\r\nq\r", L"\t/*p\r*/\n\t/*q\r*/\n", L"p\r\nq\r"},
        {L"a\rb\nc", L"\t//a\rb\n\t//c\n", L"a\rb\nc"},
        {L"a\r*/b", L"\t//a\r*/b\n", L"a\r*/b"},
        {L"a*/b\r", L"\t//a*/b\n", L"a*/b"},
    };
    for (const auto& [comment, lines, readBack] : cases) {
        Document root(JsonNewNode(JsonObject));
        JsonNode member = JsonNewString(L"m", L"v");
        AsHandle(member)->body->comment = comment; // as the parser would have set it
        JsonPushBack(root, member);
        const std::wstring written = Write(root);
        EXPECT_EQ(std::wstring(L"{\n\t\n") + lines + L"\t\"m\" : \"v\"\n}", written) << EncodeUtf8(written);
        EXPECT_EQ(L"{/*" + std::wstring(readBack) + L"*/m:\"v\"}", Render(Document(written.c_str())));
    }
}

} // namespace

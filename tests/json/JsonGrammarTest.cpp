// The grammar, a row per text: validator and engine agree, and accepted text reads as the tree given.
#include "JsonTestUtil.h"

#include <zvenv/platform/Text.h>

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace jsontest;

std::string Shown(const std::wstring& text)
{
    return zv::text::EncodeUtf8(text);
}

// An accepted text and the tree it reads as (see Render).
struct Accepted {
    int line;
    const wchar_t* text;
    const wchar_t* tree;
};

// A rejected text and where the validator places the fault.
struct Rejected {
    int line;
    const wchar_t* text;
    const wchar_t* where;          // "Line l, Column c"
    const wchar_t* said = nullptr; // a part of the description
};

const Accepted kAccepted[] = {
    {__LINE__, L"{}", L"{}"},
    {__LINE__, L"[]", L"[]"},
    {__LINE__, L" \t\r\n[ \t\r\n] \r\n", L"[]"},
    {__LINE__, L"{\"a\" : 1 , \"b\" :[ true,false , null ] }", L"{a:1,b:[true,false,null]}"},
    {__LINE__, L"[0,-0,12,-3.25,1e5,1E+05,2.5e-3,0.0,-0.5E-0]", L"[0,-0,12,-3.25,1e5,1E+05,2.5e-3,0.0,-0.5E-0]"},
    {__LINE__, L"[\"\\\"\\\\\\/\\b\\f\\n\\r\\t\\u00e9\\u4E2D\"]", L"[\"\"\\/\b\f\n\r\t\u00e9\u4e2d\"]"},
    {__LINE__, L"[\"\\ud83d\\ude00\", \"\U0001F600\"]", L"[\"\U0001F600\",\"\U0001F600\"]"},
    {__LINE__, L"[\"a\\u0000b\"]", L"[\"a\\0b\"]"},
    // Escaped surrogates: pairs join (two units where wchar_t has 16 bits), a lone one stays.
    {__LINE__,
     L"[\"a\\uDBFF\\uDFFFb\", \"\\ud83d\\u0041\", \"\\ud83dA\", \"\\ud83d\\ud83d\\ude00\", \"\\ude00\\ud83d\"]",
     L"[\"a\U0010FFFFb\",\"\xD83D"
     L"A\",\"\xD83D"
     L"A\",\"\xD83D\U0001F600\",\"\xDE00\xD83D\"]"},
    // Control characters may stand raw in a string; the writer escapes them.
    {__LINE__, L"[\"tab\there\", \"line\r\nbreak\"]", L"[\"tab\there\",\"line\r\nbreak\"]"},
    {__LINE__, L"{\"a,b:c\":\"x,y:z]}\", \"\":\"\", \"{\":[\"]\"]}", L"{a,b:c:\"x,y:z]}\",:\"\",{:[\"]\"]}"},
    {__LINE__, L"{\"a\":1,\"a\":2}", L"{a:1,a:2}"},
    // A trailing comma is read and dropped.
    {__LINE__, L"{\"o\":{\"x\":[1,],},}", L"{o:{x:[1]}}"},
    // Comments wherever blanks may stand, each kept with a node.
    {__LINE__, L"// note\n{}", L"/* note*/{}"},
    {__LINE__, L"/* a *//* b */\n[]", L"/* a \n b */[]"},
    {__LINE__, L"// before\n[1] /* after */", L"/* before\n after */[1]"},
    {__LINE__, L"{\r\n\t// settings go here\r\n}", L"/* settings go here*/{}"},
    {__LINE__, L"[ /* nothing */ ]", L"/* nothing */[]"},
    {__LINE__, L"{/*c*/\"a\":1,\n // d\n // e\n \"b\":[ // f\n true]}", L"{/*c*/a:1,/* d\n e*/b:[/* f*/true]}"},
    {__LINE__, L"{\"a\" /*x*/ : /*y*/ 1 /*z*/, \"b\":2}", L"{/*x\ny\nz*/a:1,b:2}"},
    {__LINE__, L"[1 /*x*/, 2 // y\n]", L"[/*x*/1,/* y*/2]"},
    {__LINE__, L"[1, /* after the comma */]", L"/* after the comma */[1]"},
    {__LINE__, L"[/* ] , \" # { : */ 1, // x\"y]{,\n 2]", L"[/* ] , \" # { : */1,/* x\"y]{,*/2]"},
    {__LINE__, L"[/**/1]", L"[1]"},
    {__LINE__, L"/* a\r\n b */ // c\r\r\n[]", L"/* a\n b \n c*/[]"},
    {__LINE__, L"/* a\r*/[]", L"/* a\r*/[]"},
    {__LINE__, L"// end of text\r\n[] //", L"/* end of text\n*/[]"},
    // A run of more than 32 characters is copied whole.
    {__LINE__, L"[\"a run of text longer than thirty-two characters\"]",
     L"[\"a run of text longer than thirty-two characters\"]"},
    {__LINE__, L"[\"caf\u00e9\", \"\xD800x\xDFFF\"] // \u00fcber \U0001F600 \xD800",
     L"/* \u00fcber \U0001F600 \xD800*/[\"caf\u00e9\",\"\xD800x\xDFFF\"]"},
};

const Rejected kRejected[] = {
    {__LINE__, L"", L"Line 1, Column 1", L"the end of the text where the document should start"},
    {__LINE__, L"\n\n", L"Line 3, Column 1"},
    {__LINE__, L"// only a comment", L"Line 1, Column 18"},
    {__LINE__, L"/* open", L"Line 1, Column 1", L"no closing */"},
    {__LINE__, L"12", L"Line 1, Column 1", L"'1' where the document should start"},
    {__LINE__, L"\ufeff{}", L"Line 1, Column 1"},
    {__LINE__, L"{} x", L"Line 1, Column 4"},
    {__LINE__, L"[1]]", L"Line 1, Column 4"},
    {__LINE__, L"[", L"Line 1, Column 2"},
    {__LINE__, L"{]", L"Line 1, Column 2"},
    {__LINE__, L"[}", L"Line 1, Column 2"},
    {__LINE__, L"[1}", L"Line 1, Column 3"},
    {__LINE__, L"{\"a\":1", L"Line 1, Column 7"},
    {__LINE__, L"{\"a\":1]", L"Line 1, Column 7"},
    {__LINE__, L"{\"a\"}", L"Line 1, Column 5", L"'}' where ':' should follow the member name"},
    {__LINE__, L"{\"a\":}", L"Line 1, Column 6"},
    {__LINE__, L"{a:1}", L"Line 1, Column 2"},
    {__LINE__, L"[\"a\":1]", L"Line 1, Column 5"},
    {__LINE__, L"[1 2]", L"Line 1, Column 4"},
    {__LINE__, L"{\"a\":1 \"b\":2}", L"Line 1, Column 8", L"'\"' where ',' or '}' should follow the member"},
    // Commas: one trailing comma is dropped, nothing else is.
    {__LINE__, L"[,]", L"Line 1, Column 2"},
    {__LINE__, L"{,}", L"Line 1, Column 2"},
    {__LINE__, L"[1,,2]", L"Line 1, Column 4", L"',' where a value or ']' should stand"},
    {__LINE__, L"{\"a\":1,,}", L"Line 1, Column 8"},
    // Numbers: JSON's, and no other spelling.
    {__LINE__, L"[08]", L"Line 1, Column 2", L"may not start with 0"},
    {__LINE__, L"[-01]", L"Line 1, Column 2"},
    {__LINE__, L"[-]", L"Line 1, Column 2", L"'-' must be followed by the digits"},
    {__LINE__, L"[1.]", L"Line 1, Column 4"},
    {__LINE__, L"[.5]", L"Line 1, Column 2"},
    {__LINE__, L"[1e]", L"Line 1, Column 4"},
    {__LINE__, L"[1e+]", L"Line 1, Column 5"},
    {__LINE__, L"[0x1F]", L"Line 1, Column 3"},
    {__LINE__, L"[1a]", L"Line 1, Column 3"},
    {__LINE__, L"[True]", L"Line 1, Column 2"},
    {__LINE__, L"[nul]", L"Line 1, Column 2", L"'n' where a value should stand"},
    {__LINE__, L"[truex]", L"Line 1, Column 6"},
    // Strings and escapes.
    {__LINE__, L"[\"abc", L"Line 1, Column 2", L"no closing double quote"},
    {__LINE__, L"[\"abc\\", L"Line 1, Column 2", L"no closing double quote"},
    {__LINE__, L"[\"abc\\\"]", L"Line 1, Column 2"},
    {__LINE__, L"[\"a\\v\"]", L"Line 1, Column 4", L"unknown escape \\v"},
    {__LINE__, L"[\"\\u12\"]", L"Line 1, Column 3"},
    // Comments: only // and /* */, only where blanks may stand.
    {__LINE__, L"# c\n{}", L"Line 1, Column 1"},
    {__LINE__, L"[1 / 2]", L"Line 1, Column 4"},
    {__LINE__, L"{\"a\":1} /* open", L"Line 1, Column 9", L"no closing */"},
    {__LINE__, L"[/*/]", L"Line 1, Column 2"},
    {__LINE__, L"[1/**/2]", L"Line 1, Column 7"},
    // Characters outside strings and comments.
    {__LINE__, L"{\"a\":1}\u00e9", L"Line 1, Column 8", L"U+00E9 after the end of the document"},
    {__LINE__, L"[\x01]", L"Line 1, Column 2"},
    {__LINE__, L"[\"\U0001F600\",\n\n   x]", L"Line 3, Column 4"},
    {__LINE__, L"[\r\r\n\rx]", L"Line 4, Column 1"},
};

class JsonGrammar : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(nullptr, LoadValidator()) << "libJSONLint.so next to the test executable"; }
};

TEST_F(JsonGrammar, AcceptedTextsReadAsWritten)
{
    for (const Accepted& row : kAccepted) {
        SCOPED_TRACE("grammar row at line " + std::to_string(row.line) + ": " + Shown(row.text));
        const Verdict verdict = Validate(row.text);
        EXPECT_EQ(1, verdict.result) << Shown(verdict.description);
        EXPECT_EQ(L"", verdict.description);
        // Written unread (strings as they stood) and once read, it reads back the same.
        Document root(row.text);
        ASSERT_NE(nullptr, root.get());
        const std::wstring unread = Write(root);
        EXPECT_EQ(row.tree, Render(root)) << Shown(Render(root));
        for (const std::wstring& written : {unread, Write(root)}) {
            EXPECT_EQ(1, Validate(written).result) << Shown(written);
            Document again(written.c_str());
            ASSERT_NE(nullptr, again.get()) << Shown(written);
            EXPECT_EQ(Render(root), Render(again)) << Shown(written);
            EXPECT_EQ(Write(root), Write(again));
        }
    }
}

TEST_F(JsonGrammar, RejectedTextsAreRejectedByBothWithTheirPlace)
{
    for (const Rejected& row : kRejected) {
        SCOPED_TRACE("grammar row at line " + std::to_string(row.line) + ": " + Shown(row.text));
        const Verdict verdict = Validate(row.text);
        EXPECT_EQ(0, verdict.result);
        EXPECT_EQ(0u, verdict.description.find(std::wstring(row.where) + L": ")) << Shown(verdict.description);
        EXPECT_NE(std::wstring::npos, verdict.description.find(row.said ? row.said : L""))
            << Shown(verdict.description);
        EXPECT_EQ(nullptr, JsonParse(row.text));
    }
}

} // namespace

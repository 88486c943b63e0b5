// The engine: the grammar row by row (validator and engine agree, accepted text reads as given), the validator
// module, the writer, nodes, views, kept copies, value comparison, merges and the depth limit.
#include "JsonTree.h"
#include "ZvTest.h"
#include "json/JsonBody.h"
#include "json/JsonGrammar.h"
#include "json/JsonMerge.h"

#include <zvenv/CTqEnvJson.h>
#include <zvenv/platform/Os.h>
#include <zvenv/platform/Text.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <pthread.h>
#include <tuple>

namespace {

using namespace jsontest;
using zv::json::AsHandle;
using zv::json::kMaxDepth;
using zv::text::EncodeUtf8;

JsonNode Member(JsonNode parent, const wchar_t* name)
{
    JsonIterator it = JsonFindChild(parent, name);
    return it && it != JsonEnd(parent) ? *it : nullptr;
}

// A parsed document released at the end of the scope.
struct Document {
    explicit Document(const wchar_t* text) : root(JsonParse(text)) {}
    explicit Document(JsonNode node) : root(node) {}
    ~Document() { JsonDeleteNode(root); }
    operator JsonNode() const { return root; }
    JsonNode root;
};

// The validator module of the bin folder, loaded once as a host beside it would.
const JsonCppParseFn kValidator = [] {
    const CString path =
        CString(zvtest::ExecutableFolder().c_str()) + zv::os::kSeparator + zv::os::ModuleFileName(L"JSONLint");
    zv::os::ModuleHandle module = zv::os::LoadModule(path);
    return module ? reinterpret_cast<JsonCppParseFn>(zv::os::FindEntryPoint(module, "JSONCPP_Parse")) : nullptr;
}();

// What the validator answers, then its description: "1 " for accepted text.
std::wstring Validate(const std::wstring& text)
{
    CString error;
    const int result = kValidator(text.c_str(), &error, 1);
    return std::to_wstring(result) + L" " + error.str();
}

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

TEST(JsonGrammar, AcceptedTextsReadAsWrittenRejectedOnesFailInBothWithTheirPlace)
{
    for (const auto& [text, tree] : kAccepted) {
        SCOPED_TRACE(EncodeUtf8(text));
        EXPECT_EQ(L"1 ", Validate(text));
        Document root(text);
        ASSERT_NE(nullptr, static_cast<JsonNode>(root));
        EXPECT_EQ(tree, Render(root)) << EncodeUtf8(Render(root));
    }
    for (const auto& [text, said] : kRejected) {
        EXPECT_EQ(0u, Validate(text).find(L"0 " + std::wstring(said))) << EncodeUtf8(Validate(text));
        EXPECT_EQ(nullptr, JsonParse(text)) << EncodeUtf8(text);
    }
}

// The validator module as a host loads it.
TEST(JsonLint, ContractOfTheModule)
{
    const JsonCppParseFn validate = kValidator;
    ASSERT_NE(nullptr, validate) << "found under the platform's name next to the test executable";
    EXPECT_EQ(1, validate(L"[]", nullptr, 1));
    EXPECT_EQ(0, validate(L"[", nullptr, 1));
    CString error;
    EXPECT_EQ(0, validate(nullptr, &error, 1));
    EXPECT_FALSE(error.IsEmpty());

    if constexpr (sizeof(wchar_t) == 4) {
        const auto beyond = static_cast<wchar_t>(0x7FFFFFFF);
        EXPECT_EQ(L"1 ", Validate({L'/', L'/', beyond, L'\n', L'[', L'"', beyond, L'"', L']'}));
        EXPECT_EQ(0u, Validate({L'[', L'1', L',', beyond, L']'})
                          .find(L"0 Line 1, Column 4: U+7FFFFFFF where a value or ']' should stand"));
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
}

// What a string cannot hold raw is escaped, set, read or unread: no control character reaches a file.
TEST(JsonWriter, NamesAndStringsEscapeQuotesBackslashesAndControlCharacters)
{
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"say \"hi\" \\ now", L"say \\\"hi\\\" \\\\ now"},
        {L"line\nnext\r\nlast", L"line\\nnext\\r\\nlast"},
        {L"\t\b\f\x01\x1f", L"\\t\\u0008\\u000c\\u0001\\u001f"},
        {std::wstring(L"a\0b", 3), L"a\\u0000b"},
        {L"\x7f\u00e9\U0001F600/\xD800", L"\x7f\u00e9\U0001F600/\xD800"},
    };
    for (const auto& [value, escaped] : cases) {
        Document set(JsonNewNode(JsonObject));
        JsonNode member = JsonNewNode(JsonString);
        AsHandle(member)->body->name = value; // may hold a NUL
        AsHandle(member)->body->value = value;
        JsonPushBack(set, member);
        EXPECT_EQ(L"{\n\t\"" + escaped + L"\" : \"" + escaped + L"\"\n}", Write(set));
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

TEST(JsonMerge, TheirChangesJoinOurs)
{
    const auto setA = [](JsonNode root) { JsonSetInt(Member(root, L"a"), 2); };
    const std::tuple<const char*, const wchar_t*, void (*)(JsonNode), const wchar_t*, const wchar_t*> cases[] = {
        {"each side changed another member", L"{\"a\":1,\"b\":1}", setA, L"{\"a\":1,\"b\":3}", L"{\"a\":2,\"b\":3}"},
        {"a member changed on both sides keeps ours", L"{\"a\":1}", setA, L"{\"a\":3}", L"{\"a\":2}"},
        {"members added on both sides, theirs in their place", L"{\"a\":1,\"b\":1}",
         [](JsonNode r) { JsonPushBack(r, JsonNewString(L"d", L"4")); }, L"{\"c\":0,\"a\":1,\"e\":5,\"b\":1}",
         L"{\"c\":0,\"a\":1,\"e\":5,\"b\":1,\"d\":\"4\"}"},
        {"the same member added on both sides keeps ours", L"{}",
         [](JsonNode r) { JsonPushBack(r, JsonNewString(L"n", L"1")); }, L"{\"n\":2}", L"{\"n\":\"1\"}"},
        {"a member they dropped goes where ours kept it", L"{\"a\":1,\"b\":1}", setA, L"{\"a\":1}", L"{\"a\":2}"},
        {"what ours changed and they dropped stays", L"{\"a\":1,\"b\":1}", setA, L"{\"b\":1}", L"{\"a\":2,\"b\":1}"},
        {"a member ours dropped stays dropped though they changed it", L"{\"a\":1,\"b\":1}",
         [](JsonNode r) { JsonErase(r, JsonFindChild(r, L"b")); }, L"{\"a\":3,\"b\":3}", L"{\"a\":3}"},
        {"nested objects merge member by member", L"{\"o\":{\"x\":1,\"y\":1,\"z\":1}}",
         [](JsonNode r) { JsonSetInt(Member(Member(r, L"o"), L"x"), 2); }, L"{\"o\":{\"x\":1,\"y\":3}}",
         L"{\"o\":{\"x\":2,\"y\":3}}"},
        {"an array ours changed is ours whole", L"{\"l\":[1,2],\"a\":0}",
         [](JsonNode r) { JsonPushBack(Member(r, L"l"), JsonNewString(L"", L"3")); }, L"{\"l\":[0,1,2],\"a\":1}",
         L"{\"l\":[1,2,\"3\"],\"a\":1}"},
        {"an array only they changed is theirs", L"{\"l\":[1,2],\"a\":0}", setA, L"{\"l\":[\"x\"],\"a\":0}",
         L"{\"l\":[\"x\"],\"a\":2}"},
        {"a member ours renamed takes their new value", L"{\"a\":{\"x\":1},\"c\":1}",
         [](JsonNode r) { JsonSetName(Member(r, L"a"), L"b"); }, L"{\"a\":{\"x\":2},\"c\":1}",
         L"{\"b\":{\"x\":2},\"c\":1}"},
        {"a renamed scalar is not added back under its old name", L"{\"a\":1,\"c\":1}",
         [](JsonNode r) { JsonSetName(Member(r, L"a"), L"b"); }, L"{\"a\":1,\"c\":2}", L"{\"b\":1,\"c\":2}"},
        {"an object ours made a string stays a string", L"{\"o\":{\"x\":1}}",
         [](JsonNode r) { JsonSetString(Member(r, L"o"), L"s"); }, L"{\"o\":{\"x\":2}}", L"{\"o\":\"s\"}"},
        {"a root of another kind is theirs when ours is unchanged", L"{\"a\":1}", [](JsonNode) {}, L"[1,2]", L"[1,2]"},
        {"a root of another kind keeps ours when ours changed", L"{\"a\":1}", setA, L"[1]", L"{\"a\":2}"},
        {"members of one name match in order", L"{\"d\":1,\"d\":2,\"a\":0}", setA, L"{\"d\":1,\"d\":5,\"a\":0}",
         L"{\"d\":1,\"d\":5,\"a\":2}"},
    };
    for (const auto& [what, baseText, ours, theirsText, expected] : cases) {
        Document mine(baseText);
        Document base(JsonKeepCopy(mine));
        ours(mine);
        Document theirs(theirsText), detached(JsonNewNode(JsonArray));
        JsonMergeTheirs(mine, base, theirs, detached);
        EXPECT_EQ(Write(mine), Write(Document(expected))) << what;
    }
}

// What a merge takes from theirs holds its own values, not their whole text.
TEST(JsonMerge, TheMergedTreeKeepsNoneOfTheirText)
{
    Document mine(L"{\"a\": \"x\", \"o\": {\"k\": [1]}, \"n\": 1}");
    Document base(JsonKeepCopy(mine));
    JsonNode theirs = JsonParse(L"{\"a\": \"y\", \"o\": {\"k\": [2], \"new\": {\"z\": \"w\"}}, \"n\": 1, \"m\": [3]}");
    zv::json::StrippedText* text = AsHandle(theirs)->body->source;
    ASSERT_NE(text, nullptr);
    ++text->refs;
    {
        Document detached(JsonNewNode(JsonArray));
        JsonMergeTheirs(mine, base, theirs, detached);
        JsonDeleteNode(theirs);
        EXPECT_EQ(L"{a:\"y\",o:{k:[2],new:{z:\"w\"}},n:1,m:[3]}", Render(mine));
    }
    EXPECT_EQ(text->refs, 1u) << "the merged tree still holds their text";
    zv::json::ReleaseSource(text);
}

// Copy and original change apart, however deep, read before the copy or not.
TEST(JsonMerge, AKeptCopyAndItsOriginalChangeApart)
{
    const wchar_t* text = L"{\"a\": {\"b\": {\"c\": [1, {\"d\": \"x\"}]}}, \"e\": \"s\", \"f\": [[1], [2]]}";
    Document original(text);
    JsonNode c = Member(Member(Member(original, L"a"), L"b"), L"c"); // read down to c before the copy
    Document kept(JsonKeepCopy(original));
    const std::wstring before = Write(Document(text));
    JsonSetString(Member(JsonBegin(c)[1], L"d"), L"changed");
    JsonPushBack(c, JsonNewString(L"", L"7"));
    JsonSetName(Member(original, L"a"), L"renamed");
    JsonClearChildren(JsonBegin(Member(original, L"f"))[0]);
    EXPECT_EQ(Write(kept), before);
    const std::wstring changed = Write(original);
    JsonSetInt(Member(kept, L"e"), 1);
    EXPECT_EQ(Write(original), changed);
}

TEST(JsonMerge, SameValueComparesValuesNotText)
{
    const std::tuple<const wchar_t*, const wchar_t*, bool> cases[] = {
        {L"{/* note */ \"a\": [1, \"x\", true, null, {}]}", L"{ \"a\" : [ 1 , \"x\" , true , null , { } ] } ", true},
        {L"{\"s\": \"\\u00e9\\n\"}", L"{\"s\": \"\u00e9\\u000a\"}", true},
        {L"{\"n\": 1}", L"{\"n\": 1.0}", false},
        {L"{\"a\": 1, \"b\": 2}", L"{\"b\": 2, \"a\": 1}", false},
        {L"{\"a\": {\"b\": [1, [2]]}}", L"{\"a\": {\"b\": [1, [3]]}}", false},
    };
    for (const auto& [aText, bText, same] : cases) {
        Document a(aText), b(bText);
        EXPECT_EQ(JsonSameValue(a, b), same) << Write(a) << " and " << Write(b);
        // Read on one side only, the answer is the same.
        for (int i = 0; i < JsonGetSize(a); ++i)
            Value(JsonBegin(a)[i]);
        EXPECT_EQ(JsonSameValue(b, a), same);
    }
}

TEST(JsonNullHandle, EveryFunctionAcceptsIt)
{
    EXPECT_EQ(JsonNull, JsonGetType(nullptr));
    EXPECT_EQ(0, JsonGetSize(nullptr));
    EXPECT_EQ(L"", Name(nullptr) + Value(nullptr) + Write(nullptr));
    const void* const answers[] = {JsonParse(nullptr),           JsonBegin(nullptr),          JsonEnd(nullptr),
                                   JsonFindChild(nullptr, L"a"), JsonErase(nullptr, nullptr), JsonAsArray(nullptr)};
    for (const void* const& answer : answers)
        EXPECT_EQ(nullptr, answer) << &answer - answers;
    JsonPushBack(nullptr, nullptr);
    JsonSetName(nullptr, L"a");
    JsonSetString(nullptr, L"a");
    JsonSetInt(nullptr, 1);
    JsonSetBool(nullptr, 1);
    JsonClearChildren(nullptr);
    JsonDeleteNode(nullptr);
    JsonFreeString(nullptr);
    Document unnamed(JsonNewString(nullptr, nullptr));
    EXPECT_EQ(L"", Name(unnamed) + Value(unnamed));
}

// Each setter in turn on one node: the type it leaves and the value's text.
TEST(JsonValues, SettersGiveTheirTypesAndTextForms)
{
    const std::tuple<void (*)(JsonNode), JsonNodeType, const wchar_t*> steps[] = {
        {[](JsonNode n) { JsonSetInt(n, -2147483647 - 1); }, JsonNumber, L"-2147483648"},
        {[](JsonNode n) { JsonSetInt(n, 2147483647); }, JsonNumber, L"2147483647"},
        {[](JsonNode n) { JsonSetBool(n, 5); }, JsonBoolean, L"true"},
        {[](JsonNode n) { JsonSetBool(n, 0); }, JsonBoolean, L"false"},
        {[](JsonNode n) { JsonSetString(n, nullptr); }, JsonString, L""},
    };
    Document node(JsonNewNode(JsonNumber));
    EXPECT_EQ(L"", Value(node));
    for (const auto& [set, type, text] : steps) {
        set(node);
        EXPECT_EQ(type, JsonGetType(node)) << text;
        EXPECT_EQ(text, Value(node));
    }
    // A scalar setter on a container drops its children.
    Document object(JsonParse(L"{\"a\":[1,2],\"b\":{}}"));
    JsonSetString(Member(object, L"a"), L"now text");
    EXPECT_EQ(L"{a:\"now text\",b:{}}", Render(object));
}

TEST(JsonChildList, GrowsErasesAndClears)
{
    Document list(JsonNewNode(JsonObject)); // unnamed members, past the first allocation and indexed
    for (wchar_t c = L'a'; c < L'q'; ++c)
        JsonPushBack(list, JsonNewString(L"", std::wstring(1, c).c_str()));
    EXPECT_EQ(JsonBegin(list), JsonFindChild(list, L""));
    EXPECT_EQ(L"c", Value(*JsonErase(list, JsonBegin(list) + 1))); // later children move down
    EXPECT_EQ(JsonBegin(list), JsonFindChild(list, L"")) << "the first of the name stays found";
    JsonIterator last = JsonEnd(list) - 1;
    EXPECT_EQ(last, JsonErase(list, last));
    // Out of range: before the start gives the beginning, past the end the end.
    EXPECT_EQ(JsonBegin(list), JsonErase(list, JsonBegin(list) - 1));
    EXPECT_EQ(JsonEnd(list), JsonErase(list, JsonEnd(list)));
    EXPECT_EQ(L"{:\"a\",:\"c\",:\"d\",:\"e\",:\"f\",:\"g\",:\"h\",:\"i\",:\"j\",:\"k\",:\"l\",:\"m\",:\"n\",:\"o\"}",
              Render(list));
    JsonClearChildren(list);
    JsonPushBack(list, JsonNewString(L"", L"7"));
    // Erasing the only child frees the list; the node stays a container.
    EXPECT_EQ(JsonEnd(list), JsonErase(list, JsonBegin(list)));
    EXPECT_NE(nullptr, JsonBegin(list));
    JsonPushBack(list, JsonNewString(L"", L"2"));
    EXPECT_EQ(L"{:\"2\"}", Render(list));

    // Onto a scalar or into itself nothing is added; the child stays the caller's.
    Document text(JsonNewString(L"a", L"b"));
    Document child(JsonNewString(L"", L"1"));
    JsonPushBack(text, child);
    EXPECT_EQ(0, JsonGetSize(text));
    JsonPushBack(list, list);
    JsonPushBack(list, nullptr);
    JsonPushBack(nullptr, list);
    EXPECT_EQ(1, JsonGetSize(list));
    EXPECT_EQ(nullptr, JsonFindChild(text, L"a"));
}

// A view shares the body until either handle changes it, and outlives its source.
TEST(JsonArrayView, SharesTheBodyUntilAChange)
{
    Document list(JsonParse(L"[\"x\",[\"y\"]]"));
    JsonClearChildren(Document(JsonAsArray(list)));
    EXPECT_EQ(L"[\"x\",[\"y\"]]", Render(list));
    // An object's view holds its values without names.
    Document object(JsonParse(L"{\"a\":1,\"b\":\"two\"}"));
    EXPECT_EQ(JsonEnd(object), JsonFindChild(object, nullptr)) << "a null name is no member's";
    JsonNode view = JsonAsArray(object);
    EXPECT_EQ(L"[1,\"two\"]", Render(view));
    JsonSetInt(JsonBegin(view)[0], 9);
    EXPECT_EQ(L"{a:1,b:\"two\"}", Render(object));
    EXPECT_EQ(L"[]", Render(Document(JsonAsArray(JsonBegin(object)[0]))));

    JsonNode original = JsonParse(L"[1,[2,3]]");
    JsonDeleteNode(view);
    view = JsonAsArray(original);
    JsonDeleteNode(original);
    Document inner(JsonAsArray(JsonBegin(view)[1]));
    JsonDeleteNode(view);
    EXPECT_EQ(L"[2,3]", Render(inner));
}

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
        ASSERT_EQ(L"1 ", Validate(text));
        const std::wstring changed = objects ? text : L"[1" + text.substr(2); // the arrays' root changes
        bool done = false;
        OnSmallStack([&] {
            Document root(text.c_str());
            Document copy(JsonAsArray(root));
            JsonSetInt(JsonBegin(objects ? copy : root)[0], 1);
            const std::wstring written = Write(root);
            std::size_t longestRun = 0, run = 0;
            for (wchar_t c : written)
                longestRun = std::max(longestRun, run = c == L'\t' ? run + 1 : 0);
            done = written == Write(Document(changed.c_str())) && Write(Document(written.c_str())) == written &&
                   Write(objects ? root : copy) == Write(Document(text.c_str())) && longestRun == 64;
        });
        EXPECT_TRUE(done) << (objects ? "objects" : "arrays");
    }
    for (std::uint32_t depth : {kMaxDepth + 1, 100000u}) {
        const std::wstring text = std::wstring(depth, L'[') + std::wstring(depth, L']');
        std::wstring verdict;
        JsonNode root = nullptr;
        OnSmallStack([&] {
            verdict = Validate(text);
            root = JsonParse(text.c_str());
        });
        EXPECT_EQ(nullptr, root) << depth;
        EXPECT_EQ(L"0 Line 1, Column 1001: arrays and objects are nested deeper than 1000 levels", verdict);
    }
}

TEST(JsonDepth, NoContainerIsAddedBeyondTheLimit)
{
    Document root(JsonNewNode(JsonObject));
    EXPECT_EQ(1, JsonPushBack(Chain(root, kMaxDepth), JsonNewString(L"", L"a value is no level")));

    // A subtree counts with its own height, read or unread.
    JsonNode level999 = Chain(JsonEnd(JsonEnd(root)[-1])[-1], kMaxDepth - 3);
    Document pair(JsonParse(L"[[1]]"));
    EXPECT_EQ(0, JsonPushBack(level999, pair));
    JsonNode one = JsonNewNode(JsonArray);
    EXPECT_EQ(1, JsonPushBack(level999, one));
    Document leaf(JsonNewNode(JsonObject)); // still the caller's
    EXPECT_EQ(0, JsonPushBack(one, leaf));
    const std::wstring written = Write(root);
    EXPECT_EQ(L"1 ", Validate(written));
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

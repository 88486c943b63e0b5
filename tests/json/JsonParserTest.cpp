#include "JsonTestUtil.h"
#include "json/JsonBody.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

using namespace jsontest;
using zv::json::AsHandle;

bool Fetched(JsonNode node)
{
    return AsHandle(node)->body->fetched;
}
std::wstring Comment(JsonNode node)
{
    return AsHandle(node)->body->comment;
}

TEST(JsonRoot, EmptyContainersAndWhiteSpace)
{
    Document object(L"{}");
    EXPECT_EQ(JsonObject, JsonGetType(object));
    EXPECT_EQ(0, JsonGetSize(object));
    Document array(L" \t\r\n[ \t\r\n] \r\n");
    EXPECT_EQ(JsonArray, JsonGetType(array));
    EXPECT_EQ(0, JsonGetSize(array));

    Document spaced(L" {\n\t\"a\" \t:\r\n 1 ,\n \"b\" : [ true , null ] \n} ");
    ASSERT_EQ(2, JsonGetSize(spaced));
    EXPECT_EQ(L"1", Value(Member(spaced, L"a")));
    EXPECT_EQ(2, JsonGetSize(Member(spaced, L"b")));
}

TEST(JsonRoot, RejectedTexts)
{
    const wchar_t* rejected[] = {
        L"",        L"   ",      L"12",        L"\"text\"", L"{}x",        L"[1]]x", L"[",
        L"{]",      L"[}",       L"true",      L"// c",     L"[1]// c",    L"[1]#c", L"\ufeff{}",
        L"[1 / 2]", L"{\"a\":1", L"[\"open]x", L"/* [] ",   L"[1,\u00e9]",
    };
    for (const wchar_t* text : rejected)
        EXPECT_EQ(nullptr, JsonParse(text)) << "accepted: " << std::string(text, text + wcslen(text)).c_str();
}

TEST(JsonRoot, PassEndsAtACharacterThatCannotStandOutsideAString)
{
    // The text before the character ends with the bracket, so it stands.
    Document cut(L"[1]\u00e9 anything");
    ASSERT_NE(nullptr, cut.get());
    EXPECT_EQ(1, JsonGetSize(cut));
    Document control(L"{\"a\":2}\x01garbage");
    EXPECT_EQ(L"2", Value(Member(control, L"a")));
    // Non-ASCII text inside strings and comments is fine.
    Document inside(L"//\u00fcber \u4e2d\n[\"\u00e9\U0001F600\"]");
    EXPECT_EQ(L"\u00fcber \u4e2d", Comment(inside));
    EXPECT_EQ(L"\u00e9\U0001F600", Value(Child(inside, 0)));
}

TEST(JsonComments, BeforeTheRoot)
{
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"// note\n{}", L" note"},
        {L"/* a *//* b */\n[]", L" a \n b "},
        {L"# first\r\n#second\n[]", L" first\r\nsecond"},
        {L"/*p\nq*/[]", L"p\nq"},
    };
    for (const auto& [text, comment] : cases)
        EXPECT_EQ(comment, Comment(Document(text)));
}

TEST(JsonComments, MayHoldHashesBracketsQuotesAndSeparators)
{
    Document root(L"/* a#b */ // c # d\n{}");
    EXPECT_EQ(L" a#b \n c # d", Comment(root));
    Document array(L"[/* ] , \" { : */ 1, # x\"y]{,\n 2]");
    ASSERT_EQ(2, JsonGetSize(array));
    EXPECT_EQ(L" ] , \" { : ", Comment(Child(array, 0)));
    EXPECT_EQ(L"1", Value(Child(array, 0)));
    EXPECT_EQ(L" x\"y]{,", Comment(Child(array, 1)));
    EXPECT_EQ(L"2", Value(Child(array, 1)));
}

TEST(JsonComments, BeforeMembersAndElements)
{
    Document object(L"{/*c*/\"a\":1,\n // d\n // e\n \"b\":[ # f\n true]}");
    ASSERT_EQ(2, JsonGetSize(object));
    JsonNode a = Member(object, L"a");
    JsonNode b = Member(object, L"b");
    EXPECT_EQ(L"c", Comment(a));
    EXPECT_EQ(L" d\n e", Comment(b));
    EXPECT_EQ(L" f", Comment(Child(b, 0)));
    EXPECT_EQ(L"true", Value(Child(b, 0)));
}

TEST(JsonComments, AfterAValueOrAfterTheColonTheValueIsNull)
{
    Document array(L"[1 /* late */, 2]");
    EXPECT_EQ(JsonNull, JsonGetType(Child(array, 0)));
    EXPECT_EQ(L"null", Value(Child(array, 0)));
    EXPECT_EQ(L"2", Value(Child(array, 1)));
    Document object(L"{\"a\": /* c */ 1, \"b\":2 // late\n}");
    EXPECT_EQ(JsonNull, JsonGetType(Member(object, L"a")));
    EXPECT_EQ(JsonNull, JsonGetType(Member(object, L"b")));
}

TEST(JsonLazyReading, ValuesStayUnreadUntilAskedFor)
{
    Document root(L"{\"good\":1,\"bad\":{\"x\"},\"s\":\"a\\\"b\",\"later\":[1,2:3]}");
    ASSERT_NE(nullptr, root.get());
    EXPECT_FALSE(Fetched(root));
    ASSERT_EQ(4, JsonGetSize(root));
    EXPECT_TRUE(Fetched(root));

    JsonNode bad = Member(root, L"bad");
    EXPECT_EQ(JsonObject, JsonGetType(bad)); // looks fine until read
    EXPECT_FALSE(Fetched(bad));
    EXPECT_EQ(0, JsonGetSize(bad));
    EXPECT_EQ(JsonNull, JsonGetType(bad));
    EXPECT_EQ(L"null", Value(bad));

    JsonNode s = Member(root, L"s");
    EXPECT_FALSE(Fetched(s));
    EXPECT_EQ(L"a\"b", Value(s));
    EXPECT_TRUE(AsHandle(s)->body->valueEscaped);

    JsonNode later = Member(root, L"later");
    EXPECT_EQ(JsonArray, JsonGetType(later));
    EXPECT_EQ(0, JsonGetSize(later));
    EXPECT_EQ(JsonNull, JsonGetType(later));
    EXPECT_EQ(L"1", Value(Member(root, L"good")));
}

TEST(JsonSplitting, NestedBracketsAndStringsHoldingSeparators)
{
    Document root(L"{\"a,b:c\":\"x,y:z]}\",\"n\":[1,[2,[3,\"]\"]],{\"k\":[4,{}]}],\"e\":\"\"}");
    ASSERT_EQ(3, JsonGetSize(root));
    EXPECT_EQ(L"a,b:c", Name(Child(root, 0)));
    EXPECT_EQ(L"x,y:z]}", Value(Child(root, 0)));
    JsonNode n = Member(root, L"n");
    ASSERT_EQ(3, JsonGetSize(n));
    EXPECT_EQ(L"1", Value(Child(n, 0)));
    JsonNode inner = Child(n, 1);
    ASSERT_EQ(2, JsonGetSize(inner));
    EXPECT_EQ(L"]", Value(Child(Child(inner, 1), 1)));
    JsonNode k = Member(Child(n, 2), L"k");
    ASSERT_EQ(2, JsonGetSize(k));
    EXPECT_EQ(JsonObject, JsonGetType(Child(k, 1)));
    EXPECT_EQ(L"", Value(Member(root, L"e")));
    EXPECT_EQ(JsonString, JsonGetType(Member(root, L"e")));
}

TEST(JsonSplitting, MalformedElementsAndMembers)
{
    // A colon in an array, a trailing comma (no colon after it), a member
    // without a colon: the container is found malformed and turns null.
    for (const wchar_t* text : {L"[1,2:3]", L"{\"a\":1,}", L"{\"a\"}"}) {
        Document malformed(text);
        EXPECT_EQ(0, JsonGetSize(malformed));
        EXPECT_EQ(JsonNull, JsonGetType(malformed));
    }

    Document empty(L"[1,,2]");
    ASSERT_EQ(3, JsonGetSize(empty));
    EXPECT_EQ(JsonNull, JsonGetType(Child(empty, 1)));
    EXPECT_EQ(L"", Value(Child(empty, 1)));

    // Brackets of the other kind do not count when a value is skipped.
    Document mixed(L"[[{],1]");
    ASSERT_EQ(2, JsonGetSize(mixed));
    EXPECT_EQ(L"1", Value(Child(mixed, 1)));
    JsonNode first = Child(mixed, 0);
    ASSERT_EQ(1, JsonGetSize(first)); // its one element "{" is no value
    EXPECT_EQ(JsonNull, JsonGetType(Child(first, 0)));

    // Names are taken between the separators, without looking at their quotes.
    Document bare(L"{ab:1}");
    EXPECT_EQ(L"", Name(Child(bare, 0)));
    Document unquoted(L"{abc:1,xyz :2}");
    EXPECT_EQ(L"b", Name(Child(unquoted, 0)));
    EXPECT_EQ(L"y", Name(Child(unquoted, 1)));
}

TEST(JsonSplitting, LiteralsAreExactAndCaseSensitive)
{
    Document root(L"[true,false,null,True,NULL,fals,\"x\"y\"]");
    ASSERT_EQ(7, JsonGetSize(root));
    EXPECT_EQ(JsonBoolean, JsonGetType(Child(root, 0)));
    EXPECT_EQ(L"true", Value(Child(root, 0)));
    EXPECT_EQ(JsonBoolean, JsonGetType(Child(root, 1)));
    EXPECT_EQ(L"false", Value(Child(root, 1)));
    for (int i = 2; i < 6; ++i) {
        EXPECT_EQ(JsonNull, JsonGetType(Child(root, i))) << i;
        EXPECT_EQ(L"null", Value(Child(root, i))) << i;
    }
    EXPECT_EQ(JsonString, JsonGetType(Child(root, 6)));
}

struct NumberCase {
    const wchar_t* text;
    bool accepted;
};

TEST(JsonNumberRule, AcceptedAndRejectedSpellings)
{
    const NumberCase cases[] = {
        {L"0", true},       {L"12", true},     {L"-0", true},     {L"-05", true},   {L"1.", true},
        {L".5", true},      {L".", true},      {L"0.5", true},    {L"1e5", true},   {L"1E+05", true},
        {L"0x1F", true},    {L"0x", true},     {L"017", true},    {L"0e+", true},   {L"+7", true},
        {L"-1.5e-3", true}, {L"0xfF09", true}, {L"07", true},     {L"0E5", true},   {L"1e-0", true},
        {L"00", false},     {L"08", false},    {L"018", false},   {L"0X1F", false}, {L"1e", false},
        {L"1e+", false},    {L"+", false},     {L"-", false},     {L"-.5", false},  {L"..", false},
        {L"1.5.5", false},  {L"1e5e5", false}, {L"1e5.5", false}, {L"1a", false},   {L"-e5", false},
        {L"0xg", false},    {L"0e", false},    {L"0ex", false},   {L"1_2", false},  {L"+0x1", false},
    };
    for (const NumberCase& c : cases) {
        const std::wstring text = c.text;
        const std::string shown(text.begin(), text.end());
        EXPECT_EQ(c.accepted, zv::json::IsNumberText(text)) << shown;
        // As a member value: a number that keeps its spelling, or null.
        Document root((L"{\"n\":" + text + L"}").c_str());
        JsonNode n = Member(root, L"n");
        ASSERT_NE(nullptr, n) << shown;
        EXPECT_EQ(c.accepted ? JsonNumber : JsonNull, JsonGetType(n)) << shown;
        EXPECT_EQ(c.accepted ? text : L"null", Value(n)) << shown;
    }
}

std::wstring StringOf(const std::wstring& quoted)
{
    Document root((L"[" + quoted + L"]").c_str());
    return Value(Child(root, 0));
}

TEST(JsonUnescaping, EveryEscapeAndSurrogatePairs)
{
    const std::wstring lone = {static_cast<wchar_t>(0xD83D), L'A'};
    const std::pair<const wchar_t*, std::wstring> cases[] = {
        {L"\"x\\\"y\"", L"x\"y"},
        {L"\"\\/\\\\\"", L"/\\"},
        {L"\"\\b\\f\\n\\r\\t\\v\"", L"\b\f\n\r\t\v"},
        {L"\"\\'\\a\\?\"", L"'a?"},
        {L"\"\\101\\377\\060z\"", L"A\u00ff0z"},
        {L"\"\\x41\\x4a\"", L"AJ"},
        {L"\"\\u00e9\\u4E2D\"", L"\u00e9\u4e2d"},
        // Digits are not checked: "g" counts as 16, so \xg0 is U+0100.
        {L"\"\\xg0\"", L"\u0100"},
        // Escapes cut short by the end of the string read what is there.
        {L"\"\\u41\"", L"\u0041"},
        {L"\"\\7\"", std::wstring(1, L'\x07')},
        {L"\"\\ud83d\\ude00\"", L"\U0001F600"},
        {L"\"a\\uDBFF\\uDFFFb\"", L"a\U0010FFFFb"},
        // A high surrogate without its partner is kept as it is.
        {L"\"\\ud83d\\u0041\"", lone},
        {L"\"\\ud83dA\"", lone},
        {L"\"\\ude00\"", std::wstring(1, static_cast<wchar_t>(0xDE00))},
    };
    for (const auto& [quoted, expected] : cases)
        EXPECT_EQ(expected, StringOf(quoted)) << std::string(quoted, quoted + wcslen(quoted)).c_str();
}

TEST(JsonUnescaping, QuoteMarkAndFlags)
{
    // A raw U+0001 is ordinary text; only an escaped quote turns into one.
    EXPECT_EQ(L"a\x01"
              L"b\"",
              StringOf(L"\"a\x01"
                       L"b\\\"\""));
    std::wstring out;
    EXPECT_TRUE(zv::json::Unescape(std::wstring(L"\\") + zv::json::kQuoteMark, out));
    EXPECT_EQ(L"\"", out);
    EXPECT_FALSE(zv::json::Unescape(L"plain", out));
    EXPECT_EQ(L"plain", out);

    Document root(L"{\"x\\\"y\":\"plain\",\"t\\tab\":1}");
    JsonNode quoted = Child(root, 0);
    EXPECT_EQ(L"x\"y", Name(quoted));
    EXPECT_TRUE(AsHandle(quoted)->body->nameEscaped);
    EXPECT_EQ(L"plain", Value(quoted));
    EXPECT_FALSE(AsHandle(quoted)->body->valueEscaped);
    EXPECT_EQ(L"t\tab", Name(Child(root, 1)));
}

} // namespace

namespace {

using namespace jsontest;

// Reads every value below root, writes the tree and changes a copy of it.
void ExerciseTree(JsonNode root)
{
    std::vector<JsonNode> pending{root};
    while (!pending.empty()) {
        JsonNode node = pending.back();
        pending.pop_back();
        Name(node);
        Value(node);
        for (JsonIterator it = JsonBegin(node), end = JsonEnd(node); it && it != end; ++it)
            pending.push_back(*it);
    }
    const std::wstring written = Write(root);
    Document again(written.c_str());
    Document copy(JsonAsArray(root));
    JsonPushBack(copy, JsonNewString(L"x", L"y"));
    JsonErase(copy, JsonBegin(copy));
    JsonClearChildren(copy);
}

TEST(JsonHostileInput, RandomTextNeverBreaksTheEngine)
{
    std::mt19937 random(4711);
    const wchar_t alphabet[] = L"{}[]{}[]\"\"\",,::/*#\\\\ \n\r\tu0123456789abcdefx.eE+-truefalsn\x01\u00e9";
    std::uniform_int_distribution<int> pick(0, static_cast<int>(std::size(alphabet)) - 2);
    std::uniform_int_distribution<int> any(1, 0x10FFFF);
    std::uniform_int_distribution<int> length(0, 200);
    int accepted = 0;
    for (int round = 0; round < 4000; ++round) {
        std::wstring text = round % 2 ? L"{" : L"[";
        for (int i = length(random); i > 0; --i)
            text += round % 5 == 0 ? static_cast<wchar_t>(any(random)) : alphabet[pick(random)];
        text += round % 2 ? L"}" : L"]";
        Document root(text.c_str());
        if (!root.get())
            continue;
        ++accepted;
        ExerciseTree(root);
    }
    EXPECT_GT(accepted, 500);
}

TEST(JsonHostileInput, LoneSurrogatesAndCodesBeyondUnicode)
{
    const wchar_t high = static_cast<wchar_t>(0xD800);
    const wchar_t beyond = static_cast<wchar_t>(0x7FFFFFFF);
    const std::wstring inString = {L'[', L'"', high, L'"', L',', L'"', beyond, L'"', L']'};
    Document strings(inString.c_str());
    ASSERT_EQ(2, JsonGetSize(strings));
    EXPECT_EQ(std::wstring(1, high), Value(Child(strings, 0)));
    EXPECT_EQ(std::wstring(1, beyond), Value(Child(strings, 1)));
    EXPECT_EQ(L"[\n\t\"" + std::wstring(1, high) + L"\",\n\t\"" + std::wstring(1, beyond) + L"\"\n]", Write(strings));

    // Outside strings both end the pass; in a comment a code beyond Unicode
    // ends it too, as it could be taken for the comment's own mark.
    const std::wstring outside = {L'[', L'1', L']', high, L']'};
    EXPECT_EQ(1, JsonGetSize(Document(outside.c_str())));
    const std::wstring comment = {L'/', L'/', high, L'\n', L'[', L']'};
    Document commented(comment.c_str());
    EXPECT_NE(nullptr, commented.get());
    const std::wstring marked = {L'[', L'/', L'*', beyond, L'*', L'/', L'1', L']'};
    EXPECT_EQ(nullptr, JsonParse(marked.c_str()));
    const std::wstring markInLine = {L'[', L'1', L']', L'/', L'/', static_cast<wchar_t>(0x110000), L'\n'};
    EXPECT_EQ(nullptr, JsonParse(markInLine.c_str()));
}

} // namespace

// How the host reads its command line and the values given on it.
#include "Cli.h"
#include "JsonText.h"

#include "ZvTest.h"

#include <gtest/gtest.h>

#include <string>

using namespace zvenv;

TEST(HostArgs, OptionsWordsAndErrors)
{
    const Args args({"get", "--sub", "cfg/a", "trade", "--system", "Main", "--type=int", "Key"}, {"sub", "type"});
    EXPECT_EQ(args.Value("sub") + "|" + args.Value("type") + "|" + args.Value("system", "x"), "cfg/a|int|");
    EXPECT_TRUE(args.Has("system") && args.Error().empty() && args.Count() == 4u);
    EXPECT_EQ(args.At(1) + "|" + args.At(3) + "|" + args.At(9), "trade|Key|");

    // A double dash ends the options; a lone "-" or "-x" is a word.
    const Args words({"set", "--", "--system", "-h", "--sub"}, {"sub"});
    EXPECT_FALSE(words.Has("system") || words.WantsHelp() || words.Has("sub"));
    ASSERT_EQ(words.Count(), 4u);
    EXPECT_EQ(words.At(1) + "|" + words.At(3), "--system|--sub");
    EXPECT_EQ(Args({"-", "-x"}, {}).Count(), 2u);

    EXPECT_EQ(Args({"get", "trade", "--sub"}, {"sub"}).Error(), "--sub needs a value");
    const Args unknown({"get", "--colour", "--sytem", "-h"}, {});
    EXPECT_EQ(unknown.Unknown({"system"}), "--colour --sytem");
    EXPECT_TRUE(unknown.WantsHelp());
    EXPECT_EQ(Args({"--system"}, {}).Unknown({"system"}), "");
}

// Each text read as its type (a type's name is exact, "" is string): the text
// stored, or "!" and part of the reason it was refused.
TEST(HostValues, SpellingsAreAcceptedOnlyWhenWhole)
{
    const char* const cases[][3] = {
        {"int", "-2147483648", "-2147483648"},
        {"int", "", "!integer"},
        {"int", "12abc", "!integer"},
        {"int", " 5", "!"},
        {"int", "2147483648", "!"},
        {"int", "0x10", "!"},
        {"double", "2.75", "2.75"},
        {"double", "-1e-3", "-0.001"},
        {"double", "0.30000000000000004", "0.30000000000000004"}, // as short as reads back exactly
        {"double", "0.3333333333333333", "0.3333333333333333"},
        {"double", "", "!number"},
        {"double", "2,5", "!"},
        {"double", "1e999", "!"},
        {"point", "10, -20", "10,-20"},
        {"point", "1", "!X,Y"},
        {"size", "800,600", "800,600"},
        {"rect", "1,2,3,4", "1,2,3,4"},
        {"rect", "1,2,3", "!LEFT"},
        {"rgb", "255,128,0", "255,128,0"},
        {"rgb", "256,0,0", "!"},
        {"rgb", "-1,0,0", "!R,G,B"},
        {"", "a=b; [c]", "a=b; [c]"},
        {"colour", "x", "!type"},
        {"INT", "1", "!type"},
    };
    for (const auto& [name, text, stored] : cases) {
        ValueType type = ValueType::Null;
        Value v;
        std::string reason = "!type";
        if (ParseValueType(name, type) && ParseValue(type, text, v, reason))
            EXPECT_EQ(Narrow(StoredText(v)), stored) << name << " " << text;
        else
            EXPECT_TRUE(stored[0] == '!' && !reason.empty() && reason.find(stored + 1) != std::string::npos)
                << name << " " << text << ": " << reason;
    }
}

// The host reads the types of JSON documents from their text: what the
// library's files hold (comments included) must read.
TEST(HostJsonText, WhatReadsAndWhatDoesNot)
{
    JsonValue value;
    std::string error;
    const std::pair<const wchar_t*, const char*> read[] = {
        // written on one line
        {L"{}", "{}"},
        {L" [ 1 , -2.5e3, true, false, null ] ", "[1,-2.5e3,true,false,null]"},
        {L"{ // a comment\r\n \"a\" : /* inline */ \"x\" }", "{\"a\":\"x\"}"},
        {L"{\"a\":1,\"a\":2}", "{\"a\":1,\"a\":2}"},
        {L"\"\\u00e9\\ud83d\\ude00\\n\\\"\"", "\"\u00e9\U0001F600\\n\\\"\""},
        {L"\"\\ud800\"", "\"\\ud800\""},
        {L"[1,]", "[1]"},
        {L"{\"o\": {\"x\": [1,],},}", "{\"o\":{\"x\":[1]}}"},
    };
    for (const auto& [text, written] : read) {
        EXPECT_TRUE(ParseJson(text, value, error)) << error;
        EXPECT_EQ(WriteJson(value, false), written);
    }
    for (const wchar_t* text : {L"", L"{\"a\" 1}", L"[,]", L"08", L"[1 2]", L"{\"a\":1} x", L"\"open", L"\"\\x\"",
                                L"\"\\u12\"", L"-", L"1.", L"tru", L"{a:1}"}) {
        std::string reason;
        EXPECT_FALSE(ParseJson(text, value, reason)) << Narrow(CString(text));
        EXPECT_EQ(reason.rfind("line ", 0), 0u) << reason;
    }
    EXPECT_TRUE(ParseJson(std::wstring(1000, L'[') + std::wstring(1000, L']'), value, error)) << error;
    EXPECT_FALSE(ParseJson(std::wstring(1001, L'[') + std::wstring(1001, L']'), value, error));
}

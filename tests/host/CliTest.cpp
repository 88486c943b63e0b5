// How the host reads its command line and the values given on it.
#include "Cli.h"
#include "JsonText.h"

#include <gtest/gtest.h>

#include <cmath>

using zvenv::Args;
using zvenv::ParseValue;
using zvenv::Value;
using zvenv::ValueType;

TEST(HostArgs, OptionsTakeValuesOnlyWhenDeclared)
{
    const Args args({"get", "--sub", "cfg/a", "trade", "--system", "Main", "--type=int", "Key"}, {"sub", "type"});
    EXPECT_EQ(args.Value("sub"), "cfg/a");
    EXPECT_EQ(args.Value("type"), "int");
    EXPECT_TRUE(args.Has("system"));
    EXPECT_EQ(args.Value("system", "x"), "");
    ASSERT_EQ(args.Count(), 4u);
    EXPECT_EQ(args.At(1), "trade");
    EXPECT_EQ(args.At(3), "Key");
    EXPECT_EQ(args.At(9), "");
    EXPECT_TRUE(args.Error().empty());
}

TEST(HostArgs, DoubleDashEndsOptions)
{
    const Args args({"set", "--", "--system", "-h", "--sub"}, {"sub"});
    EXPECT_FALSE(args.Has("system"));
    EXPECT_FALSE(args.WantsHelp());
    EXPECT_FALSE(args.Has("sub"));
    ASSERT_EQ(args.Count(), 4u);
    EXPECT_EQ(args.At(1), "--system");
    EXPECT_EQ(args.At(3), "--sub");
}

TEST(HostArgs, MissingValueAndUnknownOptionsAreReported)
{
    const Args missing({"get", "trade", "--sub"}, {"sub"});
    EXPECT_EQ(missing.Error(), "--sub needs a value");
    const Args unknown({"get", "--colour", "--sytem", "-h"}, {});
    EXPECT_EQ(unknown.Unknown({"system"}), "--colour --sytem");
    EXPECT_TRUE(unknown.WantsHelp());
    EXPECT_EQ(Args({"--system"}, {}).Unknown({"system"}), "");
    // A lone "-" or "-x" is a word, not an option.
    const Args words({"-", "-x"}, {});
    EXPECT_EQ(words.Count(), 2u);
}

TEST(HostArgs, Utf8WordsBecomeWideTextAndBack)
{
    const CString wide = zvenv::Wide("Größe \xF0\x9F\x98\x80");
    ASSERT_EQ(wide.GetLength(), 7);
    EXPECT_EQ(wide[2], L'\u00f6');
    EXPECT_EQ(wide[6], static_cast<wchar_t>(0x1F600));
    EXPECT_EQ(zvenv::Narrow(wide), "Größe \xF0\x9F\x98\x80");
}

TEST(HostValues, TypeNames)
{
    ValueType type = ValueType::Int;
    EXPECT_TRUE(zvenv::ParseValueType("", type));
    EXPECT_EQ(type, ValueType::String);
    EXPECT_TRUE(zvenv::ParseValueType("rgb", type));
    EXPECT_EQ(type, ValueType::Rgb);
    EXPECT_FALSE(zvenv::ParseValueType("colour", type));
    EXPECT_FALSE(zvenv::ParseValueType("INT", type));
}

TEST(HostValues, SpellingsAreAcceptedOnlyWhenWhole)
{
    struct {
        ValueType type;
        const char* text;
        bool accepted;
    } cases[] = {
        {ValueType::Int, "-2147483648", true}, {ValueType::Int, "", false},
        {ValueType::Int, "12abc", false},      {ValueType::Int, "1.5", false},
        {ValueType::Int, "2147483648", false}, {ValueType::Int, "0x10", false},
        {ValueType::Int, " 5", false},         {ValueType::Double, "2.75", true},
        {ValueType::Double, "-1e-3", true},    {ValueType::Double, "", false},
        {ValueType::Double, "2,5", false},     {ValueType::Double, "1e999", false},
        {ValueType::Point, "10, -20", true},   {ValueType::Point, "1", false},
        {ValueType::Point, "1,2,3", false},    {ValueType::Size, "800,600", true},
        {ValueType::Rect, "1,2,3,4", true},    {ValueType::Rect, "1,2,3", false},
        {ValueType::Rect, "1,,3,4", false},    {ValueType::Rgb, "255,128,0", true},
        {ValueType::Rgb, "256,0,0", false},    {ValueType::Rgb, "-1,0,0", false},
        {ValueType::String, "a=b; [c]", true},
    };
    for (const auto& c : cases) {
        Value v;
        std::string reason;
        EXPECT_EQ(c.accepted, ParseValue(c.type, c.text, v, reason)) << c.text;
        EXPECT_EQ(c.accepted, reason.empty()) << c.text << ": " << reason;
    }
}

TEST(HostValues, AcceptedValuesHoldWhatWasGiven)
{
    Value v;
    std::string reason;
    ASSERT_TRUE(ParseValue(ValueType::Int, "-2147483648", v, reason));
    EXPECT_EQ(v.i, -2147483647 - 1);
    ASSERT_TRUE(ParseValue(ValueType::Double, "-1e-3", v, reason));
    EXPECT_EQ(v.d, -0.001);
    ASSERT_TRUE(ParseValue(ValueType::Point, "10, -20", v, reason));
    EXPECT_EQ(v.point, CPoint(10, -20));
    ASSERT_TRUE(ParseValue(ValueType::Size, "800,600", v, reason));
    EXPECT_EQ(v.size, CSize(800, 600));
    ASSERT_TRUE(ParseValue(ValueType::Rect, "1,2,3,4", v, reason));
    EXPECT_EQ(v.rect, CRect(1, 2, 3, 4));
    ASSERT_TRUE(ParseValue(ValueType::Rgb, "255,128,0", v, reason));
    EXPECT_EQ(v.rgb, 0x0080FFul); // red in the low byte
    ASSERT_TRUE(ParseValue(ValueType::String, "a=b; [c]", v, reason));
    EXPECT_EQ(zvenv::Narrow(v.text), "a=b; [c]");
    ASSERT_FALSE(ParseValue(ValueType::Rgb, "-1,0,0", v, reason));
    EXPECT_NE(reason.find("R,G,B"), std::string::npos);
    ASSERT_FALSE(ParseValue(ValueType::Int, "12abc", v, reason));
    EXPECT_NE(reason.find("integer"), std::string::npos);
}

TEST(HostValues, DoublesPrintShortAndReadBackExactly)
{
    EXPECT_EQ(zvenv::Narrow(zvenv::FormatDouble(2.5)), "2.5");
    EXPECT_EQ(zvenv::Narrow(zvenv::FormatDouble(-3)), "-3");
    for (double d : {0.1, 1.0 / 3, 1e-300, 123456789.123456789}) {
        const std::string text = zvenv::Narrow(zvenv::FormatDouble(d));
        EXPECT_EQ(std::strtod(text.c_str(), nullptr), d) << text;
    }
}

// The host reads the types of JSON documents from their text: everything the
// library's files hold (comments included) must read, and the output it
// writes must be JSON that any reader takes.
TEST(HostJsonText, WhatReadsAndWhatDoesNot)
{
    const struct {
        const wchar_t* text;
        bool read;
        const char* written; // the value written back on one line
    } cases[] = {
        {L"{}", true, "{}"},
        {L" [ 1 , -2.5e3, true, false, null ] ", true, "[1,-2.5e3,true,false,null]"},
        {L"{ // a comment\r\n \"a\" : /* inline */ \"x\" }", true, "{\"a\":\"x\"}"},
        {L"{\"a\":1,\"a\":2}", true, "{\"a\":1,\"a\":2}"},
        {L"\"\\u00e9\\ud83d\\ude00\\n\\\"\"", true, "\"\u00e9\U0001F600\\n\\\"\""},
        {L"\"\\ud800\"", true, "\"\\ud800\""},
        {L"\"tab\there\"", true, "\"tab\\there\""},
        {L"", false, ""},
        {L"{\"a\" 1}", false, ""},
        {L"[1,]", true, "[1]"},
        {L"{\"o\": {\"x\": [1,],},}", true, "{\"o\":{\"x\":[1]}}"},
        {L"[,]", false, ""},
        {L"[1,,]", false, ""},
        {L"08", false, ""},
        {L"[1 2]", false, ""},
        {L"{\"a\":1} x", false, ""},
        {L"\"open", false, ""},
        {L"\"\\x\"", false, ""},
        {L"\"\\u12\"", false, ""},
        {L"-", false, ""},
        {L"1.", false, ""},
        {L"tru", false, ""},
        {L"{a:1}", false, ""},
    };
    for (const auto& c : cases) {
        zvenv::JsonValue value;
        std::string error;
        EXPECT_EQ(zvenv::ParseJson(c.text, value, error), c.read) << zvenv::Narrow(CString(c.text));
        if (c.read)
            EXPECT_EQ(zvenv::WriteJson(value, false), c.written);
        else
            EXPECT_EQ(error.rfind("line ", 0), 0u) << error;
    }
    // Nesting as deep as the library reads, and no deeper.
    zvenv::JsonValue value;
    std::string error;
    EXPECT_TRUE(zvenv::ParseJson(std::wstring(1000, L'[') + std::wstring(1000, L']'), value, error)) << error;
    EXPECT_FALSE(zvenv::ParseJson(std::wstring(1001, L'[') + std::wstring(1001, L']'), value, error));
}

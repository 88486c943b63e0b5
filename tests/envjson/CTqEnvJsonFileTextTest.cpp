#include "envjson/JsonFileText.h"

#include <gtest/gtest.h>

#include <string>

using zv::envjson::DecodeDocumentFile;
using zv::envjson::EncodeDocumentFile;

TEST(JsonFileText, DecodingByTheFirstBytes)
{
    const std::string marked("\xFF\xFE"
                             "a\0b\0",
                             6);
    EXPECT_EQ(DecodeDocumentFile(marked.data(), marked.size()), L"ab");
    const std::string plain("a\0b\0", 4);
    EXPECT_EQ(DecodeDocumentFile(plain.data(), plain.size()), L"ab");
    const std::string zero("\0a\0b", 4);
    EXPECT_EQ(DecodeDocumentFile(zero.data(), zero.size()), L"");
    EXPECT_EQ(DecodeDocumentFile("\xFF\xFE", 2), L"");
    EXPECT_EQ(DecodeDocumentFile("\xFF", 1), L"");
    EXPECT_EQ(DecodeDocumentFile(nullptr, 0), L"");
    const std::string odd("\xFF\xFE"
                          "a\0b",
                          5);
    EXPECT_EQ(DecodeDocumentFile(odd.data(), odd.size()), L"a");
}

TEST(JsonFileText, EncodingWritesMarkCrLfAndPairs)
{
    EXPECT_EQ(EncodeDocumentFile(L"{\n}"), std::string("\xFF\xFE{\0\r\0\n\0}\0", 10));
    EXPECT_EQ(EncodeDocumentFile(L"a\nb"), std::string("\xFF\xFE"
                                                       "a\0\r\0\n\0b\0",
                                                       10));
    EXPECT_EQ(EncodeDocumentFile(nullptr), std::string("\xFF\xFE", 2));
    const wchar_t astral[] = {static_cast<wchar_t>(0x1F600), static_cast<wchar_t>(0xDC01), 0};
    EXPECT_EQ(EncodeDocumentFile(astral), std::string("\xFF\xFE\x3D\xD8\x00\xDE\x01\xDC", 8));
    const std::string bytes = EncodeDocumentFile(astral);
    EXPECT_EQ(DecodeDocumentFile(bytes.data(), bytes.size()), std::wstring(astral));
}

#include <zvenv/ZvUtil.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

// A name every file system takes, case-insensitive ones included.
bool IsPortableFolderName(const CString& name)
{
    if (name.IsEmpty() || name.GetLength() > 255)
        return false;
    for (int i = 0; i < name.GetLength(); ++i) {
        wchar_t c = name[i];
        if (!((c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9')))
            return false;
    }
    return true;
}

CString RoundTrip(const wchar_t* id)
{
    CString encrypted, plain;
    EXPECT_TRUE(TQ_UT_EncryptSD(id, encrypted)) << id;
    EXPECT_TRUE(IsPortableFolderName(encrypted)) << encrypted.ToUtf8();
    EXPECT_NE(encrypted, CString(id));
    EXPECT_TRUE(TQ_UT_DecryptSD(encrypted, plain));
    return plain;
}

// Printable text that does not compress.
std::wstring RandomText(int length, unsigned seed)
{
    std::wstring text;
    for (int i = 0; i < length; ++i) {
        seed = seed * 1103515245u + 12345u;
        text += static_cast<wchar_t>(L'!' + (seed >> 16) % 94);
    }
    return text;
}

std::wstring Words(std::size_t length)
{
    std::wstring id;
    while (id.size() < length)
        id += L"trading desk north ";
    id.resize(length);
    return id;
}

TEST(UserIdCipher, RoundTripsEveryKindOfId)
{
    std::vector<std::wstring> ids = {
        L"trader01",
        L"John Smith",
        L" leading and trailing ",
        L"Jörg Müller-Lüdenscheidt",
        L"東京の取引者",
        L"emoji \U0001F600 id",
        L"a",
        std::wstring(200, L'x'),
        L"desk-" + std::wstring(L"0123456789") + L"-ops-" + std::wstring(180, L'q'),
        Words(200),                                               // 200 characters that compress
        std::wstring(L"x") + static_cast<wchar_t>(0xD800) + L"y", // a lone surrogate
    };
    for (unsigned seed = 1; seed < 20; ++seed)
        ids.push_back(RandomText(142, seed)); // the longest id that always fits
    for (const std::wstring& id : ids)
        EXPECT_STREQ(RoundTrip(id.c_str()), id.c_str());
}

TEST(UserIdCipher, DeterministicAndDistinct)
{
    CString first, second;
    ASSERT_TRUE(TQ_UT_EncryptSD(L"trader01", first));
    ASSERT_TRUE(TQ_UT_EncryptSD(L"trader01", second));
    EXPECT_EQ(first, second);

    std::set<std::wstring> seen;
    const wchar_t* ids[] = {L"trader01", L"trader02", L"Trader01", L"trader01 ", L"", L"TRADER01"};
    for (const wchar_t* id : ids) {
        CString encrypted;
        ASSERT_TRUE(TQ_UT_EncryptSD(id, encrypted));
        EXPECT_TRUE(seen.insert(encrypted.str()).second) << "two ids share a folder: " << encrypted.ToUtf8();
    }
}

TEST(UserIdCipher, PlainFolderNamesPassThroughDecryption)
{
    CString encrypted;
    ASSERT_TRUE(TQ_UT_EncryptSD(L"trader01", encrypted));
    CString tampered = encrypted;
    tampered.SetAt(3, tampered[3] == L'a' ? L'b' : L'a');

    const CString plainNames[] = {L"trader01",
                                  L"abcdefghijklmnopqrstuvwxyz234567",
                                  L"",
                                  L"UPPER",
                                  tampered,
                                  encrypted.Left(encrypted.GetLength() - 1),
                                  CString(encrypted).MakeUpper()};
    for (const CString& name : plainNames) {
        CString plain;
        EXPECT_FALSE(TQ_UT_DecryptSD(name, plain)) << name.ToUtf8();
        EXPECT_EQ(plain, name);
    }
    CString plain;
    EXPECT_FALSE(TQ_UT_DecryptSD(nullptr, plain));
}

// 300, or 200, characters that do not compress cannot fit in one folder name.
TEST(UserIdCipher, IdTooLongForAFolderNameIsRefused)
{
    for (int length : {300, 200}) {
        CString encrypted = L"left over";
        EXPECT_FALSE(TQ_UT_EncryptSD(RandomText(length, 7).c_str(), encrypted)) << length;
        EXPECT_TRUE(encrypted.IsEmpty());
    }
    CString encrypted;
    EXPECT_FALSE(TQ_UT_EncryptSD(nullptr, encrypted));
}

} // namespace

#include <zvenv/ZvUtil.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace {

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

// An id's ciphertext is a folder name (on case-insensitive systems too), its own
// and the same each time; other names come back as themselves.
TEST(UserIdCipher, RoundTripsIdsAndRefusesWhatIsNoCiphertext)
{
    // Ids differing in case or a blank, 200 characters that compress, a lone surrogate.
    std::vector<std::wstring> ids = {L"trader01",
                                     L"Trader01",
                                     L"trader01 ",
                                     L"",
                                     L"Jörg Müller-Lüdenscheidt",
                                     L"emoji \U0001F600 id",
                                     std::wstring(200, L'x'),
                                     std::wstring(L"x") + static_cast<wchar_t>(0xD800) + L"y"};
    for (unsigned seed = 1; seed < 20; ++seed)
        ids.push_back(RandomText(142, seed)); // the longest id that always fits
    std::set<std::wstring> seen;
    CString encrypted, again, plain;
    for (const std::wstring& id : ids) {
        ASSERT_TRUE(TQ_UT_EncryptSD(id.c_str(), encrypted)) << id.size();
        EXPECT_TRUE(TQ_UT_EncryptSD(id.c_str(), again) && again == encrypted) << "the same each time";
        const std::wstring name = encrypted.str();
        EXPECT_TRUE(!name.empty() && name.size() <= 255 && std::all_of(name.begin(), name.end(), [](wchar_t c) {
            return (c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9');
        })) << encrypted.ToUtf8();
        EXPECT_TRUE(seen.insert(name).second) << "two ids share a folder: " << encrypted.ToUtf8();
        EXPECT_TRUE(TQ_UT_DecryptSD(encrypted, plain));
        EXPECT_STREQ(plain, id.c_str());
    }
    ASSERT_TRUE(TQ_UT_EncryptSD(L"trader01", encrypted));
    CString tampered = encrypted;
    tampered.SetAt(3, tampered[3] == L'a' ? L'b' : L'a');
    for (const CString& name :
         {CString(L"trader01"), CString(L"abcdefghijklmnopqrstuvwxyz234567"), CString(L""), CString(L"UPPER"), tampered,
          encrypted.Left(encrypted.GetLength() - 1), CString(encrypted).MakeUpper()}) {
        EXPECT_FALSE(TQ_UT_DecryptSD(name, plain)) << name.ToUtf8();
        EXPECT_EQ(plain, name);
    }
    EXPECT_FALSE(TQ_UT_DecryptSD(nullptr, plain));
    for (int length : {300, 200}) {
        encrypted = L"left over";
        EXPECT_FALSE(TQ_UT_EncryptSD(RandomText(length, 7).c_str(), encrypted)) << length;
        EXPECT_TRUE(encrypted.IsEmpty());
    }
    EXPECT_FALSE(TQ_UT_EncryptSD(nullptr, encrypted));
}

} // namespace

#include "ProfileTestUtil.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

// What a line is, as Windows reads it: comment lines, the section of the empty
// name, and text written with line breaks. The cases that rest on an
// observation of Windows name it (from the public black-box tests of the
// profile functions run on Windows); Wine differs on some of them, which the
// platform comparison skips.
namespace {

using namespace profiletest;

class ProfileLayout : public ::testing::Test {
protected:
    void SetUp() override { zv::ClearProfileCache(); }
    void Seed(const std::wstring& text) { zvtest::WriteFile(path, zvtest::Utf16(text)); }
    BOOL Set(const wchar_t* section, const wchar_t* key, const wchar_t* value)
    {
        return WritePrivateProfileStringW(section, key, value, W(path).c_str());
    }
    std::string Bytes() const { return zvtest::ReadFile(path); }
    zvtest::TempDir dir;
    std::string path = dir / "a.ini";
};

TEST_F(ProfileLayout, CommentLinesAreNeverKeys)
{
    const struct {
        const wchar_t* file;
        const wchar_t* section;
        const wchar_t* key;
        const wchar_t* expected;
        const char* observed;
    } reads[] = {
        {L"[S]\r\n;key=v\r\n", L"S", L";key", L"<default>", "a key with a leading ';' reads as the default"},
        {L"[S]\r\n;key=v\r\n", L"S", L"key", L"<default>", "nor is it the key without the ';'"},
        {L"[S]\r\n ;key=v\r\n", L"S", L";key", L"<default>", "blanks before the ';' keep it a comment"},
        {L"[S]\r\n\t;key=v\r\n", L"S", L"\t;key", L"<default>", "not even as written in the file"},
        {L"[S]\r\nk=;v\r\n", L"S", L"k", L";v", "a value starting with ';' is a value"},
        {L"[S]\r\nkey ;x=v\r\n", L"S", L"key ;x", L"v", "a ';' inside a key is part of it"},
        {L"[;S]\r\nk=v\r\n", L";S", L"k", L"v", "a ';' in a section name is part of it"},
        {L"[S]\r\n=;c\r\n", L"S", L"", L";c", "the empty key holds ';c' and is found"},
    };
    for (const auto& r : reads) {
        Seed(r.file);
        EXPECT_EQ(Get(path, r.section, r.key), r.expected) << r.observed;
    }

    // Observed: writing a key that starts with ';' twice gives two lines.
    Seed(L"");
    ASSERT_TRUE(Set(L"S", L";key", L"v"));
    ASSERT_TRUE(Set(L"S", L";key", L"v"));
    EXPECT_EQ(Bytes(), zvtest::Utf16(L"[S]\r\n;key=v\r\n;key=v\r\n"));
    EXPECT_EQ(Get(path, L"S", L";key"), L"<default>");

    // Observed: a new comment goes after the last key, so comments written
    // one after the other come out latest first.
    Seed(L"");
    for (const wchar_t* key : {L"z", L";y", L"a", L";b", L";c"})
        ASSERT_TRUE(Set(L"S", key, L""));
    EXPECT_EQ(Bytes(), zvtest::Utf16(L"[S]\r\nz=\r\na=\r\n;c=\r\n;b=\r\n;y=\r\n"));

    // Observed: deleting sections keeps their comments, in order.
    Seed(L";c0\r\n[S]\r\n;c1\r\nk=1\r\n[T]\r\n;c2\r\n");
    ASSERT_TRUE(Set(L"S", nullptr, nullptr));
    ASSERT_TRUE(Set(L"T", nullptr, nullptr));
    EXPECT_EQ(Bytes(), zvtest::Utf16(L";c0\r\n;c1\r\n;c2\r\n"));
}

TEST_F(ProfileLayout, EmptyNameIsTheSectionOfAnEmptyHeader)
{
    // Observed: writing to the empty name creates "[]".
    Seed(L"");
    ASSERT_TRUE(Set(L"", L"key", L"v"));
    EXPECT_EQ(Bytes(), zvtest::Utf16(L"[]\r\nkey=v\r\n"));

    // Observed: "[]" is read by the empty name; the lines before the first
    // section are read by no name, not even blanks.
    Seed(L"k=before\r\n[S]\r\nk=s\r\n[]\r\nk=empty\r\n");
    EXPECT_EQ(Get(path, L"", L"k"), L"empty");
    EXPECT_EQ(Get(path, L" ", L"k"), L"empty");
    Seed(L"k=before\r\n[S]\r\nk=s\r\n");
    EXPECT_EQ(Get(path, L"", L"k"), L"<default>");
    EXPECT_EQ(Get(path, L" ", L"k"), L"<default>");

    // Every other operation follows the same rule and leaves the lines before
    // the first section alone.
    Seed(L"pre=1\r\n[]\r\nk=v\r\n[S]\r\ns=1\r\n");
    wchar_t buffer[64];
    GetPrivateProfileSectionW(L"", buffer, 64, W(path).c_str());
    EXPECT_EQ(Items(buffer), (std::vector<std::wstring>{L"k=v"}));
    GetPrivateProfileStringW(L"", nullptr, L"", buffer, 64, W(path).c_str());
    EXPECT_EQ(Items(buffer), (std::vector<std::wstring>{L"k"}));
    ASSERT_TRUE(Set(L"", nullptr, nullptr));
    EXPECT_EQ(Bytes(), zvtest::Utf16(L"pre=1\r\n[S]\r\ns=1\r\n"));
    ASSERT_TRUE(Set(L"", L"pre", nullptr));
    ASSERT_TRUE(Set(L"", nullptr, nullptr));
    EXPECT_EQ(Bytes(), zvtest::Utf16(L"pre=1\r\n[S]\r\ns=1\r\n")) << "nothing to delete under the empty name";
    ASSERT_TRUE(WritePrivateProfileSectionW(L"", L"c=2\0", W(path).c_str()));
    EXPECT_EQ(Get(path, L"", L"c"), L"2");
    EXPECT_EQ(Bytes(), zvtest::Utf16(L"pre=1\r\n[S]\r\ns=1\r\n[]\r\nc=2\r\n"));

    // The empty name is not listed among the section names, where it would
    // end the list before the sections after it.
    ASSERT_TRUE(Set(L"T", L"t", L"1"));
    GetPrivateProfileSectionNamesW(buffer, 64, W(path).c_str());
    EXPECT_EQ(Items(buffer), (std::vector<std::wstring>{L"S", L"T"}));
}

// After any write, what this process reads from its parsed copy is what a
// fresh parse of the written bytes gives, in every encoding: a random run
// of writes with line breaks, comment and header look-alikes, byte-order
// marks, surrogates and characters a code page lacks, each compared with a
// fresh parse of a copy of the file; every fourth round inside a batch.
std::wstring Listing(const std::wstring& file)
{
    static const wchar_t* const kSections[] = {L"S", L"", L"T", L"a", L"[x", L";c", L"U", L"V"};
    static const wchar_t* const kKeys[] = {L"k", L";k", L"a", L"[h]", L"", L"\u00e9", L"b", L"z", L"y"};
    std::vector<wchar_t> buffer(1 << 16);
    const DWORD size = static_cast<DWORD>(buffer.size());
    std::wstring out;
    auto list = [&](DWORD length) {
        out.append(buffer.data(), length);
        out += L'|';
    };
    list(GetPrivateProfileSectionNamesW(buffer.data(), size, file.c_str()));
    for (const wchar_t* section : kSections) {
        list(GetPrivateProfileSectionW(section, buffer.data(), size, file.c_str()));
        list(GetPrivateProfileStringW(section, nullptr, L"", buffer.data(), size, file.c_str()));
        for (const wchar_t* key : kKeys)
            list(GetPrivateProfileStringW(section, key, L"<none>", buffer.data(), size, file.c_str()));
    }
    return out;
}

TEST_F(ProfileLayout, ParsedCopyIsAFreshParseAfterEveryWrite)
{
    static const wchar_t* const kSections[] = {L"S", L"s", L"", L" ", L"T", L"a]b", L"[x", L";c", L"U\r\nV"};
    static const wchar_t* const kKeys[] = {L"k", L"K", L";k", L" ;k", L"a=b", L"[h]", L"x\ny", L"", L"\u00e9"};
    // Plain values most of the time, so that what a line break or a
    // surrogate would re-read is not always re-read anyway.
    static const wchar_t* const kPlainValues[] = {L"1", L" q ", L"\"q\"", L"\u03A9", L"\u00e9"};
    static const wchar_t* const kOddValues[] = {L"a\r\nb=c", L"\r\n[S]\r\nz=1", L"\xD83D\xDE00", L"\n",
                                                L"\r",       L"\uFEFFy=1"};
    const std::string starts[] = {
        zvtest::Utf16(L"pre=1\r\n[S]\r\nk=1\r\n"),
        "pre=1\r\n[S]\r\nk=1\r\n",
        "\xEF\xBB\xBF[S]\r\nk=1\r\n",
        "[S]\r\nk=\xE9\r\n", // not UTF-8: Windows-1252
        "",
    };
    int round = 0;
    auto compare = [&](const std::wstring& cached, const std::string& what) {
        const std::string copy = dir / ("fresh" + std::to_string(round++) + ".ini");
        zvtest::WriteFile(copy, Bytes());
        ASSERT_EQ(cached, Listing(W(copy))) << what << " (round " << round << ")";
    };

    // Each text alone, as a section name, a key and a value, in each encoding.
    for (std::size_t s = 0; s < std::size(starts); ++s) {
        std::vector<const wchar_t*> texts(std::begin(kPlainValues), std::end(kPlainValues));
        texts.insert(texts.end(), std::begin(kOddValues), std::end(kOddValues));
        for (const wchar_t* text : texts) {
            for (int place = 0; place < 3; ++place) {
                zvtest::WriteFile(path, starts[s]);
                zv::ClearProfileCache();
                Set(place == 0 ? text : L"S", place == 1 ? text : L"k", place == 2 ? text : L"v");
                compare(Listing(W(path)), "start " + std::to_string(s) + ", place " + std::to_string(place));
            }
        }
    }

    // Random runs, every fourth step a batch of four writes.
    std::mt19937 random(2024);
    auto pick = [&](const auto& list) { return list[random() % std::size(list)]; };
    auto value = [&] { return random() % 4 == 0 ? pick(kOddValues) : pick(kPlainValues); };
    for (const std::string& start : starts) {
        zvtest::WriteFile(path, start);
        zv::ClearProfileCache();
        for (int op = 0; op < 32; ++op) {
            std::unique_ptr<zv::ProfileBatch> batch;
            if (op % 4 == 3)
                batch = std::make_unique<zv::ProfileBatch>(W(path).c_str());
            std::string done;
            for (int i = 0; i < (batch ? 4 : 1); ++i) {
                const wchar_t* section = pick(kSections);
                switch (random() % 6) {
                case 0:
                    Set(section, pick(kKeys), nullptr);
                    done += " delete key";
                    break;
                case 1:
                    Set(section, nullptr, nullptr);
                    done += " delete section";
                    break;
                case 2: {
                    const std::wstring lines = std::wstring(pick(kKeys)) + L"=" + value() + L'\0' + L"b=2" + L'\0';
                    WritePrivateProfileSectionW(section, lines.c_str(), W(path).c_str());
                    done += " write section";
                    break;
                }
                default:
                    Set(section, pick(kKeys), value());
                    done += " write";
                }
            }
            const std::wstring cached = Listing(W(path));
            batch.reset();
            compare(cached, "after" + done);
        }
    }
}

} // namespace

#include "ProfileTestUtil.h"

#include <memory>
#include <random>
#include <string>
#include <vector>

// Text written with line breaks, comment and header look-alikes, in every
// encoding: the parsed copy must stay what the written bytes parse as. (The
// comment and empty-name layout cases are rows of the write and read tables.)
namespace {

using namespace profiletest;

using ProfileLayout = InFolder<>;

// What a reader sees of a file: the section names, and the lines, key names
// and some values of some sections.
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
    list(zv::ProfileGetSectionNames(buffer.data(), size, file.c_str()));
    for (const wchar_t* section : kSections) {
        list(zv::ProfileGetSection(section, buffer.data(), size, file.c_str()));
        list(zv::ProfileGetString(section, nullptr, L"", buffer.data(), size, file.c_str()));
        for (const wchar_t* key : kKeys)
            list(zv::ProfileGetString(section, key, L"<none>", buffer.data(), size, file.c_str()));
    }
    return out;
}

// After any write, what this process reads from its parsed copy is what a
// fresh parse of the written bytes gives, in every encoding: writes with line
// breaks, comment and header look-alikes, byte-order marks, surrogates and
// characters a code page lacks, and runs of new keys that are indexed where
// they are inserted (into a duplicate section, the empty name, around
// comments and blank lines), each compared with a fresh parse of a copy of
// the file; every fourth round inside a batch.
TEST_F(ProfileLayout, ParsedCopyIsAFreshParseAfterEveryWrite)
{
    static const wchar_t* const kSections[] = {L"S", L"s", L"A", L"", L" ", L"T", L"a]b", L"[x", L";c", L"U\r\nV"};
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
        zvtest::Utf16(L"pre=0\r\n[A]\r\n;note\r\na=1\r\n\r\n[B]\r\n[A]\r\nx=dup\r\n[C]\r\nc=1\r\n"),
    };
    int round = 0;
    auto compare = [&](const std::wstring& cached, const std::string& what) {
        const std::string copy = dir / ("fresh" + std::to_string(round++) + ".ini");
        zvtest::WriteFile(copy, zvtest::ReadFile(path));
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
                compare(Listing(file), "start " + std::to_string(s) + ", place " + std::to_string(place));
            }
        }
    }

    // Random runs, every fourth step a batch of four writes.
    std::mt19937 random(2024);
    auto pick = [&](const auto& list) { return list[random() % std::size(list)]; };
    auto value = [&] { return random() % 4 == 0 ? pick(kOddValues) : pick(kPlainValues); };
    std::wstring numbered;
    auto key = [&] { return random() % 2 ? pick(kKeys) : (numbered = L"n" + std::to_wstring(random() % 40)).c_str(); };
    for (const std::string& start : starts) {
        zvtest::WriteFile(path, start);
        zv::ClearProfileCache();
        for (int op = 0; op < 64; ++op) {
            std::unique_ptr<zv::ProfileBatch> batch;
            if (op % 4 == 3)
                batch = std::make_unique<zv::ProfileBatch>(file.c_str());
            std::string done;
            for (int i = 0; i < (batch ? 4 : 1); ++i) {
                const wchar_t* section = pick(kSections);
                switch (random() % 6) {
                case 0:
                    Set(section, key(), nullptr);
                    done += " delete key";
                    break;
                case 1:
                    Set(section, nullptr, nullptr);
                    done += " delete section";
                    break;
                case 2: {
                    const std::wstring lines = std::wstring(pick(kKeys)) + L"=" + value() + L'\0' + L"b=2" + L'\0';
                    zv::ProfileWriteSection(section, lines.c_str(), file.c_str());
                    done += " write section";
                    break;
                }
                default:
                    Set(section, key(), value());
                    done += " write";
                }
            }
            const std::wstring cached = Listing(file);
            batch.reset();
            compare(cached, "after" + done);
        }
    }
}

} // namespace

#include "ProfileTestUtil.h"

#include <filesystem>
#include <ostream>

namespace {

using namespace profiletest;

// A list or value read into a buffer of a given size: the count returned,
// the first characters of the buffer, and nothing written past its end. A
// list that would fill the buffer exactly counts as cut; a list cut where an
// item ends gets one closing null (section names two); a cut list returns
// size - 2.
struct BufferCase {
    const char* name; // what the row guards
    const wchar_t* file;
    enum Kind { kNames, kKeys, kLines, kValue } kind;
    const wchar_t* section;
    DWORD size;
    DWORD returned;
    std::wstring start; // the buffer's first characters ('#' where untouched)
    const wchar_t* key = nullptr;
    const wchar_t* def = L"";
};

void PrintTo(const BufferCase& c, std::ostream* os)
{
    *os << c.name;
}

const wchar_t kThree[] = L"[First]\r\nalpha=1\r\nbeta=2\r\n[Second]\r\n[Third]\r\n";
const wchar_t kShort[] = L"[S]\r\nab=1\r\nc=2\r\n[T]\r\n";
const wchar_t kEmptyFirst[] = L"pre=1\r\n[]\r\n;c\r\nbare\r\nk=v\r\n[S]\r\ns=1\r\n[T]\r\n";
const wchar_t kValue[] = L"[S]\r\nk=abcdef\r\n";
using B = BufferCase;

const BufferCase kBuffers[] = {
    {"EmptyNameLinesAreThoseOfEmptyHeader", kEmptyFirst, B::kLines, L"", 64, 9, {L"bare\0k=v\0\0", 10}},
    {"EmptyNameKeysAreThoseOfEmptyHeader", kEmptyFirst, B::kKeys, L"", 64, 2, {L"k\0\0", 3}},
    {"EmptyNameNotAmongSectionNames", kEmptyFirst, B::kNames, nullptr, 64, 4, {L"S\0T\0\0", 5}},
    {"NullSectionListsSectionNames", kThree, B::kKeys, nullptr, 64, 19, {L"First\0Second\0Third\0\0", 20}},
    {"NamesCutInsideAnItem", kThree, B::kNames, nullptr, 9, 7, {L"First\0S\0\0", 9}},
    {"LinesCut", kThree, B::kLines, L"First", 8, 6, {}},
    {"NoBufferNoNames", kThree, B::kNames, nullptr, 0, 0, {}},
    // A list filled to its last place before the cut item wrote that item
    // past the buffer.
    {"KeysCutAtAnItemEndGetOneNull", kShort, B::kKeys, L"S", 5, 3, {L"ab\0\0#", 5}},
    {"NamesCutAtAnItemEndGetTwoNulls", kShort, B::kNames, nullptr, 4, 2, {L"S\0\0\0#", 5}},
    {"ValueCut", kValue, B::kValue, L"S", 4, 3, {L"abc\0", 4}, L"k"},
    {"ValueIntoNoBuffer", kValue, B::kValue, L"S", 0, 0, {}, L"k"},
    {"DefaultCut", kValue, B::kValue, L"S", 5, 4, {L"defa\0", 5}, L"x", L"defaultvalue"},
};

DWORD ReadInto(const BufferCase& c, const std::wstring& file, wchar_t* buffer, DWORD size)
{
    switch (c.kind) {
    case BufferCase::kNames:
        return zv::ProfileGetSectionNames(buffer, size, file.c_str());
    case BufferCase::kKeys:
        return zv::ProfileGetString(c.section, nullptr, L"", buffer, size, file.c_str());
    case BufferCase::kLines:
        return zv::ProfileGetSection(c.section, buffer, size, file.c_str());
    default:
        return zv::ProfileGetString(c.section, c.key, c.def, buffer, size, file.c_str());
    }
}

using ProfileBuffers = InFolder<::testing::TestWithParam<BufferCase>>;

// The row's size, then every size up to 11: nothing lands past the buffer,
// and no buffer reads nothing.
TEST_P(ProfileBuffers, FillsTheBuffer)
{
    const BufferCase& c = GetParam();
    zvtest::WriteFile(path, zvtest::Utf16(c.file));
    wchar_t buffer[300];
    wmemset(buffer, L'#', 300);
    EXPECT_EQ(ReadInto(c, file, buffer, c.size), c.returned);
    EXPECT_EQ(std::wstring(buffer, c.start.size()), c.start);
    EXPECT_EQ(buffer[c.size], L'#') << "nothing past the buffer";
    for (DWORD size = 0; size < 12; ++size) {
        wmemset(buffer, L'#', 16);
        ReadInto(c, file, buffer, size);
        EXPECT_EQ(buffer[size], L'#') << "size " << size;
    }
    EXPECT_EQ(ReadInto(c, file, nullptr, 5), 0u);
}

INSTANTIATE_TEST_SUITE_P(Cases, ProfileBuffers, ::testing::ValuesIn(kBuffers),
                         [](const ::testing::TestParamInfo<BufferCase>& info) { return std::string(info.param.name); });

using ProfileRead = InFolder<>;

// A file changed by another program is read again; what cannot be read as a
// file reads as the default; a value longer than the buffer is cut to it.
TEST_F(ProfileRead, ReadsWhatIsOnDiskOrTheDefault)
{
    zvtest::WriteFile(path, U(L"[S]\r\nk=old\r\n"));
    EXPECT_EQ(Get(path, L"S", L"k"), L"old");
    zvtest::WriteFile(path, U(L"[S]\r\nk=new value\r\n"));
    EXPECT_EQ(Get(path, L"S", L"k"), L"new value") << "a different size or time invalidates the copy";
    zvtest::WriteFile(path + ".tmp", U(L"[S]\r\nk=new_value\r\n"));
    std::filesystem::rename(path + ".tmp", path);
    EXPECT_EQ(Get(path, L"S", L"k"), L"new_value") << "a replaced file is another file";
    zvtest::WriteFile(dir / "file", "x");
    for (const std::string& bad : {dir / "missing.ini", dir.path(), dir / "file/below.ini"})
        EXPECT_EQ(Get(bad, L"S", L"k"), L"<default>") << bad;
    zvtest::WriteFile(path, U(L"[S]\r\nk=" + std::wstring(10 * 1024 * 1024, L'x') + L"\r\n"));
    EXPECT_EQ(Get(path, L"S", L"k").size(), 1023u);
}

} // namespace

#include <zvenv/platform/CMap.h>
#include <zvenv/platform/CRuntime.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

// A key whose hash puts every key in one chain: lookups must tell keys apart by comparing them.
struct Colliding {
    int id = 0;
    bool operator==(const Colliding& other) const { return id == other.id; }
};

template <> struct std::hash<Colliding> {
    std::size_t operator()(const Colliding&) const noexcept { return 42; }
};

namespace {

// "key=value" of each entry, in the map's order.
std::vector<std::wstring> EntriesInOrder(const CMapStringToString& map)
{
    std::vector<std::wstring> entries;
    POSITION pos = map.GetStartPosition();
    while (pos) {
        CString key, value;
        map.GetNextAssoc(pos, key, value);
        entries.push_back(key.str() + L"=" + value.str());
    }
    return entries;
}

// Insertion order survives growth, removal while iterating and compaction; keys and values are copied up to a null.
TEST(CMapTest, IterationKeepsTheOrderOfInsertion)
{
    CMapStringToString map;
    std::vector<std::wstring> expected;
    for (int i = 0; i < 2000; ++i) {
        const std::wstring key = std::to_wstring(i * 7919 % 2000);
        map.SetAt(key.c_str(), std::to_wstring(i).c_str());
        expected.push_back(key + L"=" + std::to_wstring(i));
    }
    ASSERT_EQ(EntriesInOrder(map), expected);
    CString key, value;
    for (POSITION pos = map.GetStartPosition(); pos;) {
        map.GetNextAssoc(pos, key, value);
        EXPECT_TRUE(zv::crt::wtoi(key) % 2 != 0 || map.RemoveKey(key)) << "an even key not removed";
    }
    EXPECT_EQ(map.GetCount(), 1000);
    EXPECT_FALSE(map.RemoveKey(L"0"));
    for (int i = 2000; i < 4000; ++i) // enough to compact the removed entries away
        map.SetAt(std::to_wstring(i).c_str(), L"v");
    CString name(L"0"), withNull(L"ab\0cd", 5);
    map.SetAt(name, withNull);
    name.SetAt(0, L'N');
    map.SetAt(withNull, name);
    const std::vector<std::wstring> entries = EntriesInOrder(map);
    ASSERT_EQ(entries.size(), 3002u);
    EXPECT_EQ(entries.front(), expected[1]);
    EXPECT_EQ(entries[1000], L"2000=v");
    EXPECT_EQ(entries[3000], L"0=ab");
    EXPECT_EQ(entries.back(), L"ab=N");
    EXPECT_EQ(map.PLookup(L"2"), nullptr);
    EXPECT_EQ(map[L"0"], CString(L"ab"));
}

TEST(CMapTest, KeysWithOneHashAreToldApart)
{
    CMap<Colliding, Colliding, int, int> map;
    for (int i = 0; i < 300; ++i)
        map.SetAt(Colliding{i}, i * 10);
    EXPECT_TRUE(map.RemoveKey(Colliding{150}));
    for (int i = 0; i < 300; ++i) {
        int value = -1;
        EXPECT_EQ(map.Lookup(Colliding{i}, value) != 0, i != 150) << i;
        EXPECT_EQ(value, i == 150 ? -1 : i * 10);
    }
}

} // namespace

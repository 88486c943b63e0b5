#include <zvenv/platform/CMap.h>
#include <zvenv/platform/CRuntime.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

// A key whose hash puts every key in one chain, so lookups must tell keys
// apart by comparing them and not by their hash alone.
struct Colliding {
    int id = 0;
    bool operator==(const Colliding& other) const { return id == other.id; }
};

template <> struct std::hash<Colliding> {
    std::size_t operator()(const Colliding&) const noexcept { return 42; }
};

namespace {

std::vector<std::wstring> KeysInOrder(const CMapStringToString& map)
{
    std::vector<std::wstring> keys;
    POSITION pos = map.GetStartPosition();
    while (pos) {
        CString key, value;
        map.GetNextAssoc(pos, key, value);
        keys.push_back(key.str());
    }
    return keys;
}

// Keys come out in the order of insertion through growth, removal while
// iterating and the compaction after; a key or value is its text up to a null, copied.
TEST(CMapTest, IterationKeepsTheOrderOfInsertion)
{
    CMapStringToString map;
    std::vector<std::wstring> expected;
    for (int i = 0; i < 2000; ++i) {
        expected.push_back(std::to_wstring(i * 7919 % 2000));
        map.SetAt(expected.back().c_str(), std::to_wstring(i).c_str());
    }
    ASSERT_EQ(KeysInOrder(map), expected);
    CString key, value;
    for (int i = 0; i < 2000; ++i) {
        ASSERT_TRUE(map.Lookup(expected[static_cast<std::size_t>(i)].c_str(), value));
        EXPECT_EQ(value, CString(std::to_wstring(i)));
    }
    int seen = 0;
    for (POSITION pos = map.GetStartPosition(); pos; ++seen) {
        map.GetNextAssoc(pos, key, value);
        if (zv::crt::wtoi(key) % 2 == 0) {
            EXPECT_TRUE(map.RemoveKey(key));
        }
    }
    EXPECT_EQ(seen, 2000);
    EXPECT_EQ(map.GetCount(), 1000);
    EXPECT_FALSE(map.RemoveKey(L"0"));
    for (int i = 2000; i < 4000; ++i) // enough to compact the removed entries away
        map.SetAt(std::to_wstring(i).c_str(), L"v");
    CString name(L"0"), withNull(L"ab\0cd", 5);
    map.SetAt(name, withNull);
    name.SetAt(0, L'N');
    map.SetAt(withNull, name);
    const std::vector<std::wstring> keys = KeysInOrder(map);
    ASSERT_EQ(keys.size(), 3002u);
    EXPECT_EQ(keys.front(), expected[1]);
    EXPECT_EQ(keys[1000], L"2000");
    EXPECT_EQ(keys[3000], L"0");
    EXPECT_EQ(keys.back(), L"ab");
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

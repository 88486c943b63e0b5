#include <zvenv/platform/CMap.h>
#include <zvenv/platform/CRuntime.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

// A key whose hash puts every key in one chain, so lookups must tell keys
// apart by comparing them and not by their hash alone.
struct Colliding {
    int id = 0;
    bool operator==(const Colliding& other) const { return id == other.id; }
};

} // namespace

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

// Keys come out in the order of their insertion through growth, removal
// while iterating (each key still seen once) and the compaction that follows.
TEST(CMapTest, IterationKeepsTheOrderOfInsertion)
{
    CMapStringToString map;
    std::vector<std::wstring> expected;
    for (int i = 0; i < 2000; ++i) {
        expected.push_back(std::to_wstring(i * 7919 % 2000));
        map.SetAt(expected.back().c_str(), std::to_wstring(i).c_str());
    }
    ASSERT_EQ(KeysInOrder(map), expected);
    for (int i = 0; i < 2000; ++i) {
        CString value;
        ASSERT_TRUE(map.Lookup(expected[static_cast<std::size_t>(i)].c_str(), value));
        EXPECT_EQ(value, CString(std::to_wstring(i)));
    }
    EXPECT_EQ(map.PLookup(L"2000"), nullptr);
    int seen = 0;
    for (POSITION pos = map.GetStartPosition(); pos; ++seen) {
        CString key, value;
        map.GetNextAssoc(pos, key, value);
        if (zv::crt::wtoi(key) % 2 == 0) {
            EXPECT_TRUE(map.RemoveKey(key));
        }
    }
    EXPECT_EQ(seen, 2000);
    EXPECT_EQ(map.GetCount(), 1000);
    EXPECT_FALSE(map.RemoveKey(L"0"));
    // Enough inserts to compact the removed entries away.
    for (int i = 2000; i < 4000; ++i)
        map.SetAt(std::to_wstring(i).c_str(), L"v");
    map[L"0"] = L"back";
    const std::vector<std::wstring> keys = KeysInOrder(map);
    ASSERT_EQ(keys.size(), 3001u);
    EXPECT_EQ(keys.front(), expected[1]);
    EXPECT_EQ(keys[1000], L"2000");
    EXPECT_EQ(keys.back(), L"0");
    EXPECT_EQ(map.PLookup(L"2"), nullptr);
    EXPECT_EQ(map[L"0"], CString(L"back"));
}

TEST(CMapTest, KeysWithOneHashAreToldApart)
{
    CMap<Colliding, Colliding, int, int> map;
    for (int i = 0; i < 300; ++i)
        map.SetAt(Colliding{i}, i * 10);
    ASSERT_EQ(map.GetCount(), 300);
    for (int i = 0; i < 300; ++i) {
        int value = -1;
        ASSERT_TRUE(map.Lookup(Colliding{i}, value)) << i;
        EXPECT_EQ(value, i * 10);
    }
    EXPECT_TRUE(map.RemoveKey(Colliding{150}));
    int value = 0;
    EXPECT_FALSE(map.Lookup(Colliding{150}, value));
    EXPECT_TRUE(map.Lookup(Colliding{151}, value));
    EXPECT_EQ(value, 1510);
}

TEST(CMapTest, StringMapKeepsTextUpToItsFirstNullAndOwnsItsCopy)
{
    CMapStringToString map;
    CString key(L"name"), value(L"first");
    map.SetAt(key, value);
    key.SetAt(0, L'N');
    value += L" changed";
    EXPECT_EQ(map[L"name"], CString(L"first"));
    EXPECT_EQ(map.PLookup(L"Name"), nullptr);
    const CString withNull(L"ab\0cd", 5);
    map.SetAt(withNull, withNull);
    EXPECT_EQ(map.GetCount(), 2);
    EXPECT_EQ(KeysInOrder(map).back(), L"ab");
    EXPECT_EQ(map[L"ab"].GetLength(), 2);
}

} // namespace

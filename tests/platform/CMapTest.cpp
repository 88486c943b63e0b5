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

TEST(CMapTest, GrowthKeepsEveryKeyAndTheOrderOfInsertion)
{
    CMapStringToString map;
    std::vector<std::wstring> expected;
    for (int i = 0; i < 2000; ++i) {
        const std::wstring key = L"key" + std::to_wstring(i * 7919 % 2000);
        map.SetAt(key.c_str(), std::to_wstring(i).c_str());
        expected.push_back(key);
    }
    ASSERT_EQ(map.GetCount(), 2000);
    EXPECT_EQ(KeysInOrder(map), expected);
    for (int i = 0; i < 2000; ++i) {
        CString value;
        ASSERT_TRUE(map.Lookup(expected[static_cast<std::size_t>(i)].c_str(), value));
        EXPECT_EQ(value, CString(std::to_wstring(i)));
    }
    EXPECT_EQ(map.PLookup(L"key2000"), nullptr);
}

TEST(CMapTest, RemovedKeysLeaveIterationAndComeBackAtTheEnd)
{
    CMapStringToString map;
    for (int i = 0; i < 100; ++i)
        map.SetAt(std::to_wstring(i).c_str(), L"v");
    // Remove every other key while iterating; the walk still sees each key once.
    int seen = 0;
    POSITION pos = map.GetStartPosition();
    while (pos) {
        CString key, value;
        map.GetNextAssoc(pos, key, value);
        ++seen;
        if (zv::crt::wtoi(key) % 2 == 0) {
            EXPECT_TRUE(map.RemoveKey(key));
        }
    }
    EXPECT_EQ(seen, 100);
    EXPECT_EQ(map.GetCount(), 50);
    EXPECT_FALSE(map.RemoveKey(L"0"));
    // Enough inserts to compact the removed entries away.
    for (int i = 100; i < 300; ++i)
        map.SetAt(std::to_wstring(i).c_str(), L"v");
    map[L"0"] = L"back";
    const std::vector<std::wstring> keys = KeysInOrder(map);
    ASSERT_EQ(keys.size(), 251u);
    EXPECT_EQ(keys.front(), L"1");
    EXPECT_EQ(keys[49], L"99");
    EXPECT_EQ(keys.back(), L"0");
    EXPECT_EQ(map.PLookup(L"2"), nullptr);
    ASSERT_NE(map.PLookup(L"0"), nullptr);
    EXPECT_EQ(*map.PLookup(L"0"), CString(L"back"));
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
    CString key(L"name");
    CString value(L"first");
    map.SetAt(key, value);
    key.SetAt(0, L'N');
    value += L" changed";
    ASSERT_NE(map.PLookup(L"name"), nullptr);
    EXPECT_EQ(*map.PLookup(L"name"), CString(L"first"));
    EXPECT_EQ(map.PLookup(L"Name"), nullptr);

    const CString withNull(L"ab\0cd", 5);
    map.SetAt(withNull, withNull);
    ASSERT_NE(map.PLookup(L"ab"), nullptr);
    EXPECT_EQ(map.PLookup(L"ab")->GetLength(), 2);
    EXPECT_EQ(map.GetCount(), 2);
    EXPECT_EQ(KeysInOrder(map).back(), L"ab");
}

} // namespace

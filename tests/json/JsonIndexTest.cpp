// Members found by name through an object's index must be the members a walk
// of the list in order would find, whatever changed the list or the names.
#include "JsonTestUtil.h"
#include "json/JsonMerge.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

using namespace jsontest;

// The first member named name by walking the list, or -1.
int WalkFind(JsonNode object, const std::wstring& name)
{
    for (int i = 0; i < JsonGetSize(object); ++i)
        if (Name(Child(object, i)) == name)
            return i;
    return -1;
}

int IndexFind(JsonNode object, const std::wstring& name)
{
    JsonIterator it = JsonFindChild(object, name.c_str());
    return it == JsonEnd(object) ? -1 : static_cast<int>(it - JsonBegin(object));
}

// Every name of a small pool, present or not, is found where the walk finds it.
void ExpectAgrees(JsonNode object, int pool, const std::string& step)
{
    for (int n = 0; n < pool; ++n) {
        const std::wstring name = L"m" + std::to_wstring(n);
        ASSERT_EQ(WalkFind(object, name), IndexFind(object, name)) << step << ", name m" << n;
    }
}

// Random appends, erases, renames (to names in use too, so duplicates come
// and go), clears and copies on write, each followed by a check of every name.
TEST(JsonNameIndex, AgreesWithAWalkThroughEveryKindOfChange)
{
    constexpr int kPool = 60;
    std::mt19937 random(7);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    JsonNode object = JsonParse(L"{}");
    std::vector<JsonNode> copies;
    for (int i = 0; i < 40; ++i)
        JsonPushBack(object, JsonNewString((L"m" + std::to_wstring(i)).c_str(), L"v"));
    ExpectAgrees(object, kPool, "built");
    for (int step = 0; step < 600; ++step) {
        const int size = JsonGetSize(object);
        const int op = pick(10);
        std::string what;
        if (op < 3 || size < 20) {
            what = "append";
            JsonPushBack(object, JsonNewString((L"m" + std::to_wstring(pick(kPool))).c_str(), L"v"));
        } else if (op < 5) {
            what = "erase";
            JsonErase(object, JsonBegin(object) + pick(size));
        } else if (op < 8) {
            what = "rename";
            JsonSetName(Child(object, pick(size)), (L"m" + std::to_wstring(pick(kPool))).c_str());
        } else if (op < 9) {
            // A kept copy shares the body; the next change copies the list.
            what = "copy";
            copies.push_back(JsonKeepCopy(object));
            JsonSetName(Child(object, pick(size)), L"m0");
        } else {
            what = step % 50 == 9 ? "clear" : "erase by name";
            if (what == "clear")
                JsonClearChildren(object);
            else
                JsonErase(object, JsonFindChild(object, (L"m" + std::to_wstring(pick(kPool))).c_str()));
        }
        ExpectAgrees(object, kPool, "step " + std::to_string(step) + " " + what);
    }
    for (JsonNode copy : copies)
        ExpectAgrees(copy, kPool, "kept copy");
    for (JsonNode copy : copies)
        JsonDeleteNode(copy);
    JsonDeleteNode(object);
}

// The merge reorders the members of an object that was searched before.
TEST(JsonNameIndex, AgreesAfterAMergeReordersTheMembers)
{
    std::wstring base = L"{", theirs = L"{";
    for (int i = 0; i < 30; ++i) {
        base += (i ? L"," : L"") + std::wstring(L"\"m") + std::to_wstring(i) + L"\":" + std::to_wstring(i);
        theirs += (i ? L"," : L"") + std::wstring(L"\"m") + std::to_wstring(29 - i) + L"\":" + std::to_wstring(i);
    }
    theirs += L",\"m40\":1}";
    base += L"}";
    JsonNode mine = JsonParse(base.c_str());
    JsonNode kept = JsonKeepCopy(mine);
    JsonNode other = JsonParse(theirs.c_str());
    JsonNode detached = JsonNewNode(JsonArray);
    ExpectAgrees(mine, 50, "before");
    JsonSetName(*JsonFindChild(mine, L"m3"), L"m45");
    JsonMergeTheirs(mine, kept, other, detached);
    ExpectAgrees(mine, 50, "after the merge");
    EXPECT_EQ(0, IndexFind(mine, L"m29"));
    for (JsonNode node : {mine, kept, other, detached})
        JsonDeleteNode(node);
}

} // namespace

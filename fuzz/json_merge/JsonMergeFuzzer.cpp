// Head: the valid document both sides start from; tail: each side's reads and changes.
// Unchanged ours gives theirs, unchanged theirs leaves ours, a second merge is a no-op; a lookup
// by name finds the first member of the name.
#include <zvenv/platform/CString.h>

#include "FuzzInput.h"
#include "JsonTree.h"
#include "json/Json.h"
#include "json/JsonMerge.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

extern "C" int JSONCPP_Parse(const wchar_t* text, CString* error, int flag);

using namespace jsontest;
using zvfuzz::Check;
using zvfuzz::FuzzInput;

namespace {

// Containers reached walking down from the root, reading as a host does.
std::vector<JsonNode> Walk(JsonNode root, FuzzInput& in)
{
    std::vector<JsonNode> found{root};
    for (int depth = in.Range(0, 6); depth > 0; --depth) {
        const int size = JsonGetSize(found.back());
        if (size == 0)
            break;
        JsonNode child = JsonBegin(found.back())[in.Range(0, static_cast<std::uint32_t>(size - 1))];
        Value(child);
        if (JsonGetType(child) != JsonArray && JsonGetType(child) != JsonObject)
            break;
        found.push_back(child);
    }
    return found;
}

// The tree's text, members sorted by name (the merge may reorder them).
std::wstring Canonical(JsonNode node)
{
    const JsonNodeType type = JsonGetType(node);
    if (type != JsonArray && type != JsonObject)
        return std::to_wstring(type) + L":" + Value(node);
    std::vector<std::pair<std::wstring, std::wstring>> members;
    std::size_t longest = 0;
    for (JsonIterator it = JsonBegin(node), end = JsonEnd(node); it != end; ++it) {
        members.emplace_back(type == JsonObject ? Name(*it) : std::wstring(), Canonical(*it));
        const std::wstring& name = members.back().first;
        longest = std::max(longest, name.size());
        const JsonIterator first = name.find(L'\0') == name.npos ? JsonFindChild(node, name.c_str()) : it;
        Check(type == JsonArray || (first <= it && Name(*first) == name), "lookup misses the first of a name", name);
    }
    const std::wstring absent(longest + 1, L'~'); // longer than every name
    Check(type == JsonArray || JsonFindChild(node, absent.c_str()) == JsonEnd(node), "lookup finds a missing name");
    if (type == JsonObject)
        std::stable_sort(members.begin(), members.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
    std::wstring out = type == JsonObject ? L"{" : L"[";
    for (const auto& [name, value] : members)
        out += name + L"=" + value + L",";
    return out + (type == JsonObject ? L"}" : L"]");
}

const wchar_t kNames[] = L"abcxyz";

// Up to five changes in containers found by walking; whether anything changed.
bool Change(JsonNode root, FuzzInput& in)
{
    bool changed = false;
    for (int edits = in.Range(0, 5); edits > 0; --edits) {
        const std::vector<JsonNode> path = Walk(root, in);
        JsonNode node = path[in.Range(0, static_cast<std::uint32_t>(path.size() - 1))];
        const int size = JsonGetSize(node);
        JsonNode child = size > 0 ? JsonBegin(node)[in.Range(0, static_cast<std::uint32_t>(size - 1))] : nullptr;
        const std::uint32_t op = in.Range(0, 4);
        if (op < 3 && !child)
            continue;
        if (op == 0)
            JsonSetInt(child, static_cast<std::int32_t>(in.Range(0, 9)));
        else if (op == 1 && JsonGetType(node) == JsonObject)
            JsonSetName(child, in.Text(kNames, 2).c_str());
        else if (op == 1)
            continue;
        else if (op == 2)
            JsonErase(node, JsonFindChild(node, Name(child).c_str()));
        else {
            // The value is read before the name, so every compiler builds the same tree from one input.
            const std::wstring value = in.Text(kNames, 3);
            const std::wstring name = JsonGetType(node) == JsonObject ? in.Text(kNames, 2) : L"";
            JsonPushBack(node, JsonNewString(name.c_str(), value.c_str()));
        }
        changed = true;
    }
    return changed;
}

// A tree read from the text and changed as the input says, read whole.
std::wstring ChangedValue(const std::wstring& text, FuzzInput in)
{
    JsonNode root = JsonParse(text.c_str());
    Change(root, in);
    const std::wstring value = Canonical(root);
    JsonDeleteNode(root);
    return value;
}

} // namespace

// Trees are read whole only after the merge, on copies made by replaying the changes.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput in(data, size);
    const std::wstring text = zvfuzz::DecodeText(in.TakeDocument());
    CString error;
    JsonNode mine = JSONCPP_Parse(text.c_str(), &error, 1) == 1 ? JsonParse(text.c_str()) : nullptr;
    if (!mine)
        return 0;
    JsonNode base = JsonKeepCopy(mine);
    const FuzzInput oursInput = in;
    const bool oursChanged = Change(mine, in);
    // Handles a host holds over the save.
    std::vector<JsonNode> handles;
    for (int walks = in.Range(0, 3); walks > 0; --walks)
        for (JsonNode node : Walk(mine, in))
            handles.push_back(node);
    JsonNode theirs = JsonParse(text.c_str());
    const FuzzInput theirsInput = in;
    const bool theirsChanged = Change(theirs, in);

    JsonNode detached = JsonNewNode(JsonArray);
    JsonMergeTheirs(mine, base, theirs, detached);

    const std::wstring merged = Canonical(mine);
    const std::wstring theirsAfter = Canonical(theirs);
    Check(theirsAfter == ChangedValue(text, theirsInput), "the merge changed their tree", theirsAfter);
    JsonNode original = JsonParse(text.c_str());
    Check(Canonical(base) == Canonical(original), "the kept copy saw a change of the original", Canonical(base));
    JsonDeleteNode(original);
    if (!oursChanged)
        Check(merged == theirsAfter, "unchanged ours did not become theirs", merged + L" / " + theirsAfter);
    if (!theirsChanged)
        Check(merged == ChangedValue(text, oursInput), "unchanged theirs changed ours", merged);

    JsonMergeTheirs(mine, theirs, theirs, detached);
    Check(Canonical(mine) == merged, "a second merge of the same version changed the tree");
    for (JsonNode handle : handles) {
        Name(handle);
        Value(handle);
        JsonGetSize(handle);
    }
    for (JsonNode node : {detached, theirs, base, mine})
        JsonDeleteNode(node);
    return 0;
}

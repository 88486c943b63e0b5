// The JSON engine and the validator on arbitrary text. The input's head is
// the document (UTF-8, or UTF-16 after a 0xFF 0xFE mark), its tail picks
// edits. The engine must read every value of whatever it accepts, and its
// writer must be stable: text it wrote that the validator accepts parses back
// and writes again to the same text, before and after edits. A second handle
// on the tree must not see the edits made through the first.
#include <zvenv/platform/CString.h>
#include <zvenv/platform/Text.h>

#include "FuzzInput.h"
#include "json/Json.h"

#include <string>
#include <utility>
#include <vector>

extern "C" int JSONCPP_Parse(const wchar_t* text, CString* error, int flag);

using zvfuzz::Check;

namespace {

std::wstring Take(wchar_t* text)
{
    std::wstring copy = text ? text : L"";
    JsonFreeString(text);
    return copy;
}

// Reads every node of the tree, without recursion so that deep nesting does
// not run out of stack; answers the nodes in the order they were read.
std::vector<JsonNode> ReadAll(JsonNode root)
{
    std::vector<JsonNode> nodes;
    std::vector<JsonNode> pending{root};
    while (!pending.empty()) {
        JsonNode node = pending.back();
        pending.pop_back();
        nodes.push_back(node);
        const JsonNodeType type = JsonGetType(node);
        Check(type <= JsonObject, "unknown node type");
        Take(JsonGetName(node));
        Take(JsonGetString(node));
        const int size = JsonGetSize(node);
        if (type != JsonArray && type != JsonObject)
            continue;
        JsonIterator begin = JsonBegin(node);
        JsonIterator end = JsonEnd(node);
        if (JsonGetType(node) != JsonArray && JsonGetType(node) != JsonObject) {
            // A malformed container becomes null when its children are fetched.
            Check(begin == end, "a container turned null keeps children");
            continue;
        }
        Check(end - begin == JsonGetSize(node), "child count differs from the size");
        Check(size == JsonGetSize(node) || size == 0, "size changed by fetching");
        for (JsonIterator it = begin; it != end; ++it) {
            Check(*it != nullptr, "a null child");
            if (JsonGetType(node) == JsonObject) {
                // The search gives a member of that name or the end: a name
                // holding a null (an escape such as \u0000) reads cut there.
                const std::wstring name = Take(JsonGetName(*it));
                JsonIterator found = JsonFindChild(node, name.c_str());
                Check(found && found >= begin && found <= end, "a member search went astray", name);
                Check(found == end || Take(JsonGetName(*found)) == name, "found a member of another name", name);
            }
            pending.push_back(*it);
        }
    }
    return nodes;
}

bool Accepted(const std::wstring& text)
{
    CString error;
    const int valid = JSONCPP_Parse(text.c_str(), &error, 1);
    Check(valid == 0 || valid == 1, "validator result is neither 0 nor 1");
    Check(valid == 1 || !error.IsEmpty(), "rejected without a description");
    return valid == 1;
}

// Text the writer produced, once accepted, is a fixed point of parse and write.
void CheckWriterStable(const std::wstring& written)
{
    if (!Accepted(written))
        return;
    JsonNode again = JsonParse(written.c_str());
    Check(again != nullptr, "the engine rejects what it wrote", written);
    ReadAll(again);
    const std::wstring rewritten = Take(JsonWriteFormatted(again));
    JsonDeleteNode(again);
    Check(rewritten == written, "writing the parsed text again changes it", written + L"\n----\n" + rewritten);
}

const wchar_t* const kTexts[] = {L"", L"x", L"\"q\"", L"a\\b", L"\U0001F600", L"\xD800", L"*/", L"//", L"\n", L"0x1F"};

void Edit(zvfuzz::FuzzInput& in, JsonNode root)
{
    const std::vector<JsonNode> nodes = ReadAll(root);
    JsonNode node = nodes[in.Range(0, static_cast<std::uint32_t>(nodes.size() - 1))];
    switch (in.Range(0, 8)) {
    case 0:
        JsonSetName(node, in.Pick(kTexts));
        break;
    case 1:
        JsonSetString(node, in.Pick(kTexts));
        break;
    case 2:
        JsonSetInt(node, static_cast<std::int32_t>(in.Range(0, 0xFFFFFFFFu)));
        break;
    case 3:
        JsonSetBool(node, in.Flag());
        break;
    case 4:
    case 5: {
        JsonNode child = in.Flag() ? JsonNewString(in.Pick(kTexts), in.Pick(kTexts))
                                   : JsonNewNode(static_cast<JsonNodeType>(in.Range(0, 5)));
        JsonBegin(node); // fetched first: a malformed container turns null here
        const bool container = JsonGetType(node) == JsonArray || JsonGetType(node) == JsonObject;
        const int before = JsonGetSize(node);
        JsonPushBack(node, child);
        // A container takes the child over; any other node leaves it with us.
        Check(JsonGetSize(node) == before + (container ? 1 : 0), "append changed the size wrongly");
        if (!container)
            JsonDeleteNode(child);
        break;
    }
    case 6: {
        const int size = JsonGetSize(node);
        JsonIterator begin = JsonBegin(node);
        if (begin && size > 0) {
            JsonIterator next = JsonErase(node, begin + in.Range(0, static_cast<std::uint32_t>(size - 1)));
            Check(next >= JsonBegin(node) && next <= JsonEnd(node), "erase answers a slot outside the list");
        }
        break;
    }
    case 7:
        JsonClearChildren(node);
        Check(JsonGetSize(node) == 0, "children left after clearing");
        break;
    default: {
        JsonNode array = JsonAsArray(node);
        if (array) {
            ReadAll(array);
            Take(JsonWriteFormatted(array));
            JsonDeleteNode(array);
        }
        break;
    }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    zvfuzz::FuzzInput in(data, size);
    const std::string bytes = in.TakeDocument();
    const std::wstring text = zvfuzz::DecodeText(bytes);

    Accepted(text);
    JsonNode root = JsonParse(text.c_str());
    if (!root)
        return 0;
    ReadAll(root);
    const std::wstring written = Take(JsonWriteFormatted(root));
    CheckWriterStable(written);

    // A second handle on an array shares its body until one of them changes.
    JsonNode shared = JsonAsArray(root);
    const std::wstring sharedBefore = shared ? Take(JsonWriteFormatted(shared)) : std::wstring();
    const int edits = in.Range(0, 4);
    for (int i = 0; i < edits; ++i)
        Edit(in, root);
    CheckWriterStable(Take(JsonWriteFormatted(root)));
    if (shared) {
        Check(Take(JsonWriteFormatted(shared)) == sharedBefore, "an edit shows through another handle");
        JsonDeleteNode(shared);
    }
    JsonDeleteNode(root);
    return 0;
}

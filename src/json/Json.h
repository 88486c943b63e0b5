#pragma once

#include <cstddef>
#include <cstdint>

// The JSON tree engine: reference-counted nodes with copy on write and lazy,
// one-level-at-a-time parsing, reached through flat functions over opaque
// handles. Internal to ZvEnvMgr. Strings returned by the engine are freed
// with JsonFreeString. No function throws.
using JsonNode = void*;      // a handle: one counted reference to a node body
using JsonIterator = void**; // one slot of a parent's child list

enum JsonNodeType : std::uint8_t {
    JsonNull = 0,
    JsonString = 1,
    JsonNumber = 2,
    JsonBoolean = 3,
    JsonArray = 4,
    JsonObject = 5,
};

JsonNode JsonParse(const wchar_t* text);
JsonNode JsonNewNode(JsonNodeType type);
JsonNode JsonNewString(const wchar_t* name, const wchar_t* value);
void JsonDeleteNode(JsonNode node);
void JsonFreeString(wchar_t* text);

JsonNodeType JsonGetType(JsonNode node);
int JsonGetSize(JsonNode node);
// A new copy of the name or value text. Both may hold U+0000, which cuts the
// C string: with length set, it receives the whole text's length.
wchar_t* JsonGetName(JsonNode node, std::size_t* length = nullptr);
wchar_t* JsonGetString(JsonNode node, std::size_t* length = nullptr);
// The value text without a copy: valid until the node changes or is freed.
const wchar_t* JsonPeekString(JsonNode node, std::size_t* length);

void JsonSetName(JsonNode node, const wchar_t* name);
void JsonSetString(JsonNode node, const wchar_t* value);
void JsonSetInt(JsonNode node, std::int32_t value);
void JsonSetBool(JsonNode node, int value);

// Appends child to an array or object, which takes the handle over; returns
// 0 and leaves child with the caller when parent is no container or when a
// container in child would stand deeper than kMaxDepth (JsonGrammar.h).
int JsonPushBack(JsonNode parent, JsonNode child);
void JsonClearChildren(JsonNode node);
JsonIterator JsonBegin(JsonNode node);
JsonIterator JsonEnd(JsonNode node);
JsonIterator JsonFindChild(JsonNode node, const wchar_t* name);
JsonIterator JsonErase(JsonNode node, JsonIterator it);
JsonNode JsonAsArray(JsonNode node);

wchar_t* JsonWriteFormatted(JsonNode node);

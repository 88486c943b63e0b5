#pragma once

#include "json/Json.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

// The engine's node bodies and the pieces of the parser that the node model
// calls when it fetches. Shared by JsonNode.cpp, JsonParser.cpp and
// JsonWriter.cpp only.
namespace zv::json {

constexpr std::uint32_t kNotFound = 0xFFFFFFFFu;

// Stands in the stripped text where a comment stood, followed by the
// comment's length in two 16-bit units (high, low) and its text. Outside
// strings a checked document holds no "#", and the length lets every reader
// step over the comment, so a comment may hold any character and the scheme
// works whatever the width of wchar_t.
constexpr wchar_t kCommentMark = L'#';
// Follows a backslash in the stripped text where the input had an escaped
// double quote, so that no scan takes it for the end of the string.
constexpr wchar_t kQuoteMark = static_cast<wchar_t>(0x0001);

// An opening bracket of the stripped text and the bracket of the same kind
// that closes it, found once during the stripping pass so that a node's
// splitter jumps over nested values instead of walking them again.
struct BracketPair {
    std::uint32_t open;
    std::uint32_t close; // kNotFound when the text ends first
    std::uint32_t next;  // index of the first pair opened after close
};

// The stripped text of one parsed document, shared by every node that has not
// been read yet.
struct StrippedText {
    std::uint32_t refs = 1;
    std::uint32_t size = 0;
    wchar_t* text = nullptr; // C allocator
    std::vector<BracketPair> brackets;

    StrippedText() = default;
    StrippedText(const StrippedText&) = delete;
    StrippedText& operator=(const StrippedText&) = delete;
    ~StrippedText() { std::free(text); }
};

struct Handle;

// Where an object's members stand by name: an open-addressing table of the
// place of the first member with each name, built when the object is first
// searched and kept up to date by every change to the list or to a member's
// name after that.
struct NameIndex {
    struct Slot {
        std::uint32_t hash;
        std::uint32_t place; // kNotFound: empty; kRemoved: a name that left
    };
    static constexpr std::uint32_t kRemoved = 0xFFFFFFFEu;
    std::vector<Slot> slots; // a power of two in size
    std::uint32_t used = 0;  // slots that are not empty, removed ones included
};

struct ChildList {
    void** items = nullptr; // Handle* slots, malloc'd
    std::uint32_t count = 0;
    std::uint32_t capacity = 0;
    NameIndex* index = nullptr; // objects that have been searched by name

    ChildList() = default;
    ChildList(const ChildList&) = delete;
    ChildList& operator=(const ChildList&) = delete;
    ~ChildList() { delete index; }
};

struct NodeBody {
    JsonNodeType type = JsonNull;
    bool nameEscaped = false;
    bool valueEscaped = false;
    bool fetched = true;
    std::uint32_t refs = 1;
    std::wstring name;
    std::wstring value;
    std::wstring comment;
    ChildList* children = nullptr; // arrays and objects only
    // While unread, the value text is this slice of the document's stripped
    // text. Fetching turns it into value or children and drops the slice,
    // except for numbers and strings without escapes, whose value is the
    // slice itself (a string's without its quotes).
    StrippedText* source = nullptr;
    std::uint32_t offset = 0;
    std::uint32_t length = 0;
    std::uint32_t bracket = 0; // unread arrays and objects: their BracketPair
    // How deep the node stands: 1 for a root, one more for each container
    // around it. A container may not stand deeper than kMaxDepth.
    std::uint32_t level = 1;
    // A body made together with a handle shares one allocation with it.
    void* block = nullptr;  // that allocation, or null for a body of its own
    Handle* host = nullptr; // the handle of the block while that handle lives
};

struct Handle {
    NodeBody* body;
    NodeBody* hosted = nullptr; // the body of this handle's block while it lives
    bool inBlock = false;
    ChildList* owner = nullptr; // the list that holds this handle, if any
};

inline Handle* AsHandle(JsonNode node)
{
    return static_cast<Handle*>(node);
}
inline bool IsContainer(JsonNodeType type)
{
    return type == JsonArray || type == JsonObject;
}

// The value text as the node model defines it: the slice, or the value.
inline std::wstring_view ValueText(const NodeBody* body)
{
    if (body->source)
        return std::wstring_view(body->source->text + body->offset, body->length);
    return body->value;
}

// Node model (JsonNode.cpp).
// A new handle to a new body of the given type, in one allocation.
Handle* NewNode(JsonNodeType type);
void ReleaseSource(StrippedText* source);
void ReleaseBody(NodeBody* body);
void ReleaseHandle(Handle* handle);
void AppendChild(NodeBody* parent, Handle* child);
void BecomeNull(NodeBody* body);
void Fetch(NodeBody* body);
// A body to keep beside the original (JsonKeepCopy), with one reference for
// the caller: the original itself for a scalar or an unread subtree.
NodeBody* KeepCopyBody(NodeBody* from);
// A private copy of the subtree, read whole, that keeps no document text
// alive: every value is held by its own body.
NodeBody* OwnedCopyBody(NodeBody* from);

// Members by name (JsonIndex.cpp). Lists below kIndexedSize members are
// searched in order and get no index.
constexpr std::uint32_t kIndexedSize = 16;
// The place of the first member named name, or kNotFound; builds the index.
std::uint32_t FindMember(ChildList* list, std::wstring_view name);
// Keeps an existing index right: after a handle was appended at place; before
// the member at place is erased (the list still holds it); after a member's
// name changed from oldName; and after the list was reordered at will.
void IndexAppended(ChildList* list, std::uint32_t place);
void IndexErasing(ChildList* list, std::uint32_t place);
void IndexRenamed(Handle* member, std::wstring_view oldName);
void DropIndex(ChildList* list);
// A copy of from's index for a list that holds the same names in the same
// order; null when from has none.
NameIndex* CopyIndex(const ChildList* from);

// Parser (JsonParser.cpp).
// The root of a text that the grammar accepts, or null.
Handle* ParseDocument(const wchar_t* text);
// Reads an unread array's or object's children from its slice, which the
// grammar has accepted when the document was parsed.
void SplitChildren(NodeBody* body);
// The number of nested container levels in the unread slice of a body: 1 for
// an array or object without containers inside.
std::uint32_t SliceHeight(const NodeBody* body);
// Resolves the escapes of a string's or name's text; true when the text held
// a backslash escape.
bool Unescape(std::wstring_view text, std::wstring& out);

} // namespace zv::json

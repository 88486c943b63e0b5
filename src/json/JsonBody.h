#pragma once

#include "json/Json.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
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

// A node's name or value: a slice of the document's stripped text (the body
// then holds a reference to that text in its source), a literal of static
// storage, or a buffer of its own from the C allocator. A slice costs no
// allocation, which is what most names and unread values are.
class BodyText {
public:
    BodyText() = default;
    BodyText(const BodyText& other) { CopyFrom(other); }
    BodyText& operator=(const BodyText& other)
    {
        if (this != &other) {
            Free();
            CopyFrom(other);
        }
        return *this;
    }
    ~BodyText() { Free(); }
    BodyText& operator=(std::wstring_view text)
    {
        Assign(text);
        return *this;
    }

    std::wstring_view View() const { return std::wstring_view(m_data ? m_data : L"", m_length); }
    operator std::wstring_view() const { return View(); }
    bool empty() const { return m_length == 0; }
    friend bool operator==(const BodyText& a, const BodyText& b) { return a.View() == b.View(); }
    const wchar_t* data() const { return m_data; }
    std::uint32_t size() const { return m_length; }
    bool IsSlice() const { return m_kind == kSlice; }

    // A copy of text in a buffer of its own.
    void Assign(std::wstring_view text);
    // Text that outlives the body: a string literal.
    void AssignStatic(std::wstring_view literal) { Set(literal.data(), literal.size(), kStatic); }
    // Text inside the stripped text that the body's source holds.
    void AssignSlice(const wchar_t* at, std::uint32_t length) { Set(at, length, kSlice); }
    void Clear() { Set(nullptr, 0, kStatic); }

private:
    enum Kind : std::uint8_t { kStatic, kSlice, kOwned };
    void Set(const wchar_t* at, std::size_t length, Kind kind)
    {
        Free();
        m_data = at;
        m_length = static_cast<std::uint32_t>(length);
        m_kind = kind;
    }
    void Free()
    {
        if (m_kind == kOwned)
            std::free(const_cast<wchar_t*>(m_data));
        m_kind = kStatic;
    }
    void CopyFrom(const BodyText& other)
    {
        if (other.m_kind == kOwned) {
            Assign(other.View());
            return;
        }
        m_data = other.m_data;
        m_length = other.m_length;
        m_kind = other.m_kind;
    }

    const wchar_t* m_data = nullptr;
    std::uint32_t m_length = 0;
    Kind m_kind = kStatic;
};

// A node's comment, with no storage when there is none: most nodes have none.
class NodeComment {
public:
    NodeComment() = default;
    NodeComment(const NodeComment& other) { *this = other; }
    NodeComment(NodeComment&&) noexcept = default;
    NodeComment& operator=(const NodeComment& other)
    {
        if (this != &other)
            m_text = other.empty() ? nullptr : std::make_unique<std::wstring>(*other.m_text);
        return *this;
    }
    NodeComment& operator=(NodeComment&&) noexcept = default;
    NodeComment& operator=(std::wstring_view text)
    {
        if (text.empty())
            m_text.reset();
        else
            Text().assign(text);
        return *this;
    }

    bool empty() const { return !m_text || m_text->empty(); }
    const std::wstring& Get() const { return m_text ? *m_text : None(); }
    operator const std::wstring&() const { return Get(); }
    friend bool operator==(const NodeComment& a, const NodeComment& b) { return a.Get() == b.Get(); }
    friend std::wstring operator+(const wchar_t* left, const NodeComment& right) { return left + right.Get(); }
    // The text, made empty first when there is none.
    std::wstring& Text()
    {
        if (!m_text)
            m_text = std::make_unique<std::wstring>();
        return *m_text;
    }

private:
    static const std::wstring& None()
    {
        static const std::wstring none;
        return none;
    }
    std::unique_ptr<std::wstring> m_text;
};

struct NodeBody {
    std::uint32_t refs = 1;
    // How deep the node stands: 1 for a root, one more for each container
    // around it. A container may not stand deeper than kMaxDepth.
    std::uint32_t level = 1;
    std::uint32_t bracket = 0; // unread arrays and objects: their BracketPair
    JsonNodeType type = JsonNull;
    bool nameEscaped = false;
    bool valueEscaped = false;
    bool fetched = true;
    // A body made together with a handle shares one allocation with it; the
    // block is freed with the second of the two.
    bool inBlock = false;
    bool blockHandleAlive = false;
    // A name as the file had it (no escapes) stays a slice of the document's
    // text until the member is renamed.
    BodyText name;
    // While unread, the value is a slice of the document's stripped text.
    // Fetching turns it into a value of its own or children and drops the
    // slice, except for numbers and strings without escapes, whose value is
    // the slice itself (a string's without its quotes).
    BodyText value;
    // Held while the name or the value is a slice of it.
    StrippedText* source = nullptr;
    NodeComment comment;
    ChildList* children = nullptr; // arrays and objects only
};

struct Handle {
    NodeBody* body;
    ChildList* owner = nullptr; // the list that holds this handle, if any
    bool inBlock = false;
    bool blockBodyAlive = false; // in a block: the body made with it still lives
};

inline Handle* AsHandle(JsonNode node)
{
    return static_cast<Handle*>(node);
}
inline bool IsContainer(JsonNodeType type)
{
    return type == JsonArray || type == JsonObject;
}

// The value text as the node model defines it, wherever it is kept.
inline std::wstring_view ValueText(const NodeBody* body)
{
    return body->value.View();
}

// Where the unread value of body starts in its source's text.
inline std::uint32_t SliceOffset(const NodeBody* body)
{
    return static_cast<std::uint32_t>(body->value.data() - body->source->text);
}

// Node model (JsonNode.cpp).
// A new handle to a new body of the given type, in one allocation.
Handle* NewNode(JsonNodeType type);
void ReleaseSource(StrippedText* source);
// Gives body a reference to source for slices of it, unless it holds one.
void HoldSource(NodeBody* body, StrippedText* source);
// Lets go of body's source when neither its name nor its value is a slice.
void ReleaseUnusedSource(NodeBody* body);
void ReleaseBody(NodeBody* body);
void ReleaseHandle(Handle* handle);
void AppendChild(NodeBody* parent, Handle* child);
void BecomeNull(NodeBody* body);
void Fetch(NodeBody* body);
// Copies (JsonCopy.cpp).
// The fields of from, with a reference to its text, without its children.
void CopyFields(const NodeBody* from, NodeBody* to);
// A private copy of a body and of the whole subtree below it.
NodeBody* CloneBody(const NodeBody* from);
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

#include "json/Json.h"
#include "json/JsonBody.h"
#include "json/JsonGrammar.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <new>
#include <utility>

namespace zv::json {

namespace {

// A handle and the body it was made with, allocated together: most handles
// keep their first body for life, and a reader of one then finds the other
// next to it. Either may go first; the block is freed with the second. Each
// finds the other by its place in the block, so neither holds a pointer.
struct NodeBlock {
    Handle handle;
    alignas(NodeBody) unsigned char body[sizeof(NodeBody)];
};

NodeBlock* BlockOf(NodeBody* body)
{
    return reinterpret_cast<NodeBlock*>(reinterpret_cast<unsigned char*>(body) - offsetof(NodeBlock, body));
}

// Destroys a body whose contents are released and frees its memory, or
// leaves that to the handle it shares a block with.
void DisposeBody(NodeBody* body)
{
    if (!body->inBlock) {
        delete body;
        return;
    }
    NodeBlock* block = BlockOf(body);
    const bool handleAlive = body->blockHandleAlive;
    body->~NodeBody();
    if (handleAlive)
        block->handle.blockBodyAlive = false;
    else
        delete block;
}

void DisposeHandle(Handle* handle)
{
    if (!handle->inBlock) {
        delete handle;
        return;
    }
    auto* block = reinterpret_cast<NodeBlock*>(handle);
    if (handle->blockBodyAlive) {
        // The body, still referenced, frees the block.
        std::launder(reinterpret_cast<NodeBody*>(block->body))->blockHandleAlive = false;
        return;
    }
    delete block;
}

} // namespace

Handle* NewNode(JsonNodeType type)
{
    auto* block = new NodeBlock;
    NodeBody* body = new (block->body) NodeBody;
    body->inBlock = true;
    body->blockHandleAlive = true;
    body->type = type;
    if (IsContainer(type))
        body->children = new ChildList;
    Handle* handle = &block->handle;
    handle->body = body;
    handle->inBlock = true;
    handle->blockBodyAlive = true;
    return handle;
}

void BodyText::Assign(std::wstring_view text)
{
    if (text.empty()) {
        Clear();
        return;
    }
    auto* copy = static_cast<wchar_t*>(std::malloc(text.size() * sizeof(wchar_t)));
    if (!copy)
        throw std::bad_alloc();
    std::wmemcpy(copy, text.data(), text.size());
    Set(copy, text.size(), kOwned);
}

void ReleaseSource(StrippedText* source)
{
    if (source && --source->refs == 0)
        delete source;
}

void HoldSource(NodeBody* body, StrippedText* source)
{
    if (body->source)
        return;
    body->source = source;
    ++source->refs;
}

void ReleaseUnusedSource(NodeBody* body)
{
    if (!body->source || body->name.IsSlice() || body->value.IsSlice())
        return;
    ReleaseSource(body->source);
    body->source = nullptr;
}

namespace {

void DropSlice(NodeBody* body)
{
    if (body->value.IsSlice())
        body->value.Clear();
    ReleaseUnusedSource(body);
}

// Releases every child handle of the list and frees the list. Bodies that
// lose their last reference take their own lists along, through an explicit
// stack, so that the depth of the tree stays off the call stack.
void ReleaseChildList(ChildList* list)
{
    std::vector<ChildList*> pending;
    for (;;) {
        for (std::uint32_t i = 0; i < list->count; ++i) {
            auto* child = static_cast<Handle*>(list->items[i]);
            NodeBody* body = child->body;
            if (--body->refs == 0) {
                if (body->children)
                    pending.push_back(body->children);
                body->children = nullptr;
                ReleaseSource(body->source);
                DisposeBody(body);
            }
            DisposeHandle(child);
        }
        std::free(list->items);
        delete list;
        if (pending.empty())
            return;
        list = pending.back();
        pending.pop_back();
    }
}

void DropChildren(NodeBody* body)
{
    ChildList* list = body->children;
    body->children = nullptr;
    if (list)
        ReleaseChildList(list);
}

// Frees a body whose last reference is gone, with everything below it.
void DestroyBody(NodeBody* body)
{
    DropChildren(body);
    ReleaseSource(body->source);
    DisposeBody(body);
}

} // namespace

namespace {

// Gives the handle a body of its own before a change. With withChildren
// false the copy starts with an empty child list, for changes that are about
// to drop the children anyway.
void MakeUnique(Handle* handle, bool withChildren = true)
{
    NodeBody* body = handle->body;
    if (body->refs <= 1)
        return;
    NodeBody* copy;
    if (withChildren || !body->children) {
        copy = CloneBody(body);
    } else {
        copy = new NodeBody;
        CopyFields(body, copy);
        copy->children = new ChildList;
    }
    --body->refs;
    handle->body = copy;
}

// The number of container levels in the subtree of body: 0 for a value that
// is no container, 1 for a container with no container inside.
std::uint32_t Height(NodeBody* body)
{
    std::uint32_t height = 0;
    std::vector<std::pair<const NodeBody*, std::uint32_t>> pending{{body, 1}};
    while (!pending.empty()) {
        auto [node, level] = pending.back();
        pending.pop_back();
        if (!IsContainer(node->type))
            continue;
        if (!node->fetched) {
            height = std::max(height, level - 1 + SliceHeight(node));
            continue;
        }
        height = std::max(height, level);
        for (std::uint32_t i = 0; i < node->children->count; ++i)
            pending.emplace_back(static_cast<Handle*>(node->children->items[i])->body, level + 1);
    }
    return height;
}

// Gives a handle about to join a list the level of its new place, and the
// levels below it. A body that another handle shares is copied first, so the
// other keeps the level of its own place.
void PlaceAt(Handle* handle, std::uint32_t level)
{
    if (handle->body->level == level)
        return;
    MakeUnique(handle);
    std::vector<std::pair<NodeBody*, std::uint32_t>> pending{{handle->body, level}};
    while (!pending.empty()) {
        auto [node, at] = pending.back();
        pending.pop_back();
        node->level = at;
        if (!node->children || !node->fetched)
            continue;
        for (std::uint32_t i = 0; i < node->children->count; ++i)
            pending.emplace_back(static_cast<Handle*>(node->children->items[i])->body, at + 1);
    }
}

void SetScalar(Handle* handle, JsonNodeType type, std::wstring_view value, bool escaped)
{
    MakeUnique(handle, false);
    NodeBody* body = handle->body;
    DropChildren(body);
    body->value.Assign(value);
    DropSlice(body);
    body->type = type;
    body->valueEscaped = escaped;
    body->fetched = true;
}

wchar_t* CopyText(std::wstring_view text, std::size_t* length = nullptr)
{
    if (length)
        *length = text.size();
    auto* copy = static_cast<wchar_t*>(std::malloc((text.size() + 1) * sizeof(wchar_t)));
    if (!copy)
        throw std::bad_alloc();
    if (!text.empty())
        std::wmemcpy(copy, text.data(), text.size());
    copy[text.size()] = 0;
    return copy;
}

// The list of a container after fetching it; null for any other node.
ChildList* FetchedChildren(NodeBody* body)
{
    if (!IsContainer(body->type))
        return nullptr;
    Fetch(body);
    return IsContainer(body->type) ? body->children : nullptr;
}

// An empty list may have no storage; its iterators are then the address of
// the list's own storage pointer, which is not null and reads as a null
// handle.
JsonIterator BeginOf(ChildList* list)
{
    return list->items ? list->items : reinterpret_cast<JsonIterator>(&list->items);
}

JsonIterator EndOf(ChildList* list)
{
    return list->items ? list->items + list->count : reinterpret_cast<JsonIterator>(&list->items);
}

} // namespace

void ReleaseBody(NodeBody* body)
{
    if (body && --body->refs == 0)
        DestroyBody(body);
}

void ReleaseHandle(Handle* handle)
{
    if (!handle)
        return;
    ReleaseBody(handle->body);
    DisposeHandle(handle);
}

void AppendChild(NodeBody* parent, Handle* child)
{
    ChildList* list = parent->children;
    if (list->count == list->capacity) {
        const std::uint32_t capacity = list->capacity ? list->capacity * 2 : 8;
        void* grown = std::realloc(list->items, capacity * sizeof(void*));
        if (!grown)
            throw std::bad_alloc();
        list->items = static_cast<void**>(grown);
        list->capacity = capacity;
    }
    child->owner = list;
    list->items[list->count++] = child;
    IndexAppended(list, list->count - 1);
}

void BecomeNull(NodeBody* body)
{
    DropChildren(body);
    DropSlice(body);
    body->type = JsonNull;
    body->value.AssignStatic(L"null");
    body->fetched = true;
}

void Fetch(NodeBody* body)
{
    if (body->fetched)
        return;
    const std::wstring_view text = ValueText(body);
    switch (body->type) {
    case JsonString:
        if (text.size() >= 2 && text.front() == L'"' && text.back() == L'"') {
            const std::wstring_view inner = text.substr(1, text.size() - 2);
            body->fetched = true;
            if (inner.find(L'\\') == std::wstring_view::npos) {
                // Nothing to resolve: the value stays in the document's text.
                body->value.AssignSlice(inner.data(), static_cast<std::uint32_t>(inner.size()));
                body->valueEscaped = false;
                break;
            }
            std::wstring value;
            body->valueEscaped = Unescape(inner, value);
            body->value.Assign(value);
            ReleaseUnusedSource(body);
        } else {
            BecomeNull(body);
        }
        break;
    case JsonNumber:
        body->fetched = true; // its text is its value, kept where it stands
        break;
    case JsonArray:
    case JsonObject: {
        const wchar_t open = body->type == JsonArray ? L'[' : L'{';
        const wchar_t close = body->type == JsonArray ? L']' : L'}';
        if (text.size() >= 2 && text.front() == open && text.back() == close && body->value.IsSlice())
            SplitChildren(body);
        else
            BecomeNull(body);
        break;
    }
    default:
        BecomeNull(body);
        break;
    }
}

} // namespace zv::json

using namespace zv::json;

JsonNode JsonParse(const wchar_t* text)
{
    if (!text)
        return nullptr;
    return ParseDocument(text);
}

JsonNode JsonNewNode(JsonNodeType type)
{
    return NewNode(type);
}

JsonNode JsonNewString(const wchar_t* name, const wchar_t* value)
{
    Handle* handle = NewNode(JsonString);
    NodeBody* body = handle->body;
    body->name.Assign(name ? name : L"");
    body->value.Assign(value ? value : L"");
    body->nameEscaped = body->valueEscaped = true;
    return handle;
}

void JsonDeleteNode(JsonNode node)
{
    ReleaseHandle(AsHandle(node));
}

void JsonFreeString(wchar_t* text)
{
    std::free(text);
}

JsonNodeType JsonGetType(JsonNode node)
{
    return node ? AsHandle(node)->body->type : JsonNull;
}

int JsonGetSize(JsonNode node)
{
    if (!node)
        return 0;
    ChildList* list = FetchedChildren(AsHandle(node)->body);
    return list ? static_cast<int>(list->count) : 0;
}

wchar_t* JsonGetName(JsonNode node, std::size_t* length)
{
    return CopyText(node ? AsHandle(node)->body->name.View() : std::wstring_view(), length);
}

wchar_t* JsonGetString(JsonNode node, std::size_t* length)
{
    if (!node)
        return CopyText({}, length);
    NodeBody* body = AsHandle(node)->body;
    Fetch(body);
    return CopyText(ValueText(body), length);
}

const wchar_t* JsonPeekString(JsonNode node, std::size_t* length)
{
    if (!node) {
        *length = 0;
        return L"";
    }
    NodeBody* body = AsHandle(node)->body;
    Fetch(body);
    const std::wstring_view text = ValueText(body);
    *length = text.size();
    return text.empty() ? L"" : text.data();
}

void JsonSetName(JsonNode node, const wchar_t* name)
{
    if (!node)
        return;
    Handle* handle = AsHandle(node);
    MakeUnique(handle);
    std::wstring old;
    const bool indexed = handle->owner && handle->owner->index;
    if (indexed)
        old = handle->body->name.View();
    handle->body->name.Assign(name ? name : L"");
    handle->body->nameEscaped = true;
    ReleaseUnusedSource(handle->body);
    if (indexed)
        IndexRenamed(handle, old);
}

void JsonSetString(JsonNode node, const wchar_t* value)
{
    if (node)
        SetScalar(AsHandle(node), JsonString, value ? std::wstring_view(value) : std::wstring_view(), true);
}

void JsonSetInt(JsonNode node, std::int32_t value)
{
    if (node)
        SetScalar(AsHandle(node), JsonNumber, std::to_wstring(value), false);
}

void JsonSetBool(JsonNode node, int value)
{
    if (node)
        SetScalar(AsHandle(node), JsonBoolean, value ? L"true" : L"false", false);
}

int JsonPushBack(JsonNode parent, JsonNode child)
{
    // A node appended to its own list would own itself and never be freed.
    if (!parent || !child || parent == child)
        return 0;
    Handle* handle = AsHandle(parent);
    MakeUnique(handle);
    NodeBody* body = handle->body;
    if (!FetchedChildren(body))
        return 0;
    Handle* added = AsHandle(child);
    const std::uint32_t height = Height(added->body);
    if (height > 0 && body->level + height > kMaxDepth)
        return 0;
    PlaceAt(added, body->level + 1);
    AppendChild(body, added);
    return 1;
}

void JsonClearChildren(JsonNode node)
{
    if (!node)
        return;
    Handle* handle = AsHandle(node);
    ChildList* list = FetchedChildren(handle->body);
    if (!list || list->count == 0)
        return;
    MakeUnique(handle, false);
    list = handle->body->children;
    for (std::uint32_t i = 0; i < list->count; ++i)
        ReleaseHandle(static_cast<Handle*>(list->items[i]));
    list->count = 0;
    DropIndex(list);
}

namespace {

// The children of a node about to hand out iterators into them: the node
// gets a body of its own first, so a change through an iterator reaches no
// copy that shares it. Null for a null node or one without children.
ChildList* OwnChildren(JsonNode node)
{
    if (!node)
        return nullptr;
    Handle* handle = AsHandle(node);
    MakeUnique(handle);
    return FetchedChildren(handle->body);
}

} // namespace

JsonIterator JsonBegin(JsonNode node)
{
    ChildList* list = OwnChildren(node);
    return list ? BeginOf(list) : nullptr;
}

JsonIterator JsonEnd(JsonNode node)
{
    ChildList* list = OwnChildren(node);
    return list ? EndOf(list) : nullptr;
}

JsonIterator JsonFindChild(JsonNode node, const wchar_t* name)
{
    ChildList* list = OwnChildren(node);
    if (!list)
        return nullptr;
    const std::wstring_view wanted = name ? std::wstring_view(name) : std::wstring_view();
    if (AsHandle(node)->body->type == JsonObject) {
        const std::uint32_t place = FindMember(list, wanted);
        return place == kNotFound ? EndOf(list) : list->items + place;
    }
    for (std::uint32_t i = 0; i < list->count; ++i) {
        if (static_cast<Handle*>(list->items[i])->body->name.View() == wanted)
            return list->items + i;
    }
    return EndOf(list);
}

JsonIterator JsonErase(JsonNode node, JsonIterator it)
{
    ChildList* list = OwnChildren(node);
    if (!list)
        return nullptr;
    if (!list->items || it >= list->items + list->count)
        return EndOf(list);
    if (it < list->items)
        return BeginOf(list);
    const std::size_t index = static_cast<std::size_t>(it - list->items);
    IndexErasing(list, static_cast<std::uint32_t>(index));
    ReleaseHandle(static_cast<Handle*>(*it));
    std::memmove(list->items + index, list->items + index + 1, (list->count - index - 1) * sizeof(void*));
    --list->count;
    list->capacity = list->count;
    if (list->count == 0) {
        std::free(list->items);
        list->items = nullptr;
        return EndOf(list);
    }
    return list->items + index;
}

JsonNode JsonAsArray(JsonNode node)
{
    if (!node)
        return nullptr;
    NodeBody* body = AsHandle(node)->body;
    if (body->type == JsonArray) {
        ++body->refs;
        return new Handle{body};
    }
    if (body->type == JsonObject) {
        Fetch(body);
        if (body->type == JsonObject) {
            NodeBody* copy = CloneBody(body);
            copy->type = JsonArray;
            // The clone's children are fresh bodies of their own already.
            for (std::uint32_t i = 0; i < copy->children->count; ++i) {
                NodeBody* child = static_cast<Handle*>(copy->children->items[i])->body;
                child->name.Clear();
                ReleaseUnusedSource(child);
            }
            DropIndex(copy->children);
            return new Handle{copy};
        }
    }
    return NewNode(JsonArray);
}

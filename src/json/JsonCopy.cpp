#include "json/Json.h"
#include "json/JsonBody.h"

#include <cstdint>
#include <cstdlib>
#include <new>
#include <utility>
#include <vector>

// Copies of bodies: the private copy before a change (copy-on-write), the
// kept copy beside an original, and the owned copy that keeps no document
// text alive.
namespace zv::json {

namespace {

// Gives a copy's child list a slot for each child of the original and a
// copy of its name index; false when there are no children.
bool ReserveLike(const ChildList* from, ChildList* to)
{
    to->index = CopyIndex(from);
    if (from->count == 0)
        return false;
    to->items = static_cast<void**>(std::malloc(from->count * sizeof(void*)));
    if (!to->items)
        throw std::bad_alloc();
    to->capacity = from->count;
    return true;
}

// Puts a handle in slot i of a list being filled in order.
void Place(ChildList* list, std::uint32_t i, Handle* handle)
{
    handle->owner = list;
    list->items[i] = handle;
    list->count = i + 1;
}

bool KeepsOwnCopy(const NodeBody* body)
{
    return IsContainer(body->type) && body->fetched && body->children;
}

// Fills the child lists of a copy from the top down: child(original) gives the
// handle for each child of an original list. The list of a copied body whose
// original has one is filled in turn; a body shared with the original keeps
// its own. Lists get exactly as many slots as there are children.
template <typename Body, typename Child> void CopyLists(Body* from, NodeBody* root, Child child)
{
    if (!from->children)
        return;
    std::vector<std::pair<Body*, NodeBody*>> pending{{from, root}};
    while (!pending.empty()) {
        auto [source, target] = pending.back();
        pending.pop_back();
        target->children = new ChildList;
        if (!ReserveLike(source->children, target->children))
            continue;
        for (std::uint32_t i = 0; i < source->children->count; ++i) {
            Body* original = static_cast<Handle*>(source->children->items[i])->body;
            Handle* handle = child(original);
            Place(target->children, i, handle);
            if (handle->body != original && original->children)
                pending.emplace_back(original, handle->body);
        }
    }
}

} // namespace

void CopyFields(const NodeBody* from, NodeBody* to)
{
    to->type = from->type;
    to->nameEscaped = from->nameEscaped;
    to->valueEscaped = from->valueEscaped;
    to->fetched = from->fetched;
    to->name = from->name;
    to->value = from->value;
    to->comment = from->comment;
    to->source = from->source;
    if (to->source)
        ++to->source->refs;
    to->bracket = from->bracket;
    to->level = from->level;
}

// A private copy of a body and of the whole subtree below it. Child lists get
// exactly as many slots as there are children.
NodeBody* CloneBody(const NodeBody* from)
{
    auto* root = new NodeBody;
    CopyFields(from, root);
    CopyLists(from, root, [](const NodeBody* child) {
        Handle* handle = NewNode(JsonNull);
        CopyFields(child, handle->body);
        return handle;
    });
    return root;
}

NodeBody* KeepCopyBody(NodeBody* from)
{
    if (!KeepsOwnCopy(from)) {
        ++from->refs;
        return from;
    }
    auto* root = new NodeBody;
    CopyFields(from, root);
    CopyLists(from, root, [](NodeBody* child) {
        NodeBody* copy = child;
        if (KeepsOwnCopy(child)) {
            copy = new NodeBody;
            CopyFields(child, copy);
        } else {
            ++child->refs;
        }
        return new Handle{copy};
    });
    return root;
}

namespace {

// A copy of one read body that holds its name and value itself instead of
// slices of the document's text.
void CopyOwned(NodeBody* from, NodeBody* to)
{
    CopyFields(from, to);
    if (to->source) {
        if (to->value.IsSlice())
            to->value.Assign(from->value.View());
        if (to->name.IsSlice())
            to->name.Assign(from->name.View());
        ReleaseSource(to->source);
        to->source = nullptr;
    }
}

} // namespace

NodeBody* OwnedCopyBody(NodeBody* from)
{
    Fetch(from);
    auto* root = new NodeBody;
    CopyOwned(from, root);
    CopyLists(from, root, [](NodeBody* child) {
        Fetch(child);
        Handle* handle = NewNode(JsonNull);
        CopyOwned(child, handle->body);
        return handle;
    });
    return root;
}

} // namespace zv::json

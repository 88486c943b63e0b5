#include "json/JsonMerge.h"
#include "json/JsonBody.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <functional>
#include <new>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zv::json {
namespace {

// The children of a container, read where unread; null for any other node.
// Reading a body that two trees share changes nothing either of them means.
ChildList* ChildrenOf(NodeBody* body)
{
    if (!IsContainer(body->type))
        return nullptr;
    Fetch(body);
    return IsContainer(body->type) ? body->children : nullptr;
}

NodeBody* BodyAt(const ChildList* list, std::uint32_t i)
{
    return static_cast<Handle*>(list->items[i])->body;
}

bool IsObject(NodeBody* body)
{
    return ChildrenOf(body) && body->type == JsonObject;
}

// Unread text of one document, or of two with equal stripped text, means the
// same value; the reverse does not hold (comments, escapes), so unequal text
// is compared by reading it.
bool SameText(const NodeBody* a, const NodeBody* b)
{
    if (!a->value.IsSlice() || !b->value.IsSlice() || a->fetched != b->fetched)
        return false;
    if (IsContainer(a->type) && a->fetched)
        return false; // a read container's value is its children, not its text
    const std::wstring_view x = a->value.View(), y = b->value.View();
    return x.size() == y.size() && (x.data() == y.data() || std::wmemcmp(x.data(), y.data(), x.size()) == 0);
}

bool SameBody(NodeBody* a, NodeBody* b)
{
    // Most comparisons end here, without the walk's stack.
    if (a == b || (a->type == b->type && SameText(a, b)))
        return true;
    std::vector<std::pair<NodeBody*, NodeBody*>> pending{{a, b}};
    while (!pending.empty()) {
        auto [x, y] = pending.back();
        pending.pop_back();
        if (x == y || (x->type == y->type && SameText(x, y)))
            continue;
        Fetch(x);
        Fetch(y);
        if (x->type != y->type)
            return false;
        if (x->type == JsonNull)
            continue;
        if (!IsContainer(x->type)) {
            if (ValueText(x) != ValueText(y))
                return false;
            continue;
        }
        const ChildList* cx = x->children;
        const ChildList* cy = y->children;
        const std::uint32_t count = cx ? cx->count : 0;
        if (count != (cy ? cy->count : 0))
            return false;
        for (std::uint32_t i = 0; i < count; ++i) {
            NodeBody* bx = BodyAt(cx, i);
            NodeBody* by = BodyAt(cy, i);
            if (x->type == JsonObject && bx->name.View() != by->name.View())
                return false;
            pending.emplace_back(bx, by);
        }
    }
    return true;
}

// An object member by name and by its place among the members of that name.
struct MemberKey {
    std::wstring_view name;
    std::uint32_t nth;
    bool operator==(const MemberKey& o) const { return nth == o.nth && name == o.name; }
};

struct MemberKeyHash {
    std::size_t operator()(const MemberKey& key) const
    {
        return std::hash<std::wstring_view>()(key.name) ^ (static_cast<std::size_t>(key.nth) * 0x9E3779B97F4A7C15u);
    }
};

using MemberIndex = std::unordered_map<MemberKey, std::uint32_t, MemberKeyHash>;

// The keys of a member list in order, and where each key stands.
std::vector<MemberKey> KeysOf(const ChildList* list, MemberIndex& index)
{
    std::vector<MemberKey> keys;
    keys.reserve(list->count);
    index.reserve(list->count);
    for (std::uint32_t i = 0; i < list->count; ++i) {
        MemberKey key{BodyAt(list, i)->name.View(), 0};
        while (!index.emplace(key, i).second)
            ++key.nth; // names repeat seldom
        keys.push_back(key);
    }
    return keys;
}

// The two lists hold members of the same names in the same order.
bool SameNames(const ChildList* a, const ChildList* b)
{
    if (a->count != b->count)
        return false;
    for (std::uint32_t i = 0; i < a->count; ++i)
        if (BodyAt(a, i)->name.View() != BodyAt(b, i)->name.View())
            return false;
    return true;
}

// Renames are looked for by comparing values, new names with lost ones; an
// object with many of both is taken as rewritten rather than renamed.
constexpr std::size_t kRenameComparisons = 4096;

// Members of mine under a name base lacks, holding the value of a member
// of base whose name mine lacks: base index to mine index.
std::unordered_map<std::uint32_t, std::uint32_t> Renames(const ChildList* ml, const std::vector<MemberKey>& mKeys,
                                                         const ChildList* bl, const std::vector<MemberKey>& bKeys,
                                                         const MemberIndex& mIndex, const MemberIndex& bIndex)
{
    std::unordered_map<std::uint32_t, std::uint32_t> renamed;
    std::vector<std::uint32_t> fresh, lost;
    for (std::uint32_t i = 0; i < ml->count; ++i)
        if (!bIndex.count(mKeys[i]))
            fresh.push_back(i);
    for (std::uint32_t i = 0; i < bl->count; ++i)
        if (!mIndex.count(bKeys[i]))
            lost.push_back(i);
    if (fresh.empty() || lost.empty() || fresh.size() * lost.size() > kRenameComparisons)
        return renamed;
    for (std::uint32_t mi : fresh) {
        for (std::uint32_t& bi : lost) {
            if (bi != UINT32_MAX && SameBody(BodyAt(ml, mi), BodyAt(bl, bi))) {
                renamed.emplace(bi, mi);
                bi = UINT32_MAX;
                break;
            }
        }
    }
    return renamed;
}

struct Work {
    Handle* mine;
    NodeBody* base;
    NodeBody* theirs;
};

class Merger {
public:
    explicit Merger(NodeBody* detached) : m_detached(detached) {}

    void Run(Handle* mine, NodeBody* base, NodeBody* theirs)
    {
        Value(mine, base, theirs);
        while (!m_work.empty()) {
            const Work work = m_work.back();
            m_work.pop_back();
            Object(work.mine, work.base, work.theirs);
        }
    }

private:
    // Their value changed from base: where all three are objects their
    // members are merged one by one, elsewhere theirs replaces an unchanged
    // value of mine.
    void Value(Handle* mine, NodeBody* base, NodeBody* theirs)
    {
        if (IsObject(mine->body) && IsObject(base) && IsObject(theirs))
            m_work.push_back({mine, base, theirs});
        else if (SameBody(mine->body, base))
            Replace(mine, theirs);
    }

    // The handle keeps its place and takes a copy of their value that keeps
    // their text free to go. Its old body goes to the detached nodes where
    // handles below it may be held; a scalar or an unread subtree has none.
    void Replace(Handle* mine, NodeBody* theirs)
    {
        NodeBody* old = mine->body;
        NodeBody* fresh = OwnedCopyBody(theirs);
        // The copy holds no document text, so the name is copied too.
        fresh->name.Assign(old->name.View());
        fresh->nameEscaped = old->nameEscaped;
        mine->body = fresh;
        if (IsContainer(old->type) && old->fetched && old->children)
            Detach(new Handle{old});
        else
            ReleaseBody(old);
    }

    void Detach(Handle* handle) { AppendChild(m_detached, handle); }

    void Object(Handle* mine, NodeBody* base, NodeBody* theirs)
    {
        // Mine gets a body of its own, with its members read, as for any change.
        JsonBegin(mine);
        NodeBody* m = mine->body;
        if (m->type != JsonObject || !IsObject(base) || !IsObject(theirs))
            return;
        ChildList* ml = m->children;
        const ChildList* bl = base->children;
        const ChildList* tl = theirs->children;
        // Where no side added, removed or renamed a member, members pair up
        // by place: only changed values are left to bring in.
        if (SameNames(tl, bl) && SameNames(ml, bl)) {
            for (std::uint32_t i = 0; i < tl->count; ++i)
                if (!SameBody(BodyAt(tl, i), BodyAt(bl, i)))
                    Value(static_cast<Handle*>(ml->items[i]), BodyAt(bl, i), BodyAt(tl, i));
            return;
        }
        MemberIndex mIndex, bIndex, tIndex;
        const std::vector<MemberKey> mKeys = KeysOf(ml, mIndex);
        const std::vector<MemberKey> bKeys = KeysOf(bl, bIndex);
        const std::vector<MemberKey> tKeys = KeysOf(tl, tIndex);
        const std::unordered_map<std::uint32_t, std::uint32_t> renamed = Renames(ml, mKeys, bl, bKeys, mIndex, bIndex);

        // The members come out in their order; those only mine holds follow
        // the member that precedes them in mine (null: the front).
        std::vector<Handle*> order;
        order.reserve(tl->count + ml->count);
        std::vector<bool> placed(ml->count, false);
        for (std::uint32_t ti = 0; ti < tl->count; ++ti) {
            NodeBody* t = BodyAt(tl, ti);
            auto mi = mIndex.find(tKeys[ti]);
            const auto bi = bIndex.find(tKeys[ti]);
            if (bi == bIndex.end()) {
                // Added by them; added by both, mine stays.
                if (mi == mIndex.end())
                    order.push_back(new Handle{OwnedCopyBody(t)});
                else if (!placed[mi->second])
                    Place(ml, mi->second, order, placed);
                continue;
            }
            if (mi == mIndex.end()) {
                const auto r = renamed.find(bi->second);
                if (r == renamed.end())
                    continue; // mine dropped it: it stays dropped
                mi = mIndex.find(mKeys[r->second]);
            }
            if (placed[mi->second])
                continue;
            Handle* target = Place(ml, mi->second, order, placed);
            NodeBody* b = BodyAt(bl, bi->second);
            if (!SameBody(t, b))
                Value(target, b, t);
        }

        // Members they dropped go where mine holds them as base did.
        std::vector<bool> dropped(ml->count, false);
        for (std::uint32_t bi = 0; bi < bl->count; ++bi) {
            if (tIndex.count(bKeys[bi]))
                continue;
            const auto mi = mIndex.find(bKeys[bi]);
            if (mi != mIndex.end() && SameBody(BodyAt(ml, mi->second), BodyAt(bl, bi)))
                dropped[mi->second] = true;
        }
        Rebuild(ml, order, placed, dropped);
    }

    static Handle* Place(ChildList* ml, std::uint32_t i, std::vector<Handle*>& order, std::vector<bool>& placed)
    {
        auto* handle = static_cast<Handle*>(ml->items[i]);
        order.push_back(handle);
        placed[i] = true;
        return handle;
    }

    // The list becomes order, with mine's other members (neither placed nor
    // dropped) each after the member before it in mine.
    void Rebuild(ChildList* list, const std::vector<Handle*>& order, const std::vector<bool>& placed,
                 const std::vector<bool>& dropped)
    {
        std::unordered_map<Handle*, std::vector<Handle*>> after;
        Handle* previous = nullptr;
        for (std::uint32_t i = 0; i < list->count; ++i) {
            auto* handle = static_cast<Handle*>(list->items[i]);
            if (placed[i])
                previous = handle;
            else if (dropped[i])
                Detach(handle);
            else
                after[previous].push_back(handle);
        }
        std::vector<void*> items;
        items.reserve(order.size() + list->count);
        auto addAfter = [&](Handle* anchor) {
            const auto found = after.find(anchor);
            if (found != after.end())
                items.insert(items.end(), found->second.begin(), found->second.end());
        };
        addAfter(nullptr);
        for (Handle* handle : order) {
            items.push_back(handle);
            addAfter(handle);
        }
        if (items.size() > list->capacity) {
            void* grown = std::realloc(list->items, items.size() * sizeof(void*));
            if (!grown)
                throw std::bad_alloc();
            list->items = static_cast<void**>(grown);
            list->capacity = static_cast<std::uint32_t>(items.size());
        }
        std::copy(items.begin(), items.end(), list->items);
        list->count = static_cast<std::uint32_t>(items.size());
        // The names stand in a new order: the index is built again when next searched.
        DropIndex(list);
        for (void* item : items)
            static_cast<Handle*>(item)->owner = list;
    }

    NodeBody* m_detached;
    std::vector<Work> m_work;
};

} // namespace
} // namespace zv::json

using namespace zv::json;

JsonNode JsonKeepCopy(JsonNode node)
{
    if (!node)
        return nullptr;
    return new Handle{KeepCopyBody(AsHandle(node)->body)};
}

bool JsonSameValue(JsonNode a, JsonNode b)
{
    if (!a || !b)
        return a == b;
    return SameBody(AsHandle(a)->body, AsHandle(b)->body);
}

void JsonMergeTheirs(JsonNode mine, JsonNode base, JsonNode theirs, JsonNode detached)
{
    if (!mine || !base || !theirs || !detached || !AsHandle(detached)->body->children)
        return;
    NodeBody* b = AsHandle(base)->body;
    NodeBody* t = AsHandle(theirs)->body;
    if (SameBody(t, b))
        return;
    Merger(AsHandle(detached)->body).Run(AsHandle(mine), b, t);
}

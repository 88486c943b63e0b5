#include "json/JsonBody.h"

#include <functional>

namespace zv::json {

namespace {

using Slot = NameIndex::Slot;

std::wstring_view NameAt(const ChildList* list, std::uint32_t place)
{
    return static_cast<Handle*>(list->items[place])->body->name.View();
}

std::uint32_t HashOf(std::wstring_view name)
{
    const std::size_t hash = std::hash<std::wstring_view>{}(name);
    return static_cast<std::uint32_t>(hash ^ (hash >> 32));
}

bool Live(const Slot& slot)
{
    return slot.place != kNotFound && slot.place != NameIndex::kRemoved;
}

// The first live slot of hash whose member satisfies matches, or kNotFound.
template <typename Matches> std::uint32_t Probe(const ChildList* list, std::uint32_t hash, Matches matches)
{
    const NameIndex& index = *list->index;
    const std::uint32_t mask = static_cast<std::uint32_t>(index.slots.size()) - 1;
    for (std::uint32_t at = hash & mask;; at = (at + 1) & mask) {
        const Slot& slot = index.slots[at];
        if (slot.place == kNotFound)
            return kNotFound;
        if (slot.hash == hash && slot.place != NameIndex::kRemoved && matches(slot.place))
            return at;
    }
}

// The slot that holds name, or kNotFound.
std::uint32_t Locate(const ChildList* list, std::wstring_view name, std::uint32_t hash)
{
    return Probe(list, hash, [&](std::uint32_t place) { return NameAt(list, place) == name; });
}

// The slot that points at member among those of hash, or kNotFound.
std::uint32_t LocateMember(const ChildList* list, const Handle* member, std::uint32_t hash)
{
    return Probe(list, hash, [&](std::uint32_t place) { return list->items[place] == member; });
}

void Resize(NameIndex& index, std::size_t size)
{
    std::vector<Slot> old(size, Slot{0, kNotFound});
    old.swap(index.slots);
    index.used = 0;
    const std::uint32_t mask = static_cast<std::uint32_t>(size) - 1;
    for (const Slot& slot : old) {
        if (!Live(slot))
            continue;
        std::uint32_t at = slot.hash & mask;
        while (index.slots[at].place != kNotFound)
            at = (at + 1) & mask;
        index.slots[at] = slot;
        ++index.used;
    }
}

// Adds a name that the index does not hold; the table stays at most half full.
void Insert(NameIndex& index, std::uint32_t hash, std::uint32_t place)
{
    if ((index.used + 1) * 2 > index.slots.size())
        Resize(index, index.slots.size() * 2);
    const std::uint32_t mask = static_cast<std::uint32_t>(index.slots.size()) - 1;
    std::uint32_t at = hash & mask;
    while (Live(index.slots[at]))
        at = (at + 1) & mask;
    if (index.slots[at].place == kNotFound)
        ++index.used;
    index.slots[at] = Slot{hash, place};
}

void Build(ChildList* list)
{
    std::size_t size = 32;
    while (size < std::size_t(list->count) * 2 + 2)
        size *= 2;
    list->index = new NameIndex;
    list->index->slots.assign(size, Slot{0, kNotFound});
    for (std::uint32_t i = 0; i < list->count; ++i) {
        const std::wstring_view name = NameAt(list, i);
        const std::uint32_t hash = HashOf(name);
        if (Locate(list, name, hash) == kNotFound)
            Insert(*list->index, hash, i);
    }
}

// The place of the next member after `after` named name, or kNotFound.
std::uint32_t NextNamed(const ChildList* list, std::wstring_view name, std::uint32_t after)
{
    for (std::uint32_t i = after + 1; i < list->count; ++i)
        if (NameAt(list, i) == name)
            return i;
    return kNotFound;
}

// The slot's name leaves the member at place: the next member of that name
// takes the slot, if there is one.
void PassOn(ChildList* list, std::uint32_t slot, std::uint32_t place, std::wstring_view name)
{
    const std::uint32_t next = NextNamed(list, name, place);
    list->index->slots[slot].place = next == kNotFound ? NameIndex::kRemoved : next;
}

} // namespace

std::uint32_t FindMember(ChildList* list, std::wstring_view name)
{
    if (!list->index) {
        if (list->count < kIndexedSize) {
            for (std::uint32_t i = 0; i < list->count; ++i)
                if (NameAt(list, i) == name)
                    return i;
            return kNotFound;
        }
        Build(list);
    }
    const std::uint32_t slot = Locate(list, name, HashOf(name));
    return slot == kNotFound ? kNotFound : list->index->slots[slot].place;
}

void IndexAppended(ChildList* list, std::uint32_t place)
{
    if (!list->index)
        return;
    const std::wstring_view name = NameAt(list, place);
    const std::uint32_t hash = HashOf(name);
    if (Locate(list, name, hash) == kNotFound)
        Insert(*list->index, hash, place);
}

void IndexErasing(ChildList* list, std::uint32_t place)
{
    if (!list->index)
        return;
    const std::wstring_view name = NameAt(list, place);
    const std::uint32_t slot = Locate(list, name, HashOf(name));
    if (slot != kNotFound && list->index->slots[slot].place == place)
        PassOn(list, slot, place, name);
    // The members after the erased one move down by one.
    for (Slot& s : list->index->slots)
        if (Live(s) && s.place > place)
            --s.place;
}

void IndexRenamed(Handle* member, std::wstring_view oldName)
{
    ChildList* list = member->owner;
    if (!list || !list->index)
        return;
    std::uint32_t place = kNotFound;
    const std::uint32_t oldSlot = LocateMember(list, member, HashOf(oldName));
    if (oldSlot != kNotFound) {
        place = list->index->slots[oldSlot].place;
        PassOn(list, oldSlot, place, oldName);
    } else {
        // Not the first member of its old name: found by walking the list.
        for (std::uint32_t i = 0; i < list->count && place == kNotFound; ++i)
            if (list->items[i] == member)
                place = i;
        if (place == kNotFound)
            return;
    }
    const std::wstring_view name = member->body->name.View();
    const std::uint32_t hash = HashOf(name);
    const std::uint32_t slot = Locate(list, name, hash);
    if (slot == kNotFound)
        Insert(*list->index, hash, place);
    else if (list->index->slots[slot].place > place)
        list->index->slots[slot].place = place;
}

void DropIndex(ChildList* list)
{
    delete list->index;
    list->index = nullptr;
}

NameIndex* CopyIndex(const ChildList* from)
{
    return from->index ? new NameIndex(*from->index) : nullptr;
}

} // namespace zv::json

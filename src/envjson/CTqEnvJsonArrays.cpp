#include <zvenv/CTqEnvJson.h>
#include <zvenv/ZvUtil.h>

#include "envjson/JsonNodeText.h"
#include "json/Json.h"

#include <string_view>

using zv::envjson::IsContainer;
using zv::envjson::NodeText;

namespace {

// The first member named key when it is an array, or null.
JsonNode FindArrayMember(JsonNode parent, const wchar_t* key)
{
    JsonIterator it = JsonFindChild(parent, key);
    if (!it || it == JsonEnd(parent))
        return nullptr;
    return JsonGetType(*it) == JsonArray ? *it : nullptr;
}

// Puts the new member last in the parent in place of the first member named
// key. When the parent cannot hold it (no array or object, or nested too
// deep for a document) the member is freed and the old one stays.
void ReplaceMember(JsonNode parent, const wchar_t* key, JsonNode member)
{
    const bool replacing = JsonFindChild(parent, key) != JsonEnd(parent);
    if (!IsContainer(parent) || !JsonPushBack(parent, member)) {
        JsonDeleteNode(member);
        return;
    }
    if (replacing)
        JsonErase(parent, JsonFindChild(parent, key)); // the old member comes first
}

} // namespace

void CTqEnvJson::GetArray(CString key, CStringArray& values, void* parent)
{
    CSingleLock lock(&m_cs);
    void* node = parent ? parent : m_pJson;
    if (!node)
        return;
    JsonNode member = FindArrayMember(node, key);
    if (!member)
        return;
    // FindArrayMember gives arrays only: their elements are read in place.
    for (JsonIterator it = JsonBegin(member), end = JsonEnd(member); it != end; ++it) {
        if (JsonGetType(*it) != JsonString)
            continue;
        const CString text = NodeText(*it);
        // A string whose text is malformed reads as null: skip it as well.
        if (JsonGetType(*it) == JsonString)
            values.Add(text);
    }
}

void CTqEnvJson::SetArray(CString key, CStringArray& values, void* parent)
{
    CSingleLock lock(&m_cs);
    void* node = parent ? parent : m_pJson;
    if (!node)
        return;
    JsonNode array = JsonNewNode(JsonArray);
    JsonSetName(array, key);
    const int count = values.GetSize();
    for (int i = 0; i < count; ++i)
        JsonPushBack(array, JsonNewString(L"", values.GetAt(i)));
    ReplaceMember(node, key, array);
    m_bDirty = 1;
}

void CTqEnvJson::GetTreeArray(CString key, CStringArray& rows, void* parent)
{
    CSingleLock lock(&m_cs);
    rows.SetSize(0, -1);
    void* node = parent ? parent : m_pJson;
    if (!node)
        return;
    JsonNode member = FindArrayMember(node, key);
    if (!member)
        return;
    for (JsonIterator it = JsonBegin(member), end = JsonEnd(member); it != end; ++it) {
        if (JsonGetType(*it) == JsonArray)
            rows.Add(GetData(*it, 1));
    }
}

void CTqEnvJson::SetTreeArray(CString key, CStringArray& rows, CString separator, void* parent)
{
    CSingleLock lock(&m_cs);
    void* node = parent ? parent : m_pJson;
    if (!node)
        return;
    JsonNode outer = JsonNewNode(JsonArray);
    JsonSetName(outer, key);
    const int count = rows.GetSize();
    for (int i = 0; i < count; ++i) {
        CStringArray pieces;
        ::StringToArray(rows.GetAt(i), pieces, separator);
        JsonNode inner = JsonNewNode(JsonArray);
        for (int j = 0; j < pieces.GetSize(); ++j)
            JsonPushBack(inner, JsonNewString(L"", pieces.GetAt(j)));
        JsonPushBack(outer, inner);
    }
    ReplaceMember(node, key, outer);
    m_bDirty = 1;
}

// The class's own splitter. Without "||" in the text, every piece before a
// bar counts and leading bars are skipped. With "||", a piece runs up to the
// next "||" and keeps one bar, and only the first bar of each pair is used up.
// The text after the last delimiter is never a piece of its own.
int CTqEnvJson::StringToArray(CString text, CStringArray& pieces)
{
    CSingleLock lock(&m_csSplitEnv);
    pieces.SetSize(0, -1);
    const std::wstring_view all(text.GetString(), static_cast<std::size_t>(text.GetLength()));
    std::size_t start = 0; // the rest of the text is all.substr(start)
    auto rest = [&]() { return all.substr(start); };
    constexpr auto npos = std::wstring_view::npos;

    if (all.empty())
        return 0;
    std::size_t p = rest().find(L"||");
    if (p == npos) {
        p = rest().find(L'|');
        while (p != npos) {
            if (p > 0) {
                pieces.Add(CString(std::wstring(rest().substr(0, p))));
                start += p + 1;
            } else {
                start += 1;
            }
            if (start >= all.size())
                break;
            p = rest().find(L'|');
        }
        return pieces.GetSize();
    }

    while (p != npos) {
        if (p == 0) {
            start += 1;
            p = rest().find(L"||");
            continue;
        }
        const std::wstring_view before = rest().substr(0, p);
        if (before == L"|")
            pieces.Add(CString(L"|"));
        else
            pieces.Add(CString(std::wstring(before) + L"|"));
        start += p + 1;
        if (start >= all.size())
            break;
        p = rest().find(L"||");
        if (p == npos && rest() != L"|")
            p = rest().size() - 1;
    }
    return pieces.GetSize();
}

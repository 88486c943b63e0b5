#include <zvenv/CTqEnvJson.h>
#include <zvenv/ZvUtil.h>
#include <zvenv/platform/CRuntime.h>

#include "envjson/JsonNodeText.h"

#include "json/Json.h"

#include <string>
#include <vector>

using zv::crt::DoubleText;
using zv::crt::IntText;
using zv::envjson::IsContainer;
using zv::envjson::NodeName;
using zv::envjson::NodeText;

namespace {

// The first member named key, or null.
JsonNode FindMember(JsonNode parent, const wchar_t* key)
{
    JsonIterator it = JsonFindChild(parent, key);
    return it && it != JsonEnd(parent) ? *it : nullptr;
}

// The text of the member named key when it holds a scalar, as GetData gives
// it; false where GetData must decide (no such member, an array, an object),
// so that a typed reader forms its default's text only when it may serve.
bool ScalarText(JsonNode node, const wchar_t* key, CString& text)
{
    JsonNode member = FindMember(node, key);
    if (!member || JsonGetType(member) == JsonArray || JsonGetType(member) == JsonObject)
        return false;
    text = NodeText(member);
    return true;
}

} // namespace

void** CTqEnvJson::GetIterator(CString key, void* parent)
{
    void* node = parent ? parent : m_pJson;
    return node ? JsonFindChild(node, key) : nullptr;
}

void** CTqEnvJson::GetBeginIterator(void* parent)
{
    void* node = parent ? parent : m_pJson;
    return node ? JsonBegin(node) : nullptr;
}

void** CTqEnvJson::GetEndIterator(void* parent)
{
    void* node = parent ? parent : m_pJson;
    return node ? JsonEnd(node) : nullptr;
}

int CTqEnvJson::GetNodeSize(void* node)
{
    return JsonGetSize(node ? node : m_pJson);
}

CString CTqEnvJson::GetNodeName(void* node)
{
    CSingleLock lock(&m_cs);
    void* target = node ? node : m_pJson;
    if (!target)
        return CString();
    return NodeName(target); // whole, also when it holds U+0000
}

void CTqEnvJson::SetNodeName(void* node, CString name)
{
    CSingleLock lock(&m_cs);
    // The root carries no name.
    if (!node || node == m_pJson)
        return;
    JsonSetName(node, name);
    m_bDirty = 1;
}

int CTqEnvJson::IsExistNode(void* const parent, CString key)
{
    CSingleLock lock(&m_cs);
    void* node = parent ? parent : m_pJson;
    if (!node)
        return 0;
    return JsonFindChild(node, key) != JsonEnd(node) ? 1 : 0;
}

void** CTqEnvJson::CreateNode(void* const parent, CString name, char type, int replace)
{
    CSingleLock lock(&m_cs);
    void* node = parent ? parent : m_pJson;
    if (!node)
        return nullptr;
    JsonIterator it = JsonFindChild(node, name);
    const bool replacing = it != JsonEnd(node);
    if (replacing && !replace)
        return it;
    JsonNode child = JsonNewNode(static_cast<JsonNodeType>(static_cast<unsigned char>(type)));
    JsonSetName(child, name);
    m_bDirty = 1;
    // Nothing can hold it when the parent is no container, or when a new
    // container would stand deeper than a document may nest: then the member
    // it was to replace stays, and the end iterator tells the caller.
    if (!IsContainer(node) || !JsonPushBack(node, child)) {
        JsonDeleteNode(child);
        return JsonEnd(node);
    }
    if (replacing)
        JsonErase(node, JsonFindChild(node, name)); // the old member comes first
    return JsonFindChild(node, name);
}

void CTqEnvJson::DeleteKey(void* const parent, CString key)
{
    CSingleLock lock(&m_cs);
    void* node = parent ? parent : m_pJson;
    if (!node)
        return;
    JsonIterator it = JsonFindChild(node, key);
    if (it == JsonEnd(node))
        return;
    JsonErase(node, it);
    m_bDirty = 1;
}

void CTqEnvJson::ClearNode(void* node)
{
    CSingleLock lock(&m_cs);
    void* target = node ? node : m_pJson;
    if (!target)
        return;
    if (!node && !IsContainer(target))
        return;
    JsonClearChildren(target);
    m_bDirty = 1;
}

CString CTqEnvJson::GetData(void* const parent, CString key, CString subKey, CString defaultText)
{
    // An object member is looked into with the sub-key, and deeper objects with
    // an empty name; done as a loop so that nesting depth costs no stack.
    JsonNode node = parent;
    for (;;) {
        if (!JsonEnd(node))
            return defaultText;
        JsonNode member = FindMember(node, key);
        if (!member)
            return defaultText;
        switch (JsonGetType(member)) {
        case JsonArray: {
            CString result;
            for (JsonIterator it = JsonBegin(member), end = JsonEnd(member); it != end; ++it) {
                CString piece = NodeText(*it) + L"|";
                if (JsonGetType(*it) == JsonArray)
                    piece += GetData(*it, 1);
                result += piece;
            }
            return result;
        }
        case JsonObject:
            node = member;
            key = subKey;
            subKey = CString();
            defaultText = CString();
            break;
        default:
            return NodeText(member);
        }
    }
}

CString CTqEnvJson::GetData(void* const node, int join)
{
    // Depth-first over the children with an explicit stack: every level keeps
    // its own text, and a finished level's text is appended to its parent's.
    struct Level {
        JsonIterator it;
        JsonIterator end;
        int join;
        CString text;
    };
    std::vector<Level> levels;
    levels.push_back({JsonBegin(node), JsonEnd(node), join, CString()});
    for (;;) {
        Level& level = levels.back();
        if (level.it == level.end) {
            if (levels.size() == 1)
                return level.text;
            const CString done = level.text;
            levels.pop_back();
            levels.back().text += done;
            continue;
        }
        JsonNode child = *level.it++;
        const JsonNodeType type = JsonGetType(child);
        if (type == JsonArray || type == JsonObject) {
            JsonIterator begin = JsonBegin(child);
            JsonIterator end = JsonEnd(child);
            levels.push_back({begin, end, 0, CString()});
            continue;
        }
        const CString value = NodeText(child);
        if (level.join)
            level.text += value + L"|";
        else
            level.text = value;
    }
}

CString CTqEnvJson::ParseJSON(void* const node, CString key1, CString key2, CString key3)
{
    if (key1.IsEmpty()) {
        // Every child overwrites the result, so only the last child of each
        // level counts: follow the last children down to a value.
        JsonNode current = node;
        for (;;) {
            JsonIterator begin = JsonBegin(current);
            JsonIterator end = JsonEnd(current);
            if (begin == end)
                return CString();
            JsonNode last = *(end - 1);
            const JsonNodeType type = JsonGetType(last);
            if (type != JsonArray && type != JsonObject)
                return NodeText(last);
            current = last;
        }
    }

    JsonNode member = FindMember(node, key1);
    if (!member) {
        if (m_bDefaultValue) {
            const CString pending = m_strDefaultValue;
            m_bDefaultValue = 0;
            m_strDefaultValue.Empty();
            return pending;
        }
        return CString();
    }
    switch (JsonGetType(member)) {
    case JsonArray: {
        CString result;
        JsonNode view = JsonAsArray(member);
        for (JsonIterator it = JsonBegin(view), end = JsonEnd(view); it != end; ++it) {
            const CString piece = NodeText(*it) + L"|";
            if (JsonGetType(*it) == JsonArray)
                result = ParseJSON(*it, CString(), CString(), CString());
            result += piece;
        }
        JsonDeleteNode(view);
        return result;
    }
    case JsonObject:
        return ParseJSON(member, key2, key3, CString());
    default:
        return NodeText(member);
    }
}

void CTqEnvJson::JsonDataUpdate(void** it, wchar_t* text)
{
    JsonNode member = *it;
    switch (JsonGetType(member)) {
    case JsonString:
        JsonSetString(member, text);
        break;
    case JsonNumber:
        JsonSetInt(member, zv::crt::wtoi(text));
        break;
    case JsonBoolean:
        JsonSetBool(member, zv::crt::wtoi(text) != 0);
        break;
    default:
        return;
    }
    m_bDirty = 1;
}

CString CTqEnvJson::GetStringEx(CString key1, CString key2, CString key3, CString def)
{
    CSingleLock lock(&m_cs);
    SetDefaultValue(def);
    if (!m_pJson)
        return CString();
    return ParseJSON(m_pJson, key1, key2, key3);
}

// Typed readers: the default goes through its text form, the member's text is
// read back into the type. Without a tree the zero value comes back.

int CTqEnvJson::GetInt(CString key, int def, void* parent)
{
    CSingleLock lock(&m_cs);
    void* node = parent ? parent : m_pJson;
    if (!node)
        return 0;
    CString text;
    if (!ScalarText(node, key, text))
        text = GetData(node, key, CString(), IntText(def));
    return zv::crt::wtoi(text);
}

double CTqEnvJson::GetDouble(CString key, double def, void* parent)
{
    CSingleLock lock(&m_cs);
    void* node = parent ? parent : m_pJson;
    if (!node)
        return 0.0;
    CString text;
    if (!ScalarText(node, key, text))
        text = GetData(node, key, CString(), DoubleText(def));
    return zv::crt::wtof(text);
}

CString CTqEnvJson::GetString(CString key, CString def, void* parent)
{
    CSingleLock lock(&m_cs);
    void* node = parent ? parent : m_pJson;
    if (!node)
        return CString();
    return GetData(node, key, CString(), def);
}

CPoint CTqEnvJson::GetPoint(CString key, CPoint& def, void* parent)
{
    CSingleLock lock(&m_cs);
    void* node = parent ? parent : m_pJson;
    if (!node)
        return CPoint(0, 0);
    return StringToPoint(GetData(node, key, CString(), PointToString(def, L",")));
}

unsigned long CTqEnvJson::GetRGB(CString key, unsigned long def, void* parent)
{
    CSingleLock lock(&m_cs);
    void* node = parent ? parent : m_pJson;
    if (!node)
        return 0;
    return StringToRGB(GetData(node, key, CString(), RGBToString(def, L",")));
}

CRect CTqEnvJson::GetRect(CString key, CRect& def, void* parent)
{
    CSingleLock lock(&m_cs);
    void* node = parent ? parent : m_pJson;
    if (!node)
        return CRect(0, 0, 0, 0);
    return StringToRect(GetData(node, key, CString(), RectToString(def, L",")));
}

CSize CTqEnvJson::GetSize(CString key, CSize& def, void* parent)
{
    CSingleLock lock(&m_cs);
    void* node = parent ? parent : m_pJson;
    if (!node)
        return CSize(0, 0);
    return StringToSize(GetData(node, key, CString(), SizeToString(def, L",")));
}

// Typed writers: an existing member changes in place by its own type, a
// missing one is added as a string after the parent's last member.
namespace {

// The iterator of the member named key when there is one; otherwise a string
// member holding text is added (when the parent can hold it) and null returned.
JsonIterator FindOrAppend(JsonNode node, const CString& key, const CString& text)
{
    JsonIterator it = JsonFindChild(node, key);
    if (it != JsonEnd(node))
        return it;
    if (IsContainer(node))
        JsonPushBack(node, JsonNewString(key, text));
    return nullptr;
}

} // namespace

// Every writer stores the value's text form; SetString does the work.
void CTqEnvJson::SetString(CString key, CString value, void* parent)
{
    CSingleLock lock(&m_cs);
    void* node = parent ? parent : m_pJson;
    if (!node)
        return;
    if (JsonIterator it = FindOrAppend(node, key, value)) {
        std::wstring text = value.str();
        JsonDataUpdate(it, text.data());
    } else {
        m_bDirty = 1;
    }
}

void CTqEnvJson::SetInt(CString key, int value, void* parent)
{
    SetString(key, IntText(value), parent);
}

void CTqEnvJson::SetDouble(CString key, double value, void* parent)
{
    SetString(key, DoubleText(value), parent);
}

void CTqEnvJson::SetPoint(CString key, CPoint& value, void* parent)
{
    SetString(key, PointToString(value, L","), parent);
}

void CTqEnvJson::SetRGB(CString key, unsigned long value, void* parent)
{
    SetString(key, RGBToString(value, L","), parent);
}

void CTqEnvJson::SetRect(CString key, CRect& value, void* parent)
{
    SetString(key, RectToString(value, L","), parent);
}

void CTqEnvJson::SetSize(CString key, CSize& value, void* parent)
{
    SetString(key, SizeToString(value, L","), parent);
}

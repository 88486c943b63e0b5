#pragma once

#include "json/Json.h"

#include <string>

namespace jsontest {

// Takes an engine string, frees it and returns its text.
inline std::wstring Take(wchar_t* text)
{
    std::wstring copy = text ? text : L"";
    JsonFreeString(text);
    return copy;
}

inline std::wstring Name(JsonNode node)
{
    return Take(JsonGetName(node));
}
inline std::wstring Value(JsonNode node)
{
    return Take(JsonGetString(node));
}
inline std::wstring Write(JsonNode node)
{
    return Take(JsonWriteFormatted(node));
}

// The child at index, fetching the parent; null when there is none.
inline JsonNode Child(JsonNode parent, int index)
{
    if (index < 0 || index >= JsonGetSize(parent))
        return nullptr;
    return JsonBegin(parent)[index];
}

inline JsonNode Member(JsonNode parent, const wchar_t* name)
{
    JsonIterator it = JsonFindChild(parent, name);
    return it && it != JsonEnd(parent) ? *it : nullptr;
}

// A parsed document released at the end of the scope.
class Document {
public:
    explicit Document(const wchar_t* text) : m_root(JsonParse(text)) {}
    explicit Document(JsonNode root) : m_root(root) {}
    ~Document() { JsonDeleteNode(m_root); }
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;
    JsonNode get() const { return m_root; }
    operator JsonNode() const { return m_root; }

private:
    JsonNode m_root;
};

} // namespace jsontest

#include "ZvTest.h"

#include <zvenv/CTqEnvJson.h>
#include <zvenv/platform/Os.h>

namespace jsontest {

// The validator module of the build's bin folder, loaded the way a host next
// to it would find it; loaded once and kept for the whole run.
inline JsonCppParseFn LoadValidator()
{
    static const JsonCppParseFn entry = [] {
        const CString path =
            CString(zvtest::ExecutableFolder().c_str()) + zv::os::kSeparator + zv::os::ModuleFileName(L"JSONLint");
        zv::os::ModuleHandle module = zv::os::LoadModule(path);
        return module ? reinterpret_cast<JsonCppParseFn>(zv::os::FindEntryPoint(module, "JSONCPP_Parse")) : nullptr;
    }();
    return entry;
}

} // namespace jsontest

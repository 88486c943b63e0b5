#pragma once

#include "JsonTree.h"
#include "ZvTest.h"

#include <zvenv/CTqEnvJson.h>
#include <zvenv/platform/Os.h>

#include <string>

namespace jsontest {

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
    operator JsonNode() const { return m_root; }

private:
    JsonNode m_root;
};

// The validator module of the bin folder, loaded once as a host beside it would.
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

struct Verdict {
    int result;
    std::wstring description;
};

inline Verdict Validate(const std::wstring& text)
{
    CString error;
    const int result = LoadValidator()(text.c_str(), &error, 1);
    return {result, error.str()};
}

} // namespace jsontest

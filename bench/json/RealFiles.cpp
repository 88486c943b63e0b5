// Takes real JSON files through a document's life and counts the files whose
// strings do not come back as they were: each file is framed as a document
// (UTF-16LE with mark), loaded by the manager, read, saved, loaded again and
// read again. Every string is compared with what nlohmann-json reads from the
// original file, through the calls a host would use: GetString for members,
// GetArray for arrays of strings, the node's own text elsewhere.
//   json_realfiles FILE...        (a line per damaged file, then the counts)
#include <zvenv/CTqEnvMgr.h>
#include <zvenv/platform/Message.h>
#include <zvenv/platform/Text.h>

#include "envjson/JsonFileText.h"
#include "json/Json.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace {

using Json = nlohmann::ordered_json;

const wchar_t* const kMissing = L"\x1f(missing)";

int Quiet(const wchar_t*, UINT, void*)
{
    return 1;
}

std::wstring Wide(const std::string& utf8)
{
    return zv::text::DecodeUtf8Lenient(utf8);
}

std::wstring Text(const CString& text)
{
    return std::wstring(text.GetString(), static_cast<std::size_t>(text.GetLength()));
}

// What went wrong with one file, the first difference kept for the report.
struct Findings {
    int strings = 0; // strings read back different or missing
    int values = 0;  // other values of another type than written
    std::string first;

    void Note(int& counter, const std::string& where)
    {
        if (counter++ == 0 && first.empty())
            first = where;
    }
};

class Walker {
public:
    Walker(CTqEnvJson* doc, Findings& found) : m_doc(doc), m_found(found) {}

    void Object(void* node, const Json& object, const std::string& path)
    {
        void** it = m_doc->GetBeginIterator(node);
        void** end = m_doc->GetEndIterator(node);
        if (end - it != static_cast<long>(object.size())) {
            m_found.Note(m_found.values, path + ": member count");
            return;
        }
        for (const auto& [key, value] : object.items()) {
            void* child = *it++;
            const std::wstring name = Wide(key);
            const std::string where = path + "/" + key;
            if (Text(m_doc->GetNodeName(child)) != name)
                m_found.Note(m_found.strings, where + ": name");
            if (value.is_string()) {
                if (Text(m_doc->GetString(name.c_str(), kMissing, node)) != Wide(value.get<std::string>()))
                    m_found.Note(m_found.strings, where);
            } else if (value.is_array()) {
                Array(child, value, where, true);
                ArrayOfStrings(node, name, value, where);
            } else {
                Value(child, value, where);
            }
        }
    }

    // Any value by its node: containers are walked, scalars compared by type,
    // strings by the node's whole text, as the CString getters take it.
    void Value(void* node, const Json& value, const std::string& path)
    {
        const JsonNodeType type = JsonGetType(node);
        if (value.is_object()) {
            if (type == JsonObject)
                Object(node, value, path);
            else
                m_found.Note(m_found.values, path + ": object lost");
        } else if (value.is_array()) {
            if (type == JsonArray)
                Array(node, value, path, false);
            else
                m_found.Note(m_found.values, path + ": array lost");
        } else if (value.is_string()) {
            std::size_t length = 0;
            wchar_t* text = JsonGetString(node, &length);
            if (type != JsonString || std::wstring(text, length) != Wide(value.get<std::string>()))
                m_found.Note(m_found.strings, path);
            JsonFreeString(text);
        } else {
            const JsonNodeType expected = value.is_number() ? JsonNumber : value.is_boolean() ? JsonBoolean : JsonNull;
            if (type != expected)
                m_found.Note(m_found.values, path + ": type");
        }
    }

private:
    // With member set, the array's strings are left to ArrayOfStrings.
    void Array(void* node, const Json& array, const std::string& path, bool member)
    {
        if (JsonGetType(node) != JsonArray) {
            m_found.Note(m_found.values, path + ": array lost");
            return;
        }
        void** it = m_doc->GetBeginIterator(node);
        void** end = m_doc->GetEndIterator(node);
        if (end - it != static_cast<long>(array.size())) {
            m_found.Note(m_found.values, path + ": element count");
            return;
        }
        int index = 0;
        for (const Json& element : array) {
            void* child = *it++;
            const std::string where = path + "[" + std::to_string(index++) + "]";
            if (!element.is_string() || !member)
                Value(child, element, where);
        }
    }

    // The strings of a member array as GetArray gives them.
    void ArrayOfStrings(void* parent, const std::wstring& key, const Json& array, const std::string& path)
    {
        CStringArray got;
        m_doc->GetArray(key.c_str(), got, parent);
        int at = 0;
        for (const Json& element : array) {
            if (!element.is_string())
                continue;
            if (at >= got.GetSize() || Text(got[at]) != Wide(element.get<std::string>()))
                m_found.Note(m_found.strings, path + " (GetArray)");
            ++at;
        }
    }

    CTqEnvJson* m_doc;
    Findings& m_found;
};

void Walk(CTqEnvJson* doc, const Json& json, Findings& found)
{
    Walker walker(doc, found);
    void* root = doc->GetJson();
    if (json.is_object() && JsonGetType(root) == JsonObject)
        walker.Object(root, json, "");
    else
        walker.Value(root, json, "");
}

} // namespace

int main(int argc, char** argv)
{
    zv::SetMessageHandler(&Quiet);
    CTqEnvMgr* mgr = fnTqEnvMgr();
    CTqEnvJson* doc = mgr->GetJson(L"realfile", 0, L"realfiles");
    if (!doc) {
        std::fputs("no document\n", stderr);
        return 1;
    }
    const std::string path = doc->GetPath().ToUtf8();
    int files = 0, skipped = 0, refused = 0, damaged = 0, damagedOnLoad = 0, valuesLost = 0;
    for (int i = 1; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
            bytes.erase(0, 3);
        Json json;
        try {
            json = Json::parse(bytes);
        } catch (const std::exception&) {
            ++skipped; // not JSON to a strict reader either
            continue;
        }
        if (!json.is_object() && !json.is_array()) {
            ++skipped; // a document's root is an array or object
            continue;
        }
        ++files;
        const std::string framed = zv::envjson::EncodeDocumentFile(Wide(bytes).c_str());
        std::ofstream(path, std::ios::binary | std::ios::trunc).write(framed.data(), framed.size());
        doc->ReloadFile(0);
        if (!doc->GetJson()) {
            ++refused;
            std::printf("refused  %s\n", argv[i]);
            continue;
        }
        Findings loaded;
        Walk(doc, json, loaded);
        doc->SetDirty(1);
        doc->Save();
        doc->ReloadFile(0);
        Findings saved;
        if (doc->GetJson())
            Walk(doc, json, saved);
        else
            saved.Note(saved.values, "the saved file does not load");
        if (loaded.strings || saved.strings) {
            ++damaged;
            damagedOnLoad += loaded.strings ? 1 : 0;
            std::printf("strings  %s  %s\n", argv[i], (loaded.first.empty() ? saved.first : loaded.first).c_str());
        } else if (loaded.values || saved.values) {
            std::printf("values   %s  %s\n", argv[i], (loaded.first.empty() ? saved.first : loaded.first).c_str());
        }
        valuesLost += loaded.values || saved.values ? 1 : 0;
    }
    std::printf("files %d (and %d not strict JSON or not a document, skipped): refused by the loader %d, "
                "strings damaged %d (%d already on the first load), other values lost %d\n",
                files, skipped, refused, damaged, damagedOnLoad, valuesLost);
    mgr->DeleteJson(L"realfile", L"realfiles");
    return 0;
}

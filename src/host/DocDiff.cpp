// Document content as models, listed and compared.
#include "Documents.h"

#include <zvenv/CTqIni.h>
#include <zvenv/platform/Text.h>

namespace zvenv {
namespace {

bool SameName(const CString& a, const CString& b)
{
    return a.CompareNoCase(b) == 0;
}

// Names once each, in the order given, compared without regard to case as
// the profile functions compare them.
std::vector<CString> Distinct(const CStringArray& names)
{
    std::vector<CString> out;
    for (int i = 0; i < names.GetSize(); ++i) {
        bool seen = false;
        for (const CString& name : out)
            seen = seen || SameName(name, names[i]);
        if (!seen)
            out.push_back(names[i]);
    }
    return out;
}

const IniSection* FindSection(const IniModel& model, const CString& name)
{
    for (const IniSection& section : model)
        if (SameName(section.name, name))
            return &section;
    return nullptr;
}

const CString* FindValue(const IniSection& section, const CString& key)
{
    for (const auto& entry : section.keys)
        if (SameName(entry.first, key))
            return &entry.second;
    return nullptr;
}

std::string IniLine(const CString& section, const CString& key, const CString& value)
{
    return "[" + Narrow(section) + "] " + Narrow(key) + "=" + Narrow(value);
}

JsonValue IniChange(const char* change, const CString& section, const CString* key, const CString* before,
                    const CString* after)
{
    JsonValue entry = JsonValue::Obj();
    entry.Add(JsonValue::Str(Wide(change).str()), L"change");
    entry.Add(JsonValue::Str(section.str()), L"section");
    if (key)
        entry.Add(JsonValue::Str(key->str()), L"key");
    if (before)
        entry.Add(JsonValue::Str(before->str()), L"old");
    if (after)
        entry.Add(JsonValue::Str(after->str()), L"new");
    return entry;
}

// A section only one side has: all its keys removed or added.
void WholeSection(const IniSection& section, bool added, Differences& out)
{
    const char* sign = added ? "+ " : "- ";
    const char* change = added ? "added" : "removed";
    if (section.keys.empty()) {
        out.lines.push_back(sign + ("[" + Narrow(section.name) + "]"));
        out.json.Add(IniChange(change, section.name, nullptr, nullptr, nullptr));
    }
    for (const auto& entry : section.keys) {
        out.lines.push_back(sign + IniLine(section.name, entry.first, entry.second));
        out.json.Add(IniChange(change, section.name, &entry.first, added ? nullptr : &entry.second,
                               added ? &entry.second : nullptr));
    }
}

bool IsIdentifier(const std::wstring& name)
{
    if (name.empty() || (name[0] >= L'0' && name[0] <= L'9'))
        return false;
    for (const wchar_t c : name)
        if (!((c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'_'))
            return false;
    return true;
}

JsonValue PathJson(const std::vector<JsonValue>& path)
{
    JsonValue out = JsonValue::Arr();
    for (const JsonValue& step : path)
        out.Add(step);
    return out;
}

void JsonChange(const std::vector<JsonValue>& path, const JsonValue* before, const JsonValue* after, Differences& out)
{
    const std::string where = JsonPathText(path);
    if (before)
        out.lines.push_back("- " + where + " = " + WriteJson(*before, false));
    if (after)
        out.lines.push_back("+ " + where + " = " + WriteJson(*after, false));
    JsonValue entry = JsonValue::Obj();
    entry.Add(JsonValue::Str(before && after ? L"changed" : before ? L"removed" : L"added"), L"change");
    entry.Add(PathJson(path), L"path");
    if (before)
        entry.Add(*before, L"old");
    if (after)
        entry.Add(*after, L"new");
    out.json.Add(std::move(entry));
}

JsonValue Step(const JsonValue& parent, std::size_t index)
{
    return parent.type == JsonValue::Array ? JsonValue::Num(std::to_wstring(index))
                                           : JsonValue::Str(parent.items[index].name);
}

void DiffNodes(const JsonValue& a, const JsonValue& b, std::vector<JsonValue>& path, Differences& out)
{
    if (a.type != b.type || (!a.IsContainer() && a.text != b.text)) {
        JsonChange(path, &a, &b, out);
        return;
    }
    if (!a.IsContainer())
        return;
    if (a.type == JsonValue::Array) {
        for (std::size_t i = 0; i < std::max(a.items.size(), b.items.size()); ++i) {
            path.push_back(JsonValue::Num(std::to_wstring(i)));
            if (i < a.items.size() && i < b.items.size())
                DiffNodes(a.items[i], b.items[i], path, out);
            else
                JsonChange(path, i < a.items.size() ? &a.items[i] : nullptr, i < b.items.size() ? &b.items[i] : nullptr,
                           out);
            path.pop_back();
        }
        return;
    }
    // Members by name; the first of a repeated name is the one a lookup finds.
    for (std::size_t i = 0; i < a.items.size(); ++i) {
        if (a.Find(a.items[i].name) != &a.items[i])
            continue;
        path.push_back(Step(a, i));
        if (const JsonValue* other = b.Find(a.items[i].name))
            DiffNodes(a.items[i], *other, path, out);
        else
            JsonChange(path, &a.items[i], nullptr, out);
        path.pop_back();
    }
    for (std::size_t i = 0; i < b.items.size(); ++i) {
        if (b.Find(b.items[i].name) != &b.items[i] || a.Find(b.items[i].name))
            continue;
        path.push_back(Step(b, i));
        JsonChange(path, nullptr, &b.items[i], out);
        path.pop_back();
    }
}

void Flatten(const JsonValue& node, std::vector<JsonValue>& path, std::vector<std::string>& lines)
{
    if (!node.IsContainer() || node.items.empty()) {
        lines.push_back(JsonPathText(path) + " = " + WriteJson(node, false));
        return;
    }
    for (std::size_t i = 0; i < node.items.size(); ++i) {
        path.push_back(Step(node, i));
        Flatten(node.items[i], path, lines);
        path.pop_back();
    }
}

} // namespace

IniModel ReadIniModel(const CString& path)
{
    const CTqIni file(path);
    CStringArray names;
    file.GetSectionNames(&names);
    IniModel model;
    for (const CString& name : Distinct(names)) {
        IniSection section{name, {}};
        CStringArray keys;
        file.GetKeyNames(name, &keys);
        for (const CString& key : Distinct(keys))
            section.keys.emplace_back(key, file.GetString(name, key, L""));
        model.push_back(std::move(section));
    }
    return model;
}

JsonValue IniToJson(const IniModel& model)
{
    JsonValue out = JsonValue::Obj();
    for (const IniSection& section : model) {
        JsonValue& keys = out.Add(JsonValue::Obj(), section.name.str());
        for (const auto& entry : section.keys)
            keys.Add(JsonValue::Str(entry.second.str()), entry.first.str());
    }
    return out;
}

std::vector<std::string> IniLines(const IniModel& model)
{
    std::vector<std::string> lines;
    for (const IniSection& section : model) {
        lines.push_back("[" + Narrow(section.name) + "]");
        for (const auto& entry : section.keys)
            lines.push_back(Narrow(entry.first) + "=" + Narrow(entry.second));
    }
    return lines;
}

bool ReadJsonModel(const CString& path, JsonValue& tree, std::string& error)
{
    std::string bytes;
    if (!ReadBytes(path, bytes)) {
        error = "cannot read " + Narrow(path);
        return false;
    }
    std::wstring text = DecodeDocument(bytes, DocKind::Json);
    // The library reads an empty file as an empty object.
    if (text.find_first_not_of(L" \t\r\n") == std::wstring::npos)
        text = L"{}";
    if (ParseJson(text, tree, error))
        return true;
    error = Narrow(path) + ", " + error;
    return false;
}

std::vector<std::string> JsonLines(const JsonValue& tree)
{
    std::vector<std::string> lines;
    std::vector<JsonValue> path;
    Flatten(tree, path, lines);
    return lines;
}

std::string JsonPathText(const std::vector<JsonValue>& path)
{
    if (path.empty())
        return ".";
    std::string out;
    for (const JsonValue& step : path) {
        if (step.type == JsonValue::Number)
            out += "[" + Narrow(CString(step.text)) + "]";
        else if (IsIdentifier(step.text))
            out += "." + Narrow(CString(step.text));
        else
            out += "[" + QuoteJson(step.text) + "]";
    }
    return out;
}

Differences DiffIni(const IniModel& before, const IniModel& after)
{
    Differences out;
    for (const IniSection& section : before) {
        const IniSection* other = FindSection(after, section.name);
        if (!other) {
            WholeSection(section, false, out);
            continue;
        }
        for (const auto& entry : section.keys) {
            const CString* now = FindValue(*other, entry.first);
            if (now && *now == entry.second)
                continue;
            out.lines.push_back("- " + IniLine(section.name, entry.first, entry.second));
            if (now)
                out.lines.push_back("+ " + IniLine(section.name, entry.first, *now));
            out.json.Add(IniChange(now ? "changed" : "removed", section.name, &entry.first, &entry.second, now));
        }
        for (const auto& entry : other->keys) {
            if (FindValue(section, entry.first))
                continue;
            out.lines.push_back("+ " + IniLine(section.name, entry.first, entry.second));
            out.json.Add(IniChange("added", section.name, &entry.first, nullptr, &entry.second));
        }
    }
    for (const IniSection& section : after)
        if (!FindSection(before, section.name))
            WholeSection(section, true, out);
    return out;
}

Differences DiffJson(const JsonValue& before, const JsonValue& after)
{
    Differences out;
    std::vector<JsonValue> path;
    DiffNodes(before, after, path, out);
    return out;
}

} // namespace zvenv

#include "Cli.h"
#include "Commands.h"
#include "Documents.h"

#include <zvenv/ZvUtil.h>
#include <zvenv/platform/Os.h>
#include <zvenv/platform/Text.h>

namespace zvenv {
namespace {

const char kJsonHelp[] = "usage: zvenv json get    NAME KEY [KEY...] [--type T]\n"
                         "       zvenv json set    NAME KEY [KEY...] VALUE [--type T]\n"
                         "       zvenv json delete NAME KEY [KEY...]\n"
                         "       zvenv json list   NAME [KEY...]\n"
                         "       zvenv json check  FILE\n"
                         "KEY... is a path through nested objects and arrays: a member name, or an\n"
                         "element's index (from 0) where the path meets an array. set creates the objects\n"
                         "on the way; an index one past the last element appends. get of an object lists\n"
                         "its members (NAME<TAB>VALUE), of an array its elements, one a line; with\n"
                         "--format json it prints the value as JSON, with its types. A user document\n"
                         "missing from the user's folder, or unreadable there, is copied from system/\n"
                         "when first opened.\n"
                         "Options: --system (the shipped default in system/ itself), --sub FOLDER,\n"
                         "--type string|int|double|bool|null|point|rect|size|rgb. Without --type set keeps\n"
                         "the member's type (text that does not fit it fails) and makes new members\n"
                         "strings; int, bool and null store JSON numbers, booleans and null; double stores\n"
                         "a whole number only (the library writes numbers as integers); point, rect, size\n"
                         "and rgb store their text forms.\n"
                         "check validates FILE (UTF-16LE or UTF-8) with the validator module and prints\n"
                         "its description; the exit status is 1 when the text is not valid.\n";

const Words kValueOptions = {"sub", "type"};
const Words kKnown = {"sub", "type", "system"};

// Array elements have no names, so the library's keyed calls reach one by a
// name it gets for the moment of the call.
const wchar_t kElementName[] = L"\x1Fzvenv-element";

std::string Join(const Words& keys, std::size_t count)
{
    std::string path;
    for (std::size_t i = 0; i < count && i < keys.size(); ++i)
        path += (i ? " " : "") + keys[i];
    return path.empty() ? "the document" : path;
}

bool ParseIndex(const std::string& text, std::size_t& index)
{
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    index = std::stoul(text);
    return true;
}

// Follows keys[0..count) through the file's tree.
const JsonValue* Find(const JsonValue& tree, const Words& keys, std::size_t count, std::string& error)
{
    const JsonValue* node = &tree;
    for (std::size_t i = 0; i < count; ++i) {
        std::size_t index = 0;
        const JsonValue* next = nullptr;
        if (node->type == JsonValue::Array)
            next = ParseIndex(keys[i], index) && index < node->items.size() ? &node->items[index] : nullptr;
        else if (node->type == JsonValue::Object)
            next = node->Find(Wide(keys[i]).GetString());
        if (!next) {
            error = node->IsContainer() ? "no " + std::string(node->type == JsonValue::Array ? "element " : "member ") +
                                              keys[i] + " in " + Join(keys, i)
                                        : Join(keys, i) + " is " + TypeName(node->type) + ", not an object or array";
            return nullptr;
        }
        node = next;
    }
    return node;
}

std::string ScalarText(const JsonValue& v)
{
    return v.type == JsonValue::Null ? "null" : Narrow(CString(v.text));
}

// A container's members as NAME<TAB>VALUE, or its elements one a line;
// nested containers show their size.
std::vector<std::string> Listing(const JsonValue& node)
{
    std::vector<std::string> lines;
    for (const JsonValue& item : node.items) {
        std::string value = ScalarText(item);
        if (item.IsContainer())
            value =
                "(" + std::to_string(item.items.size()) + (item.type == JsonValue::Array ? " elements)" : " members)");
        lines.push_back(node.type == JsonValue::Object ? Narrow(CString(item.name)) + "\t" + value : value);
    }
    return lines;
}

JsonValue::Type StoredType(ValueType type)
{
    switch (type) {
    case ValueType::Int:
    case ValueType::Double:
        return JsonValue::Number;
    case ValueType::Bool:
        return JsonValue::Boolean;
    case ValueType::Null:
        return JsonValue::Null;
    default:
        return JsonValue::String;
    }
}

// Sets the member `name` of the library node `parent` to the value, as a
// member of type `want`; `old` is the member as the file has it (null when
// there is none). A member of another type is replaced.
void Store(CTqEnvJson* doc, void* parent, const CString& name, const JsonValue* old, JsonValue::Type want,
           const Value& value)
{
    // The model's type codes are the library's node types.
    if (old && old->type != want)
        doc->CreateNode(parent, name, static_cast<char>(want), 1);
    else if (!old && want != JsonValue::String)
        doc->CreateNode(parent, name, static_cast<char>(want), 0);
    switch (want) {
    case JsonValue::Number:
        doc->SetInt(name, value.type == ValueType::Double ? static_cast<int>(value.d) : value.i, parent);
        break;
    case JsonValue::Boolean:
        doc->SetInt(name, value.flag ? 1 : 0, parent);
        break;
    case JsonValue::String:
        doc->SetString(name, StoredText(value), parent);
        break;
    default:
        break;
    }
}

// The validator module, looked for where the library looks: next to the
// host, next to the library, then through the loader's search.
zv::os::ModuleHandle LoadValidator()
{
    const CString file = zv::os::ModuleFileName(L"JSONLint");
    const CString exe = zv::os::ExecutablePath();
    const CString folders[] = {
        exe.Left(exe.ReverseFind(zv::os::kSeparator)),
        zv::os::FolderOfModuleContaining(reinterpret_cast<const void*>(&fnTqEnvMgr)),
    };
    for (const CString& folder : folders) {
        const CString path = folder + CString(zv::os::kSeparator) + file;
        if (!folder.IsEmpty() && zv::os::FileExists(path))
            if (zv::os::ModuleHandle module = zv::os::LoadModule(path))
                return module;
    }
    return zv::os::LoadModule(file);
}

// The result of check, as text lines or one JSON object.
int ReportCheck(const Context& ctx, const std::string& file, bool valid, const CString& description)
{
    JsonValue json = JsonValue::Obj();
    json.Add(JsonValue::Str(Wide(file).str()), L"file");
    json.Add(JsonValue::Bool(valid), L"valid");
    json.Add(JsonValue::Str(description.str()), L"description");
    std::vector<std::string> lines{file + (valid ? ": valid" : ": not valid")};
    if (!description.IsEmpty())
        lines.push_back(Narrow(description));
    ctx.Emit(json, lines);
    return valid ? kOk : kFailed;
}

// The file is read as the library reads a document's file: only a regular
// file, decoded by the same rules.
int Check(const Context& ctx, const std::string& file)
{
    std::string bytes;
    switch (zv::os::ReadRegularFile(Wide(file), bytes)) {
    case zv::os::ReadResult::Read:
        break;
    case zv::os::ReadResult::Folder:
        return Fail(file + " is a folder");
    case zv::os::ReadResult::NotAFile:
        return Fail(file + " is not a regular file (a device, pipe or socket): only files are checked");
    default:
        return Fail("cannot read " + file);
    }
    zv::os::ModuleHandle module = LoadValidator();
    auto parse = module ? reinterpret_cast<JsonCppParseFn>(zv::os::FindEntryPoint(module, "JSONCPP_Parse")) : nullptr;
    if (!parse) {
        if (module)
            zv::os::UnloadModule(module);
        return Fail("the validator module " + Narrow(zv::os::ModuleFileName(L"JSONLint")) + " is not available");
    }
    CString description;
    const std::wstring text = zv::text::DecodeJsonFile(bytes.data(), bytes.size());
    const int ok = parse(text.c_str(), &description, 1);
    zv::os::UnloadModule(module);
    return ReportCheck(ctx, file, ok == 1, description);
}

// Where the path stops in the library's tree: the node that holds the last
// key, and the file's view of it (null for an object created on the way).
struct Parent {
    void* node = nullptr;
    const JsonValue* model = nullptr;
};

// Walks keys[0..count) through the library's tree beside the file's; with
// `create`, missing members become objects. False with the reason otherwise.
bool Walk(CTqEnvJson* doc, const JsonValue& tree, const Words& keys, std::size_t count, bool create, Parent& at,
          std::string& error)
{
    at = Parent{nullptr, &tree};
    for (std::size_t i = 0; i < count; ++i) {
        const CString key = Wide(keys[i]);
        std::size_t index = 0;
        if (at.model && at.model->type == JsonValue::Array) {
            if (!ParseIndex(keys[i], index) || index >= at.model->items.size()) {
                error = "no element " + keys[i] + " in " + Join(keys, i);
                return false;
            }
            at = Parent{doc->GetBeginIterator(at.node)[index], &at.model->items[index]};
            continue;
        }
        if (at.model && !at.model->IsContainer()) {
            error = Join(keys, i) + " is " + TypeName(at.model->type) + ", not an object or array";
            return false;
        }
        const JsonValue* member = at.model ? at.model->Find(key.GetString()) : nullptr;
        if (!member && !create) {
            error = "no member " + keys[i] + " in " + Join(keys, i);
            return false;
        }
        void** it = member ? doc->GetIterator(key, at.node) : doc->CreateNode(at.node, key, 5, 0);
        if (!it || it == doc->GetEndIterator(at.node)) {
            error = "cannot create " + Join(keys, i + 1);
            return false;
        }
        at = Parent{*it, member};
    }
    return true;
}

// The type a set stores: --type's, else the member's own, which the text
// must fit. Empty reason when the value can be stored so.
std::string Fit(const JsonValue* old, bool typed, ValueType& type, const std::string& text, Value& value)
{
    std::string reason;
    if (!typed && old) {
        if (old->IsContainer())
            return "it is " + std::string(TypeName(old->type)) + ": set one of its members";
        type = old->type == JsonValue::Number    ? ValueType::Int
               : old->type == JsonValue::Boolean ? ValueType::Bool
               : old->type == JsonValue::Null    ? ValueType::Null
                                                 : ValueType::String;
        if (!ParseValue(type, text, value, reason))
            return "it holds " + std::string(TypeName(old->type)) + " and " + reason + " (--type replaces it)";
    } else if (!ParseValue(type, text, value, reason)) {
        return reason;
    }
    if (type == ValueType::Double && (value.d != static_cast<double>(static_cast<int>(value.d)) ||
                                      value.d < -2147483648.0 || value.d > 2147483647.0))
        return text + " is not a whole number, and the library stores the numbers it is given as 32-bit integers "
                      "(--type string keeps the text)";
    return std::string();
}

int SetPath(const Context& ctx, CTqEnvJson* doc, const JsonValue& tree, const Words& keys, const Args& args)
{
    const std::size_t last = keys.size() - 2;
    Parent at;
    std::string error;
    if (!Walk(doc, tree, keys, last, true, at, error))
        return Fail(error + " in " + ctx.Show(doc->GetPath()));
    const std::string target = Join(keys, last + 1);
    const bool array = at.model && at.model->type == JsonValue::Array;
    std::size_t index = 0;
    if (array && (!ParseIndex(keys[last], index) || index > at.model->items.size()))
        return Fail("no element " + keys[last] + " in " + Join(keys, last) + ", which has " +
                    std::to_string(at.model->items.size()) + " (the next index appends)");
    if (at.model && !at.model->IsContainer())
        return Fail(Join(keys, last) + " is " + TypeName(at.model->type) + ", not an object or array");
    const JsonValue* old = nullptr;
    if (array && index < at.model->items.size())
        old = &at.model->items[index];
    else if (!array && at.model)
        old = at.model->Find(Wide(keys[last]).GetString());
    ValueType type = ValueType::String;
    ParseValueType(args.Value("type"), type);
    Value value;
    const std::string problem = Fit(old, args.Has("type"), type, keys.back(), value);
    if (!problem.empty())
        return Fail("cannot set " + target + ": " + problem);
    const JsonValue::Type want = StoredType(type);
    if (!array) {
        Store(doc, at.node, Wide(keys[last]), old, want, value);
        return kOk;
    }
    // An element is changed in place; replacing it by another type would move it.
    if (old && old->type != want)
        return Fail("cannot set " + target + ": it is " + TypeName(old->type) +
                    ", and an element of another type would move to the end of the array");
    if (old)
        doc->SetNodeName(doc->GetBeginIterator(at.node)[index], kElementName);
    else
        doc->CreateNode(at.node, kElementName, static_cast<char>(want), 0);
    Store(doc, at.node, kElementName, old ? old : nullptr, want, value);
    if (void** it = doc->GetIterator(kElementName, at.node); it && it != doc->GetEndIterator(at.node))
        doc->SetNodeName(*it, L"");
    return kOk;
}

int DeletePath(const Context& ctx, CTqEnvJson* doc, const JsonValue& tree, const Words& keys)
{
    std::string error;
    if (!Find(tree, keys, keys.size(), error))
        return Fail(error + " in " + ctx.Show(doc->GetPath()));
    Parent at;
    Walk(doc, tree, keys, keys.size() - 1, false, at, error);
    CString key = Wide(keys.back());
    std::size_t index = 0;
    if (at.model->type == JsonValue::Array && ParseIndex(keys.back(), index)) {
        doc->SetNodeName(doc->GetBeginIterator(at.node)[index], kElementName);
        key = kElementName;
    }
    // The root's members are deleted through a null parent, which stands for the root.
    doc->DeleteKey(at.node, key);
    ctx.Note("deleted " + Join(keys, keys.size()));
    return kOk;
}

} // namespace

int ValidateJsonText(const std::wstring& text, CString& description)
{
    zv::os::ModuleHandle module = LoadValidator();
    auto parse = module ? reinterpret_cast<JsonCppParseFn>(zv::os::FindEntryPoint(module, "JSONCPP_Parse")) : nullptr;
    const int ok = parse ? (parse(text.c_str(), &description, 1) == 1 ? 1 : 0) : -1;
    if (module)
        zv::os::UnloadModule(module);
    return ok;
}

int RunJson(Context& ctx, const Words& words)
{
    const Args args(words, kValueOptions);
    if (args.WantsHelp())
        return Help(kJsonHelp);
    if (!args.Error().empty())
        return Usage(args.Error(), kJsonHelp);
    if (!args.Unknown(kKnown).empty())
        return Usage("unknown option " + args.Unknown(kKnown), kJsonHelp);
    const std::string verb = args.At(0);
    if (verb == "check")
        return args.Count() == 2 ? Check(ctx, args.At(1)) : Usage("json check takes one FILE", kJsonHelp);
    if (verb != "get" && verb != "set" && verb != "delete" && verb != "list")
        return Usage("expected get, set, delete, list or check", kJsonHelp);
    if (args.Count() < 2)
        return Usage("missing the document NAME", kJsonHelp);
    ValueType type = ValueType::String;
    if (!ParseValueType(args.Value("type"), type))
        return Usage("unknown --type " + args.Value("type"), kJsonHelp);
    const Words keys(args.Positional().begin() + 2, args.Positional().end());
    const std::size_t need = verb == "set" ? 2 : verb == "list" ? 0 : 1;
    if (keys.size() < need)
        return Usage("json " + verb + " needs " + (need == 2 ? "KEY... VALUE" : "KEY..."), kJsonHelp);
    Value value;
    std::string reason;
    if (verb == "set" && args.Has("type") && !ParseValue(type, keys.back(), value, reason))
        return Usage(reason, kJsonHelp);

    if (ctx.format == Format::Json && (verb == "set" || verb == "delete"))
        return Usage("--format json goes with get and list", kJsonHelp);

    const DocRequest req{args.At(1), args.Has("system"), args.Value("sub")};
    CTqEnvJson* doc = nullptr;
    CTqEnvIni* unused = nullptr;
    const int opened = verb == "set" ? OpenJson(ctx, req, doc) : OpenExisting(ctx, req, DocKind::Json, unused, doc);
    if (opened != kOk)
        return opened;
    JsonValue tree;
    std::string error;
    if (!ReadJsonModel(doc->GetPath(), tree, error))
        return Fail("cannot read the JSON text of " + error);
    if (verb == "set")
        return SetPath(ctx, doc, tree, keys, args);
    if (verb == "delete")
        return DeletePath(ctx, doc, tree, keys);
    const JsonValue* node = Find(tree, keys, keys.size(), error);
    if (!node)
        return Fail(error + " in " + ctx.Show(doc->GetPath()));
    if (verb == "list" && !node->IsContainer())
        return Fail(Join(keys, keys.size()) + " is " + TypeName(node->type) + ", not an object or array");
    if (node->IsContainer()) {
        if (args.Has("type"))
            return Fail(Join(keys, keys.size()) + " is " + TypeName(node->type) + ": --type reads a single value");
        ctx.Emit(*node, Listing(*node));
        return kOk;
    }
    if (!args.Has("type")) {
        ctx.Emit(*node, {ScalarText(*node)});
        return kOk;
    }
    if (!ParseValue(type, ScalarText(*node), value, reason))
        return Fail(Join(keys, keys.size()) + " in " + ctx.Show(doc->GetPath()) + ": " + reason);
    JsonValue typed = *node;
    if (StoredType(type) == JsonValue::String && type != ValueType::String)
        typed = JsonValue::Str(StoredText(value).str());
    ctx.Emit(typed, {Narrow(StoredText(value))});
    return kOk;
}

} // namespace zvenv

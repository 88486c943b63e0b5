#include "Cli.h"
#include "Commands.h"

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
                         "KEY... is a path of member names through nested objects; set creates the\n"
                         "objects on the way. get of an object lists its members, of an array its\n"
                         "elements, one a line. A user document missing from the user's folder, or\n"
                         "unreadable there, is copied from system/ when first opened.\n"
                         "Options: --system (the shipped default in system/ itself), --sub FOLDER,\n"
                         "--type string|int|double|point|rect|size|rgb (default string).\n"
                         "check validates FILE (UTF-16LE or UTF-8) with the validator module and prints\n"
                         "its description; the exit status is 1 when the text is not valid.\n";

const Words kValueOptions = {"sub", "type"};
const Words kKnown = {"sub", "type", "system"};

// Walks the objects named by keys[0..count); creates the missing ones when
// `create` is set. The root is a null parent, so `found` tells failure apart.
void* Walk(CTqEnvJson* doc, const Words& keys, std::size_t count, bool create, bool& found)
{
    void* parent = nullptr;
    found = true;
    for (std::size_t i = 0; i < count; ++i) {
        const CString key = Wide(keys[i]);
        void** it = doc->GetIterator(key, parent);
        if (!it || it == doc->GetEndIterator(parent)) {
            it = create ? doc->CreateNode(parent, key, 5, 0) : nullptr;
            if (!it || it == doc->GetEndIterator(parent)) {
                found = false;
                return nullptr;
            }
        }
        parent = *it;
    }
    return parent;
}

bool IsArray(CTqEnvJson* doc, void* node)
{
    void** begin = doc->GetBeginIterator(node);
    return begin && begin != doc->GetEndIterator(node) && doc->GetNodeName(*begin).IsEmpty();
}

// The members of an object as NAME<TAB>VALUE (containers as their size), or
// the elements of an array one a line.
void ListNode(CTqEnvJson* doc, void* parent, const CString& key, void* node)
{
    if (node && IsArray(doc, node)) {
        CStringArray items;
        doc->GetArray(key, items, parent);
        for (int i = 0; i < items.GetSize(); ++i)
            Print(items[i]);
        return;
    }
    void** end = doc->GetEndIterator(node);
    for (void** it = doc->GetBeginIterator(node); it && it != end; ++it) {
        const CString name = doc->GetNodeName(*it);
        const int size = doc->GetNodeSize(*it);
        if (size > 0)
            Print(name + L"\t(" + CString(std::to_wstring(size)) + (IsArray(doc, *it) ? L" elements)" : L" members)"));
        else
            Print(name + L"\t" + doc->GetString(name, L"", node));
    }
}

CString Get(CTqEnvJson* doc, ValueType type, const CString& key, void* parent)
{
    Value def;
    switch (type) {
    case ValueType::Int:
        return CString(std::to_wstring(doc->GetInt(key, 0, parent)));
    case ValueType::Double:
        return FormatDouble(doc->GetDouble(key, 0, parent));
    case ValueType::Point:
        return PointToString(doc->GetPoint(key, def.point, parent), L",");
    case ValueType::Rect:
        return RectToString(doc->GetRect(key, def.rect, parent), L",");
    case ValueType::Size:
        return SizeToString(doc->GetSize(key, def.size, parent), L",");
    case ValueType::Rgb:
        return RGBToString(doc->GetRGB(key, 0, parent), L",");
    case ValueType::String:
        break;
    }
    return doc->GetString(key, L"", parent);
}

void Set(CTqEnvJson* doc, const CString& key, Value& v, void* parent)
{
    switch (v.type) {
    case ValueType::Int:
        doc->SetInt(key, v.i, parent);
        break;
    case ValueType::Double:
        doc->SetDouble(key, v.d, parent);
        break;
    case ValueType::Point:
        doc->SetPoint(key, v.point, parent);
        break;
    case ValueType::Rect:
        doc->SetRect(key, v.rect, parent);
        break;
    case ValueType::Size:
        doc->SetSize(key, v.size, parent);
        break;
    case ValueType::Rgb:
        doc->SetRGB(key, v.rgb, parent);
        break;
    case ValueType::String:
        doc->SetString(key, v.text, parent);
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

// The file is read as the library reads a document's file: only a regular
// file, decoded by the same rules.
int Check(const std::string& file)
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
            zv::os::FreeModule(module);
        return Fail("the validator module " + Narrow(zv::os::ModuleFileName(L"JSONLint")) + " is not available");
    }
    CString description;
    const std::wstring text = zv::text::DecodeJsonFile(bytes.data(), bytes.size());
    const int ok = parse(text.c_str(), &description, 1);
    zv::os::FreeModule(module);
    Print(file + (ok == 1 ? ": valid" : ": not valid"));
    if (!description.IsEmpty())
        Print(description);
    return ok == 1 ? kOk : kFailed;
}

} // namespace

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
        return args.Count() == 2 ? Check(args.At(1)) : Usage("json check takes one FILE", kJsonHelp);
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
    if (verb == "set" && !ParseValue(type, keys.back(), value, reason))
        return Usage(reason, kJsonHelp);

    const std::string name = args.At(1);
    CTqEnvJson* doc = ctx.mgr->GetJson(Wide(name), args.Has("system") ? 1 : 0, Wide(args.Value("sub")));
    if (!doc)
        return Fail("the library refused the document '" + name + "'" +
                    (args.Has("sub") ? " in the sub-folder '" + args.Value("sub") + "'" : std::string()) +
                    ": names and sub-folders must stay inside the application root");
    if (!doc->GetJson())
        return Fail("could not load " + Narrow(doc->GetPath()) + " (missing, empty or not valid JSON)");
    ctx.jsons.push_back(doc);
    bool found = false;
    if (verb == "list") {
        void* parent = Walk(doc, keys, keys.empty() ? 0 : keys.size() - 1, false, found);
        const CString key = keys.empty() ? CString() : Wide(keys.back());
        if (found && !keys.empty())
            found = doc->IsExistNode(parent, key) != 0;
        if (!found)
            return Fail("no such member in " + Narrow(doc->GetPath()));
        ListNode(doc, parent, key, keys.empty() ? nullptr : *doc->GetIterator(key, parent));
        return kOk;
    }
    const std::size_t depth = keys.size() - need;
    void* parent = Walk(doc, keys, depth, verb == "set", found);
    if (!found)
        return Fail(verb == "set" ? "cannot create the path in " + Narrow(doc->GetPath())
                                  : "no such member in " + Narrow(doc->GetPath()));
    const CString key = Wide(keys[depth]);
    if (verb == "set") {
        if (ctx.dryRun)
            Print("would set " + keys[depth] + " = " + keys.back() + " (now: " + Narrow(Get(doc, type, key, parent)) +
                  ")");
        Set(doc, key, value, parent);
        return kOk;
    }
    if (!doc->IsExistNode(parent, key))
        return Fail("no member " + keys[depth] + " in " + Narrow(doc->GetPath()));
    if (verb == "get") {
        void* node = *doc->GetIterator(key, parent);
        if (doc->GetNodeSize(node) > 0)
            ListNode(doc, parent, key, node);
        else
            Print(Get(doc, type, key, parent));
        return kOk;
    }
    if (ctx.dryRun)
        Print("would delete " + keys[depth] + " in " + Narrow(doc->GetPath()));
    doc->DeleteKey(parent, key);
    return kOk;
}

} // namespace zvenv

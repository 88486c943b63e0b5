#include "Cli.h"
#include "Commands.h"

#include <zvenv/platform/Os.h>
#include <zvenv/platform/Text.h>

#include <fstream>
#include <iterator>

namespace zvenv {
namespace {

const char kJsonHelp[] =
    "usage: zvenv json get    NAME KEY [KEY...]\n"
    "       zvenv json set    NAME KEY [KEY...] VALUE\n"
    "       zvenv json delete NAME KEY [KEY...]\n"
    "       zvenv json list   NAME [KEY...]\n"
    "       zvenv json check  FILE\n"
    "KEY... is a path of member names through nested objects; set creates the\n"
    "objects on the way. Options: --system (the shipped default), --sub FOLDER.\n"
    "check validates FILE (UTF-16LE or UTF-8) and prints the validator's description.\n";

// Walks the objects named by keys; null when one is missing. The root is null too,
// so found tells the two apart.
void* Walk(CTqEnvJson* doc, const Words& keys, std::size_t count, bool create, bool& found)
{
    void* parent = nullptr;
    found = true;
    for (std::size_t i = 0; i < count; ++i) {
        const CString key = Wide(keys[i]);
        void** it = doc->GetIterator(key, parent);
        if (!it || it == doc->GetEndIterator(parent)) {
            if (!create) {
                found = false;
                return nullptr;
            }
            it = doc->CreateNode(parent, key, 5, 0);
            if (!it || it == doc->GetEndIterator(parent)) {
                found = false;
                return nullptr;
            }
        }
        parent = *it;
    }
    return parent;
}

void ListMembers(CTqEnvJson* doc, void* node)
{
    void** end = doc->GetEndIterator(node);
    for (void** it = doc->GetBeginIterator(node); it && it != end; ++it) {
        const CString name = doc->GetNodeName(*it);
        if (doc->GetNodeSize(*it) > 0)
            Print(name + L"\t(" + CString(std::to_wstring(doc->GetNodeSize(*it))) + L" members)");
        else
            Print(name + L"\t" + doc->GetString(name, L"", node));
    }
}

std::wstring DecodeFile(const std::string& bytes)
{
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE)
        return zv::text::DecodeUtf16le(bytes.data() + 2, bytes.size() - 2);
    if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
        return zv::text::DecodeUtf8Lenient(bytes.substr(3));
    // UTF-16LE without a mark shows as zero bytes in the odd places of ASCII text.
    if (bytes.size() >= 2 && bytes[1] == '\0')
        return zv::text::DecodeUtf16le(bytes.data(), bytes.size());
    return zv::text::DecodeUtf8Lenient(bytes);
}

int Check(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return Fail("cannot read " + file);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const CString exe = zv::os::ExecutablePath();
    const CString folder = exe.Left(exe.ReverseFind(zv::os::kSeparator) + 1);
    const CString name = zv::os::ModuleFileName(L"JSONLint");
    zv::os::ModuleHandle module = zv::os::LoadModule(folder + name);
    if (!module)
        module = zv::os::LoadModule(name);
    auto parse = module ? reinterpret_cast<JsonCppParseFn>(zv::os::FindEntryPoint(module, "JSONCPP_Parse")) : nullptr;
    if (!parse)
        return Fail("the validator module " + Narrow(name) + " is not available");
    CString error;
    const std::wstring text = DecodeFile(bytes);
    const int ok = parse(text.c_str(), &error, 1);
    zv::os::FreeModule(module);
    if (ok == 1) {
        Print(file + ": valid");
        return kOk;
    }
    Print(file + ": invalid");
    Print(error);
    return kFailed;
}

} // namespace

int RunJson(Context& ctx, const Words& words)
{
    const Args args(words, {"sub"});
    if (args.Has("help"))
        return Usage("", kJsonHelp) - kUsage;
    if (!args.Error().empty())
        return Usage(args.Error(), kJsonHelp);
    const std::string verb = args.At(0);
    if (verb == "check")
        return args.Count() == 2 ? Check(args.At(1)) : Usage("json check takes one FILE", kJsonHelp);
    if (verb != "get" && verb != "set" && verb != "delete" && verb != "list")
        return Usage("expected get, set, delete, list or check", kJsonHelp);
    if (args.Count() < 2)
        return Usage("missing the document NAME", kJsonHelp);

    CTqEnvJson* doc = ctx.mgr->GetJson(Wide(args.At(1)), args.Has("system") ? 1 : 0, Wide(args.Value("sub")));
    if (!doc)
        return Fail("the library refused the document name '" + args.At(1) + "' (or its --sub)");
    if (!doc->GetJson())
        return Fail("could not load " + Narrow(doc->GetPath()));
    ctx.jsons.push_back(doc);
    const Words keys(args.Positional().begin() + 2, args.Positional().end());
    bool found = false;
    if (verb == "list") {
        void* node = Walk(doc, keys, keys.size(), false, found);
        if (!found)
            return Fail("no such member in " + Narrow(doc->GetPath()));
        ListMembers(doc, node);
        return kOk;
    }
    const std::size_t need = verb == "set" ? 2 : 1;
    if (keys.size() < need)
        return Usage("json " + verb + " needs " + (need == 2 ? "KEY... VALUE" : "KEY..."), kJsonHelp);
    const std::size_t depth = keys.size() - need;
    void* parent = Walk(doc, keys, depth, verb == "set" && !ctx.dryRun, found);
    const CString key = Wide(keys[depth]);
    if (verb == "set") {
        if (ctx.dryRun) {
            Print("would set " + keys[depth] + " in " + Narrow(doc->GetPath()));
            return kOk;
        }
        if (!found)
            return Fail("cannot create the path in " + Narrow(doc->GetPath()));
        doc->SetString(key, Wide(keys.back()), parent);
        return kOk;
    }
    if (!found || !doc->IsExistNode(parent, key))
        return Fail("no member " + keys[depth] + " in " + Narrow(doc->GetPath()));
    if (verb == "get") {
        void* node = *doc->GetIterator(key, parent);
        if (doc->GetNodeSize(node) > 0 && doc->GetString(key, L"", parent).IsEmpty())
            ListMembers(doc, node);
        else
            Print(doc->GetString(key, L"", parent));
        return kOk;
    }
    doc->DeleteKey(parent, key);
    return kOk;
}

} // namespace zvenv

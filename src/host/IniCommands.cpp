#include "Cli.h"
#include "Commands.h"
#include "Documents.h"

#include <zvenv/CTqIni.h>
#include <zvenv/ZvUtil.h>
#include <zvenv/platform/Os.h>

#include <cstdio>
#include <cstdlib>

namespace zvenv {
namespace {

const char kIniHelp[] = "usage: zvenv ini get    NAME SECTION KEY [--type T] [--default V]\n"
                        "       zvenv ini set    NAME SECTION KEY VALUE [--type T]\n"
                        "       zvenv ini delete NAME SECTION [KEY]\n"
                        "       zvenv ini list   NAME [SECTION]\n"
                        "Lists (get prints one item a line; set takes the items as words):\n"
                        "       zvenv ini get|set NAME SECTION KEY --array [--delim D] [ITEM...]\n"
                        "             one key, the items joined by D (default ,)\n"
                        "       zvenv ini get|set NAME SECTION --ordered PATTERN [--first N] [--force] [ITEM...]\n"
                        "             the section holds count and one key per item, PATTERN such as Item%d,\n"
                        "             numbered from N (default 1)\n"
                        "       zvenv ini get|set NAME SECTION --tree [--prefix P] [--delim D] [--force] [ROW...]\n"
                        "             one sub-section per row, the row's parts joined by D (default |)\n"
                        "NAME is a document name such as trade or trade.ini; EnvSetting is the current\n"
                        "user's settings. A user document missing from the user's folder is copied from\n"
                        "system/ when first opened.\n"
                        "Options: --system (the shipped default in system/ itself), --sub FOLDER (a\n"
                        "sub-folder of the user-id folder), --type string|int|double|point|rect|size|rgb\n"
                        "(default string; point and size X,Y, rect L,T,R,B, rgb R,G,B). get of a key\n"
                        "that is not there fails unless --default gives the value; a value that does not\n"
                        "fit --type fails. set refuses text that would not read back as given (a line\n"
                        "break, blanks at the ends, enclosing quotes; '=' or a leading '[' or ';' in a\n"
                        "key; ']' in a section). A double is stored with six decimals. --ordered and\n"
                        "--tree replace the whole section: --force when it holds other keys.\n"
                        "list prints the section names, or the KEY=VALUE lines of SECTION, as on disk.\n";

const Words kValueOptions = {"sub", "type", "default", "ordered", "first", "delim", "prefix"};
const Words kKnown = {"sub",    "type",   "default", "ordered", "first", "delim",
                      "prefix", "system", "array",   "tree",    "force"};

std::string Where(const std::string& section, const std::string& key)
{
    return "[" + section + "] " + key;
}

JsonValue Numbers(std::initializer_list<long> numbers)
{
    JsonValue out = JsonValue::Arr();
    for (const long n : numbers)
        out.Add(JsonValue::Num(std::to_wstring(n)));
    return out;
}

// A value read with --type, with its JSON form.
JsonValue TypedJson(const Value& v)
{
    switch (v.type) {
    case ValueType::Int:
    case ValueType::Double:
        return JsonValue::Num(StoredText(v).str());
    case ValueType::Point:
        return Numbers({v.point.x, v.point.y});
    case ValueType::Size:
        return Numbers({v.size.cx, v.size.cy});
    case ValueType::Rect:
        return Numbers({v.rect.left, v.rect.top, v.rect.right, v.rect.bottom});
    case ValueType::Rgb:
        return Numbers({static_cast<long>(v.rgb & 0xFF), static_cast<long>(v.rgb >> 8 & 0xFF),
                        static_cast<long>(v.rgb >> 16 & 0xFF)});
    default:
        return JsonValue::Str(v.text.str());
    }
}

void Set(CTqEnvIni* doc, const CString& section, const CString& key, Value& v)
{
    switch (v.type) {
    case ValueType::Int:
        doc->SetInt(section, key, v.i);
        break;
    case ValueType::Double:
        doc->SetDouble(section, key, v.d);
        break;
    case ValueType::Point:
        doc->SetPoint(section, key, v.point);
        break;
    case ValueType::Rect:
        doc->SetRect(section, key, v.rect);
        break;
    case ValueType::Size:
        doc->SetSize(section, key, v.size);
        break;
    case ValueType::Rgb:
        doc->SetRGB(section, key, v.rgb);
        break;
    default:
        doc->SetString(section, key, v.text);
        break;
    }
}

void EmitItems(const Context& ctx, const CStringArray& items)
{
    JsonValue json = JsonValue::Arr();
    std::vector<std::string> lines;
    for (int i = 0; i < items.GetSize(); ++i) {
        json.Add(JsonValue::Str(items[i].str()));
        lines.push_back(Narrow(items[i]));
    }
    ctx.Emit(json, lines);
}

CStringArray ItemsFrom(const Args& args, std::size_t first)
{
    CStringArray items;
    for (std::size_t i = first; i < args.Count(); ++i)
        items.Add(Wide(args.At(i)));
    return items;
}

bool IsNumberText(const std::wstring& text)
{
    std::size_t i = !text.empty() && (text[0] == L'-' || text[0] == L'+') ? 1 : 0;
    if (i >= text.size())
        return false;
    for (; i < text.size(); ++i)
        if (text[i] < L'0' || text[i] > L'9')
            return false;
    return true;
}

// Keys of the section that the list does not rewrite: everything but "count"
// and the item keys (PATTERN with a number for --ordered, numbers for --tree).
std::string OtherKeys(const CString& path, const CString& section, const CString& pattern)
{
    CStringArray keys;
    CTqIni(path).GetKeyNames(section, &keys);
    const int at = pattern.Find(L"%d");
    const CString head = at < 0 ? CString() : pattern.Left(at);
    const CString tail = at < 0 ? CString() : pattern.Mid(at + 2);
    std::string others;
    for (int i = 0; i < keys.GetSize(); ++i) {
        const CString& key = keys[i];
        if (key.CompareNoCase(L"count") == 0)
            continue;
        const bool fits =
            key.GetLength() > head.GetLength() + tail.GetLength() &&
            key.Left(head.GetLength()).CompareNoCase(head) == 0 &&
            key.Right(tail.GetLength()).CompareNoCase(tail) == 0 &&
            IsNumberText(key.Mid(head.GetLength(), key.GetLength() - head.GetLength() - tail.GetLength()).str());
        if (!fits)
            others += (others.empty() ? "" : ", ") + Narrow(key);
    }
    return others;
}

// Reading any form of list fails when there is nothing to read.
int GetList(const Context& ctx, CTqEnvIni* doc, const Args& args)
{
    const CString section = Wide(args.At(2));
    const CTqIni file(doc->GetPath());
    CStringArray items;
    if (args.Has("array")) {
        if (args.Count() != 4)
            return Usage("ini get --array takes NAME SECTION KEY", kIniHelp);
        const CString delim = Wide(args.Value("delim", ","));
        if (delim.IsEmpty())
            return Usage("--delim must not be empty", kIniHelp);
        if (!file.IsKeyExist(section, Wide(args.At(3))))
            return Fail("no key " + Where(args.At(2), args.At(3)) + " in " + ctx.Show(doc->GetPath()));
        doc->GetArray(section, Wide(args.At(3)), items, L"", delim);
        EmitItems(ctx, items);
        return kOk;
    }
    if (args.Count() != 3)
        return Usage("ini get of a list section takes NAME SECTION", kIniHelp);
    if (!file.IsSectionExist(section))
        return Fail("no section [" + args.At(2) + "] in " + ctx.Show(doc->GetPath()));
    if (args.Has("ordered")) {
        Value first;
        std::string reason;
        if (!ParseValue(ValueType::Int, args.Value("first", "1"), first, reason) || first.i < 0)
            return Usage("--first takes a whole number from 0", kIniHelp);
        doc->GetOrderArray(section, items, L"", Wide(args.Value("ordered")), first.i);
    } else {
        const CString delim = Wide(args.Value("delim", "|"));
        if (delim.IsEmpty())
            return Usage("--delim must not be empty", kIniHelp);
        doc->GetTreeArray(section, items, Wide(args.Value("prefix")), delim);
    }
    EmitItems(ctx, items);
    return kOk;
}

int SetList(CTqEnvIni* doc, const Args& args)
{
    const CString section = Wide(args.At(2));
    if (!IniSectionProblem(args.At(2)).empty())
        return Unstorable("the section '" + args.At(2) + "' would not read back: " + IniSectionProblem(args.At(2)));
    if (args.Has("array")) {
        if (args.Count() < 4)
            return Usage("ini set --array takes NAME SECTION KEY [ITEM...]", kIniHelp);
        if (!IniKeyProblem(args.At(3)).empty())
            return Unstorable("the key '" + args.At(3) + "' would not read back: " + IniKeyProblem(args.At(3)));
        const std::string delim = args.Value("delim", ",");
        if (delim.empty())
            return Usage("--delim must not be empty", kIniHelp);
        std::string joined;
        for (std::size_t i = 4; i < args.Count(); ++i) {
            if (args.At(i).find(delim) != std::string::npos)
                return Unstorable("the item '" + args.At(i) + "' holds the delimiter '" + delim + "'");
            joined += (i > 4 ? delim : std::string()) + args.At(i);
        }
        if (args.Count() > 4 && args.At(args.Count() - 1).empty())
            return Unstorable("an empty last item is dropped when the list is read");
        if (!IniValueProblem(joined).empty())
            return Unstorable("the joined items '" + joined + "' would not read back: " + IniValueProblem(joined));
        CStringArray items = ItemsFrom(args, 4);
        doc->SetArray(section, Wide(args.At(3)), items, Wide(delim));
        return kOk;
    }
    CStringArray items = ItemsFrom(args, 3);
    CString pattern;
    int first = 0;
    std::string delim;
    if (args.Has("ordered")) {
        pattern = Wide(args.Value("ordered"));
        Value parsed;
        std::string reason;
        if (!ParseValue(ValueType::Int, args.Value("first", "1"), parsed, reason) || parsed.i < 0)
            return Usage("--first takes a whole number from 0", kIniHelp);
        first = parsed.i;
        std::string sample = args.Value("ordered");
        sample.replace(sample.find("%d"), 2, "1");
        if (!IniKeyProblem(sample).empty())
            return Unstorable("the keys made from '" + args.Value("ordered") +
                              "' would not read back: " + IniKeyProblem(sample));
    } else {
        delim = args.Value("delim", "|");
        if (delim.empty())
            return Usage("--delim must not be empty", kIniHelp);
        const std::string prefix = args.Value("prefix", args.At(2)) + "_0";
        if (!IniSectionProblem(prefix).empty())
            return Unstorable("the sub-sections made from '" + prefix +
                              "' would not read back: " + IniSectionProblem(prefix));
    }
    for (std::size_t i = 3; i < args.Count(); ++i) {
        std::string rest = args.At(i);
        // A tree row's parts are values of their own.
        for (std::size_t cut = 0; cut != std::string::npos;) {
            cut = delim.empty() ? std::string::npos : rest.find(delim);
            const std::string part = rest.substr(0, cut);
            if (!IniValueProblem(part).empty())
                return Unstorable("the item '" + part + "' would not read back: " + IniValueProblem(part));
            if (cut != std::string::npos)
                rest.erase(0, cut + delim.size());
        }
    }
    const std::string others = OtherKeys(doc->GetPath(), section, pattern);
    if (!others.empty() && !args.Has("force"))
        return Fail("the section [" + args.At(2) + "] also holds " + others + ", which " +
                    (args.Has("ordered") ? "--ordered" : "--tree") + " would delete: add --force to replace it");
    if (args.Has("ordered"))
        doc->SetOrderArray(section, items, pattern, first);
    else
        doc->SetTreeArray(section, items, Wide(args.Value("prefix")), Wide(delim));
    return kOk;
}

// What is on disk: section names, or the KEY=VALUE lines of one section.
int List(const Context& ctx, CTqEnvIni* doc, const Args& args)
{
    if (args.Count() > 3)
        return Usage("ini list takes NAME [SECTION]", kIniHelp);
    if (!zv::os::FileExists(doc->GetPath()))
        return Fail("no file at " + ctx.Show(doc->GetPath()));
    const CTqIni file(doc->GetPath());
    const IniModel model = ReadIniModel(doc->GetPath());
    CStringArray lines;
    JsonValue json = JsonValue::Arr();
    if (args.Count() < 3) {
        file.GetSectionNames(&lines);
        for (const IniSection& section : model)
            json.Add(JsonValue::Str(section.name.str()));
    } else {
        const CString name = Wide(args.At(2));
        if (!file.IsSectionExist(name))
            return Fail("no section [" + args.At(2) + "] in " + ctx.Show(doc->GetPath()));
        file.GetKeyLines(name, &lines);
        json = JsonValue::Obj();
        for (const IniSection& section : model)
            if (section.name.CompareNoCase(name) == 0)
                json = IniToJson({section}).items.front();
    }
    std::vector<std::string> text;
    for (int i = 0; i < lines.GetSize(); ++i)
        text.push_back(Narrow(lines[i]));
    ctx.Emit(json, text);
    return kOk;
}

int Get(const Context& ctx, CTqEnvIni* doc, const Args& args, ValueType type)
{
    if (args.Count() != 4)
        return Usage("ini get takes NAME SECTION KEY", kIniHelp);
    const CString section = Wide(args.At(2));
    const CString key = Wide(args.At(3));
    const bool there = zv::os::FileExists(doc->GetPath()) && CTqIni(doc->GetPath()).IsKeyExist(section, key);
    if (!there && !args.Has("default"))
        return Fail("no key " + Where(args.At(2), args.At(3)) + " in " + ctx.Show(doc->GetPath()));
    const std::string text = there ? Narrow(doc->GetString(section, key, L"")) : args.Value("default");
    Value value;
    std::string reason;
    if (!ParseValue(type, text, value, reason)) {
        if (!there)
            return Usage("--default: " + reason, kIniHelp);
        return Fail(Where(args.At(2), args.At(3)) + " in " + ctx.Show(doc->GetPath()) + ": " + reason);
    }
    ctx.Emit(TypedJson(value), {Narrow(StoredText(value))});
    return kOk;
}

int SetValue(CTqEnvIni* doc, const Args& args, ValueType type)
{
    if (args.Count() != 5)
        return Usage("ini set takes NAME SECTION KEY VALUE", kIniHelp);
    if (!IniSectionProblem(args.At(2)).empty())
        return Unstorable("the section '" + args.At(2) + "' would not read back: " + IniSectionProblem(args.At(2)));
    if (!IniKeyProblem(args.At(3)).empty())
        return Unstorable("the key '" + args.At(3) + "' would not read back: " + IniKeyProblem(args.At(3)));
    Value value;
    std::string reason;
    if (!ParseValue(type, args.At(4), value, reason))
        return Usage(reason, kIniHelp);
    if (type == ValueType::String && !IniValueProblem(args.At(4)).empty())
        return Unstorable("the value '" + args.At(4) + "' would not read back: " + IniValueProblem(args.At(4)));
    if (type == ValueType::Double) {
        char stored[400];
        std::snprintf(stored, sizeof stored, "%f", value.d);
        if (std::strtod(stored, nullptr) != value.d)
            Warn(Where(args.At(2), args.At(3)) + " is stored as " + stored +
                 ": INI documents keep a double with six decimals");
    }
    Set(doc, Wide(args.At(2)), Wide(args.At(3)), value);
    return kOk;
}

int Delete(const Context& ctx, CTqEnvIni* doc, const Args& args)
{
    if (args.Count() > 4)
        return Usage("ini delete takes NAME SECTION [KEY]", kIniHelp);
    const CString section = Wide(args.At(2));
    const CTqIni file(doc->GetPath());
    const bool whole = args.Count() == 3;
    const std::string what = whole ? "[" + args.At(2) + "]" : Where(args.At(2), args.At(3));
    if (!zv::os::FileExists(doc->GetPath()) ||
        (whole ? !file.IsSectionExist(section) : !file.IsKeyExist(section, Wide(args.At(3)))))
        return Fail("no " + std::string(whole ? "section " : "key ") + what + " in " + ctx.Show(doc->GetPath()));
    if (whole) {
        // The document drops a section from the file only when it holds the
        // section in memory, so one of its keys is read first.
        CStringArray keys;
        file.GetKeyNames(section, &keys);
        if (keys.GetSize() > 0)
            doc->GetString(section, keys[0], L"");
    }
    const int ok = whole ? doc->DeleteSection(section) : doc->DeleteKey(section, Wide(args.At(3)));
    if (!ok)
        return Fail("could not delete " + what + " in " + ctx.Show(doc->GetPath()));
    ctx.Note("deleted " + what);
    return kOk;
}

} // namespace

int RunIni(Context& ctx, const Words& words)
{
    const Args args(words, kValueOptions);
    if (args.WantsHelp())
        return Help(kIniHelp);
    if (!args.Error().empty())
        return Usage(args.Error(), kIniHelp);
    if (!args.Unknown(kKnown).empty())
        return Usage("unknown option " + args.Unknown(kKnown), kIniHelp);
    const std::string verb = args.At(0);
    if (verb != "get" && verb != "set" && verb != "delete" && verb != "list")
        return Usage("expected get, set, delete or list", kIniHelp);
    if (args.Count() < 2)
        return Usage("missing the document NAME", kIniHelp);
    if (ctx.format == Format::Json && (verb == "set" || verb == "delete"))
        return Usage("--format json goes with get and list", kIniHelp);
    ValueType type = ValueType::String;
    if (!ParseValueType(args.Value("type"), type))
        return Usage("unknown --type " + args.Value("type"), kIniHelp);
    if (type == ValueType::Bool || type == ValueType::Null)
        return Usage("--type " + args.Value("type") + " is for JSON documents", kIniHelp);
    const int lists = (args.Has("array") ? 1 : 0) + (args.Has("ordered") ? 1 : 0) + (args.Has("tree") ? 1 : 0);
    if (lists > 1)
        return Usage("--array, --ordered and --tree exclude each other", kIniHelp);
    if (lists && (verb == "delete" || verb == "list"))
        return Usage("--array, --ordered and --tree go with get and set", kIniHelp);
    if (lists && args.Has("type"))
        return Usage("lists hold text: --type does not apply", kIniHelp);
    if (args.Has("ordered")) {
        const std::string pattern = args.Value("ordered");
        if (pattern.find("%d") == std::string::npos || pattern.find('%') != pattern.rfind('%'))
            return Usage("--ordered takes a key pattern with one %d, such as Item%d", kIniHelp);
    }

    CTqEnvIni* doc = nullptr;
    if (const int status = OpenIni(ctx, DocRequest{args.At(1), args.Has("system"), args.Value("sub")}, doc))
        return status;
    if (verb == "list")
        return List(ctx, doc, args);
    if (args.Count() < 3)
        return Usage("missing the SECTION", kIniHelp);
    if (lists)
        return verb == "get" ? GetList(ctx, doc, args) : SetList(doc, args);
    if (verb == "get")
        return Get(ctx, doc, args, type);
    if (verb == "set")
        return SetValue(doc, args, type);
    return Delete(ctx, doc, args);
}

} // namespace zvenv

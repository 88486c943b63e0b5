#include "Cli.h"
#include "Commands.h"

#include <zvenv/CTqIni.h>
#include <zvenv/ZvUtil.h>
#include <zvenv/platform/Os.h>

namespace zvenv {
namespace {

const char kIniHelp[] = "usage: zvenv ini get    NAME SECTION KEY [--type T] [--default V]\n"
                        "       zvenv ini set    NAME SECTION KEY VALUE [--type T]\n"
                        "       zvenv ini delete NAME SECTION [KEY]\n"
                        "       zvenv ini list   NAME [SECTION]\n"
                        "Lists (get prints one item a line; set takes the items as words):\n"
                        "       zvenv ini get|set NAME SECTION KEY --array [--delim D] [ITEM...]\n"
                        "             one key, the items joined by D (default ,)\n"
                        "       zvenv ini get|set NAME SECTION --ordered PATTERN [--first N] [ITEM...]\n"
                        "             the section holds count and one key per item, PATTERN such as Item%d,\n"
                        "             numbered from N (default 1)\n"
                        "       zvenv ini get|set NAME SECTION --tree [--prefix P] [--delim D] [ROW...]\n"
                        "             one sub-section per row, the row's parts joined by D (default |)\n"
                        "NAME is a document name such as trade or trade.ini; EnvSetting is the current\n"
                        "user's settings. A user document missing from the user's folder is copied from\n"
                        "system/ when first opened.\n"
                        "Options: --system (the shipped default in system/ itself), --sub FOLDER (a\n"
                        "sub-folder of the user-id folder), --type string|int|double|point|rect|size|rgb\n"
                        "(default string; point and size X,Y, rect L,T,R,B, rgb R,G,B).\n"
                        "list prints the section names, or the KEY=VALUE lines of SECTION, as on disk.\n";

const Words kValueOptions = {"sub", "type", "default", "ordered", "first", "delim", "prefix"};
const Words kKnown = {"sub", "type", "default", "ordered", "first", "delim", "prefix", "system", "array", "tree"};

CString Get(CTqEnvIni* doc, ValueType type, const CString& section, const CString& key, const Value& def)
{
    switch (type) {
    case ValueType::Int:
        return CString(std::to_wstring(doc->GetInt(section, key, def.i)));
    case ValueType::Double:
        return FormatDouble(doc->GetDouble(section, key, def.d));
    case ValueType::Point: {
        CPoint p = def.point;
        return PointToString(doc->GetPoint(section, key, p), L",");
    }
    case ValueType::Rect: {
        CRect r = def.rect;
        return RectToString(doc->GetRect(section, key, r), L",");
    }
    case ValueType::Size: {
        CSize s = def.size;
        return SizeToString(doc->GetSize(section, key, s), L",");
    }
    case ValueType::Rgb:
        return RGBToString(doc->GetRGB(section, key, def.rgb), L",");
    case ValueType::String:
        break;
    }
    return doc->GetString(section, key, def.text);
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
    case ValueType::String:
        doc->SetString(section, key, v.text);
        break;
    }
}

void PrintItems(const CStringArray& items)
{
    for (int i = 0; i < items.GetSize(); ++i)
        Print(items[i]);
}

CStringArray ItemsFrom(const Args& args, std::size_t first)
{
    CStringArray items;
    for (std::size_t i = first; i < args.Count(); ++i)
        items.Add(Wide(args.At(i)));
    return items;
}

// The three list forms; `set` tells writing from reading.
int RunList(Context& ctx, CTqEnvIni* doc, const Args& args, bool set)
{
    const CString section = Wide(args.At(2));
    const char* verb = set ? "set" : "get";
    if (args.Has("array")) {
        if (args.Count() < 4 || (!set && args.Count() != 4))
            return Usage(std::string("ini ") + verb + " --array takes NAME SECTION KEY" + (set ? " [ITEM...]" : ""),
                         kIniHelp);
        const CString key = Wide(args.At(3));
        const CString delim = Wide(args.Value("delim", ","));
        if (delim.IsEmpty())
            return Usage("--delim must not be empty", kIniHelp);
        CStringArray items = ItemsFrom(args, 4);
        if (!set) {
            doc->GetArray(section, key, items, L"", delim);
            PrintItems(items);
        } else {
            if (ctx.dryRun)
                Print("would set [" + args.At(2) + "] " + args.At(3) + " to " + std::to_string(items.GetSize()) +
                      " items");
            doc->SetArray(section, key, items, delim);
        }
        return kOk;
    }
    if (!set && args.Count() != 3)
        return Usage("ini get of a list section takes NAME SECTION", kIniHelp);
    CStringArray items = ItemsFrom(args, 3);
    if (ctx.dryRun && set)
        Print("would set the section [" + args.At(2) + "] to " + std::to_string(items.GetSize()) + " items");
    if (args.Has("ordered")) {
        const CString pattern = Wide(args.Value("ordered"));
        long first = 0;
        Value parsed;
        std::string reason;
        if (!ParseValue(ValueType::Int, args.Value("first", "1"), parsed, reason) || parsed.i < 0)
            return Usage("--first takes a whole number from 0", kIniHelp);
        first = parsed.i;
        if (pattern.Find(L"%d") < 0 || pattern.Find(L'%') != pattern.ReverseFind(L'%'))
            return Usage("--ordered takes a key pattern with one %d, such as Item%d", kIniHelp);
        if (set) {
            doc->SetOrderArray(section, items, pattern, static_cast<int>(first));
        } else {
            doc->GetOrderArray(section, items, L"", pattern, static_cast<int>(first));
            PrintItems(items);
        }
        return kOk;
    }
    const CString delim = Wide(args.Value("delim", "|"));
    const CString prefix = Wide(args.Value("prefix"));
    if (delim.IsEmpty())
        return Usage("--delim must not be empty", kIniHelp);
    if (set) {
        doc->SetTreeArray(section, items, prefix, delim);
    } else {
        doc->GetTreeArray(section, items, prefix, delim);
        PrintItems(items);
    }
    return kOk;
}

// What is on disk: section names, or the KEY=VALUE lines of one section.
int List(CTqEnvIni* doc, const Args& args)
{
    if (args.Count() > 3)
        return Usage("ini list takes NAME [SECTION]", kIniHelp);
    if (!zv::os::FileExists(doc->GetPath()))
        return Fail("no file at " + Narrow(doc->GetPath()));
    const CTqIni file(doc->GetPath());
    CStringArray lines;
    if (args.Count() < 3)
        file.GetSectionNames(&lines);
    else
        file.GetKeyLines(Wide(args.At(2)), &lines);
    PrintItems(lines);
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
    ValueType type = ValueType::String;
    if (!ParseValueType(args.Value("type"), type))
        return Usage("unknown --type " + args.Value("type"), kIniHelp);
    const int lists = (args.Has("array") ? 1 : 0) + (args.Has("ordered") ? 1 : 0) + (args.Has("tree") ? 1 : 0);
    if (lists > 1)
        return Usage("--array, --ordered and --tree exclude each other", kIniHelp);
    if (lists && (verb == "delete" || verb == "list"))
        return Usage("--array, --ordered and --tree go with get and set", kIniHelp);
    if (lists && args.Has("type"))
        return Usage("lists hold text: --type does not apply", kIniHelp);

    const std::string name = args.At(1);
    CTqEnvIni* doc = ctx.mgr->GetEnvIni(Wide(name), args.Has("system") ? 1 : 0, Wide(args.Value("sub")));
    if (!doc)
        return Fail("the library refused the document '" + name + "'" +
                    (args.Has("sub") ? " in the sub-folder '" + args.Value("sub") + "'" : std::string()) +
                    ": names and sub-folders must stay inside the application root");
    if (doc->GetPath().IsEmpty())
        return Fail("the setting document has no file until a user is set (zvenv user set ID)");
    ctx.inis.push_back(doc);
    if (verb == "list")
        return List(doc, args);
    if (args.Count() < 3)
        return Usage("missing the SECTION", kIniHelp);
    const CString section = Wide(args.At(2));
    if (lists)
        return RunList(ctx, doc, args, verb == "set");
    std::string reason;
    if (verb == "get") {
        if (args.Count() != 4)
            return Usage("ini get takes NAME SECTION KEY", kIniHelp);
        Value def;
        const std::string defText = args.Value("default", type == ValueType::String ? "" : "0");
        if (args.Has("default") && !ParseValue(type, defText, def, reason))
            return Usage("--default: " + reason, kIniHelp);
        def.text = Wide(args.Value("default"));
        Print(Get(doc, type, section, Wide(args.At(3)), def));
        return kOk;
    }
    if (verb == "set") {
        if (args.Count() != 5)
            return Usage("ini set takes NAME SECTION KEY VALUE", kIniHelp);
        Value value;
        if (!ParseValue(type, args.At(4), value, reason))
            return Usage(reason, kIniHelp);
        const CString key = Wide(args.At(3));
        if (ctx.dryRun)
            Print("would set [" + args.At(2) + "] " + args.At(3) + " = " + args.At(4) +
                  " (now: " + Narrow(Get(doc, type, section, key, Value())) + ")");
        Set(doc, section, key, value);
        return kOk;
    }
    // delete: this goes to the file at once, so a dry run only says what it would do.
    if (args.Count() > 4)
        return Usage("ini delete takes NAME SECTION [KEY]", kIniHelp);
    const std::string what = "[" + args.At(2) + "]" + (args.Count() == 4 ? " " + args.At(3) : std::string());
    if (ctx.dryRun) {
        Print("would delete " + what + " in " + Narrow(doc->GetPath()));
        return kOk;
    }
    if (args.Count() == 3) {
        // The document drops a section from the file only when it holds the
        // section in memory, so one of its keys is read first.
        CStringArray keys;
        CTqIni(doc->GetPath()).GetKeyNames(section, &keys);
        if (keys.GetSize() > 0)
            doc->GetString(section, keys[0], L"");
    }
    const int ok = args.Count() == 4 ? doc->DeleteKey(section, Wide(args.At(3))) : doc->DeleteSection(section);
    if (!ok)
        return Fail("could not delete " + what + " in " + Narrow(doc->GetPath()));
    Print("deleted " + what + " in " + Narrow(doc->GetPath()));
    return kOk;
}

} // namespace zvenv

#include "Cli.h"
#include "Commands.h"

#include <zvenv/CTqIni.h>
#include <zvenv/ZvUtil.h>

#include <cwchar>

namespace zvenv {
namespace {

const char kIniHelp[] =
    "usage: zvenv ini get    NAME SECTION KEY [--type T]\n"
    "       zvenv ini set    NAME SECTION KEY VALUE [--type T]\n"
    "       zvenv ini delete NAME SECTION [KEY]\n"
    "       zvenv ini list   NAME [SECTION]\n"
    "Lists:  ini get|set NAME SECTION KEY --array DELIM [VALUE...]   one key, items joined by DELIM\n"
    "        ini get|set NAME SECTION --ordered PATTERN [--first N] [VALUE...]   count + Item%d keys\n"
    "        ini get|set NAME SECTION --tree [--delim D] [--prefix P] [ROW...]   sub-section per row\n"
    "Options: --system (the shipped default in system/), --sub FOLDER (a sub-folder),\n"
    "         --type string|int|double|point|rect|size|rgb (default string).\n"
    "NAME is a document name such as trade or trade.ini; EnvSetting is the user's settings.\n";

enum class Kind { String, Int, Double, Point, Rect, Size, Rgb, Bad };

Kind KindOf(const std::string& type)
{
    if (type.empty() || type == "string")
        return Kind::String;
    if (type == "int")
        return Kind::Int;
    if (type == "double")
        return Kind::Double;
    if (type == "point")
        return Kind::Point;
    if (type == "rect")
        return Kind::Rect;
    if (type == "size")
        return Kind::Size;
    if (type == "rgb")
        return Kind::Rgb;
    return Kind::Bad;
}

CString Get(CTqEnvIni* doc, Kind kind, const CString& section, const CString& key)
{
    CString text;
    switch (kind) {
    case Kind::Int: text.Format(L"%d", doc->GetInt(section, key, 0)); break;
    case Kind::Double: text.Format(L"%f", doc->GetDouble(section, key, 0.0)); break;
    case Kind::Point: {
        CPoint def;
        text = PointToString(doc->GetPoint(section, key, def), L",");
        break;
    }
    case Kind::Rect: {
        CRect def;
        text = RectToString(doc->GetRect(section, key, def), L",");
        break;
    }
    case Kind::Size: {
        CSize def;
        text = SizeToString(doc->GetSize(section, key, def), L",");
        break;
    }
    case Kind::Rgb: text = RGBToString(doc->GetRGB(section, key, 0), L","); break;
    default: text = doc->GetString(section, key, L""); break;
    }
    return text;
}

void Set(CTqEnvIni* doc, Kind kind, const CString& section, const CString& key, const CString& value)
{
    switch (kind) {
    case Kind::Int: doc->SetInt(section, key, static_cast<int>(std::wcstol(value, nullptr, 10))); break;
    case Kind::Double: doc->SetDouble(section, key, std::wcstod(value, nullptr)); break;
    case Kind::Point: {
        CPoint p = StringToPoint(value);
        doc->SetPoint(section, key, p);
        break;
    }
    case Kind::Rect: {
        CRect r = StringToRect(value);
        doc->SetRect(section, key, r);
        break;
    }
    case Kind::Size: {
        CSize s = StringToSize(value);
        doc->SetSize(section, key, s);
        break;
    }
    case Kind::Rgb: doc->SetRGB(section, key, StringToRGB(value)); break;
    default: doc->SetString(section, key, value); break;
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

// The three list forms; `set` tells reading from writing.
int RunList(CTqEnvIni* doc, const Args& args, bool set)
{
    const CString section = Wide(args.At(2));
    if (args.Has("array")) {
        if (args.Count() < 4)
            return Usage("--array needs a KEY", kIniHelp);
        const CString key = Wide(args.At(3));
        const CString delim = Wide(args.Value("array"));
        CStringArray items = ItemsFrom(args, 4);
        if (set)
            doc->SetArray(section, key, items, delim);
        else {
            doc->GetArray(section, key, items, L"", delim);
            PrintItems(items);
        }
        return kOk;
    }
    if (args.Has("ordered")) {
        const CString pattern = Wide(args.Value("ordered"));
        const int first = static_cast<int>(std::wcstol(Wide(args.Value("first", "1")), nullptr, 10));
        CStringArray items = ItemsFrom(args, 3);
        if (set)
            doc->SetOrderArray(section, items, pattern, first);
        else {
            doc->GetOrderArray(section, items, L"", pattern, first);
            PrintItems(items);
        }
        return kOk;
    }
    const CString delim = Wide(args.Value("delim", "|"));
    const CString prefix = Wide(args.Value("prefix"));
    CStringArray items = ItemsFrom(args, 3);
    if (set)
        doc->SetTreeArray(section, items, prefix, delim);
    else {
        doc->GetTreeArray(section, items, prefix, delim);
        PrintItems(items);
    }
    return kOk;
}

int List(CTqEnvIni* doc, const Args& args)
{
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
    const Args args(words, {"sub", "type", "array", "ordered", "first", "delim", "prefix"});
    if (args.Has("help"))
        return Usage("", kIniHelp) - kUsage;
    if (!args.Error().empty())
        return Usage(args.Error(), kIniHelp);
    const std::string verb = args.At(0);
    if (verb != "get" && verb != "set" && verb != "delete" && verb != "list")
        return Usage("expected get, set, delete or list", kIniHelp);
    if (args.Count() < 2)
        return Usage("missing the document NAME", kIniHelp);
    const Kind kind = KindOf(args.Value("type"));
    if (kind == Kind::Bad)
        return Usage("unknown --type " + args.Value("type"), kIniHelp);

    CTqEnvIni* doc = ctx.mgr->GetEnvIni(Wide(args.At(1)), args.Has("system") ? 1 : 0, Wide(args.Value("sub")));
    if (!doc)
        return Fail("the library refused the document name '" + args.At(1) + "' (or its --sub)");
    ctx.inis.push_back(doc);
    if (verb == "list")
        return List(doc, args);
    if (args.Count() < 3)
        return Usage("missing the SECTION", kIniHelp);
    const CString section = Wide(args.At(2));
    const bool isList = args.Has("array") || args.Has("ordered") || args.Has("tree");
    if (verb == "get") {
        if (isList)
            return RunList(doc, args, false);
        if (args.Count() != 4)
            return Usage("ini get takes NAME SECTION KEY", kIniHelp);
        Print(Get(doc, kind, section, Wide(args.At(3))));
        return kOk;
    }
    if (verb == "set") {
        if (isList)
            return RunList(doc, args, true);
        if (args.Count() != 5)
            return Usage("ini set takes NAME SECTION KEY VALUE", kIniHelp);
        Set(doc, kind, section, Wide(args.At(3)), Wide(args.At(4)));
        return kOk;
    }
    // delete: the profile functions change the file at once, so a dry run only says so.
    if (args.Count() > 4)
        return Usage("ini delete takes NAME SECTION [KEY]", kIniHelp);
    if (ctx.dryRun) {
        Print("would delete [" + args.At(2) + "]" + (args.Count() == 4 ? " " + args.At(3) : std::string()) + " in " +
              Narrow(doc->GetPath()));
        return kOk;
    }
    const int ok = args.Count() == 4 ? doc->DeleteKey(section, Wide(args.At(3))) : doc->DeleteSection(section);
    return ok ? kOk : Fail("could not delete in " + Narrow(doc->GetPath()));
}

} // namespace zvenv

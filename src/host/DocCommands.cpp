// The whole-document commands: dump, export, import, reset and diff.
#include "Cli.h"
#include "Commands.h"
#include "Documents.h"

#include <zvenv/platform/Os.h>
#include <zvenv/platform/Profile.h>
#include <zvenv/platform/Text.h>

#include <cstdio>
#include <ctime>
#include <iostream>
#include <iterator>
#include <system_error>

namespace zvenv {
namespace {

const char kDumpHelp[] = "usage: zvenv dump DOC [--system] [--sub FOLDER]\n"
                         "Lists the whole document with its values: an INI document as [SECTION] and\n"
                         "KEY=VALUE lines as the library reads them, a JSON document as PATH = VALUE lines\n"
                         "(PATH in the form .window.size or .panels[0]). With --format json: the INI\n"
                         "document as an object of sections, the JSON document as it is.\n";
const char kExportHelp[] = "usage: zvenv export DOC FILE [--system] [--sub FOLDER]\n"
                           "Writes the document's file as UTF-8 text with LF line ends to FILE (- for\n"
                           "standard output): an INI document as INI text, a JSON document as JSON text,\n"
                           "comments and layout included.\n";
const char kImportHelp[] = "usage: zvenv import DOC FILE [--system] [--sub FOLDER]\n"
                           "Replaces the document's file by the UTF-8 text of FILE (- for standard input),\n"
                           "written as the library writes its files (UTF-16LE with a byte-order mark, CR LF\n"
                           "line ends). JSON text must pass the validator the library loads documents\n"
                           "with. A new document takes its kind from DOC's extension or FILE's.\n"
                           "With --dry-run, shows the changes.\n";
const char kResetHelp[] = "usage: zvenv reset DOC [--sub FOLDER]\n"
                          "Restores the shipped default from system/ over the user's document. The old\n"
                          "file is kept beside it as FILE.reset-YYYYMMDDTHHMMSSZ (UTC).\n";
const char kDiffHelp[] = "usage: zvenv diff DOC [--sub FOLDER]\n"
                         "Shows how the user's document differs from the shipped default in system/:\n"
                         "- for what the default has and the document not, + for what the document has\n"
                         "instead. Prints nothing when they hold the same.\n";

const Words kValueOptions = {"sub"};

// DOC and, for export and import, FILE; the document options.
int Read(const Words& words, const char* help, std::size_t count, bool systemAllowed, DocRequest& req,
         std::string& file)
{
    const Args args(words, kValueOptions);
    if (args.WantsHelp())
        return Help(help);
    if (!args.Error().empty())
        return Usage(args.Error(), help);
    const Words known = systemAllowed ? Words{"sub", "system"} : Words{"sub"};
    if (!args.Unknown(known).empty())
        return Usage("unknown option " + args.Unknown(known), help);
    if (args.Count() != count)
        return Usage(count == 1 ? "expected one DOC" : "expected DOC and FILE", help);
    req = DocRequest{args.At(0), args.Has("system"), args.Value("sub")};
    file = args.At(1);
    return -1;
}

int NoSuchDocument(const DocRequest& req)
{
    return Fail("no document named " + req.name + " (neither " + req.name + ".ini nor " + req.name +
                ".json is there or shipped)");
}

std::string ErrorText()
{
    const unsigned long error = zv::os::GetLastError();
    return error ? std::system_category().message(static_cast<int>(error)) : std::string("unknown reason");
}

bool WriteLocked(const CString& path, const std::string& bytes)
{
    const zv::FileWriteLock lock(path);
    return zv::os::WriteFileAtomic(path, bytes.data(), bytes.size());
}

// path.reset-<UTC time>, with -2, -3... when that name is taken.
CString KeptName(const CString& path)
{
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", std::gmtime(&now));
    const CString base = path + L".reset-" + Wide(stamp);
    CString name = base;
    for (int n = 2; zv::os::FileExists(name) || zv::os::FolderExists(name); ++n)
        name = base + L"-" + CString(std::to_wstring(n));
    return name;
}

// Opens the existing document a reading command names; 0, or the status to
// exit with.
int OpenNamed(Context& ctx, const DocRequest& req, CTqEnvIni*& ini, CTqEnvJson*& json)
{
    DocKind kind = DocKind::Ini;
    if (!FindKind(ctx, req, kind))
        return NoSuchDocument(req);
    return OpenExisting(ctx, req, kind, ini, json);
}

} // namespace

int RunDump(Context& ctx, const Words& words)
{
    DocRequest req;
    std::string unused;
    if (const int status = Read(words, kDumpHelp, 1, true, req, unused); status >= 0)
        return status;
    CTqEnvIni* ini = nullptr;
    CTqEnvJson* json = nullptr;
    if (const int status = OpenNamed(ctx, req, ini, json))
        return status;
    if (ini) {
        const IniModel model = ReadIniModel(ini->GetPath());
        ctx.Emit(IniToJson(model), IniLines(model));
        return kOk;
    }
    JsonValue tree;
    std::string error;
    if (!ReadJsonModel(json->GetPath(), tree, error))
        return Fail("cannot read the JSON text of " + error);
    ctx.Emit(tree, JsonLines(tree));
    return kOk;
}

int RunExport(Context& ctx, const Words& words)
{
    DocRequest req;
    std::string file;
    if (const int status = Read(words, kExportHelp, 2, true, req, file); status >= 0)
        return status;
    CTqEnvIni* ini = nullptr;
    CTqEnvJson* json = nullptr;
    if (const int status = OpenNamed(ctx, req, ini, json))
        return status;
    const CString path = ini ? ini->GetPath() : json->GetPath();
    std::string bytes;
    if (!ReadBytes(path, bytes))
        return Fail("cannot read " + ctx.Show(path));
    const std::string text = ExportText(DecodeDocument(bytes, ini ? DocKind::Ini : DocKind::Json));
    if (file == "-") {
        zv::os::WriteStandard(1, text);
        return kOk;
    }
    // The file lies outside the root: a dry run only names it.
    if (ctx.dryRun) {
        Print("would write " + file + " (" + std::to_string(text.size()) + " bytes)");
        return kOk;
    }
    zv::os::SetLastError(0);
    if (!zv::os::WriteFileAtomic(Wide(file), text.data(), text.size()))
        return Fail("could not write " + file + ": " + ErrorText());
    ctx.Note("exported " + ctx.Show(path) + " to " + file);
    return kOk;
}

int RunImport(Context& ctx, const Words& words)
{
    DocRequest req;
    std::string file;
    if (const int status = Read(words, kImportHelp, 2, true, req, file); status >= 0)
        return status;
    std::string bytes;
    if (file == "-") {
        std::cin >> std::noskipws;
        bytes.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    } else if (!ReadBytes(Wide(file), bytes)) {
        return Fail("cannot read " + file);
    }
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
        bytes.erase(0, 3);
    std::wstring text;
    if (!zv::text::DecodeUtf8(bytes, text) || bytes.find('\0') != std::string::npos)
        return Fail(file + " is not UTF-8 text");
    DocKind kind = DocKind::Ini;
    if (!FindKind(ctx, req, kind)) {
        const std::string lower = Narrow(CString(Wide(file)).MakeLower());
        if (lower.size() < 5 || (lower.substr(lower.size() - 5) != ".json" && lower.substr(lower.size() - 4) != ".ini"))
            return Fail("no document named " + req.name + " yet: give its extension (" + req.name + ".ini or " +
                        req.name + ".json)");
        kind = lower.substr(lower.size() - 5) == ".json" ? DocKind::Json : DocKind::Ini;
    }
    if (kind == DocKind::Json) {
        CString description;
        const int valid = ValidateJsonText(text, description);
        if (valid < 0)
            return Fail("the validator module " + Narrow(zv::os::ModuleFileName(L"JSONLint")) + " is not available");
        if (valid == 0)
            return Fail(file + " is not valid JSON" + (description.IsEmpty() ? "" : ":\n" + Narrow(description)));
    }
    CString path;
    CTqEnvIni* ini = nullptr;
    CTqEnvJson* json = nullptr;
    if (kind == DocKind::Ini) {
        if (const int status = OpenIni(ctx, req, ini))
            return status;
        path = ini->GetPath();
    } else {
        // The document's present file may be one the library cannot load: it is replaced all the same.
        json = ctx.mgr->GetJson(Wide(req.name), req.system ? 1 : 0, Wide(req.sub));
        if (!json)
            return Fail("the library refused the document '" + req.name + "'");
        path = json->GetPath();
    }
    std::string old;
    const bool hadFile = ReadBytes(path, old);
    zv::os::SetLastError(0);
    if (!WriteLocked(path, ImportBytes(text)))
        return Fail("could not write " + ctx.Show(path) + ": " + ErrorText());
    if (ini)
        ini->ReloadFile(0);
    else
        json->ReloadFile(0);
    if (json && !json->GetJson()) {
        if (hadFile)
            WriteLocked(path, old);
        return Fail("the library did not load " + file + " as " + ctx.Show(path) + "; the file was put back");
    }
    ctx.Note("imported " + file + " into " + ctx.Show(path));
    return kOk;
}

int RunReset(Context& ctx, const Words& words)
{
    DocRequest req;
    std::string unused;
    if (const int status = Read(words, kResetHelp, 1, false, req, unused); status >= 0)
        return status;
    if (ctx.format == Format::Json)
        return Usage("--format json goes with the reading commands", kResetHelp);
    DocKind kind = DocKind::Ini;
    if (!FindKind(ctx, req, kind))
        return NoSuchDocument(req);
    const DocFiles files = ExpectedFiles(ctx, req, kind);
    if (!zv::os::FileExists(files.shipped))
        return Fail("no shipped default " + ctx.Show(files.shipped) + " to reset " + req.name + " to");
    CTqEnvIni* ini = nullptr;
    CTqEnvJson* json = nullptr;
    if (kind == DocKind::Ini) {
        if (const int status = OpenIni(ctx, req, ini))
            return status;
    } else {
        json = ctx.mgr->GetJson(Wide(req.name), 0, Wide(req.sub));
        if (!json)
            return Fail("the library refused the document '" + req.name + "'");
    }
    const CString path = ini ? ini->GetPath() : json->GetPath();
    std::string now;
    std::string shipped;
    if (ReadBytes(path, now) && ReadBytes(files.shipped, shipped) && now == shipped) {
        ctx.Note(ctx.Show(path) + " is the shipped default already");
        return kOk;
    }
    const CString kept = KeptName(path);
    zv::os::SetLastError(0);
    if (zv::os::FileExists(path) && !zv::os::CopyFileTo(path, kept, true))
        return Fail("could not keep a copy of " + ctx.Show(path) + ": " + ErrorText());
    const int restored = ini ? ini->ReloadFile(1) : json->ReloadFile(1);
    if (!restored || !ReadBytes(path, now) || now != shipped)
        return Fail("could not restore " + ctx.Show(path) + " from " + ctx.Show(files.shipped));
    ctx.Note("reset " + ctx.Show(path) + " to the shipped default" +
             (zv::os::FileExists(kept) ? "; the old file is " + ctx.Show(kept) : std::string()));
    return kOk;
}

int RunDiff(Context& ctx, const Words& words)
{
    DocRequest req;
    std::string unused;
    if (const int status = Read(words, kDiffHelp, 1, false, req, unused); status >= 0)
        return status;
    DocKind kind = DocKind::Ini;
    if (!FindKind(ctx, req, kind))
        return NoSuchDocument(req);
    const DocFiles files = ExpectedFiles(ctx, req, kind);
    if (!zv::os::FileExists(files.shipped))
        return Fail("no shipped default " + ctx.Show(files.shipped) + " to compare " + req.name + " with");
    CTqEnvIni* ini = nullptr;
    CTqEnvJson* json = nullptr;
    if (const int status = OpenExisting(ctx, req, kind, ini, json))
        return status;
    Differences diff;
    std::string error;
    if (ini) {
        diff = DiffIni(ReadIniModel(files.shipped), ReadIniModel(ini->GetPath()));
    } else {
        JsonValue before;
        JsonValue after;
        if (!ReadJsonModel(files.shipped, before, error) || !ReadJsonModel(json->GetPath(), after, error))
            return Fail("cannot read the JSON text of " + error);
        diff = DiffJson(before, after);
    }
    ctx.Emit(diff.json, diff.lines);
    return kOk;
}

} // namespace zvenv

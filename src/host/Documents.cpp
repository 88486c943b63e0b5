#include "Documents.h"

#include <zvenv/platform/Os.h>
#include <zvenv/platform/Text.h>

namespace zvenv {
namespace {

std::string Trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r\n\v\f");
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(" \t\r\n\v\f") - first + 1);
}

// The name cut before its first "." (unless that is the first character),
// and the extension after it.
void SplitName(const std::string& given, std::string& name, std::string& extension)
{
    name = Trimmed(given);
    const auto dot = name.find('.');
    extension.clear();
    if (dot != std::string::npos && dot > 0) {
        extension = name.substr(dot + 1);
        name.resize(dot);
    }
}

bool IsSettingName(const std::string& name)
{
    return name.empty() || zv::text::EqualNoCase(Wide(name).GetString(), L"EnvSetting");
}

CString SubFolder(const std::string& sub)
{
    std::string folder = Trimmed(sub);
    for (char& c : folder)
        if (c == '\\')
            c = '/';
    if (!folder.empty() && folder.front() == '/')
        folder.erase(0, 1);
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    CString native = Wide(folder);
    if (zv::os::kSeparator != L'/')
        native.Replace(L'/', zv::os::kSeparator);
    return native;
}

std::string RefusedName(const DocRequest& req)
{
    return "the library refused the document '" + req.name + "'" +
           (req.sub.empty() ? std::string() : " in the sub-folder '" + req.sub + "'") +
           ": names and sub-folders must stay inside the application root";
}

bool EndsWithNoCase(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() &&
           zv::text::EqualNoCase(Wide(text.substr(text.size() - end.size())).GetString(), Wide(end).GetString());
}

} // namespace

DocFiles ExpectedFiles(Context& ctx, const DocRequest& req, DocKind kind)
{
    std::string name;
    std::string extension;
    SplitName(req.name, name, extension);
    if (kind == DocKind::Json || extension.empty())
        extension = kind == DocKind::Json ? "json" : "ini";
    const CString file = Wide(name + "." + extension);
    DocFiles files;
    if (kind == DocKind::Ini && IsSettingName(name)) {
        files.path = ctx.mgr->GetEnvSetting()->GetPath();
        files.shipped = ctx.mgr->GetSystemPath(L"") + L"envsetting.ini";
    } else if (req.system) {
        files.path = ctx.mgr->GetSystemPath(SubFolder(req.sub)) + file;
    } else {
        files.path = ctx.mgr->GetUserIdPath(L"") + SubFolder(req.sub) + file;
        files.shipped = ctx.mgr->GetSystemPath(L"") + file;
    }
    return files;
}

bool FindKind(Context& ctx, const DocRequest& req, DocKind& kind)
{
    std::string name;
    std::string extension;
    SplitName(req.name, name, extension);
    if (!extension.empty() || IsSettingName(name)) {
        kind = zv::text::EqualNoCase(Wide(extension).GetString(), L"json") ? DocKind::Json : DocKind::Ini;
        return true;
    }
    for (const DocKind candidate : {DocKind::Ini, DocKind::Json}) {
        const DocFiles files = ExpectedFiles(ctx, req, candidate);
        if (zv::os::FileExists(files.path) || (!files.shipped.IsEmpty() && zv::os::FileExists(files.shipped))) {
            kind = candidate;
            return true;
        }
    }
    return false;
}

int OpenIni(Context& ctx, const DocRequest& req, CTqEnvIni*& doc)
{
    doc = ctx.mgr->GetEnvIni(Wide(req.name), req.system ? 1 : 0, Wide(req.sub));
    if (!doc)
        return Fail(RefusedName(req));
    if (doc->GetPath().IsEmpty())
        return Fail("the setting document has no file until a user is set (zvenv user set ID)");
    ctx.inis.push_back(doc);
    return kOk;
}

int OpenJson(Context& ctx, const DocRequest& req, CTqEnvJson*& doc)
{
    doc = ctx.mgr->GetJson(Wide(req.name), req.system ? 1 : 0, Wide(req.sub));
    if (!doc)
        return Fail(req.name.empty() ? std::string("a JSON document needs a name") : RefusedName(req));
    if (!doc->GetJson())
        return Fail("could not load " + ctx.Show(doc->GetPath()) + " (missing, empty or not valid JSON)");
    ctx.jsons.push_back(doc);
    return kOk;
}

int OpenExisting(Context& ctx, const DocRequest& req, DocKind kind, CTqEnvIni*& ini, CTqEnvJson*& json)
{
    ini = nullptr;
    json = nullptr;
    if (kind == DocKind::Ini) {
        if (const int status = OpenIni(ctx, req, ini))
            return status;
        return zv::os::FileExists(ini->GetPath()) ? kOk : Fail("no file at " + ctx.Show(ini->GetPath()));
    }
    // Getting a JSON document creates its file; a reading command creates none.
    const DocFiles files = ExpectedFiles(ctx, req, kind);
    if (!req.name.empty() && !zv::os::FileExists(files.path) &&
        (files.shipped.IsEmpty() || !zv::os::FileExists(files.shipped)))
        return Fail("no file at " + ctx.Show(files.path) +
                    (files.shipped.IsEmpty() ? std::string() : " and none shipped in " + ctx.Show(files.shipped)));
    return OpenJson(ctx, req, json);
}

bool ReadBytes(const CString& path, std::string& bytes)
{
    return zv::os::FileExists(path) && zv::os::ReadWholeFile(path, bytes);
}

std::wstring DecodeDocument(const std::string& bytes, DocKind kind)
{
    // A JSON file is read by the library's own rules.
    if (kind == DocKind::Json)
        return zv::text::DecodeJsonFile(bytes.data(), bytes.size());
    if (bytes.size() >= 2 && bytes.compare(0, 2, "\xFF\xFE") == 0)
        return zv::text::DecodeUtf16le(bytes.data() + 2, bytes.size() - 2);
    const std::string_view body =
        bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? std::string_view(bytes).substr(3) : std::string_view(bytes);
    std::wstring text;
    if (body.find('\0') == std::string_view::npos && zv::text::DecodeUtf8(body, text))
        return text;
    return zv::text::DecodeWindows1252(body);
}

std::string ExportText(const std::wstring& text)
{
    std::wstring lines;
    lines.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n'))
            lines += text[i];
    return zv::text::EncodeUtf8(lines);
}

std::string ImportBytes(const std::wstring& text)
{
    std::wstring framed;
    framed.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\n' && (i == 0 || text[i - 1] != L'\r'))
            framed += L'\r';
        framed += text[i];
    }
    return "\xFF\xFE" + zv::text::EncodeUtf16le(framed);
}

bool DiffFiles(const CString& before, const CString& after, Differences& out, std::string& error)
{
    const std::string name = Narrow(after);
    if (EndsWithNoCase(name, ".json")) {
        JsonValue a = JsonValue::Obj();
        JsonValue b = JsonValue::Obj();
        if (zv::os::FileExists(before) && !ReadJsonModel(before, a, error))
            return false;
        if (zv::os::FileExists(after) && !ReadJsonModel(after, b, error))
            return false;
        out = DiffJson(a, b);
        return true;
    }
    if (!EndsWithNoCase(name, ".ini")) {
        error = "not an INI or JSON file";
        return false;
    }
    const IniModel none;
    out = DiffIni(zv::os::FileExists(before) ? ReadIniModel(before) : none,
                  zv::os::FileExists(after) ? ReadIniModel(after) : none);
    return true;
}

} // namespace zvenv

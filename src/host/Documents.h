#pragma once

#include "Commands.h"

#include <string>
#include <utility>
#include <vector>

// Documents as the whole-document commands see them: which one a name stands
// for, its file's text, and its content as a model that can be listed and
// compared with another.
namespace zvenv {

enum class DocKind { Ini, Json };

// A document named on the command line: NAME [--system] [--sub FOLDER].
struct DocRequest {
    std::string name;
    bool system = false;
    std::string sub;
};

// The kind a name stands for: by its extension (.json is JSON, any other is
// INI), else INI when an INI file of that name is there (the user's or the
// shipped default), else JSON when a JSON file is. False when neither is.
bool FindKind(Context& ctx, const DocRequest& req, DocKind& kind);

// The file the registry binds the document to, and the shipped default it
// would be seeded from (empty for --system documents), without seeding.
struct DocFiles {
    CString path;
    CString shipped;
};
DocFiles ExpectedFiles(Context& ctx, const DocRequest& req, DocKind kind);

// Opens the document through the manager and remembers it for saving. On
// failure the message is printed and the exit status returned.
int OpenIni(Context& ctx, const DocRequest& req, CTqEnvIni*& doc);
int OpenJson(Context& ctx, const DocRequest& req, CTqEnvJson*& doc);
// The same for a document that must exist already (the reading commands):
// a JSON document that is neither there nor shipped is not created.
int OpenExisting(Context& ctx, const DocRequest& req, DocKind kind, CTqEnvIni*& ini, CTqEnvJson*& json);

// Files.
bool ReadBytes(const CString& path, std::string& bytes);
// The text of a document file as the library reads it: a JSON file by
// zv::text::DecodeJsonFile; an INI file as UTF-16LE after its mark, UTF-8
// with or without mark, and otherwise Windows-1252.
std::wstring DecodeDocument(const std::string& bytes, DocKind kind);
// The document's text as UTF-8 with LF line ends, and back as the library
// writes its files: UTF-16LE with mark and CR LF line ends.
std::string ExportText(const std::wstring& text);
std::string ImportBytes(const std::wstring& text);

// An INI file as the profile functions read it: sections in file order, each
// with its keys and values (trimmed and unquoted).
struct IniSection {
    CString name;
    std::vector<std::pair<CString, CString>> keys;
};
using IniModel = std::vector<IniSection>;
IniModel ReadIniModel(const CString& path);
JsonValue IniToJson(const IniModel& model);
std::vector<std::string> IniLines(const IniModel& model);

// A JSON file's tree; false with the reason when it cannot be read.
bool ReadJsonModel(const CString& path, JsonValue& tree, std::string& error);
// Every scalar of the tree as ".path = value", containers that are empty as
// their "{}" or "[]".
std::vector<std::string> JsonLines(const JsonValue& tree);
std::string JsonPathText(const std::vector<JsonValue>& path);

// The differences from `before` to `after`: removed entries as "- ...",
// added ones as "+ ...", a changed value as both; and as a JSON array.
struct Differences {
    std::vector<std::string> lines;
    JsonValue json = JsonValue::Arr();
};
Differences DiffIni(const IniModel& before, const IniModel& after);
Differences DiffJson(const JsonValue& before, const JsonValue& after);
// Two files of a document, by the kind their extension gives; a file that is
// missing counts as empty. False with the reason when one cannot be read.
bool DiffFiles(const CString& before, const CString& after, Differences& out, std::string& error);

} // namespace zvenv

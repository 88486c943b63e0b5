#include <zvenv/CTqEnvMgr.h>
#include <zvenv/platform/Message.h>
#include <zvenv/platform/Text.h>

#include "../json/JsonTree.h"
#include "ZvTest.h"
#include "envjson/JsonValidator.h"
#include "json/JsonGrammar.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <filesystem>
#include <regex>
#include <sys/stat.h>
#include <unistd.h>

using jsontest::Write;
using namespace zvtest;

namespace {

using Texts = std::vector<std::wstring>;

// A file of the child's root, by its path under the root.
std::string File(const std::string& path)
{
    return ChildRoot() + path;
}

// Every text shown through the platform's message function once a test (alone in its child) sets Show.
Texts shown;
int Show(const wchar_t* text, UINT, void*)
{
    shown.emplace_back(text ? text : L"");
    return 1;
}

// The document user/<name>.json of the child's root, holding the given bytes.
CTqEnvJson* OpenBytes(const std::string& name, const std::string& bytes)
{
    WriteFile(File("user/" + name + ".json"), bytes);
    return fnTqEnvMgr()->GetJson(CString(name.c_str()));
}

// Another program saving the file: a new file renamed over the old one.
void ReplaceFile(const std::string& path, const std::string& bytes)
{
    WriteFile(path + ".other", bytes);
    std::filesystem::rename(path + ".other", path);
}

// The formatted text of the tree a text or a file holds ("" when none).
std::wstring TextTree(const std::wstring& text)
{
    JsonNode root = JsonParse(text.c_str());
    const std::wstring written = jsontest::Write(root);
    JsonDeleteNode(root);
    return written;
}
std::wstring FileTree(const std::string& path)
{
    const std::string bytes = ReadFile(path);
    return TextTree(zv::text::DecodeJsonFile(bytes.data(), bytes.size()));
}

Texts Items(const CStringArray& values)
{
    Texts out;
    for (int i = 0; i < values.GetSize(); ++i)
        out.push_back(values.GetAt(i).str());
    return out;
}

const wchar_t* const kMixed =
    L"{\"s\":\"x\",\"n\":7,\"b\":true,\"f\":false,\"z\":null,\"a\":[\"12\",2],\"o\":{\"x\":1},"
    L"\"e\":{\"\":\"inner\"},\"nest\":[[\"a\",\"b\"],\"c\",{\"k\":\"v\"}],\"path\":{\"b\":\"x\","
    L"\"c\":{\"d\":\"deep\"}},\"grid\":[[\"1\",\"2\"],[\"3\"]],\"mixed\":[\"s\",1,true,null,[\"in\"],{\"o\":\"p\"},"
    L"\"t\"],\"last\":{\"then\":[\"u\",{\"v\":\"w\"}]}}";

CStringArray Strings(std::initializer_list<const wchar_t*> items)
{
    CStringArray values;
    for (const wchar_t* item : items)
        values.Add(item);
    return values;
}

const std::string shipped = Utf16(L"{\"k\": \"shipped\"}");

// What the copies of user/<name>.json kept beside it hold, sorted.
std::vector<std::string> CopiesOf(const std::string& name)
{
    const std::regex copy(name + "\\.json\\.rejected-20[0-9]{6}T[0-9]{6}Z(-[23])?");
    std::vector<std::string> kept;
    for (const auto& entry : std::filesystem::directory_iterator(File("user/")))
        if (entry.path().filename().string().rfind(name + ".json.", 0) == 0) {
            EXPECT_TRUE(std::regex_match(entry.path().filename().string(), copy)) << entry.path();
            kept.push_back(ReadFile(entry.path().string()));
        }
    std::sort(kept.begin(), kept.end());
    return kept;
}

} // namespace

// Missing, empty and bare files, the framing of what a file holds, hand-edited UTF-8, reloads.
TEST(JsonFile, MissingEmptyFramedHandEditedAndReloadedFiles)
{
    if (RanInRoot())
        return;
    zv::SetMessageHandler(&Show);
    EXPECT_EQ(Write(fnTqEnvMgr()->GetJson(L"fresh")->GetJson()), L"{}");
    WriteFile(File("system/repair.json"), shipped);
    EXPECT_EQ(OpenBytes("repair", "")->GetString(L"k", L"none").str(), L"shipped");
    EXPECT_EQ(ReadFile(File("user/repair.json")), shipped);
    EXPECT_EQ(Write(OpenBytes("lonely", "")->GetJson()), L"{}");
    EXPECT_EQ(ReadFile(File("user/lonely.json")), std::string("\xFF\xFE{\0\r\0\n\0}\0", 10));

    const std::string zeroFirst = std::string(1, '\0') + Utf16(L"{\"k\": 1}", false);
    EXPECT_EQ(Write(OpenBytes("zero", zeroFirst)->GetJson()), L"{}");
    EXPECT_EQ(ReadFile(File("user/zero.json")), zeroFirst);
    EXPECT_EQ(OpenBytes("odd", Utf16(L"{\"k\": \"v\"}") + "A")->GetString(L"k", L"").str(), L"v");
    // A file an editor saved as UTF-8 is read, not replaced by the default; the next save is UTF-16.
    const std::string utf8 = "{\n  \"title\": \"Caf\xC3\xA9 \xF0\x9F\x98\x80\", // by hand\n  \"n\": 12\n}\n";
    WriteFile(File("system/edited.json"), shipped);
    CTqEnvJson* doc = OpenBytes("edited", utf8);
    EXPECT_EQ(doc->GetString(L"title", L"").str(), L"Caf\u00e9 \U0001F600");
    EXPECT_EQ(ReadFile(File("user/edited.json")), utf8) << "loading changes nothing";
    doc->SetInt(L"n", 13);
    doc->Save();
    std::wstring framed = Write(doc->GetJson());
    for (std::size_t at = framed.find(L'\n'); at != std::wstring::npos; at = framed.find(L'\n', at + 2))
        framed.insert(at, 1, L'\r');
    EXPECT_EQ(ReadFile(File("user/edited.json")), Utf16(framed));
    EXPECT_TRUE(shown.empty());

    doc = OpenBytes("reload", Utf16(L"{\"k\": \"user\"}"));
    EXPECT_EQ(doc->ReloadFile(1), 0) << "no system copy yet";
    WriteFile(File("system/reload.json"), shipped);
    EXPECT_EQ(doc->ReloadFile(1), 1);
    EXPECT_EQ(doc->GetString(L"k", L"").str(), L"shipped");

    fnTqEnvMgr()->SetUserID(L"alice");
    doc->SetDirty(1);
    EXPECT_EQ(doc->ChangeSavePathToUserIdPath(), 1);
    EXPECT_FALSE(PathExists(File("user/alice/reload.json")));
    doc->Save();
    EXPECT_EQ(ReadFile(File("user/reload.json")), shipped);
    EXPECT_EQ(FileTree(File("user/alice/reload.json")), Write(doc->GetJson()));
}

// Rejected text is shown with the validator's description; without a tree a document reads zeros
// and writes nothing unless the default replaces a copied file. Refused text is never saved.
TEST(JsonFile, BadInputIsRejectedKeptOrCopiedAndNeverSaved)
{
    if (RanInRoot())
        return;
    const std::vector<std::string> inputs{
        Utf16(L"{\"a\": }"), Utf16(L"{\"a\": [1, 2"), Utf16(L"\u00e9"),
        Utf16(L"{\"k\": " + std::wstring(100000, L'[') + std::wstring(100000, L']') + L"}")};

    zv::SetMessageHandler(&Show);
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        CTqEnvJson* doc = OpenBytes("input" + std::to_string(i), inputs[i]);
        EXPECT_EQ(shown.size(), i + 1);
        // Readers give zero values; writers change nothing.
        CPoint pt(1, 2);
        CRect rc(1, 2, 3, 4);
        CSize sz(5, 6);
        EXPECT_EQ(doc->GetInt(L"k", 9) + doc->GetDouble(L"k", 9.5) + doc->GetRGB(L"k", 7), 0.0);
        EXPECT_EQ(doc->GetString(L"k", L"d").str() + doc->GetStringEx(L"k", L"", L"", L"d").str(), L"");
        EXPECT_EQ(doc->GetPoint(L"k", pt), CPoint(0, 0));
        EXPECT_EQ(doc->GetRect(L"k", rc), CRect(0, 0, 0, 0));
        EXPECT_EQ(doc->GetSize(L"k", sz), CSize(0, 0));
        EXPECT_EQ(doc->GetBeginIterator(nullptr), nullptr);
        EXPECT_EQ(doc->CreateNode(nullptr, L"k", JsonObject, 1), nullptr);
        CStringArray values = Strings({L"keep"});
        doc->SetInt(L"k", 1);
        doc->SetArray(L"k", values);
        doc->GetArray(L"k", values);
        EXPECT_EQ(Items(values), Texts{L"keep"});
        doc->GetTreeArray(L"k", values);
        EXPECT_EQ(values.GetSize(), 0);
        EXPECT_EQ(doc->IsDirty(), 0);
        doc->SetDirty(1);
        doc->Save();
    }
    EXPECT_EQ(shown.at(0), fnTqEnvMgr()->GetJson(L"input0")->GetPath().str() +
                               L":json parse error:\nLine 1, Column 7: '}' where a value should stand (a "
                               L"string, number, object, array, true, false or null)");
    for (std::size_t i = 0; i < inputs.size(); ++i)
        EXPECT_EQ(ReadFile(File("user/input" + std::to_string(i) + ".json")), inputs[i]) << i;

    // Made bad after a load: Load keeps the tree it had, ReloadFile drops it.
    CTqEnvJson* doc = OpenBytes("keep", Utf16(L"{\"k\": \"old\"}"));
    WriteFile(File("user/keep.json"), Utf16(L"{\"k\": \"new\""));
    doc->Load();
    EXPECT_EQ(doc->GetString(L"k", L"").str(), L"old");
    EXPECT_EQ(doc->ReloadFile(0), 1);
    EXPECT_EQ(shown.size(), inputs.size() + 2);
    EXPECT_EQ(doc->GetJson(), nullptr);

    // A user file the default replaces is first copied beside it, one copy per replacement.
    shown.clear();
    WriteFile(File("system/layout.json"), shipped);
    // In quick succession two share a stamp: the later copy must take another name.
    std::vector<std::string> rejected{Utf16(L"{\"k\": \"first\",,}"), "{\"k\": \"second\" oops", "[1 2]"};
    for (const std::string& bytes : rejected) {
        fnTqEnvMgr()->DeleteJson(L"layout");
        WriteFile(File("user/layout.json"), bytes);
        int copied = 0;
        CTqEnvJson* doc = fnTqEnvMgr()->GetJsonEx(L"layout", copied);
        EXPECT_EQ(copied, 1);
        EXPECT_EQ(doc->GetString(L"k", L"").str(), L"shipped");
        EXPECT_EQ(ReadFile(File("user/layout.json")), shipped);
    }
    std::sort(rejected.begin(), rejected.end());
    EXPECT_EQ(CopiesOf("layout"), rejected);

    // A file no longer JSON at save time is copied beside it and the tree written.
    doc = OpenBytes("broken", Utf16(L"{\"a\": 1}"));
    doc->SetInt(L"a", 2);
    const std::string garbage = "{\"a\": 1, \"half written";
    ReplaceFile(File("user/broken.json"), garbage);
    doc->Save();
    EXPECT_EQ(doc->IsDirty(), 0);
    EXPECT_EQ(FileTree(File("user/broken.json")), TextTree(L"{\"a\": 2}"));
    ASSERT_EQ(shown.size(), rejected.size() + 1);
    EXPECT_EQ(shown.back().rfind(doc->GetPath().str() + L":json parse error:\n", 0), 0u);
    EXPECT_EQ(CopiesOf("broken"), std::vector<std::string>{garbage});

    // Text the validator would refuse is never written; the document stays dirty.
    doc = OpenBytes("guarded", Utf16(L"{\"k\": \"v\"}"));
    static const JsonCppParseFn real = g_pfnJsonCppParse;
    const std::string before = ReadFile(File("user/guarded.json"));
    g_pfnJsonCppParse = [](const wchar_t* text, CString* error, int flag) {
        return std::wcsstr(text, L"refuse me") ? 0 : real(text, error, flag);
    };
    doc->SetString(L"k", L"refuse me");
    doc->Save();
    EXPECT_EQ(doc->IsDirty(), 1);
    EXPECT_EQ(ReadFile(File("user/guarded.json")), before);
    doc->SetString(L"k", L"fine");
    doc->Save();
    g_pfnJsonCppParse = real;
    EXPECT_EQ(FileTree(File("user/guarded.json")), TextTree(L"{\"k\": \"fine\"}"));
}

// Saves after another program changed the file: the document's changes join the file's, and
// handles stay usable (members they dropped are detached, not freed).
TEST(JsonSaveMerge, ChangesOfAnotherProgramSurviveASave)
{
    if (RanInRoot())
        return;
    CTqEnvJson* doc = OpenBytes("shared", Utf16(L"{\"a\":1,\"b\":1,\"o\":{\"x\":1,\"y\":1},\"w\":{\"x\":1},"
                                                L"\"gone\":{\"l\":[\"a\",\"b\"]}}"));
    const std::string path = File("user/shared.json");
    void* w = *doc->GetIterator(L"w");
    void* gone = *doc->GetIterator(L"gone");
    void* inner = *doc->GetIterator(L"l", gone);
    doc->SetInt(L"a", 2);
    doc->SetInt(L"x", 2, *doc->GetIterator(L"o"));
    // An editor saves the file as UTF-8: b, o.y and w changed, c added, gone dropped.
    ReplaceFile(path,
                zv::text::EncodeUtf8(L"{\"a\":1,\"b\":3,\"c\":3,\"o\":{\"x\":1,\"y\":3},\"w\":{\"x\":5,\"z\":1}}"));
    doc->Save();
    EXPECT_EQ(doc->IsDirty(), 0);
    const std::wstring merged = TextTree(L"{\"a\":2,\"b\":3,\"c\":3,\"o\":{\"x\":2,\"y\":3},\"w\":{\"x\":5,\"z\":1}}");
    EXPECT_EQ(FileTree(path), merged);
    EXPECT_EQ(Write(doc->GetJson()), merged) << "the document holds what it wrote";
    EXPECT_EQ(std::to_wstring(doc->GetInt(L"x", 0, w)) + doc->GetString(L"z", L"", w).str(), L"51");
    EXPECT_EQ(doc->GetNodeName(gone).str(), L"gone");
    EXPECT_EQ(doc->GetNodeSize(inner), 2);

    // What was saved is the next base: their later change to a member we changed stays.
    ReplaceFile(path, Utf16(L"{\"a\":7,\"b\":3,\"c\":3,\"o\":{\"x\":7,\"y\":3},\"w\":{\"x\":5,\"z\":1}}"));
    doc->SetInt(L"b", 4);
    doc->SetInt(L"x", 6, w);
    doc->SetString(L"extra", L"e", gone); // goes nowhere
    doc->Save();
    EXPECT_EQ(FileTree(path), TextTree(L"{\"a\":7,\"b\":4,\"c\":3,\"o\":{\"x\":7,\"y\":3},\"w\":{\"x\":6,\"z\":1}}"));
}

// What a load or save cannot read (another user's file, a pipe) is not known to be
// bad: never replaced nor copied, and a dirty document stays dirty.
TEST(JsonSaveMerge, FilesThatCannotBeReadAreNeverReplaced)
{
#ifdef _WIN32
    ZVTEST_LINUX_ONLY("needs a user id that permissions stop and a named pipe in a folder");
#else
    if (RanInRoot())
        return;
    zv::SetMessageHandler(&Show);
    const std::string path = File("user/odd.json"), theirs = Utf16(L"{\"a\": 3}");
    WriteFile(File("system/private.json"), Utf16(L"{\"a\": 4}"));
    WriteFile(File("user/private.json"), theirs);
    CTqEnvJson* doc = OpenBytes("odd", Utf16(L"{\"a\": 1}"));
    doc->SetInt(L"a", 2);
    ReplaceFile(path, theirs);
    zvtest::OpenToEveryone(zvtest::ChildRoot());
    chmod(path.c_str(), 0200);
    chmod(File("user/private.json").c_str(), 0200);
    // As user 65534: root passes every permission.
    ASSERT_EQ(setegid(65534), 0);
    ASSERT_EQ(seteuid(65534), 0);
    int copied = 0;
    EXPECT_EQ(fnTqEnvMgr()->GetJsonEx(L"private", copied)->GetJson(), nullptr);
    doc->Save();
    ASSERT_EQ(seteuid(0), 0);
    ASSERT_EQ(setegid(0), 0);
    EXPECT_EQ(copied, 0);
    EXPECT_EQ(ReadFile(File("user/private.json")), theirs);
    EXPECT_EQ(doc->IsDirty(), 1) << "a file this process may not read";
    EXPECT_EQ(ReadFile(path), theirs);

    std::filesystem::remove(path);
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    ASSERT_EQ(mkfifo(File("user/pipe.json").c_str(), 0600), 0);
    EXPECT_EQ(fnTqEnvMgr()->GetJson(L"pipe")->GetJson(), nullptr);
    EXPECT_TRUE(shown.empty()) << "neither another user's file nor a pipe is said to be bad";
    EXPECT_FALSE(std::filesystem::is_regular_file(File("user/pipe.json")));
    doc->Save();
    EXPECT_EQ(doc->IsDirty(), 1) << "a pipe";
    EXPECT_FALSE(std::filesystem::is_regular_file(path));
#endif
}

TEST(JsonValues, ReadersWritersNodesAndArrays)
{
    if (RanInRoot())
        return;
    CTqEnvJson* doc = OpenBytes("typed", Utf16(kMixed));
    EXPECT_DOUBLE_EQ(doc->GetDouble(L"missing", 1.23456789), 1.234568);
    EXPECT_EQ(doc->GetInt(L"N", 3), 3); // names match exactly
    EXPECT_EQ(doc->GetInt(L"b", 9) + doc->GetInt(L"f", 9), 0);
    EXPECT_EQ(doc->GetInt(L"a", 0), 12);
    EXPECT_EQ(doc->GetInt(L"o", 9), 0); // an object is searched for an empty name
    EXPECT_EQ(doc->GetString(L"e", L"d").str(), L"inner");
    EXPECT_EQ(doc->GetString(L"nest", L"").str(), L"|a|b|c||");

    const wchar_t* const paths[][4] = {{L"path", L"b", L"", L"x"},        {L"path", L"c", L"d", L"deep"},
                                       {L"path", L"c", L"nope", L"dflt"}, {L"s", L"", L"", L"x"},
                                       {L"grid", L"", L"", L"3|"},        {L"", L"", L"", L"w"}};
    for (const auto& [key, key2, key3, found] : paths)
        EXPECT_EQ(doc->GetStringEx(key, key2, key3, L"dflt").str(), found) << key << key2 << key3;
    EXPECT_EQ(doc->IsDirty(), 0);

    // New members are strings, added at the end.
    CPoint pt(10, -20), zeroPt;
    CRect rc(1, 2, 3, 4), zeroRc;
    CSize sz(640, 480), zeroSz;
    doc->SetInt(L"new", 5);
    EXPECT_EQ(doc->IsDirty(), 1);
    EXPECT_EQ(jsontest::Render(*(doc->GetEndIterator(nullptr) - 1), true), L"new:\"5\"");
    doc->SetDouble(L"d", 2.75);
    doc->SetPoint(L"pt", pt);
    doc->SetRGB(L"c", 0x0080FFul);
    doc->SetRect(L"rc", rc);
    doc->SetSize(L"sz", sz);
    EXPECT_EQ(doc->GetString(L"d", L"").str(), L"2.750000");
    EXPECT_DOUBLE_EQ(doc->GetDouble(L"d", 0), 2.75);
    EXPECT_EQ(doc->GetPoint(L"pt", zeroPt), pt);
    EXPECT_EQ(doc->GetRGB(L"c", 0), 0x0080FFul);
    EXPECT_EQ(doc->GetRect(L"rc", zeroRc), rc);
    EXPECT_EQ(doc->GetSize(L"sz", zeroSz), sz);

    // Existing members keep their type: numbers take the leading integer, booleans non-zero.
    doc->SetDouble(L"n", 2.75);
    EXPECT_EQ(JsonGetType(*doc->GetIterator(L"n")), JsonNumber);
    EXPECT_EQ(doc->GetString(L"n", L"").str(), L"2");
    doc->SetString(L"b", L"true");
    doc->SetInt(L"f", 3);
    EXPECT_EQ(JsonGetType(*doc->GetIterator(L"b")), JsonBoolean);
    EXPECT_EQ(doc->GetString(L"b", L"").str() + doc->GetString(L"f", L"").str(), L"falsetrue");
    // Null, array and object members take nothing and leave the document clean.
    doc->SetDirty(0);
    doc->SetInt(L"z", 5);
    doc->SetString(L"a", L"x");
    doc->SetInt(L"o", 1);
    EXPECT_EQ(doc->IsDirty(), 0);
    EXPECT_EQ(doc->GetString(L"z", L"").str() + doc->GetString(L"a", L"").str(), L"null12|2|");

    const int members = doc->GetNodeSize(nullptr);
    CStringArray out = Strings({L"x"});
    doc->GetArray(L"mixed", out);
    doc->GetArray(L"s", out);
    EXPECT_EQ(Items(out), (Texts{L"x", L"s", L"t"}));
    CStringArray values = Strings({L"a", L"b"}), none;
    doc->SetArray(L"mixed", values);
    EXPECT_EQ(doc->GetNodeSize(nullptr), members);
    EXPECT_EQ(doc->GetNodeName(*(doc->GetEndIterator(nullptr) - 1)).str(), L"mixed");
    EXPECT_EQ(doc->GetString(L"mixed", L"").str(), L"a|b|");
    doc->SetDirty(0);
    doc->SetArray(L"empty", none);
    EXPECT_EQ(doc->IsDirty(), 1);

    CStringArray rows = Strings({L"a|b", L"c", L"d|e|"}), commas = Strings({L"x,y"});
    doc->SetTreeArray(L"tree", rows, L"|");
    CStringArray back = Strings({L"stale"});
    doc->GetTreeArray(L"tree", back);
    EXPECT_EQ(Items(back), (Texts{L"a|b|", L"c|", L"d|e|"}));
    doc->SetTreeArray(L"tree", commas, L",");
    doc->GetTreeArray(L"tree", back);
    EXPECT_EQ(Items(back), Texts{L"x|y|"});
    doc->GetTreeArray(L"mixed", back); // strings, not rows
    EXPECT_EQ(back.GetSize(), 0);

    doc = OpenBytes("nodes", Utf16(L"{\"first\": 1, \"grp\": {\"c\": 2, \"d\": 3}}"));
    void** made = doc->CreateNode(nullptr, L"obj", JsonObject, 0);
    doc->SetInt(L"inside", 1, *made);
    doc->SetDirty(0);
    void** again = doc->CreateNode(nullptr, L"obj", JsonObject, 0);
    EXPECT_EQ(again, made);
    EXPECT_EQ(doc->GetNodeSize(*again), 1);
    EXPECT_EQ(doc->IsDirty(), 0);
    doc->SetInt(L"after", 2);
    void** replaced = doc->CreateNode(nullptr, L"obj", JsonArray, 1);
    EXPECT_EQ(replaced, doc->GetEndIterator(nullptr) - 1);

    doc->SetDirty(0);
    doc->SetNodeName(nullptr, L"x");
    doc->SetNodeName(doc->GetJson(), L"x");
    doc->DeleteKey(nullptr, L"missing");
    EXPECT_EQ(doc->IsDirty(), 0);
    EXPECT_EQ(doc->GetNodeName(nullptr).str(), L"");
    doc->SetNodeName(*doc->GetIterator(L"first"), L"renamed");
    EXPECT_EQ(doc->IsDirty(), 1);
    EXPECT_EQ(doc->IsExistNode(nullptr, L"first") * 10 + doc->IsExistNode(nullptr, L"renamed"), 1);
    doc->DeleteKey(*doc->GetIterator(L"grp"), L"c");
    doc->DeleteKey(nullptr, L"renamed");
    EXPECT_EQ(Write(doc->GetJson()), TextTree(L"{\"grp\": {\"d\": 3}, \"after\": \"2\", \"obj\": []}"));
    doc->ClearNode(nullptr);
    EXPECT_EQ(Write(doc->GetJson()), L"{}");

    // Every reader takes a value whole, U+0000 included.
    doc = OpenBytes("zeros",
                    Utf16(L"{\"v\":\"a\\u0000b\",\"l\":[\"x\\u0000y\"],\"r\":[[\"p\\u0000q\"]],\"n\\u0000m\":1}"));
    EXPECT_EQ(doc->GetString(L"v", L"").str(), std::wstring(L"a\0b", 3));
    doc->GetArray(L"l", none);
    EXPECT_EQ(Items(none), Texts{std::wstring(L"x\0y", 3)});
    doc->GetTreeArray(L"r", back);
    EXPECT_EQ(Items(back), Texts{std::wstring(L"p\0q|", 4)});
    EXPECT_EQ(doc->GetNodeName(*(doc->GetEndIterator(nullptr) - 1)).str(), std::wstring(L"n\0m", 3));

    // No node is built deeper than a loadable document; the deepest is walked without recursion.
    doc = fnTqEnvMgr()->GetJson(L"deep");
    CTqEnvJson* chain = fnTqEnvMgr()->GetJson(L"rows");
    void *parent = nullptr, *row = nullptr;
    for (std::uint32_t level = 2; level <= zv::json::kMaxDepth; ++level) {
        void** it = doc->CreateNode(parent, L"k", JsonObject, 0);
        ASSERT_NE(it, doc->GetEndIterator(parent)) << level;
        parent = *it;
        row = *chain->CreateNode(row, L"k", JsonArray, 0);
    }
    doc->SetString(L"leaf", L"value", parent);
    doc->CreateNode(parent, L"n", JsonNumber, 0); // a value is no level
    EXPECT_EQ(doc->CreateNode(parent, L"leaf", JsonArray, 1), doc->GetEndIterator(parent));
    EXPECT_EQ(doc->CreateNode(parent, L"more", JsonObject, 0), doc->GetEndIterator(parent));
    doc->SetArray(L"leaf", values, parent);
    doc->SetTreeArray(L"rows", values, L"|", parent);
    EXPECT_EQ(jsontest::Render(parent), L"{leaf:\"value\",n:null}");
    const std::wstring built = Write(doc->GetJson());
    doc->Save();
    doc->ReloadFile(0);
    EXPECT_EQ(Write(doc->GetJson()), built);

    chain->SetString(L"", L"bottom", row);
    EXPECT_EQ(chain->GetString(L"k", L"d").str(), L"|bottom");
    EXPECT_EQ(chain->GetStringEx(L"", L"", L"", L"d").str(), L"bottom");
    EXPECT_EQ(chain->GetStringEx(L"k", L"", L"", L"d").str(), L"bottom|");
    chain->GetTreeArray(L"k", values);
    EXPECT_EQ(Items(values), Texts{L"bottom"});
}

// Double bars; fuzz_envjson_split checks the other texts against a model.
TEST(JsonSplit, DoubleBarsKeepOneBarPerPiece)
{
    const std::pair<std::wstring, Texts> rows[] = {
        {L"a||b|", {L"a|", L"|b|"}},      {L"a||b", {L"a|", L"|"}}, {L"a|||b|", {L"a|"}}, {L"||a", {}},
        {std::wstring(100000, L'|'), {}},
    };
    for (const auto& [text, pieces] : rows) {
        CStringArray out = Strings({L"stale"});
        EXPECT_EQ(CTqEnvJson::StringToArray(text.c_str(), out), static_cast<int>(pieces.size()));
        EXPECT_EQ(Items(out), pieces) << text.size();
    }
}

// A copy of the program placed without the validator module loads no JSON document
// (one message each, with an empty description, and no file is rewritten).
TEST(JsonWithoutValidator, EveryLoadIsRejectedWithAnEmptyDescription)
{
    if (RanInRoot({}, false))
        return;
    zv::SetMessageHandler(&Show);
    const std::string valid = Utf16(L"{\"k\": \"v\"}");
    CTqEnvJson* doc = OpenBytes("valid", valid);
    EXPECT_EQ(shown, Texts{doc->GetPath().str() + L":json parse error:\n"});
    doc->SetDirty(1);
    doc->Save();
    EXPECT_EQ(ReadFile(File("user/valid.json")), valid);

    EXPECT_EQ(fnTqEnvMgr()->GetJson(L"fresh")->GetJson(), nullptr);
    EXPECT_EQ(shown.size(), 2u);
    EXPECT_EQ(ReadFile(File("user/fresh.json")), std::string("\xFF\xFE{\0\r\0\n\0}\0", 10));
}

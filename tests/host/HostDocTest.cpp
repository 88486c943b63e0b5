// zvenv's whole-document commands, its dry runs and its reports of saves
// that did not reach the disk, run as a process on application roots.
#include "HostRun.h"

#include <nlohmann/json.hpp>

#include <ctime>
#include <filesystem>
#include <regex>
#include <set>

namespace fs = std::filesystem;
using zvtest::Contains;
using zvtest::HostResult;
using zvtest::ReadFile;
using zvtest::Utf16;

namespace {

using HostDoc = zvtest::HostTest;

const char kText[] = "Größe été \xF0\x9F\x98\x80";

// What a strict reader finds wrong with a JSON text (a scalar alone is one),
// empty when nothing: bytes that are not UTF-8, comments, anything after the
// value, and a member named twice in one object.
std::string JsonFault(const std::string& text)
{
    using Event = nlohmann::json::parse_event_t;
    std::vector<std::set<std::string>> objects;
    std::string fault;
    const auto seen = [&](int, Event event, nlohmann::json& parsed) {
        if (event == Event::object_start)
            objects.emplace_back();
        else if (event == Event::object_end)
            objects.pop_back();
        else if (event == Event::key && !objects.back().insert(parsed.get<std::string>()).second)
            fault = "the member " + parsed.dump() + " is named twice";
        return true;
    };
    try {
        if (nlohmann::json::parse(text, seen).is_discarded())
            return "no value";
    } catch (const nlohmann::json::parse_error& e) {
        return e.what();
    }
    return fault;
}

} // namespace

TEST_F(HostDoc, DumpListsTheWholeDocument)
{
    EXPECT_EQ(Run({"dump", "trade"}).out, "[Main]\nTitle=Trade\nRefreshSeconds=5\nBackground=240,240,240\n"
                                          "Bounds=0,0,800,600\n[Columns]\ncount=3\nItem1=Symbol\nItem2=Price\n"
                                          "Item3=Volume\n");
    EXPECT_EQ(Run({"dump", "layout"}).out,
              ".title = \"Main screen\"\n.columns = 3\n.panels[0] = \"quotes\"\n.panels[1] = \"orders\"\n"
              ".panels[2] = \"news\"\n.window.position = \"100,80\"\n.window.size = \"800,600\"\n");
    EXPECT_EQ(Run({"--format", "json", "dump", "html", "--system"}).out,
              "{\n  \"Html\": {\n    \"StartPage\": \"welcome.html\",\n    \"HelpPage\": \"help/index.html\"\n  },\n"
              "  \"Fonts\": {\n    \"Face\": \"Segoe UI\",\n    \"Size\": \"9\"\n  }\n}\n");
}

// Every reading command's JSON output is read by another parser, as UTF-8.
TEST_F(HostDoc, JsonOutputIsValidUtf8Json)
{
    ASSERT_EQ(Run({"user", "set", "alice"}).status, 0);
    ASSERT_EQ(Run({"ini", "set", "trade", "Main", "Title", kText}).status, 0);
    ASSERT_EQ(Run({"json", "set", "layout", "title", kText}).status, 0);
    for (const std::vector<std::string>& command :
         std::vector<std::vector<std::string>>{{"paths"},
                                               {"user"},
                                               {"users"},
                                               {"dump", "trade"},
                                               {"dump", "layout"},
                                               {"diff", "trade"},
                                               {"diff", "layout"},
                                               {"ini", "get", "trade", "Main", "Title"},
                                               {"ini", "list", "trade", "Main"},
                                               {"json", "get", "layout", "panels"},
                                               {"json", "list", "layout", "window"}}) {
        std::vector<std::string> args{"--format", "json"};
        args.insert(args.end(), command.begin(), command.end());
        const HostResult r = Run(args);
        ASSERT_EQ(r.status, 0) << command[0] << r.err;
        EXPECT_EQ(JsonFault(r.out), "") << command[0] << "\n" << r.out;
    }
    EXPECT_TRUE(Contains(Run({"--format", "json", "dump", "layout"}).out, std::string("\"title\": \"") + kText));
}

TEST_F(HostDoc, DiffShowsWhatDiffersFromTheShippedDefault)
{
    EXPECT_EQ(Run({"diff", "trade"}).out, "");
    ASSERT_EQ(Run({"ini", "set", "trade", "Main", "Title", "Mine"}).status, 0);
    ASSERT_EQ(Run({"ini", "delete", "trade", "Columns"}).status, 0);
    ASSERT_EQ(Run({"ini", "set", "trade", "Extra", "On", "1"}).status, 0);
    EXPECT_EQ(Run({"diff", "trade"}).out, "- [Main] Title=Trade\n+ [Main] Title=Mine\n- [Columns] count=3\n"
                                          "- [Columns] Item1=Symbol\n- [Columns] Item2=Price\n"
                                          "- [Columns] Item3=Volume\n+ [Extra] On=1\n");
    ASSERT_EQ(Run({"json", "set", "layout", "panels", "3", "alerts"}).status, 0);
    ASSERT_EQ(Run({"json", "set", "layout", "my key", "x"}).status, 0);
    ASSERT_EQ(Run({"json", "delete", "layout", "window", "size"}).status, 0);
    EXPECT_EQ(Run({"diff", "layout"}).out,
              "+ .panels[3] = \"alerts\"\n- .window.size = \"800,600\"\n+ [\"my key\"] = \"x\"\n");
    EXPECT_EQ(Run({"--format", "json", "diff", "layout"}).out.substr(0, 60),
              "[\n  {\n    \"change\": \"added\",\n    \"path\": [\n      \"panels\",\n ");
}

// Export writes UTF-8 with LF; import writes the library's UTF-16LE with CR
// LF: a document goes out and back in unchanged, non-ASCII text included.
TEST_F(HostDoc, ExportAndImportRoundTrip)
{
    ASSERT_EQ(Run({"ini", "set", "trade", "Main", "Title", kText}).status, 0);
    ASSERT_EQ(Run({"json", "set", "layout", "fonts", "face", kText}).status, 0);
    for (const char* doc : {"trade", "layout"}) {
        const std::string file = root / (std::string(doc) + ".txt");
        HostResult r = Run({"export", doc, file});
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string text = ReadFile(file);
        EXPECT_TRUE(Contains(text, kText)) << doc;
        EXPECT_FALSE(Contains(text, "\r")) << doc;
        EXPECT_NE(text.substr(0, 3), "\xEF\xBB\xBF");
        EXPECT_EQ(Run({"export", doc, "-"}).out, text);

        const std::string copy = std::string(doc) + "-copy" + (doc == std::string("trade") ? ".ini" : ".json");
        r = Run({"import", copy, file});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, "imported " + file + " into " + User(copy) + "\n");
        const std::string original = User(std::string(doc) + (doc == std::string("trade") ? ".ini" : ".json"));
        EXPECT_EQ(ReadFile(User(copy)), ReadFile(original)) << doc;
        // Through standard input as well.
        ASSERT_EQ(Run({"import", copy, "-"}, zvtest::WithInput(text)).status, 0);
        EXPECT_EQ(ReadFile(User(copy)), ReadFile(original)) << doc;
    }
    EXPECT_EQ(Run({"ini", "get", "trade-copy", "Main", "Title"}).out, std::string(kText) + "\n");
}

TEST_F(HostDoc, ImportRefusesWhatALoadWouldRefuse)
{
    ASSERT_EQ(Run({"json", "get", "layout", "title"}).status, 0);
    ASSERT_EQ(Run({"ini", "get", "trade", "Main", "Title"}).status, 0);
    const std::string before = zvtest::Snapshot(root.path());
    const struct {
        const char* doc;
        std::string text;
        const char* err;
    } table[] = {
        {"layout", "{ \"title\" : }", "is not valid JSON"},
        {"layout", "[1, 2", "is not valid JSON"},
        {"layout", "\xFF\xFE{}", "is not UTF-8 text"},
        {"trade", "[Main]\nTitle=\xE9t\xE9\n", "is not UTF-8 text"},
        {"trade", std::string("[Main]\nTitle=a\0b\n", 17), "is not UTF-8 text"},
        {"fresh", "[Main]\n", "give its extension"},
    };
    for (const auto& c : table) {
        const HostResult r = Run({"import", c.doc, "-"}, zvtest::WithInput(c.text));
        EXPECT_EQ(r.status, 1) << c.text;
        EXPECT_TRUE(Contains(r.err, c.err)) << c.text << ": " << r.err;
    }
    EXPECT_EQ(zvtest::Snapshot(root.path()), before);
}

TEST_F(HostDoc, ResetRestoresTheDefaultAndKeepsTheOldFile)
{
    EXPECT_EQ(Run({"reset", "trade"}).out, User("trade.ini") + " is the shipped default already\n");
    ASSERT_EQ(Run({"ini", "set", "trade", "Main", "Title", "Mine"}).status, 0);
    const std::string mine = ReadFile(User("trade.ini"));
    HostResult r = Run({"reset", "trade"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(User("trade.ini")), ReadFile(Sys("trade.ini")));
    std::smatch m;
    ASSERT_TRUE(std::regex_search(r.out, m, std::regex("the old file is (.*trade\\.ini\\.reset-\\d{8}T\\d{6}Z)\n")))
        << r.out;
    EXPECT_EQ(ReadFile(m[1]), mine);
    // Names taken already, for this second and the next ones, are never overwritten.
    ASSERT_EQ(Run({"ini", "set", "trade", "Main", "Title", "Again"}).status, 0);
    const std::string again = ReadFile(User("trade.ini"));
    std::vector<std::string> taken;
    for (std::time_t t = std::time(nullptr), end = t + 3; t < end; ++t) {
        char stamp[32];
        std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", std::gmtime(&t));
        taken.push_back(User("trade.ini.reset-") + stamp);
        zvtest::WriteFile(taken.back(), "taken");
    }
    r = Run({"reset", "trade"});
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_TRUE(std::regex_search(r.out, m, std::regex("the old file is (.*trade\\.ini\\.reset-\\d{8}T\\d{6}Z-2)\n")))
        << r.out;
    EXPECT_EQ(ReadFile(m[1]), again);
    for (const std::string& file : taken)
        EXPECT_EQ(ReadFile(file), "taken");

    ASSERT_EQ(Run({"json", "set", "layout", "columns", "9"}).status, 0);
    ASSERT_EQ(Run({"reset", "layout"}).status, 0);
    EXPECT_EQ(Run({"json", "get", "layout", "columns"}).out, "3\n");
    zvtest::WriteFile(User("orders.ini"), Utf16(L"[A]\r\nb=c\r\n"));
    r = Run({"reset", "orders"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.err, "no shipped default " + Sys("orders.ini"))) << r.err;
}

// A dry run leaves every byte of the root as it was and says what it would write.
TEST_F(HostDoc, DryRunWritesNothingAndShowsWhatWouldBeWritten)
{
    const std::string in = root / "in.ini";
    const std::string out = root / "out.ini";
    zvtest::WriteFile(in, "[Main]\nTitle=Imported\n");
    const auto user = [this](const std::string& name) { return User(name); };
    const struct {
        std::vector<std::string> args;
        std::string out;
    } table[] = {
        {{"user", "set", "dave"},
         "user-id    dave\nuser-dir   " + user("dave/") + "\nsetting    " + user("dave/envsetting.ini") +
             "\nwould create " + user(".zvenv-host.ini") +
             ":\n  + [Host] User=dave\n  + [Host] Encrypt=0\nwould create the folder " + user("dave/") +
             "\nwould create " + user("dave/envsetting.ini") + ", a copy of " + Sys("envsetting.ini") + "\n"},
        {{"ini", "get", "trade", "Main", "Title"},
         "Trade\nwould create " + user("trade.ini") + ", a copy of " + Sys("trade.ini") + "\n"},
        {{"ini", "set", "trade", "Main", "Title", "X"},
         "would create " + user("trade.ini") + ", from " + Sys("trade.ini") +
             " with changes:\n  - [Main] Title=Trade\n  + [Main] Title=X\n"},
        {{"json", "set", "layout", "columns", "5"},
         "would create " + user("layout.json") + ", from " + Sys("layout.json") +
             " with changes:\n  - .columns = 3\n  + .columns = 5\n"},
        {{"json", "set", "orders", "a", "1"}, "would create " + user("orders.json") + ":\n  + .a = \"1\"\n"},
        {{"import", "trade", in},
         "imported " + in + " into " + user("trade.ini") + "\nwould create " + user("trade.ini") + ", from " +
             Sys("trade.ini") +
             " with changes:\n  - [Main] Title=Trade\n  + [Main] Title=Imported\n"
             "  - [Main] RefreshSeconds=5\n  - [Main] Background=240,240,240\n  - [Main] Bounds=0,0,800,600\n"
             "  - [Columns] count=3\n  - [Columns] Item1=Symbol\n  - [Columns] Item2=Price\n"
             "  - [Columns] Item3=Volume\n"},
        {{"export", "trade", out},
         "would write " + out + " (174 bytes)\nwould create " + user("trade.ini") + ", a copy of " + Sys("trade.ini") +
             "\n"},
        {{"paths"}, ""},
    };
    for (const auto& c : table) {
        const std::string before = zvtest::Snapshot(root.path());
        std::vector<std::string> args{"--dry-run"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const HostResult r = Run(args);
        EXPECT_EQ(r.status, 0) << c.args[0] << r.err;
        if (c.args[0] != "paths")
            EXPECT_EQ(r.out, c.out) << c.args[0];
        else
            EXPECT_TRUE(Contains(r.out, "root       " + root.root() + "\n")) << "the copy is not shown";
        EXPECT_EQ(zvtest::Snapshot(root.path()), before) << c.args[0];
        EXPECT_FALSE(zvtest::PathExists(out));
    }
    // On a root in use: a reset keeps the old file; clearing the user deletes the host's file.
    ASSERT_EQ(Run({"user", "set", "erin"}).status, 0);
    ASSERT_EQ(Run({"ini", "set", "trade", "Main", "Title", "Mine"}).status, 0);
    const std::string before = zvtest::Snapshot(root.path());
    HostResult r = Run({"--dry-run", "reset", "trade"});
    EXPECT_TRUE(std::regex_search(
        r.out, std::regex("would create " + zvtest::Pattern(user("erin/trade.ini.reset-")) + "\\d+T\\d+Z:")))
        << r.out;
    EXPECT_TRUE(Contains(r.out, "would change " + user("erin/trade.ini") +
                                    ":\n  - [Main] Title=Mine\n  + [Main] Title=Trade\n"));
    r = Run({"--dry-run", "user", "clear"});
    EXPECT_EQ(r.out, "no current user\nwould delete " + user(".zvenv-host.ini") + "\n");
    r = Run({"--dry-run", "ini", "get", "trade", "Main", "Title"});
    EXPECT_EQ(r.out, "Mine\nnothing would change\n");
    EXPECT_EQ(zvtest::Snapshot(root.path()), before);
}

TEST_F(HostDoc, ADryRunThatCannotCopyTheRootSaysSo)
{
    ZVTEST_LINUX_ONLY("a file that permissions keep from another user");
    ASSERT_EQ(Run({"user", "set", "alice"}).status, 0);
    zvtest::OpenToEveryone(root);
    fs::permissions(User("alice/envsetting.ini"), fs::perms::owner_read | fs::perms::owner_write);
    const HostResult r = Run({"--dry-run", "ini", "get", "trade", "Main", "Title"}, zvtest::Unprivileged());
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.err, "zvenv: cannot copy " + root / "user" + " for the dry run: Permission denied"))
        << r.err;
    EXPECT_EQ(r.out, "");
}

namespace {

struct SaveFault {
    const char* fault;
    std::vector<std::string> set;
    const char* file;
    const char* message; // % stands for the file's path
};

// A change that does not reach the disk is reported with the file and the
// system's reason, and the exit status is 1. The full disk is a failed flush,
// injected with strace; the read-only folder is met by an unprivileged user.
// Both are Linux only: on Windows only the folder in the way is run.
void ExpectReported(const std::vector<SaveFault>& table)
{
    const std::vector<std::string> fullDisk{
        "/usr/bin/strace", "-f", "-qq", "-o", "/dev/null", "-e", "trace=fsync", "-e", "inject=fsync:error=ENOSPC"};
    for (const auto& c : table) {
        zvtest::AppRoot fresh;
        zvtest::CopySamples(fresh);
        const auto user = [&](const std::string& name) { return fresh / ("user/" + name); };
        zvtest::RunOptions options;
        const std::string fault = c.fault;
#ifdef _WIN32
        if (fault != "folder in the way")
            continue;
#endif
        if (fault == "folder in the way") {
            zvtest::MakeFolders(user(c.file));
        } else {
            ASSERT_EQ(zvtest::RunTool(fresh, {"dump", c.file}).status, 0); // seeds the user's copy
            if (fault == "full disk") {
                options.wrapper = fullDisk;
            } else {
                zvtest::OpenToEveryone(fresh);
                fs::permissions(fresh.user(), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                                fs::perm_options::remove);
                options.unprivileged = true;
            }
        }
        const std::string before = zvtest::Snapshot(fresh.path());
        const HostResult r = zvtest::RunTool(fresh, c.set, options);
        EXPECT_EQ(r.status, 1) << c.fault << " " << c.file << "\n" << r.err;
        std::string message = c.message;
        message.replace(message.find('%'), 1, user(c.file));
        EXPECT_TRUE(Contains(r.err, "zvenv: " + message)) << c.fault << "\n" << r.err;
        EXPECT_FALSE(Contains(r.out, "saved")) << c.fault << " " << c.file;
        EXPECT_EQ(zvtest::Snapshot(fresh.path()), before) << c.fault << " " << c.file;
    }
}

} // namespace

TEST(HostSave, AJsonSaveThatDidNotReachTheDiskIsReported)
{
    const std::vector<std::string> set{"json", "set", "layout", "title", "X"};
    ExpectReported({
        {"full disk", set, "layout.json", "could not save %: No space left"},
        {"read-only folder", set, "layout.json", "could not save %: Permission denied"},
        {"folder in the way", set, "layout.json", "could not load %"},
    });
}

// An INI document whose save fails stays dirty, with the system's error code,
// as a JSON document does.
TEST(HostSave, AnIniSaveThatDidNotReachTheDiskIsReported)
{
    const std::vector<std::string> set{"ini", "set", "trade", "Main", "Title", "X"};
    ExpectReported({
        {"full disk", set, "trade.ini", "could not save %: No space left"},
        {"read-only folder", set, "trade.ini", "could not save %: Permission denied"},
        {"folder in the way", set, "trade.ini", "could not save %: "},
    });
}

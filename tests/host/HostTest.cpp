// zvenv run as a process on real application roots: roots, users, exit
// status and messages, INI documents.
#include "HostRun.h"

#include <filesystem>
#include <regex>

using zvtest::AppRoot;
using zvtest::Contains;
using zvtest::HostResult;
using zvtest::ReadFile;
using zvtest::Utf16;

namespace {

using Host = zvtest::HostTest;

struct Expect {
    std::vector<std::string> args;
    int status;
    std::string out; // the whole standard output
    std::string err; // a part of standard error
};

void Check(const Expect& e, const HostResult& r)
{
    std::string shown;
    for (const std::string& a : e.args)
        shown += a + " ";
    EXPECT_EQ(r.status, e.status) << shown << "\n" << r.err;
    EXPECT_EQ(r.out, e.out) << shown;
    EXPECT_TRUE(Contains(r.err, e.err)) << shown << "\n" << r.err;
    if (e.status != 0) {
        EXPECT_EQ(r.err.rfind("zvenv: ", 0), 0u) << shown << "\n" << r.err;
    }
}

} // namespace

TEST(HostRoot, TheRootIsTheFolderAboveBinUnlessNamed)
{
    AppRoot root;
    zvtest::PlaceHost(root);
    HostResult r = zvtest::RunHost(root, {"paths"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "root       " + root.root() + "\n"));
    EXPECT_TRUE(Contains(r.out, "module     " + root / "bin" + "\n"));
    for (const std::string folder : {"data", "image", "menu", "screen", "sound", "system", "user"})
        EXPECT_TRUE(Contains(r.out, root / (folder + "/") + "\n")) << folder;
    EXPECT_TRUE(Contains(r.out, "user-id    (none)\n"));
    EXPECT_EQ(r.err, "");

    // Another root, with dots in its name; one without system/ is warned about.
    zvtest::TempDir other;
    zvtest::MakeFolders(other / "bin");
    r = zvtest::RunHost(root, {"--root", other / "bin/..", "user", "set", "alice"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Contains(r.err, "warning: " + other.path() + zvtest::kSeparator + " has no system/ folder")) << r.err;
    EXPECT_TRUE(zvtest::PathExists(other / "user/alice/envsetting.ini"));
    EXPECT_FALSE(zvtest::PathExists(root.user() + "alice"));
    EXPECT_FALSE(zvtest::PathExists(root.user() + ".zvenv-host.ini"));

    r = zvtest::RunHost(root, {"--root", root / "nosuch", "paths"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.err, "zvenv: no folder at " + root / "nosuch")) << r.err;
}

TEST_F(Host, ExitStatusAndMessages)
{
    const std::string trade = User("trade.ini");
    const Expect table[] = {
        // Mistakes on the command line.
        {{}, 2, "", "no command given"},
        {{"frobnicate"}, 2, "", "unknown command 'frobnicate'"},
        {{"ini"}, 2, "", "expected get, set, delete or list"},
        {{"ini", "get", "trade", "Main"}, 2, "", "ini get takes NAME SECTION KEY"},
        {{"ini", "get", "trade", "Main", "Title", "--type", "colour"}, 2, "", "unknown --type colour"},
        {{"ini", "get", "trade", "Main", "Title", "--sytem"}, 2, "", "unknown option --sytem"},
        {{"ini", "get", "trade", "Columns", "--ordered", "Item"}, 2, "", "one %d"},
        {{"ini", "get", "trade", "Columns", "--ordered", "Item%d", "--tree"}, 2, "", "exclude each other"},
        {{"ini", "set", "trade", "Main", "Flag", "true", "--type", "bool"}, 2, "", "for JSON documents"},
        {{"ini", "set", "trade", "Main", "Bounds", "1,2,3", "--type", "rect"}, 2, "", "four integers"},
        {{"--format", "xml", "paths"}, 2, "", "--format takes text or json"},
        {{"--format", "json", "ini", "set", "trade", "Main", "Title", "X"}, 2, "", "goes with get and list"},
        {{"paths", "extra"}, 2, "", "paths takes no arguments"},
        {{"user", "set"}, 2, "", "expected: user"},
        {{"user", "set", ""}, 2, "", "a user id cannot be empty"},
        {{"--user"}, 2, "", "--user needs an ID"},
        {{"users", "a", "b"}, 2, "", "at most one FILE"},
        {{"export", "trade"}, 2, "", "expected DOC and FILE"},
        {{"reset", "trade", "--system"}, 2, "", "unknown option --system"},
        {{"ini", "get", "trade", "Main", "Missing", "--type", "int", "--default", "x"}, 2, "", "--default"},
        // Reads: found, typed, or not found.
        {{"ini", "get", "trade", "Main", "Title"}, 0, "Trade\n", ""},
        {{"ini", "get", "trade", "Main", "RefreshSeconds", "--type", "int"}, 0, "5\n", ""},
        {{"ini", "get", "trade", "Main", "Bounds", "--type", "rect"}, 0, "0,0,800,600\n", ""},
        {{"ini", "get", "trade", "Main", "Missing"}, 1, "", "no key [Main] Missing in " + trade},
        {{"ini", "get", "trade", "Main", "Missing", "--type", "int", "--default", "7"}, 0, "7\n", ""},
        {{"ini", "get", "trade", "Main", "Title", "--type", "int"}, 1, "", "'Trade' is not a 32-bit integer"},
        {{"ini", "get", "trade", "Main", "Nope", "--array"}, 1, "", "no key [Main] Nope"},
        {{"ini", "get", "trade", "Nope", "--ordered", "Item%d"}, 1, "", "no section [Nope]"},
        {{"ini", "list", "trade", "Nope"}, 1, "", "no section [Nope]"},
        {{"ini", "list", "nosuch", "--system"}, 1, "", "no file at " + Sys("nosuch.ini")},
        {{"ini", "delete", "trade", "Main", "Missing"}, 1, "", "no key [Main] Missing"},
        {{"ini", "delete", "trade", "Nope"}, 1, "", "no section [Nope]"},
        // Refused by the library, or by the host for the user's sake.
        {{"ini", "set", "EnvSetting", "General", "Language", "de"}, 1, "", "until a user is set"},
        {{"ini", "set", "../escape", "A", "B", "C"}, 1, "", "refused the document '../escape'"},
        {{"ini", "set", "trade", "A", "B", "C", "--sub", "C:/tmp"}, 1, "", "in the sub-folder 'C:/tmp'"},
        {{"json", "set", "../escape", "a", "b"}, 1, "", "refused the document"},
        {{"ini", "set", "trade", "Main", "--ordered", "Item%d", "a"}, 1, "", "also holds Title, RefreshSeconds"},
        {{"ini", "set", "trade", "Main", "--tree", "a"}, 1, "", "add --force"},
        {{"user", "set", "a/b"}, 1, "", "refused the user id 'a/b'"},
        {{"--user", "..", "paths"}, 1, "", "refused the user id '..'"},
        {{"dump", "nosuch"}, 1, "", "no document named nosuch"},
        {{"diff", "nosuch.ini"}, 1, "", "no shipped default " + Sys("nosuch.ini")},
        {{"import", "trade", "/no/such/file"}, 1, "", "cannot read /no/such/file"},
    };
    for (const Expect& e : table)
        Check(e, Run(e.args));
    // The refusals changed nothing, and nothing was written outside the root.
    EXPECT_EQ(ReadFile(User("trade.ini")), ReadFile(Sys("trade.ini")));
    EXPECT_EQ(zvtest::ListNames(root.path()), (std::vector<std::string>{"bin", "system", "user"}));
    EXPECT_EQ(zvtest::ListNames(root.user()), (std::vector<std::string>{"trade.ini"}));
}

TEST_F(Host, HelpVersionAndQuiet)
{
    for (const char* command : {"paths", "ini", "json", "user", "users", "dump", "export", "import", "reset", "diff"}) {
        const HostResult r = Run({command, "--help"});
        EXPECT_EQ(r.status, 0) << command;
        EXPECT_TRUE(Contains(r.out, std::string("usage: zvenv ") + command)) << r.out;
    }
    HostResult r = Run({"--help"});
    EXPECT_TRUE(Contains(r.out, "Usage: zvenv [OPTION]... COMMAND"));
    r = Run({"--version"});
    EXPECT_EQ(r.out, "zvenv (ZvEnvMgr) " ZV_VERSION "\n");
    EXPECT_EQ(zvtest::ListNames(root.user()), std::vector<std::string>()) << "help and version touch nothing";

    r = Run({"ini", "set", "trade", "Main", "Title", "A"});
    EXPECT_EQ(r.out, "saved " + User("trade.ini") + "\n");
    r = Run({"-q", "ini", "set", "trade", "Main", "Title", "B"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(Run({"ini", "get", "trade", "Main", "Title", "--quiet"}).out, "B\n") << "-q keeps what was asked for";
}

// Each text is set and read back: what the file cannot hold as given is
// refused with exit status 2 and the file stays as it was.
TEST_F(Host, IniTextThatWouldNotReadBackIsRefused)
{
    const struct {
        const char* section;
        const char* key;
        const char* value;
        bool stored;
    } table[] = {
        {"Main", "Note", "plain words", true},
        {"Main", "Note", "a=b; [c] #d", true},
        {"Main", "Note", "Größe \xF0\x9F\x98\x80", true},
        {"Main", "Note", "", true},
        {"Main", "Note", "'half", true},
        {"Main", "#Note", "v", true},
        {"Main", "Note", "line\n[Evil]\nx=1", false},
        {"Main", "Note", "a\rb", false},
        {"Main", "Note", " lead", false},
        {"Main", "Note", "trail\t", false},
        {"Main", "Note", "\"quoted\"", false},
        {"Main", "Note", "'quoted'", false},
#ifndef _WIN32
        // Bytes that are not UTF-8 (a Windows command line is UTF-16 and cannot hold them).
        {"Main", "Note", "\xFF", false},
#endif
        {"Main", "k=x", "v", false},
        {"Main", "[k", "v", false},
        {"Main", ";k", "v", false},
        {"Main", " k", "v", false},
        {"Main", "", "v", false},
        {"Ma]in", "k", "v", false},
        {"Main\n[Evil]", "k", "v", false},
        {" Main", "k", "v", false},
        {"", "k", "v", false},
    };
    ASSERT_EQ(Run({"ini", "get", "trade", "Main", "Title"}).status, 0);
    for (const auto& c : table) {
        const std::string before = ReadFile(User("trade.ini"));
        const HostResult r = Run({"-q", "ini", "set", "trade", c.section, c.key, c.value});
        if (!c.stored) {
            EXPECT_EQ(r.status, 2) << c.section << "|" << c.key << "|" << c.value;
            EXPECT_EQ(ReadFile(User("trade.ini")), before) << c.value;
            continue;
        }
        ASSERT_EQ(r.status, 0) << c.key << "|" << c.value << "\n" << r.err;
        EXPECT_EQ(Run({"ini", "get", "trade", c.section, c.key}).out, std::string(c.value) + "\n");
    }
    EXPECT_FALSE(Contains(Run({"ini", "list", "trade"}).out, "Evil"));
}

TEST_F(Host, TypedValuesAndWhatIsLost)
{
    HostResult r = Run({"ini", "set", "trade", "Main", "Background", "255,128,0", "--type", "rgb"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Run({"ini", "get", "trade", "Main", "Background", "--type", "rgb"}).out, "255,128,0\n");
    r = Run({"ini", "set", "trade", "Main", "Ratio", "2.5", "--type", "double"});
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(Run({"ini", "get", "trade", "Main", "Ratio", "--type", "double"}).out, "2.5\n");
    // A double keeps six decimals: the loss is told, the value stored is the one read back.
    r = Run({"ini", "set", "trade", "Main", "Ratio", "1e-9", "--type", "double"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(Contains(r.err, "warning: [Main] Ratio is stored as 0.000000")) << r.err;
    EXPECT_EQ(Run({"ini", "get", "trade", "Main", "Ratio", "--type", "double"}).out, "0\n");
    EXPECT_EQ(Run({"--format", "json", "ini", "get", "trade", "Main", "Bounds", "--type", "rect"}).out,
              "[\n  0,\n  0,\n  800,\n  600\n]\n");
    EXPECT_EQ(Run({"--format", "json", "ini", "get", "trade", "Main", "RefreshSeconds", "--type", "int"}).out, "5\n");
}

TEST_F(Host, ListsOfAllThreeKinds)
{
    EXPECT_EQ(Run({"ini", "get", "trade", "Columns", "--ordered", "Item%d"}).out, "Symbol\nPrice\nVolume\n");
    ASSERT_EQ(Run({"ini", "set", "trade", "Columns", "--ordered", "Col%d", "--first", "0", "Bid", "Ask"}).status, 1)
        << "Item1 to Item3 would go";
    ASSERT_EQ(
        Run({"ini", "set", "trade", "Columns", "--ordered", "Col%d", "--first", "0", "--force", "Bid", "Ask"}).status,
        0);
    EXPECT_EQ(Run({"ini", "get", "trade", "Columns", "--ordered", "Col%d", "--first", "0"}).out, "Bid\nAsk\n");
    EXPECT_EQ(Run({"ini", "list", "trade", "Columns"}).out, "count=2\nCol0=Bid\nCol1=Ask\n");

    ASSERT_EQ(Run({"ini", "set", "trade", "Main", "Tags", "--array", "--delim", ";", "x", "y z"}).status, 0);
    EXPECT_EQ(Run({"ini", "get", "trade", "Main", "Tags"}).out, "x;y z\n");
    EXPECT_EQ(Run({"--format", "json", "ini", "get", "trade", "Main", "Tags", "--array", "--delim", ";"}).out,
              "[\n  \"x\",\n  \"y z\"\n]\n");
    EXPECT_EQ(Run({"ini", "set", "trade", "Main", "Tags", "--array", "a;b", "--delim", ";"}).status, 2);

    ASSERT_EQ(Run({"ini", "set", "trade", "Panels", "--tree", "left|top", "right"}).status, 0);
    EXPECT_EQ(Run({"ini", "get", "trade", "Panels", "--tree"}).out, "left|top\nright\n");
    EXPECT_EQ(Run({"ini", "get", "trade", "Panels", "--tree", "--delim", "+"}).out, "left+top\nright\n");

    // A list over a section with other keys needs --force, and then replaces it.
    const std::string before = ReadFile(User("trade.ini"));
    EXPECT_EQ(Run({"ini", "set", "trade", "Main", "--ordered", "Item%d", "only"}).status, 1);
    EXPECT_EQ(ReadFile(User("trade.ini")), before);
    ASSERT_EQ(Run({"ini", "set", "trade", "Main", "--ordered", "Item%d", "--force", "only"}).status, 0);
    EXPECT_EQ(Run({"ini", "list", "trade", "Main"}).out, "count=1\nItem1=only\n");
}

TEST_F(Host, DeleteAndListWorkOnTheFile)
{
    EXPECT_EQ(Run({"ini", "list", "trade"}).out, "Main\nColumns\n");
    EXPECT_EQ(Run({"--format", "json", "ini", "list", "trade"}).out, "[\n  \"Main\",\n  \"Columns\"\n]\n");
    HostResult r = Run({"ini", "delete", "trade", "Main", "Bounds"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "deleted [Main] Bounds\nsaved " + User("trade.ini") + "\n");
    EXPECT_FALSE(Contains(Run({"ini", "list", "trade", "Main"}).out, "Bounds"));
    ASSERT_EQ(Run({"ini", "delete", "trade", "Columns"}).status, 0);
    EXPECT_EQ(Run({"ini", "list", "trade"}).out, "Main\n");
}

TEST_F(Host, UsersAreKeptBetweenRunsUntilCleared)
{
    HostResult r = Run({"user", "set", "alice"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(User("alice/envsetting.ini")), ReadFile(Sys("envsetting.ini")));
    EXPECT_TRUE(Contains(Run({"paths"}).out, "user-dir   " + User("alice/") + "\n"));
    // --user acts for one command and is not kept.
    EXPECT_TRUE(Contains(Run({"--user", "bob", "paths"}).out, "user-id    bob\n"));
    EXPECT_TRUE(Contains(Run({"user"}).out, "user-id    alice\n"));
    ASSERT_EQ(Run({"user", "clear"}).status, 0);
    EXPECT_TRUE(Contains(Run({"paths"}).out, "user-id    (none)\n"));
    EXPECT_EQ(Run({"--format", "json", "user"}).out, "{\n  \"user-id\": null,\n  \"user-dir\": \"" +
                                                         zvtest::JsonPath(root.user()) +
                                                         "\",\n  \"setting\": null\n}\n");
}

TEST_F(Host, AnEncryptedUserIsKeptOnlyInItsEncryptedForm)
{
    ASSERT_EQ(Run({"user", "set", "carol", "--encrypt"}).status, 0);
    const std::string kept = ReadFile(User(".zvenv-host.ini"));
    EXPECT_FALSE(Contains(kept, Utf16(L"carol", false))) << "the plain id is in the host's file";
    const HostResult r = Run({"ini", "set", "trade", "Main", "Title", "Carol"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::smatch m;
    ASSERT_TRUE(std::regex_search(r.out, m,
                                  std::regex("saved " + zvtest::Pattern(root.user()) + "([a-z0-9]+)" +
                                             zvtest::Pattern(zvtest::kSeparator + std::string("trade.ini")) + "\n")));
    EXPECT_NE(m[1].str(), "carol");
    EXPECT_EQ(Run({"ini", "get", "trade", "Main", "Title"}).out, "Carol\n");
    EXPECT_TRUE(Contains(Run({"paths"}).out, "user-id    carol\n"));
}

// Other users: sorted, each once although an encrypted one has two folders,
// and never the current one, plain or encrypted.
TEST_F(Host, OtherUsersAreListedOnceSortedWithoutTheCurrentOne)
{
    for (const std::vector<std::string>& set : std::vector<std::vector<std::string>>{
             {"user", "set", "bob"}, {"user", "set", "alice"}, {"user", "set", "carol", "--encrypt"}})
        ASSERT_EQ(Run(set).status, 0);
    ASSERT_EQ(Run({"ini", "set", "trade", "Main", "Title", "C"}).status, 0); // carol's encrypted folder
    zvtest::WriteFile(User("stray.ini"), "not a user");
    const std::string date = "\t\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d\n";
    EXPECT_TRUE(std::regex_match(Run({"users"}).out, std::regex("alice" + date + "bob" + date))) << Run({"users"}).out;
    ASSERT_EQ(Run({"user", "set", "dave"}).status, 0);
    for (const char* file : {"", "envsetting.ini"})
        EXPECT_TRUE(
            std::regex_match(Run({"users", file}).out, std::regex("alice" + date + "bob" + date + "carol" + date)))
            << file << ": " << Run({"users", file}).out;
    EXPECT_TRUE(std::regex_match(Run({"users", "trade.ini"}).out, std::regex("carol" + date)));
    EXPECT_EQ(Run({"users", "nosuch.ini"}).out, "");
    EXPECT_TRUE(
        std::regex_match(Run({"--format", "json", "users", "trade.ini"}).out,
                         std::regex("\\[\n  \\{\n    \"id\": \"carol\",\n    \"date\": \"[0-9/ :]+\"\n  \\}\n\\]\n")));
}

TEST_F(Host, SubFoldersAndTheSettingDocument)
{
    ASSERT_EQ(Run({"user", "set", "alice"}).status, 0);
    HostResult r = Run({"ini", "set", "panel", "Main", "Width", "300", "--sub", "screens\\left"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "saved " + User("alice/screens/left/panel.ini") + "\n");
    EXPECT_EQ(Run({"ini", "get", "panel", "Main", "Width", "--sub", "screens/left/"}).out, "300\n");
    r = Run({"ini", "set", "envsetting", "General", "Language", "de"});
    EXPECT_EQ(r.out, "saved " + User("alice/envsetting.ini") + "\n");
    EXPECT_EQ(Run({"ini", "get", "", "General", "Language"}).out, "de\n");
}

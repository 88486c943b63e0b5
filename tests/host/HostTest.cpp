// zvenv's roots, users, exit status and messages, and INI documents.
#include "HostRun.h"

using namespace zvtest;

using Host = HostTest;

// A host in <root>/bin without the validator module: INI documents only.
TEST(HostInBin, TheRootIsTheFolderAboveBinUnlessNamed)
{
    AppRoot root;
    PlaceHost(root);
    HostResult r = RunHost(root, {"paths"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "root       " + root.root() + "\nmodule     " + root / "bin" + "\n"));
    for (const std::string folder : {"data", "image", "menu", "screen", "sound", "system", "user"})
        EXPECT_TRUE(Contains(r.out, root / (folder + "/") + "\n")) << folder;
    EXPECT_EQ(r.err, "");

    // Another root, with dots in its name and without system/.
    TempDir other;
    MakeFolders(other / "bin");
    r = RunHost(root, {"--root", other / "bin/..", "user", "set", "alice"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Contains(r.err, "warning: " + other.path() + kSeparator + " has no system/ folder")) << r.err;
    EXPECT_TRUE(PathExists(other / "user/alice/envsetting.ini"));
    EXPECT_TRUE(Snapshot(root.user()).empty());

    WriteFile(root / "in.json", "{}");
    for (const Words& args : {Words("json get layout title"), Words({"json", "check", root.system() + "layout.json"}),
                              Words({"import", "layout", root / "in.json"})}) {
        r = RunHost(root, args);
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(Contains(r.err, args[1] == "get" ? "could not load" : "validator module")) << r.err;
    }
    EXPECT_EQ(RunHost(root, {"ini", "get", "trade", "Main", "Title"}).out, "Trade\n");

    r = RunHost(root, {"--root", root / "nosuch", "paths"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.err, "zvenv: no folder at " + root / "nosuch")) << r.err;
}

TEST_F(Host, ExitStatusAndMessages)
{
    Steps({{"ini get trade Main Title", 0, "Trade\n"}, {"json get layout title"}});
    const auto seeded = Snapshot(root.path());
    Steps({
        {"", 2, "", "no command given"},
        {"frobnicate", 2, "", "unknown command 'frobnicate'"},
        {"ini", 2, "", "expected get, set, delete or list"},
        {"ini get trade Main", 2, "", "ini get takes NAME SECTION KEY"},
        {"ini get trade Main Title --type colour", 2, "", "unknown --type colour"},
        {"ini get trade Main Title --sytem", 2, "", "unknown option --sytem"},
        {"ini get trade Columns --ordered Item", 2, "", "one %d"},
        {"ini get trade Columns --ordered Item%d --tree", 2, "", "exclude each other"},
        {"ini set trade Main Flag true --type bool", 2, "", "for JSON documents"},
        {"ini set trade Main Bounds 1,2,3 --type rect", 2, "", "four integers"},
        {"--format xml paths", 2, "", "--format takes text or json"},
        {"--format json ini set trade Main Title X", 2, "", "goes with get and list"},
        {"paths extra", 2, "", "paths takes no arguments"},
        {"user set", 2, "", "expected: user"},
        {{"user", "set", ""}, 2, "", "a user id cannot be empty"},
        {"--user", 2, "", "--user needs an ID"},
        {"users a b", 2, "", "at most one FILE"},
        {"export trade", 2, "", "expected DOC and FILE"},
        {"reset trade --system", 2, "", "unknown option --system"},
        {"ini get trade Main Missing --type int --default x", 2, "", "--default"},
        {"ini get trade Main Missing", 1, "", "no key [Main] Missing in " + User("trade.ini")},
        {"ini get trade Main Missing --array", 1, "", "no key [Main] Missing"},
        {"ini get trade Main --array", 2, "", "ini get --array takes NAME SECTION KEY"},
        {"ini get trade Main Title --array --delim=", 2, "", "--delim must not be empty"},
        {"ini get trade Main Missing --type int --default 7", 0, "7\n"},
        {"ini get trade Main Title --type int", 1, "", "'Trade' is not a 32-bit integer"},
        {"ini get trade Nope --ordered Item%d", 1, "", "no section [Nope]"},
        {"ini list trade Nope", 1, "", "no section [Nope]"},
        {"ini list nosuch --system", 1, "", "no file at " + Sys("nosuch.ini")},
        {"ini delete trade Main Missing", 1, "", "no key [Main] Missing"},
        {"ini delete trade Nope", 1, "", "no section [Nope]"},
        {"ini set EnvSetting General Language de", 1, "", "until a user is set"},
        {"ini set ../escape A B C", 1, "", "refused the document '../escape'"},
        {"json set ../escape a b", 1, "", "refused the document"},
        {"ini set trade A B C --sub C:/tmp", 1, "", "in the sub-folder 'C:/tmp'"},
        {"ini set trade Main --ordered Item%d a", 1, "", "also holds Title, RefreshSeconds"},
        {"ini set trade Main --tree a", 1, "", "add --force"},
        {"user set a/b", 1, "", "refused the user id 'a/b'"},
        {"--user .. paths", 1, "", "refused the user id '..'"},
        {"dump nosuch", 1, "", "no document named nosuch"},
        {"diff nosuch.ini", 1, "", "no shipped default " + Sys("nosuch.ini")},
        {"import trade /no/such/file", 1, "", "cannot read /no/such/file"},
        // An import refuses what a load would refuse.
        {"import layout -", 1, kAny, "is not valid JSON", "{ \"title\" : }"},
        {"import layout -", 1, kAny, "is not UTF-8 text", "\xFF\xFE{}"},
        {"import trade -", 1, kAny, "is not UTF-8 text", "[Main]\nTitle=\xE9t\xE9\n"},
        {"import trade -", 1, kAny, "is not UTF-8 text", std::string("[Main]\nTitle=a\0b\n", 17)},
        {"import fresh -", 1, kAny, "give its extension", "[Main]\n"},
        // Help and version touch nothing.
        {"--help", 0, "...Usage: zvenv [OPTION]... COMMAND"},
        {"--version", 0, "zvenv (ZvEnvMgr) " ZV_VERSION "\n"},
    });
    for (const char* command : {"paths", "ini", "json", "user", "users", "dump", "export", "import", "reset", "diff"})
        Steps({{{command, "--help"}, 0, std::string("...usage: zvenv ") + command}});
    EXPECT_EQ(Snapshot(root.path()), seeded);
}

// What the file cannot hold as given is refused, changing nothing; the rest reads back (-q silences only reports).
TEST_F(Host, IniTextThatWouldNotReadBackIsRefused)
{
    for (const std::string value : {"plain words", "a=b; [c] #d", "Größe \xF0\x9F\x98\x80", "", "'half"})
        Steps({{{"-q", "ini", "set", "trade", "Main", "Note", value}, 0, ""},
               {{"ini", "get", "trade", "Main", "Note", "--quiet"}, 0, value + "\n"}});
    Steps({{"-q ini set trade Main #Note v", 0, ""}, {"ini get trade Main #Note", 0, "v\n"}});
    const auto before = Snapshot(root.path());
    // Values, keys and sections.
    std::vector<std::string> refused[] = {
        {"line\n[Evil]\nx=1", "a\rb", " lead", "trail\t", "\"quoted\"", "'quoted'"},
        {"k=x", "[k", ";k", " k", ""},
        {"Ma]in", "Main\n[Evil]", " Main", ""},
    };
#ifndef _WIN32
    refused[0].push_back("\xFF"); // not UTF-8 (a Windows command line is UTF-16 and cannot hold it)
#endif
    for (int part = 0; part < 3; ++part)
        for (const std::string& text : refused[part]) {
            std::vector<std::string> args{"-q", "ini", "set", "trade", "Main", "Note", "v"};
            args[6 - part] = text;
            Steps({{args, 2, "", "zvenv: "}});
        }
    EXPECT_EQ(Snapshot(root.path()), before);
}

TEST_F(Host, TypedValuesAndListsOfAllThreeKinds)
{
    Steps({
        {"ini set trade Main Background 255,128,0 --type rgb"},
        {"ini get trade Main Background --type rgb", 0, "255,128,0\n"},
        {"ini set trade Main Ratio 2.5 --type double"},
        // A double keeps six decimals: the loss is told.
        {"ini set trade Main Ratio 1e-9 --type double", 0, kAny, "warning: [Main] Ratio is stored as 0.000000"},
        {"ini get trade Main Ratio --type double", 0, "0\n"},
        {"--format json ini get trade Main Bounds --type rect", 0, "[\n  0,\n  0,\n  800,\n  600\n]\n"},

        {"ini list trade", 0, "Main\nColumns\n"},
        {"ini delete trade Main Bounds", 0, "deleted [Main] Bounds\nsaved " + User("trade.ini") + "\n"},
        {"ini list trade Main", 0, "Title=Trade\nRefreshSeconds=5\nBackground=255,128,0\nRatio=0.000000\n"},
        {"ini get trade Columns --ordered Item%d", 0, "Symbol\nPrice\nVolume\n"},
        // Item1 to Item3 would go, and a section with other keys: only with --force.
        {"ini set trade Columns --ordered Col%d --first 0 Bid Ask", 1, ""},
        {"ini set trade Columns --ordered Col%d --first 0 --force Bid Ask"},
        {"ini get trade Columns --ordered Col%d --first 0", 0, "Bid\nAsk\n"},
        {"ini list trade Columns", 0, "count=2\nCol0=Bid\nCol1=Ask\n"},
        {{"ini", "set", "trade", "Main", "Tags", "--array", "--delim", ";", "x", "y z"}},
        {"ini get trade Main Tags", 0, "x;y z\n"},
        {"--format json ini get trade Main Tags --array --delim ;", 0, "[\n  \"x\",\n  \"y z\"\n]\n"},
        {"ini set trade Main Tags --array a;b --delim ;", 2, ""},
        {"ini set trade Panels --tree left|top right"},
        {"ini get trade Panels --tree", 0, "left|top\nright\n"},
        {"ini set trade Main --ordered Item%d --force only"},
        {"ini list trade Main", 0, "count=1\nItem1=only\n"},
    });
}

TEST_F(Host, Users)
{
    Steps({{"user set alice"}});
    EXPECT_EQ(ReadFile(User("alice/envsetting.ini")), ReadFile(Sys("envsetting.ini")));
    Steps({
        {"paths", 0, "...user-dir   " + User("alice/") + "\n"},
        // --user acts for one command and is not kept.
        {"--user bob paths", 0, "...user-id    bob\n"},
        {"user", 0, "...user-id    alice\n"},
        {"user clear"},
        {"user", 0, "...user-id    (none)\n"},
        // A sub-folder and the setting document of a user.
        {"user set alice"},
        {{"ini", "set", "panel", "Main", "Width", "300", "--sub", "screens\\left"},
         0,
         "saved " + User("alice/screens/left/panel.ini") + "\n"},
        {"ini get panel Main Width --sub screens/left/", 0, "300\n"},
        {"ini set envsetting General Language de", 0, "saved " + User("alice/envsetting.ini") + "\n"},
        {{"ini", "get", "", "General", "Language"}, 0, "de\n"},
        {"user set bob"},
        {"user set carol --encrypt"},
    });
    EXPECT_FALSE(Contains(ReadFile(User(".zvenv-host.ini")), Utf16(L"carol", false)))
        << "the plain id is in the host's file";
    WriteFile(User("stray.ini"), "not a user");

    // Sorted, each once (an encrypted user has two folders), never the current one.
    const std::string date = "\t\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d\n";
    Steps({
        {"ini set trade Main Title Carol", 0, // in the folder of the encrypted id
         "~saved " + Pattern(root.user()) + "(?!carol)[a-z0-9]+" + Pattern(kSeparator + std::string("trade.ini")) +
             "\n"},
        {"users", 0, "~alice" + date + "bob" + date},
        {"ini get trade Main Title", 0, "Carol\n"},
        {"user set dave"},
        {"users", 0, "~alice" + date + "bob" + date + "carol" + date},
        {"users envsetting.ini", 0, "~alice" + date + "bob" + date + "carol" + date},
        {"users trade.ini", 0, "~carol" + date},
        {"users nosuch.ini", 0, ""},
        {"--format json users trade.ini", 0,
         "~\\[\n  \\{\n    \"id\": \"carol\",\n    \"date\": \"[0-9/ :]+\"\n  \\}\n\\]\n"},
    });
}

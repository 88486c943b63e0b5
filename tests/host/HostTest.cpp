// zvenv as a host: run as a process from <root>/bin on real application roots.
#include "HostRun.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

using zvtest::AppRoot;
using zvtest::HostResult;
using zvtest::ReadFile;
using zvtest::RunHost;
using zvtest::Utf16;

namespace {

class Host : public ::testing::Test {
protected:
    void SetUp() override { zvtest::PlaceHost(root); }
    HostResult Run(const std::vector<std::string>& args) { return RunHost(root, args); }
    std::string Sys(const std::string& name) const { return root.system() + name; }
    std::string User(const std::string& name) const { return root.user() + name; }

    AppRoot root;
};

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

} // namespace

TEST_F(Host, PathsDescribeTheRootAboveBin)
{
    const HostResult r = Run({"paths"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "root       " + root.root() + "\n"));
    EXPECT_TRUE(Contains(r.out, "module     " + root.path() + "/bin\n"));
    for (const char* folder : {"data", "image", "menu", "screen", "sound", "system", "user"})
        EXPECT_TRUE(Contains(r.out, root.root() + folder + "/\n")) << folder;
    EXPECT_TRUE(Contains(r.out, "user-id    (none)\n"));
    EXPECT_TRUE(r.err.empty());
}

TEST_F(Host, CommandLineMistakesExitWithTwo)
{
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {},
             {"frobnicate"},
             {"ini"},
             {"ini", "get"},
             {"ini", "get", "trade", "Main"},
             {"ini", "set", "trade", "Main", "Key"},
             {"ini", "get", "trade", "Main", "Title", "--type", "colour"},
             {"ini", "get", "trade", "Main", "Title", "--sytem"},
             {"ini", "get", "trade", "Columns", "--ordered", "Item"},
             {"ini", "get", "trade", "Columns", "--ordered", "Item%d", "--tree"},
             {"paths", "extra"},
             {"user", "set"},
             {"--user"},
         }) {
        const HostResult r = Run(args);
        EXPECT_EQ(r.status, 2) << (args.empty() ? "(none)" : args[0]) << " " << args.size();
        EXPECT_TRUE(Contains(r.err, "zvenv: ")) << r.err;
        EXPECT_TRUE(Contains(r.err, "usage:")) << r.err;
    }
}

TEST_F(Host, HelpGoesToStandardOutputForEveryCommand)
{
    for (const char* command : {"paths", "ini", "json", "user", "users"}) {
        const HostResult r = Run({command, "--help"});
        EXPECT_EQ(r.status, 0) << command;
        EXPECT_TRUE(Contains(r.out, std::string("usage: zvenv ") + command)) << r.out;
    }
    const HostResult r = Run({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(Contains(r.out, "Commands"));
    EXPECT_EQ(ReadFile(User(".zvenv-host.ini")), "");
}

TEST_F(Host, TheUserIsKeptBetweenRunsUntilCleared)
{
    HostResult r = Run({"user", "set", "alice"});
    ASSERT_EQ(r.status, 0) << r.err;
    // The setting file is seeded from the shipped template.
    EXPECT_EQ(ReadFile(User("alice/envsetting.ini")), ReadFile(Sys("envsetting.ini")));

    r = Run({"paths"});
    EXPECT_TRUE(Contains(r.out, "user-id    alice\n")) << r.out;
    EXPECT_TRUE(Contains(r.out, "user-dir   " + root.user() + "alice/\n"));

    // --user acts for one command and is not kept.
    r = Run({"--user", "bob", "paths"});
    EXPECT_TRUE(Contains(r.out, "user-id    bob\n"));
    r = Run({"user"});
    EXPECT_TRUE(Contains(r.out, "user-id    alice\n"));

    r = Run({"user", "clear"});
    ASSERT_EQ(r.status, 0);
    r = Run({"paths"});
    EXPECT_TRUE(Contains(r.out, "user-id    (none)\n"));
}

TEST_F(Host, AnEncryptedUserKeepsDocumentsUnderTheEncryptedFolder)
{
    ASSERT_EQ(Run({"user", "set", "carol", "--encrypt"}).status, 0);
    const HostResult r = Run({"ini", "set", "trade", "Main", "Title", "Carol"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::regex saved("saved " + root.user() + "([a-z0-9]+)/trade\\.ini\n");
    std::smatch m;
    ASSERT_TRUE(std::regex_search(r.out, m, saved)) << r.out;
    EXPECT_NE(m[1].str(), "carol");
    EXPECT_EQ(Run({"ini", "get", "trade", "Main", "Title"}).out, "Carol\n");
    EXPECT_TRUE(Contains(Run({"paths"}).out, "user-id    carol\n"));
}

TEST_F(Host, RefusedUserIdsChangeNothing)
{
    ASSERT_EQ(Run({"user", "set", "alice"}).status, 0);
    const std::string saved = ReadFile(User(".zvenv-host.ini"));
    for (const char* id : {"../escape", "a/b", "..", "/abs"}) {
        const HostResult r = Run({"user", "set", id});
        EXPECT_EQ(r.status, 1) << id;
        EXPECT_TRUE(Contains(r.err, "refused the user id")) << r.err;
        EXPECT_EQ(ReadFile(User(".zvenv-host.ini")), saved) << id;
        EXPECT_EQ(Run({"--user", id, "paths"}).status, 1) << id;
    }
    EXPECT_FALSE(std::filesystem::exists(root.path() + "/escape"));
    EXPECT_FALSE(std::filesystem::exists(root.user() + "a"));
}

TEST_F(Host, AUserDocumentIsSeededThenChangedAndSaved)
{
    ASSERT_EQ(Run({"user", "set", "alice"}).status, 0);
    const std::string shipped = ReadFile(Sys("trade.ini"));
    HostResult r = Run({"ini", "get", "trade", "Main", "Title"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Trade\n");
    EXPECT_EQ(ReadFile(User("alice/trade.ini")), shipped);

    // Names match files without regard to case: Trade.ini is the seeded trade.ini.
    r = Run({"ini", "set", "Trade.ini", "Main", "Title", "Größe"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "saved " + root.user() + "alice/Trade.ini\n");
    EXPECT_EQ(zvtest::ListNames(root.user() + "alice"), (std::vector<std::string>{"envsetting.ini", "trade.ini"}));
    const std::string bytes = ReadFile(User("alice/trade.ini"));
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    EXPECT_TRUE(Contains(bytes, Utf16(L"Title=Größe\r\n", false)));
    EXPECT_EQ(ReadFile(Sys("trade.ini")), shipped);
    EXPECT_EQ(Run({"ini", "get", "TRADE", "Main", "Title"}).out, "Größe\n");
    // The shipped default itself, through --system.
    EXPECT_EQ(Run({"ini", "get", "trade", "Main", "Title", "--system"}).out, "Trade\n");
}

TEST_F(Host, TypedValuesAreCheckedBeforeTheyReachTheDocument)
{
    ASSERT_EQ(Run({"ini", "get", "trade", "Main", "Bounds", "--type", "rect"}).out, "0,0,800,600\n");
    const std::string before = ReadFile(User("trade.ini"));
    HostResult r = Run({"ini", "set", "trade", "Main", "Bounds", "1,2,3", "--type", "rect"});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(Contains(r.err, "four integers"));
    r = Run({"ini", "set", "trade", "Main", "RefreshSeconds", "soon", "--type", "int"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(ReadFile(User("trade.ini")), before);

    ASSERT_EQ(Run({"ini", "set", "trade", "Main", "Background", "255,128,0", "--type", "rgb"}).status, 0);
    EXPECT_EQ(Run({"ini", "get", "trade", "Main", "Background", "--type", "rgb"}).out, "255,128,0\n");
    ASSERT_EQ(Run({"ini", "set", "trade", "Main", "Ratio", "2.5", "--type", "double"}).status, 0);
    EXPECT_EQ(Run({"ini", "get", "trade", "Main", "Ratio", "--type", "double"}).out, "2.5\n");
    EXPECT_EQ(Run({"ini", "get", "trade", "Main", "Missing", "--type", "int", "--default", "7"}).out, "7\n");
    EXPECT_EQ(Run({"ini", "get", "trade", "Main", "Missing", "--default", "none"}).out, "none\n");
}

TEST_F(Host, DryRunShowsTheChangeAndWritesNothing)
{
    ASSERT_EQ(Run({"ini", "get", "trade", "Main", "Title"}).status, 0); // seeds user/trade.ini
    const std::string before = ReadFile(User("trade.ini"));
    HostResult r = Run({"--dry-run", "ini", "set", "trade", "Main", "Title", "Other"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "would set [Main] Title = Other (now: Trade)"));
    EXPECT_TRUE(Contains(r.out, "would save " + root.user() + "trade.ini"));
    r = Run({"ini", "delete", "trade", "Columns", "--dry-run"});
    EXPECT_TRUE(Contains(r.out, "would delete [Columns]"));
    r = Run({"ini", "set", "trade", "Columns", "--ordered", "Item%d", "a", "--dry-run"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(ReadFile(User("trade.ini")), before);
    r = Run({"--dry-run", "user", "set", "dave"});
    EXPECT_FALSE(std::filesystem::exists(User("dave")));
    EXPECT_FALSE(std::filesystem::exists(User(".zvenv-host.ini")));
}

TEST_F(Host, NamesOutsideTheRootAreRefused)
{
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"ini", "set", "../escape", "A", "B", "C"},
             {"ini", "set", "/tmp/escape", "A", "B", "C"},
             {"ini", "set", "trade", "A", "B", "C", "--sub", "../../.."},
             {"ini", "set", "trade", "A", "B", "C", "--sub", "C:/tmp"},
             {"ini", "get", "C:trade", "A", "B"},
             {"json", "set", "../escape", "a", "b"},
         }) {
        const HostResult r = Run(args);
        EXPECT_EQ(r.status, 1) << args[2] << " " << args.back();
        EXPECT_TRUE(Contains(r.err, "refused the document")) << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
    }
    for (const std::string& outside :
         {root.path() + "/escape.ini", root.path() + "/escape.json", root.path() + "/../escape.ini",
          std::string("/tmp/escape.ini"), root.path() + "/../trade.ini", std::string("/tmp/trade.ini")})
        EXPECT_FALSE(std::filesystem::exists(outside)) << outside;
    EXPECT_EQ(zvtest::ListNames(root.path()), (std::vector<std::string>{"bin", "system", "user"}));
    EXPECT_EQ(zvtest::ListNames(root.user()), std::vector<std::string>());
}

TEST_F(Host, ListsOfAllThreeKinds)
{
    EXPECT_EQ(Run({"ini", "get", "trade", "Columns", "--ordered", "Item%d"}).out, "Symbol\nPrice\nVolume\n");
    ASSERT_EQ(Run({"ini", "set", "trade", "Columns", "--ordered", "Col%d", "--first", "0", "Bid", "Ask"}).status, 0);
    EXPECT_EQ(Run({"ini", "get", "trade", "Columns", "--ordered", "Col%d", "--first", "0"}).out, "Bid\nAsk\n");
    EXPECT_EQ(Run({"ini", "list", "trade", "Columns"}).out, "count=2\nCol0=Bid\nCol1=Ask\n");

    ASSERT_EQ(Run({"ini", "set", "trade", "Main", "Tags", "--array", "--delim", ";", "x", "y z"}).status, 0);
    EXPECT_EQ(Run({"ini", "get", "trade", "Main", "Tags"}).out, "x;y z\n");
    EXPECT_EQ(Run({"ini", "get", "trade", "Main", "Tags", "--array", "--delim", ";"}).out, "x\ny z\n");

    ASSERT_EQ(Run({"ini", "set", "trade", "Panels", "--tree", "left|top", "right"}).status, 0);
    EXPECT_EQ(Run({"ini", "get", "trade", "Panels", "--tree"}).out, "left|top\nright\n");
    EXPECT_EQ(Run({"ini", "get", "trade", "Panels", "--tree", "--delim", "+"}).out, "left+top\nright\n");
}

TEST_F(Host, DeleteAndListWorkOnTheFile)
{
    EXPECT_EQ(Run({"ini", "list", "trade"}).out, "Main\nColumns\n");
    ASSERT_EQ(Run({"ini", "delete", "trade", "Main", "Bounds"}).status, 0);
    EXPECT_FALSE(Contains(Run({"ini", "list", "trade", "Main"}).out, "Bounds"));
    ASSERT_EQ(Run({"ini", "delete", "trade", "Columns"}).status, 0);
    EXPECT_EQ(Run({"ini", "list", "trade"}).out, "Main\n");
    // A system document that does not exist has nothing to list.
    const HostResult r = Run({"ini", "list", "nosuch", "--system"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.err, "no file at " + root.system() + "nosuch.ini"));
}

TEST_F(Host, TheSettingDocumentNeedsAUser)
{
    HostResult r = Run({"ini", "set", "EnvSetting", "General", "Language", "de"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.err, "until a user is set"));
    ASSERT_EQ(Run({"user", "set", "alice"}).status, 0);
    r = Run({"ini", "set", "envsetting", "General", "Language", "de"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "saved " + root.user() + "alice/envsetting.ini\n");
    EXPECT_EQ(Run({"ini", "get", "", "General", "Language"}).out, "de\n");
    EXPECT_EQ(Run({"ini", "get", "EnvSetting", "Window", "Position", "--type", "point"}).out, "100,80\n");
}

TEST_F(Host, SubFoldersOfTheUserIdFolder)
{
    ASSERT_EQ(Run({"user", "set", "alice"}).status, 0);
    const HostResult r = Run({"ini", "set", "panel", "Main", "Width", "300", "--sub", "screens\\left"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "saved " + root.user() + "alice/screens/left/panel.ini\n");
    EXPECT_EQ(Run({"ini", "get", "panel", "Main", "Width", "--sub", "screens/left/"}).out, "300\n");
}

TEST_F(Host, OtherUsersAreListedWithTheirDates)
{
    for (const char* id : {"alice", "bob", "carol"})
        ASSERT_EQ(Run({"user", "set", id}).status, 0);
    zvtest::WriteFile(User("stray.ini"), "not a user");
    const HostResult r = Run({"users", "envsetting.ini"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::regex line("(alice|bob)\t\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d\n");
    std::string rest = r.out;
    std::vector<std::string> ids;
    for (std::smatch m; std::regex_search(rest, m, line); rest = m.suffix())
        ids.push_back(m[1]);
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(ids, (std::vector<std::string>{"alice", "bob"})) << r.out;
    EXPECT_TRUE(rest.empty()) << rest;
    EXPECT_EQ(Run({"users", "nosuch.ini"}).out, "");
}

TEST_F(Host, ADocumentThatCannotBeSavedIsReported)
{
    // A folder where the file should be: nothing can be written there.
    zvtest::MakeFolders(User("trade.ini"));
    const HostResult r = Run({"ini", "set", "trade", "Main", "Title", "Locked"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.err, "could not save " + root.user() + "trade.ini")) << r.err;
    EXPECT_TRUE(std::filesystem::is_directory(User("trade.ini")));
}

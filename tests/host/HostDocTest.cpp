// zvenv's whole-document commands, dry runs and saves that did not reach the disk.
#include "HostRun.h"

#include <nlohmann/json.hpp>

#include <ctime>

using namespace zvtest;

using HostDoc = HostTest;
const char kText[] = "Größe été \xF0\x9F\x98\x80";

// The reading commands' JSON output is what another parser writes again of what
// it reads: strict UTF-8 JSON, no comments, no member twice, the same layout.
TEST_F(HostDoc, DumpDiffAndJsonOutput)
{
    Steps({
        {"user set alice"},
        {"dump trade", 0,
         "[Main]\nTitle=Trade\nRefreshSeconds=5\nBackground=240,240,240\nBounds=0,0,800,600\n[Columns]\ncount=3\n"
         "Item1=Symbol\nItem2=Price\nItem3=Volume\n"},
        {"dump layout", 0,
         ".title = \"Main screen\"\n.columns = 3\n.panels[0] = \"quotes\"\n.panels[1] = \"orders\"\n"
         ".panels[2] = \"news\"\n.window.position = \"100,80\"\n.window.size = \"800,600\"\n"},
        {"--format json dump html --system", 0,
         "{\n  \"Html\": {\n    \"StartPage\": \"welcome.html\",\n    \"HelpPage\": \"help/index.html\"\n  },\n"
         "  \"Fonts\": {\n    \"Face\": \"Segoe UI\",\n    \"Size\": \"9\"\n  }\n}\n"},
        {"diff trade", 0, ""},
        {{"ini", "set", "trade", "Main", "Title", kText}},
        {"ini delete trade Columns"},
        {"ini set trade Extra On 1"},
        {"diff trade", 0,
         "- [Main] Title=Trade\n+ [Main] Title=" + std::string(kText) +
             "\n- [Columns] count=3\n- [Columns] Item1=Symbol\n- [Columns] Item2=Price\n- [Columns] Item3=Volume\n"
             "+ [Extra] On=1\n"},
        {"json set layout panels 3 alerts"},
        {{"json", "set", "layout", "my key", kText}},
        {"json delete layout window size"},
        {"diff layout", 0,
         "+ .panels[3] = \"alerts\"\n- .window.size = \"800,600\"\n+ [\"my key\"] = \"" + std::string(kText) + "\"\n"},
        {"--format json diff layout", 0,
         "...[\n  {\n    \"change\": \"added\",\n    \"path\": [\n      \"panels\",\n "},
    });
    for (const char* command :
         {"paths", "user", "users", "dump trade", "dump layout", "diff trade", "diff layout",
          "ini get trade Main Title", "ini list trade Main", "json get layout panels", "json list layout window"}) {
        const HostResult r = Run(Words((std::string("--format json ") + command).c_str()));
        ASSERT_EQ(r.status, 0) << command << r.err;
        EXPECT_EQ(nlohmann::ordered_json::parse(r.out, nullptr, false).dump(2, ' ', false) + "\n", r.out) << command;
    }
}

// Export writes UTF-8 with LF, import the library's UTF-16LE with CR LF.
TEST_F(HostDoc, ExportAndImportRoundTrip)
{
    Steps({{{"ini", "set", "trade", "Main", "Title", kText}}, {{"json", "set", "layout", "fonts", "face", kText}}});
    for (const std::string doc : {"trade.ini", "layout.json"}) {
        const std::string file = root / (doc + ".txt");
        Steps({{{"export", doc.substr(0, doc.find('.')), file}}});
        const std::string text = ReadFile(file);
        EXPECT_TRUE(Contains(text, kText) && !Contains(text, "\r") && text.rfind("\xEF\xBB\xBF", 0) != 0) << text;
        Steps({{{"export", doc.substr(0, doc.find('.')), "-"}, 0, text},
               {{"import", "copy-" + doc, file}, 0, "imported " + file + " into " + User("copy-" + doc) + "\n"},
               {{"import", "piped-" + doc, "-"}, 0, kAny, "", text}});
        EXPECT_EQ(ReadFile(User("copy-" + doc)), ReadFile(User(doc))) << doc;
        EXPECT_EQ(ReadFile(User("piped-" + doc)), ReadFile(User(doc))) << doc << " through standard input";
    }
}

TEST_F(HostDoc, ResetRestoresTheDefaultAndKeepsTheOldFile)
{
    Steps({{"reset trade", 0, User("trade.ini") + " is the shipped default already\n"}});
    // The old file's names for the next seconds are taken (the dry run shows the name without a suffix).
    Steps({{"ini set trade Main Title Mine"}});
    const std::string mine = ReadFile(User("trade.ini"));
    std::vector<std::string> taken;
    for (std::time_t t = std::time(nullptr), end = t + 3; t < end; ++t) {
        char stamp[32];
        std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", std::gmtime(&t));
        taken.push_back(User("trade.ini.reset-") + stamp);
        WriteFile(taken.back(), "taken");
    }
    const HostResult r = Run({"reset", "trade"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(User("trade.ini")), ReadFile(Sys("trade.ini")));
    std::smatch m;
    ASSERT_TRUE(std::regex_search(r.out, m, std::regex("the old file is (.*trade\\.ini\\.reset-\\d{8}T\\d{6}Z-2)\n")))
        << r.out;
    EXPECT_EQ(ReadFile(m[1]), mine);
    for (const std::string& file : taken)
        EXPECT_EQ(ReadFile(file), "taken");
    WriteFile(User("orders.ini"), Utf16(L"[A]\r\nb=c\r\n"));
    Steps({{"json set layout columns 9"},
           {"reset layout"},
           {"json get layout columns", 0, "3\n"},
           {"reset orders", 1, "", "no shipped default " + Sys("orders.ini")}});
}

TEST_F(HostDoc, DryRunWritesNothingAndShowsWhatWouldBeWritten)
{
    const std::string in = root / "in.ini", out = root / "out.ini";
    WriteFile(in, "[Main]\nTitle=Imported\n");
    auto before = Snapshot(root.path());
    Steps({
        {"--dry-run user set dave", 0,
         "user-id    dave\nuser-dir   " + User("dave/") + "\nsetting    " + User("dave/envsetting.ini") +
             "\nwould create " + User(".zvenv-host.ini") +
             ":\n  + [Host] User=dave\n  + [Host] Encrypt=0\nwould create the folder " + User("dave/") +
             "\nwould create " + User("dave/envsetting.ini") + ", a copy of " + Sys("envsetting.ini") + "\n"},
        {"--dry-run ini get trade Main Title", 0,
         "Trade\nwould create " + User("trade.ini") + ", a copy of " + Sys("trade.ini") + "\n"},
        {"--dry-run ini set trade Main Title X", 0,
         "would create " + User("trade.ini") + ", from " + Sys("trade.ini") +
             " with changes:\n  - [Main] Title=Trade\n  + [Main] Title=X\n"},
        {"--dry-run json set layout columns 5", 0,
         "would create " + User("layout.json") + ", from " + Sys("layout.json") +
             " with changes:\n  - .columns = 3\n  + .columns = 5\n"},
        {{"--dry-run", "import", "trade", in},
         0,
         "...imported " + in + " into " + User("trade.ini") + "\nwould create " + User("trade.ini") + ", from " +
             Sys("trade.ini") + " with changes:\n  - [Main] Title=Trade\n  + [Main] Title=Imported\n"},
        {"--dry-run json set orders a 1", 0, "would create " + User("orders.json") + ":\n  + .a = \"1\"\n"},
        {"--dry-run paths", 0, "...root       " + root.root() + "\n"}, // not the copy the dry run works on
        {{"--dry-run", "export", "trade", out},
         0,
         "would write " + out + " (174 bytes)\nwould create " + User("trade.ini") + ", a copy of " + Sys("trade.ini") +
             "\n"},
    });
    EXPECT_EQ(Snapshot(root.path()), before);
    Steps({{"user set erin"}, {"ini set trade Main Title Mine"}});
    before = Snapshot(root.path());
    Steps({{"--dry-run reset trade", 0,
            "~[\\s\\S]*would change " +
                Pattern(User("erin/trade.ini") + ":\n  - [Main] Title=Mine\n  + [Main] Title=Trade\n") +
                "would create " + Pattern(User("erin/trade.ini.reset-")) + "\\d{8}T\\d{6}Z:\n[\\s\\S]*"},
           {"--dry-run user clear", 0, "no current user\nwould delete " + User(".zvenv-host.ini") + "\n"},
           {"--dry-run ini get trade Main Title", 0, "Mine\nnothing would change\n"}});
    EXPECT_EQ(Snapshot(root.path()), before);
}

// Reported with the file and the reason, nothing changed. Linux only: a full disk, a read-only
// folder and an unreadable file (as uid 65534); everywhere: a folder in the way.
TEST_F(HostDoc, ASaveThatDidNotReachTheDiskIsReported)
{
    const std::string json = User("layout.json"), ini = User("trade.ini");
#ifndef _WIN32
    Steps({{"dump layout"}, {"dump trade"}}); // seeds the user's copies
    const auto before = Snapshot(root.path());
    RunOptions full{"", false, KillAt("fsync", 1)}; // strace, each fsync failing for want of space instead
    full.wrapper.back() = "inject=fsync:error=ENOSPC";
    Steps({{"json set layout title X", 1, "", "could not save " + json + ": No space left"},
           {"ini set trade Main Title X", 1, "", "could not save " + ini + ": No space left"}},
          full);
    OpenToEveryone(root.path());
    fs::permissions(root.user(), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    const RunOptions nobody{"", true, {}};
    Steps({{"json set layout title X", 1, "", "could not save " + json + ": Permission denied"},
           {"ini set trade Main Title X", 1, "", "could not save " + ini + ": Permission denied"}},
          nobody);
    fs::permissions(ini, fs::perms::owner_read | fs::perms::owner_write);
    Steps({{"--dry-run ini get trade Main Title", 1, "",
            "cannot copy " + root / "user" + " for the dry run: Permission denied"}},
          nobody);
    EXPECT_EQ(Snapshot(root.path()), before);
    fs::permissions(root.user(), fs::perms::owner_all);
    fs::remove(json);
    fs::remove(ini);
#endif
    MakeFolders(json);
    MakeFolders(ini);
    const auto inTheWay = Snapshot(root.path());
    Steps({{"json set layout title X", 1, "", "could not load " + json},
           {"ini set trade Main Title X", 1, "", "could not save " + ini + ": "}});
    EXPECT_EQ(Snapshot(root.path()), inTheWay);
}

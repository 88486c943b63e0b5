// zvenv's JSON commands; json check reads a file exactly as the library loads a document.
#include "HostRun.h"

#include <nlohmann/json.hpp>

#ifndef _WIN32
#include <sys/stat.h>
#endif

using namespace zvtest;

using HostJson = HostTest;

TEST_F(HostJson, ReadingAndDeleting)
{
    Steps({
        {"json get layout title", 0, "Main screen\n"},
        {"json list layout", 0, "title\tMain screen\ncolumns\t3\npanels\t(3 elements)\nwindow\t(2 members)\n"},
        {"json get layout panels", 0, "quotes\norders\nnews\n"},
        {"json get layout window position --type point", 0, "100,80\n"},
        // A document that is neither there nor shipped is not made up by reading it.
        {"json get orders x", 1, "", "no file at " + User("orders.json")},
    });
    EXPECT_FALSE(PathExists(User("orders.json")));
    EXPECT_EQ(ReadFile(User("layout.json")), ReadFile(Sys("layout.json")));
    Steps({
        {"json delete layout columns"},
        {"json delete layout panels 1"},
        {"json get layout panels", 0, "quotes\nnews\n"},
        {"json delete layout window size"},
        {"json list layout", 0, "title\tMain screen\npanels\t(2 elements)\nwindow\t(1 members)\n"},
        {"json delete layout columns", 1, ""},
        {"json delete layout panels 2", 1, ""},
        {"json delete layout nosuch deeper", 1, ""},
        {"json delete layout title x", 1, ""},
    });
}

TEST_F(HostJson, SetStoresTheTypeAskedForOrKeepsTheMembersOwn)
{
    // The words after "json set layout", its status, and the member read back afterwards.
    const std::tuple<std::string, int, std::string, std::string> table[] = {
        {"columns 4", 0, "columns", "4"},
        {"columns four", 1, "columns", "4"},
        {"columns four --type string", 0, "columns", "\"four\""},
        {"ratio 2 --type double", 0, "ratio", "2"},
        {"ratio 2.5 --type double", 1, "ratio", "2"},
        {"visible true --type bool", 0, "visible", "true"},
        {"visible false", 0, "visible", "false"},
        {"visible maybe", 1, "visible", "false"},
        {"note null --type null", 0, "note", "null"},
        {"note text", 1, "note", "null"},
        {"window size 1024,768 --type size", 0, "window", "{\"position\":\"100,80\",\"size\":\"1024,768\"}"},
        {"window x", 1, "window size", "\"1024,768\""},
        {"fonts main face Größe", 0, "fonts main face", "\"Größe\""},
        {"title deeper x", 1, "title", "\"Main screen\""},
        // Elements by index, in place; the next index appends.
        {"panels 0 charts", 0, "panels", "[\"charts\",\"orders\",\"news\"]"},
        {"panels 3 alerts", 0, "panels", "[\"charts\",\"orders\",\"news\",\"alerts\"]"},
        {"panels 9 x", 1, "panels 3", "\"alerts\""},
        {"panels first x", 1, "panels 0", "\"charts\""},
        {"panels 1 5 --type int", 1, "panels 1", "\"orders\""},
    };
    for (const auto& [set, status, member, json] : table) {
        Steps({{("-q json set layout " + set).c_str(), status, ""}});
        const std::string got = Run(Words(("--format json json get layout " + member).c_str())).out;
        EXPECT_EQ(nlohmann::json::parse(got, nullptr, false), nlohmann::json::parse(json)) << set;
    }
    Steps({{{"json", "check", User("layout.json")}, 0, User("layout.json") + ": valid\n"}});
    EXPECT_EQ(ReadFile(User("layout.json")).substr(0, 2), "\xFF\xFE");
}

// An invalid user copy is replaced by the default and reported; without a
// default it is reported and left. json check agrees with the loader.
TEST_F(HostJson, InvalidDocumentsAndWhatCheckSays)
{
    WriteFile(User("layout.json"), Utf16(L"{ \"title\" : }"));
    WriteFile(User("orders.json"), Utf16(L"[1, 2"));
    Steps({{"json get layout title", 0, "Main screen\n", User("layout.json") + ":json parse error:\n"},
           {"json get orders x", 1, "", "could not load " + User("orders.json")}});
    EXPECT_EQ(ReadFile(User("orders.json")), Utf16(L"[1, 2"));

    // For every framing a document loads exactly when check says valid.
    const std::pair<std::string, bool> cases[] = {
        {Utf16(L"{\"a\": \"caf\u00e9\"}"), true},        // UTF-16LE with a mark
        {Utf16(L"{\"a\": \"caf\u00e9\"}", false), true}, // without a mark
        {"{\"a\": \"caf\xC3\xA9\"} // note\n", true},    // UTF-8, with a comment
        {"\xEF\xBB\xBF{\"a\": \"caf\xC3\xA9\"}", true},  // UTF-8 with a mark
        {"{\"a\": \"caf\xE9\"}", false},                 // Windows-1252 bytes, read as UTF-16LE
        {std::string("\0{\"a\" }", 7), true},            // a first byte of zero, read as empty
        {"\xFF\xFE", true},                              // the mark alone, read as empty
        {Utf16(L"{\r\n  \"a\" : ,\r\n}"), false},
    };
    int n = 0;
    for (const auto& [bytes, valid] : cases) {
        const std::string name = "c" + std::to_string(n++), file = Sys(name + ".json");
        WriteFile(file, bytes);
        Steps(
            {{{"json", "check", file}, valid ? 0 : 1, valid ? file + ": valid\n" : "..." + file + ": not valid\nLine "},
             {{"json", "list", name, "--system"}, valid ? 0 : 1, kAny, valid ? "" : "could not load " + file}});
    }
    Steps({
        {{"--format", "json", "json", "check", Sys("c2.json")},
         0,
         "{\n  \"file\": " + nlohmann::json(Sys("c2.json")).dump() +
             ",\n  \"valid\": true,\n  \"description\": \"\"\n}\n"},
        {{"json", "check", root / "missing.json"}, 1, "", "cannot read"},
        {{"json", "check", root.user()}, 1, "", "is a folder"},
    });
    // Only regular files are read: a device would be read for ever, a pipe waited on.
#ifdef _WIN32
    const std::vector<std::string> files{"NUL"};
#else
    const std::string pipe = root / "pipe.json";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const std::vector<std::string> files{"/dev/zero", pipe};
#endif
    const std::string notRegular = " is not a regular file (a device, pipe or socket): only files are checked\n";
    for (const std::string& file : files)
        Steps({{{"json", "check", file}, 1, "", file + notRegular}});
}

// zvenv's JSON commands, run as a process on application roots.
#include "HostRun.h"

#include <algorithm>

using zvtest::AppRoot;
using zvtest::Contains;
using zvtest::HostResult;
using zvtest::ReadFile;

namespace {

using HostJson = zvtest::HostTest;

} // namespace

TEST_F(HostJson, ReadingWalksObjectsAndArrays)
{
    HostResult r = Run({"json", "get", "layout", "title"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Main screen\n");
    EXPECT_EQ(ReadFile(User("layout.json")), ReadFile(Sys("layout.json")));
    EXPECT_EQ(Run({"json", "list", "layout"}).out,
              "title\tMain screen\ncolumns\t3\npanels\t(3 elements)\nwindow\t(2 members)\n");
    EXPECT_EQ(Run({"json", "get", "layout", "panels"}).out, "quotes\norders\nnews\n");
    EXPECT_EQ(Run({"json", "get", "layout", "panels", "2"}).out, "news\n");
    EXPECT_EQ(Run({"json", "get", "layout", "window", "position", "--type", "point"}).out, "100,80\n");
    EXPECT_EQ(Run({"--format", "json", "json", "get", "layout", "window"}).out,
              "{\n  \"position\": \"100,80\",\n  \"size\": \"800,600\"\n}\n");
    EXPECT_EQ(Run({"--format", "json", "json", "get", "layout", "columns"}).out, "3\n");
    // A document that is neither there nor shipped is not made up by reading it.
    r = Run({"json", "get", "orders", "x"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.err, "no file at " + User("orders.json"))) << r.err;
    EXPECT_FALSE(zvtest::PathExists(User("orders.json")));
}

// Each set, then the member as the saved file holds it.
TEST_F(HostJson, SetStoresTheTypeAskedForOrKeepsTheMembersOwn)
{
    const struct {
        std::vector<std::string> set;
        int status;
        std::vector<std::string> member; // the path to read back
        std::string json;                // the member afterwards, as JSON
    } table[] = {
        {{"columns", "4"}, 0, {"columns"}, "4"},
        {{"columns", "four"}, 1, {"columns"}, "4"},
        {{"columns", "four", "--type", "string"}, 0, {"columns"}, "\"four\""},
        {{"ratio", "2", "--type", "double"}, 0, {"ratio"}, "2"},
        {{"ratio", "2.5", "--type", "double"}, 1, {"ratio"}, "2"},
        {{"visible", "true", "--type", "bool"}, 0, {"visible"}, "true"},
        {{"visible", "false"}, 0, {"visible"}, "false"},
        {{"visible", "maybe"}, 1, {"visible"}, "false"},
        {{"note", "null", "--type", "null"}, 0, {"note"}, "null"},
        {{"note", "text"}, 1, {"note"}, "null"},
        {{"window", "size", "1024,768", "--type", "size"}, 0, {"window", "size"}, "\"1024,768\""},
        {{"window", "x"}, 1, {"window", "size"}, "\"1024,768\""},
        {{"fonts", "main", "face", "Größe Sans"}, 0, {"fonts", "main", "face"}, "\"Größe Sans\""},
        {{"title", "deeper", "x"}, 1, {"title"}, "\"Main screen\""},
        // Elements by index, in place; the next index appends.
        {{"panels", "0", "charts"}, 0, {"panels"}, "[\"charts\",\"orders\",\"news\"]"},
        {{"panels", "3", "alerts"}, 0, {"panels"}, "[\"charts\",\"orders\",\"news\",\"alerts\"]"},
        {{"panels", "9", "x"}, 1, {"panels", "3"}, "\"alerts\""},
        {{"panels", "first", "x"}, 1, {"panels", "0"}, "\"charts\""},
        {{"panels", "1", "5", "--type", "int"}, 1, {"panels", "1"}, "\"orders\""},
    };
    for (const auto& c : table) {
        std::vector<std::string> args{"json", "set", "layout"};
        args.insert(args.end(), c.set.begin(), c.set.end());
        const HostResult r = Run(args);
        EXPECT_EQ(r.status, c.status) << c.set[0] << " " << c.set[1] << "\n" << r.err;
        std::vector<std::string> get{"--format", "json", "json", "get", "layout"};
        get.insert(get.end(), c.member.begin(), c.member.end());
        std::string out = Run(get).out;
        out.erase(std::remove_if(out.begin(), out.end(), [](char ch) { return ch == '\n' || ch == ' '; }), out.end());
        std::string want = c.json;
        want.erase(std::remove(want.begin(), want.end(), ' '), want.end());
        EXPECT_EQ(out, want) << c.set[0] << " " << c.set[1];
    }
    // What was stored loads again through the validator.
    EXPECT_EQ(Run({"json", "check", User("layout.json")}).status, 0);
    EXPECT_EQ(ReadFile(User("layout.json")).substr(0, 2), "\xFF\xFE");
}

TEST_F(HostJson, DeleteMembersAndElements)
{
    ASSERT_EQ(Run({"json", "delete", "layout", "columns"}).status, 0);
    ASSERT_EQ(Run({"json", "delete", "layout", "panels", "1"}).status, 0);
    EXPECT_EQ(Run({"json", "get", "layout", "panels"}).out, "quotes\nnews\n");
    ASSERT_EQ(Run({"json", "delete", "layout", "window", "size"}).status, 0);
    EXPECT_EQ(Run({"json", "list", "layout"}).out, "title\tMain screen\npanels\t(2 elements)\nwindow\t(1 members)\n");
    for (const std::vector<std::string>& missing :
         std::vector<std::vector<std::string>>{{"columns"}, {"panels", "2"}, {"nosuch", "deeper"}, {"title", "x"}}) {
        std::vector<std::string> args{"json", "delete", "layout"};
        args.insert(args.end(), missing.begin(), missing.end());
        const HostResult r = Run(args);
        EXPECT_EQ(r.status, 1) << missing[0];
        EXPECT_TRUE(Contains(r.err, "zvenv: ")) << r.err;
    }
}

TEST_F(HostJson, AnInvalidUserCopyIsReplacedByTheDefault)
{
    zvtest::WriteFile(User("layout.json"), zvtest::Utf16(L"{ \"title\" : }"));
    const HostResult r = Run({"json", "get", "layout", "title"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Main screen\n");
    // The rejected text is reported through the message handler (standard error).
    EXPECT_TRUE(Contains(r.err, User("layout.json") + ":json parse error:\n")) << r.err;
}

TEST_F(HostJson, AnInvalidDocumentWithoutDefaultIsReported)
{
    zvtest::WriteFile(User("orders.json"), zvtest::Utf16(L"[1, 2"));
    const HostResult r = Run({"json", "get", "orders", "x"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.err, "could not load " + User("orders.json"))) << r.err;
    EXPECT_EQ(ReadFile(User("orders.json")), zvtest::Utf16(L"[1, 2"));
}

TEST_F(HostJson, CheckValidatesFilesAndDescribesProblems)
{
    const std::string good = root / "good.json";
    zvtest::WriteFile(good, "{ \"a\" : [1, 2] // comment\n}");
    HostResult r = Run({"json", "check", good});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, good + ": valid\n");
    r = Run({"--format", "json", "json", "check", good});
    EXPECT_EQ(r.out,
              "{\n  \"file\": \"" + zvtest::JsonPath(good) + "\",\n  \"valid\": true,\n  \"description\": \"\"\n}\n");

    const std::string bad = root / "bad.json";
    zvtest::WriteFile(bad, zvtest::Utf16(L"{\r\n  \"a\" : ,\r\n}"));
    r = Run({"json", "check", bad});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.out, "bad.json: not valid\n")) << r.out;
    EXPECT_GT(r.out.size(), std::string(bad + ": not valid\n").size()) << "no description";

    r = Run({"json", "check", root / "missing.json"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.err, "cannot read"));
    r = Run({"json", "check", root.user()});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.err, "is a folder"));
}

TEST(HostWithoutValidator, JsonIsUnavailableAndSaysSo)
{
    AppRoot root;
    zvtest::PlaceHost(root, false);
    HostResult r = zvtest::RunHost(root, {"json", "get", "layout", "title"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.err, "could not load")) << r.err;
    r = zvtest::RunHost(root, {"json", "check", root.system() + "layout.json"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.err, "validator module")) << r.err;
    zvtest::WriteFile(root / "in.json", "{}");
    r = zvtest::RunHost(root, {"import", "layout", root / "in.json"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.err, "validator module")) << r.err;
    // The INI side does not need it.
    EXPECT_EQ(zvtest::RunHost(root, {"ini", "get", "trade", "Main", "Title"}).out, "Trade\n");
}

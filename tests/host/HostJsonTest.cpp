// zvenv's JSON commands, run as a process in application roots.
#include "HostRun.h"

#include <gtest/gtest.h>

#include <filesystem>

using zvtest::AppRoot;
using zvtest::HostResult;
using zvtest::ReadFile;
using zvtest::RunHost;

namespace {

class HostJson : public ::testing::Test {
protected:
    void SetUp() override { zvtest::PlaceHost(root); }
    HostResult Run(const std::vector<std::string>& args) { return RunHost(root, args); }

    AppRoot root;
};

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

} // namespace

TEST_F(HostJson, AUserDocumentIsSeededAndRead)
{
    HostResult r = Run({"json", "get", "layout", "title"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Main screen\n");
    EXPECT_EQ(ReadFile(root.user() + "layout.json"), ReadFile(root.system() + "layout.json"));

    r = Run({"json", "list", "layout"});
    EXPECT_EQ(r.out, "title\tMain screen\ncolumns\t3\npanels\t(3 elements)\nwindow\t(2 members)\n");
    EXPECT_EQ(Run({"json", "get", "layout", "panels"}).out, "quotes\norders\nnews\n");
    EXPECT_EQ(Run({"json", "list", "layout", "window"}).out, "position\t100,80\nsize\t800,600\n");
    EXPECT_EQ(Run({"json", "get", "layout", "window", "position", "--type", "point"}).out, "100,80\n");
    EXPECT_EQ(Run({"json", "get", "layout", "columns", "--type", "int"}).out, "3\n");
}

TEST_F(HostJson, ChangesAreSavedAsUtf16WithAMark)
{
    const std::string shipped = ReadFile(root.system() + "layout.json");
    HostResult r = Run({"json", "set", "layout", "window", "size", "1024,768", "--type", "size"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "saved " + root.user() + "layout.json\n");
    // Objects on the way are created.
    r = Run({"json", "set", "layout", "fonts", "main", "face", "Größe Sans"});
    ASSERT_EQ(r.status, 0) << r.err;

    EXPECT_EQ(Run({"json", "get", "layout", "window", "size"}).out, "1024,768\n");
    EXPECT_EQ(Run({"json", "get", "layout", "fonts", "main", "face"}).out, "Größe Sans\n");
    const std::string bytes = ReadFile(root.user() + "layout.json");
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    EXPECT_TRUE(Contains(bytes, zvtest::Utf16(L"Größe Sans", false)));
    EXPECT_EQ(ReadFile(root.system() + "layout.json"), shipped);
    EXPECT_EQ(Run({"json", "check", root.user() + "layout.json"}).status, 0);
}

TEST_F(HostJson, DeleteAndMissingMembers)
{
    ASSERT_EQ(Run({"json", "delete", "layout", "columns"}).status, 0);
    HostResult r = Run({"json", "get", "layout", "columns"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.err, "no member columns"));
    r = Run({"json", "get", "layout", "nosuch", "deeper"});
    EXPECT_EQ(r.status, 1);
    r = Run({"json", "list", "layout", "nosuch"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(Run({"json", "set", "layout"}).status, 2);
    EXPECT_EQ(Run({"json", "set", "layout", "n", "x", "--type", "int"}).status, 2);
}

TEST_F(HostJson, DryRunLeavesTheFile)
{
    ASSERT_EQ(Run({"json", "get", "layout", "title"}).status, 0);
    const std::string before = ReadFile(root.user() + "layout.json");
    HostResult r = Run({"--dry-run", "json", "set", "layout", "title", "Other"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "would set title = Other (now: Main screen)"));
    EXPECT_TRUE(Contains(r.out, "would save " + root.user() + "layout.json"));
    r = Run({"--dry-run", "json", "delete", "layout", "panels"});
    EXPECT_TRUE(Contains(r.out, "would delete panels"));
    EXPECT_EQ(ReadFile(root.user() + "layout.json"), before);
}

TEST_F(HostJson, AnInvalidUserCopyIsReplacedByTheDefault)
{
    zvtest::WriteFile(root.user() + "layout.json", zvtest::Utf16(L"{ \"title\" : }"));
    const HostResult r = Run({"json", "get", "layout", "title"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Main screen\n");
    // The rejected text is reported through the message handler (standard error).
    EXPECT_TRUE(Contains(r.err, root.user() + "layout.json:json parse error:\n")) << r.err;
    EXPECT_EQ(ReadFile(root.user() + "layout.json"), ReadFile(root.system() + "layout.json"));
}

TEST_F(HostJson, AnInvalidDocumentWithoutDefaultIsReported)
{
    zvtest::WriteFile(root.user() + "orders.json", zvtest::Utf16(L"[1, 2"));
    const HostResult r = Run({"json", "get", "orders", "x"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.err, "json parse error")) << r.err;
    EXPECT_TRUE(Contains(r.err, "could not load " + root.user() + "orders.json")) << r.err;
    EXPECT_EQ(ReadFile(root.user() + "orders.json"), zvtest::Utf16(L"[1, 2"));
}

TEST_F(HostJson, CheckValidatesFilesAndDescribesProblems)
{
    zvtest::WriteFile(root.path() + "/good.json", "{ \"a\" : [1, 2] // comment\n}");
    HostResult r = Run({"json", "check", root.path() + "/good.json"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, root.path() + "/good.json: valid\n");

    zvtest::WriteFile(root.path() + "/bad.json", zvtest::Utf16(L"{\r\n  \"a\" : ,\r\n}"));
    r = Run({"json", "check", root.path() + "/bad.json"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.out, "bad.json: not valid\n")) << r.out;
    EXPECT_GT(r.out.size(), std::string(root.path() + "/bad.json: not valid\n").size()) << "no description";

    r = Run({"json", "check", root.path() + "/missing.json"});
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
    HostResult r = RunHost(root, {"json", "get", "layout", "title"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.err, "could not load")) << r.err;
    r = RunHost(root, {"json", "check", root.system() + "layout.json"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.err, "validator module")) << r.err;
    // The INI side does not need it.
    EXPECT_EQ(RunHost(root, {"ini", "get", "trade", "Main", "Title"}).out, "Trade\n");
}

#include "EnvJsonTestUtil.h"

#include <filesystem>

using namespace envjsontest;
using zvtest::ReadFile;
using zvtest::Utf16;
using zvtest::WriteFile;

namespace {

// True when every line feed of the UTF-16LE bytes follows a carriage return.
bool AllLineEndsAreCrLf(const std::string& bytes, int& lineEnds)
{
    lineEnds = 0;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
        if (bytes[i] == '\n' && bytes[i + 1] == 0) {
            if (i < 4 || bytes[i - 2] != '\r' || bytes[i - 1] != 0)
                return false;
            ++lineEnds;
        }
    }
    return true;
}

} // namespace

TEST(JsonSave, SavedFileHasMarkCrLfAndReadsBackToAnEqualTree)
{
    if (!InFreshRoot())
        return;
    CTqEnvJson* doc =
        OpenUserText("round", L"{\"s\": \"text\", \"n\": -12.5e3, \"b\": false, \"z\": null,\n"
                              L"\"a\": [1, \"two\", [3], {\"x\": \"y\"}], \"o\": {\"in\": {\"deep\": true}}}");
    ASSERT_NE(doc->GetJson(), nullptr);
    doc->SetString(L"multi", L"line one\nline two");
    CStringArray rows;
    rows.Add(L"a|b");
    doc->SetTreeArray(L"tree", rows, L"|");
    ASSERT_EQ(doc->IsDirty(), 1);
    // A line feed inside a string is written as it stands, so the file's
    // framing turns it into CR LF like every other line end.
    std::wstring before = TreeText(doc);
    const std::wstring raw = L"line one\nline two";
    ASSERT_NE(before.find(raw), std::wstring::npos);
    before.replace(before.find(raw), raw.size(), L"line one\r\nline two");

    doc->Save();
    EXPECT_EQ(doc->IsDirty(), 0);
    const std::string bytes = ReadFile(UserFile("round.json"));
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    int lineEnds = 0;
    EXPECT_TRUE(AllLineEndsAreCrLf(bytes, lineEnds));
    EXPECT_GT(lineEnds, 3);

    EXPECT_EQ(doc->ReloadFile(0), 1);
    ASSERT_NE(doc->GetJson(), nullptr);
    EXPECT_EQ(TreeText(doc), before);
    EXPECT_EQ(doc->GetString(L"s", L"").str(), L"text");
    EXPECT_EQ(doc->GetStringEx(L"o", L"in", L"deep", L"").str(), L"true");
    CStringArray back;
    doc->GetTreeArray(L"tree", back);
    EXPECT_EQ(Items(back), (std::vector<std::wstring>{L"a|b|"}));
}

TEST(JsonSave, SaveToMissingFolderKeepsTheDocumentDirty)
{
    if (!InFreshRoot())
        return;
    CTqEnvJson* doc = fnTqEnvMgr()->GetJson(L"lost", 0, L"away");
    ASSERT_NE(doc->GetJson(), nullptr);
    std::filesystem::remove_all(zvtest::ChildRoot() + "user/away");
    doc->SetInt(L"n", 1);
    doc->Save();
    EXPECT_EQ(doc->IsDirty(), 1);
    EXPECT_FALSE(zvtest::PathExists(zvtest::ChildRoot() + "user/away"));
}

TEST(JsonSave, SaveOverAFolderKeepsTheDocumentDirty)
{
    if (!InFreshRoot())
        return;
    CTqEnvJson* doc = OpenUserText("blocked", L"{}");
    std::filesystem::remove(UserFile("blocked.json"));
    std::filesystem::create_directory(UserFile("blocked.json"));
    doc->SetInt(L"n", 1);
    doc->Save();
    EXPECT_EQ(doc->IsDirty(), 1);
    EXPECT_TRUE(std::filesystem::is_directory(UserFile("blocked.json")));
}

TEST(JsonSave, DocumentWithoutTreeLeavesItsFileAlone)
{
    if (!InFreshRoot())
        return;
    CapturedMessages messages;
    const std::string bytes = Utf16(L"{\"broken\": [1, 2}");
    CTqEnvJson* doc = OpenUserDocument("notree", bytes);
    ASSERT_EQ(doc->GetJson(), nullptr);
    doc->SetDirty(1);
    doc->Save();
    EXPECT_EQ(ReadFile(UserFile("notree.json")), bytes);
    fnTqEnvMgr()->SaveAll();
    EXPECT_EQ(ReadFile(UserFile("notree.json")), bytes);
}

TEST(JsonSave, SaveReplacesTheWholeFile)
{
    if (!InFreshRoot())
        return;
    // A long file shrinks to the short new text: nothing of the old tail stays.
    std::wstring big = L"{\"pad\": \"" + std::wstring(20000, L'x') + L"\"}";
    CTqEnvJson* doc = OpenUserText("shrink", big);
    doc->DeleteKey(nullptr, L"pad");
    doc->Save();
    const std::string bytes = ReadFile(UserFile("shrink.json"));
    EXPECT_LT(bytes.size(), 64u);
    EXPECT_EQ(doc->ReloadFile(0), 1);
    EXPECT_EQ(doc->GetNodeSize(nullptr), 0);
    // No temporary file is left next to it.
    int entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(zvtest::ChildRoot() + "user"))
        entries += entry.path().filename().string().find("shrink") != std::string::npos ? 1 : 0;
    EXPECT_EQ(entries, 1);
}

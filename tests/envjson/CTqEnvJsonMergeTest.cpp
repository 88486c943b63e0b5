// Saves after another program changed the file: the document's changes join the file's.
#include "EnvJsonTestUtil.h"

#include <sys/stat.h>

using namespace envjsontest;

TEST(JsonSaveMerge, ChangesOfAnotherProgramSurviveASave)
{
    if (!InFreshRoot())
        return;
    CTqEnvJson* doc = OpenText("shared", L"{\"a\": 1, \"b\": 1, \"o\": {\"x\": 1, \"y\": 1}, \"gone\": 1}");
    const std::string path = UserFile("shared.json");
    doc->SetInt(L"a", 2);
    doc->SetInt(L"x", 2, Member(doc, L"o"));
    // An editor saves the file as UTF-8: b and o.y changed, c added, gone dropped.
    ReplaceFile(path, zv::text::EncodeUtf8(L"{\"a\": 1, \"b\": 3, \"c\": 3, \"o\": {\"x\": 1, \"y\": 3}}"));
    doc->Save();
    EXPECT_EQ(doc->IsDirty(), 0);
    const std::wstring merged = TextTree(L"{\"a\": 2, \"b\": 3, \"c\": 3, \"o\": {\"x\": 2, \"y\": 3}}");
    EXPECT_EQ(FileTree(path), merged);
    EXPECT_EQ(TreeText(doc), merged) << "the document holds what it wrote";

    // What was saved is the next base: their later change to a member we changed stays.
    ReplaceFile(path, Utf16(L"{\"a\": 7, \"b\": 3, \"c\": 3, \"o\": {\"x\": 7, \"y\": 3}}"));
    doc->SetInt(L"b", 4);
    doc->Save();
    EXPECT_EQ(FileTree(path), TextTree(L"{\"a\": 7, \"b\": 4, \"c\": 3, \"o\": {\"x\": 7, \"y\": 3}}"));
}

// Handles stay usable across a merged save: members they dropped are detached, not freed.
TEST(JsonSaveMerge, HandlesStayValidAcrossAMergedSave)
{
    if (!InFreshRoot())
        return;
    CTqEnvJson* doc = OpenText("handles", L"{\"w\": {\"x\": 1}, \"gone\": {\"l\": [\"a\", \"b\"]}, \"n\": 1}");
    void* w = Member(doc, L"w");
    void* gone = Member(doc, L"gone");
    void* inner = Member(doc, L"l", gone);
    doc->SetInt(L"n", 2);
    ReplaceFile(UserFile("handles.json"), Utf16(L"{\"w\": {\"x\": 5, \"z\": 1}, \"n\": 1}"));
    doc->Save();
    EXPECT_EQ(doc->GetInt(L"x", 0, w) * 10 + doc->GetInt(L"z", 0, w), 51);
    EXPECT_EQ(doc->GetNodeName(gone).str(), L"gone");
    EXPECT_EQ(doc->GetNodeSize(inner), 2);
    doc->SetString(L"extra", L"e", gone); // goes nowhere
    doc->SetInt(L"x", 6, w);
    doc->Save();
    EXPECT_EQ(FileTree(UserFile("handles.json")), TextTree(L"{\"w\": {\"x\": 6, \"z\": 1}, \"n\": 2}"));
}

// A file no longer JSON at save time is copied beside it and the tree written.
TEST(JsonSaveMerge, RejectedFileAtSaveTimeIsKeptAsACopy)
{
    if (!InFreshRoot())
        return;
    CapturedMessages messages;
    CTqEnvJson* doc = OpenText("broken", L"{\"a\": 1}");
    doc->SetInt(L"a", 2);
    const std::string garbage = "{\"a\": 1, \"half written";
    ReplaceFile(UserFile("broken.json"), garbage);
    doc->Save();
    EXPECT_EQ(doc->IsDirty(), 0);
    EXPECT_EQ(FileTree(UserFile("broken.json")), TextTree(L"{\"a\": 2}"));
    ASSERT_EQ(messages.texts.size(), 1u);
    EXPECT_EQ(messages.texts[0].rfind(doc->GetPath().str() + L":json parse error:\n", 0), 0u);
    std::vector<std::string> copies;
    for (const auto& entry : std::filesystem::directory_iterator(UserFile("")))
        if (entry.path().filename().string().rfind("broken.json.rejected-", 0) == 0)
            copies.push_back(ReadFile(entry.path().string()));
    EXPECT_EQ(copies, std::vector<std::string>{garbage});
}

// What a load or save cannot read (another user's file, a pipe) is not known to be
// bad: never replaced nor copied; a dirty document saves once its file is back.
TEST(JsonSaveMerge, FilesThatCannotBeReadAreNeverReplaced)
{
#ifdef _WIN32
    ZVTEST_LINUX_ONLY("needs a user id that permissions stop and a named pipe in a folder");
#else
    if (!InFreshRoot())
        return;
    CapturedMessages messages;
    const std::string path = UserFile("odd.json"), theirs = Utf16(L"{\"a\": 3}");
    WriteFile(SystemFile("private.json"), Utf16(L"{\"a\": 4}"));
    WriteFile(UserFile("private.json"), theirs);
    CTqEnvJson* doc = OpenText("odd", L"{\"a\": 1}");
    doc->SetInt(L"a", 2);
    ReplaceFile(path, theirs);
    OpenRootToEverybody();
    chmod(path.c_str(), 0200);
    chmod(UserFile("private.json").c_str(), 0200);
    int copied = 0;
    {
        AsNobody nobody;
        ASSERT_TRUE(nobody.switched());
        EXPECT_EQ(fnTqEnvMgr()->GetJsonEx(L"private", copied)->GetJson(), nullptr);
        doc->Save();
    }
    EXPECT_EQ(copied, 0);
    EXPECT_EQ(ReadFile(UserFile("private.json")), theirs);
    EXPECT_EQ(doc->IsDirty(), 1) << "a file this process may not read";
    EXPECT_EQ(ReadFile(path), theirs);

    std::filesystem::remove(path);
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    ASSERT_EQ(mkfifo(UserFile("pipe.json").c_str(), 0600), 0);
    const std::size_t said = messages.texts.size();
    EXPECT_EQ(fnTqEnvMgr()->GetJson(L"pipe")->GetJson(), nullptr);
    EXPECT_EQ(messages.texts.size(), said) << "a pipe is not waited for, nor said to be bad";
    EXPECT_FALSE(std::filesystem::is_regular_file(UserFile("pipe.json")));
    doc->Save();
    EXPECT_EQ(doc->IsDirty(), 1) << "a pipe";
    EXPECT_FALSE(std::filesystem::is_regular_file(path));

    std::filesystem::remove(path);
    doc->Save();
    EXPECT_EQ(doc->IsDirty(), 0) << "the file gone: the document's tree is written";
    EXPECT_EQ(FileTree(path), TextTree(L"{\"a\": 2}"));
#endif
}

#include "EnvJsonTestUtil.h"

#include <zvenv/CTqEnvMgr.h>

#include <filesystem>

using namespace envjsontest;
using zvtest::ReadFile;
using zvtest::Utf16;
using zvtest::WriteFile;

namespace {

const std::string kDefaultFile("\xFF\xFE{\0\r\0\n\0}\0", 10);

bool IsEmptyObject(CTqEnvJson* doc)
{
    return doc->GetJson() && JsonGetType(doc->GetJson()) == JsonObject && doc->GetNodeSize(nullptr) == 0;
}

} // namespace

// Creation and repair: the only ways Load writes a file.

TEST(JsonLoad, MissingFileIsCreatedWithTheDefaultText)
{
    if (!InFreshRoot())
        return;
    CapturedMessages messages;
    CTqEnvJson* doc = fnTqEnvMgr()->GetJson(L"fresh");
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(ReadFile(UserFile("fresh.json")), kDefaultFile);
    EXPECT_TRUE(IsEmptyObject(doc));
    EXPECT_EQ(doc->IsDirty(), 0);
    EXPECT_EQ(messages.count(), 0u);
}

TEST(JsonLoad, EmptyFileIsRepairedFromTheSystemCopy)
{
    if (!InFreshRoot())
        return;
    const std::string shipped = Utf16(L"{\r\n\t\"k\": \"shipped\"\r\n}");
    WriteFile(SystemFile("repair.json"), shipped);
    CTqEnvJson* doc = OpenUserDocument("repair", "");
    ASSERT_NE(doc->GetJson(), nullptr);
    EXPECT_EQ(doc->GetString(L"k", L"none").str(), L"shipped");
    EXPECT_EQ(ReadFile(UserFile("repair.json")), shipped);
}

TEST(JsonLoad, EmptyFileWithoutSystemCopyGetsTheDefaultText)
{
    if (!InFreshRoot())
        return;
    CTqEnvJson* doc = OpenUserDocument("lonely", "");
    EXPECT_TRUE(IsEmptyObject(doc));
    EXPECT_EQ(ReadFile(UserFile("lonely.json")), kDefaultFile);
}

TEST(JsonLoad, MissingFolderLeavesNoTreeAndNoMessage)
{
    if (!InFreshRoot())
        return;
    CapturedMessages messages;
    CTqEnvJson* doc = fnTqEnvMgr()->GetJson(L"gone", 0, L"sub");
    ASSERT_NE(doc, nullptr);
    // The folder disappears before the document is read again.
    std::filesystem::remove_all(zvtest::ChildRoot() + "user/sub");
    EXPECT_EQ(doc->ReloadFile(0), 1);
    EXPECT_EQ(doc->GetJson(), nullptr);
    EXPECT_EQ(messages.count(), 0u);
    EXPECT_FALSE(zvtest::PathExists(zvtest::ChildRoot() + "user/sub"));
}

// Framing on disk.

TEST(JsonLoad, MarkOnlyFileLoadsAsEmptyObjectAndStaysAsItIs)
{
    if (!InFreshRoot())
        return;
    CTqEnvJson* doc = OpenUserDocument("mark", "\xFF\xFE");
    EXPECT_TRUE(IsEmptyObject(doc));
    EXPECT_EQ(ReadFile(UserFile("mark.json")), "\xFF\xFE");
}

TEST(JsonLoad, FileWithoutMarkIsReadAsUtf16)
{
    if (!InFreshRoot())
        return;
    CTqEnvJson* doc = OpenUserDocument("nomark", Utf16(L"{\"k\": \"v\", \"n\": 12}", false));
    EXPECT_EQ(doc->GetString(L"k", L"").str(), L"v");
    EXPECT_EQ(doc->GetInt(L"n", 0), 12);
}

TEST(JsonLoad, FileStartingWithZeroByteLoadsAsEmptyObject)
{
    if (!InFreshRoot())
        return;
    const std::string bytes = std::string(1, '\0') + Utf16(L"{\"k\": 1}", false);
    CTqEnvJson* doc = OpenUserDocument("zero", bytes);
    EXPECT_TRUE(IsEmptyObject(doc));
    EXPECT_EQ(ReadFile(UserFile("zero.json")), bytes);
}

TEST(JsonLoad, OddByteCountDropsTheLastByte)
{
    if (!InFreshRoot())
        return;
    CTqEnvJson* doc = OpenUserDocument("odd", Utf16(L"{\"k\": \"v\"}") + "\x41");
    EXPECT_EQ(doc->GetString(L"k", L"").str(), L"v");
}

TEST(JsonLoad, SurrogatePairsJoinAndLoneSurrogatesSurvive)
{
    if (!InFreshRoot())
        return;
    // U+1F600 as the pair D83D DE00, then a lone D800, inside strings.
    std::string bytes = Utf16(L"{\"pair\": \"");
    bytes += std::string("\x3D\xD8\x00\xDE", 4);
    bytes += Utf16(L"\", \"lone\": \"a", false);
    bytes += std::string("\x00\xD8", 2);
    bytes += Utf16(L"b\"}", false);
    CTqEnvJson* doc = OpenUserDocument("surrogates", bytes);
    ASSERT_NE(doc->GetJson(), nullptr);
    EXPECT_EQ(doc->GetString(L"pair", L"").str(), std::wstring(1, static_cast<wchar_t>(0x1F600)));
    const std::wstring lone = doc->GetString(L"lone", L"").str();
    ASSERT_EQ(lone.size(), 3u);
    EXPECT_EQ(static_cast<unsigned>(lone[1]), 0xD800u);

    doc->SetDirty(1);
    doc->Save();
    const std::string saved = ReadFile(UserFile("surrogates.json"));
    EXPECT_NE(saved.find(std::string("\x3D\xD8\x00\xDE", 4)), std::string::npos);
    EXPECT_NE(saved.find(std::string("a\0\x00\xD8"
                                     "b\0",
                                     6)),
              std::string::npos);
}

// Rejection by the validator.

TEST(JsonLoad, RejectedTextShowsOneMessageWithPathAndDescription)
{
    if (!InFreshRoot())
        return;
    CapturedMessages messages;
    const std::string bytes = Utf16(L"{\"a\": }");
    CTqEnvJson* doc = OpenUserDocument("bad", bytes);
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->GetJson(), nullptr);
    ASSERT_EQ(messages.count(), 1u);
    const std::wstring head = doc->GetPath().str() + L":json parse error:\n";
    const std::wstring& text = messages.texts()[0];
    ASSERT_EQ(text.compare(0, head.size(), head), 0) << std::string(text.begin(), text.end());
    EXPECT_GT(text.size(), head.size()) << "the validator's description is missing";
    EXPECT_EQ(ReadFile(UserFile("bad.json")), bytes);
}

TEST(JsonLoad, FailedLoadKeepsTheTreeAndFailedReloadDropsIt)
{
    if (!InFreshRoot())
        return;
    CTqEnvJson* doc = OpenUserText("keep", L"{\"k\": \"old\"}");
    ASSERT_NE(doc->GetJson(), nullptr);
    CapturedMessages messages;
    WriteFile(UserFile("keep.json"), Utf16(L"{\"k\": \"new\""));

    doc->Load();
    EXPECT_EQ(messages.count(), 1u);
    EXPECT_EQ(doc->GetString(L"k", L"").str(), L"old");

    EXPECT_EQ(doc->ReloadFile(0), 1);
    EXPECT_EQ(messages.count(), 2u);
    EXPECT_EQ(doc->GetJson(), nullptr);
    EXPECT_EQ(doc->GetString(L"k", L"def").str(), L"");
}

TEST(JsonLoad, ReloadFromSystemCopy)
{
    if (!InFreshRoot())
        return;
    CTqEnvJson* doc = OpenUserText("reload", L"{\"k\": \"user\"}");
    doc->SetDirty(1);
    // Without a system copy nothing changes.
    EXPECT_EQ(doc->ReloadFile(1), 0);
    EXPECT_EQ(doc->GetString(L"k", L"").str(), L"user");

    const std::string shipped = Utf16(L"{\"k\": \"system\"}");
    WriteFile(SystemFile("reload.json"), shipped);
    EXPECT_EQ(doc->ReloadFile(1), 1);
    EXPECT_EQ(doc->GetString(L"k", L"").str(), L"system");
    EXPECT_EQ(ReadFile(UserFile("reload.json")), shipped);

    // A plain reload reads what is on disk now.
    WriteFile(UserFile("reload.json"), Utf16(L"{\"k\": \"edited\"}"));
    EXPECT_EQ(doc->ReloadFile(0), 1);
    EXPECT_EQ(doc->GetString(L"k", L"").str(), L"edited");
}

TEST(JsonLoad, ChangeSavePathMovesOnlyThePath)
{
    if (!InFreshRoot())
        return;
    CTqEnvJson* doc = OpenUserText("moving", L"{\"k\": \"v\"}");
    fnTqEnvMgr()->SetUserID(L"alice");
    doc->SetDirty(1);
    EXPECT_EQ(doc->ChangeSavePathToUserIdPath(), 1);
    const CString target = fnTqEnvMgr()->GetUserIdPath(L"") + L"moving.json";
    EXPECT_EQ(doc->GetPath().str(), target.str());
    EXPECT_EQ(doc->IsDirty(), 1);
    EXPECT_FALSE(zvtest::PathExists(UserFile("alice/moving.json")));

    doc->Save();
    EXPECT_EQ(doc->IsDirty(), 0);
    // Opened again, the document now comes from the user's own folder.
    fnTqEnvMgr()->DeleteJson(L"moving");
    CTqEnvJson* moved = fnTqEnvMgr()->GetJson(L"moving");
    EXPECT_EQ(moved->GetString(L"k", L"").str(), L"v");
}

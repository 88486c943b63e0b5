// Processes that change different members of one JSON document, each reading
// every member before its change and saving after every round.
#include "ZvTest.h"

#include "json/Json.h"

#include <zvenv/CTqEnvMgr.h>
#include <zvenv/platform/Text.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr int kMembers = 5; // per process
constexpr int kRounds = 40; // per process

CString MemberName(int writer, int j)
{
    CString name;
    name.Format(L"w%dm%d", writer, j);
    return name;
}

// The number each member holds in the file now (-1 where it is missing).
std::vector<int> FileValues(const std::string& path, int writers)
{
    const std::string bytes = zvtest::ReadFile(path);
    const std::wstring text = zv::text::DecodeJsonFile(bytes.data(), bytes.size());
    JsonNode root = JsonParse(text.c_str());
    std::vector<int> values(static_cast<std::size_t>(writers * kMembers), -1);
    for (int w = 0; w < writers; ++w)
        for (int j = 0; j < kMembers; ++j) {
            JsonIterator it = root ? JsonFindChild(root, MemberName(w, j)) : nullptr;
            if (it && it != JsonEnd(root)) {
                wchar_t* value = JsonGetString(*it);
                values[static_cast<std::size_t>(w * kMembers + j)] = static_cast<int>(std::wcstol(value, nullptr, 10));
                JsonFreeString(value);
            }
        }
    JsonDeleteNode(root);
    return values;
}

// One process of ProcessesChangeDifferentMembers. Before each save it checks
// the file for the values of its previous save: any other value is an update
// of its that another process's save undid.
TEST(JsonLoad, ProcessWriter)
{
    if (!zvtest::InChild())
        GTEST_SKIP() << "runs as a child of ProcessesChangeDifferentMembers";
    const int writer = std::atoi(std::getenv("ZVTEST_WRITER"));
    const int writers = std::atoi(std::getenv("ZVTEST_WRITERS"));
    CTqEnvJson* doc = CTqEnvMgr::GetInstance()->GetJson(L"shared");
    ASSERT_NE(doc->GetJson(), nullptr);
    const std::string path = doc->GetPath().ToUtf8();
    int lost = 0, failed = 0, seen = 0;
    for (int round = 1; round <= kRounds; ++round) {
        for (void **it = doc->GetBeginIterator(), **end = doc->GetEndIterator(); it != end; ++it)
            seen += doc->GetString(doc->GetNodeName(*it), L"").IsEmpty() ? 0 : 1;
        for (int j = 0; j < kMembers; ++j)
            doc->SetInt(MemberName(writer, j), round);
        const std::vector<int> onDisk = FileValues(path, writers);
        for (int j = 0; j < kMembers; ++j)
            if (round > 1 && onDisk[static_cast<std::size_t>(writer * kMembers + j)] != round - 1)
                ++lost;
        doc->Save();
        failed += doc->IsDirty() ? 1 : 0;
    }
    EXPECT_GT(seen, 0);
    zvtest::WriteFile(zvtest::ChildRoot() + "result" + std::to_string(writer),
                      std::to_string(lost) + " " + std::to_string(failed));
}

TEST(JsonLoad, ProcessesChangeDifferentMembers)
{
    if (zvtest::InChild())
        GTEST_SKIP();
    for (int writers : {4, 8}) {
        zvtest::AppRoot root;
        // The user's file exists before the writers start: seeding it from
        // system/ together is another matter, tested with the seeding.
        zvtest::WriteFile(root.user() + "shared.json", zvtest::Utf16(L"{\r\n\t\"title\" : \"shared\"\r\n}"));
        zvtest::PlaceInRoot(root);
        setenv("ZVTEST_WRITERS", std::to_string(writers).c_str(), 1);
        std::vector<pid_t> pids;
        for (int w = 0; w < writers; ++w) {
            setenv("ZVTEST_WRITER", std::to_string(w).c_str(), 1);
            pids.push_back(zvtest::StartInRoot(root, "JsonLoad.ProcessWriter"));
        }
        unsetenv("ZVTEST_WRITER");
        unsetenv("ZVTEST_WRITERS");
        for (pid_t pid : pids)
            EXPECT_EQ(zvtest::WaitFor(pid), 0);

        int lost = 0, failed = 0;
        for (int w = 0; w < writers; ++w) {
            int l = -1, f = -1;
            std::sscanf(zvtest::ReadFile(root.root() + "result" + std::to_string(w)).c_str(), "%d %d", &l, &f);
            EXPECT_GE(l, 0) << "writer " << w << " left no result";
            lost += l;
            failed += f;
        }
        const std::vector<int> last = FileValues(root.user() + "shared.json", writers);
        for (std::size_t i = 0; i < last.size(); ++i)
            if (last[i] != kRounds)
                ++lost;
        std::printf("%d processes: %d updates, %d failed saves, %d lost updates\n", writers,
                    writers * kRounds * kMembers, failed, lost);
        EXPECT_EQ(lost, 0) << writers << " processes";
        EXPECT_EQ(failed, 0) << writers << " processes";
    }
}

} // namespace

#include "ZvTest.h"

#include "json/Json.h"

#include <zvenv/CTqEnvMgr.h>
#include <zvenv/CTqIni.h>
#include <zvenv/platform/Profile.h>
#include <zvenv/platform/Text.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace {

constexpr int kKeys = 40;

std::wstring Key(int j)
{
    return L"k" + std::to_wstring(j);
}

// The writer: in its application root, changes every key of an INI and a JSON
// document to the next number and saves both, for ever (it gets killed).
TEST(DocumentCrash, Writer)
{
    if (!zvtest::InChild())
        GTEST_SKIP() << "runs as the child of KilledSavesLeaveOldOrNewContent";
    CTqEnvMgr& mgr = *CTqEnvMgr::GetInstance();
    CTqEnvIni* ini = mgr.GetEnvIni(L"trade");
    CTqEnvJson* json = mgr.GetJson(L"layout");
    ASSERT_NE(json->GetJson(), nullptr);
    zvtest::WriteFile(zvtest::ChildRoot() + "ready", "");
    for (int n = ini->GetInt(L"Main", Key(0).c_str(), 0) + 1;; ++n) {
        for (int j = 0; j < kKeys; ++j) {
            ini->SetInt(L"Main", Key(j).c_str(), n);
            json->SetInt(Key(j).c_str(), n);
        }
        ini->Save();
        json->Save();
    }
}

// Every key of one file holds the same number: the file is one whole save.
int IniGeneration(const std::string& path)
{
    zv::ClearProfileCache();
    CTqIni ini(CString(path.c_str()));
    const int first = ini.GetInt(L"Main", Key(0).c_str(), -1);
    for (int j = 1; j < kKeys; ++j)
        if (ini.GetInt(L"Main", Key(j).c_str(), -1) != first)
            return -2;
    return first;
}

int JsonGeneration(const std::string& path)
{
    const std::string bytes = zvtest::ReadFile(path);
    if (bytes.size() < 4 || bytes.compare(0, 2, "\xFF\xFE") != 0)
        return -3;
    const std::wstring text = zv::text::DecodeUtf16le(bytes.data() + 2, bytes.size() - 2);
    JsonNode root = JsonParse(text.c_str());
    if (!root)
        return -4;
    int first = -1;
    for (int j = 0; j < kKeys; ++j) {
        JsonIterator it = JsonFindChild(root, Key(j).c_str());
        int value = -1;
        if (it != JsonEnd(root)) {
            wchar_t* s = JsonGetString(*it);
            value = std::wcstol(s, nullptr, 10);
            JsonFreeString(s);
        }
        if (j == 0)
            first = value;
        else if (value != first)
            first = -2;
    }
    JsonDeleteNode(root);
    return first;
}

TEST(DocumentCrash, KilledSavesLeaveOldOrNewContent)
{
    if (zvtest::InChild())
        GTEST_SKIP();
    zvtest::AppRoot root;
    // The shipped defaults hold every key at 0, so a file replaced by them
    // shows as a step back.
    std::wstring iniText = L"[Main]\r\n", jsonText = L"{";
    for (int j = 0; j < kKeys; ++j) {
        iniText += Key(j) + L"=0\r\n";
        jsonText += (j ? L",\r\n\t\"" : L"\r\n\t\"") + Key(j) + L"\" : 0";
    }
    zvtest::WriteFile(root.system() + "trade.ini", zvtest::Utf16(iniText));
    zvtest::WriteFile(root.system() + "layout.json", zvtest::Utf16(jsonText + L"\r\n}"));
    zvtest::PlaceInRoot(root);
    std::mt19937 random(20261206);
    int iniLast = 0, jsonLast = 0;
    int progressed = 0;
    // A process starts in milliseconds on Linux and in a tenth of a second
    // under wine: fewer rounds there.
#ifdef _WIN32
    constexpr int kRounds = 60;
#else
    constexpr int kRounds = 300;
#endif
    for (int round = 0; round < kRounds; ++round) {
        std::remove((root.root() + "ready").c_str());
        const zvtest::Process writer = zvtest::StartInRoot(root, "DocumentCrash.Writer");
        // Mostly killed while saving, sometimes while starting up.
        if (round % 10 != 0)
            for (int wait = 0; wait < 5000 && !zvtest::PathExists(root.root() + "ready"); ++wait)
                zvtest::SleepMs(1);
        zvtest::SleepMs(std::uniform_int_distribution<int>(0, 40)(random));
        zvtest::Kill(writer);
        if (!zvtest::PathExists(root.user() + "layout.json"))
            continue; // killed before both documents were seeded
        const int ini = IniGeneration(root.user() + "trade.ini");
        ASSERT_GE(ini, iniLast) << "round " << round << ": the INI file is torn or went back";
        const int json = JsonGeneration(root.user() + "layout.json");
        ASSERT_GE(json, jsonLast) << "round " << round << ": the JSON file is torn, empty or went back ("
                                  << zvtest::ReadFile(root.user() + "layout.json").size() << " bytes)";
        progressed += ini > iniLast;
        iniLast = ini;
        jsonLast = json;
    }
    EXPECT_GE(progressed, kRounds / 10) << "the writer got to save in a good share of the rounds";
    EXPECT_GT(jsonLast, 0) << "the user's JSON file was never replaced by the shipped default";
}

} // namespace

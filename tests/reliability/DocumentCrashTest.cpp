#include "Reliability.h"

#include <zvenv/CTqEnvMgr.h>
#include <zvenv/CTqIni.h>
#include <zvenv/platform/Profile.h>

using reliability::Key;

namespace {

constexpr int kKeys = 40;

// The number every value holds, -2 when they differ (a torn file) and -1
// when the file does not parse or a key is missing.
int Generation(const std::vector<int>& values)
{
    for (int value : values)
        if (value != values[0])
            return -2;
    return values.empty() ? -1 : values[0];
}

// A writer that sets every key of an INI and a JSON document to the next
// number and saves both, for ever, is killed at random: each file holds one
// generation, never older than the last seen.
TEST(DocumentCrash, KilledSavesLeaveOldOrNewContent)
{
    if (zvtest::InChild()) {
        CTqEnvMgr& mgr = *CTqEnvMgr::GetInstance();
        CTqEnvIni* ini = mgr.GetEnvIni(L"trade");
        CTqEnvJson* json = mgr.GetJson(L"layout");
        ASSERT_NE(json->GetJson(), nullptr);
        zvtest::WriteFile(zvtest::ChildRoot() + "ready", "");
        for (int n = ini->GetInt(L"Main", Key(0, 0), 0) + 1;; ++n) {
            for (int j = 0; j < kKeys; ++j) {
                ini->SetInt(L"Main", Key(0, j), n);
                json->SetInt(Key(0, j), n);
            }
            ini->Save();
            json->Save();
        }
    }
    zvtest::AppRoot root;
    // The shipped defaults hold every key at 0: a file replaced by them shows
    // as a step back.
    std::wstring iniText = L"[Main]\r\n", jsonText = L"{";
    std::vector<CString> names;
    for (int j = 0; j < kKeys; ++j) {
        names.push_back(Key(0, j));
        iniText += names.back().str() + L"=0\r\n";
        jsonText += (j ? L",\r\n\t\"" : L"\r\n\t\"") + names.back().str() + L"\" : 0";
    }
    zvtest::WriteFile(root.system() + "trade.ini", zvtest::Utf16(iniText));
    zvtest::WriteFile(root.system() + "layout.json", zvtest::Utf16(jsonText + L"\r\n}"));
    zvtest::PlaceInRoot(root);
    int iniLast = 0, jsonLast = 0, progressed = 0, rounds = 0;
    reliability::KillRepeatedly(root, 40, [&](int round) {
        ++rounds;
        if (!zvtest::PathExists(root.user() + "layout.json"))
            return; // killed before both documents were seeded
        zv::ClearProfileCache();
        CTqIni file(CString((root.user() + "trade.ini").c_str()));
        std::vector<int> iniValues;
        for (const CString& name : names)
            iniValues.push_back(file.GetInt(L"Main", name, -1));
        const int ini = Generation(iniValues);
        ASSERT_GE(ini, iniLast) << "round " << round << ": the INI file is torn or went back";
        const int json = Generation(reliability::JsonInts(root.user() + "layout.json", names));
        ASSERT_GE(json, jsonLast) << "round " << round << ": the JSON file is torn, empty or went back";
        progressed += ini > iniLast;
        iniLast = ini;
        jsonLast = json;
    });
    EXPECT_GE(progressed, rounds / 10) << "the writer got to save in a good share of the rounds";
    EXPECT_GT(jsonLast, 0) << "the user's JSON file was never replaced by the shipped default";
}

} // namespace

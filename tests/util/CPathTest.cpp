#include "util/CPath.h"

#include <zvenv/platform/Os.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

// drive|folder|its names|title|extension|file name|arguments[|relative]
std::wstring Parts(CPath& path)
{
    std::wstring names;
    for (int i = 0; !path.GetDir(i).IsEmpty(); ++i)
        names += (i ? L"," : L"") + std::wstring(path.GetDir(i).GetString());
    std::wstring parts = path.GetDrive().str() + L"|" + path.GetDir(-1).str() + L"|" + names + L"|" +
                         path.GetTitle().str() + L"|" + path.GetExtension().str() + L"|" + path.GetFileName().str() +
                         L"|" + path.GetArgs().str();
    return path.IsRelative() ? parts + L"|relative" : parts;
}

TEST(CPath, SplitsPaths)
{
    const struct {
        const wchar_t* path;
        int asFolder;
        int withArgs;
        const wchar_t* parts;
    } cases[] = {
        {L"C:\\App\\user\\x\\Trade.ini", 0, 0, L"C:|/App/user/x/|App,user,x|Trade|.ini|Trade.ini|"},
        {L"\\\\server\\share\\cfg\\a.ini", 0, 0, L"|//server/share/cfg/|server,share,cfg|a|.ini|a.ini|"},
        {L"user\\x\\a.ini", 0, 0, L"|user/x/|user,x|a|.ini|a.ini||relative"},
        // No folder part is not relative.
        {L"a.ini", 0, 0, L"|||a|.ini|a.ini|"},
        {L"/a/b.c.ini", 0, 0, L"|/a/|a|b.c|.ini|b.c.ini|"},
        // A lone dot is no extension; no name, no extension either.
        {L"/a/name.", 0, 0, L"|/a/|a|name||name|"},
        {L"/a/.ini", 0, 0, L"|/a/|a||||"},
        {nullptr, 0, 0, L"||||||"},
        // Quotes go only as a pair around the whole text; a lone quote is both.
        {L"\"/my app/a b.ini\"", 0, 0, L"|/my app/|my app|a b|.ini|a b.ini|"},
        {L"\"", 0, 0, L"||||||"},
        {L"\"\"", 0, 0, L"||||||"},
        {L"\"a.ini", 0, 0, L"|||\"a|.ini|\"a.ini|"},
        {L"a.ini\"", 0, 0, L"|||a|.ini\"|a.ini\"|"},
        {L"\"a.ini\"", 0, 0, L"|||a|.ini|a.ini|"},
        {L"\"/my app/zvenv\" ini get trade", 0, 1, L"|/my app/|my app|zvenv||zvenv|ini get trade"},
        {L"/opt/app/user", 1, 0, L"|/opt/app/user/|opt,app,user||||"},
    };
    for (const auto& c : cases) {
        CPath path(c.path, c.asFolder, c.withArgs);
        std::wstring parts = c.parts; // '/' stands for the separator CPath makes
        std::replace(parts.begin(), parts.end(), L'/', zv::os::kSeparator);
        EXPECT_EQ(Parts(path), parts) << (c.path ? c.path : L"(null)");
    }
}

} // namespace

// zvenv json check reads a file exactly as the library loads a document.
#include "HostRun.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

using zvtest::kAny;
using zvtest::Utf16;

namespace {

using HostJsonCheck = zvtest::HostTest;

// For every framing, the check's verdict is the loader's: a document of
// system/ (neither seeded nor repaired) loads exactly when check says valid.
// Only regular files are read: a device would be read for ever, a pipe waited
// on (a command that hangs is stopped, and then fails here). Windows has no
// named pipe in a folder; its device is the null device.
TEST_F(HostJsonCheck, AgreesWithTheLoaderAndRefusesSpecialFiles)
{
    const std::pair<std::string, bool> cases[] = {
        {Utf16(L"{\"a\": \"caf\u00e9\"}"), true},        // UTF-16LE with a mark
        {Utf16(L"{\"a\": \"caf\u00e9\"}", false), true}, // without a mark
        {"{\"a\": \"caf\xC3\xA9\"} ", true},             // UTF-8
        {"\xEF\xBB\xBF{\"a\": \"caf\xC3\xA9\"}", true},  // UTF-8 with a mark
        {"{\"a\": \"caf\xE9\"}", false},                 // Windows-1252 bytes, read as UTF-16LE
        {std::string("\0{\"a\" }", 7), true},            // a first byte of zero, read as empty
        {"\xFF\xFE", true},                              // the mark alone, read as empty
        {Utf16(L"{\"a\": }"), false},
    };
    int n = 0;
    for (const auto& [bytes, valid] : cases) {
        const std::string name = "c" + std::to_string(n++);
        zvtest::WriteFile(Sys(name + ".json"), bytes);
        Steps({{{"json", "check", Sys(name + ".json")}, valid ? 0 : 1},
               {{"json", "list", name, "--system"}, valid ? 0 : 1, kAny, valid ? "" : "zvenv: "}});
    }
#ifdef _WIN32
    const std::vector<std::string> files{"NUL"};
#else
    const std::string pipe = root / "pipe.json";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const std::vector<std::string> files{"/dev/zero", pipe};
#endif
    for (const std::string& file : files) {
        const zvtest::HostResult r = Run({"json", "check", file});
        EXPECT_EQ(r.status, 1) << file;
        EXPECT_EQ(r.err,
                  "zvenv: " + file + " is not a regular file (a device, pipe or socket): only files are checked\n");
    }
}

} // namespace

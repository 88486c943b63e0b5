// zvenv json check reads a file exactly as the library loads a document.
#include "HostRun.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

using zvtest::AppRoot;
using zvtest::HostResult;
using zvtest::RunHost;
using zvtest::Utf16;

namespace {

struct CheckCase {
    const char* what;
    std::string bytes;
    bool valid;
};

// For every framing, the check's verdict is the loader's: a document of
// system/ (neither seeded nor repaired) loads exactly when check says valid.
TEST(HostJsonCheck, AgreesWithTheLoader)
{
    AppRoot root;
    zvtest::PlaceHost(root);
    const CheckCase cases[] = {
        {"UTF-16LE with a mark", Utf16(L"{\"a\": \"caf\u00e9\"}"), true},
        {"UTF-16LE without a mark", Utf16(L"{\"a\": \"caf\u00e9\"}", false), true},
        {"UTF-8", "{\"a\": \"caf\xC3\xA9\"} ", true},
        {"UTF-8 with a mark", "\xEF\xBB\xBF{\"a\": \"caf\xC3\xA9\"}", true},
        {"Windows-1252 bytes, read as UTF-16LE", "{\"a\": \"caf\xE9\"}", false},
        {"a first byte of zero, read as empty", std::string("\0{\"a\" }", 7), true},
        {"the mark alone, read as empty", "\xFF\xFE", true},
        {"malformed UTF-16LE", Utf16(L"{\"a\": }"), false},
    };
    int n = 0;
    for (const CheckCase& c : cases) {
        const std::string name = "c" + std::to_string(n++);
        zvtest::WriteFile(root.system() + name + ".json", c.bytes);
        const HostResult check = RunHost(root, {"json", "check", root.system() + name + ".json"});
        const HostResult load = RunHost(root, {"json", "list", name, "--system"});
        EXPECT_EQ(check.status, c.valid ? 0 : 1) << c.what << ": " << check.out << check.err;
        EXPECT_EQ(load.status, c.valid ? 0 : 1) << c.what << ": " << load.err;
    }
}

// Only regular files are read: a device would be read for ever, a pipe waited
// on (RunHost stops a command that hangs, which then fails here). Windows has
// no named pipe in a folder; its device is the null device.
TEST(HostJsonCheck, RefusesSpecialFiles)
{
    AppRoot root;
    zvtest::PlaceHost(root);
#ifdef _WIN32
    const std::vector<std::string> files{"NUL"};
#else
    const std::string pipe = root / "pipe.json";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const std::vector<std::string> files{"/dev/zero", pipe};
#endif
    for (const std::string& file : files) {
        const HostResult r = RunHost(root, {"json", "check", file});
        EXPECT_EQ(r.status, 1) << file;
        EXPECT_EQ(r.err,
                  "zvenv: " + file + " is not a regular file (a device, pipe or socket): only files are checked\n");
    }
}

} // namespace

// zvenv while the library has no documents yet: prints the application root
// of its own location (the parent of the folder that holds the executable)
// and the folder layout under it. Every other command needs the full host.
#include <zvenv/platform/Os.h>

#include <cstdio>
#include <cstring>

namespace {

void PrintLine(const char* label, const CString& value)
{
    std::printf("%-10s %s\n", label, value.ToUtf8().c_str());
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 2 || (argc == 2 && std::strcmp(argv[1], "paths") != 0)) {
        std::fprintf(stderr, "zvenv: this build only has the paths command (the library has no documents yet)\n");
        return 1;
    }
    const CString exe = zv::os::ExecutablePath();
    const CString module = exe.Left(exe.ReverseFind(zv::os::kSeparator));
    const int cut = module.ReverseFind(zv::os::kSeparator);
    const CString root = zv::os::FullPath(cut <= 0 ? CString(zv::os::kSeparator) : module.Left(cut + 1));
    PrintLine("root", root);
    PrintLine("module", module);
    for (const wchar_t* folder : {L"data", L"image", L"menu", L"screen", L"sound", L"system", L"user"})
        PrintLine(CString(folder).ToUtf8().c_str(), root + folder + zv::os::kSeparator);
    return 0;
}

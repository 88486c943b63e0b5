// Times this library against the libraries its users would take instead.
//   peers_bench ini  <out.jsonl> <keys>...     INI work at each number of keys
//   peers_bench value <out.jsonl> <chars>...   one INI value of each length
//   peers_bench json <out.jsonl> <chars>...    JSON work at each text size
//   peers_bench startup <out.jsonl> <probe> <runs>   a host's start, in parts
//   peers_bench inifile <path> <keys>          the INI file the wine side reads
// Figures are appended to out.jsonl, one JSON object a line.
#include "PeerTiming.h"
#include "Peers.h"

#include <zvenv/platform/Message.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

int Quiet(const wchar_t*, UINT, void*)
{
    return 1;
}

int Usage()
{
    std::fputs("usage: peers_bench ini|value|json <out.jsonl> <size>... | startup <out.jsonl> <probe> <runs> | inifile "
               "<path> <keys> | jsonmem <impl> <size> <path>\n",
               stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4)
        return Usage();
    zv::SetMessageHandler(&Quiet);
    const std::string mode = argv[1];
    if (mode == "jsonmem")
        return argc == 5 ? peers::MeasureJsonMemory(argv[2], std::atol(argv[3]), argv[4]) : Usage();
    if (mode == "inifile") {
        peers::WriteIniFile(std::atoi(argv[3]), argv[2]);
        return 0;
    }
    if (mode != "ini" && mode != "value" && mode != "json" && mode != "startup")
        return Usage();
    peers::Recorder out(argv[2]);
    if (mode == "startup") {
        if (argc != 5 || std::atoi(argv[4]) <= 0)
            return Usage();
        peers::RunStartup(argv[3], std::atoi(argv[4]), out);
        return 0;
    }
    for (int i = 3; i < argc; ++i) {
        const long size = std::atol(argv[i]);
        if (size <= 0)
            return Usage();
        if (mode == "ini")
            peers::RunIni(static_cast<int>(size), out);
        else if (mode == "value")
            peers::RunIniValue(size, out);
        else
            peers::RunJson(size, out);
    }
    return 0;
}

#pragma once

#include <string>

namespace peers {

class Recorder;

// Times the INI work at the given number of keys.
void RunIni(int keys, Recorder& out);
// Times the read of one INI value of that many characters.
void RunIniValue(long length, Recorder& out);
// Writes the INI file of that many keys, as the wine program reads it.
void WriteIniFile(int keys, const std::string& path);
// Times a host's start: the probe program spawned runs times.
void RunStartup(const std::string& probe, int runs, Recorder& out);
// Times the JSON work on a document of about that many characters of text.
void RunJson(long textSize, Recorder& out);
// In a process of its own: loads the file at path with impl and reads every
// value, then prints the peak and held resident bytes; returns the exit code.
int MeasureJsonMemory(const std::string& impl, long textSize, const std::string& path);

} // namespace peers

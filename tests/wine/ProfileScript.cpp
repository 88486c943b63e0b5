// Runs a script of profile-file operations against one file and prints every
// result in a fixed text form, so that two implementations of the functions
// can be compared line by line. Built twice: as a Windows program calling the
// system's own functions, and natively over ours.
//
//   profile_script run <script> <file>        perform the script
//   profile_script generate <seed> <count>    print <count> random sequences
//   profile_script time <file> <op> <count>   time one operation (see Time)
//
// Script lines (blank lines and lines starting with '#' are ignored):
//   seq NAME                    a new sequence: the file is removed first
//   put ENC TEXT                the file's bytes: ENC is utf16 (with mark),
//                               utf8bom, utf8 or bytes (one byte a character)
//   rm                          remove the file
//   get SEC KEY DEF SIZE        GetPrivateProfileStringW
//   sect SEC SIZE               GetPrivateProfileSectionW
//   names SIZE                  GetPrivateProfileSectionNamesW
//   write SEC KEY VALUE         WritePrivateProfileStringW
//   wsect SEC LINES             WritePrivateProfileSectionW (LINES holds \0
//                               between lines; the final nulls are added)
//   dump                        the file's bytes in hexadecimal
// Arguments are "quoted" with the escapes \\ \" \0 \r \n \t \xHH \uHHHH, ~
// stands for a null pointer, and sizes are decimal. A line starting with '?'
// is performed and printed with a leading '?': its result is a known
// difference and is not compared.

#ifdef _WIN32
#include <windows.h>
#else
#include <time.h>
#include <zvenv/platform/Profile.h>
#endif

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Arg {
    bool null = false;
    std::wstring text;
    const wchar_t* ptr() const { return null ? nullptr : text.c_str(); }
};

int HexValue(wchar_t c)
{
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    return -1;
}

// Splits a script line into its words; a quoted word keeps its escapes
// decoded. Returns false on a malformed line.
bool SplitLine(const std::string& line, std::vector<Arg>& words)
{
    std::size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t') {
            ++i;
            continue;
        }
        Arg arg;
        if (line[i] == '"') {
            ++i;
            while (i < line.size() && line[i] != '"') {
                char c = line[i++];
                if (c != '\\') {
                    arg.text += static_cast<wchar_t>(static_cast<unsigned char>(c));
                    continue;
                }
                if (i >= line.size())
                    return false;
                char e = line[i++];
                int digits = 0;
                switch (e) {
                case '0':
                    arg.text += L'\0';
                    break;
                case 'r':
                    arg.text += L'\r';
                    break;
                case 'n':
                    arg.text += L'\n';
                    break;
                case 't':
                    arg.text += L'\t';
                    break;
                case 'x':
                    digits = 2;
                    break;
                case 'u':
                    digits = 4;
                    break;
                default:
                    arg.text += static_cast<wchar_t>(e);
                    break;
                }
                if (digits) {
                    unsigned value = 0;
                    for (int d = 0; d < digits; ++d) {
                        if (i >= line.size() || HexValue(static_cast<wchar_t>(line[i])) < 0)
                            return false;
                        value = value * 16 + static_cast<unsigned>(HexValue(static_cast<wchar_t>(line[i++])));
                    }
                    arg.text += static_cast<wchar_t>(value);
                }
            }
            if (i >= line.size())
                return false;
            ++i;
        } else {
            std::size_t end = line.find_first_of(" \t", i);
            if (end == std::string::npos)
                end = line.size();
            std::string word = line.substr(i, end - i);
            i = end;
            if (word == "~")
                arg.null = true;
            else
                arg.text.assign(word.begin(), word.end());
        }
        words.push_back(arg);
    }
    return true;
}

std::string Escape(const wchar_t* text, std::size_t count)
{
    std::string out;
    char hex[24];
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned long c = static_cast<unsigned long>(text[i]);
        if (c == '\\' || c == '"') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else if (c == 0) {
            out += "\\0";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else {
            std::snprintf(hex, sizeof hex, "\\u%04lX", c);
            out += hex;
        }
    }
    return out;
}

std::string ReadBytes(const std::string& path, bool& exists)
{
    std::ifstream in(path, std::ios::binary);
    exists = static_cast<bool>(in);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void AppendUtf8(std::string& out, unsigned long c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The bytes of a script's file text in the named encoding.
bool Encode(const std::wstring& encoding, const std::wstring& text, std::string& bytes)
{
    bytes.clear();
    if (encoding == L"utf16") {
        bytes = "\xFF\xFE";
        for (wchar_t c : text) {
            bytes += static_cast<char>(static_cast<unsigned long>(c) & 0xFF);
            bytes += static_cast<char>((static_cast<unsigned long>(c) >> 8) & 0xFF);
        }
    } else if (encoding == L"utf8" || encoding == L"utf8bom") {
        if (encoding == L"utf8bom")
            bytes = "\xEF\xBB\xBF";
        for (wchar_t c : text)
            AppendUtf8(bytes, static_cast<unsigned long>(c));
    } else if (encoding == L"bytes") {
        for (wchar_t c : text) {
            if (static_cast<unsigned long>(c) > 0xFF)
                return false;
            bytes += static_cast<char>(c);
        }
    } else {
        return false;
    }
    return true;
}

constexpr wchar_t kFill = L'#';

// A buffer of the requested size filled with a marker, with a guard
// character past its end. What is shown is the part a caller may rely on:
// the value and its null, or the list and its two nulls, cut to the size.
// Whatever lies beyond is scratch space, except the guard, which must stay.
struct Buffer {
    explicit Buffer(const std::wstring& sizeText)
        : size(std::wcstoul(sizeText.c_str(), nullptr, 10)), data(size + 1, kFill)
    {
    }
    std::string Shown(DWORD result, bool list) const
    {
        // An empty list is only its first null.
        std::size_t end = static_cast<std::size_t>(result) + (list && result > 0 ? 2 : 1);
        if (end > size)
            end = size;
        std::string shown =
            std::to_string(static_cast<unsigned long>(result)) + " \"" + Escape(data.data(), end) + "\"";
        if (data[size] != kFill)
            shown += " OVERRUN";
        return shown;
    }
    unsigned long size;
    std::vector<wchar_t> data;
};

std::string Hex(const std::string& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

std::string Dump(const std::string& path)
{
    bool exists = false;
    const std::string bytes = ReadBytes(path, exists);
    return exists ? "file " + Hex(bytes) : "file missing";
}

std::wstring Widen(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

void ForgetCachedCopies()
{
#ifndef _WIN32
    // A file rewritten in place within one clock tick keeps its size and
    // time; the script's own writes must not be hidden by a parsed copy.
    zv::ClearProfileCache();
#endif
}

int Run(const std::string& scriptPath, const std::string& filePath)
{
    std::ifstream script(scriptPath);
    if (!script) {
        std::fprintf(stderr, "cannot read %s\n", scriptPath.c_str());
        return 2;
    }
    const std::wstring file = Widen(filePath);
    std::string line;
    int number = 0;
    while (std::getline(script, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        std::string marker;
        if (line[0] == '?') {
            marker = "?";
            line.erase(0, 1);
        }
        std::vector<Arg> w;
        if (!SplitLine(line, w) || w.empty()) {
            std::fprintf(stderr, "%s:%d: malformed line\n", scriptPath.c_str(), number);
            return 2;
        }
        const std::wstring op = w[0].text;
        auto need = [&](std::size_t count) {
            if (w.size() == count + 1)
                return true;
            std::fprintf(stderr, "%s:%d: %s takes %zu arguments\n", scriptPath.c_str(), number, line.c_str(), count);
            return false;
        };
        std::string result;
        if (op == L"seq") {
            if (!need(1))
                return 2;
            std::remove(filePath.c_str());
            ForgetCachedCopies();
            std::printf("seq %s\n", line.substr(4).c_str());
            continue;
        } else if (op == L"put") {
            std::string bytes;
            if (!need(2) || !Encode(w[1].text, w[2].text, bytes)) {
                std::fprintf(stderr, "%s:%d: bad put\n", scriptPath.c_str(), number);
                return 2;
            }
            WriteBytes(filePath, bytes);
            ForgetCachedCopies();
            continue;
        } else if (op == L"rm") {
            std::remove(filePath.c_str());
            ForgetCachedCopies();
            continue;
        } else if (op == L"get") {
            if (!need(4))
                return 2;
            Buffer buf(w[4].text);
            const DWORD got =
                GetPrivateProfileStringW(w[1].ptr(), w[2].ptr(), w[3].ptr(), buf.data.data(), buf.size, file.c_str());
            result = buf.Shown(got, !w[1].ptr() || !w[2].ptr());
        } else if (op == L"sect") {
            if (!need(2))
                return 2;
            Buffer buf(w[2].text);
            const DWORD got = GetPrivateProfileSectionW(w[1].ptr(), buf.data.data(), buf.size, file.c_str());
            result = buf.Shown(got, true);
        } else if (op == L"names") {
            if (!need(1))
                return 2;
            Buffer buf(w[1].text);
            const DWORD got = GetPrivateProfileSectionNamesW(buf.data.data(), buf.size, file.c_str());
            result = buf.Shown(got, true);
        } else if (op == L"write") {
            if (!need(3))
                return 2;
            const BOOL ok = WritePrivateProfileStringW(w[1].ptr(), w[2].ptr(), w[3].ptr(), file.c_str());
            result = ok ? "ok" : "fail";
        } else if (op == L"wsect") {
            if (!need(2))
                return 2;
            std::wstring lines = w[2].text;
            lines += L'\0';
            lines += L'\0';
            const BOOL ok = WritePrivateProfileSectionW(w[1].ptr(), w[2].null ? nullptr : lines.c_str(), file.c_str());
            result = ok ? "ok" : "fail";
        } else if (op == L"dump") {
            result = Dump(filePath);
        } else {
            std::fprintf(stderr, "%s:%d: unknown operation\n", scriptPath.c_str(), number);
            return 2;
        }
        std::printf("%s%s -> %s\n", marker.c_str(), line.c_str(), result.c_str());
    }
    return 0;
}

// Random sequences over a small vocabulary, so that the same names, case
// variants, quotes and comments meet again and again in one file. Even
// sequences keep the file in the form every implementation writes (CR LF, no
// blanks around names and values, no blank lines), and their final bytes are
// compared. Odd sequences add blanks, blank lines and other line ends; the
// reference rewrites such files in its own form (it drops blank lines,
// blanks around '=' and mixed line ends) where the platform keeps every line
// it does not change, so only their results are compared.
class Generator {
public:
    explicit Generator(unsigned long seed) : m_state(seed * 2654435761u + 1) {}

    void Sequence(int index, std::string& out)
    {
        m_free = index % 2 == 1;
        out += "seq random-" + std::to_string(index) + "\n";
        out += "put " + Pick({"utf16", "utf16", "utf8", "utf8bom"}) + " \"" + StartText() + "\"\n";
        const int ops = 20 + static_cast<int>(Next(30));
        for (int i = 0; i < ops; ++i)
            out += Operation() + "\n";
        out += std::string(m_free ? "?" : "") + "dump\n";
    }

private:
    unsigned long Next(unsigned long bound)
    {
        m_state = m_state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<unsigned long>((m_state >> 33) % bound);
    }
    std::string Pick(std::initializer_list<const char*> items)
    {
        auto it = items.begin();
        std::advance(it, Next(items.size()));
        return *it;
    }
    std::string Section() { return Pick({"Main", "main", "MAIN", "View", "view", "Other", "A b"}); }
    std::string Key() { return Pick({"k", "K", "name", "Name", "x y", "v"}); }
    std::string Value()
    {
        if (m_free && Next(5) == 0)
            return Pick({" padded ", "\\tlead", "trail\\t"});
        return Pick({"1", "", "two words", "\\\"quoted\\\"", "'single'", "\\\"half", "a=b", "x;y", "[not]"});
    }
    std::string FileKey() { return m_free ? Pick({"k", "K", " k", "k ", "Name", "x y", "\\tv"}) : Key(); }
    std::string FileSection() { return m_free ? Pick({"Main", "main", " Main ", "View", "Other", "A b"}) : Section(); }
    std::string StartText()
    {
        m_lineEnd = m_free ? Pick({"\\r\\n", "\\n", "\\r"}) : "\\r\\n";
        std::string text;
        bool inSection = false;
        std::string headers;
        const int lines = static_cast<int>(Next(10));
        for (int i = 0; i < lines; ++i) {
            // A new key goes after the last key line of its section on the
            // platform, after any line of the section in the reference; the
            // two agree when comments and other lines precede the sections.
            const bool free = m_free || !inSection;
            // Duplicate sections are covered by the hand-written scripts.
            std::string header = "[" + FileSection() + "]";
            std::string folded = header;
            for (char& c : folded)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c == ' ' ? '_' : c)));
            if (folded.find("_main_") != std::string::npos)
                folded = "[main]";
            if (headers.find(folded) != std::string::npos)
                header = free ? "; note" : "";
            if (header.empty())
                continue;
            std::string line;
            switch (Next(7)) {
            case 0:
                line = header;
                break;
            case 1:
                line = free ? "; note" : header;
                break;
            case 2:
                line = m_free ? "" : header;
                break;
            case 3:
                line = free ? "bare line" : header;
                break;
            default:
                line = FileKey() + (m_free && Next(2) ? " = " : "=") + Value();
                break;
            }
            if (line == header && header.front() == '[') {
                headers += folded;
                inSection = true;
            }
            text += line;
            text += m_lineEnd;
        }
        if (m_free && Next(4) == 0 && !text.empty())
            text.resize(text.size() - m_lineEnd.size());
        // The reference picks no fixed encoding for an empty file; the
        // hand-written scripts cover it.
        if (text.empty())
            text = "; empty" + m_lineEnd;
        return text;
    }
    std::string Quote(const std::string& text) { return "\"" + text + "\""; }
    std::string Size() { return Pick({"0", "1", "2", "3", "5", "8", "256", "256", "256"}); }
    // The reference writes past a list buffer of 0 or 1 characters and
    // answers size - 2 wrapped around; the platform does neither, and no
    // caller asks for a list with less than 2 characters.
    std::string ListOp(const std::string& op, const std::string& size)
    {
        return (size == "0" || size == "1" ? "?" : "") + op + " " + size;
    }
    std::string Operation()
    {
        switch (Next(12)) {
        case 0:
        case 1:
        case 2:
        case 4:
            return "write " + Quote(Section()) + " " + Quote(Key()) + " " + Quote(Value());
        case 3:
            return Next(4) == 0 ? "write " + Quote(Section()) + " ~ ~"
                                : "write " + Quote(Section()) + " " + Quote(Key()) + " ~";
        case 5:
            return "wsect " + Quote(Section()) + " " +
                   Quote(Pick({"a=1", "a=1\\0b=2", "", m_free ? "c=3\\0;d=4" : "c=3\\0d=4"}));
        case 6:
        case 7:
            return "get " + Quote(Section()) + " " + Quote(Key()) + " " + Quote(Pick({"def", "", " pad "})) + " " +
                   Size();
        case 8:
            return ListOp("get " + Quote(Section()) + " ~ \"\"", Size());
        case 9:
            return ListOp("get ~ ~ \"\"", Size());
        case 10:
            return ListOp("sect " + Quote(Section()), Size());
        default:
            return ListOp("names", Size());
        }
    }

    unsigned long long m_state;
    bool m_free = false;
    std::string m_lineEnd = "\\r\\n";
};

double Seconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Times an operation on an existing file: "get" reads a key of the middle
// section, "write" changes a key's value (each write another value), "write-many"
// writes <count> distinct keys. Prints the mean seconds per operation.
int Time(const std::string& filePath, const std::string& op, long count)
{
    const std::wstring file = Widen(filePath);
    wchar_t buffer[256];
    GetPrivateProfileStringW(L"S50", L"K50", L"", buffer, 256, file.c_str());
    const double start = Seconds();
    for (long i = 0; i < count; ++i) {
        if (op == "get") {
            GetPrivateProfileStringW(L"S50", L"K50", L"", buffer, 256, file.c_str());
        } else if (op == "write") {
            const std::wstring value = L"v" + std::to_wstring(i);
            WritePrivateProfileStringW(L"S50", L"K50", value.c_str(), file.c_str());
        } else if (op == "write-many") {
            const std::wstring section = L"S" + std::to_wstring(i % 100);
            const std::wstring key = L"K" + std::to_wstring((i / 100) % 100);
            WritePrivateProfileStringW(section.c_str(), key.c_str(), L"changed", file.c_str());
        } else {
            std::fprintf(stderr, "unknown timed operation %s\n", op.c_str());
            return 2;
        }
    }
    std::printf("%.9f\n", (Seconds() - start) / static_cast<double>(count));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "run" && argc == 4)
        return Run(argv[2], argv[3]);
    if (mode == "generate" && argc == 4) {
        Generator generator(std::strtoul(argv[2], nullptr, 10));
        std::string out;
        const int count = std::atoi(argv[3]);
        for (int i = 0; i < count; ++i)
            generator.Sequence(i, out);
        std::fwrite(out.data(), 1, out.size(), stdout);
        return 0;
    }
    if (mode == "time" && argc == 5)
        return Time(argv[2], argv[3], std::atol(argv[4]));
    std::fprintf(stderr, "usage: %s run SCRIPT FILE | generate SEED COUNT | time FILE OP COUNT\n", argv[0]);
    return 2;
}

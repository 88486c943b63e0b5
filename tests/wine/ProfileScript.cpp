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
//   get SEC KEY DEF SIZE...     GetPrivateProfileStringW
//   sect SEC SIZE...            GetPrivateProfileSectionW
//   names SIZE...               GetPrivateProfileSectionNamesW
//   write SEC KEY VALUE         WritePrivateProfileStringW
//   wsect SEC LINES             WritePrivateProfileSectionW (LINES holds \0
//                               between lines; the final nulls are added)
//   dump                        the file's bytes in hexadecimal
// Arguments are "quoted" with the escapes \\ \" \0 \r \n \t \xHH \uHHHH, ~
// stands for a null pointer, and sizes are decimal; a read given several
// sizes runs (and prints) once for each. A line starting with '?' is
// performed and printed with a leading '?': its result is a known difference
// and is not compared.

#ifdef _WIN32
#include <windows.h>
#else
#include <time.h>
#include <zvenv/platform/Profile.h>
#endif

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace {

struct Arg {
    bool null = false;
    std::wstring text;
    std::size_t start = 0; // where the word starts in its line
    const wchar_t* ptr() const { return null ? nullptr : text.c_str(); }
};

// Splits a script line into its words; a quoted word has its escapes
// decoded. Returns false on a malformed line.
bool SplitLine(const std::string& line, std::vector<Arg>& words)
{
    static const std::string kEscapes("0\0r\rn\nt\t", 8); // each escape, then what it stands for
    for (std::size_t i = 0; i < line.size();) {
        if (line[i] == ' ' || line[i] == '\t') {
            ++i;
            continue;
        }
        Arg arg;
        arg.start = i;
        if (line[i] != '"') {
            const std::size_t end = std::min(line.find_first_of(" \t", i), line.size());
            arg.null = line.compare(i, end - i, "~") == 0;
            if (!arg.null)
                arg.text.assign(line.begin() + static_cast<std::ptrdiff_t>(i),
                                line.begin() + static_cast<std::ptrdiff_t>(end));
            i = end;
            words.push_back(arg);
            continue;
        }
        for (++i; i < line.size() && line[i] != '"';) {
            const char c = line[i++];
            if (c != '\\') {
                arg.text += static_cast<wchar_t>(static_cast<unsigned char>(c));
                continue;
            }
            if (i >= line.size())
                return false;
            const char e = line[i++];
            const std::size_t digits = e == 'x' ? 2 : e == 'u' ? 4 : 0, named = kEscapes.find(e);
            if (digits == 0) {
                arg.text += named % 2 == 0 ? static_cast<wchar_t>(kEscapes[named + 1]) : static_cast<wchar_t>(e);
                continue;
            }
            if (i + digits > line.size() ||
                !std::all_of(line.begin() + static_cast<std::ptrdiff_t>(i),
                             line.begin() + static_cast<std::ptrdiff_t>(i + digits),
                             [](char h) { return std::isxdigit(static_cast<unsigned char>(h)); }))
                return false;
            arg.text += static_cast<wchar_t>(std::stoul(line.substr(i, digits), nullptr, 16));
            i += digits;
        }
        if (i++ >= line.size())
            return false;
        words.push_back(arg);
    }
    return true;
}

std::string Escape(const wchar_t* text, std::size_t count)
{
    std::string out;
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned long c = static_cast<unsigned long>(text[i]);
        const char* named = c == 0 ? "\\0" : c == '\r' ? "\\r" : c == '\n' ? "\\n" : c == '\t' ? "\\t" : nullptr;
        char hex[24];
        if (c == '\\' || c == '"') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else if (named) {
            out += named;
        } else {
            std::snprintf(hex, sizeof hex, "\\u%04lX", c);
            out += hex;
        }
    }
    return out;
}

// The bytes of a script's file text in the named encoding (UTF-8 of the
// basic plane only: the scripts' escapes reach no further).
bool Encode(const std::wstring& encoding, const std::wstring& text, std::string& bytes)
{
    const bool utf16 = encoding == L"utf16", single = encoding == L"bytes";
    bytes = utf16 ? "\xFF\xFE" : encoding == L"utf8bom" ? "\xEF\xBB\xBF" : "";
    auto put = [&](unsigned long b) { bytes += static_cast<char>(b & 0xFF); };
    for (wchar_t wc : text) {
        const unsigned long c = static_cast<unsigned long>(wc);
        if (utf16 || single) {
            put(c);
            if (utf16)
                put(c >> 8);
            if (single && c > 0xFF)
                return false;
        } else if (c < 0x80) {
            put(c);
        } else if (c < 0x800) {
            put(0xC0 | (c >> 6));
            put(0x80 | (c & 0x3F));
        } else {
            put(0xE0 | (c >> 12));
            put(0x80 | ((c >> 6) & 0x3F));
            put(0x80 | (c & 0x3F));
        }
    }
    return utf16 || single || encoding == L"utf8" || encoding == L"utf8bom";
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
        const std::size_t end = std::min<std::size_t>(result + (list && result > 0 ? 2 : 1), size);
        std::string shown =
            std::to_string(static_cast<unsigned long>(result)) + " \"" + Escape(data.data(), end) + "\"";
        return data[size] != kFill ? shown + " OVERRUN" : shown;
    }
    unsigned long size;
    std::vector<wchar_t> data;
};

std::string Dump(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return "file missing";
    std::string out = "file ";
    for (auto b = std::istreambuf_iterator<char>(in); b != std::istreambuf_iterator<char>(); ++b) {
        out += "0123456789ABCDEF"[static_cast<unsigned char>(*b) >> 4];
        out += "0123456789ABCDEF"[static_cast<unsigned char>(*b) & 15];
    }
    return out;
}

std::wstring Widen(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

// Removes the file, or gives it new bytes. A file rewritten in place within
// one clock tick keeps its size and time: the script's own changes must not
// be hidden by a parsed copy.
void Replace(const std::string& path, const std::string* bytes)
{
    if (bytes)
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(bytes->data(), static_cast<std::streamsize>(bytes->size()));
    else
        std::remove(path.c_str());
#ifndef _WIN32
    zv::ClearProfileCache();
#endif
}

// Performs one operation of a script (its words w, at most one size each)
// and returns what is printed for it.
std::string Perform(const std::vector<Arg>& w, const std::wstring& file)
{
    const std::wstring& op = w[0].text;
    if (op == L"get" || op == L"sect" || op == L"names") {
        Buffer buf(w.back().text);
        DWORD got = 0;
        if (op == L"get")
            got = GetPrivateProfileStringW(w[1].ptr(), w[2].ptr(), w[3].ptr(), buf.data.data(), buf.size, file.c_str());
        else if (op == L"sect")
            got = GetPrivateProfileSectionW(w[1].ptr(), buf.data.data(), buf.size, file.c_str());
        else
            got = GetPrivateProfileSectionNamesW(buf.data.data(), buf.size, file.c_str());
        return buf.Shown(got, op != L"get" || !w[1].ptr() || !w[2].ptr());
    }
    if (op == L"write")
        return WritePrivateProfileStringW(w[1].ptr(), w[2].ptr(), w[3].ptr(), file.c_str()) ? "ok" : "fail";
    const std::wstring lines = w[2].text + L'\0' + L'\0';
    return WritePrivateProfileSectionW(w[1].ptr(), w[2].null ? nullptr : lines.c_str(), file.c_str()) ? "ok" : "fail";
}

int Run(const std::string& scriptPath, const std::string& filePath)
{
    // The arguments of each operation; a read may be given more sizes.
    static const std::map<std::wstring, std::size_t> kArguments = {{L"seq", 1},   {L"put", 2},   {L"rm", 0},
                                                                   {L"get", 4},   {L"sect", 2},  {L"names", 1},
                                                                   {L"write", 3}, {L"wsect", 2}, {L"dump", 0}};
    std::ifstream script(scriptPath);
    if (!script) {
        std::fprintf(stderr, "cannot read %s\n", scriptPath.c_str());
        return 2;
    }
    const std::wstring file = Widen(filePath);
    std::string line;
    for (int number = 1; std::getline(script, line); ++number) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        const std::string marker = line[0] == '?' ? "?" : "";
        line.erase(0, marker.size());
        std::vector<Arg> w;
        const auto known = SplitLine(line, w) && !w.empty() ? kArguments.find(w[0].text) : kArguments.end();
        const std::wstring op = known == kArguments.end() ? L"" : known->first;
        const std::size_t sizeAt = op.empty() ? 0 : known->second;
        const bool read = op == L"get" || op == L"sect" || op == L"names";
        std::string bytes;
        if (op.empty() || w.size() < sizeAt + 1 || (w.size() > sizeAt + 1 && !read) ||
            (op == L"put" && !Encode(w[1].text, w[2].text, bytes))) {
            std::fprintf(stderr, "%s:%d: malformed line\n", scriptPath.c_str(), number);
            return 2;
        }
        if (op == L"seq" || op == L"rm" || op == L"put")
            Replace(filePath, op == L"put" ? &bytes : nullptr);
        if (op == L"seq")
            std::printf("seq %s\n", line.substr(4).c_str());
        else if (op == L"dump")
            std::printf("%s%s -> %s\n", marker.c_str(), line.c_str(), Dump(filePath).c_str());
        else if (op != L"rm" && op != L"put")
            // A read of several sizes prints a line for each, as if written one by one.
            for (std::size_t size = sizeAt; size < w.size(); ++size) {
                std::vector<Arg> one(w.begin(), w.begin() + static_cast<std::ptrdiff_t>(sizeAt));
                one.push_back(w[size]);
                const std::string shown =
                    w.size() == sizeAt + 1
                        ? line
                        : line.substr(0, w[sizeAt].start) + std::string(one.back().text.begin(), one.back().text.end());
                std::printf("%s%s -> %s\n", marker.c_str(), shown.c_str(), Perform(one, file).c_str());
            }
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
            // A header, or in a free place a comment, a blank or a bare line
            // instead; a key line three times in seven.
            static const char* const kOthers[] = {nullptr, "; note", "", "bare line"};
            const unsigned long kind = Next(7);
            const bool other[] = {false, free, m_free, free};
            const std::string line = kind >= 4     ? FileKey() + (m_free && Next(2) ? " = " : "=") + Value()
                                     : other[kind] ? kOthers[kind]
                                                   : header;
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
        const unsigned long kind = Next(12);
        if (kind <= 4 && kind != 3)
            return "write " + Quote(Section()) + " " + Quote(Key()) + " " + Quote(Value());
        if (kind == 3)
            return Next(4) == 0 ? "write " + Quote(Section()) + " ~ ~"
                                : "write " + Quote(Section()) + " " + Quote(Key()) + " ~";
        if (kind == 5)
            return "wsect " + Quote(Section()) + " " +
                   Quote(Pick({"a=1", "a=1\\0b=2", "", m_free ? "c=3\\0;d=4" : "c=3\\0d=4"}));
        if (kind <= 7)
            return "get " + Quote(Section()) + " " + Quote(Key()) + " " + Quote(Pick({"def", "", " pad "})) + " " +
                   Size();
        if (kind == 8)
            return ListOp("get " + Quote(Section()) + " ~ \"\"", Size());
        return kind == 9 ? ListOp("get ~ ~ \"\"", Size())
                         : ListOp(kind == 10 ? "sect " + Quote(Section()) : "names", Size());
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

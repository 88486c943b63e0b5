// Runs a script of profile operations on one file and prints every result, so that the Windows build (system
// functions) and the native one (ours) can be compared line by line (compare.sh).
//   profile_script run SCRIPT FILE  |  profile_script generate SEED COUNT
// Operations: seq NAME (file removed), put utf16|utf8bom|utf8|bytes TEXT, get SEC KEY DEF SIZE..., sect SEC SIZE...,
// names SIZE..., write SEC KEY VALUE, wsect SEC LINES, dump. Quoted words take \\ \" \0 \r \n \t \xHH \uHHHH; ~ is
// null. '#' starts a comment; a '?' line is a known difference, not compared.
#ifdef _WIN32
#include <windows.h>
#else
#include <zvenv/platform/Profile.h>
#endif

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

struct Word {
    std::wstring text;
    bool null = false;     // written ~
    std::size_t start = 0; // where it starts in its line
    const wchar_t* ptr() const { return null ? nullptr : text.c_str(); }
};

// The escapes' letters and the characters they stand for.
const std::string kLetters("\\\"0rnt"), kChars("\\\"\0\r\n\t", 6);

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

// The words of a line, quoted ones with their escapes decoded; false when malformed.
bool Split(const std::string& line, std::vector<Word>& words)
{
    for (std::size_t i = line.find_first_not_of(' '); i < line.size(); i = line.find_first_not_of(' ', i)) {
        Word word{{}, false, i};
        const char end = line[i] == '"' ? '"' : ' ';
        for (i += end == '"'; i < line.size() && line[i] != end; ++i) {
            if (end == ' ' || line[i] != '\\') {
                word.text += static_cast<wchar_t>(static_cast<unsigned char>(line[i]));
                continue;
            }
            if (++i >= line.size())
                return false;
            const std::size_t digits = line[i] == 'x' ? 2 : line[i] == 'u' ? 4 : 0, at = kLetters.find(line[i]);
            const std::string hex = line.substr(i + 1, digits);
            if (hex.size() < digits || hex.find_first_not_of("0123456789ABCDEFabcdef") != std::string::npos)
                return false;
            word.text += static_cast<wchar_t>(digits                    ? std::stoul(hex, nullptr, 16)
                                              : at != std::string::npos ? kChars[at]
                                                                        : line[i]);
            i += digits;
        }
        if (end == '"' && i++ >= line.size())
            return false;
        word.null = end == ' ' && word.text == L"~";
        words.push_back(word);
    }
    return true;
}

std::string Escape(const wchar_t* text, std::size_t count)
{
    std::string out;
    for (const wchar_t* c = text; c != text + count; ++c) {
        const std::size_t at = *c < 0x80 ? kChars.find(static_cast<char>(*c)) : std::string::npos;
        char hex[16];
        std::snprintf(hex, sizeof hex, "\\u%04lX", static_cast<unsigned long>(*c));
        out += at != std::string::npos   ? std::string{'\\', kLetters[at]}
               : *c >= 0x20 && *c < 0x7F ? std::string(1, static_cast<char>(*c))
                                         : hex;
    }
    return out;
}

// UTF-8 of the basic plane only: the escapes reach no further.
bool Encode(const std::string& encoding, const std::wstring& text, std::string& bytes)
{
    const bool utf16 = encoding == "utf16", single = encoding == "bytes";
    bytes = utf16 ? "\xFF\xFE" : encoding == "utf8bom" ? "\xEF\xBB\xBF" : "";
    for (const wchar_t wc : text) {
        const auto c = static_cast<unsigned long>(wc);
        if (single && c > 0xFF)
            return false;
        if (utf16 || single || c < 0x80)
            bytes += utf16 ? std::string{static_cast<char>(c), static_cast<char>(c >> 8)}
                           : std::string(1, static_cast<char>(c));
        else if (c < 0x800)
            bytes += {static_cast<char>(0xC0 | c >> 6), static_cast<char>(0x80 | (c & 0x3F))};
        else
            bytes += {static_cast<char>(0xE0 | c >> 12), static_cast<char>(0x80 | (c >> 6 & 0x3F)),
                      static_cast<char>(0x80 | (c & 0x3F))};
    }
    return utf16 || single || encoding == "utf8" || encoding == "utf8bom";
}

std::string Dump(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::string out = in ? "file " : "file missing";
    char hex[3];
    for (char c; in.get(c);)
        out.append(hex, std::snprintf(hex, sizeof hex, "%02X", static_cast<unsigned char>(c)));
    return out;
}

// Prints the count and what a caller may rely on (value or list with its nulls, cut to the size); '#' past it stays.
std::string Read(const std::string& op, const std::vector<Word>& w, const std::string& sizeText, const wchar_t* file)
{
    const auto size = static_cast<DWORD>(std::strtoul(sizeText.c_str(), nullptr, 10));
    std::vector<wchar_t> data(size + 1, L'#');
    const DWORD got = op == "names" ? GetPrivateProfileSectionNamesW(data.data(), size, file)
                      : op == "sect"
                          ? GetPrivateProfileSectionW(w[1].ptr(), data.data(), size, file)
                          : GetPrivateProfileStringW(w[1].ptr(), w[2].ptr(), w[3].ptr(), data.data(), size, file);
    const bool list = op != "get" || w[1].null || w[2].null;
    const std::size_t shown = std::min<std::size_t>(got + (list && got > 0 ? 2 : 1), size);
    return std::to_string(got) + " \"" + Escape(data.data(), shown) + "\"" + (data[size] != L'#' ? " OVERRUN" : "");
}

int Run(const std::string& scriptPath, const std::string& filePath)
{
    static const std::map<std::string, std::size_t> kWords = {{"seq", 1},   {"put", 2},   {"get", 4},   {"sect", 2},
                                                              {"names", 1}, {"write", 3}, {"wsect", 2}, {"dump", 0}};
    std::ifstream script(scriptPath);
    const std::wstring file(filePath.begin(), filePath.end());
    std::string line;
    for (int number = 1; script && std::getline(script, line); ++number) {
        if (line.empty() || line[0] == '#')
            continue;
        const std::string marker = line[0] == '?' ? "?" : "";
        line.erase(0, marker.size());
        std::vector<Word> w;
        const auto known = kWords.find(Split(line, w) && !w.empty() ? Narrow(w[0].text) : "");
        const std::string op = known == kWords.end() ? "" : known->first;
        const std::size_t n = op.empty() ? 0 : known->second + 1; // the words of one run
        const bool read = op == "get" || op == "sect" || op == "names";
        std::string bytes;
        if (op.empty() || w.size() < n || (w.size() > n && !read) ||
            (op == "put" && !Encode(Narrow(w[1].text), w[2].text, bytes))) {
            std::fprintf(stderr, "%s:%d: malformed line\n", scriptPath.c_str(), number);
            return 2;
        }
        if (op == "put")
            std::ofstream(filePath, std::ios::binary | std::ios::trunc)
                .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        else if (op == "seq")
            std::remove(filePath.c_str());
#ifndef _WIN32
        // A file rewritten within one clock tick may keep its size and time: the parsed copy goes.
        if (op == "seq" || op == "put")
            zv::ClearProfileCache();
#endif
        const std::wstring lines = w.back().text + L'\0' + L'\0';
        if (op == "seq")
            std::printf("%s\n", line.c_str());
        else if (op == "dump")
            std::printf("%s%s -> %s\n", marker.c_str(), line.c_str(), Dump(filePath).c_str());
        else if (op == "write" || op == "wsect")
            std::printf("%s%s -> %s\n", marker.c_str(), line.c_str(),
                        (op == "write" ? WritePrivateProfileStringW(w[1].ptr(), w[2].ptr(), w[3].ptr(), file.c_str())
                                       : WritePrivateProfileSectionW(w[1].ptr(), w[2].null ? nullptr : lines.c_str(),
                                                                     file.c_str()))
                            ? "ok"
                            : "fail");
        for (std::size_t size = n - 1; read && size < w.size(); ++size)
            std::printf("%s%s%s -> %s\n", marker.c_str(), line.substr(0, w[n - 1].start).c_str(),
                        Narrow(w[size].text).c_str(), Read(op, w, Narrow(w[size].text), file.c_str()).c_str());
    }
    if (!script.eof())
        std::fprintf(stderr, "cannot read %s\n", scriptPath.c_str());
    return script.eof() ? 0 : 2;
}

// Random sequences over a small vocabulary, so that names, case variants, quotes and comments meet often. Odd ones add
// blanks, blank lines and other line ends (the reference drops them, the platform keeps them): only even ones compare
// bytes.
class Generator {
public:
    explicit Generator(unsigned long seed) : m_state(seed * 2654435761u + 1) {}

    void Sequence(int index, std::string& out)
    {
        m_free = index % 2 == 1;
        out += "seq random-" + std::to_string(index) + "\nput " + Pick({"utf16", "utf16", "utf8", "utf8bom"}) + " \"" +
               StartText() + "\"\n";
        for (int i = 20 + static_cast<int>(Next(30)); i > 0; --i)
            out += Operation() + "\n";
        out += std::string(m_free ? "?" : "") + "dump\n";
    }

private:
    unsigned long Next(unsigned long bound)
    {
        m_state = m_state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<unsigned long>((m_state >> 33) % bound);
    }
    std::string Pick(std::initializer_list<const char*> items) { return items.begin()[Next(items.size())]; }
    std::string Section() { return Pick({"Main", "main", "MAIN", "View", "view", "Other", "A b"}); }
    std::string Key() { return Pick({"k", "K", "name", "Name", "x y", "v"}); }
    std::string Value()
    {
        if (m_free && Next(5) == 0)
            return Pick({" padded ", "\\tlead", "trail\\t"});
        return Pick({"1", "", "two words", "\\\"quoted\\\"", "'single'", "\\\"half", "a=b", "x;y", "[not]"});
    }
    // No duplicate sections or empty files; the reference puts a new key after any line of its section, so bare
    // lines (and in even sequences comments) come before the first section only.
    std::string StartText()
    {
        const std::string end = m_free ? Pick({"\\r\\n", "\\n", "\\r"}) : "\\r\\n";
        std::set<std::string> headers; // lower case, without blanks
        std::string text;
        for (int i = static_cast<int>(Next(10)); i > 0; --i) {
            const bool free = m_free || headers.empty();
            const unsigned long kind = Next(7);
            std::string line = m_free ? Pick({"Main", "main", " Main ", "View", "Other", "A b"}) : Section(), folded;
            for (char c : line)
                folded +=
                    c == ' ' ? "" : std::string(1, static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
            if (kind >= 4)
                line = (m_free ? Pick({"k", "K", " k", "k ", "Name", "x y", "\\tv"}) : Key()) +
                       (m_free && Next(2) ? " = " : "=") + Value();
            else if ((kind == 1 && free) || (kind == 3 && headers.empty()))
                line = kind == 1 ? "; note" : "bare line";
            else if (kind == 2 && m_free)
                line = "";
            else if (headers.insert(folded).second)
                line = "[" + line + "]";
            else if (free)
                line = "; note";
            else
                continue;
            text += line + end;
        }
        if (m_free && Next(4) == 0 && !text.empty())
            text.resize(text.size() - end.size());
        return text.empty() ? "; empty" + end : text;
    }
    // The reference writes past a list buffer of 0 or 1 characters.
    std::string Size() { return Pick({"0", "1", "2", "3", "5", "8", "256", "256", "256"}); }
    std::string Operation()
    {
        const unsigned long kind = Next(12);
        const std::string section = " \"" + Section() + "\"", key = " \"" + Key() + "\"";
        if (kind < 5)
            return "write" + section + (kind > 0 ? key + " \"" + Value() + "\"" : Next(4) ? key + " ~" : " ~ ~");
        if (kind == 5)
            return "wsect" + section + " \"" + Pick({"a=1", "a=1\\0b=2", "", m_free ? "c=3\\0;d=4" : "c=3\\0d=4"}) +
                   "\"";
        if (kind < 8)
            return "get" + section + key + " \"" + Pick({"def", "", " pad "}) + "\" " + Size();
        const std::string size = Size(); // a list
        return (size == "0" || size == "1" ? "?" : "") +
               (kind == 8    ? "get" + section + " ~ \"\""
                : kind == 9  ? "get ~ ~ \"\""
                : kind == 10 ? "sect" + section
                             : "names") +
               " " + size;
    }

    unsigned long long m_state;
    bool m_free = false;
};

} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc == 4 ? argv[1] : "";
    if (mode == "run")
        return Run(argv[2], argv[3]);
    if (mode != "generate") {
        std::fprintf(stderr, "usage: %s run SCRIPT FILE | generate SEED COUNT\n", argv[0]);
        return 2;
    }
    Generator generator(std::strtoul(argv[2], nullptr, 10));
    std::string out;
    for (int i = 0; i < std::atoi(argv[3]); ++i)
        generator.Sequence(i, out);
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

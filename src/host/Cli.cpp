#include "Cli.h"

#include <zvenv/ZvUtil.h>
#include <zvenv/platform/Os.h>
#include <zvenv/platform/Text.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace zvenv {

Args::Args(const Words& words, const Words& valueOptions)
{
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& w = words[i];
        if (w == "--") {
            m_positional.insert(m_positional.end(), words.begin() + static_cast<long>(i) + 1, words.end());
            break;
        }
        const bool isLong = w.size() > 2 && w.compare(0, 2, "--") == 0;
        if (!isLong && w != "-h") {
            m_positional.push_back(w);
            continue;
        }
        std::string name = isLong ? w.substr(2) : "h";
        std::string value;
        const auto eq = name.find('=');
        if (eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
        } else if (std::find(valueOptions.begin(), valueOptions.end(), name) != valueOptions.end()) {
            if (i + 1 >= words.size()) {
                if (m_error.empty())
                    m_error = "--" + name + " needs a value";
                continue;
            }
            value = words[++i];
        }
        m_options[name] = value;
    }
}

std::string Args::Value(const std::string& option, const std::string& def) const
{
    const auto it = m_options.find(option);
    return it == m_options.end() ? def : it->second;
}

std::string Args::Unknown(const Words& known) const
{
    std::string unknown;
    for (const auto& option : m_options) {
        if (option.first == "help" || option.first == "h")
            continue;
        if (std::find(known.begin(), known.end(), option.first) == known.end())
            unknown += (unknown.empty() ? "--" : " --") + option.first;
    }
    return unknown;
}

CString Wide(const std::string& utf8)
{
    return CString(utf8.c_str());
}
std::string Narrow(const CString& text)
{
    return text.ToUtf8();
}
bool IsUtf8(const std::string& bytes)
{
    std::wstring ignored;
    return zv::text::DecodeUtf8(bytes, ignored);
}

void Error(const std::string& line)
{
    zv::os::WriteStandard(2, line + "\n");
}

int Fail(const std::string& message)
{
    Error("zvenv: " + message);
    return kFailed;
}

int Usage(const std::string& message, const char* help)
{
    if (!message.empty())
        Error("zvenv: " + message);
    // The synopsis lines only; --help gives the rest.
    const std::string text(help);
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string line = text.substr(start, end - start);
        if (line.compare(0, 6, "usage:") != 0 && line.compare(0, 12, "       zvenv") != 0)
            break;
        Error(line);
        start = end + 1;
    }
    Error("(--help for more)");
    return kUsage;
}

int Unstorable(const std::string& message)
{
    Error("zvenv: " + message);
    return kUsage;
}

void Warn(const std::string& message)
{
    Error("zvenv: warning: " + message);
}

int Help(const char* help)
{
    zv::os::WriteStandard(1, help);
    return kOk;
}

void Print(const std::string& line)
{
    zv::os::WriteStandard(1, line + "\n");
}
void Print(const CString& line)
{
    Print(Narrow(line));
}

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}
bool HasBlankEnd(const std::string& text)
{
    return !text.empty() && (IsBlank(text.front()) || IsBlank(text.back()));
}
bool HasLineBreak(const std::string& text)
{
    return text.find_first_of("\r\n") != std::string::npos;
}

} // namespace

std::string IniSectionProblem(const std::string& section)
{
    if (section.empty())
        return "a section name cannot be empty";
    if (HasLineBreak(section))
        return "it holds a line break, which would start a new line in the file";
    if (section.find(']') != std::string::npos)
        return "it holds ']', which ends a section name in the file";
    if (HasBlankEnd(section))
        return "it starts or ends with a blank, which reading drops";
    return std::string();
}

std::string IniKeyProblem(const std::string& key)
{
    if (key.empty())
        return "a key cannot be empty";
    if (HasLineBreak(key))
        return "it holds a line break, which would start a new line in the file";
    if (key.find('=') != std::string::npos)
        return "it holds '=', which ends a key in the file";
    if (key.front() == '[')
        return "it starts with '[', which the file reads as a section";
    if (key.front() == ';')
        return "it starts with ';', which the file reads as a comment";
    if (HasBlankEnd(key))
        return "it starts or ends with a blank, which reading drops";
    return std::string();
}

std::string IniValueProblem(const std::string& value)
{
    if (HasLineBreak(value))
        return "it holds a line break, which would start a new line in the file";
    if (HasBlankEnd(value))
        return "it starts or ends with a blank, which reading drops";
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return "it is enclosed in quotes, which reading removes";
    return std::string();
}

namespace {

const std::pair<const char*, ValueType> kTypes[] = {
    {"string", ValueType::String}, {"int", ValueType::Int},   {"double", ValueType::Double},
    {"point", ValueType::Point},   {"rect", ValueType::Rect}, {"size", ValueType::Size},
    {"rgb", ValueType::Rgb},       {"bool", ValueType::Bool}, {"null", ValueType::Null},
};

} // namespace

const char* ValueTypeName(ValueType type)
{
    for (const auto& entry : kTypes)
        if (entry.second == type)
            return entry.first;
    return "string";
}

bool ParseValueType(const std::string& name, ValueType& type)
{
    if (name.empty()) {
        type = ValueType::String;
        return true;
    }
    for (const auto& entry : kTypes) {
        if (name == entry.first) {
            type = entry.second;
            return true;
        }
    }
    return false;
}

namespace {

bool ParseInt(const std::string& text, long low, long high, long& out)
{
    if (text.empty() || std::isspace(static_cast<unsigned char>(text[0])))
        return false;
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < low || v > high)
        return false;
    out = v;
    return true;
}

// "a,b,c": exactly `count` integers between low and high, blanks allowed
// around each.
bool ParseInts(const std::string& text, std::size_t count, long low, long high, std::vector<long>& out)
{
    out.clear();
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        std::string piece = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        piece.erase(0, piece.find_first_not_of(' '));
        piece.erase(piece.find_last_not_of(' ') + 1);
        long v = 0;
        if (!ParseInt(piece, low, high, v))
            return false;
        out.push_back(v);
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return out.size() == count;
}

} // namespace

bool ParseValue(ValueType type, const std::string& text, Value& value, std::string& reason)
{
    value.type = type;
    value.text = Wide(text);
    std::vector<long> n;
    switch (type) {
    case ValueType::String:
        return true;
    case ValueType::Int: {
        long v = 0;
        if (!ParseInt(text, INT_MIN, INT_MAX, v)) {
            reason = "'" + text + "' is not a 32-bit integer";
            return false;
        }
        value.i = static_cast<int>(v);
        return true;
    }
    case ValueType::Double: {
        char* end = nullptr;
        errno = 0;
        value.d = std::strtod(text.c_str(), &end);
        if (text.empty() || std::isspace(static_cast<unsigned char>(text[0])) || *end != '\0' || errno == ERANGE ||
            !std::isfinite(value.d)) {
            reason = "'" + text + "' is not a number";
            return false;
        }
        return true;
    }
    case ValueType::Point:
    case ValueType::Size:
        if (!ParseInts(text, 2, INT_MIN, INT_MAX, n)) {
            reason = "'" + text + "' is not two integers X,Y";
            return false;
        }
        value.point = CPoint(static_cast<int>(n[0]), static_cast<int>(n[1]));
        value.size = CSize(static_cast<int>(n[0]), static_cast<int>(n[1]));
        return true;
    case ValueType::Rect:
        if (!ParseInts(text, 4, INT_MIN, INT_MAX, n)) {
            reason = "'" + text + "' is not four integers LEFT,TOP,RIGHT,BOTTOM";
            return false;
        }
        value.rect =
            CRect(static_cast<int>(n[0]), static_cast<int>(n[1]), static_cast<int>(n[2]), static_cast<int>(n[3]));
        return true;
    case ValueType::Rgb:
        if (!ParseInts(text, 3, 0, 255, n)) {
            reason = "'" + text + "' is not a colour R,G,B (each 0 to 255)";
            return false;
        }
        value.rgb = static_cast<unsigned long>(n[0]) | static_cast<unsigned long>(n[1]) << 8 |
                    static_cast<unsigned long>(n[2]) << 16;
        return true;
    case ValueType::Bool:
        if (text != "true" && text != "false") {
            reason = "'" + text + "' is not true or false";
            return false;
        }
        value.flag = text == "true";
        return true;
    case ValueType::Null:
        if (text != "null") {
            reason = "'" + text + "' is not null";
            return false;
        }
        return true;
    }
    return false;
}

CString StoredText(const Value& value)
{
    switch (value.type) {
    case ValueType::Int:
        return CString(std::to_wstring(value.i));
    case ValueType::Double:
        return FormatDouble(value.d);
    case ValueType::Point:
        return PointToString(value.point, L",");
    case ValueType::Size:
        return SizeToString(value.size, L",");
    case ValueType::Rect:
        return RectToString(value.rect, L",");
    case ValueType::Rgb:
        return RGBToString(value.rgb, L",");
    case ValueType::Bool:
        return value.flag ? CString(L"true") : CString(L"false");
    case ValueType::Null:
        return CString(L"null");
    case ValueType::String:
        break;
    }
    return value.text;
}

CString FormatDouble(double value)
{
    char buffer[64];
    for (int precision = 6; precision <= 17; ++precision) {
        std::snprintf(buffer, sizeof buffer, "%.*g", precision, value);
        if (std::strtod(buffer, nullptr) == value)
            break;
    }
    return CString(buffer);
}

} // namespace zvenv

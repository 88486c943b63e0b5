#pragma once

#include <zvenv/platform/CString.h>
#include <zvenv/platform/Geometry.h>

#include <map>
#include <string>
#include <vector>

namespace zvenv {

using Words = std::vector<std::string>;

// The words of one command line: options (--name, --name VALUE or
// --name=VALUE) and the positional words in order. "--" ends the options, so
// a value that starts with "--" can still be given.
class Args {
public:
    // valueOptions: the options that take a value.
    Args(const Words& words, const Words& valueOptions);

    bool Has(const std::string& option) const { return m_options.count(option) != 0; }
    std::string Value(const std::string& option, const std::string& def = std::string()) const;
    const Words& Positional() const { return m_positional; }
    std::string At(std::size_t index) const
    {
        return index < m_positional.size() ? m_positional[index] : std::string();
    }
    std::size_t Count() const { return m_positional.size(); }
    bool WantsHelp() const { return Has("help") || Has("h"); }
    // The options given that are not in `known`, as "--a --b"; empty when none.
    std::string Unknown(const Words& known) const;
    // The first problem found while reading the words, empty when none.
    const std::string& Error() const { return m_error; }

private:
    std::map<std::string, std::string> m_options;
    Words m_positional;
    std::string m_error;
};

CString Wide(const std::string& utf8);
std::string Narrow(const CString& text);
bool IsUtf8(const std::string& bytes);

// Exit codes of the host.
constexpr int kOk = 0;
constexpr int kFailed = 1; // not found, refused, not saved
constexpr int kUsage = 2;  // the command line is wrong, or asks for what cannot be stored as given

int Fail(const std::string& message);                    // "zvenv: message" on stderr; kFailed
int Usage(const std::string& message, const char* help); // the message and the synopsis on stderr; kUsage
int Unstorable(const std::string& message);              // "zvenv: message" on stderr; kUsage
void Warn(const std::string& message);                   // "zvenv: warning: message" on stderr
int Help(const char* help);                              // the help on stdout; kOk
void Print(const std::string& line);
void Print(const CString& line);

// Why a section name, key or value would not read back from an INI file as
// it was written (the profile functions trim, unquote and split lines);
// empty when it would.
std::string IniSectionProblem(const std::string& section);
std::string IniKeyProblem(const std::string& key);
std::string IniValueProblem(const std::string& value);

// The value types of --type, in the text forms the documents store; bool
// and null exist in JSON documents only.
enum class ValueType { String, Int, Double, Point, Rect, Size, Rgb, Bool, Null };

// False for a name that is not one of string, int, double, point, rect,
// size, rgb, bool, null; empty text is string.
bool ParseValueType(const std::string& name, ValueType& type);
const char* ValueTypeName(ValueType type);

// A value given on the command line, checked against its type: whole text
// read, numbers in range, colours 0 to 255. False with the reason otherwise.
struct Value {
    ValueType type = ValueType::String;
    CString text;
    int i = 0;
    double d = 0;
    CPoint point;
    CSize size;
    CRect rect;
    unsigned long rgb = 0;
    bool flag = false;
};
bool ParseValue(ValueType type, const std::string& text, Value& value, std::string& reason);

// A number as the host prints it: the shortest text that reads back the same.
CString FormatDouble(double value);
// The value's text in the form the documents store (the utility library's
// forms for points, sizes, rectangles and colours).
CString StoredText(const Value& value);

} // namespace zvenv

#pragma once

#include <zvenv/platform/CString.h>

#include <map>
#include <string>
#include <vector>

namespace zvenv {

// The words of one command line: options (--name or --name VALUE) and the
// positional words, in order.
class Args {
public:
    // valueOptions: the options that take a value.
    Args(const std::vector<std::string>& words, const std::vector<std::string>& valueOptions);

    bool Has(const std::string& option) const { return m_options.count(option) != 0; }
    std::string Value(const std::string& option, const std::string& def = std::string()) const;
    const std::vector<std::string>& Positional() const { return m_positional; }
    std::string At(std::size_t index) const { return index < m_positional.size() ? m_positional[index] : std::string(); }
    std::size_t Count() const { return m_positional.size(); }
    // The first problem found while reading the words, empty when none.
    const std::string& Error() const { return m_error; }

private:
    std::map<std::string, std::string> m_options;
    std::vector<std::string> m_positional;
    std::string m_error;
};

CString Wide(const std::string& utf8);
std::string Narrow(const CString& text);

// Exit codes of the host.
constexpr int kOk = 0;
constexpr int kFailed = 1;   // the library could not do it (refused, missing, unreadable)
constexpr int kUsage = 2;    // the command line is wrong

int Fail(const std::string& message);  // prints "zvenv: message" to stderr, returns kFailed
int Usage(const std::string& message, const char* help);  // prints the message and the help, returns kUsage
void Print(const std::string& line);
void Print(const CString& line);

} // namespace zvenv

#include "Cli.h"

#include <algorithm>
#include <cstdio>

namespace zvenv {

Args::Args(const std::vector<std::string>& words, const std::vector<std::string>& valueOptions)
{
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& w = words[i];
        if (w.size() > 2 && w.compare(0, 2, "--") == 0) {
            std::string name = w.substr(2);
            std::string value;
            const auto eq = name.find('=');
            if (eq != std::string::npos) {
                value = name.substr(eq + 1);
                name.resize(eq);
            } else if (std::find(valueOptions.begin(), valueOptions.end(), name) != valueOptions.end()) {
                if (i + 1 >= words.size()) {
                    m_error = "--" + name + " needs a value";
                    continue;
                }
                value = words[++i];
            }
            m_options[name] = value;
        } else if (w == "--") {
            m_positional.insert(m_positional.end(), words.begin() + static_cast<long>(i) + 1, words.end());
            break;
        } else {
            m_positional.push_back(w);
        }
    }
}

std::string Args::Value(const std::string& option, const std::string& def) const
{
    const auto it = m_options.find(option);
    return it == m_options.end() ? def : it->second;
}

CString Wide(const std::string& utf8) { return CString(utf8.c_str()); }
std::string Narrow(const CString& text) { return text.ToUtf8(); }

int Fail(const std::string& message)
{
    std::fprintf(stderr, "zvenv: %s\n", message.c_str());
    return kFailed;
}

int Usage(const std::string& message, const char* help)
{
    if (!message.empty())
        std::fprintf(stderr, "zvenv: %s\n", message.c_str());
    std::fputs(help, stderr);
    return kUsage;
}

void Print(const std::string& line) { std::printf("%s\n", line.c_str()); }
void Print(const CString& line) { Print(Narrow(line)); }

} // namespace zvenv

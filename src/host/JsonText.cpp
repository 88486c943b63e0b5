#include "JsonText.h"

#include <zvenv/platform/Text.h>

#include <cstdio>

namespace zvenv {

JsonValue JsonValue::Str(std::wstring text)
{
    JsonValue v;
    v.type = String;
    v.text = std::move(text);
    return v;
}
JsonValue JsonValue::Num(std::wstring text)
{
    JsonValue v;
    v.type = Number;
    v.text = std::move(text);
    return v;
}
JsonValue JsonValue::Bool(bool value)
{
    JsonValue v;
    v.type = Boolean;
    v.text = value ? L"true" : L"false";
    return v;
}
JsonValue JsonValue::Arr()
{
    JsonValue v;
    v.type = Array;
    return v;
}
JsonValue JsonValue::Obj()
{
    JsonValue v;
    v.type = Object;
    return v;
}

JsonValue& JsonValue::Add(JsonValue value, std::wstring memberName)
{
    value.name = std::move(memberName);
    items.push_back(std::move(value));
    return items.back();
}

const JsonValue* JsonValue::Find(std::wstring_view memberName) const
{
    for (const JsonValue& item : items)
        if (item.name == memberName)
            return &item;
    return nullptr;
}

const char* TypeName(JsonValue::Type type)
{
    static const char* const kNames[] = {"null", "a string", "a number", "a boolean", "an array", "an object"};
    return kNames[type];
}

namespace {

class Reader {
public:
    explicit Reader(std::wstring_view text) : m_text(text) {}

    bool Document(JsonValue& out)
    {
        if (!Value(out, 0))
            return false;
        Blanks();
        return m_pos == m_text.size() || Fail("text after the end of the document");
    }

    std::string Error() const { return "line " + std::to_string(Line()) + ": " + m_error; }

private:
    static constexpr int kMaxDepth = 1000; // as the library's grammar

    bool Fail(const std::string& reason)
    {
        if (m_error.empty())
            m_error = reason;
        return false;
    }
    int Line() const
    {
        int line = 1;
        for (std::size_t i = 0; i < m_pos && i < m_text.size(); ++i)
            line += m_text[i] == L'\n';
        return line;
    }
    wchar_t Peek() const { return m_pos < m_text.size() ? m_text[m_pos] : 0; }

    // Blanks and comments.
    void Blanks()
    {
        while (m_pos < m_text.size()) {
            const wchar_t c = m_text[m_pos];
            if (c == L' ' || c == L'\t' || c == L'\r' || c == L'\n') {
                ++m_pos;
            } else if (m_text.compare(m_pos, 2, L"//") == 0) {
                while (m_pos < m_text.size() && m_text[m_pos] != L'\n')
                    ++m_pos;
            } else if (m_text.compare(m_pos, 2, L"/*") == 0) {
                const std::size_t end = m_text.find(L"*/", m_pos + 2);
                m_pos = end == std::wstring_view::npos ? m_text.size() : end + 2;
            } else {
                break;
            }
        }
    }

    bool Value(JsonValue& out, int depth)
    {
        if (depth >= kMaxDepth)
            return Fail("nested too deeply");
        Blanks();
        const wchar_t c = Peek();
        if (c == L'{')
            return Members(out, depth);
        if (c == L'[')
            return Elements(out, depth);
        if (c == L'"') {
            out.type = JsonValue::String;
            return String(out.text);
        }
        if (c == L'-' || (c >= L'0' && c <= L'9'))
            return Number(out);
        for (const auto& literal :
             {std::make_pair(L"true", JsonValue::Boolean), std::make_pair(L"false", JsonValue::Boolean),
              std::make_pair(L"null", JsonValue::Null)}) {
            const std::wstring_view word(literal.first);
            if (m_text.compare(m_pos, word.size(), word) == 0) {
                m_pos += word.size();
                out.type = literal.second;
                out.text = literal.second == JsonValue::Null ? L"" : std::wstring(word);
                return true;
            }
        }
        return Fail(c ? "a value was expected" : "the text ends where a value was expected");
    }

    bool Members(JsonValue& out, int depth)
    {
        out.type = JsonValue::Object;
        ++m_pos;
        Blanks();
        if (Peek() == L'}') {
            ++m_pos;
            return true;
        }
        while (true) {
            Blanks();
            std::wstring name;
            if (Peek() != L'"')
                return Fail("a member name in quotes was expected");
            if (!String(name))
                return false;
            Blanks();
            if (Peek() != L':')
                return Fail("':' was expected after a member name");
            ++m_pos;
            JsonValue member;
            if (!Value(member, depth + 1))
                return false;
            out.Add(std::move(member), std::move(name));
            Blanks();
            if (Peek() == L',') {
                ++m_pos;
                Blanks();
                // One trailing comma is read and dropped.
                if (Peek() == L'}') {
                    ++m_pos;
                    return true;
                }
                continue;
            }
            if (Peek() == L'}') {
                ++m_pos;
                return true;
            }
            return Fail("',' or '}' was expected");
        }
    }

    bool Elements(JsonValue& out, int depth)
    {
        out.type = JsonValue::Array;
        ++m_pos;
        Blanks();
        if (Peek() == L']') {
            ++m_pos;
            return true;
        }
        while (true) {
            JsonValue element;
            if (!Value(element, depth + 1))
                return false;
            out.Add(std::move(element));
            Blanks();
            if (Peek() == L',') {
                ++m_pos;
                Blanks();
                if (Peek() == L']') {
                    ++m_pos;
                    return true;
                }
                continue;
            }
            if (Peek() == L']') {
                ++m_pos;
                return true;
            }
            return Fail("',' or ']' was expected");
        }
    }

    bool Hex4(unsigned& out)
    {
        out = 0;
        for (int i = 0; i < 4; ++i, ++m_pos) {
            const wchar_t c = Peek();
            const int digit = c >= L'0' && c <= L'9'   ? c - L'0'
                              : c >= L'a' && c <= L'f' ? c - L'a' + 10
                              : c >= L'A' && c <= L'F' ? c - L'A' + 10
                                                       : -1;
            if (digit < 0)
                return Fail("\\u needs four hexadecimal digits");
            out = out * 16 + static_cast<unsigned>(digit);
        }
        return true;
    }

    bool String(std::wstring& out)
    {
        ++m_pos;
        while (true) {
            if (m_pos >= m_text.size())
                return Fail("a string is not closed");
            const wchar_t c = m_text[m_pos++];
            if (c == L'"')
                return true;
            if (c != L'\\') {
                out += c;
                continue;
            }
            const wchar_t e = Peek();
            ++m_pos;
            static const std::wstring_view kPlain = L"\"\\/bfnrt";
            static const std::wstring_view kMeant = L"\"\\/\b\f\n\r\t";
            const std::size_t at = kPlain.find(e);
            if (e && at != std::wstring_view::npos) {
                out += kMeant[at];
                continue;
            }
            if (e != L'u')
                return Fail("unknown escape in a string");
            unsigned unit = 0;
            if (!Hex4(unit))
                return false;
            // An escaped surrogate pair is one code point; a lone one stays as it is.
            if (unit >= 0xD800 && unit < 0xDC00 && m_text.compare(m_pos, 2, L"\\u") == 0) {
                const std::size_t back = m_pos;
                m_pos += 2;
                unsigned low = 0;
                if (Hex4(low) && low >= 0xDC00 && low < 0xE000) {
                    AppendCodePoint(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                    continue;
                }
                m_error.clear();
                m_pos = back;
            }
            out += static_cast<wchar_t>(unit);
        }
    }

    static void AppendCodePoint(std::wstring& out, unsigned cp)
    {
        if (sizeof(wchar_t) == 2) {
            out += static_cast<wchar_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<wchar_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += static_cast<wchar_t>(cp);
        }
    }

    bool Number(JsonValue& out)
    {
        const std::size_t start = m_pos;
        auto digits = [this] {
            const std::size_t from = m_pos;
            while (Peek() >= L'0' && Peek() <= L'9')
                ++m_pos;
            return m_pos > from;
        };
        if (Peek() == L'-')
            ++m_pos;
        if (Peek() == L'0' && m_pos + 1 < m_text.size() && m_text[m_pos + 1] >= L'0' && m_text[m_pos + 1] <= L'9')
            return Fail("a number may not start with 0 followed by more digits");
        if (!digits())
            return Fail("a number needs digits");
        if (Peek() == L'.') {
            ++m_pos;
            if (!digits())
                return Fail("a number needs digits after '.'");
        }
        if (Peek() == L'e' || Peek() == L'E') {
            ++m_pos;
            if (Peek() == L'+' || Peek() == L'-')
                ++m_pos;
            if (!digits())
                return Fail("a number needs digits in its exponent");
        }
        out.type = JsonValue::Number;
        out.text = std::wstring(m_text.substr(start, m_pos - start));
        return true;
    }

    std::wstring_view m_text;
    std::size_t m_pos = 0;
    std::string m_error;
};

void Write(const JsonValue& v, bool indented, int depth, std::string& out)
{
    switch (v.type) {
    case JsonValue::Null:
        out += "null";
        return;
    case JsonValue::String:
        out += QuoteJson(v.text);
        return;
    case JsonValue::Number:
    case JsonValue::Boolean:
        out += zv::text::EncodeUtf8(v.text);
        return;
    case JsonValue::Array:
    case JsonValue::Object:
        break;
    }
    const bool object = v.type == JsonValue::Object;
    out += object ? '{' : '[';
    const std::string inner = indented ? "\n" + std::string(2 * (depth + 1), ' ') : std::string();
    for (std::size_t i = 0; i < v.items.size(); ++i) {
        out += i ? "," + inner : inner;
        if (object)
            out += QuoteJson(v.items[i].name) + (indented ? ": " : ":");
        Write(v.items[i], indented, depth + 1, out);
    }
    if (indented && !v.items.empty())
        out += "\n" + std::string(2 * depth, ' ');
    out += object ? '}' : ']';
}

} // namespace

bool ParseJson(std::wstring_view text, JsonValue& out, std::string& error)
{
    Reader reader(text);
    out = JsonValue();
    if (reader.Document(out))
        return true;
    error = reader.Error();
    return false;
}

std::string WriteJson(const JsonValue& value, bool indented)
{
    std::string out;
    Write(value, indented, 0, out);
    return out;
}

std::string QuoteJson(std::wstring_view text)
{
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        const auto unit = static_cast<unsigned long>(c);
        const bool pair = sizeof(wchar_t) == 2 && unit >= 0xD800 && unit < 0xDC00 && i + 1 < text.size() &&
                          static_cast<unsigned long>(text[i + 1]) >= 0xDC00 &&
                          static_cast<unsigned long>(text[i + 1]) < 0xE000;
        if (pair) {
            zv::text::AppendUtf8(text.substr(i++, 2), out);
        } else if (c == L'"' || c == L'\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (unit < 0x20 || (unit >= 0xD800 && unit < 0xE000)) {
            // Control characters, and lone surrogates that UTF-8 cannot carry.
            static const char kShort[] = "btn\0fr";
            char buffer[8];
            if (unit >= 8 && unit <= 13 && unit != 11)
                std::snprintf(buffer, sizeof buffer, "\\%c", kShort[unit - 8]);
            else
                std::snprintf(buffer, sizeof buffer, "\\u%04lx", unit);
            out += buffer;
        } else {
            zv::text::AppendUtf8(text.substr(i, 1), out);
        }
    }
    return out + "\"";
}

} // namespace zvenv

#pragma once

#include <cstddef>
#include <cstdint>

// The one JSON grammar of the library, shared by the engine's parser and the
// validator module (docs/json-grammar.md holds it as a table): standard JSON,
// with // and /* */ comments wherever blanks may stand, and a trailing comma
// after the last member or element. The root is an object or an array.
//
// ScanDocument walks a text once, without recursion, and stops at the first
// fault. It tells a sink what it passes (structure, strings, numbers and
// literals, comments), so the engine builds its stripped text in the same
// walk that checks it, and the validator passes a sink that does nothing.
namespace zv::json {

// The deepest nesting of arrays and objects a document may have; `[]` is one
// level. The parser, the node model (no node can be added deeper) and the
// validator share it, so nothing the engine builds fails to load again.
constexpr std::uint32_t kMaxDepth = 1000;

enum class GrammarError : std::uint8_t {
    None,
    Unexpected,     // a character, or the end, where `expected` says what may stand
    LeadingZero,    // 08, 00, -01
    NumberSign,     // a '-' without digits
    NumberFraction, // a '.' without digits after it
    NumberExponent, // an exponent without digits
    UnclosedString,
    BadEscape,
    BadUnicodeEscape, // \u without four hexadecimal digits
    UnclosedComment,
    LoneSlash, // a '/' that starts no comment
    TooDeep,
};

enum class Expected : std::uint8_t {
    Root,           // '{' or '['
    Value,          // after a ':'
    ValueOrBracket, // after '[' or after a ',' in an array
    NameOrBrace,    // after '{' or after a ',' in an object
    Colon,
    CommaOrBrace,
    CommaOrBracket,
    End, // after the root
};

struct GrammarResult {
    GrammarError error = GrammarError::None;
    Expected expected = Expected::Root;
    std::size_t position = 0; // index of the character where the fault lies
    bool ok() const { return error == GrammarError::None; }
};

// A sink that keeps nothing: what the validator passes.
struct NullGrammarSink {
    void Open(wchar_t) {}
    void Close(wchar_t) {}
    void Separator(wchar_t) {}
    void Scalar(const wchar_t*, const wchar_t*) {}
    // The whole string, quotes included; quoteEscaped when it holds \".
    void String(const wchar_t*, const wchar_t*, bool) {}
    // The text between // and the line feed, or between /* and */.
    void Comment(const wchar_t*, const wchar_t*, bool) {}
};

namespace grammar {

inline bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\n' || c == L'\r' || c == L'\t';
}
inline bool IsDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}
inline bool IsHexDigit(wchar_t c)
{
    return IsDigit(c) || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

template <typename Sink> class Scanner {
public:
    Scanner(const wchar_t* text, std::size_t size, Sink& sink)
        : m_begin(text), m_p(text), m_end(text + size), m_sink(sink)
    {
    }

    GrammarResult Run()
    {
        enum State : std::uint8_t { ValueOrBracket, NameOrBrace, Colon, Value, After };
        // Whether each open level is an array (1) or an object (0).
        std::uint8_t arrays[kMaxDepth];
        std::uint32_t depth = 0;
        State state = After;

        if (!Blanks())
            return m_result;
        if (*m_p != L'{' && *m_p != L'[')
            return Fail(GrammarError::Unexpected, Expected::Root, m_p);
        goto open;

    next:
        if (!Blanks())
            return m_result;
        switch (state) {
        case ValueOrBracket:
            if (*m_p == L']')
                goto close;
            goto value;
        case NameOrBrace:
            if (*m_p == L'}')
                goto close;
            if (*m_p != L'"')
                return Fail(GrammarError::Unexpected, Expected::NameOrBrace, m_p);
            if (!String())
                return m_result;
            state = Colon;
            goto next;
        case Colon:
            if (*m_p != L':')
                return Fail(GrammarError::Unexpected, Expected::Colon, m_p);
            m_sink.Separator(*m_p++);
            state = Value;
            goto next;
        case Value:
            goto value;
        case After:
            if (*m_p == L',') {
                m_sink.Separator(*m_p++);
                state = arrays[depth - 1] ? ValueOrBracket : NameOrBrace;
                goto next;
            }
            if (*m_p == (arrays[depth - 1] ? L']' : L'}'))
                goto close;
            return Fail(GrammarError::Unexpected, arrays[depth - 1] ? Expected::CommaOrBracket : Expected::CommaOrBrace,
                        m_p);
        }

    value:
        switch (*m_p) {
        case L'{':
        case L'[':
            goto open;
        case L'"':
            if (!String())
                return m_result;
            break;
        case L't':
            if (!Literal(L"true", 4))
                return m_result;
            break;
        case L'f':
            if (!Literal(L"false", 5))
                return m_result;
            break;
        case L'n':
            if (!Literal(L"null", 4))
                return m_result;
            break;
        default:
            if (*m_p == L'-' || IsDigit(*m_p)) {
                if (!Number())
                    return m_result;
                break;
            }
            return Fail(GrammarError::Unexpected, state == Value ? Expected::Value : Expected::ValueOrBracket, m_p);
        }
        state = After;
        goto next;

    open:
        if (depth == kMaxDepth)
            return Fail(GrammarError::TooDeep, Expected::Value, m_p);
        arrays[depth++] = *m_p == L'[' ? 1 : 0;
        state = *m_p == L'[' ? ValueOrBracket : NameOrBrace;
        m_sink.Open(*m_p++);
        goto next;

    close:
        m_sink.Close(*m_p++);
        if (--depth > 0) {
            state = After;
            goto next;
        }
        if (!Blanks())
            return m_result;
        if (m_p != m_end)
            return Fail(GrammarError::Unexpected, Expected::End, m_p);
        return m_result;
    }

private:
    GrammarResult Fail(GrammarError error, Expected expected, const wchar_t* at)
    {
        m_result.error = error;
        m_result.expected = expected;
        m_result.position = static_cast<std::size_t>(at - m_begin);
        return m_result;
    }

    bool Failed(GrammarError error, const wchar_t* at)
    {
        Fail(error, Expected::Value, at);
        return false;
    }

    // Skips blanks and comments. The text ends with a NUL at m_end, which no
    // loop takes for a character it goes on over. At the end of the text the
    // caller finds the NUL, which fits no state; Fail then reports the end.
    bool Blanks()
    {
        const wchar_t* p = m_p;
        for (;;) {
            while (IsBlank(*p))
                ++p;
            if (*p != L'/') {
                m_p = p;
                return true;
            }
            const wchar_t* start = p + 2;
            if (p[1] == L'/') {
                const wchar_t* stop = start;
                while (*stop != L'\n' && stop != m_end)
                    ++stop;
                m_sink.Comment(start, stop, false);
                p = stop;
            } else if (p[1] == L'*') {
                const wchar_t* stop = start;
                while (!(stop[0] == L'*' && stop[1] == L'/')) {
                    if (stop == m_end)
                        return Failed(GrammarError::UnclosedComment, p);
                    ++stop;
                }
                m_sink.Comment(start, stop, true);
                p = stop + 2;
            } else {
                return Failed(GrammarError::LoneSlash, p);
            }
        }
    }

    bool String()
    {
        const wchar_t* start = m_p;
        const wchar_t* p = start + 1;
        bool quoteEscaped = false;
        for (;;) {
            wchar_t c = *p;
            // Most characters of a string are none of the three looked for.
            while (c > L'\\' || (c != L'"' && c != L'\\' && c != 0))
                c = *++p;
            if (c == L'"')
                break;
            if (c == 0) {
                if (p == m_end)
                    return Failed(GrammarError::UnclosedString, start);
                ++p;
                continue;
            }
            switch (p[1]) {
            case L'"':
                quoteEscaped = true;
                p += 2;
                continue;
            case L'\\':
            case L'/':
            case L'b':
            case L'f':
            case L'n':
            case L'r':
            case L't':
                p += 2;
                continue;
            case L'u':
                if (!(IsHexDigit(p[2]) && IsHexDigit(p[3]) && IsHexDigit(p[4]) && IsHexDigit(p[5])))
                    return Failed(GrammarError::BadUnicodeEscape, p);
                p += 6;
                continue;
            default:
                if (p + 1 == m_end)
                    return Failed(GrammarError::UnclosedString, start);
                return Failed(GrammarError::BadEscape, p);
            }
        }
        m_p = p + 1;
        m_sink.String(start, m_p, quoteEscaped);
        return true;
    }

    bool Number()
    {
        const wchar_t* start = m_p;
        const wchar_t* p = start;
        if (*p == L'-')
            ++p;
        if (*p == L'0') {
            if (IsDigit(*++p))
                return Failed(GrammarError::LeadingZero, start);
        } else if (IsDigit(*p)) {
            while (IsDigit(*++p)) {
            }
        } else {
            return Failed(GrammarError::NumberSign, start);
        }
        if (*p == L'.') {
            if (!IsDigit(*++p))
                return Failed(GrammarError::NumberFraction, p);
            while (IsDigit(*++p)) {
            }
        }
        if (*p == L'e' || *p == L'E') {
            ++p;
            if (*p == L'+' || *p == L'-')
                ++p;
            if (!IsDigit(*p))
                return Failed(GrammarError::NumberExponent, p);
            while (IsDigit(*++p)) {
            }
        }
        m_p = p;
        m_sink.Scalar(start, p);
        return true;
    }

    bool Literal(const wchar_t* word, int length)
    {
        for (int i = 0; i < length; ++i) {
            if (m_p[i] != word[i]) {
                Fail(GrammarError::Unexpected, Expected::Value, m_p);
                return false;
            }
        }
        m_sink.Scalar(m_p, m_p + length);
        m_p += length;
        return true;
    }

    const wchar_t* m_begin;
    const wchar_t* m_p;
    const wchar_t* m_end;
    Sink& m_sink;
    GrammarResult m_result;
};

} // namespace grammar

// Checks text[0, size), which must be followed by a NUL at text[size] and
// hold no NUL before it, against the grammar; the sink hears every piece in
// order. Nothing is read past the NUL.
template <typename Sink> GrammarResult ScanDocument(const wchar_t* text, std::size_t size, Sink& sink)
{
    return grammar::Scanner<Sink>(text, size, sink).Run();
}

} // namespace zv::json

#include "json/Json.h"
#include "json/JsonBody.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <memory>

namespace zv::json {

namespace {

bool IsCodePoint(wchar_t c)
{
    return static_cast<std::uint32_t>(c) <= 0x10FFFFu;
}
bool IsDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}
bool IsOctalDigit(wchar_t c)
{
    return c >= L'0' && c <= L'7';
}
bool IsHexDigit(wchar_t c)
{
    return IsDigit(c) || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

// The one pass over the input: white space outside strings is dropped,
// comments become marked runs, an escaped double quote inside a string is
// held as a backslash and kQuoteMark, and every bracket outside strings and
// comments is paired with its closing bracket of the same kind. The pass stops
// at the first character that cannot stand outside a string.
std::unique_ptr<StrippedText> Strip(const wchar_t* in, std::size_t size)
{
    auto stripped = std::make_unique<StrippedText>();
    // A "#" comment running to the end of the text grows by one character.
    stripped->text = new wchar_t[size + 1];
    wchar_t* const start = stripped->text;
    wchar_t* out = start;
    const wchar_t* p = in;
    const wchar_t* const end = in + size;
    std::vector<BracketPair>& pairs = stripped->brackets;
    std::vector<std::uint32_t> squares;
    std::vector<std::uint32_t> braces;
    auto close = [&](std::vector<std::uint32_t>& open) {
        if (open.empty())
            return;
        BracketPair& pair = pairs[open.back()];
        open.pop_back();
        pair.close = static_cast<std::uint32_t>(out - start);
        pair.next = static_cast<std::uint32_t>(pairs.size());
    };

    bool stop = false;
    while (p < end && !stop) {
        const wchar_t c = *p;
        if (c == L' ' || c == L'\t' || c == L'\n' || c == L'\r') {
            ++p;
        } else if (c == L'"') {
            *out++ = *p++;
            stop = true; // unless the string closes
            while (p < end) {
                const wchar_t d = *p++;
                if (d == L'"') {
                    *out++ = d;
                    stop = false;
                    break;
                }
                *out++ = d;
                if (d == L'\\') {
                    if (p == end)
                        break;
                    const wchar_t escaped = *p++;
                    *out++ = escaped == L'"' ? kQuoteMark : escaped;
                }
            }
        } else if (c == L'#' || (c == L'/' && p + 1 < end && p[1] == L'/')) {
            p += c == L'#' ? 1 : 2;
            *out++ = kCommentMark;
            while (p < end && *p != L'\n') {
                if (!IsCodePoint(*p)) {
                    stop = true;
                    break;
                }
                *out++ = *p++;
            }
            *out++ = kCommentMark;
        } else if (c == L'/' && p + 1 < end && p[1] == L'*') {
            p += 2;
            *out++ = kCommentMark;
            stop = true; // unless the comment closes
            while (p < end && IsCodePoint(*p)) {
                if (*p == L'*' && p + 1 < end && p[1] == L'/') {
                    p += 2;
                    stop = false;
                    break;
                }
                *out++ = *p++;
            }
            *out++ = kCommentMark;
        } else if (c < 0x20 || c > 0x7E || c == L'/') {
            stop = true;
        } else {
            const auto position = static_cast<std::uint32_t>(out - start);
            if (c == L'[' || c == L'{') {
                (c == L'[' ? squares : braces).push_back(static_cast<std::uint32_t>(pairs.size()));
                pairs.push_back({position, kNotFound, 0});
            } else if (c == L']') {
                close(squares);
            } else if (c == L'}') {
                close(braces);
            }
            *out++ = *p++;
        }
    }
    stripped->size = static_cast<std::uint32_t>(out - start);
    return stripped;
}

// The index of the bracket pair opened at position, trying hint first.
std::uint32_t PairAt(const StrippedText* text, std::uint32_t position, std::uint32_t hint)
{
    const std::vector<BracketPair>& pairs = text->brackets;
    if (hint < pairs.size() && pairs[hint].open == position)
        return hint;
    auto found = std::lower_bound(pairs.begin(), pairs.end(), position,
                                  [](const BracketPair& pair, std::uint32_t at) { return pair.open < at; });
    if (found == pairs.end() || found->open != position)
        return kNotFound;
    return static_cast<std::uint32_t>(found - pairs.begin());
}

// Reads the comment runs at position into comment, several joined by line
// feeds; returns the position after them.
std::uint32_t CollectComments(const wchar_t* text, std::uint32_t position, std::uint32_t end, std::wstring& comment)
{
    bool first = true;
    while (position < end && text[position] == kCommentMark) {
        const wchar_t* found = std::wmemchr(text + position + 1, kCommentMark, end - position - 1);
        const auto close = found ? static_cast<std::uint32_t>(found - text) : end;
        if (!first)
            comment += L'\n';
        first = false;
        comment.append(text + position + 1, close - position - 1);
        position = std::min(close + 1, end);
    }
    return position;
}

// Finds the next "," or ":" that stands directly in the value being split,
// skipping strings, comments and nested values. The cursor follows the
// position through the document's bracket pairs.
class TopLevelScan {
public:
    TopLevelScan(const StrippedText* text, std::uint32_t start, std::uint32_t end, std::uint32_t cursor)
        : m_text(text), m_end(end), m_position(start), m_cursor(cursor)
    {
    }

    std::uint32_t position() const { return m_position; }
    std::uint32_t cursor() const { return m_cursor; }
    void moveTo(std::uint32_t position) { m_position = position; }

    // The position of the next sought character, or kNotFound. sawColon is
    // set when a ":" of this level lies on the way.
    std::uint32_t find(wchar_t sought, bool* sawColon = nullptr)
    {
        const wchar_t* text = m_text->text;
        while (m_position < m_end) {
            const wchar_t c = text[m_position];
            if (c == sought)
                return m_position;
            switch (c) {
            case L'"':
            case kCommentMark: {
                const wchar_t* found = std::wmemchr(text + m_position + 1, c, m_end - m_position - 1);
                if (!found)
                    return Stop();
                m_position = static_cast<std::uint32_t>(found - text) + 1;
                break;
            }
            case L'[':
            case L'{': {
                const std::uint32_t pair = PairAt(m_text, m_position, m_cursor);
                if (pair == kNotFound)
                    return Stop();
                const BracketPair& brackets = m_text->brackets[pair];
                if (brackets.close == kNotFound || brackets.close >= m_end)
                    return Stop();
                m_position = brackets.close + 1;
                m_cursor = brackets.next;
                break;
            }
            case L']':
            case L'}':
                return kNotFound;
            case L':':
                if (sawColon)
                    *sawColon = true;
                ++m_position;
                break;
            default:
                ++m_position;
                break;
            }
        }
        return kNotFound;
    }

private:
    std::uint32_t Stop()
    {
        m_position = m_end;
        return kNotFound;
    }

    const StrippedText* m_text;
    std::uint32_t m_end;
    std::uint32_t m_position;
    std::uint32_t m_cursor; // index of the first bracket pair at or after m_position
};

bool Equals(const wchar_t* text, std::uint32_t length, const wchar_t* word)
{
    return std::wcslen(word) == length && std::wmemcmp(text, word, length) == 0;
}

// Decides the child's type from its value text; strings, numbers, arrays and
// objects keep the text unread.
void TypeChild(NodeBody* child, StrippedText* source, std::uint32_t start, std::uint32_t end, std::uint32_t cursor)
{
    const wchar_t* text = source->text + start;
    const std::uint32_t length = end > start ? end - start : 0;
    auto keepUnread = [&](JsonNodeType type) {
        child->type = type;
        child->fetched = false;
        child->source = source;
        ++source->refs;
        child->offset = start;
        child->length = length;
    };
    auto literal = [&](JsonNodeType type, const wchar_t* value) {
        child->type = type;
        child->value = value;
    };

    if (length == 0)
        return; // null with an empty value text
    const wchar_t first = text[0];
    const wchar_t last = text[length - 1];
    if (first == L'"' && last == L'"') {
        keepUnread(JsonString);
    } else if (Equals(text, length, L"false")) {
        literal(JsonBoolean, L"false");
    } else if (Equals(text, length, L"true")) {
        literal(JsonBoolean, L"true");
    } else if ((first == L'[' && last == L']') || (first == L'{' && last == L'}')) {
        keepUnread(first == L'[' ? JsonArray : JsonObject);
        child->children = new ChildList;
        child->bracket = PairAt(source, start, cursor);
    } else if (IsNumberText(std::wstring_view(text, length))) {
        keepUnread(JsonNumber);
    } else {
        literal(JsonNull, L"null");
    }
}

void SplitArray(NodeBody* body, TopLevelScan& scan, std::uint32_t last)
{
    StrippedText* source = body->source;
    std::uint32_t start = scan.position();
    for (;;) {
        const std::uint32_t cursor = scan.cursor();
        bool sawColon = false;
        const std::uint32_t comma = scan.find(L',', &sawColon);
        if (sawColon) {
            BecomeNull(body);
            return;
        }
        const std::uint32_t end = comma == kNotFound ? last : comma;
        auto* child = new NodeBody;
        const std::uint32_t valueStart = CollectComments(source->text, start, std::max(start, end), child->comment);
        TypeChild(child, source, valueStart, end, cursor);
        AppendChild(body, new Handle{child});
        if (comma == kNotFound)
            return;
        start = comma + 1;
        scan.moveTo(start);
    }
}

void SplitObject(NodeBody* body, TopLevelScan& scan, std::uint32_t last)
{
    StrippedText* source = body->source;
    const wchar_t* text = source->text;
    std::uint32_t start = scan.position();
    std::uint32_t colon = scan.find(L':');
    for (;;) {
        if (colon == kNotFound) {
            BecomeNull(body);
            return;
        }
        auto* child = new NodeBody;
        // The name runs up to its closing quote, which stands just before the colon.
        const std::uint32_t nameEnd = colon > start ? colon - 1 : start;
        const std::uint32_t nameStart = CollectComments(text, start, nameEnd, child->comment);
        if (nameStart < nameEnd)
            child->nameEscaped =
                Unescape(std::wstring_view(text + nameStart + 1, nameEnd - nameStart - 1), child->name);

        scan.moveTo(colon + 1);
        const std::uint32_t cursor = scan.cursor();
        const std::uint32_t comma = scan.find(L',');
        const std::uint32_t end = comma == kNotFound ? last : comma;
        TypeChild(child, source, colon + 1, std::max(colon + 1, end), cursor);
        AppendChild(body, new Handle{child});
        if (comma == kNotFound)
            return;
        start = comma + 1;
        scan.moveTo(start);
        colon = scan.find(L':');
    }
}

std::uint32_t HexValue(wchar_t c)
{
    const std::uint32_t difference = (static_cast<std::uint32_t>(c) - L'0') & 0xFFFFu;
    if (difference <= 9)
        return difference;
    return difference <= 48 ? difference - 7 : difference - 39;
}

// Reads up to count characters at text[i] as hexadecimal digits.
std::uint32_t ReadHex(std::wstring_view text, std::size_t& i, int count)
{
    std::uint32_t value = 0;
    for (int n = 0; n < count && i < text.size(); ++n)
        value = value * 16 + HexValue(text[i++]);
    return value & 0xFFFFu;
}

bool IsHighSurrogate(std::uint32_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(std::uint32_t unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

} // namespace

Handle* ParseDocument(const wchar_t* text)
{
    const std::size_t size = std::wcslen(text);
    if (size >= kNotFound - 1)
        return nullptr;
    std::unique_ptr<StrippedText> stripped = Strip(text, size);
    const std::uint32_t length = stripped->size;
    if (length == 0)
        return nullptr;
    std::wstring comment;
    const std::uint32_t start = CollectComments(stripped->text, 0, length, comment);
    if (start >= length)
        return nullptr;
    const wchar_t open = stripped->text[start];
    const wchar_t close = stripped->text[length - 1];
    if (!((open == L'[' && close == L']') || (open == L'{' && close == L'}')))
        return nullptr;

    NodeBody* root = NewBody(open == L'[' ? JsonArray : JsonObject);
    root->fetched = false;
    root->comment = std::move(comment);
    root->offset = start;
    root->length = length - start;
    root->bracket = PairAt(stripped.get(), start, 0);
    root->source = stripped.release();
    return new Handle{root};
}

void SplitChildren(NodeBody* body)
{
    StrippedText* source = body->source;
    if (!body->children)
        body->children = new ChildList;
    if (body->length >= 3) {
        const std::uint32_t end = body->offset + body->length;
        const std::uint32_t cursor = body->bracket == kNotFound ? kNotFound : body->bracket + 1;
        TopLevelScan scan(source, body->offset + 1, end, cursor);
        if (body->type == JsonArray)
            SplitArray(body, scan, end - 1);
        else
            SplitObject(body, scan, end - 1);
        if (body->type == JsonNull)
            return; // malformed: BecomeNull has dropped the children and the text
    }
    body->fetched = true;
    body->source = nullptr;
    body->offset = body->length = 0;
    ReleaseSource(source);
}

bool IsNumberText(std::wstring_view text)
{
    const std::size_t size = text.size();
    if (size == 0)
        return false;
    bool point = false;
    bool exponent = false;
    std::size_t i = 0;
    const wchar_t first = text[0];
    if (first >= L'1' && first <= L'9') {
        i = 1;
    } else if (first == L'+' || first == L'-') {
        if (size == 1 || text[1] == L'.' || text[1] == L'e' || text[1] == L'E')
            return false;
        // A zero after the sign opens no octal or hexadecimal form.
        i = text[1] == L'0' ? 2 : 1;
    } else if (first == L'.') {
        point = true;
        i = 1;
    } else if (first == L'0') {
        if (size == 1)
            return true;
        const wchar_t second = text[1];
        if (second == L'.') {
            point = true;
            i = 2;
        } else if (second >= L'1' && second <= L'7') {
            return std::all_of(text.begin() + 1, text.end(), IsOctalDigit);
        } else if (second == L'x') {
            return std::all_of(text.begin() + 2, text.end(), IsHexDigit);
        } else if (second == L'e' || second == L'E') {
            if (size < 3 || !(text[2] == L'+' || text[2] == L'-' || IsDigit(text[2])))
                return false;
            exponent = true;
            i = 3;
        } else {
            return false;
        }
    } else {
        return false;
    }

    while (i < size) {
        const wchar_t c = text[i];
        if (IsDigit(c)) {
            ++i;
        } else if (c == L'.') {
            if (point || exponent)
                return false;
            point = true;
            ++i;
        } else if (c == L'e' || c == L'E') {
            if (exponent)
                return false;
            exponent = true;
            if (i + 1 < size && IsDigit(text[i + 1]))
                i += 1;
            else if (i + 2 < size && (text[i + 1] == L'+' || text[i + 1] == L'-') && IsDigit(text[i + 2]))
                i += 2;
            else
                return false;
        } else {
            return false;
        }
    }
    return true;
}

bool Unescape(std::wstring_view text, std::wstring& out)
{
    out.clear();
    const wchar_t* backslash = std::wmemchr(text.data(), L'\\', text.size());
    if (!backslash) {
        out.assign(text);
        return false;
    }
    out.reserve(text.size());
    out.append(text.data(), static_cast<std::size_t>(backslash - text.data()));
    std::size_t i = static_cast<std::size_t>(backslash - text.data());
    while (i < text.size()) {
        const wchar_t c = text[i++];
        if (c != L'\\') {
            out += c;
            continue;
        }
        if (i == text.size()) {
            out += c; // a backslash with nothing after it stays as it is
            break;
        }
        const wchar_t kind = text[i++];
        switch (kind) {
        case kQuoteMark:
            out += L'"';
            break;
        case L'b':
            out += L'\b';
            break;
        case L'f':
            out += L'\f';
            break;
        case L'n':
            out += L'\n';
            break;
        case L'r':
            out += L'\r';
            break;
        case L't':
            out += L'\t';
            break;
        case L'v':
            out += L'\v';
            break;
        case L'x':
            out += static_cast<wchar_t>(ReadHex(text, i, 2));
            break;
        case L'u': {
            const std::uint32_t unit = ReadHex(text, i, 4);
            // A pair of escaped surrogates is one code point.
            if (IsHighSurrogate(unit) && i + 1 < text.size() && text[i] == L'\\' && text[i + 1] == L'u') {
                std::size_t next = i + 2;
                const std::uint32_t low = ReadHex(text, next, 4);
                if (IsLowSurrogate(low)) {
                    out += static_cast<wchar_t>(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                    i = next;
                    break;
                }
            }
            out += static_cast<wchar_t>(unit);
            break;
        }
        default:
            if (IsOctalDigit(kind)) {
                // Three octal digits, the last two taken as they come.
                std::uint32_t value = static_cast<std::uint32_t>(kind - L'0');
                for (int n = 0; n < 2 && i < text.size(); ++n)
                    value = value * 8 + static_cast<std::uint32_t>(text[i++] - L'0');
                out += static_cast<wchar_t>(value & 0xFFFFu);
            } else {
                out += kind; // "/", backslash and anything else stand for themselves
            }
            break;
        }
    }
    return true;
}

} // namespace zv::json

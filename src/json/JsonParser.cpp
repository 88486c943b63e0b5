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

// Takes what the stripping pass keeps. The pass runs twice: once to measure
// the text and count its brackets, then to fill buffers of exactly that size,
// so that a large document costs no growing and no unused memory.
class MeasuringSink {
public:
    void Put(wchar_t) { ++m_size; }
    void PutRun(const wchar_t*, std::size_t length) { m_size += length; }
    void Open(wchar_t)
    {
        ++m_size;
        ++m_brackets;
    }
    void Close(wchar_t) { ++m_size; }
    std::size_t size() const { return m_size; }
    std::size_t brackets() const { return m_brackets; }

private:
    std::size_t m_size = 0;
    std::size_t m_brackets = 0;
};

// Writes the stripped text and pairs every bracket with the bracket of the
// same kind that closes it.
class WritingSink {
public:
    explicit WritingSink(StrippedText& text) : m_text(text), m_out(text.text) {}

    void Put(wchar_t c) { *m_out++ = c; }
    void PutRun(const wchar_t* text, std::size_t length)
    {
        // Most runs are a few characters long: a loop beats a library call.
        if (length > 32) {
            std::wmemcpy(m_out, text, length);
            m_out += length;
            return;
        }
        for (std::size_t i = 0; i < length; ++i)
            *m_out++ = text[i];
    }
    void Open(wchar_t c)
    {
        (c == L'[' ? m_squares : m_braces).push_back(static_cast<std::uint32_t>(m_text.brackets.size()));
        m_text.brackets.push_back({Position(), kNotFound, 0});
        *m_out++ = c;
    }
    void Close(wchar_t c)
    {
        std::vector<std::uint32_t>& open = c == L']' ? m_squares : m_braces;
        if (!open.empty()) {
            BracketPair& pair = m_text.brackets[open.back()];
            open.pop_back();
            pair.close = Position();
            pair.next = static_cast<std::uint32_t>(m_text.brackets.size());
        }
        *m_out++ = c;
    }
    std::uint32_t Position() const { return static_cast<std::uint32_t>(m_out - m_text.text); }

private:
    StrippedText& m_text;
    wchar_t* m_out;
    std::vector<std::uint32_t> m_squares;
    std::vector<std::uint32_t> m_braces;
};

// The pass over the input: white space outside strings is dropped, comments
// become marked runs, an escaped double quote inside a string is held as a
// backslash and kQuoteMark. The pass stops at the first character that cannot
// stand outside a string.
// What a character outside strings and comments does in the stripping pass.
enum CharAction : unsigned char { Keep, Drop, Quote, Hash, Slash, Open, Close, Stop };

struct CharActions {
    CharAction action[128];
    constexpr CharActions() : action()
    {
        for (int c = 0; c < 128; ++c)
            action[c] = c >= 0x20 && c <= 0x7E ? Keep : Stop;
        action[int{' '}] = action[int{'\t'}] = action[int{'\n'}] = action[int{'\r'}] = Drop;
        action[int{'"'}] = Quote;
        action[int{'#'}] = Hash;
        action[int{'/'}] = Slash;
        action[int{'['}] = action[int{'{'}] = Open;
        action[int{']'}] = action[int{'}'}] = Close;
    }
};
constexpr CharActions kActions;

inline CharAction ActionOf(wchar_t c)
{
    return static_cast<std::uint32_t>(c) < 128 ? kActions.action[c] : Stop;
}

// Copies a string from its opening quote; false when it has no closing quote.
template <typename Sink> bool StripString(const wchar_t*& p, const wchar_t* end, Sink& sink)
{
    sink.Put(*p++);
    while (p < end) {
        const wchar_t* run = p;
        while (p < end && *p != L'"' && *p != L'\\')
            ++p;
        sink.PutRun(run, static_cast<std::size_t>(p - run));
        if (p == end)
            return false;
        const wchar_t c = *p++;
        sink.Put(c);
        if (c == L'"')
            return true;
        if (p == end)
            return false;
        const wchar_t escaped = *p++;
        sink.Put(escaped == L'"' ? kQuoteMark : escaped);
    }
    return false;
}

// Copies a comment as a marked run, from p just after its opening. A line
// comment ends before the line feed; a block comment at "*/", which is
// consumed. False when the pass ends inside the comment.
template <typename Sink> bool StripComment(const wchar_t*& p, const wchar_t* end, bool block, Sink& sink)
{
    sink.Put(kCommentMark);
    bool closed = !block;
    while (p < end) {
        const wchar_t c = *p;
        if (!IsCodePoint(c)) {
            closed = false;
            break;
        }
        if (!block && c == L'\n')
            break;
        if (block && c == L'*' && p + 1 < end && p[1] == L'/') {
            p += 2;
            closed = true;
            break;
        }
        sink.Put(c);
        ++p;
    }
    sink.Put(kCommentMark);
    return closed;
}

// The pass over the input: white space outside strings is dropped, comments
// become marked runs, an escaped double quote inside a string is held as a
// backslash and kQuoteMark. The pass stops at the first character that cannot
// stand outside a string.
template <typename Sink> void StripPass(const wchar_t* in, std::size_t size, Sink& sink)
{
    const wchar_t* p = in;
    const wchar_t* const end = in + size;
    while (p < end) {
        switch (ActionOf(*p)) {
        case Keep: {
            const wchar_t* run = p;
            while (++p < end && ActionOf(*p) == Keep) {
            }
            sink.PutRun(run, static_cast<std::size_t>(p - run));
            break;
        }
        case Drop:
            ++p;
            break;
        case Quote:
            if (!StripString(p, end, sink))
                return;
            break;
        case Hash:
            ++p;
            if (!StripComment(p, end, false, sink))
                return;
            break;
        case Slash:
            if (p + 1 < end && (p[1] == L'/' || p[1] == L'*')) {
                const bool block = p[1] == L'*';
                p += 2;
                if (!StripComment(p, end, block, sink))
                    return;
                break;
            }
            return;
        case Open:
            sink.Open(*p++);
            break;
        case Close:
            sink.Close(*p++);
            break;
        case Stop:
            return;
        }
    }
}

std::unique_ptr<StrippedText> Strip(const wchar_t* in, std::size_t size)
{
    MeasuringSink measure;
    StripPass(in, size, measure);
    auto stripped = std::make_unique<StrippedText>();
    stripped->text = new wchar_t[measure.size() + 1];
    stripped->brackets.reserve(measure.brackets());
    WritingSink write(*stripped);
    StripPass(in, size, write);
    stripped->size = write.Position();
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
        // The list is made when the value is read.
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
        Handle* handle = NewNode(JsonNull);
        NodeBody* child = handle->body;
        const std::uint32_t valueStart = CollectComments(source->text, start, std::max(start, end), child->comment);
        TypeChild(child, source, valueStart, end, cursor);
        AppendChild(body, handle);
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
        Handle* handle = NewNode(JsonNull);
        NodeBody* child = handle->body;
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
        AppendChild(body, handle);
        if (comma == kNotFound)
            return;
        start = comma + 1;
        scan.moveTo(start);
        colon = scan.find(L':');
    }
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

    Handle* handle = NewNode(open == L'[' ? JsonArray : JsonObject);
    NodeBody* root = handle->body;
    root->fetched = false;
    root->comment = std::move(comment);
    root->offset = start;
    root->length = length - start;
    root->bracket = PairAt(stripped.get(), start, 0);
    root->source = stripped.release();
    return handle;
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

} // namespace zv::json

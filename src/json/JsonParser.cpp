#include "json/Json.h"
#include "json/JsonBody.h"
#include "json/JsonGrammar.h"

#include <algorithm>
#include <cstdlib>
#include <cwchar>
#include <memory>
#include <new>

namespace zv::json {

namespace {

// Hands a comment's text to put with LF line ends: a CR before a LF is left
// out, and so are the CRs that end a line comment, as a file's line ends are
// the file's own and the writer puts back its own.
template <typename Put> void CommentText(const wchar_t* begin, const wchar_t* end, bool block, Put put)
{
    if (!block) {
        while (end > begin && end[-1] == L'\r')
            --end;
    }
    for (const wchar_t* p = begin; p < end; ++p) {
        if (!(block && *p == L'\r' && p + 1 < end && p[1] == L'\n'))
            put(*p);
    }
}

// The first walk over a document: the grammar checks it while this counts
// what the stripped text will hold, so the second walk fills buffers of
// exactly that size (a large document then costs no unused memory, and the
// allocator can hand the same block to the next document).
class MeasureSink {
public:
    void Open(wchar_t)
    {
        ++m_size;
        ++m_brackets;
    }
    void Close(wchar_t) { ++m_size; }
    void Separator(wchar_t) { ++m_size; }
    void Scalar(const wchar_t* begin, const wchar_t* end) { m_size += static_cast<std::size_t>(end - begin); }
    void String(const wchar_t* begin, const wchar_t* end, bool) { m_size += static_cast<std::size_t>(end - begin); }
    void Comment(const wchar_t* begin, const wchar_t* end, bool block)
    {
        m_size += 3;
        CommentText(begin, end, block, [this](wchar_t) { ++m_size; });
    }
    std::size_t size() const { return m_size; }
    std::size_t brackets() const { return m_brackets; }

private:
    std::size_t m_size = 0;
    std::size_t m_brackets = 0;
};

// The second walk writes the stripped text: blanks are dropped, a comment
// becomes its mark, length and text, an escaped double quote is held as a
// backslash and kQuoteMark, and every bracket is paired with the one that
// closes it.
class StripSink {
public:
    explicit StripSink(StrippedText& text) : m_text(text), m_out(text.text) {}

    void Open(wchar_t c)
    {
        m_open[m_depth++] = static_cast<std::uint32_t>(m_text.brackets.size());
        m_text.brackets.push_back({Position(), kNotFound, 0});
        *m_out++ = c;
    }
    void Close(wchar_t c)
    {
        BracketPair& pair = m_text.brackets[m_open[--m_depth]];
        pair.close = Position();
        pair.next = static_cast<std::uint32_t>(m_text.brackets.size());
        *m_out++ = c;
    }
    void Separator(wchar_t c) { *m_out++ = c; }
    void Scalar(const wchar_t* begin, const wchar_t* end) { Copy(begin, end); }
    void String(const wchar_t* begin, const wchar_t* end, bool quoteEscaped)
    {
        if (!quoteEscaped) {
            Copy(begin, end);
            return;
        }
        wchar_t* out = m_out;
        for (const wchar_t* p = begin; p < end; ++p) {
            *out++ = *p;
            if (*p == L'\\') {
                ++p;
                *out++ = *p == L'"' ? kQuoteMark : *p;
            }
        }
        m_out = out;
    }
    void Comment(const wchar_t* begin, const wchar_t* end, bool block)
    {
        *m_out++ = kCommentMark;
        wchar_t* length = m_out;
        m_out += 2;
        CommentText(begin, end, block, [this](wchar_t c) { *m_out++ = c; });
        const auto size = static_cast<std::uint32_t>(m_out - length - 2);
        length[0] = static_cast<wchar_t>(size >> 16);
        length[1] = static_cast<wchar_t>(size & 0xFFFFu);
    }

    std::uint32_t Position() const { return static_cast<std::uint32_t>(m_out - m_text.text); }

private:
    void Copy(const wchar_t* begin, const wchar_t* end)
    {
        const std::size_t length = static_cast<std::size_t>(end - begin);
        // Most runs are a few characters long: a loop beats a library call.
        if (length > 32) {
            std::wmemcpy(m_out, begin, length);
            m_out += length;
            return;
        }
        wchar_t* out = m_out;
        for (std::size_t i = 0; i < length; ++i)
            out[i] = begin[i];
        m_out = out + length;
    }

    StrippedText& m_text;
    wchar_t* m_out;
    std::uint32_t m_open[kMaxDepth];
    std::uint32_t m_depth = 0;
};

std::uint32_t CommentLength(const wchar_t* text, std::uint32_t mark)
{
    return (static_cast<std::uint32_t>(text[mark + 1]) << 16) | static_cast<std::uint32_t>(text[mark + 2]);
}

// Appends the comments standing at position to comment, joined by line
// feeds, and one line feed before them when comment holds text already;
// returns the position after them. The writer puts a node's whole comment in
// one run of comments, which this reads back exactly. comment is made when
// the first one comes: most nodes have none.
std::uint32_t CollectComments(const wchar_t* text, std::uint32_t position, std::uint32_t end, NodeComment& into)
{
    if (position >= end || text[position] != kCommentMark)
        return position;
    std::wstring& comment = into.Text();
    bool joined = !comment.empty();
    while (position < end && text[position] == kCommentMark) {
        const std::uint32_t length = CommentLength(text, position);
        if (joined)
            comment += L'\n';
        joined = true;
        comment.append(text + position + 3, length);
        position += 3 + length;
    }
    return position;
}

// The position after the string that opens at position.
std::uint32_t StringEnd(const wchar_t* text, std::uint32_t position, std::uint32_t end)
{
    const wchar_t* quote = std::wmemchr(text + position + 1, L'"', end - position - 1);
    return static_cast<std::uint32_t>(quote - text) + 1;
}

// Holds the first children of a list being read, so that a list of a few
// children gets exactly as many slots: most read lists never grow. Past
// kHeld children the list takes them and grows as usual.
class FirstChildren {
public:
    explicit FirstChildren(NodeBody* parent)
        : m_parent(parent),
          m_holding(!parent->children->items && parent->children->count == 0 && !parent->children->index)
    {
    }
    FirstChildren(const FirstChildren&) = delete;
    FirstChildren& operator=(const FirstChildren&) = delete;
    // Holds handles only when the reading stopped half-way on an exception.
    ~FirstChildren()
    {
        for (std::uint32_t i = 0; i < m_count; ++i)
            ReleaseHandle(m_held[i]);
    }

    void Add(Handle* child)
    {
        if (m_holding && m_count == kHeld)
            MoveToList(2 * kHeld);
        if (!m_holding) {
            AppendChild(m_parent, child);
            return;
        }
        m_held[m_count++] = child;
    }

    void Finish()
    {
        if (m_holding && m_count)
            MoveToList(m_count);
    }

private:
    static constexpr std::uint32_t kHeld = 16;

    void MoveToList(std::uint32_t capacity)
    {
        auto* items = static_cast<void**>(std::malloc(capacity * sizeof(void*)));
        if (!items)
            throw std::bad_alloc();
        ChildList* list = m_parent->children;
        for (std::uint32_t i = 0; i < m_count; ++i) {
            m_held[i]->owner = list;
            items[i] = m_held[i];
        }
        list->items = items;
        list->count = m_count;
        list->capacity = capacity;
        m_count = 0;
        m_holding = false;
    }

    NodeBody* m_parent;
    Handle* m_held[kHeld];
    std::uint32_t m_count = 0;
    bool m_holding;
};

// Reads the children of one unread container. Every comment joins a node:
// comments before a member or element, and those between its parts, belong
// to it; comments after the last one (after a trailing comma, or in an empty
// container) join the container's own comment.
class Splitter {
public:
    explicit Splitter(NodeBody* body)
        : m_body(body), m_source(body->source), m_text(body->source->text), m_position(SliceOffset(body) + 1),
          m_end(SliceOffset(body) + body->value.size() - 1), m_cursor(body->bracket + 1)
    {
    }

    void Run()
    {
        const bool object = m_body->type == JsonObject;
        NodeComment pending;
        FirstChildren children(m_body);
        for (;;) {
            m_position = CollectComments(m_text, m_position, m_end, pending);
            if (m_position == m_end)
                break;
            Handle* handle = NewNode(JsonNull);
            NodeBody* child = handle->body;
            child->level = m_body->level + 1;
            child->comment = std::move(pending);
            if (object)
                ReadName(child);
            ReadValue(child);
            children.Add(handle);
            m_position = CollectComments(m_text, m_position, m_end, child->comment);
            if (m_position == m_end)
                break;
            ++m_position; // the comma
        }
        children.Finish();
        if (!pending.empty()) {
            std::wstring& comment = m_body->comment.Text();
            if (!comment.empty())
                comment += L'\n';
            comment += pending.Get();
        }
    }

private:
    void ReadName(NodeBody* child)
    {
        const std::uint32_t start = m_position;
        m_position = StringEnd(m_text, start, m_end);
        const std::wstring_view name(m_text + start + 1, m_position - start - 2);
        if (name.find(L'\\') == std::wstring_view::npos) {
            // As the file has it: the name stays in the document's text.
            child->name.AssignSlice(name.data(), static_cast<std::uint32_t>(name.size()));
            HoldSource(child, m_source);
        } else {
            std::wstring unescaped;
            child->nameEscaped = Unescape(name, unescaped);
            child->name.Assign(unescaped);
        }
        m_position = CollectComments(m_text, m_position, m_end, child->comment);
        ++m_position; // the colon
        m_position = CollectComments(m_text, m_position, m_end, child->comment);
    }

    // Strings, numbers, arrays and objects keep their text unread.
    void ReadValue(NodeBody* child)
    {
        const std::uint32_t start = m_position;
        switch (m_text[start]) {
        case L'"':
            m_position = StringEnd(m_text, start, m_end);
            KeepUnread(child, JsonString, start);
            return;
        case L'[':
        case L'{': {
            const BracketPair& pair = m_source->brackets[m_cursor];
            child->bracket = m_cursor;
            m_cursor = pair.next;
            m_position = pair.close + 1;
            KeepUnread(child, m_text[start] == L'[' ? JsonArray : JsonObject, start);
            return; // the child list is made when the value is read
        }
        case L't':
            m_position += 4;
            Literal(child, JsonBoolean, L"true");
            return;
        case L'f':
            m_position += 5;
            Literal(child, JsonBoolean, L"false");
            return;
        case L'n':
            m_position += 4;
            Literal(child, JsonNull, L"null");
            return;
        default:
            while (m_position < m_end && m_text[m_position] != L',' && m_text[m_position] != kCommentMark)
                ++m_position;
            KeepUnread(child, JsonNumber, start);
            return;
        }
    }

    void KeepUnread(NodeBody* child, JsonNodeType type, std::uint32_t start)
    {
        child->type = type;
        child->fetched = false;
        HoldSource(child, m_source);
        child->value.AssignSlice(m_text + start, m_position - start);
    }

    static void Literal(NodeBody* child, JsonNodeType type, const wchar_t* text)
    {
        child->type = type;
        child->value.AssignStatic(text);
    }

    NodeBody* m_body;
    StrippedText* m_source;
    const wchar_t* m_text;
    std::uint32_t m_position;
    std::uint32_t m_end;    // the closing bracket
    std::uint32_t m_cursor; // the first bracket pair at or after m_position
};

} // namespace

Handle* ParseDocument(const wchar_t* text)
{
    const std::size_t size = std::wcslen(text);
    MeasureSink measure;
    if (size >= kNotFound - 1 || !ScanDocument(text, size, measure).ok() || measure.size() >= kNotFound - 1)
        return nullptr;
    auto stripped = std::make_unique<StrippedText>();
    stripped->text = static_cast<wchar_t*>(std::malloc((measure.size() + 1) * sizeof(wchar_t)));
    if (!stripped->text)
        return nullptr;
    stripped->brackets.reserve(measure.brackets());
    auto sink = std::make_unique<StripSink>(*stripped);
    ScanDocument(text, size, *sink);
    const std::uint32_t length = sink->Position();
    stripped->size = length;
    stripped->text[length] = 0;

    const wchar_t* strippedText = stripped->text;
    NodeComment comment;
    const std::uint32_t start = CollectComments(strippedText, 0, length, comment);
    const BracketPair& root = stripped->brackets.front();
    CollectComments(strippedText, root.close + 1, length, comment);

    Handle* handle = NewNode(strippedText[start] == L'[' ? JsonArray : JsonObject);
    NodeBody* body = handle->body;
    body->fetched = false;
    body->comment = std::move(comment);
    body->bracket = 0;
    body->source = stripped.release();
    body->value.AssignSlice(strippedText + start, root.close + 1 - start);
    return handle;
}

void SplitChildren(NodeBody* body)
{
    if (!body->children)
        body->children = new ChildList;
    Splitter(body).Run();
    body->fetched = true;
    body->value.Clear();
    ReleaseUnusedSource(body);
}

std::uint32_t SliceHeight(const NodeBody* body)
{
    const wchar_t* text = body->source->text;
    std::uint32_t depth = 0;
    std::uint32_t height = 0;
    for (std::uint32_t i = SliceOffset(body), end = i + body->value.size(); i < end; ++i) {
        switch (text[i]) {
        case L'"':
            i = StringEnd(text, i, end) - 1;
            break;
        case kCommentMark:
            i += 2 + CommentLength(text, i);
            break;
        case L'[':
        case L'{':
            height = std::max(height, ++depth);
            break;
        case L']':
        case L'}':
            --depth;
            break;
        default:
            break;
        }
    }
    return height;
}

} // namespace zv::json

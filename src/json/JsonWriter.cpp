#include "json/Json.h"
#include "json/JsonBody.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <new>
#include <vector>

namespace zv::json {

namespace {

// Lines are indented by one tab per level up to this depth and no deeper, so
// the text of a deep tree grows with the number of its nodes, not with the
// square of its depth.
constexpr std::uint32_t kIndentLimit = 64;

// The output text, grown by appending in a block of the C allocator so that
// it is handed to the caller without a copy.
class OutputText {
public:
    OutputText() { Grow(2048); }
    ~OutputText() { std::free(m_text); }
    OutputText(const OutputText&) = delete;
    OutputText& operator=(const OutputText&) = delete;

    void Append(wchar_t c)
    {
        if (m_size == m_capacity)
            Grow(m_capacity * 2);
        m_text[m_size++] = c;
    }
    void Append(const wchar_t* text, std::size_t length)
    {
        Reserve(length);
        wchar_t* to = m_text + m_size;
        m_size += length;
        // Most pieces are a few characters long: a loop beats a library call.
        if (length > 32) {
            std::wmemcpy(to, text, length);
            return;
        }
        for (std::size_t i = 0; i < length; ++i)
            to[i] = text[i];
    }
    void Append(std::wstring_view text) { Append(text.data(), text.size()); }
    void Repeat(wchar_t c, std::size_t count)
    {
        Reserve(count);
        wchar_t* to = m_text + m_size;
        m_size += count;
        for (std::size_t i = 0; i < count; ++i)
            to[i] = c;
    }
    void LineBreak(std::uint32_t depth)
    {
        Append(L'\n');
        Repeat(L'\t', depth < kIndentLimit ? depth : kIndentLimit);
    }
    // Gives the text away, null-terminated.
    wchar_t* Release()
    {
        Append(L'\0');
        wchar_t* text = m_text;
        m_text = nullptr;
        return text;
    }

private:
    void Reserve(std::size_t more)
    {
        if (m_capacity - m_size < more) {
            std::size_t capacity = m_capacity * 2;
            while (capacity - m_size < more)
                capacity *= 2;
            Grow(capacity);
        }
    }
    void Grow(std::size_t capacity)
    {
        void* grown = std::realloc(m_text, capacity * sizeof(wchar_t));
        if (!grown)
            throw std::bad_alloc();
        m_text = static_cast<wchar_t*>(grown);
        m_capacity = capacity;
    }

    wchar_t* m_text = nullptr;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
};

// A character a name or string cannot hold as it is: the double quote and
// the backslash end or open something, and a control character would reach
// the file raw (a line feed there would become CR LF).
inline bool NeedsEscape(wchar_t c)
{
    return static_cast<std::uint32_t>(c) < 0x20 || c == L'"' || c == L'\\';
}

void AppendEscape(OutputText& out, wchar_t c)
{
    static const wchar_t kHex[] = L"0123456789abcdef";
    out.Append(L'\\');
    switch (c) {
    case L'"':
    case L'\\':
        out.Append(c);
        return;
    case L'\n':
        out.Append(L'n');
        return;
    case L'\r':
        out.Append(L'r');
        return;
    case L'\t':
        out.Append(L't');
        return;
    default:
        out.Append(L"u00", 3);
        out.Append(kHex[(c >> 4) & 0xF]);
        out.Append(kHex[c & 0xF]);
        return;
    }
}

// Names and strings as JSON text.
void AppendEscaped(OutputText& out, std::wstring_view text)
{
    std::size_t plain = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!NeedsEscape(text[i]))
            continue;
        out.Append(text.data() + plain, i - plain);
        AppendEscape(out, text[i]);
        plain = i + 1;
    }
    out.Append(text.data() + plain, text.size() - plain);
}

// A string never read is written as it stood in the input, escapes and all;
// the marker of an escaped double quote goes back to the quote, and a
// control character that stood raw is escaped.
void AppendUnread(OutputText& out, std::wstring_view text)
{
    std::size_t plain = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c == L'\\') {
            if (text[i + 1] == kQuoteMark) {
                out.Append(text.data() + plain, i + 1 - plain);
                out.Append(L'"');
                plain = i + 2;
            }
            ++i; // the escaped character is never the start of an escape
        } else if (static_cast<std::uint32_t>(c) < 0x20) {
            out.Append(text.data() + plain, i - plain);
            AppendEscape(out, c);
            plain = i + 1;
        }
    }
    out.Append(text.data() + plain, text.size() - plain);
}

// One line of a comment. The reader ends a line comment at the line feed and
// leaves out the carriage returns before it, so a line that ends with one is
// written as a block comment, which keeps it. Read text never has a line
// that also holds "*/"; should one come, its last carriage returns go.
void AppendCommentLine(OutputText& out, std::wstring_view line)
{
    if (!line.empty() && line.back() == L'\r' && line.find(L"*/") == std::wstring_view::npos) {
        out.Append(L"/*", 2);
        out.Append(line);
        out.Append(L"*/", 2);
        return;
    }
    while (!line.empty() && line.back() == L'\r')
        line.remove_suffix(1);
    out.Append(L"//", 2);
    out.Append(line);
}

// Each line of the comment becomes a comment of its own at the node's
// indentation; the reader joins consecutive comments with line feeds, so the
// comment reads back as it was.
void AppendComment(OutputText& out, std::wstring_view comment, std::uint32_t depth)
{
    out.LineBreak(depth);
    std::size_t start = 0;
    for (;;) {
        std::size_t end = comment.find(L'\n', start);
        const bool last = end == std::wstring_view::npos;
        if (last)
            end = comment.size();
        AppendCommentLine(out, comment.substr(start, end - start));
        out.LineBreak(depth);
        if (last)
            break;
        start = end + 1;
    }
}

inline void Prefetch(const void* address)
{
#if defined(__GNUC__)
    __builtin_prefetch(address);
#else
    (void)address;
#endif
}

struct OpenContainer {
    NodeBody* body;
    std::uint32_t next;
    std::uint32_t depth;
};

// Writes the node up to its children: comment, name, and either the whole
// value or the opening bracket of a container with children, which is then
// pushed for the caller's loop to finish.
void WriteNode(OutputText& out, NodeBody* body, std::uint32_t depth, bool member, std::vector<OpenContainer>& open)
{
    // Reading a container may add to its comment the comments that stood
    // after its last child.
    if (IsContainer(body->type))
        Fetch(body);
    if (!body->comment.empty())
        AppendComment(out, body->comment.Get(), depth);
    if (member) {
        out.Append(L'"');
        AppendEscaped(out, body->name.View());
        out.Append(L"\" : ", 4);
    }
    switch (body->type) {
    case JsonArray:
    case JsonObject:
        out.Append(body->type == JsonArray ? L'[' : L'{');
        if (body->children->count) {
            open.push_back({body, 0, depth});
            return;
        }
        out.Append(body->type == JsonArray ? L']' : L'}');
        return;
    case JsonString:
        if (!body->fetched) {
            AppendUnread(out, ValueText(body));
            return;
        }
        out.Append(L'"');
        AppendEscaped(out, ValueText(body));
        out.Append(L'"');
        return;
    default: {
        // A value never set would leave a name without a value, which no
        // reader accepts; it is written as null.
        const std::wstring_view text = ValueText(body);
        if (text.empty())
            out.Append(L"null", 4);
        else
            out.Append(text);
        return;
    }
    }
}

} // namespace

} // namespace zv::json

using namespace zv::json;

wchar_t* JsonWriteFormatted(JsonNode node)
{
    OutputText out;
    if (!node || !IsContainer(AsHandle(node)->body->type))
        return out.Release();

    std::vector<OpenContainer> open;
    WriteNode(out, AsHandle(node)->body, 0, false, open);
    while (!open.empty()) {
        OpenContainer& top = open.back();
        const ChildList* list = top.body->children;
        if (top.next < list->count) {
            NodeBody* child = static_cast<Handle*>(list->items[top.next++])->body;
            // Handles and bodies lie apart on the heap; asking early for the
            // next ones hides most of the wait for memory.
            if (top.next + 1 < list->count)
                Prefetch(list->items[top.next + 1]);
            if (top.next < list->count)
                Prefetch(static_cast<Handle*>(list->items[top.next])->body);
            const std::uint32_t depth = top.depth + 1;
            const bool member = top.body->type == JsonObject;
            const bool last = top.next == list->count;
            out.LineBreak(depth);
            const std::size_t before = open.size();
            WriteNode(out, child, depth, member, open);
            if (open.size() == before && !last)
                out.Append(L',');
            continue;
        }
        out.LineBreak(top.depth);
        out.Append(top.body->type == JsonArray ? L']' : L'}');
        open.pop_back();
        if (!open.empty() && open.back().next < open.back().body->children->count)
            out.Append(L',');
    }
    return out.Release();
}

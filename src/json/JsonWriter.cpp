#include "json/Json.h"
#include "json/JsonBody.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <new>
#include <vector>

namespace zv::json {

namespace {

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
        Repeat(L'\t', depth);
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

// Names and strings whose flag asks for it: a double quote and a backslash get
// a backslash. A NUL is written as \u0000, since a raw one would end the text.
void AppendEscaped(OutputText& out, std::wstring_view text)
{
    std::size_t plain = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c != L'"' && c != L'\\' && c != L'\0')
            continue;
        out.Append(text.data() + plain, i - plain);
        if (c == L'\0') {
            out.Append(L"\\u0000", 6);
        } else {
            out.Append(L'\\');
            out.Append(c);
        }
        plain = i + 1;
    }
    out.Append(text.data() + plain, text.size() - plain);
}

// A string never read is written as it stood in the input; only the marker
// of an escaped double quote goes back to the quote.
void AppendUnread(OutputText& out, std::wstring_view text)
{
    std::size_t plain = 0;
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != L'\\')
            continue;
        if (text[i + 1] == kQuoteMark) {
            out.Append(text.data() + plain, i + 1 - plain);
            out.Append(L'"');
            plain = i + 2;
        }
        ++i; // the escaped character is never the start of an escape
    }
    out.Append(text.data() + plain, text.size() - plain);
}

// One line of a comment. A line comment runs to the end of its line, so a
// line holding a carriage return (which ends a line comment for a reader of
// plain JSON) is written as a block comment, unless it also holds "*/"; then
// its carriage returns are left out.
void AppendCommentLine(OutputText& out, std::wstring_view line)
{
    if (line.find(L'\r') == std::wstring_view::npos) {
        out.Append(L"//", 2);
        out.Append(line);
    } else if (line.find(L"*/") == std::wstring_view::npos) {
        out.Append(L"/*", 2);
        out.Append(line);
        out.Append(L"*/", 2);
    } else {
        out.Append(L"//", 2);
        for (wchar_t c : line) {
            if (c != L'\r')
                out.Append(c);
        }
    }
}

// Each line of the comment becomes a line comment of its own at the node's
// indentation; the reader joins consecutive comments with line feeds, so the
// comment reads back as it was. A carriage return that ends a line is left
// out, as a file's line ends are the file's own.
void AppendComment(OutputText& out, std::wstring_view comment, std::uint32_t depth)
{
    out.LineBreak(depth);
    std::size_t start = 0;
    for (;;) {
        std::size_t end = comment.find(L'\n', start);
        const bool last = end == std::wstring_view::npos;
        if (last)
            end = comment.size();
        std::wstring_view line = comment.substr(start, end - start);
        if (!line.empty() && line.back() == L'\r')
            line.remove_suffix(1);
        AppendCommentLine(out, line);
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
    if (!body->comment.empty())
        AppendComment(out, body->comment, depth);
    if (member) {
        out.Append(L'"');
        // A name read without escapes may still hold a double quote when the
        // text around it was malformed; written bare it would end the name
        // early and read back as other members.
        if (body->nameEscaped || body->name.find(L'"') != std::wstring::npos)
            AppendEscaped(out, body->name);
        else
            out.Append(body->name);
        out.Append(L"\" : ", 4);
    }
    if (IsContainer(body->type))
        Fetch(body);
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
        if (body->valueEscaped)
            AppendEscaped(out, ValueText(body));
        else
            out.Append(ValueText(body));
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

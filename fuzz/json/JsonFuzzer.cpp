// On the input's text and on a document generated from it: validator and engine agree,
// values match RapidJSON's, and written text reads back the same, also after edits.
#include <zvenv/platform/CString.h>

#include "FuzzInput.h"
#include "json/Json.h"
#include "json/JsonGrammar.h"

#include "JsonTree.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

extern "C" int JSONCPP_Parse(const wchar_t* text, CString* error, int flag);
// RapidJSON's reading of text as Render without comments (RapidReference.cpp).
bool ReadReference(const std::wstring& text, std::size_t depthLimit, std::wstring& rendered);

using zv::json::kMaxDepth;
using namespace jsontest;
using zvfuzz::Check;

namespace {

bool Accepted(const std::wstring& text)
{
    CString error;
    const int valid = JSONCPP_Parse(text.c_str(), &error, 1);
    Check(valid == 1 || error.Find(L"Line ") == 0, "rejected without a line and column", error.str());
    return valid == 1;
}

void CheckWrittenReadsBack(JsonNode root)
{
    const std::wstring written = Write(root); // strings unread: written as they stood
    const std::wstring tree = Render(root);
    if (!written.empty()) {
        Check(Accepted(written), "the validator refuses what the writer wrote", written);
        JsonNode again = JsonParse(written.c_str());
        Check(again != nullptr, "the engine refuses what it wrote", written);
        Check(Write(again) == written, "writing the read text again changes it", written);
        Check(Render(again) == tree, "written text reads back as another tree", written);
        JsonDeleteNode(again);
    }
}

// Every node, read, the last child of each first.
void Nodes(JsonNode node, std::vector<JsonNode>& out)
{
    out.push_back(node);
    const std::vector<JsonNode> children(JsonBegin(node), JsonEnd(node));
    std::for_each(children.rbegin(), children.rend(), [&](JsonNode child) { Nodes(child, out); });
}

const wchar_t* const kTexts[] = {L"",   L"x",  L"\"q\"", L"a\\b", L"\U0001F600", L"\xD800", L"*/",
                                 L"//", L"\n", L"\r\n",  L"\t",   L"\x01\x1f",   L"0x1F",   L"name"};

void Edit(zvfuzz::FuzzInput& in, JsonNode root)
{
    std::vector<JsonNode> nodes;
    Nodes(root, nodes);
    JsonNode node = nodes[in.Range(0, static_cast<std::uint32_t>(nodes.size() - 1))];
    const std::uint32_t op = in.Range(0, 9);
    if (op == 0) {
        JsonSetName(node, in.Pick(kTexts));
    } else if (op == 1) {
        JsonSetString(node, in.Pick(kTexts));
    } else if (op == 2) {
        JsonSetInt(node, static_cast<std::int32_t>(in.Range(0, 0xFFFFFFFFu)));
    } else if (op == 3) {
        JsonSetBool(node, in.Flag());
    } else if (op < 6) {
        JsonNode child = in.Flag() ? JsonNewString(in.Pick(kTexts), in.Pick(kTexts))
                                   : JsonNewNode(static_cast<JsonNodeType>(in.Range(0, 5)));
        const int before = JsonGetSize(node);
        const bool container = JsonGetType(node) == JsonArray || JsonGetType(node) == JsonObject;
        const int taken = JsonPushBack(node, child);
        Check(JsonGetSize(node) == before + taken, "append changed the size wrongly");
        // Only a container refuses, and only a container too deep for it.
        const JsonNodeType type = JsonGetType(child);
        Check(taken == 1 || !container || type == JsonArray || type == JsonObject, "a value was refused");
        if (!taken)
            JsonDeleteNode(child);
    } else if (op == 6) {
        const int size = JsonGetSize(node);
        JsonIterator begin = JsonBegin(node);
        if (begin && size > 0) {
            JsonIterator next = JsonErase(node, begin + in.Range(0, static_cast<std::uint32_t>(size - 1)));
            Check(next >= JsonBegin(node) && next <= JsonEnd(node), "erase answers a slot outside the list");
        }
    } else if (op == 7) {
        JsonClearChildren(node);
        Check(JsonGetSize(node) == 0, "children left after clearing");
    } else if (op == 8) {
        // A chain of arrays as deep as the node's place allows, and one more (seldom: slow).
        JsonNode at = in.Range(0, 7) == 0 ? node : nullptr;
        for (std::uint32_t i = 0; at && i <= kMaxDepth; ++i) {
            JsonNode child = JsonNewNode(JsonArray);
            at = JsonPushBack(at, child) ? child : nullptr;
            if (!at)
                JsonDeleteNode(child);
        }
    } else if (JsonNode array = JsonAsArray(node)) {
        Render(array);
        CheckWrittenReadsBack(array);
        JsonDeleteNode(array);
    }
}

// Text the grammar takes that RapidJSON refuses: raw controls in strings (outside them only
// tabs and line ends are blanks), lone surrogates, huge exponents.
bool BeyondReference(const std::wstring& t)
{
    std::wstring_view close; // what ends the string or comment the scan is in; empty outside
    for (std::size_t i = 0; i < t.size(); ++i) {
        const bool inString = close == L"\"";
        const bool exponent =
            (t[i] == L'e' || t[i] == L'E') && std::min(t.find_first_not_of(L"+-0123456789", i + 1), t.size()) > i + 3;
        const bool control = t[i] < 0x20 && (inString || (t[i] != L'\n' && t[i] != L'\r' && t[i] != L'\t'));
        if (control || (t[i] >= 0xD800 && t[i] <= 0xDFFF) || exponent || t.compare(i, 3, L"\\ud") == 0 ||
            t.compare(i, 3, L"\\uD") == 0)
            return true;
        if (close.empty()) {
            if (t[i] == L'"' || t.compare(i, 2, L"//") == 0 || t.compare(i, 2, L"/*") == 0)
                close = t[i] == L'"' ? L"\"" : t[i + 1] == L'/' ? L"\n" : L"*/";
            i += close == L"*/";
        } else if (inString && t[i] == L'\\') {
            ++i;
        } else if (t.compare(i, close.size(), close) == 0) {
            i += close.size() - 1;
            close = {};
        }
    }
    return false;
}

void CheckText(const std::wstring& text, zvfuzz::FuzzInput& in)
{
    const bool valid = Accepted(text);
    JsonNode root = JsonParse(text.c_str());
    Check(valid == (root != nullptr),
          valid ? "the engine refuses what the validator accepts" : "the engine reads what the validator refuses",
          text);

    std::wstring reference;
    const bool read = ReadReference(text, kMaxDepth, reference);
    Check(read || !root || BeyondReference(text), "the engine reads a text RapidJSON refuses", text);
    Check(!read || root, "the engine refuses a document RapidJSON reads", text);
    if (!root)
        return;
    CheckWrittenReadsBack(root); // first, while the strings are unread
    Check(!read || Render(root, false, false) == reference, "the engine reads other values than RapidJSON",
          Render(root, false, false) + L" / " + reference);

    JsonNode shared = JsonAsArray(root);
    const std::wstring sharedBefore = Write(shared);
    for (int edits = in.Range(0, 4); edits > 0; --edits)
        Edit(in, root);
    CheckWrittenReadsBack(root);
    Check(Write(shared) == sharedBefore, "an edit shows through another handle");
    JsonDeleteNode(shared);
    JsonDeleteNode(root);
}

const wchar_t* const kBlanks[] = {L" ",       L"\t",           L"\n",           L"\r\n", L"// c\n",
                                  L"/* c */", L"/* a\r\nb */", L"//\r\n",       L"/**/", L"// # [ \" ,\n",
                                  L"/*\r*/",  L"//\r\r\n",     L"/* ] } */\r\n"};
const wchar_t* const kStringParts[] = {
    L"plain",    L"\\\"",    L"\\\\", L"\\/",  L"\\b\\f\\n\\r\\t", L"\\u00e9",    L"\\ud83d\\ude00", L"\\ud800",
    L"\\udc00x", L"\\u0000", L"\t",   L"\r\n", L"\u00e9",          L"\U0001F600", L"\xDC00",         L",:[]{}",
    L"//",       L"/*",      L"#",    L" "};
const wchar_t* const kNumbers[] = {L"0",    L"-0",    L"7",       L"-12",
                                   L"3.25", L"1e5",   L"1E+05",   L"2.5e-3",
                                   L"0.0",  L"1e400", L"-0.5E-0", L"123456789012345678901234567890"};
const wchar_t* const kFaults[] = {L"08",        L"-",         L"1.",      L".5",      L"+1",    L"0x1F",    L"True",
                                  L"'a'",       L"\"\\x41\"", L"\"\\v\"", L"#c\n",    L"/",     L"/* open", L",",
                                  L":",         L"}",         L"]",       L"\"open",  L"nul",   L"1e",      L"\u00e9",
                                  L"\"\\u12\"", L"\x01",      L"[1 2]",   L"{\"a\"}", L"{a:1}", L"[,]",     L"{,}"};

// The grammar, a fault now and then, and at most one chain of arrays near the depth limit.
struct Generator {
    zvfuzz::FuzzInput& m_in;
    std::wstring m_out{};
    int m_budget = 40;
    bool m_chained = false;

    std::wstring Document()
    {
        Blanks();
        Container(1);
        Blanks();
        return m_out;
    }

    void Blanks()
    {
        for (int n = static_cast<int>(m_in.Range(0, 2)); n > 0; --n)
            m_out += m_in.Pick(kBlanks);
    }

    void Container(std::uint32_t depth)
    {
        const bool array = m_in.Flag();
        m_out += array ? L'[' : L'{';
        const int count = m_budget > 0 ? static_cast<int>(m_in.Range(0, 4)) : 0;
        for (int i = 0; i < count; ++i) {
            Blanks();
            if (!array) {
                String();
                Blanks();
                m_out += L':';
                Blanks();
            }
            Value(depth);
            Blanks();
            if (i + 1 < count || m_in.Range(0, 3) == 0)
                m_out += L',';
        }
        Blanks();
        m_out += array ? L']' : L'}';
    }

    void Value(std::uint32_t depth)
    {
        --m_budget;
        const std::uint32_t pick = m_in.Range(0, 11);
        if (pick < 2) {
            Container(depth + 1);
        } else if (pick == 2 && !m_chained && m_in.Range(0, 15) == 0) { // deep text is slow to check: seldom
            m_chained = true;
            const std::uint32_t levels = kMaxDepth - depth - 1 + m_in.Range(0, 2);
            m_out += std::wstring(levels, L'[') + L"0" + std::wstring(levels, L']');
        } else if (pick == 2) {
            m_out += L"null";
        } else if (pick < 6) {
            String();
        } else if (pick < 8) {
            m_out += m_in.Pick(kNumbers);
        } else if (pick == 8) {
            m_out += m_in.Flag() ? L"true" : m_in.Flag() ? L"false" : L"null";
        } else {
            m_out += pick > 9 ? L"\"\"" : m_in.Range(0, 3) == 0 ? m_in.Pick(kFaults) : L"1";
        }
    }

    void String()
    {
        m_out += L'"';
        for (int n = static_cast<int>(m_in.Range(0, 3)); n > 0; --n)
            m_out += m_in.Pick(kStringParts);
        m_out += L'"';
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    zvfuzz::FuzzInput in(data, size);
    CheckText(zvfuzz::DecodeText(in.TakeDocument()), in);
    CheckText(Generator{in}.Document(), in);
    return 0;
}

// The JSON grammar, the engine and the validator's descriptions at this
// build's width of wchar_t. Built natively (32 bits) and as a Windows program
// (16 bits, run under the reference loader); both must print the same lines,
// every character shown by its code point, so that nothing depends on one
// wchar_t holding a whole character.
#include "jsonlint/GrammarDescription.h"
#include "json/Json.h"
#include "json/JsonBody.h"
#include "json/JsonGrammar.h"

#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <string>

namespace {

// Printable ASCII as it is, anything else as \u{code point}; a surrogate
// pair is one code point, a lone surrogate is shown alone.
std::string Show(const std::wstring& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto code = static_cast<std::uint32_t>(text[i]);
        if (sizeof(wchar_t) == 2 && code >= 0xD800 && code <= 0xDBFF && i + 1 < text.size()) {
            const auto low = static_cast<std::uint32_t>(text[i + 1]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if (code >= 0x20 && code < 0x7F && code != '\\') {
            out += static_cast<char>(code);
        } else {
            char escaped[16];
            std::snprintf(escaped, sizeof escaped, "\\u{%x}", static_cast<unsigned>(code));
            out += escaped;
        }
    }
    return out;
}

std::wstring Take(wchar_t* text, std::size_t length)
{
    std::wstring copy(text, length);
    JsonFreeString(text);
    return copy;
}

void Render(JsonNode node, bool member, std::wstring& out)
{
    const JsonNodeType type = JsonGetType(node);
    const bool container = type == JsonArray || type == JsonObject;
    const int size = container ? JsonGetSize(node) : 0;
    out += L"<" + zv::json::AsHandle(node)->body->comment + L">";
    std::size_t length = 0;
    if (member) {
        wchar_t* name = JsonGetName(node, &length);
        out += Take(name, length) + L":";
    }
    if (!container) {
        wchar_t* value = JsonGetString(node, &length);
        out += std::to_wstring(type) + L"=" + Take(value, length);
        return;
    }
    out += type == JsonArray ? L"[" : L"{";
    for (int i = 0; i < size; ++i)
        Render(JsonBegin(node)[i], type == JsonObject, out);
    out += type == JsonArray ? L"]" : L"}";
}

void Check(const std::wstring& text)
{
    zv::json::NullGrammarSink sink;
    const zv::json::GrammarResult result = zv::json::ScanDocument(text.c_str(), text.size(), sink);
    std::printf("text %s\n", Show(text.size() > 200 ? text.substr(0, 200) + L"..." : text).c_str());
    std::printf("  verdict %d %s\n", result.ok() ? 1 : 0, Show(zv::jsonlint::Describe(text.c_str(), result)).c_str());
    JsonNode root = JsonParse(text.c_str());
    if (!root) {
        std::printf("  engine refuses\n");
        return;
    }
    std::wstring tree;
    Render(root, false, tree);
    wchar_t* written = JsonWriteFormatted(root);
    std::printf("  tree %s\n  written %s\n", Show(tree.size() > 300 ? tree.substr(0, 300) : tree).c_str(),
                Show(written).c_str());
    JsonFreeString(written);
    JsonDeleteNode(root);
}

} // namespace

int main()
{
    const wchar_t* const texts[] = {
        L"[\"\U0001F600\", \"a\\ud83d\\ude00b\", \"\\ud83d\", \"\\ude00\", \"\\ud83d\\u0041\", \"\\uDBFF\\uDFFF\"]",
        L"{\"\\ud83d\\ude00\": 1, \"\U0001F600\": 2} // \U0001F600 note",
        L"[\"\U0001F600\U0001F600\", x]",
        L"[1,\n \"\U0001F600\" \U0001F600]",
        L"{\"a\": 1,} /* after \U0001F600 */",
        L"{\r\n\t// settings go here\r\n}",
        L"[08]",
        L"[\"\\x41\"]",
        L"{\"a\" /*x*/ : /*y*/ 1 /*z*/, \"b\":2}",
    };
    for (const wchar_t* text : texts)
        Check(text);

    // A comment longer than one 16-bit unit can count.
    Check(L"// " + std::wstring(70000, L'c') + L"\n[\"after\"]");
    // The depth limit at both widths.
    Check(std::wstring(zv::json::kMaxDepth, L'[') + std::wstring(zv::json::kMaxDepth, L']'));
    Check(std::wstring(zv::json::kMaxDepth + 1, L'[') + std::wstring(zv::json::kMaxDepth + 1, L']'));

    // Built through the interface: characters beyond 16 bits, a lone
    // surrogate and control characters, written and read back.
    JsonNode root = JsonNewNode(JsonObject);
    JsonPushBack(root, JsonNewString(L"\U0001F600", L"\U0001F600 \xD800 \t\n\x01"));
    wchar_t* written = JsonWriteFormatted(root);
    Check(written);
    JsonFreeString(written);
    JsonDeleteNode(root);
    return 0;
}

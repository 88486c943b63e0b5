// Grammar, engine and validator messages at this build's wchar_t width: the native (32 bits)
// and Windows (16 bits) programs must print the same lines, characters as code points.
#include "../json/JsonTree.h"
#include "jsonlint/GrammarDescription.h"
#include "json/JsonGrammar.h"

#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <string>

namespace {

// Printable ASCII as is, anything else as \u{code point} (a pair as one).
std::string Show(const std::wstring& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto code = static_cast<std::uint32_t>(text[i]);
        const auto low = i + 1 < text.size() ? static_cast<std::uint32_t>(text[i + 1]) : 0u;
        if (sizeof(wchar_t) == 2 && code >= 0xD800 && code <= 0xDBFF && low >= 0xDC00 && low <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
            ++i;
        }
        char shown[16];
        std::snprintf(shown, sizeof shown, code >= 0x20 && code < 0x7F && code != '\\' ? "%c" : "\\u{%x}",
                      static_cast<unsigned>(code));
        out += shown;
    }
    return out;
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
    const std::wstring tree = jsontest::Render(root);
    std::printf("  tree %s\n  written %s\n", Show(tree.substr(0, 300)).c_str(), Show(jsontest::Write(root)).c_str());
    JsonDeleteNode(root);
}

} // namespace

int main()
{
    const std::wstring texts[] = {
        L"[\"\U0001F600\", \"a\\ud83d\\ude00b\", \"\\ud83d\", \"\\ude00\", \"\\ud83d\\u0041\", \"\\uDBFF\\uDFFF\"]",
        L"{\"\\ud83d\\ude00\": 1, \"\U0001F600\": 2} // \U0001F600 note",
        L"[\"\U0001F600\U0001F600\", x]",
        L"[1,\n \"\U0001F600\" \U0001F600]",
        L"{\"a\": 1,} /* after \U0001F600 */",
        L"{\r\n\t// settings go here\r\n}",
        L"[08]",
        L"[\"\\x41\"]",
        L"{\"a\" /*x*/ : /*y*/ 1 /*z*/, \"b\":2}",
        // A comment longer than one 16-bit unit can count; the depth limit at both widths.
        L"// " + std::wstring(70000, L'c') + L"\n[\"after\"]",
        std::wstring(zv::json::kMaxDepth, L'[') + std::wstring(zv::json::kMaxDepth, L']'),
        std::wstring(zv::json::kMaxDepth + 1, L'[') + std::wstring(zv::json::kMaxDepth + 1, L']'),
    };
    for (const std::wstring& text : texts)
        Check(text);

    // Built through the interface: beyond 16 bits, a lone surrogate, controls.
    JsonNode root = JsonNewNode(JsonObject);
    JsonPushBack(root, JsonNewString(L"\U0001F600", L"\U0001F600 \xD800 \t\n\x01"));
    Check(jsontest::Write(root));
    JsonDeleteNode(root);
    return 0;
}

#pragma once

#include "json/JsonGrammar.h"

#include <cstddef>
#include <cstdint>
#include <string>

// The validator's description of a fault: where it lies (line and column)
// and what is wrong there. Header only, so that a check of the grammar at
// the other width of wchar_t can build it without the module.
namespace zv::jsonlint {

using zv::json::Expected;
using zv::json::GrammarError;
using zv::json::GrammarResult;

// Line and column of a position, both from 1. A line ends at a LF, at a CR
// LF (one break) and at a CR alone; a column counts characters, a surrogate
// pair as one.
inline void LineAndColumn(const wchar_t* text, std::size_t position, std::size_t& line, std::size_t& column)
{
    line = 1;
    column = 1;
    for (std::size_t i = 0; i < position; ++i) {
        const wchar_t c = text[i];
        if (c == L'\n' || (c == L'\r' && text[i + 1] != L'\n')) {
            ++line;
            column = 1;
        } else if (c == L'\r') {
            // the LF that follows ends the line
        } else if (!(sizeof(wchar_t) == 2 && c >= 0xDC00 && c <= 0xDFFF && i > 0 && text[i - 1] >= 0xD800 &&
                     text[i - 1] <= 0xDBFF)) {
            ++column;
        }
    }
}

// The character at position as the description shows it: printable ASCII in
// quotes, anything else as its code point (a surrogate pair as one).
inline std::wstring Found(const wchar_t* text, std::size_t position)
{
    const wchar_t c = text[position];
    if (c == 0)
        return L"the end of the text";
    if (c > 0x20 && c < 0x7F)
        return std::wstring(L"'") + c + L"'";
    auto code = static_cast<std::uint32_t>(c);
    const auto next = static_cast<std::uint32_t>(text[position + 1]);
    if (sizeof(wchar_t) == 2 && code >= 0xD800 && code <= 0xDBFF && next >= 0xDC00 && next <= 0xDFFF)
        code = 0x10000 + ((code - 0xD800) << 10) + (next - 0xDC00);
    std::wstring digits;
    for (; code || digits.size() < 4; code >>= 4)
        digits.insert(digits.begin(), L"0123456789ABCDEF"[code & 0xF]);
    return L"U+" + digits;
}

inline const wchar_t* WhatFits(Expected expected)
{
    switch (expected) {
    case Expected::Root:
        return L"where the document should start: a document is an object {...} or an array [...]";
    case Expected::Value:
        return L"where a value should stand (a string, number, object, array, true, false or null)";
    case Expected::ValueOrBracket:
        return L"where a value or ']' should stand";
    case Expected::NameOrBrace:
        return L"where a member name in double quotes or '}' should stand";
    case Expected::Colon:
        return L"where ':' should follow the member name";
    case Expected::CommaOrBrace:
        return L"where ',' or '}' should follow the member";
    case Expected::CommaOrBracket:
        return L"where ',' or ']' should follow the element";
    case Expected::End:
        return L"after the end of the document, where only blanks and comments may follow";
    }
    return L"";
}

inline std::wstring Describe(const wchar_t* text, const GrammarResult& result)
{
    std::size_t line = 0, column = 0;
    LineAndColumn(text, result.position, line, column);
    std::wstring description = L"Line " + std::to_wstring(line) + L", Column " + std::to_wstring(column) + L": ";
    switch (result.error) {
    case GrammarError::None:
        return std::wstring();
    case GrammarError::Unexpected:
        description += Found(text, result.position) + L" " + WhatFits(result.expected);
        break;
    case GrammarError::LeadingZero:
        description += L"a number may not start with 0 followed by more digits (write 8, not 08)";
        break;
    case GrammarError::NumberSign:
        description += L"'-' must be followed by the digits of a number";
        break;
    case GrammarError::NumberFraction:
        description += L"a decimal point must be followed by digits (write 1.0, not 1.)";
        break;
    case GrammarError::NumberExponent:
        description += L"an exponent must have digits (as in 1e5 or 1e-5)";
        break;
    case GrammarError::UnclosedString:
        description += L"the string that starts here has no closing double quote";
        break;
    case GrammarError::BadEscape:
        description += L"unknown escape " + std::wstring(text + result.position, 2) +
                       L" in a string; the escapes are \\\" \\\\ \\/ \\b \\f \\n \\r \\t and \\u with four "
                       L"hexadecimal digits";
        break;
    case GrammarError::BadUnicodeEscape:
        description += L"\\u must be followed by four hexadecimal digits";
        break;
    case GrammarError::UnclosedComment:
        description += L"the comment that starts here has no closing */";
        break;
    case GrammarError::LoneSlash:
        description += L"'/' starts no comment here (comments are // to the end of the line, or /* ... */)";
        break;
    case GrammarError::TooDeep:
        description +=
            L"arrays and objects are nested deeper than " + std::to_wstring(zv::json::kMaxDepth) + L" levels";
        break;
    }
    return description;
}

} // namespace zv::jsonlint

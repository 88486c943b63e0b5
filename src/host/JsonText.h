#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zvenv {

// A JSON value as the host shows it: its type, its text and its children.
// The library's documents hand out values as text only, so the host reads the
// types from the file the library loaded, and builds its own output with them.
struct JsonValue {
    enum Type { Null, String, Number, Boolean, Array, Object };

    Type type = Null;
    std::wstring name; // a member's name; empty for array elements and the root
    std::wstring text; // a string's text, a number as written, "true" or "false"
    std::vector<JsonValue> items;

    static JsonValue Str(std::wstring text);
    static JsonValue Num(std::wstring text);
    static JsonValue Bool(bool value);
    static JsonValue Arr();
    static JsonValue Obj();

    bool IsContainer() const { return type == Array || type == Object; }
    // Adds a member (objects) or an element (arrays) and returns it.
    JsonValue& Add(JsonValue value, std::wstring name = std::wstring());
    // The first member with the name, null when there is none.
    const JsonValue* Find(std::wstring_view name) const;
};

const char* TypeName(JsonValue::Type type);

// Reads JSON text as the library's documents accept it: comments (// and
// /* */) where blanks may stand, one trailing comma in an object or array,
// at most 1,000 levels. False with the line and the reason otherwise.
bool ParseJson(std::wstring_view text, JsonValue& out, std::string& error);

// The value as UTF-8 JSON text: indented by two spaces, or on one line.
std::string WriteJson(const JsonValue& value, bool indented = true);
// One string as a JSON string literal (UTF-8, control characters escaped).
std::string QuoteJson(std::wstring_view text);

} // namespace zvenv

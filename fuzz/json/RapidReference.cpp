// Built apart and without the pointer-overflow check: RapidJSON's stack does
// arithmetic on its null start before it first allocates.
#include "RapidReference.h"

#include <rapidjson/document.h>

#include <type_traits>

namespace jsonfuzz {

namespace {

// RapidJSON reads the wide text directly, whichever width wchar_t has.
using Wide = std::conditional_t<sizeof(wchar_t) == 4, rapidjson::UTF32<wchar_t>, rapidjson::UTF16<wchar_t>>;
using Value = rapidjson::GenericValue<Wide>;

void Convert(const Value& from, ReferenceNode& to)
{
    if (from.IsObject()) {
        to.kind = ReferenceNode::Object;
        for (const auto& member : from.GetObject()) {
            to.children.emplace_back();
            to.children.back().name.assign(member.name.GetString(), member.name.GetStringLength());
            Convert(member.value, to.children.back());
        }
    } else if (from.IsArray()) {
        to.kind = ReferenceNode::Array;
        for (const Value& element : from.GetArray()) {
            to.children.emplace_back();
            Convert(element, to.children.back());
        }
    } else if (from.IsString()) {
        to.kind = ReferenceNode::String;
        to.value.assign(from.GetString(), from.GetStringLength());
    } else if (from.IsNumber()) {
        to.kind = ReferenceNode::Number;
    } else if (from.IsBool()) {
        to.kind = ReferenceNode::Boolean;
        to.value = from.GetBool() ? L"true" : L"false";
    }
}

} // namespace

bool ReadReference(const std::wstring& text, ReferenceNode& root)
{
    rapidjson::GenericDocument<Wide> document;
    constexpr unsigned kFlags =
        rapidjson::kParseCommentsFlag | rapidjson::kParseTrailingCommasFlag | rapidjson::kParseIterativeFlag;
    document.Parse<kFlags>(text.c_str());
    if (document.HasParseError() || !(document.IsObject() || document.IsArray()))
        return false;
    Convert(document, root);
    return true;
}

} // namespace jsonfuzz

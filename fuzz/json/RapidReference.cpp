// No pointer-overflow check here: RapidJSON's stack computes on a null start.
#include <rapidjson/reader.h>

#include <string>
#include <type_traits>

namespace {

using Wide = std::conditional_t<sizeof(wchar_t) == 4, rapidjson::UTF32<wchar_t>, rapidjson::UTF16<wchar_t>>;

// Events to text; numbers as spelt in the text (RapidJSON garbles wide ones).
struct Renderer : rapidjson::BaseReaderHandler<Wide, Renderer> {
    const std::wstring& m_text;
    const rapidjson::GenericStringStream<Wide>& m_stream;
    const std::size_t m_depthLimit;
    std::wstring& out;
    std::size_t m_depth = 0;
    bool m_named = false;

    bool Default() { return false; } // numbers are parsed as text, never as values
    bool Null() { return Scalar(L"null"); }
    bool Bool(bool value) { return Scalar(value ? L"true" : L"false"); }
    bool RawNumber(const wchar_t*, rapidjson::SizeType length, bool)
    {
        return Scalar(m_text.substr(m_stream.Tell(), length));
    }
    bool String(const wchar_t* text, rapidjson::SizeType length, bool)
    {
        std::wstring value;
        for (rapidjson::SizeType i = 0; i < length; ++i)
            value += text[i] ? std::wstring(1, text[i]) : std::wstring(L"\\0");
        return Scalar(L"\"" + value + L"\"");
    }
    bool Key(const wchar_t* text, rapidjson::SizeType length, bool)
    {
        Separate();
        out += std::wstring(text, length) + L":";
        m_named = true;
        return true;
    }
    bool StartObject() { return Open(L'{'); }
    bool StartArray() { return Open(L'['); }
    bool EndObject(rapidjson::SizeType) { return Close(L'}'); }
    bool EndArray(rapidjson::SizeType) { return Close(L']'); }

    void Separate()
    {
        if (!m_named && !out.empty() && out.back() != L'[' && out.back() != L'{')
            out += L',';
        m_named = false;
    }
    // A scalar at the root, or a container too deep, stops the reading.
    bool Scalar(const std::wstring& text)
    {
        Separate();
        out += text;
        return m_depth > 0;
    }
    bool Open(wchar_t bracket)
    {
        Separate();
        out += bracket;
        return ++m_depth <= m_depthLimit;
    }
    bool Close(wchar_t bracket)
    {
        out += bracket;
        --m_depth;
        return true;
    }
};

} // namespace

// RapidJSON's reading of text as Render without comments; false when refused,
// not rooted in an array or object, or deeper than depthLimit.
bool ReadReference(const std::wstring& text, std::size_t depthLimit, std::wstring& rendered)
{
    constexpr unsigned kFlags = rapidjson::kParseCommentsFlag | rapidjson::kParseTrailingCommasFlag |
                                rapidjson::kParseIterativeFlag | rapidjson::kParseNumbersAsStringsFlag;
    // A stack that never grows: RapidJSON copies wide numbers within it.
    rapidjson::GenericReader<Wide, Wide> reader(nullptr, 16 * text.size() + 1024);
    rapidjson::GenericStringStream<Wide> stream(text.c_str());
    Renderer renderer{{}, text, stream, depthLimit, rendered};
    return !reader.Parse<kFlags>(stream, renderer).IsError();
}

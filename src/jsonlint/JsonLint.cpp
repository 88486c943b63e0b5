#include <zvenv/platform/CString.h>
#include <zvenv/platform/Export.h>
#include <zvenv/platform/Text.h>

#include <json/json.h>

#include <cwchar>
#include <exception>
#include <memory>
#include <string>

namespace {

// Nesting deeper than this is refused with a description; the reader recurses
// once per level, so the limit also keeps the call stack small.
constexpr int kDepthLimit = 1000;

// Returns true for acceptable text; otherwise description says where the
// reader stopped and what it expected there.
bool Validate(const wchar_t* text, std::string& description)
{
    const std::string utf8 = zv::text::EncodeUtf8(text ? std::wstring_view(text) : std::wstring_view());
    Json::CharReaderBuilder builder;
    builder["allowComments"] = true;
    builder["collectComments"] = false;
    builder["strictRoot"] = true;
    builder["failIfExtra"] = true;
    builder["stackLimit"] = kDepthLimit;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value root;
    try {
        return reader->parse(utf8.data(), utf8.data() + utf8.size(), &root, &description);
    } catch (const std::exception& failure) {
        // The reader throws when the nesting limit is reached.
        description = std::string("* ") + failure.what() + "\n  The document is nested too deeply.\n";
        return false;
    }
}

} // namespace

// The validator's entry point: a null-terminated wide text in, a readable
// description of what is wrong written to *error, the constant 1 as flag;
// returns 1 for acceptable JSON (comments allowed, an array or object at the
// root) and 0 otherwise. Nothing is thrown out of it.
extern "C" ZV_DLL_EXPORT int JSONCPP_Parse(const wchar_t* text, CString* error, int flag)
{
    (void)flag;
    try {
        std::string description;
        const bool valid = Validate(text, description);
        if (error)
            *error = CString(zv::text::DecodeUtf8Lenient(description));
        return valid ? 1 : 0;
    } catch (...) {
        try {
            if (error)
                *error = L"The text could not be checked.";
        } catch (...) {
        }
        return 0;
    }
}

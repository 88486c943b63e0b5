#include <zvenv/platform/CString.h>
#include <zvenv/platform/Export.h>

#include "jsonlint/GrammarDescription.h"
#include "json/JsonGrammar.h"

#include <cwchar>

// The validator's entry point: a null-terminated wide text in, a readable
// description of what is wrong (line, column and the fault) written to
// *error, the constant 1 as flag; returns 1 for text of the library's JSON
// grammar and 0 otherwise. Nothing is thrown out of it.
extern "C" ZV_DLL_EXPORT int JSONCPP_Parse(const wchar_t* text, CString* error, int flag)
{
    (void)flag;
    try {
        if (!text) {
            if (error)
                *error = L"No text was given to check.";
            return 0;
        }
        zv::json::NullGrammarSink sink;
        const zv::json::GrammarResult result = zv::json::ScanDocument(text, std::wcslen(text), sink);
        if (error)
            *error = CString(zv::jsonlint::Describe(text, result));
        return result.ok() ? 1 : 0;
    } catch (...) {
        // Only building the description can fail (out of memory).
        try {
            if (error)
                *error = L"The text could not be checked.";
        } catch (...) {
        }
        return 0;
    }
}

// CTqEnvJson's bar splitter: pieces come from the text in order, never empty;
// without a double bar they are the texts between bars.
#include <zvenv/CTqEnvJson.h>
#include <zvenv/platform/Text.h>

#include "FuzzInput.h"

#include <string>
#include <vector>

using zvfuzz::Check;

namespace {

// Without "||": every non-empty text before a bar, in order.
std::vector<std::wstring> BarPieces(const std::wstring& text)
{
    std::vector<std::wstring> pieces;
    std::size_t start = 0;
    for (std::size_t bar = text.find(L'|'); bar != std::wstring::npos; bar = text.find(L'|', start)) {
        if (bar > start)
            pieces.push_back(text.substr(start, bar - start));
        start = bar + 1;
    }
    return pieces;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    zvfuzz::FuzzInput in(data, size);
    const std::wstring text = zvfuzz::DecodeText(in.TakeDocument());

    CStringArray pieces;
    pieces.Add(L"stale");
    // The CString keeps embedded nulls out: it is built from a C string.
    const CString whole(text.c_str());
    const int count = CTqEnvJson::StringToArray(whole, pieces);
    Check(count == pieces.GetSize(), "count differs from the pieces");
    const std::wstring seen = whole.GetString();
    Check(count <= static_cast<int>(seen.size()), "more pieces than characters");

    if (seen.find(L"||") == std::wstring::npos) {
        Check(std::vector<std::wstring>(pieces.begin(), pieces.end()) == BarPieces(seen), "bar pieces differ", seen);
        return 0;
    }
    // With double bars each piece is input text, in order, plus one bar.
    std::size_t from = 0;
    for (int i = 0; i < count; ++i) {
        const std::wstring piece = pieces.GetAt(i).GetString();
        Check(!piece.empty() && piece.back() == L'|', "a piece without its bar", seen);
        const std::wstring taken = piece == L"|" ? piece : piece.substr(0, piece.size() - 1);
        const std::size_t at = seen.find(taken, from);
        Check(at != std::wstring::npos, "a piece that is not in the text", seen + L" / " + piece);
        from = at + taken.size();
    }
    return 0;
}

// StringToArray and CPath on arbitrary text (the input's head, UTF-8 or
// UTF-16 after a mark); its tail picks delimiters and flags.
#include <zvenv/ZvUtil.h>
#include <zvenv/platform/Os.h>
#include <zvenv/platform/Text.h>

#include "FuzzInput.h"
#include "util/CPath.h"

#include <string>

using zvfuzz::Check;

namespace {

const wchar_t* const kDelimiters[] = {nullptr, L"", L"|", L",", L"||", L"aa", L"aba", L"\\", L"\U0001F600"};

void CheckStringToArray(zvfuzz::FuzzInput& in, const std::wstring& text)
{
    const wchar_t* delimiter = in.Pick(kDelimiters);
    CStringArray pieces;
    pieces.Add(L"stale");
    const int count = StringToArray(CString(text.c_str()), pieces, delimiter);
    Check(count == pieces.GetSize(), "count differs from the pieces");
    Check(!text.empty() || count == 0, "empty text gave pieces");
    // Without a delimiter one piece; else the pieces joined give the text (less
    // a delimiter at its end) and none holds the delimiter.
    const std::wstring separator = delimiter ? delimiter : L"";
    std::wstring joined;
    for (int i = 0; i < count; ++i) {
        const std::wstring piece = pieces.GetAt(i).GetString();
        joined += (i ? separator : L"") + piece;
        Check(separator.empty() ? count == 1 : piece.find(separator) == std::wstring::npos,
              "a piece holds the delimiter");
    }
    Check(joined == text || joined + separator == text, "pieces do not rebuild the text", text);
    // A piece per match, scanned from the left without overlap, and one more
    // unless the last match ends the text.
    std::size_t matches = 0, end = 0;
    for (std::size_t at; !separator.empty() && (at = text.find(separator, end)) != std::wstring::npos; ++matches)
        end = at + separator.size();
    Check(text.empty() || separator.empty() || count == static_cast<int>(matches + (end < text.size())),
          "pieces do not match the delimiters found", text);
}

bool IsSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

void CheckPath(zvfuzz::FuzzInput& in, const std::wstring& text)
{
    const int asFolder = in.Flag(), withArgs = in.Flag();
    CPath path(text.c_str(), asFolder, withArgs);
    Check(text == path.GetPath().GetString(), "path not kept unchanged");

    const CString folder = path.GetDir(-1);
    for (int i = 0; i < folder.GetLength(); ++i)
        Check(folder[i] != (zv::os::kSeparator == L'/' ? L'\\' : L'/'), "folder keeps a foreign separator");
    int index = 0;
    for (; index < 300; ++index) {
        const CString name = path.GetDir(index);
        if (name.IsEmpty() && path.GetDir(index + 1).IsEmpty())
            break;
        for (int i = 0; i < name.GetLength(); ++i)
            Check(!IsSeparator(name[i]), "a folder name holds a separator");
    }
    Check(index < 300, "more folder names than the path has room for");
    Check(path.GetDir(1 << 30).IsEmpty(), "folder name far past the end");

    const CString extension = path.GetExtension();
    const CString fileName = path.GetFileName();
    Check(extension.IsEmpty() || extension[0] == L'.', "extension without its dot");
    Check(withArgs || fileName == path.GetTitle() + extension, "title and extension are not the file name", text);
    if (asFolder)
        Check(path.GetTitle().IsEmpty(), "a folder path with a file name");

    // A plain short path comes apart into pieces that rebuild it: drive,
    // folder, file name and extension (a final lone dot aside).
    if (!asFolder && !withArgs && text.size() < 200 && text.find(L'"') == std::wstring::npos &&
        !path.GetTitle().IsEmpty()) {
        const std::wstring drive = path.GetDrive().GetString();
        Check(text.compare(0, drive.size(), drive) == 0, "the drive is not where the path starts", text);
        std::wstring expected = text.substr(drive.size());
        for (auto& c : expected)
            if (IsSeparator(c))
                c = zv::os::kSeparator;
        const std::wstring rebuilt = std::wstring(folder.GetString()) + fileName.GetString();
        Check(rebuilt == expected || rebuilt + L"." == expected, "parts do not rebuild the path", text);
    }

    const CString added = CPath::AddBackslash(CString(text.c_str()), in.Flag());
    if (text.empty() || IsSeparator(text.back()))
        Check(text == added.GetString(), "separator added where none belongs");
    else
        Check(added.GetLength() == static_cast<int>(text.size()) + 1 && IsSeparator(added[added.GetLength() - 1]),
              "separator not added");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    zvfuzz::FuzzInput in(data, size);
    const std::wstring text = zvfuzz::DecodeText(in.TakeDocument());

    CheckStringToArray(in, text);
    CheckPath(in, text);
    return 0;
}

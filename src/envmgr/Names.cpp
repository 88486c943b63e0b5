#include "envmgr/Names.h"

#include <zvenv/platform/Os.h>
#include <zvenv/platform/Text.h>

#include <string_view>

namespace zv::envmgr {

namespace {

constexpr std::size_t kMaxFolderNameBytes = 255;

// "..", "...", ".. " and the like: names some file systems read as the parent.
bool IsDotsOnly(std::wstring_view component)
{
    int dots = 0;
    for (wchar_t c : component) {
        if (c == L'.')
            ++dots;
        else if (c != L' ')
            return false;
    }
    return dots >= 2;
}

} // namespace

bool IsSeparator(wchar_t ch)
{
    return ch == L'/' || ch == L'\\';
}

CString UpToNull(const CString& text)
{
    return CString(text.GetString());
}

CString NormalizeSubFolder(const CString& sub)
{
    if (sub.IsEmpty())
        return sub;
    CString text = sub;
    text.Replace(L'/', os::kSeparator);
    text.Replace(L'\\', os::kSeparator);
    if (text[0] == os::kSeparator)
        text.Delete(0);
    if (text.IsEmpty() || text[text.GetLength() - 1] != os::kSeparator)
        text += os::kSeparator;
    return text;
}

bool StaysInside(const CString& name)
{
    // Every document lookup checks its names: walk the characters directly.
    const std::wstring_view text(name.GetString(), static_cast<std::size_t>(name.GetLength()));
    if (text.empty())
        return true;
    if (IsSeparator(text[0]) || (text.size() >= 2 && text[1] == L':'))
        return false;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !IsSeparator(text[i]))
            continue;
        if (IsDotsOnly(text.substr(start, i - start)))
            return false;
        start = i + 1;
    }
    return true;
}

bool IsFolderName(const CString& id)
{
    if (id.FindOneOf(L"/\\") >= 0)
        return false;
    if (id.Compare(L".") == 0 || id.GetLength() > static_cast<int>(kMaxFolderNameBytes))
        return false;
    if (zv::text::EncodeUtf8(std::wstring_view(id.GetString(), static_cast<std::size_t>(id.GetLength()))).size() >
        kMaxFolderNameBytes)
        return false;
    return StaysInside(id);
}

const CString kIniExtension(L"ini");
const CString kJsonExtension(L"json");

DocumentName SplitDocumentName(const CString& name, const CString& defaultExtension)
{
    DocumentName result{name, defaultExtension};
    result.name.Trim();
    const int dot = result.name.Find(L'.');
    if (dot > 0) {
        result.extension = result.name.Mid(dot + 1);
        result.name = result.name.Left(dot);
    }
    return result;
}

} // namespace zv::envmgr

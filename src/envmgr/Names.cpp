#include "envmgr/Names.h"

#include <zvenv/platform/Os.h>

namespace zv::envmgr {

bool IsSeparator(wchar_t ch)
{
    return ch == L'/' || ch == L'\\';
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

bool StaysInside(const CString& text)
{
    const int length = text.GetLength();
    if (length == 0)
        return true;
    if (IsSeparator(text[0]) || (length >= 2 && text[1] == L':'))
        return false;
    int start = 0;
    for (int i = 0; i <= length; ++i) {
        if (i < length && !IsSeparator(text[i]))
            continue;
        if (i - start == 2 && text[start] == L'.' && text[start + 1] == L'.')
            return false;
        start = i + 1;
    }
    return true;
}

bool IsFolderName(const CString& id)
{
    if (id.FindOneOf(L"/\\") >= 0)
        return false;
    if (id.Compare(L".") == 0 || id.Compare(L"..") == 0)
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

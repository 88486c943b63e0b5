#pragma once

#include <zvenv/platform/CString.h>

// Text rules shared by the manager's path and registry operations.
namespace zv::envmgr {

bool IsSeparator(wchar_t ch);

// The text up to the first null character: what every path built from it,
// and so every system call, sees. Names are judged and keyed on this text.
CString UpToNull(const CString& text);

// The caller's sub-folder text as a relative folder: either separator becomes
// the native one, one leading separator is dropped, and the text ends in
// exactly one separator. Empty text stays empty.
CString NormalizeSubFolder(const CString& sub);

// False for text that could reach outside the folder it is joined to: a
// component made of dots and blanks with two dots or more (".." and what a
// file system may read as it), a leading separator (an absolute path) or a
// drive ("C:"). Judge the text exactly as it is joined to the folder.
bool StaysInside(const CString& text);

// A user id names one folder: no separator, not "." or "..", no drive, at
// most 255 bytes of UTF-8 (a name every file system takes, the same limit on
// every platform).
bool IsFolderName(const CString& id);

// A document name split as the registry does it: trimmed, cut before its
// first "." when that is not the first character; the extension is the text
// after that "." (the given default when there is none).
struct DocumentName {
    CString name;
    CString extension;
};
DocumentName SplitDocumentName(const CString& name, const CString& defaultExtension);

// The default extensions, shared so that naming a document allocates nothing.
extern const CString kIniExtension;
extern const CString kJsonExtension;

} // namespace zv::envmgr

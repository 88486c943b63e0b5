#include <zvenv/CTqEnvJson.h>
#include <zvenv/CTqEnvMgr.h>
#include <zvenv/ZvUtil.h>
#include <zvenv/platform/CFile.h>
#include <zvenv/platform/Message.h>
#include <zvenv/platform/Os.h>
#include <zvenv/platform/Text.h>

#include "envjson/JsonFileText.h"
#include "envjson/JsonValidator.h"
#include "util/CPath.h"
#include "json/Json.h"

#include <cwchar>
#include <filesystem>
#include <string>

using zv::envjson::kDefaultDocumentText;

CCriticalSection CTqEnvJson::m_csSplitEnv(0);

namespace {

// FF FE followed by the default document text, which has its CR LF already.
std::string DefaultDocumentBytes()
{
    return std::string("\xFF\xFE", 2) + zv::text::EncodeUtf16le(kDefaultDocumentText);
}

// The shipped copy of a document file: the system folder plus the file's name.
CString SystemCopyPath(const CString& fileName)
{
    CString path;
    path.Format(L"%s%s", fnTqEnvMgr()->GetSystemPath(L"").GetString(), fileName.GetString());
    return path;
}

} // namespace

CTqEnvJson::CTqEnvJson() : m_bDefaultValue(0), m_pJson(nullptr), m_cs(0), m_bDirty(0) {}

CTqEnvJson::~CTqEnvJson()
{
    if (m_pJson)
        JsonDeleteNode(m_pJson);
    m_pJson = nullptr;
}

void CTqEnvJson::SetPathName(const wchar_t* path)
{
    m_strPath = path;
}

CString CTqEnvJson::GetPath()
{
    return m_strPath;
}

void* CTqEnvJson::GetJson()
{
    return m_pJson;
}

int CTqEnvJson::IsDirty()
{
    return m_bDirty;
}

void CTqEnvJson::SetDirty(int dirty)
{
    m_bDirty = dirty;
}

void CTqEnvJson::SetDefaultValue(CString value)
{
    m_strDefaultValue = value;
    m_bDefaultValue = 1;
}

// A file that cannot be created, opened or mapped ends the load silently with
// the tree as it was; only text the validator refuses is reported.
void CTqEnvJson::Load()
{
    CSingleLock lock(&m_cs);
    const CString path = m_strPath;

    if (!FILEEXISTS(path)) {
        // Created only where nothing exists yet: a file that appears meanwhile
        // is read, never overwritten.
        const std::string bytes = DefaultDocumentBytes();
        if (!zv::os::CreateNewFile(path, bytes.data(), bytes.size()) && !FILEEXISTS(path))
            return;
    }

    // Only a regular file is read: a pipe put in its place would keep the
    // open waiting for a writer forever.
    std::error_code error;
    if (!std::filesystem::is_regular_file(std::filesystem::u8path(zv::os::NativePath(path)), error))
        return;
    CFile file;
    if (!file.Open(path, CFile::modeRead | CFile::shareDenyNone))
        return;
    const CString fileName = file.GetFileName();
    auto length = static_cast<DWORD>(file.GetLength() & 0xFFFFFFFFu);

    if (length == 0) {
        // An emptied file gets the shipped copy back, or the default text.
        file.Close();
        const CString systemCopy = SystemCopyPath(fileName);
        if (FILEEXISTS(systemCopy)) {
            zv::os::CopyFile(systemCopy, path, false);
        } else {
            // A file this process may not write stays as it is.
            CFile probe;
            if (!probe.Open(path, CFile::modeNoTruncate | CFile::modeReadWrite))
                return;
            probe.Close();
            const std::string bytes = DefaultDocumentBytes();
            zv::os::WriteFileAtomic(path, bytes.data(), bytes.size());
        }
        if (!file.Open(path, CFile::modeRead | CFile::shareDenyNone))
            return;
        length = static_cast<DWORD>(file.GetLength() & 0xFFFFFFFFu);
    }

    CTqMMF mapping;
    if (!mapping.Open(fileName, file.m_hFile, 2, 0, length, nullptr, 4, 0, 0)) {
        file.Abort();
        return;
    }
    const std::wstring text = zv::text::DecodeJsonFile(mapping.GetData(), mapping.GetLength());
    mapping.Close();
    file.Abort();

    CString description;
    const JsonCppParseFn validate = g_pfnJsonCppParse;
    if (!validate || validate(text.c_str(), &description, 1) != 1) {
        CString message;
        message.Format(L"%s:json parse error:\n%s", path.GetString(), description.GetString());
        AfxMessageBox(message, 0, 0);
        return;
    }

    if (m_pJson)
        JsonDeleteNode(m_pJson);
    m_pJson = JsonParse(text.c_str());
}

void CTqEnvJson::Save()
{
    CSingleLock lock(&m_cs);
    // Without a tree there is nothing to write, and the stored file stays.
    if (!m_pJson)
        return;
    wchar_t* text = JsonWriteFormatted(m_pJson);
    const std::string bytes = zv::envjson::EncodeDocumentFile(text);
    JsonFreeString(text);
    // Replaced whole or not at all, so a crash never leaves a torn file.
    if (zv::os::WriteFileAtomic(m_strPath, bytes.data(), bytes.size()))
        m_bDirty = 0;
}

int CTqEnvJson::ReloadFile(int fromSystem)
{
    {
        CSingleLock lock(&m_cs);
        if (fromSystem) {
            const CString systemCopy = SystemCopyPath(CPath(m_strPath, 0, 0).GetFileName());
            if (!FILEEXISTS(systemCopy))
                return 0;
            zv::os::CopyFile(systemCopy, m_strPath, false);
        }
        if (m_pJson)
            JsonDeleteNode(m_pJson);
        m_pJson = nullptr;
    }
    Load();
    return 1;
}

int CTqEnvJson::ChangeSavePathToUserIdPath()
{
    CSingleLock lock(&m_csSplitEnv);
    CString path;
    path.Format(L"%s%s", fnTqEnvMgr()->GetUserIdPath(L"").GetString(),
                CPath(m_strPath, 0, 0).GetFileName().GetString());
    m_strPath = path;
    return 1;
}

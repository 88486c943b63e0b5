#include <zvenv/CTqEnvJson.h>
#include <zvenv/CTqEnvMgr.h>
#include <zvenv/ZvUtil.h>
#include <zvenv/platform/CFile.h>
#include <zvenv/platform/Message.h>
#include <zvenv/platform/Os.h>
#include <zvenv/platform/Profile.h>
#include <zvenv/platform/Text.h>

#include "envjson/JsonFileText.h"
#include "envjson/JsonValidator.h"
#include "envjson/RejectedCopy.h"
#include "envmgr/Seeding.h"
#include "util/CPath.h"
#include "json/Json.h"
#include "json/JsonMerge.h"

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

// Whether the validator accepts the text; a refusal's description goes to
// description. Without the validator no text is accepted.
bool Accepted(const wchar_t* text, CString& description)
{
    const JsonCppParseFn validate = g_pfnJsonCppParse;
    return validate && validate(text, &description, 1) == 1;
}

CString ParseErrorMessage(const CString& path, const CString& description)
{
    CString message;
    message.Format(L"%s:json parse error:\n%s", path.GetString(), description.GetString());
    return message;
}

} // namespace

struct CTqEnvJson::FileState {
    // The version of the file as this document last read or wrote it, kept
    // apart from m_pJson: after a load a kept copy of the tree (which shares
    // everything until either side changes), after a save the bytes written
    // (as many as the file holds, and no time: they are parsed only when a
    // merge needs them).
    JsonNode base = nullptr;
    std::string written;
    JsonNode detached = nullptr; // nodes a merge took out of m_pJson, for the handles a host holds
    CString path;                // the file that version stands for
    // That file, kept open so that its identity cannot pass to a later file
    // while its stamp is compared; closed when which file it is is unknown.
    zv::os::HeldFile held;

    FileState() = default;
    FileState(const FileState&) = delete;
    FileState& operator=(const FileState&) = delete;
    ~FileState() { Forget(); }

    bool Known(const CString& filePath) const { return (base || !written.empty()) && path == filePath; }

    JsonNode Base()
    {
        if (!base && !written.empty()) {
            base = JsonParse(zv::text::DecodeJsonFile(written.data(), written.size()).c_str());
            std::string().swap(written);
        }
        return base;
    }

    void SetBase(JsonNode tree)
    {
        JsonDeleteNode(base);
        base = tree;
        std::string().swap(written);
    }

    void Forget()
    {
        SetBase(nullptr);
        JsonDeleteNode(detached);
        detached = nullptr;
        path.Empty();
        held.Close();
    }

    // The file at path now holds these bytes, written by this document.
    void Remember(const CString& filePath, std::string&& bytes)
    {
        SetBase(nullptr);
        written = std::move(bytes);
        path = filePath;
        held.Open(filePath);
    }
};

CTqEnvJson::CTqEnvJson() : m_bDefaultValue(0), m_pJson(nullptr), m_cs(0), m_bDirty(0), m_pFileState(new FileState) {}

CTqEnvJson::~CTqEnvJson()
{
    delete m_pFileState;
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
        if (!zv::envmgr::CreateMissing(path, DefaultDocumentBytes()) && !FILEEXISTS(path))
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
        // An emptied file gets the shipped copy back, or the default text; a
        // file this process may not write stays as it is.
        file.Close();
        const CString systemCopy = SystemCopyPath(fileName);
        if (!zv::envmgr::RefillEmpty(path, systemCopy, DefaultDocumentBytes()) && !FILEEXISTS(systemCopy))
            return;
        if (!file.Open(path, CFile::modeRead | CFile::shareDenyNone))
            return;
        length = static_cast<DWORD>(file.GetLength() & 0xFFFFFFFFu);
    }
    zv::os::FileStamp stamp;
    const bool stamped = zv::os::GetOpenFileStamp(file.m_hFile, stamp);

    CTqMMF mapping;
    if (!mapping.Open(fileName, file.m_hFile, 2, 0, length, nullptr, 4, 0, 0)) {
        file.Abort();
        return;
    }
    const std::wstring text = zv::text::DecodeJsonFile(mapping.GetData(), mapping.GetLength());
    mapping.Close();
    file.Abort();

    CString description;
    if (!Accepted(text.c_str(), description)) {
        AfxMessageBox(ParseErrorMessage(path, description), 0, 0);
        return;
    }

    if (m_pJson)
        JsonDeleteNode(m_pJson);
    m_pJson = JsonParse(text.c_str());
    // Handles into the old tree are gone with it, detached ones as well.
    m_pFileState->Forget();
    if (m_pJson) {
        FileState& state = *m_pFileState;
        state.SetBase(JsonKeepCopy(m_pJson));
        state.path = path;
        // A file replaced since it was read is not the one read: the next
        // save then merges.
        if (!stamped || state.held.Open(path) != zv::os::ReadResult::Read || state.held.Stamp() != stamp)
            state.held.Close();
    }
}

// Another program's version of the file, where the file is no longer the one
// this document read or wrote last, is merged into the tree (JsonMergeTheirs).
// False when the file must not be replaced: it is there but cannot be read,
// or holds refused text whose copy could not be kept. A refusal's message
// goes to message, to be shown once the writer lock is released.
bool CTqEnvJson::BringInOtherChanges(const CString& path, CString& message)
{
    FileState& state = *m_pFileState;
    zv::os::FileStamp now;
    // A document moved to another file writes its whole tree there, as does
    // one whose file has gone.
    if (!state.Known(path) || !zv::os::GetFileStamp(path, now))
        return true;
    if (state.held.IsOpen() && now == state.held.Stamp())
        return true;

    zv::os::HeldFile file;
    switch (file.Open(path)) {
    case zv::os::ReadResult::Read:
        break;
    case zv::os::ReadResult::Missing:
        return true;
    default:
        return false;
    }
    std::string bytes;
    if (!file.ReadAll(bytes))
        return false;
    const std::wstring text = zv::text::DecodeJsonFile(bytes.data(), bytes.size());
    CString description;
    JsonNode theirs = Accepted(text.c_str(), description) ? JsonParse(text.c_str()) : nullptr;
    if (!theirs) {
        // The file can no longer be read as JSON: this document's tree
        // replaces it, once its bytes are kept beside it.
        message = ParseErrorMessage(path, description);
        return zv::envjson::KeepRejectedCopy(path);
    }
    if (!state.detached)
        state.detached = JsonNewNode(JsonArray);
    JsonMergeTheirs(m_pJson, state.Base(), theirs, state.detached);
    // The tree now holds their file plus this document's changes, so their
    // file is the version those changes are told apart from.
    state.SetBase(theirs);
    state.held = std::move(file);
    return true;
}

void CTqEnvJson::Save()
{
    CSingleLock lock(&m_cs);
    // Without a tree there is nothing to write, and the stored file stays;
    // without the validator nothing written could be read again.
    if (!m_pJson || !g_pfnJsonCppParse)
        return;
    const CString path = m_strPath;
    CString message;
    {
        // No other writer changes the file between the look at it and the
        // replacement.
        zv::FileWriteLock writers(path);
        if (BringInOtherChanges(path, message)) {
            wchar_t* text = JsonWriteFormatted(m_pJson);
            CString description;
            // Text that would not load again is not written: the file stays
            // as it is and the document stays dirty.
            if (Accepted(text, description)) {
                std::string bytes = zv::envjson::EncodeDocumentFile(text);
                // Replaced whole or not at all, so a crash never leaves a torn file.
                if (zv::os::WriteFileAtomic(path, bytes.data(), bytes.size())) {
                    m_bDirty = 0;
                    m_pFileState->Remember(path, std::move(bytes));
                }
            }
            JsonFreeString(text);
        }
    }
    if (!message.IsEmpty())
        AfxMessageBox(message, 0, 0);
}

int CTqEnvJson::ReloadFile(int fromSystem)
{
    {
        CSingleLock lock(&m_cs);
        if (fromSystem) {
            const CString systemCopy = SystemCopyPath(CPath(m_strPath, 0, 0).GetFileName());
            if (!FILEEXISTS(systemCopy))
                return 0;
            zv::envmgr::RestoreFromShipped(m_strPath, systemCopy, zv::envmgr::WithoutShipped::Keep);
        }
        if (m_pJson)
            JsonDeleteNode(m_pJson);
        m_pJson = nullptr;
        m_pFileState->Forget();
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

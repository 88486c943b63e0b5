#pragma once

#include <zvenv/platform/CString.h>
#include <zvenv/platform/Export.h>
#include <zvenv/platform/Types.h>

#include <cstdint>

#ifndef _WIN32
using HANDLE = void*;
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1)))
#endif

// The error a CFile operation throws.
class ZVPLATFORM_API CFileException {
public:
    enum Cause { none, genericException, fileNotFound, badPath, tooManyOpenFiles, accessDenied,
                 invalidFile, removeCurrentDir, directoryFull, badSeek, hardIO, sharingViolation,
                 lockViolation, diskFull, endOfFile };

    CFileException(int cause = none, long osError = -1, const wchar_t* fileName = nullptr);
    virtual ~CFileException();

    int m_cause;
    long m_lOsError;
    CString m_strFileName;
};

// The subset of the platform's file class that the library uses. Paths are
// resolved without regard to case, as everywhere in zvplatform.
class ZVPLATFORM_API CFile {
public:
    enum OpenFlags : UINT {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareCompat = 0x0000,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeNoInherit = 0x0080,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
        typeText = 0x4000,
        typeBinary = 0x8000,
    };

    CFile();
    virtual ~CFile(); // closes an open file, ignoring errors
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // FALSE on failure, with the cause in *error when given; never throws.
    BOOL Open(LPCWSTR fileName, UINT openFlags, CFileException* error = nullptr);
    // The byte count read, 0 at the end; throws CFileException on failure.
    UINT Read(void* buffer, UINT count);
    // Throws CFileException when not every byte could be written.
    void Write(const void* buffer, UINT count);
    void Flush();
    std::uint64_t GetLength() const;
    // The name and extension, without the folder.
    CString GetFileName() const;
    CString GetFilePath() const;
    void Close();
    void Abort(); // closes without throwing

    // Renames a file; throws CFileException on failure, also when a file of
    // the new name exists (the platform's rename never replaces one).
    static void Rename(LPCWSTR oldName, LPCWSTR newName);
    static void Remove(LPCWSTR fileName);

    // The operating system's handle of the open file; INVALID_HANDLE_VALUE when closed.
    HANDLE m_hFile;

private:
    CString m_strFileName;
};

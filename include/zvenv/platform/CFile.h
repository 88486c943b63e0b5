#pragma once

#include <zvenv/platform/CString.h>
#include <zvenv/platform/Export.h>
#include <zvenv/platform/Types.h>

#include <cstdint>

/// \file
/// The platform's file class, the subset the library uses, and its exception.

/// An open file of the operating system, as CFile::m_hFile holds it.
#ifndef _WIN32
using HANDLE = void*;
/// The HANDLE of a file that is not open.
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1)))
#endif

/// The error a CFile operation throws.
class ZVPLATFORM_API CFileException {
public:
    /// What went wrong, in the platform's terms.
    enum Cause {
        none,
        genericException,
        fileNotFound,
        badPath,
        tooManyOpenFiles,
        accessDenied,
        invalidFile,
        removeCurrentDir,
        directoryFull,
        badSeek,
        hardIO,
        sharingViolation,
        lockViolation,
        diskFull,
        endOfFile
    };

    /// An exception with a Cause, the system's error code (-1 for none) and the file's name.
    CFileException(int cause = none, long osError = -1, const wchar_t* fileName = nullptr);
    virtual ~CFileException();

    int m_cause;           ///< A Cause.
    long m_lOsError;       ///< The system's error code, -1 when there is none.
    CString m_strFileName; ///< The file the operation was about.
};

/// The subset of the platform's file class that the library uses. Paths are
/// resolved without regard to case, as everywhere in zvplatform.
class ZVPLATFORM_API CFile {
public:
    /// How Open opens a file: one access mode, one sharing mode, and the
    /// creation flags, combined with |.
    enum OpenFlags : UINT {
        modeRead = 0x0000,       ///< Read only.
        modeWrite = 0x0001,      ///< Write only.
        modeReadWrite = 0x0002,  ///< Read and write.
        shareCompat = 0x0000,    ///< Sharing as the platform's default (accepted, not enforced).
        shareExclusive = 0x0010, ///< No other opener (accepted, not enforced).
        shareDenyWrite = 0x0020, ///< Others may not write (accepted, not enforced).
        shareDenyRead = 0x0030,  ///< Others may not read (accepted, not enforced).
        shareDenyNone = 0x0040,  ///< Others may read and write.
        modeNoInherit = 0x0080,  ///< Child processes do not get the file.
        modeCreate = 0x1000,     ///< Create the file, emptying one that exists.
        modeNoTruncate = 0x2000, ///< With modeCreate: keep an existing file's content.
        typeText = 0x4000,       ///< Accepted for the platform's signature; files are bytes.
        typeBinary = 0x8000,     ///< Bytes as they are.
    };

    CFile();          ///< A file object with no file open.
    virtual ~CFile(); ///< Closes an open file, ignoring errors.
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    /// Opens a file with OpenFlags; FALSE on failure, with the cause in *error
    /// when given; never throws.
    BOOL Open(LPCWSTR fileName, UINT openFlags, CFileException* error = nullptr);
    /// Reads up to count bytes: the byte count read, 0 at the end; throws
    /// CFileException on failure.
    UINT Read(void* buffer, UINT count);
    /// Writes count bytes; throws CFileException when not every byte could be written.
    void Write(const void* buffer, UINT count);
    /// Writes buffered data through to the system.
    void Flush();
    /// The file's size in bytes.
    std::uint64_t GetLength() const;
    /// The name and extension, without the folder.
    CString GetFileName() const;
    /// The path the file was opened with.
    CString GetFilePath() const;
    /// Closes the file; throws CFileException when the system reports an error.
    void Close();
    void Abort(); ///< Closes without throwing.

    /// Renames a file; throws CFileException on failure, also when a file of
    /// the new name exists (the platform's rename never replaces one).
    static void Rename(LPCWSTR oldName, LPCWSTR newName);
    /// Deletes a file; throws CFileException on failure.
    static void Remove(LPCWSTR fileName);

    /// The operating system's handle of the open file; INVALID_HANDLE_VALUE when closed.
    HANDLE m_hFile;

private:
    CString m_strFileName;
};

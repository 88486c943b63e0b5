#pragma once

#include <zvenv/platform/CString.h>
#include <zvenv/platform/CStringArray.h>

#include <vector>

// One file path split into drive, folder, file name and extension. Built from a
// full path and read for one part: the folder a document file needs, or the
// file name with its extension when a document moves to another folder.
class CPath {
public:
    // A command-line switch split off a path. Kept for the shape of the type;
    // nothing in the library fills the list.
    class CArgument {
    public:
        CArgument() = default;
        virtual ~CArgument() = default;

        CString m_switch = L"/";
        CString m_name;
        CString m_value;
    };

    // asFolder: the whole path names a folder. withArgs: command-line arguments
    // after the path are split off into GetArgs().
    CPath(const wchar_t* path, int asFolder, int withArgs);
    virtual ~CPath() = default;

    // index < 0: the folder part without the drive, with native separators
    // and ending in one ("/App/user/" for "C:\App\user\a.ini"). index >= 0:
    // the folder name at that position along the path, empty past the last.
    CString GetDir(int index);
    // "." and the extension, or empty when there is none.
    CString GetExtension() const;
    // File name and extension ("a.ini").
    CString GetFileName() const;
    CString GetDrive() const { return m_drive; }
    CString GetTitle() const { return m_fileName; }
    CString GetArgs() const { return m_arguments; }
    CString GetPath() const { return m_path; }
    bool IsRelative() const { return m_relative != 0; }

    // The text with a separator appended ('/' when slash is non-zero, the
    // platform's otherwise) unless it is empty or already ends in one.
    static CString AddBackslash(const CString& text, int slash = 0);

    static constexpr int kMaxPath = 260;

private:
    void Parse(const wchar_t* path, int asFolder, int withArgs);
    void ListFolders();

    CString m_path;
    CString m_drive;
    CStringArray m_folders;
    CString m_folder;
    CString m_fileName;
    CString m_extension;
    CString m_arguments;
    std::vector<CArgument> m_argumentList;
    int m_relative = 0;
};

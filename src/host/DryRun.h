#pragma once

#include "Commands.h"

#include <string>

namespace zvenv {

// A dry run works on a copy: system/ and user/ of the root are copied into a
// fresh temporary folder, the manager is started there, the command runs as
// it would, and what it changed in the copy is reported as what would be
// written. The root itself is only read. The copy goes with the object.
class DryRun {
public:
    DryRun() = default;
    ~DryRun();
    DryRun(const DryRun&) = delete;
    DryRun& operator=(const DryRun&) = delete;

    // False with the reason when the copy cannot be made.
    bool Prepare(const CString& root, std::string& error);
    // The copy's root folder, ending in a separator.
    const CString& CopyRoot() const { return m_copy; }
    // Prints what the command would create, change or delete under the root.
    void Report(const Context& ctx) const;

private:
    CString m_root;
    CString m_copy;
};

} // namespace zvenv

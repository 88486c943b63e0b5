#pragma once

#include <zvenv/platform/Types.h>

namespace zv::os {

// What AfxMessageBox does when no handler is installed: a program with a
// window (a Windows GUI program) shows the system's message box; any other
// writes the text to standard error, as the console shows it. Returns the
// button chosen (1 for OK).
int ShowSystemMessage(const wchar_t* text, UINT type);

} // namespace zv::os

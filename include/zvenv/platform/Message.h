#pragma once

#include <zvenv/platform/Export.h>
#include <zvenv/platform/Types.h>

// The platform's message box. The message goes to a handler that the host
// may install (a GUI host off Windows shows its own dialog; tests capture the
// text). The default handler shows the system's message box in a Windows
// program with a window and writes the message to standard error elsewhere
// (UTF-8, or the console's own wide text on Windows).
namespace zv {

// Returns the button the user chose (1 for OK).
using MessageHandler = int (*)(const wchar_t* text, UINT type, void* context);

// Installs a handler and returns the previous one; null restores the default.
ZVPLATFORM_API MessageHandler SetMessageHandler(MessageHandler handler, void* context = nullptr);

} // namespace zv

ZVPLATFORM_API int AfxMessageBox(LPCWSTR text, UINT type = 0, UINT helpId = 0);

#pragma once

#include <zvenv/platform/Export.h>
#include <zvenv/platform/Types.h>

// The platform's message box. Off Windows there is none: the message goes to
// a handler that the host installs (a GUI host shows its own dialog); the
// default handler writes the message to standard error as UTF-8.
namespace zv {

// Returns the button the user chose (1 for OK).
using MessageHandler = int (*)(const wchar_t* text, UINT type, void* context);

// Installs a handler and returns the previous one; null restores the default.
ZVPLATFORM_API MessageHandler SetMessageHandler(MessageHandler handler, void* context = nullptr);

} // namespace zv

ZVPLATFORM_API int AfxMessageBox(LPCWSTR text, UINT type = 0, UINT helpId = 0);

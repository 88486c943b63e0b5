#pragma once

#include <zvenv/platform/Export.h>
#include <zvenv/platform/Types.h>

/// \file
/// The platform's message box. The message goes to a handler that the host
/// may install (a GUI host off Windows shows its own dialog; tests capture
/// the text). The default handler shows the system's message box in a
/// Windows program with a window, and elsewhere writes the message to
/// standard error (UTF-8, or the console's own wide text on Windows).

/// The platform layer of ZvEnvMgr: value types, text, OS services, profile files.
namespace zv {

/// Shows a message: the text, the platform's box type flags, and the context
/// given with SetMessageHandler. Returns the button the user chose (1 for OK).
using MessageHandler = int (*)(const wchar_t* text, UINT type, void* context);

/// Installs a handler and returns the previous one; null restores the default.
/// The handler runs on the thread that shows the message.
ZVPLATFORM_API MessageHandler SetMessageHandler(MessageHandler handler, void* context = nullptr);

} // namespace zv

/// Shows a message through the installed handler (standard error by default)
/// and returns the button chosen; helpId is accepted for the platform's signature.
ZVPLATFORM_API int AfxMessageBox(LPCWSTR text, UINT type = 0, UINT helpId = 0);

#pragma once

#include <zvenv/platform/Export.h>
#include <zvenv/platform/Types.h>

/// \file
/// The platform's message box. Off Windows there is none: the message goes to
/// a handler that the host installs (a GUI host shows its own dialog); the
/// default handler writes the message to standard error as UTF-8.

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

#pragma once

#include <zvenv/platform/CString.h>
#include <zvenv/platform/Export.h>

/// \file
/// The C runtime's text-to-number readers that the system relies on, with the
/// platform's meaning where the C library has no wide equivalent.

/// The C runtime's number readers, and the text forms of numbers.
namespace zv::crt {

/// As _wtoi: blanks, an optional sign, decimal digits; stops at the first other
/// character; 0 without digits; out-of-range values stop at the 32-bit limits.
ZVPLATFORM_API int wtoi(const wchar_t* text);
/// As _wtof: the leading decimal number, 0 when there is none.
ZVPLATFORM_API double wtof(const wchar_t* text);

/// The "%d" text form of an integer.
ZVPLATFORM_API CString IntText(int value);
/// The "%f" text form of a number: six decimals.
ZVPLATFORM_API CString DoubleText(double value);

} // namespace zv::crt

#pragma once

#include <zvenv/platform/CString.h>
#include <zvenv/platform/Export.h>

#include <cstdint>

/// \file
/// The C runtime's text-to-number readers that the system relies on, with the
/// platform's meaning where the C library has no wide equivalent.

/// The C runtime's number readers, and the text forms of numbers. The integer
/// readers take the digits the platform's wide conversions take: the ASCII
/// digits and the decimal digits of seventeen other scripts (Arabic-Indic,
/// Extended Arabic-Indic, Devanagari, Bengali, Gurmukhi, Gujarati, Oriya,
/// Telugu, Kannada, Malayalam, Thai, Lao, Tibetan, Myanmar, Khmer, Mongolian
/// and fullwidth), so "１２" reads as 12. Blanks are space, tab, LF, VT, FF and
/// CR, whatever the process locale.
namespace zv::crt {

/// The value 0 to 9 of such a digit, -1 for any other character.
ZVPLATFORM_API int DigitValue(wchar_t ch);

/// As _wtoi: blanks, an optional sign, decimal digits; stops at the first other
/// character; 0 without digits; out-of-range values stop at the 32-bit limits.
ZVPLATFORM_API int wtoi(const wchar_t* text);
/// As _wtof: the leading decimal number, 0 when there is none.
ZVPLATFORM_API double wtof(const wchar_t* text);

/// As wcstoul with the platform's 32-bit long, in a base from 2 to 36: blanks,
/// one optional sign directly followed by the digits (in base 16 after an
/// optional "0x"; letters are ASCII), stopping at the first character that is
/// no digit of the base; text of another form ("- 5", "--5") reads as 0. The
/// sign applies to the magnitude; a magnitude out of range gives 0xFFFFFFFF.
ZVPLATFORM_API std::uint32_t wcstoul(const wchar_t* text, int base);
/// As wcstol: read as wcstoul reads, stopping at the 32-bit limits.
ZVPLATFORM_API std::int32_t wcstol(const wchar_t* text, int base);

/// The "%d" text form of an integer.
ZVPLATFORM_API CString IntText(int value);
/// The "%f" text form of a number: six decimals.
ZVPLATFORM_API CString DoubleText(double value);

} // namespace zv::crt

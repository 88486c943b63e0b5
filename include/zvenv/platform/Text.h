#pragma once

#include <zvenv/platform/Export.h>

#include <cstddef>
#include <string>
#include <string_view>

/// \file
/// Text conversions of the platform. A wchar_t holds one code point (32-bit
/// wchar_t) or one UTF-16 unit (16-bit wchar_t); a lone surrogate is kept as
/// the one unit it is, so every conversion here round-trips.

/// Case mapping and the encodings of the files: UTF-16LE, UTF-8, Windows-1252.
namespace zv::text {

/// The upper-case form of a character by Unicode simple case mapping (one
/// code point to one code point), the same in every process locale.
ZVPLATFORM_API wchar_t ToUpper(wchar_t ch);
/// The lower-case form of a character, as ToUpper maps the other way.
ZVPLATFORM_API wchar_t ToLower(wchar_t ch);
/// The key that case-insensitive comparison uses: ToLower(ToUpper(ch)).
ZVPLATFORM_API wchar_t FoldCase(wchar_t ch);
/// Compares after FoldCase: negative, zero or positive.
ZVPLATFORM_API int CompareNoCase(std::wstring_view a, std::wstring_view b);
/// True when the texts are equal after FoldCase.
ZVPLATFORM_API bool EqualNoCase(std::wstring_view a, std::wstring_view b);

// UTF-16LE without byte-order mark. Decoding joins surrogate pairs into one
// code point and keeps a lone surrogate; an odd last byte is dropped. The
// Append forms here and below add to out, so one buffer can be built from
// many pieces.
/// The text as UTF-16LE bytes, without a byte-order mark.
ZVPLATFORM_API std::string EncodeUtf16le(std::wstring_view text);
/// Adds the text's UTF-16LE bytes to out.
ZVPLATFORM_API void AppendUtf16le(std::wstring_view text, std::string& out);
/// The text of UTF-16LE bytes (no mark expected): surrogate pairs joined,
/// a lone surrogate kept, an odd last byte dropped.
ZVPLATFORM_API std::wstring DecodeUtf16le(const void* bytes, std::size_t size);

// UTF-8. Lone surrogates are written as their three-byte form and read back.
/// The text as UTF-8; a lone surrogate is written in its three-byte form.
ZVPLATFORM_API std::string EncodeUtf8(std::wstring_view text);
/// Adds the text's UTF-8 bytes to out.
ZVPLATFORM_API void AppendUtf8(std::wstring_view text, std::string& out);
/// Decodes UTF-8 into out (three-byte surrogates included). Returns false
/// when the bytes are not well-formed UTF-8; out then holds what came before
/// the first bad byte, and nothing is replaced.
ZVPLATFORM_API bool DecodeUtf8(std::string_view bytes, std::wstring& out);
/// Lenient form: every byte that is not part of well-formed UTF-8 becomes the
/// Windows-1252 character of that byte.
ZVPLATFORM_API std::wstring DecodeUtf8Lenient(std::string_view bytes);

/// The text of Windows-1252 bytes.
ZVPLATFORM_API std::wstring DecodeWindows1252(std::string_view bytes);
/// The text as Windows-1252 bytes in out; false when a character has no byte there.
ZVPLATFORM_API bool EncodeWindows1252(std::wstring_view text, std::string& out);

/// The text of a JSON document file, as every reader of such files takes it
/// (the document's loader and the host alike):
/// - a file that begins with the mark FF FE is UTF-16LE from its third byte;
/// - a file that holds no zero byte and is well-formed UTF-8 is UTF-8, with
///   or without the mark EF BB BF (a file edited by hand);
/// - any other file whose first byte is 0 is empty text;
/// - any other file is UTF-16LE from its first byte.
///
/// An odd last byte of UTF-16LE is dropped. Empty text stands for the default
/// document text, an empty object on two lines ("{" CR LF "}").
ZVPLATFORM_API std::wstring DecodeJsonFile(const void* bytes, std::size_t size);

} // namespace zv::text

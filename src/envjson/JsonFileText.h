#pragma once

#include <cstddef>
#include <string>

// How a JSON document's file is framed on disk: UTF-16LE text after the mark
// FF FE, with CR LF line ends.
namespace zv::envjson {

// The text a new or emptied document file holds: an empty object on two lines.
constexpr const wchar_t* kDefaultDocumentText = L"{\r\n}";

// The file's bytes as text. With the mark FF FE the text starts at the third
// byte; a file whose first byte is 0 is empty text; any other file is taken as
// UTF-16LE from its first byte. An odd last byte is dropped. Surrogate pairs
// become one code point, lone surrogates are kept.
std::wstring DecodeDocumentFile(const void* bytes, std::size_t size);

// The bytes of a file holding the text: the mark FF FE, then the text as
// UTF-16LE with every line feed written as CR LF.
std::string EncodeDocumentFile(const wchar_t* text);

} // namespace zv::envjson

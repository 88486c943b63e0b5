#pragma once

#include <cstddef>
#include <string>

// How a JSON document's file is framed on disk: UTF-16LE text after the mark
// FF FE, with CR LF line ends. Reading a file is zv::text::DecodeJsonFile,
// shared with the host.
namespace zv::envjson {

// The text a new or emptied document file holds: an empty object on two lines.
constexpr const wchar_t* kDefaultDocumentText = L"{\r\n}";

// The bytes of a file holding the text: the mark FF FE, then the text as
// UTF-16LE with every line feed written as CR LF.
std::string EncodeDocumentFile(const wchar_t* text);

} // namespace zv::envjson

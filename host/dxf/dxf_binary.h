// Binary DXF: its tags turned into the ASCII form the reader scans, and the writer's ASCII back.
#pragma once

#include <string>
#include <string_view>

namespace zrxhost::dxf {

// Whether `bytes` begins with the binary DXF sentinel.
bool isBinaryDxf(std::string_view bytes);

// The tags of a binary DXF file as ASCII DXF text (numbers written so that they read back exactly,
// binary chunks in hex, a string's line breaks and carets as the format's caret escapes ^J, ^M and
// "^ "). False and "group N: ..." in `error` when the file is damaged.
bool binaryToText(std::string_view bytes, std::string& text, std::string& error);

// ASCII DXF text as binary DXF: one-byte group codes for R12 and before (`r12`), two-byte ones after,
// a string's caret escapes as the bytes they stand for. False and `error` when a value does not fit
// its group's binary type.
bool textToBinary(std::string_view text, bool r12, std::string& out, std::string& error);

}  // namespace zrxhost::dxf

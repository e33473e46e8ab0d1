// Fuzz target: the decoder of MText contents (inline codes to plain text and paragraphs).
#include <cstddef>
#include <cstdint>
#include <string>

#include "zrx/db.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Contents are UTF-16 in the database: the input is taken as code units, odd and lone ones too.
  std::u16string contents(size / 2, u'\0');
  for (std::size_t i = 0; i + 1 < size; i += 2) contents[i / 2] = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
  ZcDbMText text;
  text.setContents(ZcString(contents));
  ZcString plain = text.text();
  (void)plain;
  return 0;
}

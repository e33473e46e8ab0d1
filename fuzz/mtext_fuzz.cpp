// Fuzz target: the decoders of MText contents (inline codes to plain text and paragraphs), the host's
// and retally's, which must read the same characters, and retally's edit of the plain characters.
#include <cstddef>
#include <cstdint>
#include <string>

#include "retally/renumber/mtext_plain.h"
#include "zrx/db.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Contents are UTF-16 in the database: the input is taken as code units, odd and lone ones too.
  std::u16string contents(size / 2, u'\0');
  for (std::size_t i = 0; i + 1 < size; i += 2) contents[i / 2] = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
  ZcDbMText text;
  text.setContents(ZcString(contents));
  ZcString plain = text.text();

  // retally finds numbers in the same plain text the host draws (a no-break space drawn as a space).
  const std::vector<PlainCharacter> characters = plainCharacters(contents);
  std::u16string read = plainTextOf(characters);
  for (char16_t& c : read)
    if (c == u'\u00A0') c = u' ';
  if (read != plain.utf16()) __builtin_trap();
  std::uint32_t previous = 0;
  for (const PlainCharacter& p : characters) {
    if (p.begin < previous || p.begin >= p.end || p.end > contents.size()) __builtin_trap();
    previous = p.begin;
  }
  // Renumbering the last number (or appending one) keeps the contents around it.
  PlainEdit edit;
  if (!placeLabel(read, Place::kRun, u"4096", edit)) placeLabel(read, Place::kSuffix, u"7", edit);
  const std::u16string edited = editContents(contents, characters, narrowed(read, edit));
  if (edited.size() > contents.size() + 8) __builtin_trap();
  return 0;
}

// Which properties of an entity its setters changed: a writer rewrites those and copies the rest.
#pragma once

#include <cstdint>

namespace zrxhost {

// One bit per property of the entity classes that tell their changes (ZcDbEntity, ZcDbText,
// ZcDbMText, ZcDbLine, ZcDbBlockReference). A bit is set when a setter stores a value, whether or
// not it differs from the one before; the database clears them when it marks its objects unchanged
// (ZcDbDatabase::editsSinceMarked).
enum Edit : std::uint32_t {
  kEditLayer = 1u << 0,
  kEditColor = 1u << 1,
  kEditLinetype = 1u << 2,
  kEditLinetypeScale = 1u << 3,
  kEditPosition = 1u << 4,        // a text's position, an MText's location, an insert's, a line's start
  kEditEndPoint = 1u << 5,        // a line's end
  kEditAlignmentPoint = 1u << 6,  // a text's alignment point
  kEditNormal = 1u << 7,
  kEditThickness = 1u << 8,
  kEditRotation = 1u << 9,
  kEditHeight = 1u << 10,
  kEditWidth = 1u << 11,  // a text's width factor, an MText's column width
  kEditOblique = 1u << 12,
  kEditMirror = 1u << 13,
  kEditJustification = 1u << 14,  // a text's horizontal and vertical modes, an MText's attachment
  kEditStyle = 1u << 15,          // the text style
  kEditContents = 1u << 16,       // a text's string, an MText's contents
  kEditLineSpacing = 1u << 17,
  kEditBlock = 1u << 18,  // the block an insert shows
  kEditScale = 1u << 19,
};

}  // namespace zrxhost

// Which properties of an entity its setters changed: a writer rewrites those and copies the rest.
#pragma once

#include <cstdint>

namespace zrxhost {

// One bit per property of the entity classes that tell their changes (ZcDbEntity, ZcDbText,
// ZcDbMText, ZcDbLine, ZcDbBlockReference). A bit is set when a setter stores a value, whether or
// not it differs from the one before; the database clears them when it marks its objects unchanged
// (zrxhost::editsSinceMarked). A point has a bit per coordinate, set when the setter changes that
// coordinate: moving a text along x leaves its y and z as they were read, and a writer need not look.
enum Edit : std::uint32_t {
  kEditLayer = 1u << 0,
  kEditColor = 1u << 1,
  kEditLinetype = 1u << 2,
  kEditLinetypeScale = 1u << 3,
  // A text's position, an MText's location, an insert's, a line's start.
  kEditPositionX = 1u << 4,
  kEditPositionY = 1u << 5,
  kEditPositionZ = 1u << 6,
  kEditPosition = kEditPositionX | kEditPositionY | kEditPositionZ,
  // A line's end.
  kEditEndPointX = 1u << 7,
  kEditEndPointY = 1u << 8,
  kEditEndPointZ = 1u << 9,
  kEditEndPoint = kEditEndPointX | kEditEndPointY | kEditEndPointZ,
  // A text's alignment point.
  kEditAlignmentPointX = 1u << 10,
  kEditAlignmentPointY = 1u << 11,
  kEditAlignmentPointZ = 1u << 12,
  kEditAlignmentPoint = kEditAlignmentPointX | kEditAlignmentPointY | kEditAlignmentPointZ,
  kEditNormal = 1u << 13,
  kEditThickness = 1u << 14,
  kEditRotation = 1u << 15,
  kEditHeight = 1u << 16,
  kEditWidth = 1u << 17,  // a text's width factor, an MText's column width
  kEditOblique = 1u << 18,
  kEditMirror = 1u << 19,
  kEditJustification = 1u << 20,  // a text's horizontal and vertical modes, an MText's attachment
  kEditStyle = 1u << 21,          // the text style
  kEditContents = 1u << 22,       // a text's string, an MText's contents
  kEditLineSpacing = 1u << 23,
  kEditBlock = 1u << 24,  // the block an insert shows
  kEditScale = 1u << 25,
  kEditVisibility = 1u << 26,
};

}  // namespace zrxhost

// The geometry of entities the host keeps only as their DXF records, read (never changed) for drawing.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "render/shapes.h"

class ZcDbText;

namespace zrxhost::dxf {
struct TagFile;
class TextCodec;
}  // namespace zrxhost::dxf

namespace zrxhost::render {

// The records of one entity: its own tags [begin, end), then [end, subEnd) its vertices or
// attributes and their SEQEND.
struct EntityRecords {
  const dxf::TagFile* file = nullptr;
  std::uint32_t begin = 0, end = 0, subEnd = 0;
};

// Drawing settings of the file that shape some entities.
struct DecodeSettings {
  double arrowSize = 0.18;  // leader arrow heads ($DIMASZ × $DIMSCALE)
};

struct ForeignDrawing {
  std::vector<Shape> shapes;  // world coordinates of the block the entity lives in
  struct Ray {
    V3 origin, direction;
    bool bothWays;
  };
  std::vector<Ray> rays;  // XLINE and RAY: clipped to the view when painted
  std::u16string block;   // DIMENSION: the block that holds its picture, drawn in place
};

// What the entity of DXF type `type` draws; nothing for kinds without drawable geometry.
void decodeForeign(std::string_view type, const EntityRecords& records, const DecodeSettings& settings,
                   ForeignDrawing& out);

// A visible ATTRIB after an INSERT: its text in the block's insert coordinates (world coordinates of
// the space the insert lives in), and its own layer and colour.
struct Attribute {
  std::unique_ptr<ZcDbText> text;
  std::u16string layer;
  int colorIndex = 256;                    // 0 ByBlock (the insert's colour), 256 ByLayer
  std::optional<std::uint32_t> trueColor;  // 0xRRGGBB, when the record gives one
  int index = 0;                           // among the insert's ATTRIB records, invisible ones too
};
std::vector<Attribute> decodeAttributes(const EntityRecords& records, const dxf::TextCodec& codec);

// HATCH: its fill, or its pattern lines clipped to its boundary, and nothing else.
void decodeHatch(const EntityRecords& records, ForeignDrawing& out);
// HATCH: its boundary paths as strokes, what it snaps to.
void hatchBoundary(const EntityRecords& records, std::vector<Shape>& out);

}  // namespace zrxhost::render

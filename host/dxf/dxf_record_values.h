// The values the host reads from records it keeps as tags (circles, polylines, viewports...), each
// declared once by group code, and the reader that takes them from a record.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace zrxhost::dxf {

struct TagFile;

// How a value's groups read: a number, an angle (degrees in the file, radians read), an integer, a
// point (codes c, c+10 and c+20) or a text.
enum class ValueKind : std::uint8_t { Number, Angle, Integer, Point, Text };

// One value of a record: the first group of its code, and what a record without it implies (in the
// file's units: an angle's default is in degrees).
struct ValueDef {
  short code;
  ValueKind kind;
  std::array<double, 3> byDefault{};
};

// A list in a record: each item starts at a group of `first` and takes the groups of `members` that
// follow before the next item (an LWPOLYLINE's vertex: 10, then 20, 40, 41 and 42).
struct ItemsDef {
  short first;
  std::array<short, 4> members{};  // 0: no more
};

// One item of a list: `values[0]` of the first group, `values[1 + m]` of member m where `given`
// has bit m.
struct Item {
  std::array<double, 5> values{};
  std::uint8_t given = 0;
  bool has(int member) const { return (given >> member & 1) != 0; }
  double member(int m, double fallback) const { return has(m) ? values[static_cast<std::size_t>(1 + m)] : fallback; }
};

using Point3 = std::array<double, 3>;

// The values of one record's tags [begin, end) (after its 0 group). A value that is not a number reads
// as if the group were absent: what a damaged record shows, never a failure.
class RecordValues {
 public:
  RecordValues(const TagFile& file, std::size_t begin, std::size_t end) : mFile(file), mBegin(begin), mEnd(end) {}

  bool has(const ValueDef& v) const { return find(v.code) < mEnd; }
  double number(const ValueDef& v) const;  // Number and Angle
  long long integer(const ValueDef& v) const;
  // A point's missing coordinates are 0; a point without its first group is the default.
  Point3 point(const ValueDef& v) const;
  std::string_view text(const ValueDef& v) const;  // as written
  // A text trimmed of the spaces around it, which a name's value does not hold.
  std::string_view name(const ValueDef& v) const;
  std::vector<Item> items(const ItemsDef& list) const;
  // Whether the record has the subclass marker `name`.
  bool hasSubclass(std::string_view name) const;

  const TagFile& file() const { return mFile; }
  std::size_t begin() const { return mBegin; }
  std::size_t end() const { return mEnd; }
  // The same record from tag `from` on, or up to tag `to`.
  RecordValues from(std::size_t at) const { return {mFile, at, mEnd}; }
  RecordValues upTo(std::size_t at) const { return {mFile, mBegin, at}; }
  // The first tag of `code` from `at` on; end() when there is none.
  std::size_t find(int code, std::size_t at) const;
  std::size_t find(int code) const { return find(code, mBegin); }

 private:
  const TagFile& mFile;
  std::size_t mBegin, mEnd;
};

// A group's value as a number; false for a value that is not a finite one.
bool finiteNumber(std::string_view text, double& out);

// The values every entity has that the host reads from its record beside its object.
namespace entity_values {
inline constexpr ValueDef kColorIndex{62, ValueKind::Integer, {256}};
inline constexpr ValueDef kTrueColor{420, ValueKind::Integer};
inline constexpr ValueDef kNormal{210, ValueKind::Point, {0, 0, 1}};
inline constexpr ValueDef kLayer{8, ValueKind::Text};
}  // namespace entity_values

namespace layer_values {
inline constexpr ValueDef kTrueColor{420, ValueKind::Integer};
inline constexpr ValueDef kLinetype{6, ValueKind::Text};
}  // namespace layer_values

namespace linetype_values {
inline constexpr ValueDef kName{2, ValueKind::Text};
inline constexpr ItemsDef kDashes{49};
}  // namespace linetype_values

namespace point_values {
inline constexpr ValueDef kLocation{10, ValueKind::Point};
}

// CIRCLE and ARC.
namespace circle_values {
inline constexpr ValueDef kCentre{10, ValueKind::Point};
inline constexpr ValueDef kRadius{40, ValueKind::Number};
inline constexpr ValueDef kStartAngle{50, ValueKind::Angle};
inline constexpr ValueDef kEndAngle{51, ValueKind::Angle, {360}};
}  // namespace circle_values

namespace ellipse_values {
inline constexpr ValueDef kCentre{10, ValueKind::Point};
inline constexpr ValueDef kMajorAxis{11, ValueKind::Point};
inline constexpr ValueDef kRatio{40, ValueKind::Number, {1}};
inline constexpr ValueDef kStartParameter{41, ValueKind::Number};
inline constexpr ValueDef kEndParameter{42, ValueKind::Number, {6.283185307179586}};
}  // namespace ellipse_values

namespace lwpolyline_values {
inline constexpr ValueDef kFlags{70, ValueKind::Integer};
inline constexpr ValueDef kConstantWidth{43, ValueKind::Number};
inline constexpr ValueDef kElevation{38, ValueKind::Number};
// x, then y, start width, end width, bulge
inline constexpr ItemsDef kVertices{10, {20, 40, 41, 42}};
}  // namespace lwpolyline_values

// POLYLINE, and the VERTEX records that follow it.
namespace polyline_values {
inline constexpr ValueDef kFlags{70, ValueKind::Integer};
inline constexpr ValueDef kElevation{10, ValueKind::Point};
inline constexpr ValueDef kStartWidth{40, ValueKind::Number};
inline constexpr ValueDef kEndWidth{41, ValueKind::Number};
inline constexpr ValueDef kMeshRows{71, ValueKind::Integer, {1}};
inline constexpr ValueDef kMeshColumns{72, ValueKind::Integer, {1}};
}  // namespace polyline_values
namespace vertex_values {
inline constexpr ValueDef kPoint{10, ValueKind::Point};
inline constexpr ValueDef kZ{30, ValueKind::Number};
inline constexpr ValueDef kFlags{70, ValueKind::Integer};
inline constexpr ValueDef kStartWidth{40, ValueKind::Number};
inline constexpr ValueDef kEndWidth{41, ValueKind::Number};
inline constexpr ValueDef kBulge{42, ValueKind::Number};
// A polyface mesh's face: the indices of its vertices, from 1, negative where the edge is hidden.
inline constexpr ValueDef kFaceVertices[4] = {
    {71, ValueKind::Integer}, {72, ValueKind::Integer}, {73, ValueKind::Integer}, {74, ValueKind::Integer}};
}  // namespace vertex_values

namespace spline_values {
inline constexpr ValueDef kFlags{70, ValueKind::Integer};
inline constexpr ValueDef kDegree{71, ValueKind::Integer, {3}};
inline constexpr ItemsDef kKnots{40};
inline constexpr ItemsDef kWeights{41};
inline constexpr ItemsDef kControlPoints{10, {20, 30}};
inline constexpr ItemsDef kFitPoints{11, {21, 31}};
}  // namespace spline_values

// SOLID, TRACE and 3DFACE: four corners (a triangle repeats its third).
namespace corner_values {
inline constexpr ValueDef kCorners[4] = {
    {10, ValueKind::Point}, {11, ValueKind::Point}, {12, ValueKind::Point}, {13, ValueKind::Point}};
inline constexpr ValueDef kHiddenEdges{70, ValueKind::Integer};  // 3DFACE: a bit per edge
}  // namespace corner_values

// XLINE and RAY.
namespace ray_values {
inline constexpr ValueDef kOrigin{10, ValueKind::Point};
inline constexpr ValueDef kDirection{11, ValueKind::Point};
}  // namespace ray_values

namespace dimension_values {
inline constexpr ValueDef kBlock{2, ValueKind::Text};
// The definition points: the dimension line's, the text's, and those it measures between.
inline constexpr ValueDef kDefinitionPoints[] = {{10, ValueKind::Point}, {11, ValueKind::Point},
                                                 {13, ValueKind::Point}, {14, ValueKind::Point},
                                                 {15, ValueKind::Point}, {16, ValueKind::Point}};
}  // namespace dimension_values

namespace leader_values {
inline constexpr ValueDef kArrowHead{71, ValueKind::Integer, {1}};
inline constexpr ItemsDef kVertices{10, {20, 30}};
}  // namespace leader_values

// IMAGE and WIPEOUT: the picture's corner and its pixel's axes, its size in pixels, its clip boundary.
namespace image_values {
inline constexpr ValueDef kOrigin{10, ValueKind::Point};
inline constexpr ValueDef kPixelU{11, ValueKind::Point};
inline constexpr ValueDef kPixelV{12, ValueKind::Point};
inline constexpr ValueDef kSize{13, ValueKind::Point, {1, 1, 0}};
inline constexpr ItemsDef kClipVertices{14, {24}};
}  // namespace image_values

// ATTRIB, after an INSERT (the insert holds each one's tag, value and place).
namespace attribute_values {
inline constexpr ValueDef kString{1, ValueKind::Text};
inline constexpr ValueDef kTag{2, ValueKind::Text};
inline constexpr ValueDef kStyle{7, ValueKind::Text};
inline constexpr ValueDef kLayer{8, ValueKind::Text};
inline constexpr ValueDef kPosition{10, ValueKind::Point};
inline constexpr ValueDef kAlignmentPoint{11, ValueKind::Point};
inline constexpr ValueDef kHeight{40, ValueKind::Number, {1}};
inline constexpr ValueDef kWidthFactor{41, ValueKind::Number, {1}};
inline constexpr ValueDef kRotation{50, ValueKind::Angle};
inline constexpr ValueDef kOblique{51, ValueKind::Angle};
inline constexpr ValueDef kFlags{70, ValueKind::Integer};  // bit 1: invisible
inline constexpr ValueDef kHorizontalMode{72, ValueKind::Integer};
inline constexpr ValueDef kVerticalMode{74, ValueKind::Integer};
}  // namespace attribute_values

// An INSERT of subclass AcDbMInsertBlock: a block arrayed in rows and columns.
namespace minsert_values {
inline constexpr std::string_view kSubclass = "AcDbMInsertBlock";
inline constexpr ValueDef kBlock{2, ValueKind::Text};
inline constexpr ValueDef kPosition{10, ValueKind::Point};
inline constexpr ValueDef kScale[3] = {
    {41, ValueKind::Number, {1}}, {42, ValueKind::Number, {1}}, {43, ValueKind::Number, {1}}};
inline constexpr ValueDef kRotation{50, ValueKind::Angle};
inline constexpr ValueDef kColumns{70, ValueKind::Integer, {1}};
inline constexpr ValueDef kRows{71, ValueKind::Integer, {1}};
inline constexpr ValueDef kColumnSpacing{44, ValueKind::Number};
inline constexpr ValueDef kRowSpacing{45, ValueKind::Number};
}  // namespace minsert_values

// VIEWPORT: its frame on the layout, and the model space it shows.
namespace viewport_values {
inline constexpr ValueDef kCentre{10, ValueKind::Point};
inline constexpr ValueDef kWidth{40, ValueKind::Number};
inline constexpr ValueDef kHeight{41, ValueKind::Number};
inline constexpr ValueDef kViewCentre{12, ValueKind::Point};
inline constexpr ValueDef kViewDirection{16, ValueKind::Point, {0, 0, 1}};
inline constexpr ValueDef kViewHeight{45, ValueKind::Number};
inline constexpr ValueDef kTwist{51, ValueKind::Angle};
inline constexpr ValueDef kStatus{68, ValueKind::Integer, {1}};  // 0: off
inline constexpr ValueDef kId{69, ValueKind::Integer, {2}};      // 1: the layout's own
}  // namespace viewport_values

// The header variables pictures read.
namespace header_values {
inline constexpr std::string_view kLinetypeScale = "$LTSCALE";
inline constexpr std::string_view kArrowSize = "$DIMASZ";
inline constexpr std::string_view kDimensionScale = "$DIMSCALE";
}  // namespace header_values

}  // namespace zrxhost::dxf

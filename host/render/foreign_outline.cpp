// The outlines of the curves the host keeps as records, from the same decoding the pictures use,
// installed into the database layer as the host library loads.
#include "zrxhost/foreign_outline.h"

#include <string_view>

#include "dxf/dxf_model.h"
#include "render/foreign_geometry.h"
#include "render/shapes.h"
#include "zrx/db.h"

namespace zrxhost::render {
namespace {

// A Bézier segment becomes this many chords: a quarter circle stays within a thousandth of its radius.
constexpr int kChordsPerCurve = 16;

bool isCurve(std::string_view type) {
  return type == "CIRCLE" || type == "ARC" || type == "ELLIPSE" || type == "LWPOLYLINE" || type == "POLYLINE" ||
         type == "SPLINE";
}

ZcGePoint3d point(const V3& p) {
  return {p.x, p.y, p.z};
}

class RecordOutlines : public ForeignOutlines {
 public:
  RecordOutlines() { setForeignOutlines(this); }
  ~RecordOutlines() override {
    if (foreignOutlines() == this) setForeignOutlines(nullptr);
  }
  RecordOutlines(const RecordOutlines&) = delete;
  RecordOutlines& operator=(const RecordOutlines&) = delete;

  bool outline(const ZcDbForeignEntity& entity, std::vector<std::vector<ZcGePoint3d>>& polylines) const override {
    const std::string type = entity.dxfType().toUtf8();
    const dxf::ObjectRecord* record = dxf::recordOf(entity);
    if (!isCurve(type) || record == nullptr || !record->file || record->end <= record->begin) return false;
    ForeignDrawing drawing;
    decodeForeign(type, {record->file.get(), record->begin, record->end, record->subEnd}, DecodeSettings{}, drawing);
    const size_t before = polylines.size();
    for (const Shape& shape : drawing.shapes) {
      V3 start, at;
      for (const Op3& op : shape.ops) {
        switch (op.kind) {
          case PathOp::kMove:
            polylines.push_back({point(op.p[0])});
            start = at = op.p[0];
            break;
          case PathOp::kLine:
            if (polylines.size() == before) polylines.push_back({point(at)});
            polylines.back().push_back(point(op.p[0]));
            at = op.p[0];
            break;
          case PathOp::kCurve:
            if (polylines.size() == before) polylines.push_back({point(at)});
            for (int k = 1; k <= kChordsPerCurve; ++k) {
              const double t = static_cast<double>(k) / kChordsPerCurve, u = 1 - t;
              const V3 p =
                  at * (u * u * u) + op.p[0] * (3 * u * u * t) + op.p[1] * (3 * u * t * t) + op.p[2] * (t * t * t);
              polylines.back().push_back(point(p));
            }
            at = op.p[2];
            break;
          case PathOp::kClose:
            if (polylines.size() > before) polylines.back().push_back(point(start));
            at = start;
            break;
        }
      }
    }
    return polylines.size() > before;
  }
};

const RecordOutlines gRecordOutlines;

}  // namespace
}  // namespace zrxhost::render

// The scene of drawings read from DXF text: each kind kept as records drawn where its geometry lies.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "render/scene.h"
#include "render/shapes.h"
#include "zrx/db.h"
#include "zrx/gi.h"
#include "zrxhost/dxf.h"

namespace {

using zrxhost::render::PathOp;
using zrxhost::render::Scene;
using zrxhost::render::V3;
using zrxhost::render::Xform;

// A drawing of the given ENTITIES section body (and TABLES section body, when given).
Scene sceneOf(const std::string& entities, const std::string& tables = "", const std::string& blocks = "") {
  std::string text;
  if (!tables.empty()) text += "0\nSECTION\n2\nTABLES\n" + tables + "0\nENDSEC\n";
  if (!blocks.empty()) text += "0\nSECTION\n2\nBLOCKS\n" + blocks + "0\nENDSEC\n";
  text += "0\nSECTION\n2\nENTITIES\n" + entities + "0\nENDSEC\n0\nEOF\n";
  zrxhost::DxfError error;
  std::unique_ptr<ZcDbDatabase> db = zrxhost::readDxfFromString(text, error);
  EXPECT_TRUE(db) << error.message;
  Scene scene;
  std::string message;
  if (db) {
    EXPECT_TRUE(zrxhost::render::buildScene(*db, scene, message)) << message;
  }
  return scene;
}

std::size_t moves(const Scene& scene) {
  std::size_t n = 0;
  for (const auto& item : scene.items)
    for (const PathOp& op : item.ops) n += op.kind == PathOp::kMove;
  return n;
}

TEST(RenderShapes, BulgesFramesAndSplinesFollowTheirDefinitions) {
  zrxhost::render::BulgeArc arc{};
  // Bulge 1 is a half circle turning left: its centre is the chord's middle.
  ASSERT_TRUE(zrxhost::render::bulgeArc(0, 0, 2, 0, 1, arc));
  EXPECT_NEAR(arc.cx, 1, 1e-12);
  EXPECT_NEAR(arc.cy, 0, 1e-12);
  EXPECT_NEAR(arc.r, 1, 1e-12);
  EXPECT_NEAR(arc.a1 - arc.a0, M_PI, 1e-12);
  ASSERT_TRUE(zrxhost::render::bulgeArc(0, 0, 2, 0, -1, arc));
  EXPECT_NEAR(arc.a1 - arc.a0, -M_PI, 1e-12);
  EXPECT_FALSE(zrxhost::render::bulgeArc(0, 0, 0, 0, 1, arc));

  // An extrusion of -Z mirrors X (the arbitrary-axis rule), keeps Y.
  const V3 mirrored = Xform::ocs({0, 0, -1}).apply({1, 2, 0});
  EXPECT_NEAR(mirrored.x, -1, 1e-12);
  EXPECT_NEAR(mirrored.y, 2, 1e-12);

  // A rational quadratic with weights 1, √½, 1 is an exact quarter circle.
  const auto quarter = zrxhost::render::nurbsPoints(2, {0, 0, 0, 1, 1, 1}, {{1, 0, 0}, {1, 1, 0}, {0, 1, 0}},
                                                    {1, std::sqrt(0.5), 1}, 16);
  ASSERT_GT(quarter.size(), 10u);
  for (const V3& p : quarter) EXPECT_NEAR(std::hypot(p.x, p.y), 1, 1e-9);
  EXPECT_TRUE(zrxhost::render::nurbsPoints(3, {0, 1}, {{0, 0, 0}}, {}, 8).empty()) << "inconsistent counts";

  // A spline stored by fit points passes through them, leaving along the estimated end tangents.
  const std::vector<V3> fit = {{0, 0, 0}, {1, 2, 0}, {3, 1, 0}, {4, 4, 0}};
  const auto through = zrxhost::render::throughPoints(fit, 8);
  for (const V3& f : fit) {
    bool hit = false;
    for (const V3& p : through) hit = hit || std::hypot(p.x - f.x, p.y - f.y) < 1e-9;
    EXPECT_TRUE(hit);
  }
}

TEST(RenderScene, CirclesArcsAndMirroredArcsLieWhereTheirRecordsSay) {
  Scene circle = sceneOf("0\nCIRCLE\n8\n0\n10\n10\n20\n0\n30\n0\n40\n5\n");
  ASSERT_TRUE(circle.bounds.valid);
  EXPECT_NEAR(circle.bounds.minX, 5, 1e-9);
  EXPECT_NEAR(circle.bounds.maxX, 15, 1e-9);
  EXPECT_NEAR(circle.bounds.maxY, 5, 1e-9);
  // The same circle with extrusion -Z lies mirrored across the Y axis.
  Scene mirrored = sceneOf("0\nARC\n8\n0\n10\n10\n20\n0\n30\n0\n40\n5\n50\n0\n51\n90\n210\n0\n220\n0\n230\n-1\n");
  ASSERT_TRUE(mirrored.bounds.valid);
  EXPECT_NEAR(mirrored.bounds.minX, -15, 1e-3);
  EXPECT_NEAR(mirrored.bounds.maxX, -10, 1e-3);
  EXPECT_NEAR(mirrored.bounds.maxY, 5, 1e-3);
  EXPECT_NEAR(mirrored.bounds.minY, 0, 1e-3);
}

// A circle, which the host keeps as its record, has the outline the pictures draw in the database
// too: its extents, a pick on its outline (not at its centre), its own draw; a point has none.
TEST(RenderScene, EntitiesKeptAsRecordsHaveTheirOutlineInTheDatabase) {
  const std::string text =
      "0\nSECTION\n2\nENTITIES\n0\nCIRCLE\n8\n0\n10\n10\n20\n10\n30\n0\n40\n5\n"
      "0\nPOINT\n8\n0\n10\n1\n20\n1\n30\n0\n0\nENDSEC\n0\nEOF\n";
  zrxhost::DxfError error;
  std::unique_ptr<ZcDbDatabase> db = zrxhost::readDxfFromString(text, error);
  ASSERT_TRUE(db) << error.message;
  ZcDbBlockTableRecord* model = nullptr;
  ASSERT_EQ(zcdbOpenObject(model, db->currentSpaceId(), ZcDb::kForRead), Zcad::eOk);
  const std::vector<ZcDbObjectId> ids = model->entityIds();
  model->close();
  ASSERT_EQ(ids.size(), 2u);
  ZcDbEntity* circle = zrxhost::peek<ZcDbEntity>(ids[0]);
  ZcDbEntity* point = zrxhost::peek<ZcDbEntity>(ids[1]);
  ASSERT_TRUE(circle && point);
  ZcDbExtents extents;
  ASSERT_EQ(circle->getGeomExtents(extents), Zcad::eOk);
  EXPECT_NEAR(extents.minPoint().x, 5, 1e-3);
  EXPECT_NEAR(extents.maxPoint().y, 15, 1e-3);
  EXPECT_TRUE(circle->hitTest(ZcGePoint3d(15, 10, 0), 0.1));
  EXPECT_FALSE(circle->hitTest(ZcGePoint3d(10, 10, 0), 0.1));
  ZcGiDrawRecorder drawn;
  circle->worldDraw(&drawn);
  EXPECT_FALSE(drawn.polylines().empty());
  // Every kind kept as records has them: a point's extents are the point.
  ASSERT_EQ(point->getGeomExtents(extents), Zcad::eOk);
  EXPECT_EQ(extents.minPoint(), ZcGePoint3d(1, 1, 0));
  EXPECT_EQ(extents.maxPoint(), ZcGePoint3d(1, 1, 0));
}

TEST(RenderScene, PolylinesWithBulgesAndWidths) {
  // A half circle from (0,0) to (4,0) clockwise (bulge -1): over the top of its centre (2,0).
  Scene bulged = sceneOf("0\nLWPOLYLINE\n8\n0\n90\n2\n70\n0\n10\n0\n20\n0\n42\n-1\n10\n4\n20\n0\n");
  ASSERT_EQ(bulged.items.size(), 1u);
  EXPECT_FALSE(bulged.items[0].filled);
  EXPECT_NEAR(bulged.bounds.maxY, 2, 1e-3);
  EXPECT_NEAR(bulged.bounds.minY, 0, 1e-9);
  // A constant width is a filled band half the width to each side.
  Scene wide = sceneOf("0\nLWPOLYLINE\n8\n0\n90\n2\n70\n0\n43\n1\n10\n0\n20\n0\n10\n10\n20\n0\n");
  ASSERT_EQ(wide.items.size(), 1u);
  EXPECT_TRUE(wide.items[0].filled);
  EXPECT_NEAR(wide.bounds.minY, -0.5, 1e-9);
  EXPECT_NEAR(wide.bounds.maxY, 0.5, 1e-9);
}

TEST(RenderScene, PatternHatchLinesStayInsideTheBoundaryAndOutOfTheIsland) {
  // A 10×10 square with a 4×4 island, crossed by horizontal lines one unit apart.
  const std::string hatch =
      "0\nHATCH\n8\n0\n100\nAcDbHatch\n10\n0\n20\n0\n30\n0\n210\n0\n220\n0\n230\n1\n2\nLINES\n70\n0\n71\n0\n91\n2\n"
      "92\n3\n72\n0\n73\n1\n93\n4\n10\n0\n20\n0\n10\n10\n20\n0\n10\n10\n20\n10\n10\n0\n20\n10\n97\n0\n"
      "92\n3\n72\n0\n73\n1\n93\n4\n10\n3\n20\n3\n10\n7\n20\n3\n10\n7\n20\n7\n10\n3\n20\n7\n97\n0\n"
      "75\n0\n76\n1\n52\n0\n41\n1\n77\n0\n78\n1\n53\n0\n43\n0\n44\n0.5\n45\n0\n46\n1\n79\n0\n98\n0\n";
  Scene scene = sceneOf(hatch);
  ASSERT_FALSE(scene.items.empty());
  std::size_t pieces = 0;
  for (const auto& item : scene.items) {
    EXPECT_FALSE(item.filled);
    for (std::size_t k = 0; k + 1 < item.ops.size(); ++k) {
      if (item.ops[k].kind != PathOp::kMove) continue;
      ++pieces;
      const double x0 = item.ops[k].p[0], x1 = item.ops[k + 1].p[0], y = item.ops[k].p[1];
      EXPECT_GE(std::min(x0, x1), -1e-9);
      EXPECT_LE(std::max(x0, x1), 10 + 1e-9);
      const double mid = (x0 + x1) / 2;
      EXPECT_FALSE(y > 3 && y < 7 && mid > 3 && mid < 7) << "a line inside the island at y=" << y;
    }
  }
  // Ten lines; the four crossing the island are cut in two.
  EXPECT_EQ(pieces, 14u);
}

TEST(RenderScene, ArrayedInsertsLinetypesAndRays) {
  const std::string block =
      "0\nBLOCK\n8\n0\n2\nBOX\n70\n0\n10\n0\n20\n0\n30\n0\n3\nBOX\n"
      "0\nLINE\n8\n0\n10\n0\n20\n0\n30\n0\n11\n1\n21\n0\n31\n0\n0\nENDBLK\n8\n0\n";
  const std::string minsert =
      "0\nINSERT\n8\n0\n100\nAcDbEntity\n100\nAcDbMInsertBlock\n2\nBOX\n10\n0\n20\n0\n30\n0\n"
      "70\n3\n71\n2\n44\n5\n45\n4\n";
  Scene arrayed = sceneOf(minsert, "", block);
  EXPECT_EQ(arrayed.items.size(), 6u) << "three columns, two rows";
  EXPECT_NEAR(arrayed.bounds.maxX, 11, 1e-9);
  EXPECT_NEAR(arrayed.bounds.maxY, 4, 1e-9);

  const std::string ltype =
      "0\nTABLE\n2\nLTYPE\n70\n1\n0\nLTYPE\n2\nDASHED\n70\n0\n3\n__ __\n72\n65\n73\n2\n40\n1.5\n49\n1.0\n49\n-0.5\n"
      "0\nENDTAB\n";
  Scene dashed = sceneOf("0\nLINE\n8\n0\n6\nDASHED\n10\n0\n20\n0\n30\n0\n11\n15\n21\n0\n31\n0\n", ltype);
  EXPECT_EQ(moves(dashed), 10u) << "fifteen units of 1.5-unit dash periods";
  Scene solid = sceneOf("0\nLINE\n8\n0\n6\nNOSUCH\n10\n0\n20\n0\n30\n0\n11\n15\n21\n0\n31\n0\n", ltype);
  EXPECT_EQ(moves(solid), 1u) << "an unknown linetype draws solid";

  Scene rays = sceneOf("0\nXLINE\n8\n0\n10\n1\n20\n2\n30\n0\n11\n1\n21\n1\n31\n0\n");
  ASSERT_EQ(rays.rays.size(), 1u);
  EXPECT_TRUE(rays.rays[0].bothWays);
  EXPECT_FALSE(rays.bounds.valid) << "an infinite line has no extents";
}

TEST(RenderScene, AttributesKeepTheirOwnLayerAndColour) {
  const std::string layers =
      "0\nTABLE\n2\nLAYER\n70\n2\n0\nLAYER\n2\nBLUE\n70\n0\n62\n5\n6\nCONTINUOUS\n"
      "0\nLAYER\n2\nHIDDEN\n70\n0\n62\n-1\n6\nCONTINUOUS\n0\nENDTAB\n";
  const std::string block = "0\nBLOCK\n8\n0\n2\nTAG\n70\n2\n10\n0\n20\n0\n30\n0\n3\nTAG\n0\nENDBLK\n8\n0\n";
  auto attrib = [](const std::string& layer, const std::string& colour) {
    return "0\nATTRIB\n8\n" + layer + "\n" + colour + "10\n0\n20\n0\n30\n0\n40\n1\n1\nA1\n2\nT\n70\n0\n";
  };
  const std::string insert = "0\nINSERT\n8\n0\n62\n3\n66\n1\n2\nTAG\n10\n0\n20\n0\n30\n0\n" + attrib("0", "62\n1\n") +
                             attrib("0", "62\n0\n") + attrib("BLUE", "") + attrib("HIDDEN", "62\n1\n") +
                             attrib("0", "62\n1\n420\n1193046\n") + "0\nSEQEND\n8\n0\n";
  Scene scene = sceneOf(insert, layers, block);
  std::vector<std::uint32_t> colours;
  for (const auto& item : scene.items)
    if (item.text >= 0) colours.push_back(item.rgb);
  // Red as given, ByBlock the insert's green, ByLayer the layer's blue, the hidden layer's not at all,
  // and the true colour over the index beside it.
  EXPECT_EQ(colours, (std::vector<std::uint32_t>{0xFF0000, 0x00FF00, 0x0000FF, 0x123456}));
}

TEST(RenderScene, FarOutCopiesDoNotCountForTheViewExtents) {
  Scene scene = sceneOf(
      "0\nLINE\n8\n0\n10\n0\n20\n0\n30\n0\n11\n10\n21\n5\n31\n0\n"
      "0\nCIRCLE\n8\n0\n10\n1e308\n20\n1e308\n30\n0\n40\n1\n");
  ASSERT_TRUE(scene.bounds.valid);
  EXPECT_EQ(scene.bounds.maxX, 10);
  EXPECT_TRUE(scene.farBounds.valid);
  EXPECT_EQ(&scene.extents(), &scene.bounds);
}

}  // namespace

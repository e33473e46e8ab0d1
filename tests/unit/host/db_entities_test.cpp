// Lines, 3D polylines, block references and foreign entities: extents, picking, drawing, colour.
#include <gtest/gtest.h>

#include <memory>

#include "zrx/db.h"
#include "zrx/gi.h"

namespace {

TEST(Polyline3d, ExtentsPickAndClosedDrawing) {
  ZcArray<ZcGePoint3d> corners;
  corners.append(ZcGePoint3d(0, 0, 0));
  corners.append(ZcGePoint3d(10, 0, 0));
  corners.append(ZcGePoint3d(10, 5, 2));
  ZcDb3dPolyline open(ZcDb::k3dSimplePoly, corners);
  ZcDbExtents e;
  ASSERT_EQ(open.getGeomExtents(e), Zcad::eOk);
  EXPECT_EQ(e.minPoint(), ZcGePoint3d(0, 0, 0));
  EXPECT_EQ(e.maxPoint(), ZcGePoint3d(10, 5, 2));
  EXPECT_TRUE(open.hitTest(ZcGePoint3d(5, 0.3, 0), 0.5));
  EXPECT_FALSE(open.hitTest(ZcGePoint3d(5, 0.7, 0), 0.5));
  // The closing segment counts only when the polyline is closed.
  EXPECT_FALSE(open.hitTest(ZcGePoint3d(5, 2.5, 0), 0.1));
  ZcDb3dPolyline closed(ZcDb::k3dSimplePoly, corners, true);
  EXPECT_TRUE(closed.hitTest(ZcGePoint3d(5, 2.5, 0), 0.1));

  ZcGiDrawRecorder recorder;
  closed.setColorIndex(1);
  closed.worldDraw(&recorder);
  ASSERT_EQ(recorder.polylines().size(), 1u);
  const auto& drawn = recorder.polylines()[0];
  ASSERT_EQ(drawn.points.size(), 4u);
  EXPECT_EQ(drawn.points.front(), drawn.points.back());
  EXPECT_EQ(drawn.color, 1);
  recorder.clear();
  open.worldDraw(&recorder);
  ASSERT_EQ(recorder.polylines().size(), 1u);
  EXPECT_EQ(recorder.polylines()[0].points.size(), 3u);

  ZcDb3dPolyline empty;
  EXPECT_EQ(empty.getGeomExtents(e), Zcad::eInvalidExtents);
  EXPECT_FALSE(empty.hitTest(ZcGePoint3d(0, 0, 0), 1));
}

TEST(Line, ExtentsAndPickDistance) {
  ZcDbLine line(ZcGePoint3d(0, 0, 0), ZcGePoint3d(10, 10, 0));
  ZcDbExtents e;
  ASSERT_EQ(line.getGeomExtents(e), Zcad::eOk);
  EXPECT_EQ(e.maxPoint(), ZcGePoint3d(10, 10, 0));
  EXPECT_TRUE(line.hitTest(ZcGePoint3d(5, 5.5, 0), 0.4));   // 0.35 from the line
  EXPECT_FALSE(line.hitTest(ZcGePoint3d(5, 5.7, 0), 0.4));  // 0.49 from it
  EXPECT_FALSE(line.hitTest(ZcGePoint3d(11, 11, 0), 1.0));  // beyond the end
}

TEST(EntityDefaults, NoExtentsNoExplodeAndTheDatabaseDefaults) {
  ZcDbForeignEntity circle;
  circle.setDxfType(L"CIRCLE");
  ZcDbExtents e;
  EXPECT_EQ(circle.getGeomExtents(e), Zcad::eInvalidExtents);
  ZcArray<void*> pieces;
  EXPECT_EQ(circle.explode(pieces), Zcad::eNotApplicable);
  EXPECT_FALSE(circle.hitTest(ZcGePoint3d(0, 0, 0), 100));
  ZcGiDrawRecorder recorder;
  circle.worldDraw(&recorder);
  EXPECT_TRUE(recorder.texts().empty());
  EXPECT_TRUE(recorder.polylines().empty());
  std::unique_ptr<ZcRxObject> copy(circle.clone());
  ASSERT_NE(ZcDbForeignEntity::cast(copy.get()), nullptr);
  EXPECT_EQ(ZcDbForeignEntity::cast(copy.get())->dxfType(), ZcString(L"CIRCLE"));

  ZcDbLine line;
  line.setLayer(L"Other");
  line.setColorIndex(4);
  line.setLinetype(L"DASHED");
  line.setDatabaseDefaults();
  EXPECT_EQ(line.layerName(), ZcString(L"0"));
  EXPECT_EQ(line.colorIndex(), 256);
  EXPECT_EQ(line.linetypeName(), ZcString(L"ByLayer"));
  EXPECT_EQ(line.setColorIndex(300), Zcad::eInvalidInput);
  EXPECT_EQ(line.setLayer(L""), Zcad::eInvalidInput);
}

TEST(EntityColour, ByLayerResolvesThroughTheLayerTable) {
  ZcDbDatabase db;
  ZcDbLayerTable* layers = nullptr;
  ASSERT_EQ(db.getSymbolTable(layers, ZcDb::kForWrite), Zcad::eOk);
  auto* red = new ZcDbLayerTableRecord;
  red->setName(L"Red");
  red->setColorIndex(1);
  layers->add(red);
  red->close();
  layers->close();
  ZcDbBlockTableRecord* model = nullptr;
  ASSERT_EQ(zcdbOpenObject(model, db.modelSpaceId(), ZcDb::kForWrite), Zcad::eOk);
  auto* line = new ZcDbLine(ZcGePoint3d(0, 0, 0), ZcGePoint3d(1, 0, 0));
  line->setLayer(L"RED");
  model->appendZcDbEntity(line);
  model->close();
  EXPECT_EQ(line->resolvedColorIndex(), 1);
  line->setColorIndex(0);  // by block: drawn white outside an insert
  EXPECT_EQ(line->resolvedColorIndex(), 7);
  line->setColorIndex(6);
  EXPECT_EQ(line->resolvedColorIndex(), 6);
  line->setColorIndex(256);
  line->setLayer(L"Missing");
  EXPECT_EQ(line->resolvedColorIndex(), 7);
  ZcGiDrawRecorder recorder;
  line->setLayer(L"Red");
  line->worldDraw(&recorder);
  ASSERT_EQ(recorder.polylines().size(), 1u);
  EXPECT_EQ(recorder.polylines()[0].color, 1);
  line->close();
}

class Inserts : public ::testing::Test {
 protected:
  // A block "Tag" with a 2 x 1 rectangle outline and a line, origin at (1, 0).
  void SetUp() override {
    ZcDbBlockTable* blocks = nullptr;
    ASSERT_EQ(db.getSymbolTable(blocks, ZcDb::kForWrite), Zcad::eOk);
    auto* tag = new ZcDbBlockTableRecord;
    tag->setName(L"Tag");
    tag->setOrigin(ZcGePoint3d(1, 0, 0));
    ASSERT_EQ(blocks->add(tagId, tag), Zcad::eOk);
    blocks->close();
    ZcArray<ZcGePoint3d> box;
    for (auto p : {ZcGePoint3d(1, 0, 0), ZcGePoint3d(3, 0, 0), ZcGePoint3d(3, 1, 0), ZcGePoint3d(1, 1, 0)})
      box.append(p);
    auto* outline = new ZcDb3dPolyline(ZcDb::k3dSimplePoly, box, true);
    ASSERT_EQ(tag->appendZcDbEntity(outline), Zcad::eOk);
    outline->close();
    tag->close();
  }

  ZcDbDatabase db;
  ZcDbObjectId tagId;
};

TEST_F(Inserts, ExtentsAndPickFollowPositionScaleAndRotation) {
  ZcDbBlockReference insert(ZcGePoint3d(10, 10, 0), tagId);
  ZcDbExtents e;
  ASSERT_EQ(insert.getGeomExtents(e), Zcad::eOk);
  EXPECT_EQ(e.minPoint(), ZcGePoint3d(10, 10, 0));
  EXPECT_EQ(e.maxPoint(), ZcGePoint3d(12, 11, 0));

  insert.setScaleFactors(ZcGeVector3d(2, 3, 1));
  insert.setRotation(ZcGe::kPi / 2);
  ASSERT_EQ(insert.getGeomExtents(e), Zcad::eOk);
  EXPECT_NEAR(e.minPoint().x, 7, 1e-9);
  EXPECT_NEAR(e.maxPoint().x, 10, 1e-9);
  EXPECT_NEAR(e.minPoint().y, 10, 1e-9);
  EXPECT_NEAR(e.maxPoint().y, 14, 1e-9);

  EXPECT_TRUE(insert.hitTest(ZcGePoint3d(7.05, 12, 0), 0.1));  // near the far long edge
  EXPECT_FALSE(insert.hitTest(ZcGePoint3d(8.5, 12, 0), 0.1));  // inside the outline, away from it
  EXPECT_EQ(insert.setScaleFactors(ZcGeVector3d(0, 1, 1)), Zcad::eInvalidInput);

  ZcGiDrawRecorder recorder;
  insert.worldDraw(&recorder);
  ASSERT_EQ(recorder.polylines().size(), 1u);
  EXPECT_NEAR(recorder.polylines()[0].points[2].x, 7, 1e-9);
  EXPECT_NEAR(recorder.polylines()[0].points[2].y, 14, 1e-9);

  ZcArray<void*> pieces;
  ASSERT_EQ(insert.explode(pieces), Zcad::eOk);
  ASSERT_EQ(pieces.length(), 1);
  std::unique_ptr<ZcDb3dPolyline> piece(ZcDb3dPolyline::cast(static_cast<ZcDbEntity*>(pieces[0])));
  ASSERT_NE(piece, nullptr);
  EXPECT_TRUE(piece->isClosed());
  EXPECT_NEAR(piece->vertices()[2].x, 7, 1e-9);
}

TEST_F(Inserts, UnknownOrSelfContainingBlocksDoNotHang) {
  ZcDbBlockReference orphan(ZcGePoint3d(0, 0, 0), ZcDbObjectId::kNull);
  ZcDbExtents e;
  EXPECT_EQ(orphan.getGeomExtents(e), Zcad::eInvalidExtents);
  EXPECT_FALSE(orphan.hitTest(ZcGePoint3d(0, 0, 0), 10));

  // Tag contains an insert of Tag: the nesting stops, the outline still counts.
  ZcDbBlockTableRecord* tag = nullptr;
  ASSERT_EQ(zcdbOpenObject(tag, tagId, ZcDb::kForWrite), Zcad::eOk);
  auto* self = new ZcDbBlockReference(ZcGePoint3d(0, 0, 0), tagId);
  ASSERT_EQ(tag->appendZcDbEntity(self), Zcad::eOk);
  self->close();
  tag->close();
  auto* insert = new ZcDbBlockReference(ZcGePoint3d(0, 0, 0), ZcDbObjectId::kNull);
  insert->setBlockName(L"TAG");  // by name, as read from a drawing, found in the insert's drawing
  ZcDbBlockTableRecord* model = nullptr;
  ASSERT_EQ(zcdbOpenObject(model, db.modelSpaceId(), ZcDb::kForWrite), Zcad::eOk);
  ASSERT_EQ(model->appendZcDbEntity(insert), Zcad::eOk);
  model->close();
  EXPECT_EQ(insert->getGeomExtents(e), Zcad::eOk);
  EXPECT_EQ(e.maxPoint(), ZcGePoint3d(2, 1, 0));
  ZcGiDrawRecorder recorder;
  insert->worldDraw(&recorder);
  EXPECT_GE(recorder.polylines().size(), 1u);
  EXPECT_TRUE(insert->hitTest(ZcGePoint3d(2, 1, 0), 0.01));
  insert->close();
}

}  // namespace

// Pictures of known drawings: where text and polyline pixels land, fitting, visibility, files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "zrx/db.h"
#include "zrxhost/render.h"

namespace {

using zrxhost::Picture;

constexpr std::uint32_t kRed = 0xFF0000;
constexpr std::uint32_t kWhite = 0xFFFFFF;

ZcDbObjectId appendTo(ZcDbDatabase& db, const ZTCHAR* blockName, ZcDbEntity* entity) {
  ZcDbBlockTable* table = nullptr;
  EXPECT_EQ(db.getBlockTable(table, ZcDb::kForRead), Zcad::eOk);
  ZcDbBlockTableRecord* block = nullptr;
  EXPECT_EQ(table->getAt(blockName, block, ZcDb::kForWrite), Zcad::eOk);
  table->close();
  ZcDbObjectId id;
  EXPECT_EQ(block->appendZcDbEntity(id, entity), Zcad::eOk);
  entity->close();
  block->close();
  return id;
}

ZcDbObjectId addText(ZcDbDatabase& db, const ZcGePoint3d& at, const ZTCHAR* text, double height) {
  return appendTo(db, ZCDB_MODEL_SPACE, new ZcDbText(at, text, db.textStyleStandardId(), height, 0));
}

// A closed red rectangle through (x0, y0) and (x1, y1).
ZcDbObjectId addRedRectangle(ZcDbDatabase& db, double x0, double y0, double x1, double y1,
                             const ZTCHAR* blockName = ZCDB_MODEL_SPACE) {
  ZcArray<ZcGePoint3d> corners;
  corners.append({x0, y0, 0});
  corners.append({x1, y0, 0});
  corners.append({x1, y1, 0});
  corners.append({x0, y1, 0});
  auto* polyline = new ZcDb3dPolyline(ZcDb::k3dSimplePoly, corners, true);
  polyline->setColorIndex(1);
  return appendTo(db, blockName, polyline);
}

Picture render(ZcDbDatabase& db, int width = 800) {
  Picture picture;
  std::string error;
  zrxhost::RenderOptions options;
  options.widthPixels = width;
  EXPECT_TRUE(zrxhost::renderPicture(db, picture, error, options)) << error;
  return picture;
}

struct PixelBox {
  int minX = INT_MAX, minY = INT_MAX, maxX = INT_MIN, maxY = INT_MIN;
  int count = 0;
  bool empty() const { return count == 0; }
  int width() const { return maxX - minX + 1; }
  int height() const { return maxY - minY + 1; }
};

template <typename Pred>
PixelBox pixelsWhere(const Picture& picture, Pred pred, int x0 = 0, int y0 = 0, int x1 = INT_MAX, int y1 = INT_MAX) {
  PixelBox box;
  for (int y = std::max(0, y0); y <= std::min(picture.height - 1, y1); ++y) {
    for (int x = std::max(0, x0); x <= std::min(picture.width - 1, x1); ++x) {
      if (!pred(picture.at(x, y))) continue;
      box.minX = std::min(box.minX, x);
      box.maxX = std::max(box.maxX, x);
      box.minY = std::min(box.minY, y);
      box.maxY = std::max(box.maxY, y);
      ++box.count;
    }
  }
  return box;
}

bool isInk(std::uint32_t rgb) {
  return rgb != zrxhost::kBackgroundRgb;
}
bool isRed(std::uint32_t rgb) {
  return rgb == kRed;
}
bool isWhite(std::uint32_t rgb) {
  return rgb == kWhite;
}

// Whether a pixel of colour `rgb` lies within `reach` pixels of the drawing point (x, y).
bool colourNear(const Picture& picture, double x, double y, std::uint32_t rgb, int reach = 1) {
  const int px = static_cast<int>(picture.pixelX(x));
  const int py = static_cast<int>(picture.pixelY(y));
  return !pixelsWhere(
              picture, [&](std::uint32_t c) { return c == rgb; }, px - reach, py - reach, px + reach, py + reach)
              .empty();
}

// The text "888" above-left of a red rectangle, as in the host's known test drawing.
class KnownDrawing : public ::testing::Test {
 protected:
  void SetUp() override {
    textId = addText(db, {10, 40, 0}, L"888", 8);
    rectangleId = addRedRectangle(db, 60, 0, 100, 20);
  }
  ZcDbDatabase db{true};
  ZcDbObjectId textId;
  ZcDbObjectId rectangleId;
};

TEST_F(KnownDrawing, TextPixelsFillTheTextBoxAndNothingFarAway) {
  Picture picture = render(db);
  ZcDbText* text = nullptr;
  ASSERT_EQ(zcdbOpenObject(text, textId, ZcDb::kForRead), Zcad::eOk);
  ZcGePoint3d box[4];
  text->textBox(box);
  text->close();
  const int x0 = static_cast<int>(picture.pixelX(box[0].x)), x1 = static_cast<int>(picture.pixelX(box[2].x));
  const int y0 = static_cast<int>(picture.pixelY(box[2].y)), y1 = static_cast<int>(picture.pixelY(box[0].y));
  ASSERT_GT(x1 - x0, 20);
  ASSERT_GT(y1 - y0, 10);
  PixelBox ink = pixelsWhere(picture, isInk, x0, y0, x1, y1);
  const int area = (x1 - x0 + 1) * (y1 - y0 + 1);
  EXPECT_GT(ink.count, area / 8) << "an \"888\" covers a good part of its box";
  EXPECT_LT(ink.count, area * 9 / 10) << "glyphs are outlines, not filled boxes";
  EXPECT_FALSE(pixelsWhere(picture, isWhite, x0, y0, x1, y1).empty()) << "colour 7 is white on the dark background";
  EXPECT_TRUE(pixelsWhere(picture, isRed, x0, y0, x1, y1).empty());
  // Every white pixel of the picture belongs to the text (give antialiasing one pixel).
  PixelBox white = pixelsWhere(picture, isWhite);
  EXPECT_GE(white.minX, x0 - 1);
  EXPECT_LE(white.maxX, x1 + 1);
  EXPECT_GE(white.minY, y0 - 1);
  EXPECT_LE(white.maxY, y1 + 1);
}

TEST_F(KnownDrawing, RedPolylineIsDrawnThinAlongItsEdgesOnly) {
  Picture picture = render(db);
  for (auto [x, y] : {std::pair{80.0, 0.0}, {100.0, 10.0}, {80.0, 20.0}, {60.0, 10.0}}) {
    EXPECT_TRUE(colourNear(picture, x, y, kRed)) << "edge point " << x << "," << y;
  }
  // Inside the rectangle, away from its edges, is background.
  EXPECT_TRUE(pixelsWhere(picture, isInk, static_cast<int>(picture.pixelX(65)), static_cast<int>(picture.pixelY(15)),
                          static_cast<int>(picture.pixelX(95)), static_cast<int>(picture.pixelY(5)))
                  .empty());
  // A vertical edge is a line about one pixel wide.
  const int row = static_cast<int>(picture.pixelY(10));
  PixelBox edge =
      pixelsWhere(picture, isInk, static_cast<int>(picture.pixelX(55)), row, static_cast<int>(picture.pixelX(70)), row);
  EXPECT_GE(edge.width(), 1);
  EXPECT_LE(edge.width(), 3);
}

TEST_F(KnownDrawing, DrawingIsFittedWithAMarginAndYUp) {
  Picture picture = render(db, 640);
  EXPECT_EQ(picture.width, 640);
  PixelBox ink = pixelsWhere(picture, isInk);
  ASSERT_FALSE(ink.empty());
  // Inside a margin on every side, and filling the picture across the longer side.
  EXPECT_GT(ink.minX, 5);
  EXPECT_GT(ink.minY, 5);
  EXPECT_LT(ink.maxX, picture.width - 6);
  EXPECT_LT(ink.maxY, picture.height - 6);
  EXPECT_GT(ink.width(), picture.width * 8 / 10);
  // The drawing is wider than tall (90 x 48), and so is the picture.
  EXPECT_LT(picture.height, picture.width);
  EXPECT_GT(ink.height(), picture.height * 7 / 10);
  // The text stands above and left of the rectangle: y grows up, x to the right.
  PixelBox red = pixelsWhere(picture, isRed);
  PixelBox white = pixelsWhere(picture, isWhite);
  EXPECT_LT(white.maxY, red.minY);
  EXPECT_LT(white.minX, red.minX);
  // Corners are background.
  for (auto [x, y] : {std::pair{0, 0}, {picture.width - 1, 0}, {0, picture.height - 1}}) {
    EXPECT_EQ(picture.at(x, y), zrxhost::kBackgroundRgb);
  }
}

TEST_F(KnownDrawing, ErasedEntitiesAndOffLayersAreNotDrawn) {
  ZcDb3dPolyline* polyline = nullptr;
  ASSERT_EQ(zcdbOpenObject(polyline, rectangleId, ZcDb::kForWrite), Zcad::eOk);
  ASSERT_EQ(polyline->erase(), Zcad::eOk);
  polyline->close();
  EXPECT_TRUE(pixelsWhere(render(db), isRed).empty());

  ZcDbLayerTable* layers = nullptr;
  ASSERT_EQ(db.getSymbolTable(layers, ZcDb::kForWrite), Zcad::eOk);
  auto* hidden = new ZcDbLayerTableRecord;
  hidden->setName(L"Hidden");
  hidden->setIsOff(true);
  ZcDbObjectId hiddenId;
  ASSERT_EQ(layers->add(hiddenId, hidden), Zcad::eOk);
  hidden->close();
  layers->close();
  ZcDbText* text = nullptr;
  ASSERT_EQ(zcdbOpenObject(text, textId, ZcDb::kForWrite), Zcad::eOk);
  text->setLayer(L"Hidden");
  text->close();
  Picture blank = render(db);
  EXPECT_TRUE(pixelsWhere(blank, isInk).empty());
}

TEST(RenderPicture, EmptyDrawingIsABlankPictureOfTheAskedWidth) {
  ZcDbDatabase db(true);
  Picture picture = render(db, 320);
  EXPECT_EQ(picture.width, 320);
  EXPECT_GT(picture.height, 100);
  EXPECT_TRUE(pixelsWhere(picture, isInk).empty());
}

TEST(RenderPicture, ColoursFollowTheStandardIndex) {
  EXPECT_EQ(zrxhost::aciToRgb(1), 0xFF0000u);
  EXPECT_EQ(zrxhost::aciToRgb(3), 0x00FF00u);
  EXPECT_EQ(zrxhost::aciToRgb(5), 0x0000FFu);
  EXPECT_EQ(zrxhost::aciToRgb(7), 0xFFFFFFu);
  EXPECT_EQ(zrxhost::aciToRgb(8), 0x808080u);
  EXPECT_EQ(zrxhost::aciToRgb(10), 0xFF0000u);
  EXPECT_EQ(zrxhost::aciToRgb(250), 0x333333u);
  EXPECT_EQ(zrxhost::aciToRgb(255), 0xFFFFFFu);
  EXPECT_EQ(zrxhost::aciToRgb(0), 0xFFFFFFu);
  EXPECT_EQ(zrxhost::aciToRgb(256), 0xFFFFFFu);

  ZcDbDatabase db(true);
  auto* line = new ZcDbLine({0, 0, 0}, {10, 0, 0});
  line->setColorIndex(5);
  appendTo(db, ZCDB_MODEL_SPACE, line);
  auto* byLayer = new ZcDbLine({0, 5, 0}, {10, 5, 0});
  appendTo(db, ZCDB_MODEL_SPACE, byLayer);
  Picture picture = render(db);
  EXPECT_TRUE(colourNear(picture, 5, 0, 0x0000FF));
  EXPECT_TRUE(colourNear(picture, 5, 5, kWhite)) << "by layer on layer 0 (colour 7)";
}

// Width of the ink of one text, in drawing units.
double inkWidthOf(ZcDbText* text) {
  ZcDbDatabase db(true);
  text->setTextStyle(db.textStyleStandardId());
  appendTo(db, ZCDB_MODEL_SPACE, text);
  Picture picture = render(db);
  PixelBox ink = pixelsWhere(picture, isInk);
  return ink.empty() ? 0 : ink.width() / picture.scale;
}

double inkHeightOf(ZcDbText* text) {
  ZcDbDatabase db(true);
  appendTo(db, ZCDB_MODEL_SPACE, text);
  Picture picture = render(db);
  PixelBox ink = pixelsWhere(picture, isInk);
  return ink.empty() ? 0 : ink.height() / picture.scale;
}

TEST(RenderText, HeightWidthFactorAndRotationShapeTheGlyphs) {
  const double plain = inkWidthOf(new ZcDbText({0, 0, 0}, L"HHHH", ZcDbObjectId::kNull, 10, 0));
  ASSERT_GT(plain, 10);
  auto* wide = new ZcDbText({0, 0, 0}, L"HHHH", ZcDbObjectId::kNull, 10, 0);
  wide->setWidthFactor(2);
  EXPECT_NEAR(inkWidthOf(wide) / plain, 2.0, 0.1);
  EXPECT_NEAR(inkWidthOf(new ZcDbText({0, 0, 0}, L"HHHH", ZcDbObjectId::kNull, 20, 0)) / plain, 2.0, 0.1);
  // Capital H stands one text height tall.
  EXPECT_NEAR(inkHeightOf(new ZcDbText({0, 0, 0}, L"HHHH", ZcDbObjectId::kNull, 10, 0)), 10, 0.6);
  // Turned a quarter turn, the line of text stands upright.
  const double upright = inkHeightOf(new ZcDbText({0, 0, 0}, L"HHHH", ZcDbObjectId::kNull, 10, ZcGe::kPi / 2));
  EXPECT_NEAR(upright, plain, plain * 0.05);
  // A slanted text leans right: its ink reaches further than the upright text's.
  auto* slanted = new ZcDbText({0, 0, 0}, L"HHHH", ZcDbObjectId::kNull, 10, 0);
  slanted->setOblique(30 * ZcGe::kPi / 180);
  EXPECT_NEAR(inkWidthOf(slanted) - plain, 10 * std::tan(30 * ZcGe::kPi / 180), 1.0);
}

TEST(RenderText, ChineseTextIsDrawnFromAFallbackFont) {
  ZcDbDatabase db(true);
  addText(db, {0, 0, 0}, L"\u4E2D\u6587\u5B57", 10);
  Picture picture = render(db);
  PixelBox ink = pixelsWhere(picture, isInk);
  ASSERT_FALSE(ink.empty());
  // Three wide ideographs: more than twice as wide as tall, with many filled pixels.
  EXPECT_GT(ink.width(), ink.height() * 2);
  EXPECT_GT(ink.count, ink.width() * ink.height() / 10);
}

TEST(RenderBlocks, BlockReferenceDrawsItsBlockMovedToTheInsert) {
  ZcDbDatabase db(true);
  ZcDbBlockTable* blocks = nullptr;
  ASSERT_EQ(db.getBlockTable(blocks, ZcDb::kForWrite), Zcad::eOk);
  auto* block = new ZcDbBlockTableRecord;
  block->setName(L"MARK");
  ZcDbObjectId blockId;
  ASSERT_EQ(blocks->add(blockId, block), Zcad::eOk);
  block->close();
  blocks->close();
  addRedRectangle(db, 0, 0, 10, 10, L"MARK");
  appendTo(db, ZCDB_MODEL_SPACE, new ZcDbBlockReference({100, 50, 0}, blockId));
  addText(db, {0, 0, 0}, L"A", 5);  // keeps the insert away from the picture's edge
  Picture picture = render(db);
  EXPECT_TRUE(colourNear(picture, 105, 50, kRed));
  EXPECT_TRUE(colourNear(picture, 110, 55, kRed));
  EXPECT_FALSE(colourNear(picture, 5, 0, kRed, 3)) << "the block's own place stays empty";
}

std::string fileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string tempPath(const std::string& name) {
  return (::testing::TempDir() + "render_test_" + std::to_string(::getpid()) + "_" + name);
}

TEST(RenderFiles, PngAndSvgFilesAreWrittenWhole) {
  ZcDbDatabase db(true);
  addText(db, {0, 0, 0}, L"888", 5);
  zrxhost::RenderOptions options;
  options.widthPixels = 300;
  std::string error;
  const std::string png = tempPath("a.png");
  ASSERT_TRUE(zrxhost::renderPng(db, png, error, options)) << error;
  const std::string bytes = fileBytes(png);
  ASSERT_GT(bytes.size(), 33u);
  EXPECT_EQ(bytes.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
  EXPECT_EQ(bytes.substr(12, 4), "IHDR");
  const auto byte = [&](size_t i) { return static_cast<unsigned>(static_cast<unsigned char>(bytes[i])); };
  EXPECT_EQ((byte(16) << 24) | (byte(17) << 16) | (byte(18) << 8) | byte(19), 300u) << "width";

  const std::string svg = tempPath("a.svg");
  ASSERT_TRUE(zrxhost::renderSvg(db, svg, error, options)) << error;
  const std::string text = fileBytes(svg);
  EXPECT_EQ(text.rfind("<?xml", 0), 0u);
  EXPECT_NE(text.find("<svg"), std::string::npos);
  EXPECT_NE(text.find("</svg>"), std::string::npos);
  EXPECT_NE(text.find("<path"), std::string::npos) << "the text's glyphs";
  std::remove(png.c_str());
  std::remove(svg.c_str());
}

TEST(RenderFiles, FailuresLeaveNothingBehind) {
  ZcDbDatabase db(true);
  std::string error;
  EXPECT_FALSE(zrxhost::renderPng(db, "/nonexistent-dir/x.png", error));
  EXPECT_FALSE(error.empty());
  error.clear();
  EXPECT_FALSE(zrxhost::renderSvg(db, "/nonexistent-dir/x.svg", error));
  EXPECT_FALSE(error.empty());

  // An existing picture survives a render that cannot even start.
  const std::string png = tempPath("keep.png");
  { std::ofstream(png) << "old"; }
  zrxhost::RenderOptions bad;
  bad.widthPixels = 0;
  error.clear();
  EXPECT_FALSE(zrxhost::renderPng(db, png, error, bad));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(fileBytes(png), "old");
  std::remove(png.c_str());
}

}  // namespace

// The database's handle index under growth: dense, strided and very large handles, forward references.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "zrx/db.h"
#include "zrxhost/database_internals.h"

namespace {

struct Pattern {
  const char* name;
  std::uint64_t first, step;
  std::size_t count;
  bool reserve;
};

// Handle sequences that stress an index kept in order: consecutive ones, strides that are multiples
// of the table's sizes (they all fall on the same slot unless the high bits are folded in) and
// handles near the top of the 64-bit range.
const Pattern kPatterns[] = {
    {"Dense", 1, 1, 5000, false},
    {"DenseReserved", 0x100, 1, 5000, true},
    {"PowerOfTwoStride", 1u << 12, 1u << 12, 3000, false},
    {"LargePowerOfTwoStride", std::uint64_t{1} << 32, std::uint64_t{1} << 32, 2000, true},
    {"NearTopOfRange", ~std::uint64_t{0} - 4000, 1, 4000, false},
    {"OddStride", 7, 131071, 3000, false},
};

class HandleIndex : public ::testing::TestWithParam<Pattern> {};

TEST_P(HandleIndex, EveryHandleFoundBackAndAbsentOnesNot) {
  const Pattern& p = GetParam();
  ZcDbDatabase db(false);
  if (p.reserve) zrxhost::reserveObjects(db, p.count);
  std::vector<ZcDbObjectId> ids;
  for (std::size_t i = 0; i < p.count; ++i) {
    ZcDbObjectId id;
    auto* line = new ZcDbLine;
    ASSERT_EQ(db.addZcDbObject(id, line, p.first + i * p.step), Zcad::eOk) << "object " << i;
    line->close();
    ids.push_back(id);
  }
  for (std::size_t i = 0; i < p.count; ++i) {
    ZcDbObjectId found;
    ASSERT_EQ(db.getZcDbObjectId(found, false, p.first + i * p.step), Zcad::eOk) << "object " << i;
    EXPECT_EQ(found, ids[i]);
  }
  // Between the handles used (and past the last) nothing is found, and nothing is made.
  for (std::size_t i = 0; i + 1 < p.count; i += 97) {
    ZcDbObjectId found;
    if (p.step > 1) {
      EXPECT_EQ(db.getZcDbObjectId(found, false, p.first + i * p.step + 1), Zcad::eKeyNotFound);
    }
  }
  ZcDbObjectId none;
  if (p.first > 1) {
    EXPECT_EQ(db.getZcDbObjectId(none, false, p.first - 1), Zcad::eKeyNotFound);
  }
  EXPECT_EQ(db.numObjects(), static_cast<int>(p.count));

  // A repeated handle is refused however full the index is.
  auto* clash = new ZcDbLine;
  ZcDbObjectId clashId;
  EXPECT_EQ(db.addZcDbObject(clashId, clash, p.first + (p.count / 2) * p.step), Zcad::eDuplicateKey);
  delete clash;

  std::vector<ZcDbObjectId> all = zrxhost::allObjectIds(db);
  ASSERT_EQ(all.size(), p.count);
  for (std::size_t i = 1; i < all.size(); ++i) ASSERT_LT(all[i - 1].handle(), all[i].handle());
}

INSTANTIATE_TEST_SUITE_P(Patterns, HandleIndex, ::testing::ValuesIn(kPatterns),
                         [](const ::testing::TestParamInfo<Pattern>& info) { return std::string(info.param.name); });

// Forward references made while the index grows keep their ids when their objects arrive, and fresh
// handles skip every handle already known.
TEST(HandleIndexGrowth, ForwardReferencesSurviveGrowthAndFreshHandlesSkipThem) {
  ZcDbDatabase db(false);
  std::vector<ZcDbObjectId> forward;
  for (std::uint64_t h = 2; h <= 4000; h += 2) {
    ZcDbObjectId id;
    ASSERT_EQ(db.getZcDbObjectId(id, true, h), Zcad::eOk);
    forward.push_back(id);
  }
  EXPECT_EQ(db.numObjects(), 0);  // references only
  zrxhost::setHandseed(db, 1);
  std::vector<ZcDbObjectId> fresh;
  for (int i = 0; i < 2000; ++i) {
    ZcDbObjectId id;
    auto* line = new ZcDbLine;
    ASSERT_EQ(db.addZcDbObject(id, line), Zcad::eOk);
    line->close();
    EXPECT_EQ(id.handle() % 2, 1u) << "fresh handle " << id.handle() << " was referred to already";
    fresh.push_back(id);
  }
  for (std::size_t i = 0; i < forward.size(); ++i) {
    auto* line = new ZcDbLine;
    ZcDbObjectId id;
    ASSERT_EQ(db.addZcDbObject(id, line, 2 * (i + 1)), Zcad::eOk);
    line->close();
    EXPECT_EQ(id, forward[i]);
  }
  EXPECT_EQ(db.numObjects(), 4000);
}

}  // namespace

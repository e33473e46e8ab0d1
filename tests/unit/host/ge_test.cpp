// Geometry: signed angles over full turns, zero vectors, rotation about arbitrary axes.
#include "zrx/ge.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr double kTwoPi = 2 * ZcGe::kPi;

void expectNear(const ZcGeVector3d& a, const ZcGeVector3d& b, double tol = 1e-12) {
  EXPECT_NEAR(a.x, b.x, tol);
  EXPECT_NEAR(a.y, b.y, tol);
  EXPECT_NEAR(a.z, b.z, tol);
}

TEST(GeAngle, FullTurnAboutPlusZAndMinusZ) {
  const ZcGeVector3d x = ZcGeVector3d::kXAxis;
  // 15 degree steps cover every quadrant, both axes and the half turn.
  for (int step = 0; step < 24; ++step) {
    double theta = step * kTwoPi / 24;
    ZcGeVector3d v(std::cos(theta), std::sin(theta), 0);
    double ccw = x.angleTo(v, ZcGeVector3d::kZAxis);
    double cw = x.angleTo(v, -ZcGeVector3d::kZAxis);
    EXPECT_NEAR(ccw, theta, 1e-12) << "step " << step;
    if (step == 0) {
      EXPECT_NEAR(cw, 0, 1e-12);
    } else {
      EXPECT_NEAR(cw, kTwoPi - theta, 1e-12) << "step " << step;
    }
    EXPECT_GE(ccw, 0);
    EXPECT_LT(ccw, kTwoPi);
    EXPECT_GE(cw, 0);
    EXPECT_LT(cw, kTwoPi);
  }
}

TEST(GeAngle, ScaleOfVectorsDoesNotMatterAndUnsignedIsSymmetric) {
  ZcGeVector3d a(3, 0, 0), b(0, -0.001, 0);
  EXPECT_NEAR(a.angleTo(b, ZcGeVector3d::kZAxis), 1.5 * ZcGe::kPi, 1e-12);
  EXPECT_NEAR(a.angleTo(b), ZcGe::kPi / 2, 1e-12);
  EXPECT_NEAR(b.angleTo(a), ZcGe::kPi / 2, 1e-12);
  EXPECT_NEAR(ZcGeVector3d(1, 0, 0).angleTo(ZcGeVector3d(-1, 0, 0)), ZcGe::kPi, 1e-15);
}

TEST(GeAngle, TinyNegativeTurnStaysBelowFullTurn) {
  ZcGeVector3d v(1, -1e-17, 0);
  double a = ZcGeVector3d::kXAxis.angleTo(v, ZcGeVector3d::kZAxis);
  EXPECT_GE(a, 0);
  EXPECT_LT(a, kTwoPi);
}

TEST(GeZero, ZeroVectorsGiveFiniteResults) {
  ZcGeVector3d zero;
  EXPECT_EQ(zero.angleTo(ZcGeVector3d::kXAxis), 0);
  EXPECT_EQ(ZcGeVector3d::kXAxis.angleTo(zero, ZcGeVector3d::kZAxis), 0);
  EXPECT_EQ(zero.angleTo(zero, zero), 0);
  ZcGeVector3d n = zero.normal();
  EXPECT_TRUE(std::isfinite(n.x) && std::isfinite(n.y) && std::isfinite(n.z));
  EXPECT_EQ(n.length(), 0);
  EXPECT_TRUE(zero.isZeroLength());
  EXPECT_EQ(zero.perpVector().length(), 0);
}

TEST(GeZero, NormalOfShortVectorIsUnchangedLongVectorIsUnit) {
  ZcGeVector3d tiny(1e-14, 0, 0);
  EXPECT_EQ(tiny.normal().x, 1e-14);
  ZcGeVector3d v(3, 4, 12);
  EXPECT_NEAR(v.normal().length(), 1, 1e-15);
  expectNear(v.normal(), ZcGeVector3d(3.0 / 13, 4.0 / 13, 12.0 / 13));
  // A looser tolerance makes a longer vector count as too short.
  EXPECT_EQ(ZcGeVector3d(0.5, 0, 0).normal(ZcGeTol(1e-10, 1.0)).x, 0.5);
  ZcGeVector3d w(0, 0, 5);
  w.normalize();
  expectNear(w, ZcGeVector3d::kZAxis);
}

TEST(GeRotate, AboutCoordinateAndSkewAxes) {
  ZcGeVector3d v = ZcGeVector3d::kXAxis;
  v.rotateBy(ZcGe::kPi / 2, ZcGeVector3d::kZAxis);
  expectNear(v, ZcGeVector3d::kYAxis);
  v.rotateBy(ZcGe::kPi / 2, ZcGeVector3d(0, 0, -7));  // axis length must not matter
  expectNear(v, ZcGeVector3d::kXAxis);

  // A third of a turn about (1,1,1) cycles the axes x -> y -> z.
  ZcGeVector3d diag(1, 1, 1);
  ZcGeVector3d c = ZcGeVector3d::kXAxis;
  c.rotateBy(kTwoPi / 3, diag);
  expectNear(c, ZcGeVector3d::kYAxis, 1e-12);
  c.rotateBy(kTwoPi / 3, diag);
  expectNear(c, ZcGeVector3d::kZAxis, 1e-12);

  // The component along the axis is kept and the length is preserved.
  ZcGeVector3d u(2, 3, 5);
  ZcGeVector3d axis(0.3, -0.4, 0.866);
  ZcGeVector3d r = u;
  r.rotateBy(1.234, axis);
  EXPECT_NEAR(r.length(), u.length(), 1e-12);
  EXPECT_NEAR(r.dotProduct(axis.normal()), u.dotProduct(axis.normal()), 1e-12);

  ZcGeVector3d same = u;
  same.rotateBy(1.0, ZcGeVector3d());  // a zero axis defines no rotation
  expectNear(same, u);
}

TEST(GeRotate, PointAboutCentre) {
  ZcGePoint3d p(2, 1, 4);
  p.rotateBy(ZcGe::kPi, ZcGeVector3d::kZAxis, ZcGePoint3d(1, 1, 0));
  EXPECT_NEAR(p.x, 0, 1e-12);
  EXPECT_NEAR(p.y, 1, 1e-12);
  EXPECT_NEAR(p.z, 4, 1e-12);
  EXPECT_NEAR(ZcGePoint3d(1, 2, 3).distanceTo(ZcGePoint3d(4, 6, 3)), 5, 1e-15);
}

TEST(GeArithmetic, CrossProductIsRightHandedAndComparisonsUseTolerance) {
  expectNear(ZcGeVector3d::kXAxis.crossProduct(ZcGeVector3d::kYAxis), ZcGeVector3d::kZAxis);
  expectNear(ZcGeVector3d::kYAxis.crossProduct(ZcGeVector3d::kXAxis), -ZcGeVector3d::kZAxis);
  EXPECT_TRUE(ZcGePoint3d(1, 1, 1) == ZcGePoint3d(1, 1, 1 + 1e-12));
  EXPECT_FALSE(ZcGePoint3d(1, 1, 1) == ZcGePoint3d(1, 1, 1 + 1e-6));
  ZcGePoint3d p(1, 2, 3);
  p += ZcGeVector3d(1, 1, 1);
  p -= ZcGeVector3d(0, 0, 4);
  EXPECT_TRUE(p == ZcGePoint3d(2, 3, 0));
  ZcGeVector3d v(1, 2, 3);
  v *= 2;
  v /= 4;
  v += ZcGeVector3d(1, 0, 0);
  v -= ZcGeVector3d(0, 1, 0);
  expectNear(v, ZcGeVector3d(1.5, 0, 1.5));
  ZcGeVector3d perp = ZcGeVector3d(0.2, 5, -1).perpVector();
  EXPECT_NEAR(perp.dotProduct(ZcGeVector3d(0.2, 5, -1)), 0, 1e-12);
  EXPECT_GT(perp.length(), 0);
}

}  // namespace

// Points and vectors of the geometry library, and the global tolerance.
#include "zrx/ge.h"

#include <cmath>

ZcGeTol ZcGeContext::gTol;

const ZcGeVector3d ZcGeVector3d::kIdentity{0, 0, 0};
const ZcGeVector3d ZcGeVector3d::kXAxis{1, 0, 0};
const ZcGeVector3d ZcGeVector3d::kYAxis{0, 1, 0};
const ZcGeVector3d ZcGeVector3d::kZAxis{0, 0, 1};
const ZcGePoint3d ZcGePoint3d::kOrigin{0, 0, 0};

namespace {
constexpr double kTwoPi = 2 * ZcGe::kPi;
}

ZcGeVector3d& ZcGeVector3d::operator+=(const ZcGeVector3d& v) {
  x += v.x;
  y += v.y;
  z += v.z;
  return *this;
}

ZcGeVector3d& ZcGeVector3d::operator-=(const ZcGeVector3d& v) {
  x -= v.x;
  y -= v.y;
  z -= v.z;
  return *this;
}

ZcGeVector3d& ZcGeVector3d::operator*=(double s) {
  x *= s;
  y *= s;
  z *= s;
  return *this;
}

ZcGeVector3d& ZcGeVector3d::operator/=(double s) {
  x /= s;
  y /= s;
  z /= s;
  return *this;
}

double ZcGeVector3d::length() const {
  return std::sqrt(lengthSqrd());
}

ZcGeVector3d ZcGeVector3d::crossProduct(const ZcGeVector3d& v) const {
  return {y * v.z - z * v.y, z * v.x - x * v.z, x * v.y - y * v.x};
}

bool ZcGeVector3d::isZeroLength(const ZcGeTol& tol) const {
  return length() <= tol.equalVector();
}

bool ZcGeVector3d::isEqualTo(const ZcGeVector3d& v, const ZcGeTol& tol) const {
  return (*this - v).length() <= tol.equalVector();
}

ZcGeVector3d ZcGeVector3d::normal(const ZcGeTol& tol) const {
  double len = length();
  // Dividing by a length at the noise level would blow the vector up to garbage (or infinity), so a
  // vector that short is handed back as it is.
  if (!(len >= tol.equalVector()) || len == 0) return *this;
  return *this / len;
}

ZcGeVector3d& ZcGeVector3d::normalize(const ZcGeTol& tol) {
  *this = normal(tol);
  return *this;
}

double ZcGeVector3d::angleTo(const ZcGeVector3d& v) const {
  // atan2 of |a x b| and a.b keeps full precision near 0 and pi, where acos of the normalised dot
  // product loses it, and gives 0 (not NaN) when either vector is zero.
  return std::atan2(crossProduct(v).length(), dotProduct(v));
}

double ZcGeVector3d::angleTo(const ZcGeVector3d& v, const ZcGeVector3d& reference) const {
  double angle = angleTo(v);
  if (reference.dotProduct(crossProduct(v)) < 0) angle = kTwoPi - angle;
  // A turn just short of a full one can round up to 2*pi, which lies outside the range.
  if (!(angle < kTwoPi) || !std::isfinite(angle)) angle = 0;
  return angle;
}

ZcGeVector3d& ZcGeVector3d::rotateBy(double angle, const ZcGeVector3d& axis) {
  double len = axis.length();
  if (len == 0 || !std::isfinite(len)) return *this;
  ZcGeVector3d k = axis / len;
  double c = std::cos(angle);
  double s = std::sin(angle);
  // Rodrigues: the part along the axis stays, the part across it turns in the plane of (v, k x v).
  *this = *this * c + k.crossProduct(*this) * s + k * (k.dotProduct(*this) * (1 - c));
  return *this;
}

ZcGeVector3d ZcGeVector3d::perpVector() const {
  // Crossing with the axis least aligned with the vector gives the best-conditioned perpendicular.
  double ax = std::fabs(x), ay = std::fabs(y), az = std::fabs(z);
  ZcGeVector3d other = (ax <= ay && ax <= az) ? kXAxis : (ay <= az ? kYAxis : kZAxis);
  return crossProduct(other);
}

ZcGePoint3d& ZcGePoint3d::operator+=(const ZcGeVector3d& v) {
  x += v.x;
  y += v.y;
  z += v.z;
  return *this;
}

ZcGePoint3d& ZcGePoint3d::operator-=(const ZcGeVector3d& v) {
  x -= v.x;
  y -= v.y;
  z -= v.z;
  return *this;
}

double ZcGePoint3d::distanceTo(const ZcGePoint3d& p) const {
  return (*this - p).length();
}

bool ZcGePoint3d::isEqualTo(const ZcGePoint3d& p, const ZcGeTol& tol) const {
  return distanceTo(p) <= tol.equalPoint();
}

ZcGePoint3d& ZcGePoint3d::rotateBy(double angle, const ZcGeVector3d& axis, const ZcGePoint3d& center) {
  ZcGeVector3d v = *this - center;
  v.rotateBy(angle, axis);
  *this = center + v;
  return *this;
}

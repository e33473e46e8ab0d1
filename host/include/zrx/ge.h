// Geometry: points, vectors, the global tolerance.
#pragma once

#include "zrx/core.h"

class ZcGeTol {
 public:
  ZcGeTol() = default;
  ZcGeTol(double point, double vector) : mEqualPoint(point), mEqualVector(vector) {}
  double equalPoint() const { return mEqualPoint; }
  double equalVector() const { return mEqualVector; }
  void setEqualPoint(double v) { mEqualPoint = v; }
  void setEqualVector(double v) { mEqualVector = v; }

 private:
  double mEqualPoint = 1e-10;
  double mEqualVector = 1e-12;
};

struct ZcGeContext {
  static ZcGeTol gTol;
};

class ZcGeVector3d {
 public:
  ZcGeVector3d() = default;
  ZcGeVector3d(double xx, double yy, double zz) : x(xx), y(yy), z(zz) {}

  static const ZcGeVector3d kIdentity;  // (0,0,0)
  static const ZcGeVector3d kXAxis;
  static const ZcGeVector3d kYAxis;
  static const ZcGeVector3d kZAxis;

  ZcGeVector3d operator+(const ZcGeVector3d& v) const { return {x + v.x, y + v.y, z + v.z}; }
  ZcGeVector3d operator-(const ZcGeVector3d& v) const { return {x - v.x, y - v.y, z - v.z}; }
  ZcGeVector3d operator-() const { return {-x, -y, -z}; }
  ZcGeVector3d operator*(double s) const { return {x * s, y * s, z * s}; }
  ZcGeVector3d operator/(double s) const { return {x / s, y / s, z / s}; }
  ZcGeVector3d& operator+=(const ZcGeVector3d& v);
  ZcGeVector3d& operator-=(const ZcGeVector3d& v);
  ZcGeVector3d& operator*=(double s);
  ZcGeVector3d& operator/=(double s);
  bool operator==(const ZcGeVector3d& v) const { return isEqualTo(v); }

  double length() const;
  double lengthSqrd() const { return x * x + y * y + z * z; }
  double dotProduct(const ZcGeVector3d& v) const { return x * v.x + y * v.y + z * v.z; }
  ZcGeVector3d crossProduct(const ZcGeVector3d& v) const;
  bool isZeroLength(const ZcGeTol& tol = ZcGeContext::gTol) const;
  bool isEqualTo(const ZcGeVector3d& v, const ZcGeTol& tol = ZcGeContext::gTol) const;
  // Unit vector; a vector shorter than the tolerance comes back unchanged (finite).
  ZcGeVector3d normal(const ZcGeTol& tol = ZcGeContext::gTol) const;
  ZcGeVector3d& normalize(const ZcGeTol& tol = ZcGeContext::gTol);
  // Unsigned angle between the two, 0..pi.
  double angleTo(const ZcGeVector3d& v) const;
  // Angle through which this vector turns, right-handed about `reference`, to point along `v`:
  // 0 up to (not including) 2*pi. Finite for zero vectors.
  double angleTo(const ZcGeVector3d& v, const ZcGeVector3d& reference) const;
  // Rotates in place by `angle` (right-handed) about `axis`.
  ZcGeVector3d& rotateBy(double angle, const ZcGeVector3d& axis);
  ZcGeVector3d perpVector() const;

  double x = 0, y = 0, z = 0;
};

inline ZcGeVector3d operator*(double s, const ZcGeVector3d& v) { return v * s; }

class ZcGePoint3d {
 public:
  ZcGePoint3d() = default;
  ZcGePoint3d(double xx, double yy, double zz) : x(xx), y(yy), z(zz) {}

  static const ZcGePoint3d kOrigin;

  ZcGePoint3d operator+(const ZcGeVector3d& v) const { return {x + v.x, y + v.y, z + v.z}; }
  ZcGePoint3d operator-(const ZcGeVector3d& v) const { return {x - v.x, y - v.y, z - v.z}; }
  ZcGeVector3d operator-(const ZcGePoint3d& p) const { return {x - p.x, y - p.y, z - p.z}; }
  ZcGePoint3d& operator+=(const ZcGeVector3d& v);
  ZcGePoint3d& operator-=(const ZcGeVector3d& v);
  bool operator==(const ZcGePoint3d& p) const { return isEqualTo(p); }
  bool operator!=(const ZcGePoint3d& p) const { return !isEqualTo(p); }
  ZcGeVector3d asVector() const { return {x, y, z}; }
  double distanceTo(const ZcGePoint3d& p) const;
  bool isEqualTo(const ZcGePoint3d& p, const ZcGeTol& tol = ZcGeContext::gTol) const;
  ZcGePoint3d& rotateBy(double angle, const ZcGeVector3d& axis, const ZcGePoint3d& center = kOrigin);

  double x = 0, y = 0, z = 0;
};

// Converts between the host's point arrays and points.
inline ZcGePoint3d asPnt3d(const double p[3]) { return {p[0], p[1], p[2]}; }

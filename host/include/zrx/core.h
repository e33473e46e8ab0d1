// Basic types, status codes and enumerations shared by every area of the host API.
#pragma once

#include <cstdint>

using ZTCHAR = wchar_t;

namespace ZSoft {
using Int32 = std::int32_t;
using UInt32 = std::uint32_t;
using Int16 = std::int16_t;
using UInt16 = std::uint16_t;
using UInt8 = std::uint8_t;
using LongPtr = std::intptr_t;
using UIntPtr = std::uintptr_t;
using Boolean = bool;
using GsMarker = std::intptr_t;
}  // namespace ZSoft

// Results of the user-input functions.
constexpr int RTNORM = 5100;
constexpr int RTNONE = 5000;
constexpr int RTERROR = -5001;
constexpr int RTCAN = -5002;
constexpr int RTREJ = -5003;
constexpr int RTKWORD = -5005;

// Result-buffer types.
constexpr short RTNONE_TYPE = 5000;
constexpr short RTREAL = 5001;
constexpr short RTPOINT = 5002;
constexpr short RTSHORT = 5003;
constexpr short RTANG = 5004;
constexpr short RTSTR = 5005;
constexpr short RT3DPOINT = 5009;
constexpr short RTLONG = 5010;
constexpr short RTDXF0 = 5020;  // a selection filter's entity type (DXF group 0)

// zcedInitGet control bits.
constexpr int RSG_NONULL = 1;
constexpr int RSG_NOZERO = 2;
constexpr int RSG_NONEG = 4;

using zds_real = double;
using zds_point = zds_real[3];
using zds_name = ZSoft::LongPtr[2];

struct resbuf {
  resbuf* rbnext = nullptr;
  short restype = RTNONE_TYPE;
  union {
    zds_real rreal;
    zds_real rpoint[3];
    short rint;
    ZTCHAR* rstring;
    ZSoft::Int32 rlong;
  } resval{};
};

namespace Zcad {
enum ErrorStatus {
  eOk = 0,
  eNotImplementedYet = 1,
  eNotApplicable = 3,
  eInvalidInput = 5,
  eAmbiguousInput = 6,
  eAmbiguousOutput = 7,
  eOutOfMemory = 8,
  eKeyNotFound = 51,
  eDuplicateKey = 53,
  eInvalidIndex = 54,
  eNullObjectId = 67,
  eNullObjectPointer = 69,
  eNotInDatabase = 71,
  eWrongObjectType = 74,
  eInvalidExtents = 83,
  eAlreadyInDb = 89,
  eNotOpenForRead = 94,
  eNotOpenForWrite = 95,
  eWasErased = 81,
  eWasOpenedForRead = 92,
  eWasOpenedForWrite = 93,
  eWasNotErased = 82,
  eNoDatabase = 86,
  eInvalidDxfCode = 118,
  eNotThatKindOfClass = 120,
  eFileNotFound = 137,
  eFileAccessErr = 139,
};
}  // namespace Zcad

namespace ZcDb {
enum OpenMode { kForRead = 0, kForWrite = 1, kForNotify = 2 };
enum TextHorzMode { kTextLeft = 0, kTextCenter = 1, kTextRight = 2, kTextAlign = 3, kTextMid = 4, kTextFit = 5 };
enum TextVertMode { kTextBase = 0, kTextBottom = 1, kTextVertMid = 2, kTextTop = 3 };
enum Visibility { kVisible = 0, kInvisible = 1 };
// The object snap asked of an entity's getOsnapPoints.
enum OsnapMode {
  kOsModeEnd = 1,
  kOsModeMid = 2,
  kOsModeCen = 3,
  kOsModeNode = 4,
  kOsModeQuad = 5,
  kOsModeIntersec = 6,
  kOsModeIns = 7,
  kOsModePerp = 8,
  kOsModeTan = 9,
  kOsModeNear = 10,
};
enum Poly3dType { k3dSimplePoly = 0, k3dQuadSplinePoly = 1, k3dCubicSplinePoly = 2 };
enum DocLockMode {
  kNone = 0,
  kAutoWrite = 1,
  kNotLocked = 2,
  kWrite = 4,
  kProtectedAutoWrite = 20,
  kRead = 32,
  kXWrite = 64
};
}  // namespace ZcDb

namespace ZcGe {
constexpr double kPi = 3.14159265358979323846;
}

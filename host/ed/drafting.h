// The drafting aids applied to points that come from the cursor: object snaps, the snap grid, ortho.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "zrx/core.h"
#include "zrx/ge.h"

class ZcDbDatabase;
class ZcDbEntity;
class ZcDbObjectId;
class ZcString;

namespace zrxhost::ed {

// An object snap mode: its OSMODE bit, the name typed for it, and what an entity is asked for.
struct SnapMode {
  int bit;
  const char* name;  // END, MID, ...
  ZcDb::OsnapMode osnap;
  const char* english;  // the tip beside the marker
  const char* chinese;
};
// END MID CEN NOD QUA INT INS PER NEA, in OSMODE's order.
const SnapMode* snapModes(size_t& count);
// The mode a typed word names (END or ENDPOINT, any case), 0 for NON/NONE, -1 for no mode.
int snapBitNamed(std::string_view word);
inline constexpr int kOsnapSuppressed = 16384;

// Whether a layer of `db` is shown (neither off nor frozen), looked up once per name; a name the
// table lacks is drawn as on.
class LayerStates {
 public:
  explicit LayerStates(ZcDbDatabase* db) : mDb(db) {}
  bool shown(const ZcString& layer);

 private:
  ZcDbDatabase* mDb;
  std::map<std::string, bool> mShown;
};

// Calls `f` for each entity of the current space a user sees (not erased, not invisible, not on a
// layer that is off or frozen) whose extents come within `radius` of `point`, topmost (last added)
// first, until `f` returns true. The spatial index finds them.
void forEachShownEntityNear(const ZcGePoint3d& point, double radius, const std::function<bool(const ZcDbEntity&)>& f);

// Where a cursor point lands. `snapBit` names the object snap that found it (0: none).
struct AidedPoint {
  ZcGePoint3d point;
  int snapBit = 0;
};
// The cursor at `cursor` with the aids on: the nearest object snap within APERTURE (a one-off mode
// typed at the prompt, else the running modes of OSMODE), else the snap grid when SNAPMODE is on.
// `last` is where perpendicular snaps measure from. Ortho is left to the caller, which knows its
// base point; it does not bend an object snap.
AidedPoint aidCursor(const ZcGePoint3d& cursor, const ZcGePoint3d& last);

// A one-off snap typed at a point prompt: applies to the next point only. `bit` 0 is NON.
void setSnapOverride(int bit);
void clearSnapOverride();
bool hasSnapOverride();
// The point the answer typed at a point prompt names when it is a one-off snap: the prompt "of ".
std::string snapOverridePrompt();

// Ortho keeps the larger of the two planar offsets from `base` and drops the other.
ZcGePoint3d orthoFrom(const ZcGePoint3d& base, const ZcGePoint3d& p);
bool orthoOn();

// The point `distance` from `base` toward `toward` (in the XY plane); nullopt when they coincide.
std::optional<ZcGePoint3d> pointToward(const ZcGePoint3d& base, const ZcGePoint3d& toward, double distance);

}  // namespace zrxhost::ed

// Selection sets: zcedSSGet with its "Select objects:" dialogue, the sets it names, what a selection shows.
#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "ed/drafting.h"
#include "ed/parse.h"
#include "ed/picking.h"
#include "zrx/db.h"
#include "zrx/ed.h"
#include "zrxhost/messages.h"
#include "zrxhost/session.h"

namespace {

using zrxhost::HostMessage;
using zrxhost::Session;
using zrxhost::ed::SelectionWord;

// A set's name is its key in gSets and this tag, so that an entity's name is never taken for a set.
constexpr ZSoft::LongPtr kSetTag = 0x55E7;
std::map<ZSoft::LongPtr, std::vector<ZcDbObjectId>> gSets;
ZSoft::LongPtr gNextSetKey = 1;
// The last set the user made, for "P".
std::vector<ZcDbObjectId> gPrevious;
// The outline colour of a selected entity (cyan: the mark and the drawing's own red stay apart).
constexpr ZSoft::UInt16 kHighlightColor = 4;

const std::vector<ZcDbObjectId>* setNamed(const zds_name name) {
  if (name == nullptr || name[1] != kSetTag) return nullptr;
  auto it = gSets.find(name[0]);
  return it == gSets.end() ? nullptr : &it->second;
}

std::u16string upperAscii(std::u16string text) {
  for (char16_t& c : text) c = static_cast<char16_t>(c >= u'a' && c <= u'z' ? c - u'a' + u'A' : c);
  return text;
}

// The entity types a filter's group 0 entry lists ("TEXT,MTEXT"; "*" takes every type).
class TypeFilter {
 public:
  explicit TypeFilter(const resbuf* filter) {
    for (const resbuf* rb = filter; rb != nullptr; rb = rb->rbnext) {
      if (rb->restype != RTDXF0 || rb->resval.rstring == nullptr) continue;
      std::u16string list = upperAscii(zrxhost::wideToUtf16(rb->resval.rstring));
      for (size_t from = 0; from <= list.size();) {
        size_t comma = std::min(list.find(u',', from), list.size());
        if (comma > from) mTypes.push_back(list.substr(from, comma - from));
        from = comma + 1;
      }
      mActive = true;
    }
  }
  bool accepts(const ZcDbEntity& entity) const {
    if (!mActive) return true;
    const auto* foreign = ZcDbForeignEntity::cast(&entity);
    std::u16string type =
        upperAscii(foreign ? foreign->dxfType().utf16() : zrxhost::wideToUtf16(entity.isA()->dxfName()));
    return std::any_of(mTypes.begin(), mTypes.end(), [&](const std::u16string& t) { return t == u"*" || t == type; });
  }

 private:
  std::vector<std::u16string> mTypes;
  bool mActive = false;
};

// Every entity of the current space a user sees (not erased, not invisible, not on a layer that is
// off or frozen), in drawing order.
template <typename F>
void forEachEntity(F&& visit) {
  ZcDbDatabase* db = zcdbHostApplicationServices()->workingDatabase();
  auto* space = db ? zrxhost::peek<ZcDbBlockTableRecord>(db->currentSpaceId()) : nullptr;
  if (space == nullptr) return;
  zrxhost::ed::LayerStates layers(db);
  for (const ZcDbObjectId& id : space->entityIds()) {
    if (id.isNull() || id.isErased()) continue;
    ZcDbEntity* entity = zrxhost::peek<ZcDbEntity>(id);
    if (entity != nullptr && entity->visibility() == ZcDb::kVisible && layers.shown(entity->layerName()))
      visit(id, *entity);
  }
}

struct Box {
  double x0, y0, x1, y1;
};

Box boxOf(const ZcGePoint3d& a, const ZcGePoint3d& b) {
  return {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
}

// The entity's extents in the XY plane; nullopt for an entity without geometry the host knows.
std::optional<Box> extentsOf(const ZcDbEntity& entity) {
  ZcDbExtents extents;
  if (entity.getGeomExtents(extents) != Zcad::eOk || !extents.isValid()) return std::nullopt;
  return boxOf(extents.minPoint(), extents.maxPoint());
}

bool inside(const Box& inner, const Box& outer) {
  return inner.x0 >= outer.x0 && inner.x1 <= outer.x1 && inner.y0 >= outer.y0 && inner.y1 <= outer.y1;
}

bool overlaps(const Box& a, const Box& b) {
  return a.x0 <= b.x1 && b.x0 <= a.x1 && a.y0 <= b.y1 && b.y0 <= a.y1;
}

// Whether the segment a-b passes through the box (clipped against its four sides in turn).
bool segmentMeetsBox(const ZcGePoint3d& a, const ZcGePoint3d& b, const Box& box) {
  double t0 = 0, t1 = 1;
  const double d[2] = {b.x - a.x, b.y - a.y};
  const double p0[2] = {a.x, a.y};
  const double lo[2] = {box.x0, box.y0}, hi[2] = {box.x1, box.y1};
  for (int axis = 0; axis < 2; ++axis) {
    if (d[axis] == 0) {
      if (p0[axis] < lo[axis] || p0[axis] > hi[axis]) return false;
      continue;
    }
    double ta = (lo[axis] - p0[axis]) / d[axis], tb = (hi[axis] - p0[axis]) / d[axis];
    if (ta > tb) std::swap(ta, tb);
    t0 = std::max(t0, ta);
    t1 = std::min(t1, tb);
    if (t0 > t1) return false;
  }
  return true;
}

enum class Area { kWindow, kCrossing };

// A window takes what lies wholly inside, a crossing what it touches, both in drawing order.
std::vector<ZcDbObjectId> entitiesInArea(const ZcGePoint3d& corner1, const ZcGePoint3d& corner2, Area area) {
  const Box band = boxOf(corner1, corner2);
  std::vector<ZcDbObjectId> found;
  forEachEntity([&](const ZcDbObjectId& id, const ZcDbEntity& entity) {
    std::optional<Box> box = extentsOf(entity);
    if (box && (area == Area::kWindow ? inside(*box, band) : overlaps(*box, band))) found.push_back(id);
  });
  return found;
}

std::vector<ZcDbObjectId> entitiesOnFence(const std::vector<ZcGePoint3d>& fence) {
  std::vector<ZcDbObjectId> found;
  forEachEntity([&](const ZcDbObjectId& id, const ZcDbEntity& entity) {
    std::optional<Box> box = extentsOf(entity);
    if (!box) return;
    for (size_t i = 0; i + 1 < fence.size(); ++i) {
      if (segmentMeetsBox(fence[i], fence[i + 1], *box)) {
        found.push_back(id);
        return;
      }
    }
  });
  return found;
}

std::vector<ZcDbObjectId> allEntities() {
  std::vector<ZcDbObjectId> found;
  forEachEntity([&](const ZcDbObjectId& id, const ZcDbEntity&) { found.push_back(id); });
  return found;
}

// The entities of `ids` the filter keeps (and those still in the drawing), in their order.
std::vector<ZcDbObjectId> filtered(const std::vector<ZcDbObjectId>& ids, const TypeFilter& filter) {
  std::vector<ZcDbObjectId> kept;
  kept.reserve(ids.size());
  for (const ZcDbObjectId& id : ids) {
    if (id.isNull() || id.isErased()) continue;
    ZcDbEntity* entity = zrxhost::peek<ZcDbEntity>(id);
    if (entity != nullptr && filter.accepts(*entity)) kept.push_back(id);
  }
  return kept;
}

void say(const std::string& text) {
  Session::instance().print("\n" + text);
}

// Marks what the prompt asks for while it is read, and takes the band away afterwards.
class SelectionScope {
 public:
  SelectionScope() { Session::instance().setRequest(Session::Request::kEntity); }
  ~SelectionScope() {
    Session::instance().setRequest(Session::Request::kOther);
    Session::instance().selectionFeedback().band = Session::Band::kNone;
    Session::instance().selectionFeedback().highlight.clear();
  }
  SelectionScope(const SelectionScope&) = delete;
  SelectionScope& operator=(const SelectionScope&) = delete;
};

// The set being built at the prompt: its entities in the order they came, each once.
class SelectionBuilder {
 public:
  explicit SelectionBuilder(const TypeFilter& filter) : mFilter(filter) {}

  void setRemoving(bool removing) { mRemoving = removing; }
  bool removing() const { return mRemoving; }
  const std::vector<ZcDbObjectId>& ids() const { return mIds; }

  // Adds (or, in remove mode, takes away) what a pick, window or word found, and says how many.
  void take(const std::vector<ZcDbObjectId>& found) {
    std::vector<ZcDbObjectId> kept = filtered(found, mFilter);
    const size_t filteredOut = found.size() - kept.size();
    if (mRemoving) {
      size_t removed = 0;
      for (const ZcDbObjectId& id : kept) removed += mMembers.erase(id.stub());
      if (removed > 0) std::erase_if(mIds, [&](const ZcDbObjectId& id) { return mMembers.count(id.stub()) == 0; });
      say(zrxhost::hostMessage(HostMessage::kRemovedTotal, {std::to_string(removed), std::to_string(mIds.size())}));
      redrawHighlight();
    } else {
      const bool wasEmpty = mIds.empty();
      size_t duplicates = 0;
      const size_t before = mIds.size();
      for (const ZcDbObjectId& id : kept) {
        if (mMembers.insert(id.stub()).second) {
          mIds.push_back(id);
        } else {
          ++duplicates;
        }
      }
      const std::string count = std::to_string(found.size()), total = std::to_string(mIds.size());
      if (duplicates > 0) {
        say(zrxhost::hostMessage(HostMessage::kFoundDuplicates, {count, std::to_string(duplicates), total}));
      } else if (wasEmpty) {
        say(zrxhost::hostMessage(HostMessage::kFound, count));
      } else {
        say(zrxhost::hostMessage(HostMessage::kFoundTotal, {count, total}));
      }
      highlight(before);
    }
    if (filteredOut > 0) say(zrxhost::hostMessage(HostMessage::kFilteredOut, std::to_string(filteredOut)));
  }

 private:
  // Outlines the entities from `first` on, over what is already outlined.
  void highlight(size_t first) {
    ZcGiDrawRecorder& frame = Session::instance().selectionFeedback().highlight;
    frame.subEntityTraits().setColor(kHighlightColor);
    for (size_t i = first; i < mIds.size(); ++i) {
      const ZcDbEntity* entity = zrxhost::peek<ZcDbEntity>(mIds[i]);
      std::optional<Box> box = entity ? extentsOf(*entity) : std::nullopt;
      if (!box) continue;
      const ZcGePoint3d outline[5] = {{box->x0, box->y0, 0},
                                      {box->x1, box->y0, 0},
                                      {box->x1, box->y1, 0},
                                      {box->x0, box->y1, 0},
                                      {box->x0, box->y0, 0}};
      frame.geometry().polyline(5, outline);
    }
  }
  void redrawHighlight() {
    Session::instance().selectionFeedback().highlight.clear();
    highlight(0);
  }

  const TypeFilter& mFilter;
  std::vector<ZcDbObjectId> mIds;
  std::unordered_set<const void*> mMembers;
  bool mRemoving = false;
};

enum class Answer { kPoint, kEnter, kCancel };

// One point (typed or clicked); Enter when allowed; Esc cancels. Refuses anything else. The pick
// box gives way to the plain crosshair while a corner or a fence point is asked for.
Answer askPoint(HostMessage prompt, bool enterEnds, ZcGePoint3d& point) {
  Session& session = Session::instance();
  session.setRequest(Session::Request::kOther);
  struct PickBoxBack {
    ~PickBoxBack() { Session::instance().setRequest(Session::Request::kEntity); }
  } pickBoxBack;
  const std::string text = "\n" + zrxhost::hostMessage(prompt);
  for (bool first = true;; first = false) {
    Session::InputLine line = session.readLine(first ? text : session.retryPrompt(text), false);
    if (line.kind != Session::LineKind::kText) return Answer::kCancel;
    std::string_view answer = zrxhost::ed::trim(line.text);
    if (answer.empty() && enterEnds) return Answer::kEnter;
    if (zrxhost::ed::parsePoint(answer, zrxhost::ed::lastPoint(), point)) {
      zrxhost::ed::setLastPoint(point);
      return Answer::kPoint;
    }
    say(zrxhost::hostMessage(HostMessage::kInvalidPoint));
  }
}

// The opposite corner of a band from `corner`; the band is shown while it is asked for.
Answer askOppositeCorner(const ZcGePoint3d& corner, Session::Band band, ZcGePoint3d& opposite) {
  Session::SelectionFeedback& feedback = Session::instance().selectionFeedback();
  feedback.corner = corner;
  feedback.band = band;
  Answer answer = askPoint(HostMessage::kOppositeCorner, false, opposite);
  feedback.band = Session::Band::kNone;
  return answer;
}

// The prompts of the selection: the host's own, or the caller's (mode ":$").
struct SelectionPrompts {
  std::string select = "\n" + zrxhost::hostMessage(HostMessage::kSelectObjects);
  std::string remove = "\n" + zrxhost::hostMessage(HostMessage::kRemoveObjects);
};

// The user's selection at the select prompt until Enter (RTNORM) or Esc (RTCAN).
int selectInteractively(const TypeFilter& filter, const SelectionPrompts& prompts, std::vector<ZcDbObjectId>& result) {
  Session& session = Session::instance();
  SelectionScope scope;
  SelectionBuilder builder(filter);
  while (true) {
    Session::InputLine line = session.readLine(builder.removing() ? prompts.remove : prompts.select, false);
    if (line.kind != Session::LineKind::kText) return RTCAN;
    std::string_view text = zrxhost::ed::trim(line.text);
    if (text.empty()) break;
    ZcGePoint3d point, opposite;
    if (zrxhost::ed::parsePoint(text, zrxhost::ed::lastPoint(), point)) {
      zrxhost::ed::setLastPoint(point);
      ZcDbObjectId picked = zrxhost::ed::pickAt(point);
      if (!picked.isNull()) {
        builder.take({picked});
        continue;
      }
      // A point on nothing starts a band: left to right a window, right to left a crossing.
      if (askOppositeCorner(point, Session::Band::kByDirection, opposite) != Answer::kPoint) return RTCAN;
      builder.take(entitiesInArea(point, opposite, opposite.x >= point.x ? Area::kWindow : Area::kCrossing));
      continue;
    }
    switch (zrxhost::ed::parseSelectionWord(text)) {
      case SelectionWord::kWindow:
      case SelectionWord::kCrossing: {
        const bool window = zrxhost::ed::parseSelectionWord(text) == SelectionWord::kWindow;
        if (askPoint(HostMessage::kFirstCorner, false, point) != Answer::kPoint) return RTCAN;
        if (askOppositeCorner(point, window ? Session::Band::kWindow : Session::Band::kCrossing, opposite) !=
            Answer::kPoint)
          return RTCAN;
        builder.take(entitiesInArea(point, opposite, window ? Area::kWindow : Area::kCrossing));
        break;
      }
      case SelectionWord::kFence: {
        std::vector<ZcGePoint3d> fence;
        for (HostMessage ask = HostMessage::kFirstFencePoint;; ask = HostMessage::kNextFencePoint) {
          Answer answer = askPoint(ask, !fence.empty(), point);
          if (answer == Answer::kCancel) return RTCAN;
          if (answer == Answer::kEnter) break;
          fence.push_back(point);
        }
        builder.take(entitiesOnFence(fence));
        break;
      }
      case SelectionWord::kAll:
        builder.take(allEntities());
        break;
      case SelectionWord::kPrevious:
        if (gPrevious.empty()) {
          say(zrxhost::hostMessage(HostMessage::kNoPreviousSet));
        } else {
          builder.take(gPrevious);
        }
        break;
      case SelectionWord::kRemove:
        builder.setRemoving(true);
        break;
      case SelectionWord::kAdd:
        builder.setRemoving(false);
        break;
      case SelectionWord::kNone:
        say(zrxhost::hostMessage(HostMessage::kInvalidSelection));
        say(zrxhost::hostMessage(HostMessage::kSelectionWords));
        break;
    }
  }
  result = builder.ids();
  return RTNORM;
}

}  // namespace

void zrxhost::ed::forgetSelections() {
  gSets.clear();
  gPrevious.clear();
}

int zcedSSGet(const ZTCHAR* mode, const void* point1, const void* point2, const resbuf* filter, zds_name selectionSet) {
  if (selectionSet == nullptr) return RTERROR;
  selectionSet[0] = selectionSet[1] = 0;
  const TypeFilter types(filter);
  const std::u16string word = mode ? upperAscii(zrxhost::wideToUtf16(mode)) : std::u16string();
  std::vector<ZcDbObjectId> ids;
  if (mode == nullptr || word == u":$") {
    SelectionPrompts prompts;
    if (mode != nullptr && point1 != nullptr) {
      // ":$": point1 holds the select and the remove prompt.
      const auto* given = static_cast<const ZTCHAR* const*>(point1);
      if (given[0] != nullptr) prompts.select = zrxhost::utf16ToUtf8(zrxhost::wideToUtf16(given[0]));
      if (given[1] != nullptr) prompts.remove = zrxhost::utf16ToUtf8(zrxhost::wideToUtf16(given[1]));
    }
    int status = selectInteractively(types, prompts, ids);
    if (status != RTNORM) return status;
  } else if (word == u"X") {
    ids = filtered(allEntities(), types);
  } else if (word == u"P") {
    ids = filtered(gPrevious, types);
  } else if ((word == u"W" || word == u"C") && point1 != nullptr && point2 != nullptr) {
    ids = filtered(
        entitiesInArea(asPnt3d(static_cast<const double*>(point1)), asPnt3d(static_cast<const double*>(point2)),
                       word == u"W" ? Area::kWindow : Area::kCrossing),
        types);
  } else {
    return RTERROR;
  }
  if (ids.empty()) return RTERROR;
  gPrevious = ids;
  const ZSoft::LongPtr key = gNextSetKey++;
  gSets[key] = std::move(ids);
  selectionSet[0] = key;
  selectionSet[1] = kSetTag;
  return RTNORM;
}

int zcedSSFree(const zds_name selectionSet) {
  if (setNamed(selectionSet) == nullptr) return RTERROR;
  gSets.erase(selectionSet[0]);
  return RTNORM;
}

int zcedSSLength(const zds_name selectionSet, ZSoft::Int32* length) {
  const std::vector<ZcDbObjectId>* ids = setNamed(selectionSet);
  if (ids == nullptr || length == nullptr) return RTERROR;
  *length = static_cast<ZSoft::Int32>(ids->size());
  return RTNORM;
}

int zcedSSName(const zds_name selectionSet, ZSoft::Int32 index, zds_name entity) {
  const std::vector<ZcDbObjectId>* ids = setNamed(selectionSet);
  if (ids == nullptr || entity == nullptr || index < 0 || static_cast<size_t>(index) >= ids->size()) return RTERROR;
  return zcdbGetZdsName(entity, (*ids)[static_cast<size_t>(index)]) == Zcad::eOk ? RTNORM : RTERROR;
}

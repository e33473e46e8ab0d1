// ZcEdJig: the drag loop that samples the cursor, updates the jig and records what it draws.
#include <cmath>
#include <cstdarg>
#include <cstdlib>

#include "ed/drafting.h"
#include "ed/parse.h"
#include "rx/wformat.h"
#include "zrx/db.h"
#include "zrx/ed.h"
#include "zrx/rx_define.h"
#include "zrxhost/messages.h"
#include "zrxhost/session.h"

ZCRX_DEFINE_MEMBERS(ZcEdJig, ZcRxObject, L"AcEdJig", nullptr, nullptr)

ZcEdJig::ZcEdJig() = default;
ZcEdJig::~ZcEdJig() = default;

void ZcEdJig::setDispPrompt(const ZTCHAR* prompt, ...) {
  va_list args;
  va_start(args, prompt);
  std::wstring text = zrxhost::formatWide(prompt, args);
  va_end(args);
  mPrompt = text.c_str();
}

ZcEdJig::DragStatus ZcEdJig::acquirePoint(ZcGePoint3d& point) {
  // Without a base point of its own, a jig that asks for ortho measures from the last point.
  mHasReference = (mControls & kGovernedByOrthoMode) != 0;
  if (mHasReference) mReference = zrxhost::ed::lastPoint();
  return acquireFrom(point, zrxhost::ed::lastPoint());
}

ZcEdJig::DragStatus ZcEdJig::acquirePoint(ZcGePoint3d& point, const ZcGePoint3d& basePoint) {
  mHasReference = true;
  mReference = basePoint;
  return acquireFrom(point, basePoint);
}

ZcEdJig::DragStatus ZcEdJig::acquireFrom(ZcGePoint3d& point, const ZcGePoint3d& basePoint) {
  // Before the first sample the cursor rests at the last point, where the user left it.
  ZcGePoint3d cursor = mHasCursor ? mCursor : zrxhost::ed::lastPoint();
  // Ortho governs where the cursor goes; a point the user typed or snapped to is taken as it is.
  if ((mControls & kGovernedByOrthoMode) && !mCursorTyped && zrxhost::ed::orthoOn())
    cursor = zrxhost::ed::orthoFrom(basePoint, cursor);
  point = cursor;
  return kNormal;
}

ZcEdJig::DragStatus ZcEdJig::acquireString(ZcString& text) {
  if (!mHasTypedText) return kNoChange;
  text = mTypedText;
  mTypedTextTaken = true;
  return kNormal;
}

bool ZcEdJig::sampleTypedText(std::string_view text) {
  mTypedText = ZcString(zrxhost::utf8ToUtf16(text));
  mHasTypedText = true;
  mTypedTextTaken = false;
  const DragStatus sampled = sampler();
  mHasTypedText = false;
  if (mTypedTextTaken && sampled == kNormal) update();
  return mTypedTextTaken;
}

ZcEdJig::DragStatus ZcEdJig::drag() {
  zrxhost::Session& session = zrxhost::Session::instance();
  zrxhost::DragLog log;
  log.prompt = zrxhost::utf16ToUtf8(mPrompt.utf16());
  log.lastFrame = session.takePreviewStorage();

  // One cursor position: sample it, update the jig when the sample is good, draw the preview. An
  // exact point (typed, or found by an object snap) is not bent by ortho.
  auto sample = [&](const ZcGePoint3d& cursor, bool exact, int snapBit) {
    mCursor = cursor;
    mHasCursor = true;
    mCursorTyped = exact;
    ++log.samples;
    const DragStatus sampled = sampler();
    if (sampled == kNormal) update();
    log.hasBase = mHasReference;
    log.base = mReference;
    acquireFrom(log.point, mHasReference ? mReference : zrxhost::ed::lastPoint());
    log.snapBit = snapBit;
    // Nothing changed: the frame on screen stands (a preview of many texts costs a redraw).
    if (sampled == kNoChange) return;
    log.lastFrame.clear();
    if (ZcDbEntity* ent = entity()) ent->worldDraw(&log.lastFrame);
  };
  // A point from the cursor lands where the drafting aids put it.
  auto sampleCursor = [&](const ZcGePoint3d& cursor) {
    const zrxhost::ed::AidedPoint aided =
        zrxhost::ed::aidCursor(cursor, mHasReference ? mReference : zrxhost::ed::lastPoint());
    sample(aided.point, aided.snapBit != 0, aided.snapBit);
  };

  DragStatus status = kCancel;
  std::string prompt = log.prompt;
  // The preview shows from the start, as the jig stands before the first cursor move.
  if (ZcDbEntity* ent = entity()) ent->worldDraw(&log.lastFrame);
  session.setActiveDrag(&log);
  while (true) {
    zrxhost::Session::InputLine line = session.readLine(prompt, true);
    // After a move the user is still at the same prompt: nothing is printed again.
    prompt.clear();
    if (line.kind == zrxhost::Session::LineKind::kCancel || line.kind == zrxhost::Session::LineKind::kEnd) {
      status = kCancel;
      break;
    }
    ZcGePoint3d point;
    if (line.kind == zrxhost::Session::LineKind::kMove) {
      if (zrxhost::ed::parsePoint(line.text, zrxhost::ed::lastPoint(), point)) sampleCursor(point);
      continue;
    }
    std::string_view text = zrxhost::ed::trim(line.text);
    if (text.empty()) {
      status = kNull;
      break;
    }
    bool accepted = false;
    double distance = 0;
    if (zrxhost::ed::parsePoint(text, zrxhost::ed::lastPoint(), point)) {
      if (line.clicked)
        sampleCursor(point);
      else
        sample(point, true, 0);
      accepted = true;
    } else if (!(mControls & kAcceptOtherInputString) && zrxhost::ed::parseReal(text, distance)) {
      // A bare number: that far from the base point toward the cursor, as ortho bends it (a jig
      // that takes typed text takes a number as its answer). A sample where the cursor rests tells
      // the base the jig measures from now.
      sample(mHasCursor ? mCursor : zrxhost::ed::lastPoint(), mHasCursor && mCursorTyped, log.snapBit);
      ZcGePoint3d toward;
      acquireFrom(toward, mHasReference ? mReference : zrxhost::ed::lastPoint());
      std::optional<ZcGePoint3d> at;
      if (mHasReference) at = zrxhost::ed::pointToward(mReference, toward, distance);
      if (at) {
        sample(*at, true, 0);
        accepted = true;
      }
    } else if (const int bit = zrxhost::ed::snapBitNamed(text); bit >= 0) {
      zrxhost::ed::setSnapOverride(bit);
      prompt = "\n" + zrxhost::ed::snapOverridePrompt();
      continue;
    } else if (int keyword = zrxhost::ed::matchKeyword(zrxhost::ed::splitKeywords(mKeywords.kwszPtr()), text);
               keyword >= 0) {
      status = static_cast<DragStatus>(kKW1 + keyword);
      break;
    }
    if (accepted) {
      zrxhost::ed::clearSnapOverride();
      if (!(mControls & kDontUpdateLastPoint)) {
        ZcGePoint3d acceptedPoint;
        acquireFrom(acceptedPoint, mHasReference ? mReference : zrxhost::ed::lastPoint());
        zrxhost::ed::setLastPoint(acceptedPoint);
      }
      status = kNormal;
      break;
    }
    // Typed text, when the jig takes it, is the sampler's to take as its answer; it ends the drag
    // with the frame on screen as it stood.
    if ((mControls & kAcceptOtherInputString) && sampleTypedText(text)) {
      status = kNormal;
      break;
    }
    session.print("\n" + zrxhost::hostMessage(zrxhost::HostMessage::kInvalidPoint));
    prompt = session.retryPrompt(log.prompt);
  }
  zrxhost::ed::clearSnapOverride();
  session.setActiveDrag(nullptr);
  log.status = status;
  if (session.recordsDrags())
    session.dragLogs().push_back(std::move(log));
  else
    session.keepPreviewStorage(std::move(log.lastFrame));
  return status;
}

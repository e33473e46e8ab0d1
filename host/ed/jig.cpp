// ZcEdJig: the drag loop that samples the cursor, updates the jig and records what it draws.
#include <cmath>
#include <cstdarg>
#include <cstdlib>

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

namespace {

bool orthoOn() {
  auto value = zrxhost::Session::instance().sysVar("ORTHOMODE");
  return value && *value == "1";
}

// Ortho keeps the larger of the two planar offsets from the reference point and drops the other.
ZcGePoint3d orthoFrom(const ZcGePoint3d& reference, const ZcGePoint3d& p) {
  if (std::fabs(p.x - reference.x) >= std::fabs(p.y - reference.y)) return {p.x, reference.y, p.z};
  return {reference.x, p.y, p.z};
}

}  // namespace

ZcEdJig::DragStatus ZcEdJig::acquirePoint(ZcGePoint3d& point) {
  return acquirePoint(point, zrxhost::ed::lastPoint());
}

ZcEdJig::DragStatus ZcEdJig::acquirePoint(ZcGePoint3d& point, const ZcGePoint3d& basePoint) {
  // Before the first sample the cursor rests at the last point, where the user left it.
  ZcGePoint3d cursor = mHasCursor ? mCursor : zrxhost::ed::lastPoint();
  // Ortho governs where the cursor goes; a point the user typed is taken as typed.
  if ((mControls & kGovernedByOrthoMode) && !mCursorTyped && orthoOn()) cursor = orthoFrom(basePoint, cursor);
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

  // One cursor position: sample it, update the jig when the sample is good, draw the preview.
  auto sample = [&](const ZcGePoint3d& cursor, bool typed) {
    mCursor = cursor;
    mHasCursor = true;
    mCursorTyped = typed;
    ++log.samples;
    const DragStatus sampled = sampler();
    if (sampled == kNormal) update();
    // Nothing changed: the frame on screen stands (a preview of many texts costs a redraw).
    if (sampled == kNoChange) return;
    log.lastFrame.clear();
    if (ZcDbEntity* ent = entity()) ent->worldDraw(&log.lastFrame);
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
      if (zrxhost::ed::parsePoint(line.text, zrxhost::ed::lastPoint(), point)) sample(point, false);
      continue;
    }
    std::string_view text = zrxhost::ed::trim(line.text);
    if (text.empty()) {
      status = kNull;
      break;
    }
    if (zrxhost::ed::parsePoint(text, zrxhost::ed::lastPoint(), point)) {
      sample(point, !line.clicked);
      if (!(mControls & kDontUpdateLastPoint)) {
        ZcGePoint3d accepted;
        acquirePoint(accepted);
        zrxhost::ed::setLastPoint(accepted);
      }
      status = kNormal;
      break;
    }
    int keyword = zrxhost::ed::matchKeyword(zrxhost::ed::splitKeywords(mKeywords.kwszPtr()), text);
    if (keyword >= 0) {
      status = static_cast<DragStatus>(kKW1 + keyword);
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
  session.setActiveDrag(nullptr);
  log.status = status;
  if (session.recordsDrags()) session.dragLogs().push_back(std::move(log));
  return status;
}

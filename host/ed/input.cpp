// The zced* input functions: prompts, answers, keywords and the host's refusals; system variables.
#include <cmath>
#include <cstring>
#include <string>
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
using zrxhost::ed::trim;

struct InitGet {
  int bits = 0;
  std::vector<std::wstring> keywords;
};

// What zcedInitGet set for the next input call, and the keyword the last call returned.
InitGet gPending;
std::wstring gLastKeyword;
bool gHasKeyword = false;

// Whether the answer being interpreted is a click (a cursor position) rather than typed text.
bool gClicked = false;

// Retry marker for the interpreters below: the answer was refused and the prompt is shown again.
constexpr int kRetry = 0;

InitGet takeInitGet() {
  InitGet p = std::move(gPending);
  gPending = InitGet{};
  gHasKeyword = false;
  gLastKeyword.clear();
  return p;
}

std::string utf8(const ZTCHAR* wide) {
  if (!wide) return {};
  return zrxhost::utf16ToUtf8(zrxhost::wideToUtf16(wide));
}

// Bounded copy into a caller's buffer: truncated to fit, always terminated.
void copyOut(ZTCHAR* buffer, size_t length, const std::wstring& text) {
  if (!buffer || length == 0) return;
  size_t n = std::min(text.size(), length - 1);
  std::wmemcpy(buffer, text.data(), n);
  buffer[n] = 0;
}

// Marks what the current request asks for while it is read.
class RequestScope {
 public:
  explicit RequestScope(Session::Request request) { Session::instance().setRequest(request); }
  ~RequestScope() { Session::instance().setRequest(Session::Request::kOther); }
};

// A refusal or notice on a line of its own.
void say(HostMessage message) {
  Session::instance().print("\n" + zrxhost::hostMessage(message));
}

// Accepts `text` as one of the pending keywords, remembering it for zcedGetInput.
bool takeKeyword(const InitGet& p, std::string_view text) {
  int index = zrxhost::ed::matchKeyword(p.keywords, text);
  if (index < 0) return false;
  gLastKeyword = p.keywords[static_cast<size_t>(index)];
  gHasKeyword = true;
  return true;
}

// The refusal of bits 2 and 4, or nullopt when the value passes.
std::optional<HostMessage> rangeRefusal(int bits, double value) {
  bool zeroRefused = (bits & RSG_NOZERO) && value == 0;
  bool negativeRefused = (bits & RSG_NONEG) && value < 0;
  if (!zeroRefused && !negativeRefused) return std::nullopt;
  if ((bits & (RSG_NOZERO | RSG_NONEG)) == (RSG_NOZERO | RSG_NONEG)) return HostMessage::kValuePositiveNonzero;
  return zeroRefused ? HostMessage::kValueNonzero : HostMessage::kValuePositive;
}

// Shows the prompt until an answer is accepted. `interpret` gets each non-empty answer and returns
// a result code, or kRetry after printing why it refused. Empty answers and Esc are handled here.
template <typename F>
int ask(const std::string& prompt, const InitGet& p, int emptyResult, F&& interpret) {
  Session& session = Session::instance();
  const std::string retry = session.retryPrompt(prompt);
  for (bool first = true;; first = false) {
    // After a one-off object snap the point itself is asked for.
    const std::string shown =
        first ? prompt : (zrxhost::ed::hasSnapOverride() ? "\n" + zrxhost::ed::snapOverridePrompt() : retry);
    Session::InputLine line = session.readLine(shown, false);
    if (line.kind != Session::LineKind::kText) {
      zrxhost::ed::clearSnapOverride();
      return RTCAN;
    }
    gClicked = line.clicked;
    std::string_view text = trim(line.text);
    if (text.empty()) {
      if (p.bits & RSG_NONULL) {
        say(HostMessage::kValueRequired);
        continue;
      }
      return emptyResult;
    }
    int result = interpret(text);
    if (result != kRetry) return result;
  }
}

// A second point for a distance or an angle measured between two points.
int askSecondPoint(ZcGePoint3d& point) {
  Session& session = Session::instance();
  const std::string prompt = "\n" + zrxhost::hostMessage(HostMessage::kSecondPoint);
  while (true) {
    Session::InputLine line = session.readLine(prompt, false);
    if (line.kind != Session::LineKind::kText) return RTCAN;
    if (zrxhost::ed::parsePoint(line.text, zrxhost::ed::lastPoint(), point)) {
      zrxhost::ed::setLastPoint(point);
      return RTNORM;
    }
    say(HostMessage::kInvalidPoint);
  }
}

// A point answer: typed, it is exact; clicked, it lands where the drafting aids put the cursor,
// and ortho bends it from `base` when there is one.
bool readPoint(std::string_view text, ZcGePoint3d& point, const ZcGePoint3d* base = nullptr) {
  if (!zrxhost::ed::parsePoint(text, zrxhost::ed::lastPoint(), point)) return false;
  if (gClicked) {
    const zrxhost::ed::AidedPoint aided = zrxhost::ed::aidCursor(point, base ? *base : zrxhost::ed::lastPoint());
    point = aided.point;
    if (aided.snapBit == 0 && base && zrxhost::ed::orthoOn()) point = zrxhost::ed::orthoFrom(*base, point);
  }
  zrxhost::ed::clearSnapOverride();
  zrxhost::ed::setLastPoint(point);
  return true;
}

// A one-off object snap typed at a point prompt, for the point that follows.
bool takeSnapOverride(std::string_view text) {
  const int bit = zrxhost::ed::snapBitNamed(text);
  if (bit < 0) return false;
  zrxhost::ed::setSnapOverride(bit);
  return true;
}

double planarAngle(const ZcGePoint3d& from, const ZcGePoint3d& to) {
  double a = std::atan2(to.y - from.y, to.x - from.x);
  if (a < 0) a += 2 * ZcGe::kPi;
  return a < 2 * ZcGe::kPi ? a : 0;
}

void setResultPoint(zds_point result, const ZcGePoint3d& p) {
  if (!result) return;
  result[0] = p.x;
  result[1] = p.y;
  result[2] = p.z;
}

}  // namespace

namespace zrxhost::ed {
void resetInputState() {
  clearSnapOverride();
  gPending = InitGet{};
  gLastKeyword.clear();
  gHasKeyword = false;
}
}  // namespace zrxhost::ed

int zcedInitGet(int controlBits, const ZTCHAR* keywordList) {
  gPending.bits = controlBits;
  gPending.keywords = zrxhost::ed::splitKeywords(keywordList);
  return RTNORM;
}

int zcedGetKword(const ZTCHAR* prompt, ZTCHAR* result, size_t bufferLength) {
  InitGet p = takeInitGet();
  copyOut(result, bufferLength, L"");
  return ask(utf8(prompt), p, RTNONE, [&](std::string_view text) {
    if (!takeKeyword(p, text)) {
      say(HostMessage::kInvalidKeyword);
      return kRetry;
    }
    copyOut(result, bufferLength, gLastKeyword);
    return RTNORM;
  });
}

int zcedGetInput(ZTCHAR* result, size_t bufferLength) {
  copyOut(result, bufferLength, gHasKeyword ? gLastKeyword : std::wstring());
  return gHasKeyword ? RTNORM : RTERROR;
}

namespace {

// A number prompt: the value when it parses and the control bits allow it, else a keyword of the
// list, else the message `refusal` gives for the answer and the prompt again.
template <typename T, typename Parse, typename Refusal>
int askNumber(const ZTCHAR* prompt, T* result, Parse parse, Refusal refusal) {
  InitGet p = takeInitGet();
  return ask(utf8(prompt), p, RTNONE, [&](std::string_view text) {
    T value{};
    if (parse(text, value)) {
      if (auto refusal = rangeRefusal(p.bits, value)) {
        say(*refusal);
        return kRetry;
      }
      if (result) *result = value;
      return RTNORM;
    }
    if (takeKeyword(p, text)) return RTKWORD;
    say(refusal(text));
    return kRetry;
  });
}

}  // namespace

int zcedGetInt(const ZTCHAR* prompt, int* result) {
  // An integer beyond 32 bits is an integer still: the user is told it is too large, not that it is none.
  return askNumber(prompt, result, zrxhost::ed::parseInt, [](std::string_view text) {
    return zrxhost::ed::isWholeNumber(text) ? HostMessage::kValueOutOfRange : HostMessage::kRequiresInteger;
  });
}

int zcedGetReal(const ZTCHAR* prompt, double* result) {
  return askNumber(prompt, result, zrxhost::ed::parseReal,
                   [](std::string_view) { return HostMessage::kRequiresNumber; });
}

int zcedGetString(int allowSpaces, const ZTCHAR* prompt, ZTCHAR* result, size_t bufferLength) {
  (void)takeInitGet();  // the control bits and keywords do not apply to free text
  copyOut(result, bufferLength, L"");
  RequestScope scope(allowSpaces ? Session::Request::kFreeText : Session::Request::kOther);
  Session::InputLine line = Session::instance().readLine(utf8(prompt), false);
  if (line.kind != Session::LineKind::kText) return RTCAN;
  std::string text = line.text;
  // Without spaces allowed, a space ends the answer as Enter would.
  if (!allowSpaces) text = std::string(trim(text.substr(0, text.find(' '))));
  copyOut(result, bufferLength, zrxhost::utf16ToWide(zrxhost::utf8ToUtf16(text)));
  return RTNORM;
}

namespace {

// A point answered where a distance or angle was asked: measured from the base point when there is
// one (the answer becomes the second point), else the answer is the first point and a second one
// is asked for.
int completePointPair(const zds_point basePoint, ZcGePoint3d& first, ZcGePoint3d& second) {
  if (basePoint) {
    second = first;
    first = asPnt3d(basePoint);
    return RTNORM;
  }
  return askSecondPoint(second);
}

}  // namespace

int zcedGetDist(const zds_point basePoint, const ZTCHAR* prompt, double* result) {
  InitGet p = takeInitGet();
  RequestScope scope(Session::Request::kPoint);
  return ask(utf8(prompt), p, RTNONE, [&](std::string_view text) {
    double value = 0;
    ZcGePoint3d first;
    if (zrxhost::ed::parseReal(text, value)) {
      // a typed number is the distance itself
    } else if (takeSnapOverride(text)) {
      return kRetry;
    } else if (readPoint(text, first)) {
      ZcGePoint3d second;
      if (completePointPair(basePoint, first, second) != RTNORM) return RTCAN;
      value = first.distanceTo(second);
      if (!std::isfinite(value)) {
        say(HostMessage::kRequiresDistance);
        return kRetry;
      }
    } else if (takeKeyword(p, text)) {
      return RTKWORD;
    } else {
      say(HostMessage::kRequiresDistance);
      return kRetry;
    }
    if (auto refusal = rangeRefusal(p.bits, value)) {
      say(*refusal);
      return kRetry;
    }
    if (result) *result = value;
    return RTNORM;
  });
}

int zcedGetAngle(const zds_point basePoint, const ZTCHAR* prompt, double* result) {
  InitGet p = takeInitGet();
  RequestScope scope(Session::Request::kPoint);
  return ask(utf8(prompt), p, RTNONE, [&](std::string_view text) {
    double degrees = 0;
    double radians = 0;
    ZcGePoint3d first;
    if (zrxhost::ed::parseReal(text, degrees)) {
      if ((p.bits & RSG_NONEG) && degrees < 0) {
        say(*rangeRefusal(p.bits, -1));
        return kRetry;
      }
      // Typed angles are degrees counter-clockwise from +X, returned in radians within one turn.
      radians = std::fmod(degrees, 360.0) * ZcGe::kPi / 180;
      if (radians < 0) radians += 2 * ZcGe::kPi;
      if (!(radians < 2 * ZcGe::kPi)) radians = 0;
    } else if (takeSnapOverride(text)) {
      return kRetry;
    } else if (readPoint(text, first)) {
      ZcGePoint3d second;
      if (completePointPair(basePoint, first, second) != RTNORM) return RTCAN;
      radians = planarAngle(first, second);
    } else if (takeKeyword(p, text)) {
      return RTKWORD;
    } else {
      say(HostMessage::kRequiresAngle);
      return kRetry;
    }
    if (auto refusal = rangeRefusal(p.bits & RSG_NOZERO, radians)) {
      say(*refusal);
      return kRetry;
    }
    if (result) *result = radians;
    return RTNORM;
  });
}

int zcedGetPoint(const zds_point basePoint, const ZTCHAR* prompt, zds_point result) {
  InitGet p = takeInitGet();
  RequestScope scope(Session::Request::kPoint);
  const ZcGePoint3d base = basePoint ? asPnt3d(basePoint) : ZcGePoint3d::kOrigin;
  return ask(utf8(prompt), p, RTNONE, [&](std::string_view text) {
    ZcGePoint3d point;
    double distance = 0;
    if (readPoint(text, point, basePoint ? &base : nullptr)) {
      setResultPoint(result, point);
      return RTNORM;
    }
    if (basePoint && zrxhost::ed::parseReal(text, distance)) {
      // A bare number: that far from the base point toward the cursor, as ortho bends it.
      std::optional<ZcGePoint3d> cursor = Session::instance().cursor();
      if (cursor && zrxhost::ed::orthoOn()) cursor = zrxhost::ed::orthoFrom(base, *cursor);
      if (std::optional<ZcGePoint3d> at = cursor ? zrxhost::ed::pointToward(base, *cursor, distance) : std::nullopt) {
        zrxhost::ed::setLastPoint(*at);
        setResultPoint(result, *at);
        return RTNORM;
      }
    } else if (takeSnapOverride(text)) {
      return kRetry;
    } else if (takeKeyword(p, text)) {
      return RTKWORD;
    }
    say(HostMessage::kInvalidPoint);
    return kRetry;
  });
}

namespace zrxhost::ed {

// The topmost entity of the current space, of those a user sees, whose outline passes within the
// pick box of `point`.
ZcDbObjectId pickAt(const ZcGePoint3d& point) {
  const double aperture = Session::instance().pickAperture();
  ZcDbObjectId found;
  zrxhost::ed::forEachShownEntityNear(point, aperture, [&](const ZcDbEntity& entity) {
    if (!entity.hitTest(point, aperture)) return false;
    found = entity.objectId();
    return true;
  });
  return found;
}

}  // namespace zrxhost::ed

int zcedEntSel(const ZTCHAR* prompt, zds_name entity, zds_point pickPoint) {
  InitGet p = takeInitGet();
  if (entity) entity[0] = entity[1] = 0;
  RequestScope scope(Session::Request::kEntity);
  return ask(utf8(prompt), p, RTERROR, [&](std::string_view text) {
    ZcGePoint3d point;
    gClicked = false;  // a pick looks in the pick box at the cursor itself, where no snap moves it
    if (readPoint(text, point)) {
      setResultPoint(pickPoint, point);
      ZcDbObjectId id = zrxhost::ed::pickAt(point);
      if (id.isNull()) return RTERROR;
      if (entity) zcdbGetZdsName(entity, id);
      return RTNORM;
    }
    if (takeKeyword(p, text)) return RTKWORD;
    say(HostMessage::kInvalidSelection);
    return kRetry;
  });
}

// ---- System variables

namespace {
std::string upperKey(const ZTCHAR* name) {
  std::string key = utf8(name);
  for (char& c : key) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  return key;
}

std::string formatReal(double v) {
  std::string text = zrxhost::ed::formatPoint(ZcGePoint3d(v, 0, 0));
  return text.substr(0, text.find(','));
}
}  // namespace

int zcedGetVar(const ZTCHAR* name, resbuf* result) {
  if (!name || !result) return RTERROR;
  std::string key = upperKey(name);
  std::optional<std::string> value = Session::instance().sysVar(key);
  if (!value) return RTERROR;
  if (key == "VERLAN" || key == "FONTALT") {
    std::wstring wide = zrxhost::utf16ToWide(zrxhost::utf8ToUtf16(*value));
    // Freed by zcutRelRb with delete[].
    auto* copy = new ZTCHAR[wide.size() + 1];
    std::wmemcpy(copy, wide.c_str(), wide.size() + 1);
    result->restype = RTSTR;
    result->resval.rstring = copy;
  } else if (Session::sysVarIsReal(key)) {
    double v = 0;
    zrxhost::ed::parseReal(*value, v);
    result->restype = RTREAL;
    result->resval.rreal = v;
  } else if (key == "LASTPOINT") {
    result->restype = RT3DPOINT;
    setResultPoint(result->resval.rpoint, zrxhost::ed::lastPoint());
  } else {
    int v = 0;
    zrxhost::ed::parseInt(*value, v);
    result->restype = RTSHORT;
    result->resval.rint = static_cast<short>(v);
  }
  return RTNORM;
}

int zcedSetVar(const ZTCHAR* name, const resbuf* value) {
  if (!name || !value) return RTERROR;
  std::string key = upperKey(name);
  if (!Session::instance().sysVar(key)) return RTERROR;
  const short type = value->restype;
  std::string text;
  // Each variable takes values of its own kind only; the session then checks the range.
  if (key == "VERLAN" || key == "FONTALT") {
    if (type != RTSTR || !value->resval.rstring) return RTERROR;
    text = utf8(value->resval.rstring);
  } else if (key == "LASTPOINT") {
    if (type != RTPOINT && type != RT3DPOINT) return RTERROR;
    const double* p = value->resval.rpoint;
    text = zrxhost::ed::formatPoint(ZcGePoint3d(p[0], p[1], type == RT3DPOINT ? p[2] : 0));
  } else if (type == RTSHORT) {
    text = std::to_string(value->resval.rint);
  } else if (type == RTLONG) {
    text = std::to_string(value->resval.rlong);
  } else if (type == RTREAL) {
    double v = value->resval.rreal;
    if (!std::isfinite(v)) return RTERROR;
    // The switches are integers; a whole real is taken for one, a fraction refused by the session.
    text = (!Session::sysVarIsReal(key) && v == std::floor(v) && std::fabs(v) < 1e9)
               ? std::to_string(static_cast<long long>(v))
               : formatReal(v);
  } else {
    return RTERROR;
  }
  return Session::instance().setSysVar(key, text) ? RTNORM : RTERROR;
}

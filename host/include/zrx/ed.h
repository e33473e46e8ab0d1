// Editor: user input at the command line, system variables, commands, documents, jigs.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "zrx/db/ids.h"
#include "zrx/ge.h"
#include "zrx/rx.h"

class ZcDbEntity;
class ZcDbDatabase;

// ---- Input. Each returns RTNORM, RTKWORD, RTNONE (empty answer allowed), RTCAN (Esc) or RTERROR.
// Input that fits nothing re-prompts with the host's message.
int zcedInitGet(int controlBits, const ZTCHAR* keywordList);
int zcedGetKword(const ZTCHAR* prompt, ZTCHAR* result, size_t bufferLength);
// The keyword (or arbitrary text) of the last RTKWORD answer.
int zcedGetInput(ZTCHAR* result, size_t bufferLength);
int zcedGetInt(const ZTCHAR* prompt, int* result);
int zcedGetReal(const ZTCHAR* prompt, double* result);
int zcedGetString(int allowSpaces, const ZTCHAR* prompt, ZTCHAR* result, size_t bufferLength);
int zcedGetDist(const zds_point basePoint, const ZTCHAR* prompt, double* result);
int zcedGetAngle(const zds_point basePoint, const ZTCHAR* prompt, double* result);
int zcedGetPoint(const zds_point basePoint, const ZTCHAR* prompt, zds_point result);
// Picks the topmost entity of the current space within the pick box of the answered point. A point
// that hits nothing, or Enter without control bit 1, gives RTERROR with no message.
int zcedEntSel(const ZTCHAR* prompt, zds_name entity, zds_point pickPoint);

// ---- Selection sets. A set is named by a zds_name until zcedSSFree releases it.
// `mode` null: the user selects at "Select objects:" (picks, W, C, F, ALL, P, R, A; Enter ends, Esc
// cancels with RTCAN); ":$" the same with the caller's prompts, `point1` pointing to two ZTCHAR
// strings (select, remove); "X": every entity of the current space; "W" or "C": the window or crossing
// between `point1` and `point2` (zds_point); "P": the previous set. `filter` may hold one group 0
// (RTDXF0) entry listing the DXF types kept, separated by commas ("TEXT,MTEXT"). RTNORM with a set
// of one entity at least; RTERROR when nothing was selected.
int zcedSSGet(const ZTCHAR* mode, const void* point1, const void* point2, const resbuf* filter, zds_name selectionSet);
int zcedSSFree(const zds_name selectionSet);
int zcedSSLength(const zds_name selectionSet, ZSoft::Int32* length);
// The entity at `index` (from 0) in the order it was selected.
int zcedSSName(const zds_name selectionSet, ZSoft::Int32 index, zds_name entity);

// ---- System variables.
int zcedGetVar(const ZTCHAR* name, resbuf* result);
int zcedSetVar(const ZTCHAR* name, const resbuf* value);

// ---- Commands.
using ZcRxFunctionPtr = void (*)();
class ZcEdUIContext;

namespace ZcEdCommandFlags {
constexpr int kModal = 0;
constexpr int kTransparent = 1;
// The command is not recorded as an undo group (the commands that walk the undo history).
constexpr int kNoUndoMarker = 0x1000000;
}  // namespace ZcEdCommandFlags

class ZcEdCommand : public ZcRxObject {
  ZCRX_DECLARE_MEMBERS(ZcEdCommand);

 public:
  ZcEdCommand(const ZcString& group, const ZcString& globalName, const ZcString& localName, int flags,
              ZcRxFunctionPtr function, ZcEdUIContext* uiContext, int functionCode, void* resourceHandle);
  const ZTCHAR* globalName() const { return mGlobalName.kwszPtr(); }
  const ZTCHAR* localName() const { return mLocalName.kwszPtr(); }
  const ZcString& groupName() const { return mGroup; }
  int commandFlags() const { return mFlags; }
  ZcRxFunctionPtr functionAddr() const { return mFunction; }
  ZcEdUIContext* UIContext() const { return mUIContext; }
  int functionCode() const { return mFunctionCode; }
  void* resourceHandle() const { return mResourceHandle; }
  void commandUndef(bool undefine) { mUndefined = undefine; }
  bool isUndefined() const { return mUndefined; }

 private:
  ZcString mGroup, mGlobalName, mLocalName;
  int mFlags;
  ZcRxFunctionPtr mFunction;
  ZcEdUIContext* mUIContext;
  int mFunctionCode;
  void* mResourceHandle;
  bool mUndefined = false;
};

class ZcEdCommandStack : public ZcRxObject {
  ZCRX_DECLARE_MEMBERS(ZcEdCommandStack);

 public:
  ~ZcEdCommandStack() override;
  // eDuplicateKey when the group already holds the global name.
  Zcad::ErrorStatus addCommand(const ZTCHAR* groupName, const ZTCHAR* globalName, const ZTCHAR* localName,
                               int commandFlags, ZcRxFunctionPtr function, ZcEdUIContext* uiContext = nullptr,
                               int functionCode = -1, void* resourceHandle = nullptr,
                               ZcEdCommand** commandCreated = nullptr);
  Zcad::ErrorStatus removeCmd(const ZTCHAR* groupName, const ZTCHAR* globalName);
  Zcad::ErrorStatus removeGroup(const ZTCHAR* groupName);
  // Case-insensitive lookups; null when unknown.
  ZcEdCommand* lookupGlobalCmd(const ZTCHAR* globalName) const;
  ZcEdCommand* lookupLocalCmd(const ZTCHAR* localName) const;
  ZcEdCommand* lookupCmd(const ZTCHAR* name) const;  // global first, then local
  // Runs the command; false when no command has that name.
  bool run(const ZTCHAR* name);
  // Every registered command, in the order they were added.
  const std::vector<std::unique_ptr<ZcEdCommand>>& registeredCommands() const { return mCommands; }

 private:
  std::vector<std::unique_ptr<ZcEdCommand>> mCommands;
};

// ---- Documents.
class ZcApDocument {
 public:
  ZcDbDatabase* database() const { return mDatabase; }
  void setDatabase(ZcDbDatabase* db) { mDatabase = db; }
  ZcDb::DocLockMode myLockMode() const { return mLockDepth > 0 ? mLockMode : ZcDb::kNotLocked; }
  int lockDepth() const { return mLockDepth; }

 private:
  friend class ZcApDocManager;
  ZcDbDatabase* mDatabase = nullptr;
  ZcDb::DocLockMode mLockMode = ZcDb::kNotLocked;
  int mLockDepth = 0;
};

class ZcApDocManager {
 public:
  ZcApDocument* curDocument() const { return const_cast<ZcApDocument*>(&mDocument); }
  ZcApDocument* mdiActiveDocument() const { return curDocument(); }
  Zcad::ErrorStatus lockDocument(ZcApDocument* doc, ZcDb::DocLockMode mode = ZcDb::kWrite,
                                 const ZTCHAR* globalCmdName = nullptr, const ZTCHAR* localCmdName = nullptr,
                                 bool prompt = true);
  Zcad::ErrorStatus unlockDocument(ZcApDocument* doc);

 private:
  ZcApDocument mDocument;
};

ZcApDocManager* zcDocManagerPtr();

// ---- Jigs.
class ZcEdJig : public ZcRxObject {
  ZCRX_DECLARE_MEMBERS(ZcEdJig);

 public:
  enum DragStatus {
    kModeless = -17,
    kNoChange = -6,
    kCancel = -4,
    kOther = -3,
    kNull = -1,
    kNormal = 0,
    kKW1 = 1,
  };
  enum UserInputControls {
    kGovernedByOrthoMode = 0x0001,
    kNullResponseAccepted = 0x0002,
    kDontEchoCancelForCtrlC = 0x0004,
    kDontUpdateLastPoint = 0x0008,
    kNoDwgLimitsChecking = 0x0010,
    kNoZeroResponseAccepted = 0x0020,
    kNoNegativeResponseAccepted = 0x0040,
    kAccept3dCoordinates = 0x0080,
    // Typed text that is no point and no keyword goes to the sampler (acquireString).
    kAcceptOtherInputString = 0x0800,
  };

  ZcEdJig();
  ~ZcEdJig() override;

  // The drag loop: each cursor move calls sampler, then update when the sample is kNormal, then
  // draws entity(); a point that is typed or clicked is sampled and updated the same way and ends the
  // drag with kNormal; Enter ends it with kNull, Esc with kCancel.
  DragStatus drag();
  virtual DragStatus sampler() = 0;
  virtual bool update() = 0;
  virtual ZcDbEntity* entity() const = 0;

  // The cursor point of the sample being taken; governed by ortho mode (against the last point)
  // when the input controls ask for it.
  DragStatus acquirePoint(ZcGePoint3d& point);
  DragStatus acquirePoint(ZcGePoint3d& point, const ZcGePoint3d& basePoint);
  // For a jig whose prompt also takes typed text (kAcceptOtherInputString): the text of the answer
  // being sampled, kNormal; a cursor move has none (kNoChange). A typed answer that is neither a point
  // nor a keyword ends the drag with kNormal when the sampler took it here, else it is refused.
  DragStatus acquireString(ZcString& text);

  const ZTCHAR* dispPrompt() const { return mPrompt.kwszPtr(); }
  void setDispPrompt(const ZTCHAR* prompt, ...);
  UserInputControls userInputControls() const { return mControls; }
  void setUserInputControls(UserInputControls controls) { mControls = controls; }
  const ZTCHAR* keywordList() const { return mKeywords.kwszPtr(); }
  void setKeywordList(const ZTCHAR* keywords) { mKeywords = keywords; }

  virtual void* dimData(double pixelSize) { return (void)pixelSize, nullptr; }
  virtual Zcad::ErrorStatus setDimValue(const void* dimData, double value) {
    (void)dimData, (void)value;
    return Zcad::eNotImplementedYet;
  }

 private:
  DragStatus acquireFrom(ZcGePoint3d& point, const ZcGePoint3d& basePoint);
  ZcString mPrompt;
  ZcString mKeywords;
  UserInputControls mControls = static_cast<UserInputControls>(0);
  ZcGePoint3d mCursor;
  bool mHasCursor = false;
  bool mCursorTyped = false;  // the sample is a point typed at the prompt or snapped: ortho keeps off
  // What the last acquirePoint measured from: its base point, or the last point when ortho governs.
  ZcGePoint3d mReference;
  bool mHasReference = false;
  // Samples a typed answer as text; whether the sampler took it.
  bool sampleTypedText(std::string_view text);

  ZcString mTypedText;  // the answer being sampled when it is text, not a point
  bool mHasTypedText = false;
  bool mTypedTextTaken = false;  // the sampler took it through acquireString
};

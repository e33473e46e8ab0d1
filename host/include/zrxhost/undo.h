// The undo history of a drawing: what each command added, erased or changed, to take back and redo.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class ZcDbObject;
struct ZcDbStub;

namespace zrxhost {

// Records, while a group is open, the state every object had before the group first touched it: an
// object opened for write is copied, an object added is noted as new. Undoing a group swaps each
// recorded state with the object's current one, so the same group redone swaps them back; an
// object keeps its id and handle throughout.
class UndoHistory {
 public:
  UndoHistory();
  ~UndoHistory();
  UndoHistory(const UndoHistory&) = delete;
  UndoHistory& operator=(const UndoHistory&) = delete;

  // One command's changes. A group that changed nothing (every object it touched stands as it stood,
  // values put back, objects added and erased within it) is dropped; one that did clears what could
  // be redone.
  void beginGroup(std::string name);
  void endGroup();
  bool recording() const { return mOpen != nullptr; }

  // Takes back up to `count` groups, the newest first; returns their names in that order.
  std::vector<std::string> undo(int count);
  // Redoes what the last undo took back (only the last: an earlier undo is not redone, as REDO
  // works at a CAD command line); returns the names of the groups redone.
  std::vector<std::string> redo();
  std::size_t undoableGroups() const { return mDone.size(); }

  // Whether the drawing differs from what was last saved (or read): the current state is not the
  // one marked saved.
  bool modifiedSinceSave() const { return currentState() != mSavedState; }
  void markSaved() { mSavedState = currentState(); }
  // Changes whenever the drawing's content may have (an object opened for write or added, an undo,
  // a redo), inside a command too: a display redraws when it differs from the one it drew.
  std::uint64_t editCount() const { return mEdits; }

  // Objects added in the open group so far (read by a progress display on another thread).
  std::uint64_t objectsAddedInGroup() const { return mAddedInGroup.load(std::memory_order_relaxed); }

  // From the first call on, keeps every object opened for write or changed by an undo or a redo,
  // for a reader that follows the drawing's changes (the spatial index): takeTouched hands them
  // over, each at least once. An object added is not kept: its owner, opened to add it, is, and the
  // reader finds it there. Until then nothing is kept (a batch read and save never asks).
  bool tracksTouched() const { return mTracking; }
  std::vector<ZcDbStub*> takeTouched() {
    mTracking = true;
    return std::exchange(mTouched, {});
  }

  // Called by the database: an object about to be changed, a new object.
  void willModify(ZcDbStub& stub);
  void added(ZcDbStub& stub);

 private:
  struct Group;
  std::uint64_t currentState() const;
  void swapStates(Group& group);

  std::vector<std::unique_ptr<Group>> mDone;
  // What the last undo took back, newest first.
  std::vector<std::unique_ptr<Group>> mUndone;
  std::unique_ptr<Group> mOpen;
  std::uint64_t mNextSerial = 1;
  std::uint64_t mSavedState = 0;
  std::uint64_t mEdits = 0;
  std::atomic<std::uint64_t> mAddedInGroup{0};
  bool mTracking = false;
  std::vector<ZcDbStub*> mTouched;
};

}  // namespace zrxhost

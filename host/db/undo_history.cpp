// The undo history: per command, the states objects had before it touched them, swapped on undo/redo.
#include <algorithm>
#include <typeinfo>
#include <utility>

#include "db/stub.h"
#include "zrx/db/object.h"
#include "zrxhost/undo.h"

namespace zrxhost {

struct UndoHistory::Group {
  struct Entry {
    ZcDbStub* stub;
    // The object's fields before the group (null for an object the group added: only its erased
    // flag tells whether it exists).
    std::unique_ptr<ZcDbObject> fields;
    bool erased;
    bool changed;
    std::uint32_t edits;  // the object's edits before the group, which its fields then match
  };
  std::uint64_t serial;
  std::string name;
  std::vector<Entry> entries;
};

UndoHistory::UndoHistory() = default;
UndoHistory::~UndoHistory() = default;

void UndoHistory::beginGroup(std::string name) {
  endGroup();
  mOpen = std::make_unique<Group>();
  mOpen->serial = mNextSerial++;
  mOpen->name = std::move(name);
  mAddedInGroup.store(0, std::memory_order_relaxed);
}

void UndoHistory::endGroup() {
  if (!mOpen) return;
  std::unique_ptr<Group> group = std::move(mOpen);
  // What the group left as it was is no change: neither an undo step nor a reason to save. Its
  // notes for the writer go back to what they were, so that it is written as before.
  std::erase_if(group->entries, [](Group::Entry& entry) {
    ZcDbStub& stub = *entry.stub;
    // Added and erased within the group, or with the fields and erased flag it had (values put back).
    const ZcDbObject* before = entry.fields.get();
    const bool leftAsItWas = before == nullptr
                                 ? stub.erased
                                 : stub.object != nullptr && stub.erased == entry.erased &&
                                       typeid(*stub.object) == typeid(*before) && stub.object->hasSameFieldsAs(*before);
    if (!leftAsItWas) return false;
    if (before != nullptr) {
      stub.changed = entry.changed;
      stub.edits = entry.edits;
    }
    return true;
  });
  if (group->entries.empty()) return;
  mUndone.clear();
  mDone.push_back(std::move(group));
}

void UndoHistory::willModify(ZcDbStub& stub) {
  ++mEdits;
  // An owner opened once for each object added to it (a command appending copies) is kept once.
  if (mTracking && (mTouched.empty() || mTouched.back() != &stub)) mTouched.push_back(&stub);
  if (!mOpen || stub.undoSerial == mOpen->serial || stub.object == nullptr) return;
  stub.undoSerial = mOpen->serial;
  auto* copy = static_cast<ZcDbObject*>(stub.object->clone());
  mOpen->entries.push_back({&stub, std::unique_ptr<ZcDbObject>(copy), stub.erased, stub.changed, stub.edits});
}

void UndoHistory::added(ZcDbStub& stub) {
  ++mEdits;
  if (!mOpen) return;
  stub.undoSerial = mOpen->serial;
  // Before the group the object did not exist: undone, it is erased (keeping its id and handle).
  mOpen->entries.push_back({&stub, nullptr, true, true, stub.edits});
  mAddedInGroup.fetch_add(1, std::memory_order_relaxed);
}

void UndoHistory::swapStates(Group& group) {
  for (Group::Entry& entry : group.entries) {
    ZcDbStub& stub = *entry.stub;
    if (mTracking) mTouched.push_back(&stub);
    if (entry.fields && stub.object) {
      std::unique_ptr<ZcDbObject> current(static_cast<ZcDbObject*>(stub.object->clone()));
      entry.fields->copyFieldsTo(stub.object);
      entry.fields = std::move(current);
    }
    std::swap(stub.erased, entry.erased);
    std::swap(stub.changed, entry.changed);
    std::swap(stub.edits, entry.edits);
  }
}

std::vector<std::string> UndoHistory::undo(int count) {
  endGroup();
  ++mEdits;
  std::vector<std::string> names;
  std::vector<std::unique_ptr<Group>> batch;
  while (count-- > 0 && !mDone.empty()) {
    std::unique_ptr<Group> group = std::move(mDone.back());
    mDone.pop_back();
    swapStates(*group);
    names.push_back(group->name);
    batch.push_back(std::move(group));
  }
  if (!batch.empty()) mUndone = std::move(batch);
  return names;
}

std::vector<std::string> UndoHistory::redo() {
  endGroup();
  ++mEdits;
  std::vector<std::string> names;
  std::vector<std::unique_ptr<Group>> batch = std::move(mUndone);
  mUndone.clear();
  // Undone newest first, so redone in the reverse order.
  for (auto it = batch.rbegin(); it != batch.rend(); ++it) {
    swapStates(**it);
    names.push_back((*it)->name);
    mDone.push_back(std::move(*it));
  }
  return names;
}

std::uint64_t UndoHistory::currentState() const {
  return mDone.empty() ? 0 : mDone.back()->serial;
}

}  // namespace zrxhost

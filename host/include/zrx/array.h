// ZcArray: the host's growable array.
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

template <typename T>
class ZcArray {
 public:
  ZcArray() = default;
  explicit ZcArray(int physicalLength, int growLength = 8) {
    (void)growLength;
    if (physicalLength > 0) mItems.reserve(static_cast<size_t>(physicalLength));
  }

  int length() const { return static_cast<int>(mItems.size()); }
  int logicalLength() const { return length(); }
  bool isEmpty() const { return mItems.empty(); }
  T& at(int i) { return mItems.at(static_cast<size_t>(i)); }
  const T& at(int i) const { return mItems.at(static_cast<size_t>(i)); }
  T& operator[](int i) { return mItems[static_cast<size_t>(i)]; }
  const T& operator[](int i) const { return mItems[static_cast<size_t>(i)]; }
  T& first() { return mItems.front(); }
  T& last() { return mItems.back(); }
  int append(const T& value) {
    mItems.push_back(value);
    return length() - 1;
  }
  int append(T&& value) {
    mItems.push_back(std::move(value));
    return length() - 1;
  }
  void removeLast() {
    if (!mItems.empty()) mItems.pop_back();
  }
  void removeAt(int i) { mItems.erase(mItems.begin() + i); }
  void removeAll() { mItems.clear(); }
  void setLogicalLength(int n) { mItems.resize(static_cast<size_t>(n)); }
  void setPhysicalLength(int n) { mItems.reserve(static_cast<size_t>(n)); }
  const T* asArrayPtr() const { return mItems.data(); }
  T* asArrayPtr() { return mItems.data(); }

  auto begin() { return mItems.begin(); }
  auto end() { return mItems.end(); }
  auto begin() const { return mItems.begin(); }
  auto end() const { return mItems.end(); }
  std::vector<T>& items() { return mItems; }
  const std::vector<T>& items() const { return mItems; }

 private:
  std::vector<T> mItems;
};

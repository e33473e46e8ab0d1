// Sorting the selected texts into the order they are numbered in.
#include "retally/order/order.h"

#include <algorithm>
#include <cmath>
#include <numeric>

std::vector<int> orderOf(const std::vector<OrderKey>& keys, Order order) {
  std::vector<int> indices(keys.size());
  std::iota(indices.begin(), indices.end(), 0);
  auto sortBy = [&](auto less) {
    std::stable_sort(indices.begin(), indices.end(), [&](int a, int b) { return less(keys[a], keys[b]); });
  };
  auto leftThenTop = [](const OrderKey& a, const OrderKey& b) { return a.x != b.x ? a.x < b.x : a.y > b.y; };
  auto topThenLeft = [](const OrderKey& a, const OrderKey& b) { return a.y != b.y ? a.y > b.y : a.x < b.x; };
  switch (order) {
    case Order::kSelection:
      break;
    case Order::kX:
      sortBy(leftThenTop);
      break;
    case Order::kY:
      sortBy(topThenLeft);
      break;
    case Order::kCurve:
      sortBy([](const OrderKey& a, const OrderKey& b) { return a.along < b.along; });
      break;
    case Order::kRows: {
      std::stable_sort(indices.begin(), indices.end(), [&](int a, int b) {
        const OrderKey &p = keys[a], &q = keys[b];
        return p.baseline != q.baseline ? p.baseline > q.baseline : p.x < q.x;
      });
      // Cut into rows from the top, then each row left to right.
      size_t rowStart = 0;
      for (size_t i = 1; i <= indices.size(); ++i) {
        const bool newRow =
            i == indices.size() ||
            !(std::fabs(keys[indices[i - 1]].baseline - keys[indices[i]].baseline) < keys[indices[i]].height / 2);
        if (!newRow) continue;
        std::stable_sort(indices.begin() + static_cast<long>(rowStart), indices.begin() + static_cast<long>(i),
                         [&](int a, int b) { return keys[a].x < keys[b].x; });
        rowStart = i;
      }
      break;
    }
  }
  return indices;
}

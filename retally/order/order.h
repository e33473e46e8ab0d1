// The orders texts are renumbered in: by X, by Y, in rows, as selected, along a curve.
#pragma once

#include <vector>

enum class Order { kX, kY, kRows, kSelection, kCurve };

// What the orders look at in one text.
struct OrderKey {
  double x = 0;  // the reference point
  double y = 0;
  double baseline = 0;  // the height of the baseline (rows)
  double height = 0;    // the text height (rows)
  double along = 0;     // the distance along the curve (curve)
};

// The indices of `keys` (given in selection order) in the order asked for: X left to right (ties:
// top first); Y top to bottom (ties: left first); Rows from the top, a text joining the row of the
// one before it when their baselines differ by less than half its height, each row left to right;
// Selection as given; Curve by the distance along. Equal keys keep their selection order.
std::vector<int> orderOf(const std::vector<OrderKey>& keys, Order order);

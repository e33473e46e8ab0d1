// The settings of retally, kept from one run to the next while the module is loaded.
#pragma once

#include <string>

#include "retally/order/order.h"
#include "retally/renumber/labels.h"
#include "retally/renumber/placement.h"

struct RetallySettings {
  Order order = Order::kX;
  StartValue start;
  int increment = 1;
  int digits = 0;
  Place place = Place::kRun;
  // The attribute of a block reference renumbered, by tag; empty: the first whose value holds a digit.
  std::u16string tag;
};

// The module's settings; a load starts from the defaults.
RetallySettings& retallySettings();
void resetRetallySettings();

// The settings of retally, kept from one run to the next while the module is loaded.
#pragma once

#include "retally/order/order.h"
#include "retally/renumber/labels.h"
#include "retally/renumber/placement.h"

struct RetallySettings {
  Order order = Order::kX;
  StartValue start;
  int increment = 1;
  int digits = 0;
  Place place = Place::kRun;
};

// The module's settings; a load starts from the defaults.
RetallySettings& retallySettings();
void resetRetallySettings();

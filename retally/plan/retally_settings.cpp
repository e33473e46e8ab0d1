// The settings retally keeps between runs.
#include "retally/plan/retally_settings.h"

RetallySettings& retallySettings() {
  static RetallySettings settings;
  return settings;
}

void resetRetallySettings() {
  retallySettings() = RetallySettings{};
}

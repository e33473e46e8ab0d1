// The command's dialogue before a text is picked: the mode line, the option "O", the pick.
#pragma once

#include "module/host.h"

// The outcome of the dialogue: the picked entity and the pick point, or ended (picked false).
struct TextPick {
  bool picked = false;
  zds_name entName = {0, 0};
  zds_point clickPt = {0, 0, 0};
};

// Shows the mode line and asks for a text; the user may change the method or the step through the
// option "O" any number of times first. Any cancelled, empty or failed answer ends it.
TextPick promptForText();

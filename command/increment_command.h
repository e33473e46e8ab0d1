// The command "tally": its settings, the dialogue before the pick, and one numbered series per run.
#pragma once

#include "jig/placement.h"
#include "module/host.h"

// The step added to the run per copy (any value, zero and negative included), and the method; both
// kept for as long as the module is loaded.
extern int incrementValue;
extern IncrementMethod incrementMethod;

// Back to the values of a fresh load: free placement, step 1.
void resetIncrementSettings();

// "<method message> = <step>", the line shown at the top of every pass of the dialogue.
void printModeLine();

// The outcome of the dialogue: the picked entity and the pick point, or ended (picked false).
struct TextPick {
  bool picked = false;
  zds_name entName = {0, 0};
  zds_point clickPt = {0, 0, 0};
};

// Shows the mode line and asks for a text; the user may change the method or the step through the
// option "O" any number of times first. Any cancelled, empty or failed answer ends it.
TextPick promptForText();

// Runs one series: language, dialogue, the picked Text or MText, placement, and the mark erased.
void incrementCommand();

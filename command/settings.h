// The two settings that steer every placement, kept for as long as the module is loaded.
#pragma once

#include "jig/placement.h"

// The step added to the run per copy (any value, zero and negative included).
extern int incrementValue;
extern IncrementMethod incrementMethod;

// Back to the values of a fresh load: free placement, step 1.
void resetIncrementSettings();

// "<method message> = <step>", the line shown at the top of every pass of the dialogue.
void printModeLine();

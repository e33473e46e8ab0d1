// The command "tally": one numbered series from one picked text.
#pragma once

// Runs one series: language, dialogue, the picked Text or MText, placement, and the mark erased.
void incrementCommand();

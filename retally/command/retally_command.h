// The command "retally": select texts, choose the settings with the preview up, renumber them.
#pragma once

void retallyCommand();

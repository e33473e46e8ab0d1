// The module's one door to the host: every host API header the module uses, included here only.
#pragma once

#include "zrx/array.h"
#include "zrx/core.h"
#include "zrx/db.h"
#include "zrx/ed.h"
#include "zrx/ge.h"
#include "zrx/gi.h"
#include "zrx/rx.h"
#include "zrx/string.h"

// Exported by the module (everything else is hidden).
#define TALLY_EXPORT extern "C" __attribute__((visibility("default")))

// The entry points of ZrxForRetally.zrx and the steps behind its load and unload messages.
#pragma once

#include <cstdint>

#include "module/host.h"

// The interface version the module was built for (the host's, as the tally module's).
constexpr std::int32_t kRetallyApiVersion = 0x07E50046;

TALLY_EXPORT std::int32_t zcrxGetApiVersion();
// Message 1 registers the command "retally" and the preview class, 2 removes both; answers 0 always.
TALLY_EXPORT std::int32_t zcrxEntryPoint(std::int32_t message, void* applicationHandle);

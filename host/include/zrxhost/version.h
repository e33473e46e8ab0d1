// The module interface version this host offers, and the signatures of a module's two exports.
#pragma once

#include <cstdint>

namespace zrxhost {

// A module whose zcrxGetApiVersion answers anything else is refused.
constexpr std::int32_t kApiVersion = 0x07E50046;

// extern "C" std::int32_t zcrxGetApiVersion();
using GetApiVersionFunction = std::int32_t (*)();
// extern "C" std::int32_t zcrxEntryPoint(std::int32_t message, void* applicationHandle);
using EntryPointFunction = std::int32_t (*)(std::int32_t, void*);

constexpr const char* kProgramVersion = "1.0.0";

}  // namespace zrxhost

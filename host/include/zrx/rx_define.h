// Defines the runtime-class members that ZCRX_DECLARE_MEMBERS declares, for the host's own classes.
#pragma once

#include "zrx/rx.h"

namespace zrxhost {
// Bumped whenever a class leaves the registry, so every cached descriptor is looked up again.
extern unsigned gClassGeneration;
// The descriptor of a host class, registered under `name` on first use (and again after it was
// deleted from the registry), kept in `cache` with the `generation` it was found in: while that
// stands, desc() returns it without a call.
ZcRxClass* builtinClass(const ZTCHAR* name, ZcRxClass* (*parentDesc)(), ZcRxPseudoConstructor constructor,
                        const ZTCHAR* dxfName, ZcRxClass*& cache, unsigned& generation);
}  // namespace zrxhost

#define ZCRX_DEFINE_MEMBERS(CLASS_NAME, PARENT_CLASS, RX_NAME, DXF_NAME, CONSTRUCTOR)                             \
  ZcRxClass* CLASS_NAME::desc() {                                                                                 \
    static ZcRxClass* cache = nullptr;                                                                            \
    static unsigned generation = ~0u;                                                                             \
    if (cache != nullptr && generation == zrxhost::gClassGeneration) [[likely]]                                   \
      return cache;                                                                                               \
    return zrxhost::builtinClass(RX_NAME, &PARENT_CLASS::desc, CONSTRUCTOR, DXF_NAME, cache, generation);         \
  }                                                                                                               \
  ZcRxClass* CLASS_NAME::isA() const {                                                                            \
    return CLASS_NAME::desc();                                                                                    \
  }                                                                                                               \
  CLASS_NAME* CLASS_NAME::cast(const ZcRxObject* p) {                                                             \
    return p && p->isKindOf(CLASS_NAME::desc()) ? static_cast<CLASS_NAME*>(const_cast<ZcRxObject*>(p)) : nullptr; \
  }                                                                                                               \
  void CLASS_NAME::rxInit() {                                                                                     \
    (void)CLASS_NAME::desc();                                                                                     \
  }

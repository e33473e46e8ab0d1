// The increment settings and the mode line that shows them.
#include "command/settings.h"

#include "jig/message_catalogue.h"
#include "module/host.h"

int incrementValue = 1;
IncrementMethod incrementMethod = kFree;

void resetIncrementSettings() {
  incrementValue = 1;
  incrementMethod = kFree;
}

void printModeLine() {
  const CatalogueMessage message = incrementMethod == kLine    ? kModeLine
                                   : incrementMethod == kPolar ? kModePolar
                                                               : kModeFree;
  zcutPrintf(L"%s = %d", catalogueText(message), incrementValue);
}

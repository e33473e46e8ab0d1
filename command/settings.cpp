// The increment settings and the mode line that shows them.
#include "command/settings.h"

#include "command/message_catalogue.h"
#include "module/host.h"

int incrementValue = 1;
int incrementMethod = kFree;

void resetIncrementSettings() {
  incrementValue = 1;
  incrementMethod = kFree;
}

void printModeLine() {
  int message = incrementMethod == kLine ? 0 : incrementMethod == kPolar ? 1 : 2;
  zcutPrintf(L"%s = %d", catalogueText(message), incrementValue);
}

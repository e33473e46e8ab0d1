// The increment settings' mode line in both languages.
#include <climits>

#include "command/increment_command.h"
#include "jig/message_catalogue.h"
#include "module_fixture.h"

namespace {

using Settings = ModuleFixture;

TEST_F(Settings, ModeLineNamesTheMethodAndTheStep) {
  struct Case {
    IncrementMethod method;
    int value;
    const char* line;
  };
  for (const Case& c : {Case{kFree, 1, "\nCurrent Mode: Increment method= free, increment = 1"},
                        Case{kLine, -3, "\nCurrent Mode: Increment method= line, increment = -3"},
                        Case{kPolar, 0, "\nCurrent Mode: Increment method= polar, increment = 0"},
                        Case{kFree, INT_MIN, "\nCurrent Mode: Increment method= free, increment = -2147483648"},
                        Case{kLine, INT_MAX, "\nCurrent Mode: Increment method= line, increment = 2147483647"}}) {
    clearTranscript();
    incrementMethod = c.method;
    incrementValue = c.value;
    printModeLine();
    EXPECT_EQ(transcript(), c.line);
  }
}

TEST_F(Settings, ChineseModeLineUsesTheActiveCatalogue) {
  MessageCatalogue zh(L"zh-CN");
  activeCatalogue = &zh;
  incrementMethod = kPolar;
  incrementValue = 12;
  printModeLine();
  activeCatalogue = nullptr;
  EXPECT_EQ(transcript(), "\n当前模式：递增方式=环形，递增增量 = 12");
}

}  // namespace

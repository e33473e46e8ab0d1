// The host's own messages (prompts, refusals, command-line texts) in English and Simplified Chinese.
#pragma once

#include <string>
#include <string_view>

namespace zrxhost {

enum class HostMessage {
  kCommandPrompt,
  kUnknownCommand,  // {} : the command name
  kCancel,
  kCommandFailed,
  kCommandFailedBecause,  // {} : the reason
  kValueRequired,
  kValuePositiveNonzero,
  kValueNonzero,
  kValuePositive,
  kRequiresInteger,
  kRequiresNumber,
  kRequiresDistance,
  kRequiresAngle,
  kInvalidPoint,
  kInvalidKeyword,
  kInvalidSelection,
  kSecondPoint,
  kBanner,
  kUndone,  // {} : the command undone
  kEverythingUndone,
  kNothingToRedo,
  kRedone,  // {} : the command redone
  kUndoCount,
  kHelpHeading,
  kHelpHostCommands,
  kHelpModuleCommands,
  kHelpScripts,
  kSaved,       // {} : the file
  kSaveFailed,  // {} : the reason
  kSaveAsPrompt,
  kNoFileName,
  kSaveChangesPrompt,  // {} : the drawing's name
  kChangesDiscarded,
  kProgressReading,       // {} : the file
  kProgressSaving,        // {} : the file
  kProgressObjectsAdded,  // {} : the count
  kCount_
};

// The message in the language of the system variable VERLAN ("zh-CN": Chinese, anything else:
// English), with `argument` in place of its "{}".
std::string hostMessage(HostMessage message, std::string_view argument = {});
// The same in a chosen language, for texts shown before the session has its variables.
std::string hostMessageIn(bool chinese, HostMessage message, std::string_view argument = {});
// Whether VERLAN asks for Chinese.
bool hostSpeaksChinese();

}  // namespace zrxhost

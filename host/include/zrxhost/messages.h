// The host's own messages (prompts, refusals, command-line texts) in English and Simplified Chinese.
#pragma once

#include <cstddef>
#include <initializer_list>
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
  kValueOutOfRange,
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
  kHelpModuleCommands,
  kHelpScripts,
  kHelpGuide,
  kSaved,       // {} : the file
  kSaveFailed,  // {} : the reason
  kSaveAsPrompt,
  kNoFileName,
  kSaveChangesPrompt,  // {} : the drawing's name
  kChangesDiscarded,
  kProgressReading,       // {} : the file
  kProgressSaving,        // {} : the file
  kProgressObjectsAdded,  // {} : the count
  kSelectObjects,
  kRemoveObjects,
  kFirstCorner,
  kOppositeCorner,
  kFirstFencePoint,
  kNextFencePoint,
  kFound,            // {} : the count
  kFoundTotal,       // {} {} : the count, the set's size
  kFoundDuplicates,  // {} {} {} : the count, the duplicates, the set's size
  kRemovedTotal,     // {} {} : the count, the set's size
  kFilteredOut,      // {} : the count
  kNoPreviousSet,
  kSelectionWords,
  kCount_
};

// The message in the language of the system variable VERLAN ("zh-CN": Chinese, anything else:
// English), with `argument` in place of its "{}".
std::string hostMessage(HostMessage message, std::string_view argument = {});
// The same with several "{}", filled in order.
std::string hostMessage(HostMessage message, std::initializer_list<std::string_view> arguments);
// Whether VERLAN asks for Chinese.
bool hostSpeaksChinese();

// One entry of a table of texts in both languages (the host's here, the window's its own).
template <typename Id>
struct BilingualText {
  Id id;
  const char* english;
  const char* chinese;
};

// Whether `table` lists every id of `Id` (whose last member is kCount_) once, in the enum's order,
// so that an id indexes its entry.
template <typename Id, std::size_t N>
constexpr bool listsEveryIdInOrder(const BilingualText<Id> (&table)[N]) {
  if (N != static_cast<std::size_t>(Id::kCount_)) return false;
  for (std::size_t i = 0; i < N; ++i) {
    if (static_cast<std::size_t>(table[i].id) != i) return false;
  }
  return true;
}

// The entry's text in the language VERLAN chooses, with `argument` in place of its "{}".
std::string textInLanguage(const char* english, const char* chinese, std::string_view argument);
// The same with several "{}", filled in order: textInLanguage("line {}: {}", "第 {} 行：{}", {line, why}).
std::string textInLanguage(const char* english, const char* chinese,
                           std::initializer_list<std::string_view> arguments = {});

}  // namespace zrxhost

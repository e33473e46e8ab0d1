// Every text the command "retally" shows, in English and Simplified Chinese.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

enum class RetallyText {
  kSelectPrompt,
  kRemovePrompt,
  kSettings,     // {} order, start, increment, digits, place
  kStartPrompt,  // {} the default start
  kOrderPrompt,  // {} the current order
  kIncrementPrompt,
  kDigitsPrompt,
  kPlacePrompt,
  kTagPrompt,  // {} the current tag
  kFirstWithDigit,
  kCurvePrompt,
  kNotACurve,
  kInvalidStart,
  kStartTooLong,  // {} the most digits
  kDigitsRange,
  kNothingSelected,
  kRenumbered,  // {} count, first label, last label
  kNoneRenumbered,
  kNoNumber,   // {} count
  kBelowZero,  // {} count
  kRefused,    // {} count
  kOrderX,
  kOrderY,
  kOrderRows,
  kOrderSelection,
  kOrderCurve,
  kPlaceRun,
  kPlaceOverwrite,
  kPlacePrefix,
  kPlaceSuffix,
  kCount_
};

// Reads VERLAN ("zh-CN": Chinese, anything else: English) for the texts of one run.
void chooseRetallyLanguage();
// The text with its "{}" filled in order; `count` picks the English singular where it is 1.
std::wstring retallyText(RetallyText id, std::initializer_list<std::wstring_view> arguments = {}, long long count = 0);
// Prints the text on a line of its own.
void printRetallyText(RetallyText id, std::initializer_list<std::wstring_view> arguments = {}, long long count = 0);

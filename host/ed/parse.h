// Reading answers typed at the command line: numbers, points, keywords, cursor moves.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "zrx/ge.h"

namespace zrxhost::ed {

std::string_view trim(std::string_view s);

// A finite decimal number ("12", "-2.5", ".5", "1e3"); "inf", "nan", hex and overflow are refused.
bool parseReal(std::string_view text, double& value);
// An integer within the 32-bit range, optionally signed.
bool parseInt(std::string_view text, int& value);
// Whether `text` is written as an integer (digits, optionally signed), whatever its size: one that
// parseInt refuses is then out of range rather than no integer.
bool isWholeNumber(std::string_view text);
// "x,y", "x,y,z", "@dx,dy[,dz]" / "@" relative to `last`, or polar: "d<a" from the origin and
// "@d<a" from `last` (a distance and an angle in degrees).
bool parsePoint(std::string_view text, const ZcGePoint3d& last, ZcGePoint3d& point);

// The keywords of an initget list, split at spaces.
std::vector<std::wstring> splitKeywords(const wchar_t* list);
// The index of the keyword `text` names: a whole keyword (any case) first, else the one keyword it
// begins; -1 when none or several.
int matchKeyword(const std::vector<std::wstring>& keywords, std::string_view text);

// The words of the "Select objects:" prompt, each by its letter or its whole name (any case): W
// Window, C Crossing, F Fence, ALL, P Previous, R Remove, A Add.
enum class SelectionWord { kNone, kWindow, kCrossing, kFence, kAll, kPrevious, kRemove, kAdd };
SelectionWord parseSelectionWord(std::string_view text);

// The point the system variable LASTPOINT holds, and setting it.
ZcGePoint3d lastPoint();
void setLastPoint(const ZcGePoint3d& p);
std::string formatPoint(const ZcGePoint3d& p);

// Forgets the pending initget and the last keyword (a new session).
void resetInputState();

}  // namespace zrxhost::ed

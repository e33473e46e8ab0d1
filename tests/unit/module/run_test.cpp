// Run extraction and copy strings: the behaviour table, long runs, huge steps, negative steps.
#include "text/run.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "jig/message_catalogue.h"
#include "zrxhost/session.h"

namespace {

std::string utf8(const ZcString& s) {
  return s.toUtf8();
}

// The strings of copies 1..count from a fresh list, as the jig's first update makes them.
int makeCopyStrings(const ZcString& text, int kind, int runStart, int runEnd, std::int64_t step, int count,
                    ZcArray<ZcString>& strings) {
  return CopyStringList().make(text, kind, runStart, runEnd, step, count, strings);
}

std::vector<std::string> copies(const ZcString& text, int index, std::int64_t step, int count, int* kind = nullptr) {
  int runStart = -1;
  int runEnd = -1;
  int k = extractRun(text, index, runStart, runEnd);
  if (kind != nullptr) *kind = k;
  ZcArray<ZcString> strings;
  int made = makeCopyStrings(text, k, runStart, runEnd, step, count, strings);
  EXPECT_EQ(made, strings.length());
  std::vector<std::string> out;
  for (const ZcString& s : strings) out.push_back(utf8(s));
  return out;
}

// Captures the command-line transcript for one test.
class Transcript {
 public:
  Transcript() {
    zrxhost::initializeHost();
    zrxhost::Session::instance().setTranscript(&mOut);
  }
  ~Transcript() { zrxhost::Session::instance().setTranscript(nullptr); }
  std::string text() const { return mOut.str(); }

 private:
  std::ostringstream mOut;
};

struct TableRow {
  const char* source;
  int picked;
  int step;
  int count;
  std::map<int, std::string> expected;  // copy index (from 0) -> string
  int made;
};

// Names a row in test listings by what it is about rather than by its bytes.
void PrintTo(const TableRow& row, std::ostream* os) {
  *os << '"' << row.source << "\" picked at " << row.picked << ", step " << row.step;
}

class CopyTable : public ::testing::TestWithParam<TableRow> {};

TEST_P(CopyTable, CopiesAdvanceTheRunOnly) {
  const TableRow& row = GetParam();
  std::vector<std::string> got = copies(ZcString(row.source), row.picked, row.step, row.count);
  ASSERT_EQ(static_cast<int>(got.size()), row.made);
  for (const auto& [index, text] : row.expected) EXPECT_EQ(got.at(static_cast<size_t>(index)), text) << index;
}

INSTANTIATE_TEST_SUITE_P(
    Behaviour, CopyTable,
    ::testing::Values(
        TableRow{"A12", 2, 1, 3, {{0, "A13"}, {1, "A14"}, {2, "A15"}}, 3},
        TableRow{"B12C", 1, 1, 2, {{0, "B13C"}, {1, "B14C"}}, 2},
        TableRow{"007", 1, 1, 995, {{0, "008"}, {1, "009"}, {2, "010"}, {991, "999"}, {992, "1000"}}, 995},
        TableRow{"99", 0, 1, 2, {{0, "100"}, {1, "101"}}, 2},
        TableRow{"10", 1, -1, 20, {{0, "09"}, {1, "08"}, {9, "00"}}, 10},
        TableRow{"5", 0, -2, 4, {{0, "3"}, {1, "1"}}, 2}, TableRow{"0", 0, -1, 3, {}, 0},
        TableRow{"-5", 1, 1, 2, {{0, "-6"}, {1, "-7"}}, 2}, TableRow{"3.9", 2, 1, 2, {{0, "3.10"}, {1, "3.11"}}, 2},
        TableRow{"3.9", 0, 1, 2, {{0, "4.9"}, {1, "5.9"}}, 2},
        TableRow{"N-042x", 3, 0, 3, {{0, "N-042x"}, {1, "N-042x"}, {2, "N-042x"}}, 3},
        TableRow{"N-042x", 5, 0, 2, {{0, "N-042x"}, {1, "N-042x"}}, 2},
        TableRow{"Z", 0, 1, 3, {{0, "A"}, {1, "B"}, {2, "C"}}, 3},
        TableRow{"z", 0, 1, 3, {{0, "a"}, {1, "b"}, {2, "c"}}, 3},
        TableRow{"A", 0, -1, 3, {{0, "Z"}, {1, "Y"}, {2, "X"}}, 3},
        TableRow{"z", 0, 6, 3, {{0, "f"}, {1, "l"}, {2, "r"}}, 3},
        TableRow{"y", 0, 25, 3, {{0, "x"}, {1, "w"}, {2, "v"}}, 3}, TableRow{"AZ", 1, 1, 2, {{0, "AA"}, {1, "AB"}}, 2},
        TableRow{"AZ", 0, 1, 2, {{0, "BZ"}, {1, "CZ"}}, 2},
        TableRow{"Room B", 5, 27, 2, {{0, "Room C"}, {1, "Room D"}}, 2},
        TableRow{"ABC", 1, 1, 2, {{0, "ACC"}, {1, "ADC"}}, 2},
        // A letter array never ends early, whatever the sign of the step.
        TableRow{"b", 0, -1, 30, {{0, "a"}, {1, "z"}, {26, "a"}, {27, "z"}, {29, "x"}}, 30}));

TEST(RunExtraction, DigitRunIsTheLongestStretchAroundThePick) {
  struct Case {
    const char* text;
    int index;
    int start;
    int end;
  };
  for (const Case& c : {Case{"A12", 1, 1, 2}, Case{"A12", 2, 1, 2}, Case{"12B345", 0, 0, 1}, Case{"12B345", 4, 3, 5},
                        Case{"7", 0, 0, 0}, Case{"x 1 2", 4, 4, 4}, Case{"1,000", 2, 2, 4}, Case{"-5", 1, 1, 1}}) {
    int start = -1;
    int end = -1;
    EXPECT_EQ(extractRun(ZcString(c.text), c.index, start, end), kDigitRun) << c.text;
    EXPECT_EQ(start, c.start) << c.text << " at " << c.index;
    EXPECT_EQ(end, c.end) << c.text << " at " << c.index;
  }
}

TEST(RunExtraction, LetterRunIsThePickedLetterAlone) {
  int start = -1;
  int end = -1;
  EXPECT_EQ(extractRun(ZcString("Room"), 2, start, end), kLetterRun);
  EXPECT_EQ(start, 2);
  EXPECT_EQ(end, 2);
}

TEST(RunExtraction, UncountableCharactersSetNoRunAndLeaveTheWordToTheCaller) {
  Transcript transcript;
  // Non-ASCII letters and digits, punctuation, blanks, and an index past the end.
  const std::vector<std::pair<ZcString, int>> cases = {
      {ZcString(L"caf\u00e9"), 3}, {ZcString(L"\u4e2d1"), 0}, {ZcString(L"\u0663"), 0}, {ZcString("A-1"), 1},
      {ZcString("A 1"), 1},        {ZcString("3.9"), 1},      {ZcString("A1"), 2},      {ZcString("A1"), -1}};
  for (const auto& [text, index] : cases) {
    int start = 77;
    int end = 78;
    EXPECT_EQ(extractRun(text, index, start, end), kNotCountable) << text.toUtf8();
    EXPECT_EQ(start, 77);
    EXPECT_EQ(end, 78);
  }
  // The analysis only finds; the jig that asked tells the user (in the run's language).
  EXPECT_EQ(transcript.text(), "");
}

TEST(RunExtraction, IndicesCountUtf16UnitsAcrossSurrogatePairs) {
  // U+1F600 takes two units, so the digits start at unit 2.
  ZcString text(L"\U0001F60012");
  int start = -1;
  int end = -1;
  ASSERT_EQ(extractRun(text, 3, start, end), kDigitRun);
  EXPECT_EQ(start, 2);
  EXPECT_EQ(end, 3);
  ZcArray<ZcString> strings;
  ASSERT_EQ(makeCopyStrings(text, kDigitRun, start, end, 9, 1, strings), 1);
  EXPECT_EQ(strings[0].toUtf8(),
            "\xF0\x9F\x98\x80"
            "21");
}

// Reference: the decimal value of a digit string plus k * step, computed with 128-bit integers.
std::string reference(const std::string& digits, std::int64_t step, std::int64_t k, size_t width) {
  __int128 v = 0;
  for (char c : digits) v = v * 10 + (c - '0');
  v += static_cast<__int128>(step) * k;
  if (v < 0) return "";
  std::string s;
  do {
    s.insert(s.begin(), static_cast<char>('0' + static_cast<int>(v % 10)));
    v /= 10;
  } while (v != 0);
  if (s.size() < width) s.insert(0, width - s.size(), '0');
  return s;
}

TEST(LongRuns, GrowBeyondAnyMachineWord) {
  EXPECT_EQ(copies(ZcString("SN-99999999999"), 5, 1, 1), std::vector<std::string>{"SN-100000000000"});
  EXPECT_EQ(copies(ZcString("999999999999999999"), 0, 1, 1), std::vector<std::string>{"1000000000000000000"});
  EXPECT_EQ(copies(ZcString("x9223372036854775807"), 3, 1, 2),
            (std::vector<std::string>{"x9223372036854775808", "x9223372036854775809"}));
  std::string nines(40, '9');
  EXPECT_EQ(copies(ZcString(("<" + nines + ">").c_str()), 1, 1, 1),
            std::vector<std::string>{"<1" + std::string(40, '0') + ">"});
  // A long run counted down keeps its width and stops below zero.
  std::string run = std::string(29, '0') + "3";
  std::vector<std::string> down = copies(ZcString(run.c_str()), 29, -1, 10);
  ASSERT_EQ(down.size(), 3u);
  EXPECT_EQ(down.back(), std::string(30, '0'));
  // Long runs whose value is far above the step.
  std::vector<std::string> big = copies(ZcString("12345678901234567890123"), 0, -7, 3);
  EXPECT_EQ(
      big, (std::vector<std::string>{"12345678901234567890116", "12345678901234567890109", "12345678901234567890102"}));
}

TEST(HugeSteps, StayExactAtHighCopyNumbers) {
  ZcArray<ZcString> strings;
  ZcString zero("0");
  ASSERT_EQ(makeCopyStrings(zero, kDigitRun, 0, 0, 2147483647, 100000, strings), 100000);
  EXPECT_EQ(strings[99999].toUtf8(), "214748364700000");
  EXPECT_EQ(strings[0].toUtf8(), "2147483647");

  // Steps and products past 64 bits, both directions.
  const std::int64_t max64 = std::numeric_limits<std::int64_t>::max();
  const std::int64_t min64 = std::numeric_limits<std::int64_t>::min();
  ASSERT_EQ(makeCopyStrings(ZcString("5"), kDigitRun, 0, 0, max64, 3, strings), 3);
  EXPECT_EQ(strings[2].toUtf8(), "27670116110564327426");
  EXPECT_EQ(makeCopyStrings(ZcString("9223372036854775807"), kDigitRun, 0, 18, min64, 1, strings), 0);
  ASSERT_EQ(makeCopyStrings(ZcString("9223372036854775808"), kDigitRun, 0, 18, min64, 1, strings), 1);
  EXPECT_EQ(strings[0].toUtf8(), "0000000000000000000");

  // Letters with steps whose products overflow still move by the product's remainder.
  ASSERT_EQ(makeCopyStrings(ZcString("a"), kLetterRun, 0, 0, max64, 3, strings), 3);
  const __int128 product = static_cast<__int128>(max64) * 3;
  EXPECT_EQ(strings[2].toUtf8(), std::string(1, static_cast<char>('a' + static_cast<int>(product % 26))));
}

TEST(DigitArithmetic, AgreesWithWideIntegersForRunsOfAnyLength) {
  const std::vector<std::string> runs = {"0",
                                         "7",
                                         "0042",
                                         "2147483647",
                                         "2147483648",
                                         "999999999999999999",
                                         "9223372036854775806",
                                         "18446744073709551615",
                                         "000000000000000000000000000001"};
  const std::vector<std::int64_t> steps = {0,
                                           1,
                                           -1,
                                           7,
                                           -13,
                                           2147483647,
                                           -2147483648,
                                           4611686018427387904,
                                           -4611686018427387904,
                                           std::numeric_limits<std::int64_t>::max()};
  for (const std::string& digits : runs) {
    ZcString text(("#" + digits + "#").c_str());
    int end = static_cast<int>(digits.size());
    for (std::int64_t step : steps) {
      ZcArray<ZcString> strings;
      int made = makeCopyStrings(text, kDigitRun, 1, end, step, 5, strings);
      for (int k = 1; k <= 5; ++k) {
        std::string expected = reference(digits, step, k, digits.size());
        if (expected.empty()) {
          EXPECT_EQ(made, k - 1) << digits << " step " << step;
          break;
        }
        ASSERT_GE(made, k) << digits << " step " << step;
        EXPECT_EQ(strings[k - 1].toUtf8(), "#" + expected + "#") << digits << " step " << step << " k " << k;
      }
    }
  }
}

TEST(CopyStrings, ReusedArrayHoldsOnlyTheNewStrings) {
  ZcArray<ZcString> strings;
  ASSERT_EQ(makeCopyStrings(ZcString("Long prefix 1 and a long suffix"), kDigitRun, 12, 12, 1, 5, strings), 5);
  ASSERT_EQ(makeCopyStrings(ZcString("B9"), kDigitRun, 1, 1, 1, 3, strings), 3);
  EXPECT_EQ(strings[0].toUtf8(), "B10");
  EXPECT_EQ(strings[2].toUtf8(), "B12");
  // The wide and narrow forms follow the new contents too.
  EXPECT_EQ(std::wstring(strings[1].kwszPtr()), L"B11");
  ASSERT_EQ(makeCopyStrings(ZcString("Q"), kLetterRun, 0, 0, 1, 2, strings), 2);
  EXPECT_EQ(strings[1].toUtf8(), "S");
  EXPECT_EQ(strings[1].length(), 1);
}

TEST(CopyStrings, RefusesRunsThatDoNotDescribeTheText) {
  ZcArray<ZcString> strings;
  strings.append(ZcString("stale"));
  ZcString text("A12");
  EXPECT_EQ(makeCopyStrings(text, kNothingPicked, 1, 2, 1, 3, strings), 0);
  EXPECT_EQ(makeCopyStrings(text, kNotCountable, 1, 2, 1, 3, strings), 0);
  EXPECT_EQ(makeCopyStrings(text, kDigitRun, 1, 3, 1, 3, strings), 0);   // past the end
  EXPECT_EQ(makeCopyStrings(text, kDigitRun, -1, 1, 1, 3, strings), 0);  // before the start
  EXPECT_EQ(makeCopyStrings(text, kDigitRun, 0, 2, 1, 3, strings), 0);   // "A" is not a digit
  EXPECT_EQ(makeCopyStrings(text, kLetterRun, 1, 1, 1, 3, strings), 0);  // "1" is not a letter
  EXPECT_EQ(makeCopyStrings(text, kDigitRun, 1, 2, 1, 0, strings), 0);
  EXPECT_EQ(makeCopyStrings(text, kDigitRun, 1, 2, 1, -4, strings), 0);
  EXPECT_TRUE(strings.isEmpty());
}

// A list kept across calls (as through a drag) must hold, after every call, exactly what a fresh
// list would: through counts that grow, shrink and grow again, runs that end below zero, numbers
// that gain digits past the copies already made, and every change of text, run, kind or step.
TEST(CopyStringList, EveryCallGivesWhatAFreshListWould) {
  struct Call {
    const char* text;
    int kind, runStart, runEnd;
    std::int64_t step;
    int count;
  };
  const Call calls[] = {
      {"Pos. 007-A", kDigitRun, 5, 7, 3, 4},
      {"Pos. 007-A", kDigitRun, 5, 7, 3, 9},
      {"Pos. 007-A", kDigitRun, 5, 7, 3, 2},
      {"Pos. 007-A", kDigitRun, 5, 7, 3, 6},
      {"Pos. 007-A", kDigitRun, 5, 7, 3, 6},
      {"Pos. 007-A", kDigitRun, 5, 7, 4, 6},  // step
      {"x98y", kDigitRun, 1, 2, 1, 1},
      {"x98y", kDigitRun, 1, 2, 1, 5},  // 99, 100...
      {"x98y", kDigitRun, 1, 2, 1, 3},
      {"x98y", kDigitRun, 1, 2, 1, 1000},
      {"B9", kDigitRun, 1, 1, -4, 1},
      {"B9", kDigitRun, 1, 1, -4, 5},  // 5, 1, then none
      {"B9", kDigitRun, 1, 1, -4, 8},
      {"B9", kDigitRun, 1, 1, -4, 1},
      {"B9", kDigitRun, 1, 1, -4, 4},
      {"B8", kDigitRun, 1, 1, -4, 4},  // text
      {"B8", kDigitRun, 1, 1, -4, 0},
      {"B8", kDigitRun, 1, 1, -4, 4},
      {"a1b2", kDigitRun, 1, 1, 1, 3},
      {"a1b2", kDigitRun, 3, 3, 1, 3},  // run
      {"a1b2", kLetterRun, 2, 2, 1, 3},
      {"a1b2", kLetterRun, 2, 2, 1, 30},  // kind
      {"a1b2", kLetterRun, 2, 2, -1, 30},
      {"a1b2", kNotCountable, 2, 2, -1, 30},
      {"a1b2", kLetterRun, 2, 2, -1, 2},
      {"9", kDigitRun, 0, 0, INT64_MIN, 3},
      {"9223372036854775808", kDigitRun, 0, 18, INT64_MIN, 3},
  };
  CopyStringList list;
  ZcArray<ZcString> kept;
  for (const Call& c : calls) {
    ZcArray<ZcString> fresh;
    const ZcString text(c.text);
    const int expected = makeCopyStrings(text, c.kind, c.runStart, c.runEnd, c.step, c.count, fresh);
    ASSERT_EQ(list.make(text, c.kind, c.runStart, c.runEnd, c.step, c.count, kept), expected)
        << c.text << " " << c.count;
    ASSERT_EQ(kept.length(), fresh.length());
    for (int i = 0; i < fresh.length(); ++i) ASSERT_EQ(kept[i], fresh[i]) << c.text << " copy " << i + 1;
  }
  // Spot checks that the reference itself is right where the list's reuse matters most.
  ZcArray<ZcString> check;
  ASSERT_EQ(makeCopyStrings(ZcString("x98y"), kDigitRun, 1, 2, 1, 3, check), 3);
  EXPECT_EQ(utf8(check[2]), "x101y");
  ASSERT_EQ(makeCopyStrings(ZcString("B9"), kDigitRun, 1, 1, -4, 8, check), 2);
  EXPECT_EQ(utf8(check[1]), "B1");
}

}  // namespace

// The command's dialogue driven by scripted answers: mode line, option changes, cancels, the pick.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cctype>
#include <cwchar>

#include "command/increment_command.h"
#include "jig/message_catalogue.h"
#include "module_fixture.h"

// A host may hand back a keyword answer that the dialogue did not offer, or fail to fetch it. While
// `forcedInput` is set, zcedGetInput answers as such a host would; otherwise it is the host's own.
namespace {
bool forceInput = false;
int forcedResult = RTNORM;
const wchar_t* forcedKeyword = L"";
}  // namespace

int zcedGetInput(ZTCHAR* result, size_t bufferLength) {
  if (forceInput) {
    if (forcedResult == RTNORM && bufferLength > 0) {
      std::wcsncpy(result, forcedKeyword, bufferLength - 1);
      result[bufferLength - 1] = L'\0';
    }
    return forcedResult;
  }
  using Function = int (*)(ZTCHAR*, size_t);
  static auto host = reinterpret_cast<Function>(dlsym(RTLD_NEXT, "_Z12zcedGetInputPwm"));
  return host != nullptr ? host(result, bufferLength) : RTERROR;
}

namespace {

const std::string kFreeLine = "\nCurrent Mode: Increment method= free, increment = ";
const std::string kLineLine = "\nCurrent Mode: Increment method= line, increment = ";
const std::string kPolarLine = "\nCurrent Mode: Increment method= polar, increment = ";
const std::string kPickPrompt = "Specify number or letter [mode(O)]:";

class Dialogue : public ModuleFixture {
 protected:
  void TearDown() override {
    forceInput = false;
    ModuleFixture::TearDown();
  }
  size_t modeLines() const { return count(transcript(), "\nCurrent Mode: "); }
};

TEST_F(Dialogue, FirstModeLineShowsTheInitialSettings) {
  input("<esc>\n");
  TextPick pick = promptForText();
  EXPECT_FALSE(pick.picked);
  EXPECT_EQ(transcript().rfind(kFreeLine + "1", 0), 0u) << transcript();
  EXPECT_EQ(count(transcript(), kPickPrompt), 1u);
}

TEST_F(Dialogue, MethodChangeShowsTheModeLineAgainAndAsksForThePickAgain) {
  struct Case {
    const char* answer;
    int method;
    const std::string* line;
  };
  for (const Case& c : {Case{"L", kLine, &kLineLine}, Case{"P", kPolar, &kPolarLine}, Case{"F", kFree, &kFreeLine},
                        Case{"p", kPolar, &kPolarLine}}) {
    clearTranscript();
    incrementMethod = c.method == kFree ? kLine : kFree;
    input(std::string("O\nM\n") + c.answer + "\n<esc>\n");
    EXPECT_FALSE(promptForText().picked);
    EXPECT_EQ(incrementMethod, c.method) << c.answer;
    EXPECT_EQ(modeLines(), 2u) << c.answer;
    EXPECT_EQ(count(transcript(), kPickPrompt), 2u) << c.answer;
    std::string out = transcript();
    EXPECT_NE(out.find(*c.line + "1", out.find("Choose increment method")), std::string::npos) << out;
  }
}

TEST_F(Dialogue, IncrementChangePrintsMessage6WithoutAValue) {
  incrementValue = 42;
  input("O\nD\n-3\n<esc>\n");
  EXPECT_FALSE(promptForText().picked);
  EXPECT_EQ(incrementValue, -3);
  std::string out = transcript();
  size_t message = out.find("\nInput increment value:");
  ASSERT_NE(message, std::string::npos) << out;
  size_t answer = out.find("-3", message);
  ASSERT_NE(answer, std::string::npos);
  std::string between = out.substr(message, answer - message);
  for (char c : between) EXPECT_FALSE(std::isdigit(static_cast<unsigned char>(c))) << between;
  EXPECT_NE(out.find(kFreeLine + "-3", answer), std::string::npos) << out;
  EXPECT_NE(out.find("Modify increment mode [Method(M)/Increment(I)]:"), std::string::npos);
}

TEST_F(Dialogue, SeveralChangesInOneDialogueAllHold) {
  input("O\nM\nP\nO\nD\n0\nO\nD\n2147483647\n<esc>\n");
  EXPECT_FALSE(promptForText().picked);
  EXPECT_EQ(incrementMethod, kPolar);
  EXPECT_EQ(incrementValue, 2147483647);
  EXPECT_EQ(modeLines(), 4u);
  EXPECT_NE(transcript().find(kPolarLine + "0"), std::string::npos);
  EXPECT_NE(transcript().find(kPolarLine + "2147483647"), std::string::npos);
}

TEST_F(Dialogue, CancelAtAnyPromptEndsAndKeepsTheSettings) {
  for (const char* script : {"<esc>\n", "O\n<esc>\n", "O\nM\n<esc>\n", "O\nD\n<esc>\n", "O\nD\n1.5\n<esc>\n",
                             "O\nM\nX\n<esc>\n", "5000,5000\n"}) {
    clearTranscript();
    incrementMethod = kPolar;
    incrementValue = 5;
    input(script);
    EXPECT_FALSE(promptForText().picked) << script;
    EXPECT_EQ(incrementMethod, kPolar) << script;
    EXPECT_EQ(incrementValue, 5) << script;
    EXPECT_EQ(modeLines(), 1u) << script << transcript();
  }
}

TEST_F(Dialogue, EmptyAnswerAtThePickPromptIsRefusedNotTakenAsTheEnd) {
  input("\nO\nD\n9\n<esc>\n");
  EXPECT_FALSE(promptForText().picked);
  EXPECT_EQ(incrementValue, 9);
  EXPECT_GE(count(transcript(), kPickPrompt), 3u);
}

TEST_F(Dialogue, KeywordOtherThanTheOptionLeadsBackToTheModeLine) {
  incrementValue = 8;
  forceInput = true;
  forcedKeyword = L"X";
  forcedResult = RTNORM;
  input("O\n<esc>\n");
  EXPECT_FALSE(promptForText().picked);
  EXPECT_EQ(modeLines(), 2u) << transcript();
  EXPECT_EQ(transcript().find("Modify increment mode"), std::string::npos);

  // A keyword that cannot be fetched does the same.
  clearTranscript();
  forcedResult = RTERROR;
  input("O\n<esc>\n");
  EXPECT_FALSE(promptForText().picked);
  EXPECT_EQ(modeLines(), 2u);
  EXPECT_EQ(incrementValue, 8);
}

TEST_F(Dialogue, PickReturnsTheEntityAndThePoint) {
  ZcDbObjectId id = addText(L"A12", ZcGePoint3d(10, 20, 0));
  input("O\nD\n5\n11,21\n");
  TextPick pick = promptForText();
  ASSERT_TRUE(pick.picked) << transcript();
  ZcDbObjectId picked;
  ASSERT_EQ(zcdbGetObjectId(picked, pick.entName), Zcad::eOk);
  EXPECT_EQ(picked, id);
  EXPECT_DOUBLE_EQ(pick.clickPt[0], 11);
  EXPECT_DOUBLE_EQ(pick.clickPt[1], 21);
  EXPECT_EQ(incrementValue, 5);
}

class Language : public Dialogue, public ::testing::WithParamInterface<const char*> {};

TEST_P(Language, EnglishForEveryValueButZhCN) {
  zrxhost::Session::instance().setSysVar("VERLAN", GetParam());
  input("<esc>\n");
  incrementCommand();
  EXPECT_EQ(activeCatalogue, nullptr);
  EXPECT_EQ(transcript().rfind(kFreeLine + "1", 0), 0u) << transcript();
}

INSTANTIATE_TEST_SUITE_P(Values, Language, ::testing::Values("en-US", "zh-cn", "zh-TW", "", "de-DE"));

TEST_F(Dialogue, ChineseUnderZhCN) {
  zrxhost::Session::instance().setSysVar("VERLAN", "zh-CN");
  input("O\nD\n3\n<esc>\n");
  incrementCommand();
  std::string out = transcript();
  EXPECT_EQ(out.rfind("\n当前模式：递增方式=自由，递增增量 = 1", 0), 0u) << out;
  EXPECT_NE(out.find("\n输入递增增量值："), std::string::npos);
  EXPECT_NE(out.find("\n当前模式：递增方式=自由，递增增量 = 3"), std::string::npos);
  EXPECT_EQ(out.find("Current Mode"), std::string::npos);
  EXPECT_EQ(activeCatalogue, nullptr);
}

TEST_F(Dialogue, SettingsOutliveTheRunAndTheLanguageIsChosenAgain) {
  input("O\nM\nL\nO\nD\n-3\n<esc>\n");
  incrementCommand();
  clearTranscript();
  zrxhost::Session::instance().setSysVar("VERLAN", "zh-CN");
  input("<esc>\n");
  incrementCommand();
  EXPECT_EQ(transcript().rfind("\n当前模式：递增方式=直线，递增增量 = -3", 0), 0u) << transcript();
}

}  // namespace

// The host services below the editor: messages and FONTALT reach the installed services, or plain ones.
#include "zrxhost/services.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "zrx/ed.h"
#include "zrx/rx.h"
#include "zrxhost/fonts.h"
#include "zrxhost/session.h"

namespace {

class RecordingServices final : public zrxhost::HostServices {
 public:
  void print(const std::string& utf8) override { printed += utf8; }
  std::optional<std::string> sysVar(const std::string& name) const override {
    if (name == "FONTALT") return fontAlt;
    return std::nullopt;
  }
  std::string printed;
  std::string fontAlt = "DejaVu Serif";
};

// Puts back the services that were in use and the session's FONTALT, so that the tests after these
// keep the editor behind the lower layers and the font they expect.
class ServicesSwap : public ::testing::Test {
 protected:
  void SetUp() override { mFontAlt = zrxhost::Session::instance().sysVar("FONTALT").value_or(""); }
  void TearDown() override {
    zrxhost::setHostServices(mEditor);
    zrxhost::Session::instance().setSysVar("FONTALT", mFontAlt);
  }
  void install(zrxhost::HostServices* services) {
    zrxhost::HostServices* previous = zrxhost::setHostServices(services);
    if (!mEditor) mEditor = previous;
  }
  zrxhost::HostServices* mEditor = nullptr;
  std::string mFontAlt;
};

TEST(HostServices, TheEditorIsBehindTheLowerLayersFromTheStart) {
  // Set up as the library loads, not by initializeHost: programs that never start an editor rely on it.
  EXPECT_NE(ZcEdCommandStack::cast(zcrxSysRegistry()->at(L"ZCAD_REGISTERED_COMMANDS")), nullptr);
  zrxhost::Session& session = zrxhost::Session::instance();
  std::ostringstream out;
  session.setTranscript(&out);
  zcutPrintf(L"%d texts", 3);
  session.setTranscript(nullptr);
  EXPECT_EQ(out.str(), "3 texts");
}

TEST_F(ServicesSwap, PrintingAndFontaltGoThroughTheInstalledServices) {
  RecordingServices services;
  install(&services);
  zrxhost::Session& session = zrxhost::Session::instance();
  std::ostringstream transcript;
  session.setTranscript(&transcript);
  ASSERT_TRUE(session.setSysVar("FONTALT", "DejaVu Sans"));

  EXPECT_EQ(zcutPrintf(L"\u589E\u91CF %d", 2), 4);
  EXPECT_EQ(services.printed, "\xE5\xA2\x9E\xE9\x87\x8F 2");
  EXPECT_EQ(zrxhost::fontFor("txt").familyName(), "DejaVu Serif");
  services.fontAlt = "DejaVu Sans Mono";
  EXPECT_EQ(zrxhost::fontFor("romans.shx").familyName(), "DejaVu Sans Mono");
  // The session is bypassed: the services alone decide.
  EXPECT_EQ(transcript.str(), "");
  session.setTranscript(nullptr);
}

TEST_F(ServicesSwap, WithoutServicesMessagesGoToStandardOutputAndNoVariableIsSet) {
  install(nullptr);
  EXPECT_EQ(zrxhost::hostServices().sysVar("FONTALT"), std::nullopt);
  ::testing::internal::CaptureStdout();
  zcutPrintf(L"%s", L"plain");
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "plain");
  // The default substitute, whatever the session's FONTALT says.
  ASSERT_TRUE(zrxhost::Session::instance().setSysVar("FONTALT", "DejaVu Serif"));
  EXPECT_EQ(zrxhost::fontFor("txt").familyName(), "DejaVu Sans");
}

}  // namespace

// The headless host's message boxes, display, password services and process.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "hosts/common/json_trace.hpp"
#include "hosts/common/player_options.hpp"
#include "hosts/common/player_process.hpp"
#include "hosts/common/scripted_password.hpp"
#include "hosts/common/traced_password.hpp"
#include "hosts/headless/display.hpp"
#include "hosts/headless/event_loop.hpp"
#include "hosts/headless/message_boxes.hpp"
#include "platform/paths.hpp"
#include "system/win_os.hpp"

namespace vistel {
namespace {

using nlohmann::json;

struct TraceCapture {
  VirtualClock clock;
  std::vector<json> events;
  JsonTrace trace{clock, [this](std::string_view line) { events.push_back(json::parse(line)); }};
};

TEST(HeadlessMessageBoxes, RecordsTracesInUtf8AndAnswersOk) {
  TraceCapture capture;
  capture.clock.AdvanceTo(42);
  HeadlessMessageBoxes boxes(capture.trace);
  // Windows-1252 text as the core passes it: e-acute, euro sign, quotes.
  EXPECT_EQ(boxes.Show("Caf\xE9 \x80 \"x\"", kMbExclamationAlert, ""), kIdOk);
  EXPECT_EQ(boxes.Show("Overflow", kMbOk, "MyShow Error"), kIdOk);

  ASSERT_EQ(capture.events.size(), 2U);
  EXPECT_EQ(capture.events[0],
            json::parse(R"({"t":42,"ev":"msgbox","text":"Café € \"x\"","style":69680,)"
                        R"("title":"Vistel Screen Saver"})"));
  EXPECT_EQ(capture.events[1]["title"], "MyShow Error");
  EXPECT_EQ(capture.events[1]["style"], 0);

  ASSERT_EQ(boxes.History().size(), 2U);
  EXPECT_EQ(boxes.History()[0].text, "Caf\xE9 \x80 \"x\"") << "recorded as the core passed it";
  EXPECT_EQ(boxes.History()[0].title, kApplicationTitle);
  EXPECT_EQ(boxes.History()[0].style, 0x11030U);
}

TEST(HeadlessDisplay, ScreenIsFifteenTwipsPerPixel) {
  HeadlessDisplay display({800, 600}, {});
  EXPECT_EQ(display.ScreenSizeTwips(), (FloatSize{12000.0F, 9000.0F}));
  EXPECT_EQ(display.ScreenTwipsPerPixel(), (TwipsPerPixel{15.0F, 15.0F}));
}

TEST(HeadlessDisplay, CursorCounterStartsAtZeroAndMovesByOne) {
  HeadlessDisplay display({800, 600}, {});
  EXPECT_EQ(display.CursorCounter(), 0);
  // Hiding until the counter is -6 or less takes six calls from 0.
  int calls = 0;
  while (display.ShowCursor(false) >= -5) ++calls;
  EXPECT_EQ(calls + 1, 6);
  EXPECT_EQ(display.CursorCounter(), -6);
  EXPECT_EQ(display.ShowCursor(true), -5);
}

TEST(HeadlessDisplay, ForeignWindowsExistWithTheirClientSize) {
  const ForeignWindowOption windows[] = {{4660, {152, 112}}, {0x10000, {200, 100}}};
  HeadlessDisplay display({800, 600}, windows);
  EXPECT_TRUE(display.IsWindow(4660));
  EXPECT_FALSE(display.IsWindow(4661));
  EXPECT_FALSE(display.IsWindow(0));
  EXPECT_EQ(display.ClientRect(4660), (IntRect{0, 0, 152, 112}));
  EXPECT_FALSE(display.ClientRect(1).has_value());
  EXPECT_FALSE(display.FindWindow("", "").has_value()) << "foreign windows are not searched";

  // A window of the host never takes a foreign window's handle.
  const WindowHandle show = display.RegisterWindow("ThunderRT6FormDC", "", {800, 600});
  EXPECT_NE(show, 4660U);
  EXPECT_NE(show, 0x10000U);
  EXPECT_TRUE(display.IsWindow(show));
}

TEST(HeadlessDisplay, FindWindowSeesRegisteredWindowsByClassAndTitle) {
  HeadlessDisplay display({800, 600}, {});
  const WindowHandle show = display.RegisterWindow("ThunderRT6FormDC", "", {800, 600});
  EXPECT_FALSE(display.FindWindow("ThunderRT6FormDC", "Vistel Screen Saver").has_value())
      << "the caption is set only by the load handler";
  display.SetWindowTitle(show, "Vistel Screen Saver");
  EXPECT_EQ(display.FindWindow("ThunderRT6FormDC", "Vistel Screen Saver"), show);
  EXPECT_EQ(display.FindWindow("thunderrt6formdc", "VISTEL SCREEN SAVER"), show)
      << "class names and titles compare without case, as FindWindowA does";
  EXPECT_FALSE(display.FindWindow("ThunderRT6Form", "Vistel Screen Saver").has_value());

  display.SetClientSize(show, {640, 480});
  EXPECT_EQ(display.ClientRect(show), (IntRect{0, 0, 640, 480}));
  display.UnregisterWindow(show);
  EXPECT_FALSE(display.IsWindow(show));
  EXPECT_FALSE(display.FindWindow("ThunderRT6FormDC", "Vistel Screen Saver").has_value());
}

TEST(ScriptedPassword, RepliesInOrderThenAlwaysGiven) {
  ScriptedPassword password({false, false, true, false});
  std::vector<bool> answers;
  for (int i = 0; i < 6; ++i) answers.push_back(password.VerifyScreenSavePwd(77));
  EXPECT_EQ(answers, (std::vector<bool>{false, false, true, false, true, true}));
  EXPECT_EQ(password.VerifyCalls(), std::vector<WindowHandle>(6, 77));
}

TEST(ScriptedPassword, NoRepliesMeansGivenAndCallsAreRecorded) {
  ScriptedPassword password({});
  EXPECT_TRUE(password.VerifyScreenSavePwd(1));
  password.PwdChangePassword(4660);
  EXPECT_EQ(password.ChangeCalls(), std::vector<WindowHandle>{4660});
  EXPECT_FALSE(password.ScreenSaverRunning());
  password.SetScreenSaverRunning(true);
  EXPECT_TRUE(password.ScreenSaverRunning());
  password.SetScreenSaverRunning(false);
  EXPECT_EQ(password.RunningHistory(), (std::vector<bool>{true, false}));
}

// The trace tells each call with the answer the services behind it gave,
// whichever services they are.
TEST(TracedPassword, PassesEveryCallOnAndTracesItsAnswer) {
  TraceCapture capture;
  capture.clock.AdvanceTo(5);
  ScriptedPassword inner({false, true});
  TracedPassword password(inner, capture.trace);
  EXPECT_FALSE(password.VerifyScreenSavePwd(77));
  EXPECT_TRUE(password.VerifyScreenSavePwd(0x1'0000'0001));
  password.PwdChangePassword(4660);
  password.SetScreenSaverRunning(true);
  password.SetScreenSaverRunning(false);

  EXPECT_EQ(inner.VerifyCalls(), (std::vector<WindowHandle>{77, 0x1'0000'0001}));
  EXPECT_EQ(inner.ChangeCalls(), std::vector<WindowHandle>{4660});
  EXPECT_EQ(inner.RunningHistory(), (std::vector<bool>{true, false}));
  const char* const expected[] = {
      R"({"t":5,"ev":"password","op":"verify","parent":77,"given":false})",
      R"({"t":5,"ev":"password","op":"verify","parent":4294967297,"given":true})",
      R"({"t":5,"ev":"password","op":"change","parent":4660})",
      R"({"t":5,"ev":"password","op":"running","running":true})",
      R"({"t":5,"ev":"password","op":"running","running":false})"};
  ASSERT_EQ(capture.events.size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(capture.events[i], json::parse(expected[i])) << "event " << i;
  }
}

TEST(PlayerProcess, FolderAndBaseNameOfThePlayersFile) {
  PlayerProcess process("/opt/savers/My.Show.scr");
  EXPECT_EQ(process.AppFolder(), "/opt/savers");
  EXPECT_EQ(process.ExeBaseName(), "My.Show");
  EXPECT_EQ(process.PathSeparator(), kPathSeparator);
  EXPECT_EQ(PlayerProcess("/vistel-player").AppFolder(), "/");
  EXPECT_EQ(PlayerProcess("/bin/.hidden").ExeBaseName(), ".hidden");
  EXPECT_EQ(PlayerProcess("/bin/saver").ExeBaseName(), "saver");
}

TEST(PlayerProcess, EndProcessUnwindsWithTheExitCode) {
  PlayerProcess process("/x/saver.scr");
  ProcessControl& control = process;
  EXPECT_FALSE(process.EndedWith());
  try {
    control.EndProcess(1);
    FAIL() << "EndProcess returned";
  } catch (const ProcessEnded& ended) {
    EXPECT_EQ(ended.exitCode, 1);
  }
  EXPECT_EQ(process.EndedWith(), 1);
}

TEST(FixedOsVersion, AnswersTheChosenRecordEveryTime) {
  FixedOsVersion os(VersionRecordOf(OsChoice::Windows98));
  EXPECT_EQ(os.GetVersionEx().minorVersion, 10U);
  EXPECT_EQ(os.GetVersionEx().platformId, kPlatformWindows9x);
}

}  // namespace
}  // namespace vistel

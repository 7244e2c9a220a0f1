#include "music/music_module.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>

#include "hosts/headless/event_loop.hpp"
#include "music_test_support.hpp"
#include "platform/native_files.hpp"
#include "runtime/trace.hpp"

namespace vistel {
namespace {

using testing::RecordingMci;
using testing::RecordingMessages;
using testing::ScratchFolder;
using testing::SentCommand;
using testing::ShownBox;

constexpr std::string_view kSong = "\"C:\\m\\song.mp3\"";

class MusicModuleTest : public ::testing::Test {
 protected:
  MusicModuleTest() : loop(clock, trace), files(MakeNativeFileSystem()) {}

  std::unique_ptr<MusicModule> MakeModule() {
    return std::make_unique<MusicModule>(
        MusicModule::Services{mci, messages, *files, loop, [this] { loop.AdvanceBy(10); }});
  }
  // A module whose FileName is already the quoted path, with nothing sent yet.
  std::unique_ptr<MusicModule> MakeOpenModule() {
    auto module = MakeModule();
    module->SetFileName(kSong);
    return module;
  }
  static std::string Cmd(std::string_view verb, std::string_view rest = "") {
    return std::string(verb) + std::string(kSong) + std::string(rest);
  }
  ShownBox ErrorBox(ErrorCode code) const {
    return {DescribeError(code), kMbOk, std::string(kMusicErrorTitle)};
  }

  VirtualClock clock;
  NullTrace trace;
  HeadlessEventLoop loop;
  std::unique_ptr<FileSystem> files;
  RecordingMci mci;
  RecordingMessages messages;
};

TEST_F(MusicModuleTest, PlayClosesTheUnquotedNameThenOpensAndPlaysTheTrimmedQuotedOne) {
  auto module = MakeModule();
  module->SetFileName("  C:\\m\\my song.mp3 ");
  module->Play();
  EXPECT_EQ(module->FileName(), "\"C:\\m\\my song.mp3\"");
  const std::vector<SentCommand> expected = {{"close   C:\\m\\my song.mp3 ", 0},
                                             {"open \"C:\\m\\my song.mp3\"", 0},
                                             {"play \"C:\\m\\my song.mp3\"", 0}};
  EXPECT_EQ(mci.sent, expected);
}

TEST_F(MusicModuleTest, PlayTwiceQuotesTheQuotedNameAgainAndAnEmptyNameBecomesTwoQuotes) {
  auto module = MakeModule();
  module->SetFileName("a.wav");
  module->Play();
  module->Play();
  EXPECT_EQ(module->FileName(), "\"\"a.wav\"\"");
  ASSERT_EQ(mci.sent.size(), 6u);
  EXPECT_EQ(mci.sent[3].command, "close \"a.wav\"");
  EXPECT_EQ(mci.sent[4].command, "open \"\"a.wav\"\"");

  auto empty = MakeModule();
  mci.sent.clear();
  empty->Play();
  EXPECT_EQ(empty->FileName(), "\"\"");
  const std::vector<SentCommand> expected = {{"close ", 0}, {"open \"\"", 0}, {"play \"\"", 0}};
  EXPECT_EQ(mci.sent, expected);
  EXPECT_TRUE(messages.shown.empty()) << "MCI failures are not errors";
}

TEST_F(MusicModuleTest, SimpleCommandsUseTheQuotedNameWithoutReplyArea) {
  auto module = MakeOpenModule();
  module->StopPlay();
  module->Pause();
  module->ResumePlay();
  const std::vector<SentCommand> expected = {
      {Cmd("close "), 0}, {Cmd("stop "), 0}, {Cmd("play "), 0}};
  EXPECT_EQ(mci.sent, expected);
}

TEST_F(MusicModuleTest, PositionQueriesSetMillisecondsAndReadAFailedQueryAsZero) {
  auto module = MakeOpenModule();
  EXPECT_EQ(module->PositioninMS(), 0) << "a new instance's buffer reads 0";
  mci.Succeed(Cmd("status ", " position"), "5400");
  EXPECT_EQ(module->PositioninMS(), 5400);
  mci.FailNext(Cmd("status ", " position"));
  EXPECT_EQ(module->PositioninMS(), 0) << "MCI cleared the area: no earlier reply is read again";
  mci.Succeed(Cmd("status ", " position"), "6999");
  EXPECT_EQ(module->PositioninSec(), 6) << "seconds truncate";
  mci.Succeed(Cmd("status ", " position"), "");
  EXPECT_EQ(module->PositioninMS(), 0) << "a successful empty reply replaces the buffer";

  const SentCommand set{Cmd("set ", " time format milliseconds"), 0};
  const SentCommand status{Cmd("status ", " position"), kPositionReplySize};
  ASSERT_EQ(mci.sent.size(), 10u);
  for (std::size_t i = 0; i < mci.sent.size(); i += 2) {
    EXPECT_EQ(mci.sent[i], set) << "command " << i;
    EXPECT_EQ(mci.sent[i + 1], status) << "command " << i + 1;
  }
}

TEST_F(MusicModuleTest, DurationReadsAFreshBufferEachTime) {
  auto module = MakeOpenModule();
  mci.Succeed(Cmd("status ", " length"), "5400");
  EXPECT_EQ(module->DurationInMS(), 5400);
  mci.FailNext(Cmd("status ", " length"));
  EXPECT_EQ(module->DurationInMS(), 0) << "no earlier reply survives in a fresh buffer";
  mci.Succeed(Cmd("status ", " length"), "1999");
  EXPECT_EQ(module->DurationInSec(), 1);
  const SentCommand status{Cmd("status ", " length"), kLengthReplySize};
  EXPECT_EQ(mci.sent, std::vector<SentCommand>(3, status));
}

TEST_F(MusicModuleTest, RepliesReadAsTheirLeadingNumberRoundedHalfToEven) {
  auto module = MakeOpenModule();
  const std::string length = Cmd("status ", " length");
  mci.Succeed(length, "1234.5");
  EXPECT_EQ(module->DurationInMS(), 1234);
  mci.Succeed(length, "1235.5 ms");
  EXPECT_EQ(module->DurationInMS(), 1236);
  mci.Succeed(length, "stopped");
  EXPECT_EQ(module->DurationInMS(), 0);
  EXPECT_TRUE(messages.shown.empty());
  // Beyond 32 bits: the query's own trap reports the overflow and gives 0.
  mci.Succeed(length, "99999999999");
  EXPECT_EQ(module->DurationInMS(), 0);
  EXPECT_EQ(messages.shown, std::vector<ShownBox>{ErrorBox(ErrorCode::Overflow)});
}

TEST_F(MusicModuleTest, EndOfSongComparesMillisecondsWithBothNonZero) {
  struct Case {
    const char* position;
    const char* length;
    bool ended;
  };
  // 5000 of 5400 ms was "ended" when whole seconds were compared, and a
  // 400 ms track never ended.
  const Case cases[] = {{"0", "5400", false},    {"5400", "0", false},   {"5000", "5400", false},
                        {"5399", "5400", false}, {"5400", "5400", true}, {"5600", "5400", true},
                        {"400", "400", true},    {"399", "400", false}};
  for (const Case& c : cases) {
    auto module = MakeOpenModule();
    mci.sent.clear();
    mci.Succeed(Cmd("status ", " position"), c.position);
    mci.Succeed(Cmd("status ", " length"), c.length);
    EXPECT_EQ(module->EndOfSong(), c.ended) << c.position << " of " << c.length << " ms";
    const std::vector<SentCommand> expected = {{Cmd("set ", " time format milliseconds"), 0},
                                               {Cmd("status ", " position"), kPositionReplySize},
                                               {Cmd("status ", " length"), kLengthReplySize}};
    EXPECT_EQ(mci.sent, expected);
  }
}

TEST_F(MusicModuleTest, EndOfSongIsFalseWithNoDeviceOpen) {
  auto module = MakeModule();
  mci.FailNext("status  position");
  mci.FailNext("status  length");
  EXPECT_FALSE(module->EndOfSong());
}

TEST_F(MusicModuleTest, FormatDurationSendsThreeCommandsAndFormatsHoursMinutesSeconds) {
  struct Case {
    const char* ms;
    const char* text;
  };
  const Case cases[] = {{"0", "0:00"},
                        {"59499", "0:59"},
                        {"59500", "1:00"},
                        {"60500", "1:00"},
                        {"61500", "1:02"},
                        {"65000", "1:05"},
                        {"9000", "0:09"},
                        {"3600000", "1:0:00"},
                        {"3725000", "1:2:05"},
                        {"4330000", "1:12:10"},
                        {"-5000", "0:00"},
                        {"-61000", "0:00"},
                        {"2147483647", "596:31:24"}};
  for (const Case& c : cases) {
    auto module = MakeOpenModule();
    mci.sent.clear();
    mci.Succeed(Cmd("status ", " length"), c.ms);
    EXPECT_EQ(module->FormatDuration(), c.text) << c.ms << " ms";
    const std::vector<SentCommand> expected = {{Cmd("set ", " time format ms"), kLengthReplySize},
                                               {Cmd("status ", " length"), kLengthReplySize},
                                               {Cmd("set ", " time format frames"), 0}};
    EXPECT_EQ(mci.sent, expected);
  }
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(MusicModuleTest, FormatDurationReadsTheSetReplyWhenTheLengthQueryFails) {
  auto module = MakeOpenModule();
  mci.Succeed(Cmd("set ", " time format ms"), "");
  mci.FailNext(Cmd("status ", " length"));
  EXPECT_EQ(module->FormatDuration(), "0:00");
}

TEST_F(MusicModuleTest, FormatPositionGivesMinutesWithoutHours) {
  struct Case {
    const char* ms;
    const char* text;
  };
  const Case cases[] = {{"999", "0:00"},   {"5000", "0:05"},     {"59999", "0:59"},
                        {"60000", "1:00"}, {"3725000", "62:05"}, {"-1000", "0:-01"}};
  for (const Case& c : cases) {
    auto module = MakeOpenModule();
    mci.sent.clear();
    mci.Succeed(Cmd("status ", " position"), "777000");  // the second buffer's reply, unused
    mci.Succeed(Cmd("status ", " position"), c.ms);
    EXPECT_EQ(module->FormatPosition(), c.text) << c.ms << " ms";
    const SentCommand set{Cmd("set ", " time format milliseconds"), 0};
    const SentCommand status{Cmd("status ", " position"), kPositionReplySize};
    EXPECT_EQ(mci.sent, (std::vector<SentCommand>{set, status, set, status}));
  }
}

TEST_F(MusicModuleTest, ChangePositionPlaysFromOrSeeksToTheMillisecondsLeftInTheCaller) {
  auto module = MakeOpenModule();
  const SentCommand mode{Cmd("status ", " mode"), 0};

  std::int32_t second = 5;
  module->ChangePosition(second);
  EXPECT_EQ(second, 5000);
  EXPECT_EQ(mci.sent, (std::vector<SentCommand>{mode, {Cmd("play ", " from 5000"), 0}, mode}));

  mci.sent.clear();
  mci.FailNext(Cmd("status ", " mode"));
  mci.FailNext(Cmd("status ", " mode"));
  std::int32_t negative = -2;
  module->ChangePosition(negative);
  EXPECT_EQ(negative, -2000);
  EXPECT_EQ(mci.sent, (std::vector<SentCommand>{mode, mode, {Cmd("seek ", " to -2000"), 0}}));
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(MusicModuleTest, ChangePositionOverflowIsReportedAndLeavesTheVariable) {
  auto module = MakeOpenModule();
  std::int32_t second = 2147484;  // * 1000 is past 2^31 - 1
  module->ChangePosition(second);
  EXPECT_EQ(second, 2147484);
  EXPECT_TRUE(mci.sent.empty());
  EXPECT_EQ(messages.shown, std::vector<ShownBox>{ErrorBox(ErrorCode::Overflow)});
}

TEST_F(MusicModuleTest, IsPlayingIsTheModeQuerysSuccessWhateverTheModeText) {
  auto module = MakeOpenModule();
  const std::string mode = Cmd("status ", " mode");
  mci.Succeed(mode, "stopped");
  EXPECT_TRUE(module->IsPlaying());
  mci.Succeed(mode, "paused");
  EXPECT_TRUE(module->IsPlaying());
  mci.FailNext(mode);
  EXPECT_FALSE(module->IsPlaying());
  mci.Script(mode, {277, "playing"});
  EXPECT_FALSE(module->IsPlaying());
  EXPECT_EQ(mci.sent, std::vector<SentCommand>(4, SentCommand{mode, 0}));
}

TEST_F(MusicModuleTest, TimeRemainingSubtractsPositionFromLengthAndTrapsOverflow) {
  auto module = MakeOpenModule();
  mci.Succeed(Cmd("status ", " length"), "65000");
  mci.Succeed(Cmd("status ", " position"), "3500");
  EXPECT_EQ(module->FormatTimeRemaining(), "1:02") << "61.5 s rounds to 62";
  EXPECT_EQ(mci.sent.front().command, Cmd("status ", " length")) << "length is asked first";

  mci.Succeed(Cmd("status ", " length"), "65000");
  mci.Succeed(Cmd("status ", " position"), "3500");
  EXPECT_EQ(module->TimeRemaininginSec(), 62);

  mci.Succeed(Cmd("status ", " length"), "2147483647");
  mci.Succeed(Cmd("status ", " position"), "-1");
  EXPECT_EQ(module->TimeRemaininginMS(), 0);
  EXPECT_EQ(messages.shown, std::vector<ShownBox>{ErrorBox(ErrorCode::Overflow)});
}

TEST_F(MusicModuleTest, PlaylistFilesRoundTripThroughAListControl) {
  ScratchFolder scratch;
  auto module = MakeModule();
  {
    std::ofstream out(scratch.Path("in.m3u"), std::ios::binary);
    out << "C:\\m\\one.mp3   \r\ntwo.wav\r\n\r\nthree  x \n";
  }
  StringListControl list;
  module->OpenPlaylist(scratch.Path("in.m3u"), list);
  EXPECT_EQ(list.Items(), (std::vector<std::string>{"C:\\m\\one.mp3", "two.wav", "", "three  x"}));

  module->SavePlaylist(scratch.Path("out.m3u"), list);
  std::ifstream in(scratch.Path("out.m3u"), std::ios::binary);
  std::stringstream written;
  written << in.rdbuf();
  EXPECT_EQ(written.str(), "C:\\m\\one.mp3\r\ntwo.wav\r\n\r\nthree  x\r\n");

  StringListControl untouched;
  module->OpenPlaylist("", untouched);
  EXPECT_TRUE(untouched.Items().empty());
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_TRUE(mci.sent.empty());
}

TEST_F(MusicModuleTest, PlaylistFileErrorsAreReportedByTheTrap) {
  ScratchFolder scratch;
  auto module = MakeModule();
  StringListControl list;
  const std::string missing = scratch.Path("missing.m3u");
  module->OpenPlaylist(missing, list);
  EXPECT_TRUE(list.Items().empty());
  const std::string expected = files->OpenRead(missing).error().description;
  EXPECT_EQ(messages.shown, (std::vector<ShownBox>{{expected, kMbOk, " Error"}}));

  messages.shown.clear();
  module->SavePlaylist(scratch.Path("no/such/folder/out.m3u"), list);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].title, " Error");
}

TEST_F(MusicModuleTest, ListNoCharAddsBareNamesAndNamesWithoutADotBecomeEmpty) {
  auto module = MakeModule();
  StringListControl source;
  for (const char* entry : {"C:\\m\\b.mp3", "b.mp3", "song", "C:\\x.y\\noext", "a.b.c"}) {
    ASSERT_TRUE(source.AddItem(entry));
  }
  StringListControl names;
  module->ListNoChar(names, source);
  EXPECT_EQ(names.Items(), (std::vector<std::string>{"b", "b", "", "", "a.b"}));
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(MusicModuleTest, ListSingleNoCharSelectsTheLastEntryAndShowsIt) {
  auto module = MakeModule();
  StringListControl source;
  ASSERT_TRUE(source.AddItem("first.wav"));
  ASSERT_TRUE(source.AddItem("C:\\m\\last.mid"));
  StringListControl names;
  module->ListSingleNoChar(names, source);
  EXPECT_EQ(source.Selected(), 1);
  EXPECT_EQ(names.Items(), std::vector<std::string>{"last"});
  EXPECT_EQ(messages.shown,
            (std::vector<ShownBox>{{"C:\\m\\last.mid", kMbOk, std::string(kApplicationTitle)}}));
}

// A list widget that refuses to give entries: the trap reports its error.
class RefusingList final : public ListControl {
 public:
  Status AddItem(std::string_view) override { return {}; }
  Result<std::int32_t> ListCount() override { return 2; }
  Result<std::string> List(std::int32_t) override { return Fail(ErrorCode::SubscriptOutOfRange); }
  Status SetListIndex(std::int32_t) override { return {}; }
  Result<std::string> Text() override { return std::string(); }
};

TEST_F(MusicModuleTest, ListWidgetFailuresAreReportedByTheTrap) {
  auto module = MakeModule();
  RefusingList refusing;
  StringListControl names;
  module->ListNoChar(names, refusing);
  EXPECT_TRUE(names.Items().empty());
  EXPECT_EQ(messages.shown, std::vector<ShownBox>{ErrorBox(ErrorCode::SubscriptOutOfRange)});
}

class RecordingWindows final : public WindowMessages {
 public:
  void ReleaseCapture() override { calls.push_back("ReleaseCapture"); }
  std::intptr_t SendMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                            std::intptr_t lParam) override {
    std::ostringstream call;
    call << "SendMessage " << window << " " << message << " " << wParam << " " << lParam;
    calls.push_back(call.str());
    return 0;
  }
  std::vector<std::string> calls;
};

TEST_F(MusicModuleTest, FormMoveReleasesTheCaptureThenSendsACaptionClick) {
  auto module = MakeModule();
  RecordingWindows windows;
  module->FormMove(windows, 0x1234);
  EXPECT_EQ(windows.calls,
            (std::vector<std::string>{"ReleaseCapture", "SendMessage 4660 161 2 0"}));
  EXPECT_TRUE(mci.sent.empty());
}

TEST_F(MusicModuleTest, TimeOutPumpsMessagesUntilTheDurationHasPassedOnTheHostClock) {
  auto module = MakeModule();
  int ticks = 0;
  auto timer = loop.CreateTimer("probe", [&] { ++ticks; });
  timer->SetInterval(100);
  timer->SetEnabled(true);
  module->TimeOut(0.25);
  EXPECT_GE(clock.NowMs(), 250);
  EXPECT_LT(clock.NowMs(), 260) << "the wait ends at the first pump past its duration";
  EXPECT_EQ(ticks, 2) << "timers fire while the wait pumps messages";

  const Milliseconds before = clock.NowMs();
  module->TimeOut(-1);
  module->TimeOut(0);
  EXPECT_EQ(clock.NowMs(), before) << "a wait of no time pumps nothing";
}

}  // namespace
}  // namespace vistel

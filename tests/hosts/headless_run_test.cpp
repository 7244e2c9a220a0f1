// One headless run from start to exit code, with stand-in start routines for
// the player: the three ways a run ends (the process ends, --run-for, idle),
// each writing the registry back and `exit`; snapshots and input on time,
// also in the middle of a transition's nested pumps.
#include "hosts/headless/headless_run.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>

#include "headless_test_support.hpp"

namespace vistel {
namespace {

using nlohmann::json;
using testing::EventsOf;
using testing::HostScratch;
using testing::RecordingInput;

struct RunFixture : ::testing::Test {
  HostScratch scratch{::testing::UnitTest::GetInstance()->current_test_info()->name()};
  PlayerOptions options;
  std::ostringstream errors;

  RunFixture() {
    options.tracePath = scratch.File("run.jsonl");
    options.registryPath = scratch.File("user.reg");
  }

  std::unique_ptr<HeadlessHost> Host() {
    auto host = HeadlessHost::Create(options, scratch.File("saver.scr"));
    EXPECT_TRUE(host) << (host ? "" : host.error().description);
    return host ? std::move(*host) : nullptr;
  }
  std::vector<json> Trace() const { return testing::ReadTraceFile(*options.tracePath); }

  // What a show does that the registry file must keep.
  static void WriteSetting(HeadlessHost& host) {
    RegKeyHandle key = 0;
    host.Registry().CreateKey(kHkeyCurrentUser, "Software\\Vistel", kKeyAllAccess, key);
    const std::uint8_t one[] = {1, 0, 0, 0};
    host.Registry().SetValue(key, "Ran", kRegDword, one);
    host.Registry().CloseKey(key);
  }
  bool RegistryKept() const {
    return testing::ReadText(*options.registryPath).find("\"Ran\"=dword:00000001") !=
           std::string::npos;
  }
};

TEST_F(RunFixture, RunForEndsAtOnceAndOnTimeInsideANestedTransition) {
  options.runForMs = 100;
  auto host = Host();
  ASSERT_NE(host, nullptr);
  int frames = 0;
  std::unique_ptr<Timer> timer;
  const int code = RunHeadless(
      *host, {options.runForMs, {}, {}},
      [&] {
        WriteSetting(*host);
        timer = host->Events().CreateTimer("timInterval", [&] {
          // A transition that would never end: frames pump the loop.
          while (true) {
            host->ShowWindow().AwaitNextFrame();
            ++frames;
          }
        });
        timer->SetInterval(32);
        timer->SetEnabled(true);
      },
      errors);

  EXPECT_EQ(code, 0);
  EXPECT_EQ(frames, 4) << "frames ending at 48, 64, 80 and 96; the next one stops at 100";
  EXPECT_EQ(host->Loop().NowMs(), 100) << "not at the end of the frame, 112";
  const auto trace = Trace();
  ASSERT_FALSE(trace.empty());
  EXPECT_EQ(trace.back(), json::parse(R"({"t":100,"ev":"exit","code":0,"reason":"run-for"})"));
  EXPECT_TRUE(RegistryKept());
  EXPECT_TRUE(errors.str().empty()) << errors.str();
}

TEST_F(RunFixture, ProcessEndAnywhereGivesItsCodeAndKeepsTheRegistry) {
  auto host = Host();
  ASSERT_NE(host, nullptr);
  std::unique_ptr<Timer> timer;
  const int code = RunHeadless(
      *host, {},
      [&] {
        WriteSetting(*host);
        timer = host->Events().CreateTimer("tmrEnd", [&] { host->Control().EndProcess(1); });
        timer->SetInterval(500);
        timer->SetEnabled(true);
      },
      errors);
  EXPECT_EQ(code, 1);
  const auto trace = Trace();
  ASSERT_FALSE(trace.empty());
  EXPECT_EQ(trace.back(), json::parse(R"({"t":500,"ev":"exit","code":1})"))
      << "the player's own end carries no reason";
  EXPECT_TRUE(RegistryKept());
}

TEST_F(RunFixture, ProcessEndDuringStartIsCaughtToo) {
  auto host = Host();
  ASSERT_NE(host, nullptr);
  bool loopRan = false;
  host->Loop().ScheduleAt(0, [&] { loopRan = true; });
  const int code = RunHeadless(
      *host, {},
      [&] {
        host->Messages().Show("Invalid package", kMbExclamationAlert, "");
        host->Control().EndProcess(1);
      },
      errors);
  EXPECT_EQ(code, 1);
  EXPECT_FALSE(loopRan) << "the loop never starts after the process ended";
  const auto trace = Trace();
  ASSERT_EQ(trace.size(), 2U);
  EXPECT_EQ(trace[0]["ev"], "msgbox");
  EXPECT_EQ(trace[1], json::parse(R"({"t":0,"ev":"exit","code":1})"));
  EXPECT_TRUE(std::filesystem::exists(*options.registryPath)) << "created at exit";
}

TEST_F(RunFixture, NothingLeftToHappenEndsWithZero) {
  auto host = Host();
  ASSERT_NE(host, nullptr);
  int ticks = 0;
  std::unique_ptr<Timer> timer;
  const int code = RunHeadless(
      *host, {},
      [&] {
        timer = host->Events().CreateTimer("tmrThree", [&] {
          if (++ticks == 3) timer->SetEnabled(false);
        });
        timer->SetInterval(1000);
        timer->SetEnabled(true);
      },
      errors);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(ticks, 3);
  const auto trace = Trace();
  ASSERT_FALSE(trace.empty());
  EXPECT_EQ(trace.back(), json::parse(R"({"t":3000,"ev":"exit","code":0,"reason":"idle"})"));
}

TEST_F(RunFixture, SnapshotsAndInputFallMidTransitionInOrder) {
  auto host = Host();
  ASSERT_NE(host, nullptr);
  RecordingInput input;
  Image picture(2, 2, MakePixel(0, 0, 0));
  HeadlessRunPlan plan;
  plan.runForMs = 200;
  plan.snapshots = {{40, scratch.File("shots/a.png")}, {40, scratch.File("shots/b.png")}};
  plan.input = {{40, KeyPressInput{27}}};

  const int code = RunHeadless(
      *host, plan,
      [&] {
        ShowWindowHost& window = host->ShowWindow();
        window.SetInput(&input);
        window.SetPainter([&picture]() -> const Image& { return picture; });
        window.SetWindowPos(InsertAfter::Topmost, 0, 0, 800, 600, kSwpShowWindow);
        // A transition started by Main itself: the picture brightens each frame.
        for (unsigned i = 1; i <= 5; ++i) {
          picture.At(0, 0) = MakePixel(i * 10, 0, 0);
          window.AwaitNextFrame();
        }
      },
      errors);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(input.calls, (std::vector<std::string>{"resized", "key 27"}));

  // The frame ending at 48 is the first pump at or after 40: the third frame.
  for (const char* name : {"shots/a.png", "shots/b.png"}) {
    auto shot = testing::ReadSnapshot(scratch.File(name));
    ASSERT_TRUE(shot) << name << ": " << shot.error().description;
    EXPECT_EQ(shot->At(0, 0), MakePixel(30, 0, 0)) << name;
  }
  const auto snapshots = EventsOf(Trace(), "snapshot");
  ASSERT_EQ(snapshots.size(), 2U);
  EXPECT_EQ(snapshots[0]["t"], 48);
  EXPECT_EQ(snapshots[0]["path"], scratch.File("shots/a.png"));
  EXPECT_EQ(snapshots[0]["width"], 2);
  EXPECT_EQ(Trace().back()["reason"], "run-for") << "the run went on to its end";
}

TEST_F(RunFixture, FailedSnapshotIsReportedAndTheRunGoesOn) {
  auto host = Host();
  ASSERT_NE(host, nullptr);
  testing::WriteText(scratch.File("blocker"), "a file where a folder should be");
  HeadlessRunPlan plan;
  plan.runForMs = 100;
  plan.snapshots = {{10, scratch.File("blocker/shot.png")}};
  EXPECT_EQ(RunHeadless(
                *host, plan, [] {}, errors),
            0);
  EXPECT_NE(errors.str().find("blocker/shot.png"), std::string::npos) << errors.str();
  const auto snapshots = EventsOf(Trace(), "snapshot");
  ASSERT_EQ(snapshots.size(), 1U);
  EXPECT_TRUE(snapshots[0].contains("error"));
  EXPECT_EQ(Trace().back()["reason"], "run-for");
}

TEST_F(RunFixture, SnapshotAfterTheEndIsNamedAsNotTaken) {
  auto host = Host();
  ASSERT_NE(host, nullptr);
  HeadlessRunPlan plan;
  plan.runForMs = 1000;
  plan.snapshots = {{500, scratch.File("early.png")}, {2500, scratch.File("late.png")}};
  EXPECT_EQ(RunHeadless(
                *host, plan, [] {}, errors),
            0);
  EXPECT_TRUE(std::filesystem::exists(scratch.File("early.png")));
  EXPECT_FALSE(std::filesystem::exists(scratch.File("late.png")));
  EXPECT_EQ(errors.str(), "vistel-player: snapshot " + scratch.File("late.png") +
                              " at 2.5 s not taken: the run ended at 1 s\n");
}

TEST_F(RunFixture, RegistryThatCannotBeWrittenTurnsSuccessIntoFailure) {
  // Under a plain file, where no folder can be made for it.
  testing::WriteText(scratch.File("not-a-folder"), "");
  options.registryPath = scratch.File("not-a-folder/user.reg");
  auto host = Host();
  ASSERT_NE(host, nullptr);
  const int code = RunHeadless(
      *host, {}, [&] { WriteSetting(*host); }, errors);
  EXPECT_EQ(code, 1) << "a run that lost what the show wrote must not report success";
  EXPECT_NE(errors.str().find("registry"), std::string::npos) << errors.str();
  EXPECT_EQ(Trace().back(), json::parse(R"({"t":0,"ev":"exit","code":1,"reason":"idle"})"));
}

TEST(HeadlessRunPlan, ReadsTheInputScriptAndKeepsTheTimes) {
  HostScratch scratch("plan");
  PlayerOptions options;
  options.runForMs = 1500;
  options.snapshots = {{250, "a.png"}};
  options.inputPath = scratch.File("input.jsonl");
  testing::WriteText(*options.inputPath,
                     "{\"t\":30,\"ev\":\"click\",\"button\":1,\"x\":5,\"y\":6}\n"
                     "{\"t\":10,\"ev\":\"key\",\"code\":13}\n");
  auto plan = PlanOf(options);
  ASSERT_TRUE(plan) << plan.error().description;
  EXPECT_EQ(plan->runForMs, 1500);
  EXPECT_EQ(plan->snapshots, options.snapshots);
  ASSERT_EQ(plan->input.size(), 2U);
  EXPECT_EQ(plan->input[0], (InputEvent{10, KeyPressInput{13}}));

  testing::WriteText(*options.inputPath, "{\"t\":1,\"ev\":\"jump\"}\n");
  plan = PlanOf(options);
  ASSERT_FALSE(plan);
  EXPECT_NE(plan.error().description.find("input.jsonl"), std::string::npos)
      << plan.error().description;
}

}  // namespace
}  // namespace vistel

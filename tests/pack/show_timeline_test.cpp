// The contact sheet's moments, read from traces as the player writes them: a
// snapshot must fall strictly inside a screen's rest (after its reveal,
// before the next step), or inside its transition, or not be taken at all.
#include "sheet/show_timeline.hpp"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "fuzz_findings.hpp"

namespace vistel::pack {
namespace {

struct MomentCase {
  const char* name;
  std::string trace;
  // Per step, in order: the rest moment and the transition moment (-1: none).
  std::vector<std::pair<Milliseconds, Milliseconds>> expected;
};

// Names the case in test listings instead of its bytes.
void PrintTo(const MomentCase& c, std::ostream* out) {
  *out << c.name;
}

std::string Line(const std::string& json) {
  return json + "\n";
}

class TimelineMoments : public ::testing::TestWithParam<MomentCase> {};

TEST_P(TimelineMoments, FallInsideTheRestAndTheTransition) {
  const MomentCase& c = GetParam();
  const auto timeline = ReadShowTimeline(c.trace);
  ASSERT_TRUE(timeline) << timeline.error().description;
  ASSERT_EQ(timeline->steps.size(), c.expected.size()) << "steps read from the trace";
  for (std::size_t i = 0; i < c.expected.size(); ++i) {
    const ScreenStep& step = timeline->steps[i];
    const auto rest = RestMoment(step);
    const auto transition = TransitionMoment(step, 16);
    EXPECT_EQ(rest.value_or(-1), c.expected[i].first) << "rest moment of step " << i;
    EXPECT_EQ(transition.value_or(-1), c.expected[i].second) << "transition moment of step " << i;
    if (rest) {
      EXPECT_GT(*rest, *step.revealMs) << "step " << i << ": a rest moment after the reveal";
      EXPECT_LT(*rest, step.endMs) << "step " << i << ": a rest moment before the next step";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Traces, TimelineMoments,
    ::testing::Values(
        // Plain first screen, then a paint effect of 1200 ms: rest moments one
        // second after the reveal (half the rest is longer), the effect's
        // middle; the plain repaint has no transition to picture.
        MomentCase{
            "PlainThenEffect",
            Line(R"({"t":0,"ev":"mode","mode":"s"})") + Line(R"({"t":0,"ev":"screen","index":0})") +
                Line(
                    R"({"t":0,"ev":"effect","code":1000,"settings":[0,1000,0,0,0,0,0,0,0,0,0,0,0,0]})") +
                Line(R"({"t":0,"ev":"reveal","index":0})") +
                Line(R"({"t":3000,"ev":"screen","index":1})") +
                Line(R"({"t":3000,"ev":"effect","code":2084,"settings":[1,1200]})") +
                Line(R"({"t":4200,"ev":"reveal","index":1})") +
                Line(R"({"t":7200,"ev":"screen","index":2})"),
            {{1000, -1}, {5200, 3600}, {-1, -1}}},
        // A cross-fade of 25 frames ends at `crossfade`; its middle lies 200 ms
        // before. The rest is short: its middle, not one second on.
        MomentCase{"CrossFadeAndShortRest",
                   Line(R"({"t":11400,"ev":"screen","index":3})") +
                       Line(R"({"t":11800,"ev":"crossfade","steps":24,"frames":25})") +
                       Line(R"({"t":11800,"ev":"effect","code":1000})") +
                       Line(R"({"t":11800,"ev":"reveal","index":3})") +
                       Line(R"({"t":12300,"ev":"screen","index":4})"),
                   {{12050, 11600}, {-1, -1}}},
        // No millisecond lies strictly inside a 1 ms rest; a 2 ms one has one.
        MomentCase{"RestsOfOneAndTwoMilliseconds",
                   Line(R"({"t":0,"ev":"screen","index":0})") +
                       Line(R"({"t":100,"ev":"reveal","index":0})") +
                       Line(R"({"t":101,"ev":"screen","index":1})") +
                       Line(R"({"t":101,"ev":"reveal","index":1})") +
                       Line(R"({"t":103,"ev":"screen","index":2})"),
                   {{-1, -1}, {102, -1}, {-1, -1}}},
        // The run ends mid-rest: the rest lasts to `exit`. A run that ends
        // mid-transition has no reveal, so no rest, and a reveal of another
        // screen is not this step's.
        MomentCase{"RunEndsInRestAndInTransition",
                   Line(R"({"t":0,"ev":"screen","index":0})") +
                       Line(R"({"t":0,"ev":"effect","code":5000})") +
                       Line(R"({"t":1000,"ev":"reveal","index":0})") +
                       Line(R"({"t":1600,"ev":"screen","index":1})") +
                       Line(R"({"t":1600,"ev":"effect","code":5000})") +
                       Line(R"({"t":1700,"ev":"reveal","index":7})") +
                       Line(R"({"t":2000,"ev":"exit","code":0,"reason":"run-for"})"),
                   {{1300, 500}, {-1, -1}}},
        // Times with fractions (a real-time trace) round to milliseconds;
        // lines that are no event, unknown events and fields of the wrong
        // type are passed over.
        MomentCase{"FractionsAndNoise",
                   Line("not json") + Line("[1,2]") + Line(R"({"t":"5","ev":"screen","index":9})") +
                       Line(R"({"t":-4,"ev":"screen","index":9})") +
                       Line(R"({"t":0.4,"ev":"screen","index":0})") +
                       Line(R"({"t":1,"ev":"whatever","index":3})") +
                       Line(R"({"t":2,"ev":"screen","index":"1"})") +
                       Line(R"({"t":10.6,"ev":"reveal","index":0})") +
                       Line(R"({"t":4010.4,"ev":"screen","index":1})"),
                   {{1011, -1}, {-1, -1}}}),
    [](const ::testing::TestParamInfo<MomentCase>& param) {
      return std::string(param.param.name);
    });

TEST(ShowTimeline, ReadsTheRunsEndAndRefusesATraceWithoutEvents) {
  const auto timeline =
      ReadShowTimeline(Line(R"({"t":0,"ev":"screen","index":0})") +
                       Line(R"({"t":0,"ev":"msgbox","text":"Invalid","style":16,"title":"x"})") +
                       Line(R"({"t":9000,"ev":"exit","code":1})"));
  ASSERT_TRUE(timeline);
  EXPECT_EQ(timeline->endMs, 9000);
  EXPECT_EQ(timeline->exitCode, 1);
  EXPECT_EQ(timeline->messages, std::vector<std::string>{"Invalid"});
  ASSERT_EQ(timeline->steps.size(), 1U);
  EXPECT_TRUE(timeline->steps[0].lastOfRun);
  EXPECT_EQ(timeline->steps[0].endMs, 9000);

  for (const std::string trace : {"", "\n\n", "garbage\n{\"ev\":\"screen\"}\n"}) {
    EXPECT_FALSE(ReadShowTimeline(trace)) << "a trace without events: '" << trace << "'";
  }
}

TEST(ShowTimeline, TimesThatGoBackCountAsTheLatestSoStepsNeverEndBeforeTheyStart) {
  // A trace whose time jumps back (cut and spliced, as fuzzing found), and a
  // small one: the second step starts "before" the first.
  const std::vector<std::string> traces = {
      ::vistel::testing::ReadFuzzFinding("show_timeline", "time-goes-back.jsonl"),
      Line(R"({"t":500,"ev":"screen","index":0})") + Line(R"({"t":600,"ev":"reveal","index":0})") +
          Line(R"({"t":100,"ev":"screen","index":1})") +
          Line(R"({"t":200,"ev":"reveal","index":1})") +
          Line(R"({"t":900,"ev":"screen","index":2})")};
  for (std::size_t n = 0; n < traces.size(); ++n) {
    const auto timeline = ReadShowTimeline(traces[n]);
    ASSERT_TRUE(timeline) << "trace " << n;
    Milliseconds previous = 0;
    for (const ScreenStep& step : timeline->steps) {
      EXPECT_GE(step.startMs, previous) << "trace " << n << ": steps out of order";
      EXPECT_GE(step.endMs, step.startMs) << "trace " << n << ": a step ends before it starts";
      if (const auto rest = RestMoment(step)) {
        EXPECT_TRUE(*rest > *step.revealMs && *rest < step.endMs) << "trace " << n;
      }
      previous = step.startMs;
    }
  }
  // The small trace: step 1 starts and is revealed at 600, and rests until 900.
  const auto small = ReadShowTimeline(traces[1]);
  ASSERT_EQ(small->steps.size(), 3U);
  EXPECT_EQ(small->steps[1].startMs, 600);
  EXPECT_EQ(RestMoment(small->steps[1]), std::optional<Milliseconds>(750));
}

TEST(StepOfEachScreen, PicturesTheFirstShowingThatRestsAndLeavesUnreachedScreensEmpty) {
  // Screen 0 first rests 1 ms (no moment), then properly; screen 2 comes
  // twice and its first showing counts; screen 9 is outside the package;
  // screen 1 never comes.
  const auto timeline = ReadShowTimeline(
      Line(R"({"t":0,"ev":"screen","index":0})") + Line(R"({"t":0,"ev":"reveal","index":0})") +
      Line(R"({"t":1,"ev":"screen","index":2})") + Line(R"({"t":5,"ev":"reveal","index":2})") +
      Line(R"({"t":900,"ev":"screen","index":9})") + Line(R"({"t":900,"ev":"reveal","index":9})") +
      Line(R"({"t":1000,"ev":"screen","index":0})") +
      Line(R"({"t":1000,"ev":"reveal","index":0})") +
      Line(R"({"t":2000,"ev":"screen","index":2})") +
      Line(R"({"t":2000,"ev":"reveal","index":2})") +
      Line(R"({"t":3000,"ev":"screen","index":3})") +
      Line(R"({"t":3000,"ev":"exit","code":0,"reason":"run-for"})"));
  ASSERT_TRUE(timeline);
  const auto chosen = StepOfEachScreen(*timeline, 4);
  ASSERT_EQ(chosen.size(), 4U);
  EXPECT_EQ(chosen[0], std::optional<std::size_t>(3)) << "screen 0: its second showing rests";
  EXPECT_EQ(chosen[1], std::nullopt) << "screen 1 never came";
  EXPECT_EQ(chosen[2], std::optional<std::size_t>(1)) << "screen 2: its first showing rests";
  EXPECT_EQ(chosen[3], std::optional<std::size_t>(5)) << "screen 3: reached, never revealed";
}

}  // namespace
}  // namespace vistel::pack

#include "hosts/headless/input_script.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/input_limits.hpp"
#include "runtime/trace.hpp"

namespace vistel {
namespace {

std::string ErrorOf(std::string_view text) {
  auto events = ParseInputScript(text);
  return events ? "<accepted>" : events.error().description;
}

TEST(InputScript, ParsesEveryKindOfEvent) {
  auto events =
      ParseInputScript(R"({"t":100,"ev":"mousemove","x":10,"y":20.5})"
                       "\n"
                       R"({"t":250,"ev":"key","code":32,"note":"unknown fields are ignored"})"
                       "\r\n\n   \n"
                       R"({"ev":"click","t":300.6,"button":2,"x":-1,"y":599})");
  ASSERT_TRUE(events) << events.error().description;
  EXPECT_EQ(*events, (std::vector<InputEvent>{
                         {100, MouseMoveInput{10, 20.5}},
                         {250, KeyPressInput{32}},
                         {301, ClickInput{MouseButton::Right, -1, 599}},
                     }));
}

TEST(InputScript, EventsAreOrderedByTimeKeepingFileOrderOnTies) {
  auto events = ParseInputScript(R"({"t":500,"ev":"key","code":1})"
                                 "\n"
                                 R"({"t":100,"ev":"key","code":2})"
                                 "\n"
                                 R"({"t":500,"ev":"key","code":3})"
                                 "\n"
                                 R"({"t":100,"ev":"key","code":4})");
  ASSERT_TRUE(events);
  std::vector<int> codes;
  for (const auto& e : *events) codes.push_back(std::get<KeyPressInput>(e.action).code);
  EXPECT_EQ(codes, (std::vector<int>{2, 4, 1, 3}));
}

TEST(InputScript, EmptyScriptHasNoEvents) {
  auto events = ParseInputScript("\n\n");
  ASSERT_TRUE(events);
  EXPECT_TRUE(events->empty());
}

TEST(InputScript, ErrorsNameTheLineAndTheProblem) {
  const std::string good = R"({"t":1,"ev":"key","code":65})";
  EXPECT_EQ(ErrorOf(good + "\n\n" + R"({"t":1,"ev":"key")"), "input line 3: not valid JSON");
  EXPECT_EQ(ErrorOf("[1,2]"), "input line 1: expected a JSON object");
  EXPECT_EQ(ErrorOf(R"({"ev":"key","code":65})"), "input line 1: missing \"t\"");
  EXPECT_EQ(ErrorOf(R"({"t":"1","ev":"key","code":65})"),
            "input line 1: \"t\" must be a number, got \"1\"");
  EXPECT_EQ(ErrorOf(R"({"t":-5,"ev":"key","code":65})"), "input line 1: \"t\" out of range: -5");
  EXPECT_EQ(ErrorOf(R"({"t":1})"), "input line 1: missing \"ev\" (mousemove, key or click)");
  EXPECT_EQ(ErrorOf(R"({"t":1,"ev":"scroll"})"),
            "input line 1: unknown \"ev\" \"scroll\" (expected mousemove, key or click)");
  EXPECT_EQ(ErrorOf(good + "\n" + R"({"t":1,"ev":"mousemove","x":3})"),
            "input line 2: missing \"y\"");
  EXPECT_EQ(ErrorOf(R"({"t":1,"ev":"key","code":65.5})"),
            "input line 1: \"code\" must be a whole number");
  EXPECT_EQ(ErrorOf(R"({"t":1,"ev":"key","code":70000})"),
            "input line 1: \"code\" out of range: 70000");
  EXPECT_EQ(ErrorOf(R"({"t":1,"ev":"click","button":3,"x":0,"y":0})"),
            "input line 1: \"button\" must be 1 (left), 2 (right) or 4 (middle)");
  EXPECT_EQ(ErrorOf(R"({"t":1,"ev":"click","x":0,"y":0})"), "input line 1: missing \"button\"");
  EXPECT_EQ(ErrorOf(R"({"t":1,"ev":"mousemove","x":1e300,"y":0})"),
            "input line 1: \"x\" out of range: 1e+300");
}

// Junk of any size ends in a short message and costs no more than its bytes:
// a message quotes an excerpt of the bad input, JSON nests only so deep, and
// the number of events is bounded.
TEST(InputScript, HostileScriptsEndInAShortMessage) {
  const std::string huge(1 << 20, 'A');
  std::string ones;
  for (std::size_t i = 0; i < huge.size() / 2; ++i) ones += "1,";
  const std::string event = R"({"t":1,"ev":"key","code":65})"
                            "\n";
  std::string tooMany;
  for (std::size_t i = 0; i <= limits::kMaxInputEvents; ++i) tooMany += event;
  const struct {
    const char* what;
    std::string text;
    std::string says;
  } cases[] = {
      {"a huge text where a number belongs", R"({"t":1,"ev":"key","code":")" + huge + "\"}",
       "\"code\" must be a number, got \"AAAA"},
      {"a huge event name", R"({"t":1,"ev":")" + huge + "\"}", "unknown \"ev\" \"AAAA"},
      {"a huge array where a number belongs", R"({"t":[)" + ones + "1]}",
       "\"t\" must be a number, got an array"},
      {"deep nesting", std::string(huge.size(), '[') + std::string(huge.size(), ']'), "nest"},
      {"deep nesting in an unknown field",
       R"({"t":1,"ev":"key","code":1,"x":)" + std::string(huge.size(), '[') +
           std::string(huge.size(), ']') + "}",
       "nest"},
      {"more events than the limit", tooMany, std::to_string(limits::kMaxInputEvents)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string error = ErrorOf(c.text);
    EXPECT_NE(error.find(c.says), std::string::npos) << error.substr(0, 300);
    EXPECT_LT(error.size(), 200U) << "the message repeats the input";
  }
}

TEST(InputScript, ReadFromAFileAndMissingFileIsAnError) {
  const auto path = std::filesystem::temp_directory_path() / "vistel_input_script_test.jsonl";
  {
    std::ofstream out(path);
    out << R"({"t":5,"ev":"key","code":13})"
        << "\n"
        << "oops\n";
  }
  auto events = ReadInputScript(path.string());
  ASSERT_FALSE(events);
  EXPECT_EQ(events.error().description, path.string() + ": input line 2: not valid JSON");

  // Larger than any script: refused by its size, before it is read.
  std::filesystem::resize_file(path, limits::kMaxInputScriptBytes + 1);
  events = ReadInputScript(path.string());
  ASSERT_FALSE(events);
  EXPECT_NE(events.error().description.find(std::to_string(limits::kMaxInputScriptBytes)),
            std::string::npos)
      << events.error().description;
  std::filesystem::remove(path);
  EXPECT_FALSE(ReadInputScript(path.string()));
}

TEST(InputScript, ScheduledEventsAreDeliveredAtTheirVirtualTimes) {
  VirtualClock clock;
  NullTrace trace;
  HeadlessEventLoop loop(clock, trace);
  auto events = ParseInputScript(R"({"t":800,"ev":"click","button":1,"x":5,"y":6})"
                                 "\n"
                                 R"({"t":200,"ev":"mousemove","x":1,"y":2})");
  ASSERT_TRUE(events);
  std::vector<std::pair<Milliseconds, InputEvent>> delivered;
  ScheduleInput(loop, *events,
                [&](const InputEvent& e) { delivered.emplace_back(loop.NowMs(), e); });
  EXPECT_EQ(loop.Run(), HeadlessEventLoop::RunEnd::Idle);
  ASSERT_EQ(delivered.size(), 2U);
  EXPECT_EQ(delivered[0].first, 200);
  EXPECT_EQ(delivered[0].second.action, InputAction(MouseMoveInput{1, 2}));
  EXPECT_EQ(delivered[1].first, 800);
  EXPECT_EQ(delivered[1].second.action, InputAction(ClickInput{MouseButton::Left, 5, 6}));
}

}  // namespace
}  // namespace vistel

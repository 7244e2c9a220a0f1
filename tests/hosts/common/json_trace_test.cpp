#include "hosts/common/json_trace.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tools/planted_link.hpp"

namespace vistel {
namespace {

using nlohmann::json;

class ManualClock final : public Clock {
 public:
  Milliseconds NowMs() const override { return now; }
  Milliseconds now = 0;
};

// Parses a line strictly; a failure here means the writer produced invalid JSON.
json ParseLine(const std::string& line) {
  EXPECT_TRUE(json::accept(line)) << "invalid JSON: " << line;
  return json::parse(line, nullptr, false);
}

std::string Hex(std::string_view bytes) {
  std::string out;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    out += "0123456789ABCDEF"[byte >> 4];
    out += "0123456789ABCDEF"[byte & 0xF];
    out += ' ';
  }
  return out;
}

std::string StringRoundTrip(std::string_view text) {
  std::string out;
  AppendJsonString(out, text);
  const json parsed = ParseLine(out);
  return parsed.is_string() ? parsed.get<std::string>() : "<not a string>";
}

TEST(JsonTrace, WritesOneObjectPerLineWithTimeEventAndFieldsInOrder) {
  ManualClock clock;
  std::vector<std::string> lines;
  JsonTrace trace(clock, [&](std::string_view line) { lines.emplace_back(line); });
  clock.now = 1234;
  trace.Write("effect", {{"code", std::int64_t{12}},
                         {"settings", std::vector<double>{1, 2.5, -3}},
                         {"visible", true},
                         {"path", std::string("/tmp/x")}});
  clock.now = 1250;
  trace.Write("reveal", {{"index", std::int64_t{0}}});
  ASSERT_EQ(lines.size(), 2U);
  EXPECT_EQ(lines[0], R"({"t":1234,"ev":"effect","code":12,"settings":[1,2.5,-3],"visible":true,)"
                      R"("path":"/tmp/x"})"
                      "\n");
  EXPECT_EQ(ParseLine(lines[1]), json::parse(R"({"t":1250,"ev":"reveal","index":0})"));
}

TEST(JsonTrace, StringsEscapeQuotesBackslashesAndEveryControlCharacter) {
  std::string all;
  for (int c = 0; c < 0x20; ++c) all += static_cast<char>(c);
  all += "\"\\/\x7F end";
  EXPECT_EQ(StringRoundTrip(all), all);

  std::string out;
  AppendJsonString(out, std::string_view("a\nb\x01", 4));
  EXPECT_EQ(out, R"("a\nb\u0001")");
}

TEST(JsonTrace, ValidUtf8PassesThroughUnchanged) {
  const std::string text = "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF";
  std::string out;
  AppendJsonString(out, text);
  EXPECT_EQ(out, "\"" + text + "\"");
}

TEST(JsonTrace, InvalidUtf8BecomesReplacementCharactersNeverInvalidJson) {
  const std::string fffd = "\xEF\xBF\xBD";
  struct Case {
    std::string in;
    std::string out;
  };
  const Case cases[] = {
      {"a\xFF"
       "b",
       "a" + fffd + "b"},                               // never a UTF-8 byte
      {"\xE9t\xE9", fffd + "t" + fffd},                 // Windows-1252 bytes
      {"\xE2\x82", fffd},                               // truncated at the end
      {"\xE2\x82x", fffd + "x"},                        // truncated mid-text
      {"\xC0\xAF", fffd + fffd},                        // overlong
      {"\xE0\x80\xAF", fffd + fffd + fffd},             // overlong, 3 bytes
      {"\xED\xA0\x80", fffd + fffd + fffd},             // surrogate
      {"\xF4\x90\x80\x80", fffd + fffd + fffd + fffd},  // beyond U+10FFFF
      {"\x80", fffd},                                   // lone continuation
  };
  for (const auto& c : cases) {
    EXPECT_EQ(StringRoundTrip(c.in), c.out) << "input bytes: " << Hex(c.in);
  }
}

TEST(JsonTrace, NumbersAreExactAndNeverNanOrInfinity) {
  auto number = [](auto value) {
    std::string out;
    AppendJsonNumber(out, value);
    return out;
  };
  EXPECT_EQ(number(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808");
  EXPECT_EQ(number(std::int64_t{0}), "0");
  EXPECT_EQ(number(0.1), "0.1");
  EXPECT_EQ(number(12000.0), "12000");
  EXPECT_EQ(number(std::nan("")), "null");
  EXPECT_EQ(number(std::numeric_limits<double>::infinity()), "null");
  EXPECT_EQ(number(-std::numeric_limits<double>::infinity()), "null");
  for (double value : {0.1, 1.0 / 3.0, 1e300, 5e-324, -0.0, 123456.789, 1e21, -2.5e-7}) {
    const json parsed = ParseLine(number(value));
    ASSERT_TRUE(parsed.is_number()) << number(value);
    EXPECT_EQ(parsed.get<double>(), value) << "round trip of " << number(value);
  }
  std::string list;
  AppendJsonValue(list, std::vector<double>{std::nan(""), 1.5});
  EXPECT_EQ(list, "[null,1.5]");
}

TEST(JsonTrace, FileTraceIsReadableAfterEveryLineWithoutClosing) {
  ManualClock clock;
  const auto path = std::filesystem::temp_directory_path() /
                    ("vistel_trace_test_" +
                     std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + ".jsonl");
  auto trace = JsonTrace::OpenFile(clock, path.string());
  ASSERT_TRUE(trace) << trace.error().description;
  (*trace)->Write("mode", {{"mode", std::string("s")}});
  clock.now = 16;
  (*trace)->Write("exit", {{"code", std::int64_t{0}}});
  {
    // Read while the trace is still open: both lines must be on disk.
    std::ifstream in(path);
    std::string first;
    std::string second;
    ASSERT_TRUE(std::getline(in, first));
    ASSERT_TRUE(std::getline(in, second));
    EXPECT_EQ(ParseLine(first)["mode"], "s");
    EXPECT_EQ(ParseLine(second), json::parse(R"({"t":16,"ev":"exit","code":0})"));
  }
  trace->reset();
  std::filesystem::remove(path);
}

TEST(JsonTrace, FileTraceInAMissingFolderIsAnError) {
  ManualClock clock;
  auto trace = JsonTrace::OpenFile(clock, "/nonexistent-folder-of-vistel/trace.jsonl");
  ASSERT_FALSE(trace);
  EXPECT_NE(trace.error().description.find("/nonexistent-folder-of-vistel/trace.jsonl"),
            std::string::npos);
}

// The trace is streamed while the player runs, so a link at its name is
// refused (with the reason) rather than replaced; the file the link points at
// is neither created nor changed.
class TraceThroughLinkTest : public ::testing::TestWithParam<bool> {};

TEST_P(TraceThroughLinkTest, IsRefusedAndTheTargetStaysAsItWas) {
  namespace fs = std::filesystem;
  const bool live = GetParam();
  // CTest runs both cases at once, each in its own process: a folder of its
  // own for each, whatever else runs beside them.
  const fs::path folder = fs::temp_directory_path() /
                          ("vistel_trace_link_" + std::string(live ? "live_" : "dangling_") +
                           std::to_string(std::random_device{}()));
  fs::remove_all(folder);
  fs::create_directories(folder);
  const fs::path victim = folder / "victim";
  if (live) std::ofstream(victim, std::ios::binary) << "precious";
  VISTEL_PLANT_LINK_OR_SKIP(victim, folder / "trace.jsonl");

  ManualClock clock;
  auto trace = JsonTrace::OpenFile(clock, (folder / "trace.jsonl").string());
  if (trace) (*trace)->Write("mode", {{"mode", std::string("s")}});
  ASSERT_FALSE(trace) << "expected a trace through a link to be refused";
  EXPECT_NE(trace.error().description.find("link"), std::string::npos) << trace.error().description;
  if (live) {
    std::ifstream in(victim, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "precious");
  } else {
    EXPECT_FALSE(fs::exists(fs::symlink_status(victim))) << "created at the link's target";
  }
  fs::remove_all(folder);
}

INSTANTIATE_TEST_SUITE_P(Planted, TraceThroughLinkTest, ::testing::Bool(),
                         [](const auto& c) { return c.param ? "Live" : "Dangling"; });

}  // namespace
}  // namespace vistel

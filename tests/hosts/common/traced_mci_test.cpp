#include "hosts/common/traced_mci.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hosts/common/json_trace.hpp"

namespace vistel {
namespace {

class FixedClock final : public Clock {
 public:
  Milliseconds NowMs() const override { return 1500; }
};

class AnsweringMci final : public MciService {
 public:
  MciReply SendString(std::string_view command, std::uint32_t replySize) override {
    sent.emplace_back(command);
    sizes.push_back(replySize);
    return {command.starts_with("status") ? 0U : 263U,
            command.starts_with("status") ? "stopped" : ""};
  }
  std::vector<std::string> sent;
  std::vector<std::uint32_t> sizes;
};

TEST(TracedMciService, PassesCommandsThroughAndTracesEachWithItsAnswer) {
  AnsweringMci device;
  FixedClock clock;
  std::vector<std::string> lines;
  JsonTrace trace(clock, [&](std::string_view line) { lines.emplace_back(line); });
  TracedMciService traced(device, trace);

  const MciReply status = traced.SendString("status \"C:\\caf\xE9.mp3\" mode", 30);
  const MciReply play = traced.SendString("play x", 0);

  EXPECT_EQ(status.rc, 0U);
  EXPECT_EQ(status.reply, "stopped");
  EXPECT_EQ(play.rc, 263U);
  EXPECT_EQ(device.sizes, (std::vector<std::uint32_t>{30, 0})) << "reply sizes reach the device";
  ASSERT_EQ(lines.size(), 2U);
  EXPECT_EQ(lines[0],
            "{\"t\":1500,\"ev\":\"mci\",\"command\":\"status \\\"C:\\\\caf\xC3\xA9.mp3\\\" mode\","
            "\"rc\":0,\"reply\":\"stopped\"}\n")
      << "the ANSI command is traced as UTF-8";
  EXPECT_NE(lines[1].find("\"rc\":263"), std::string::npos) << lines[1];
}

}  // namespace
}  // namespace vistel

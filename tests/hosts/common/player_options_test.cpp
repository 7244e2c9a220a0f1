#include "hosts/common/player_options.hpp"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace vistel {
namespace {

Result<PlayerOptions> Parse(std::initializer_list<std::string_view> args) {
  const std::vector<std::string_view> list(args);
  return ParsePlayerOptions(list);
}

// The error text for arguments that must be refused.
std::string ErrorOf(std::initializer_list<std::string_view> args) {
  auto options = Parse(args);
  if (options) return "<accepted>";
  return options.error().description;
}

TEST(PlayerOptions, OwnOptionsAreTakenOutAndTheRestIsTheCommandLine) {
  auto options = Parse({"--headless", "--run-for", "20", "/p", "4660"});
  ASSERT_TRUE(options) << options.error().description;
  EXPECT_TRUE(options->headless);
  EXPECT_EQ(options->runForMs, 20000);
  EXPECT_EQ(options->commandLine, "/p 4660");

  // Options may stand anywhere; the remaining words keep their order.
  options = Parse({"/P", "--trace=t.jsonl", "1234", "--headless"});
  ASSERT_TRUE(options) << options.error().description;
  EXPECT_EQ(options->commandLine, "/P 1234");
  EXPECT_EQ(options->tracePath, "t.jsonl");
}

TEST(PlayerOptions, DefaultsWhenNothingIsGiven) {
  auto options = Parse({});
  ASSERT_TRUE(options);
  EXPECT_FALSE(options->headless);
  EXPECT_FALSE(options->runForMs);
  EXPECT_EQ(options->screenSizePx, (IntSize{800, 600}));
  EXPECT_FALSE(options->os) << "not given: the host decides (the system's, or kDefaultOs)";
  EXPECT_EQ(options->frameMs, 16);
  EXPECT_FALSE(options->passwordReplies) << "not given: the host decides";
  EXPECT_FALSE(options->monitors) << "not given: the registry's setting, else the default";
  EXPECT_EQ(options->commandLine, "");
}

TEST(PlayerOptions, EveryOptionInBothSpellings) {
  auto options = Parse({"--package",
                        "show.scr",
                        "--run-for=1.5",
                        "--screen",
                        "1024x768",
                        "--window",
                        "4660:152x112",
                        "--window=0x1A2b:200X150",
                        "--input",
                        "in.jsonl",
                        "--snapshot",
                        "2.25:a.png",
                        "--snapshot=0:b.PNG",
                        "--os=ME",
                        "--password-replies",
                        "false,TRUE,false",
                        "--registry=reg.txt",
                        "--temp",
                        "/tmp/x",
                        "--system=/sys/dir",
                        "--seed",
                        "-42",
                        "--frame-ms=0",
                        "--monitors",
                        "Mirror",
                        "/s"});
  ASSERT_TRUE(options) << options.error().description;
  EXPECT_EQ(options->packagePath, "show.scr");
  EXPECT_EQ(options->runForMs, 1500);
  EXPECT_EQ(options->screenSizePx, (IntSize{1024, 768}));
  EXPECT_EQ(options->windows,
            (std::vector<ForeignWindowOption>{{4660, {152, 112}}, {0x1A2B, {200, 150}}}));
  EXPECT_EQ(options->inputPath, "in.jsonl");
  EXPECT_EQ(options->snapshots, (std::vector<SnapshotOption>{{2250, "a.png"}, {0, "b.PNG"}}));
  EXPECT_EQ(options->os, OsChoice::WindowsMe);
  EXPECT_EQ(options->passwordReplies, (std::vector<bool>{false, true, false}));
  EXPECT_EQ(options->registryPath, "reg.txt");
  EXPECT_EQ(options->tempDir, "/tmp/x");
  EXPECT_EQ(options->systemDir, "/sys/dir");
  EXPECT_EQ(options->seed, -42);
  EXPECT_EQ(options->frameMs, 0);
  EXPECT_EQ(options->monitors, MonitorMode::Mirror);
  EXPECT_EQ(options->commandLine, "/s");
}

TEST(PlayerOptions, ValuesWithColonsAndEqualsSignsStayWhole) {
  auto options = Parse({"--snapshot=1:dir:with:colons/x.png", "--trace=a=b.jsonl"});
  ASSERT_TRUE(options) << options.error().description;
  EXPECT_EQ(options->snapshots.at(0).path, "dir:with:colons/x.png");
  EXPECT_EQ(options->tracePath, "a=b.jsonl");
}

TEST(PlayerOptions, EmptyReplyListMeansThePasswordIsAlwaysGiven) {
  auto options = Parse({"--password-replies="});
  ASSERT_TRUE(options);
  ASSERT_TRUE(options->passwordReplies) << "given, with no replies";
  EXPECT_TRUE(options->passwordReplies->empty());
}

TEST(PlayerOptions, DoubleDashEndsTheOptions) {
  auto options = Parse({"--headless", "--", "--run-for", "/c"});
  ASSERT_TRUE(options);
  EXPECT_FALSE(options->runForMs);
  EXPECT_EQ(options->commandLine, "--run-for /c");
}

TEST(PlayerOptions, ArgvFormSkipsTheProgramName) {
  const char* argv[] = {"vistel-player", "--headless", "/p", "1"};
  auto options = ParsePlayerOptions(4, argv);
  ASSERT_TRUE(options);
  EXPECT_EQ(options->commandLine, "/p 1");
}

TEST(PlayerOptions, ErrorsNameTheOptionAndWhatWasExpected) {
  EXPECT_EQ(ErrorOf({"--fast"}), "unknown option --fast");
  EXPECT_EQ(ErrorOf({"--headless=yes"}), "--headless takes no value");
  EXPECT_EQ(ErrorOf({"--trace", "a", "--trace", "b"}), "--trace given twice");
  EXPECT_EQ(ErrorOf({"/s", "--run-for"}),
            "--run-for: expected seconds (a non-negative number such as 20 or 1.5) after it, "
            "got nothing");
  EXPECT_NE(ErrorOf({"--trace", "--headless"}).find("--trace: expected a path"), std::string::npos)
      << "an option must not be eaten as the value of another";
  EXPECT_EQ(ErrorOf({"--run-for", "abc"}),
            "--run-for: expected seconds (a non-negative number such as 20 or 1.5), got \"abc\"");
}

TEST(PlayerOptions, MalformedValuesAreRefused) {
  struct Case {
    std::string_view option;
    std::string_view value;
  };
  const Case bad[] = {
      {"--run-for", "-1"},
      {"--run-for", "1e3"},
      {"--run-for", "inf"},
      {"--run-for", "nan"},
      {"--run-for", "20s"},
      {"--run-for", ""},
      {"--screen", "800"},
      {"--screen", "0x600"},
      {"--screen", "800x"},
      {"--screen", "-800x600"},
      {"--screen", "99999x600"},
      {"--window", "4660"},
      {"--window", "0:10x10"},
      {"--window", "0x:10x10"},
      {"--window", "12ab:10x10"},
      {"--window", "1:10"},
      {"--snapshot", "2.png"},
      {"--snapshot", "x:a.png"},
      {"--snapshot", "1:a.jpg"},
      {"--snapshot", "1:.png"},
      {"--os", "vista"},
      {"--os", ""},
      {"--password-replies", "yes"},
      {"--password-replies", "true,"},
      {"--seed", "1.5"},
      {"--seed", "0x10"},
      {"--frame-ms", "-1"},
      {"--frame-ms", "60001"},
      {"--package", ""},
      {"--temp", ""},
      {"--monitors", "both"},
      {"--monitors", ""},
  };
  for (const auto& c : bad) {
    const std::string joined = std::string(c.option) + "=" + std::string(c.value);
    const std::string error = ErrorOf({joined});
    EXPECT_TRUE(error.starts_with(std::string(c.option) + ": expected"))
        << joined << " gave: " << error;
  }
}

TEST(PlayerOptions, RepeatedWindowHandleIsRefused) {
  EXPECT_EQ(ErrorOf({"--window=10:5x5", "--window=0xA:6x6"}), "--window: window 10 given twice");
}

TEST(PlayerOptions, OsChoicesGiveTheirVersionRecords) {
  struct Case {
    std::string_view name;
    std::uint32_t platform;
    std::uint32_t major;
    std::uint32_t minor;
  };
  const Case cases[] = {{"95", kPlatformWindows9x, 4, 0},  {"98", kPlatformWindows9x, 4, 10},
                        {"me", kPlatformWindows9x, 4, 90}, {"nt4", kPlatformWindowsNt, 4, 0},
                        {"2k", kPlatformWindowsNt, 5, 0},  {"xp", kPlatformWindowsNt, 5, 1}};
  for (const auto& c : cases) {
    auto options = Parse({"--os", c.name});
    ASSERT_TRUE(options) << c.name;
    ASSERT_TRUE(options->os) << c.name;
    const OsVersionInfo info = VersionRecordOf(*options->os);
    EXPECT_EQ(info.platformId, c.platform) << c.name;
    EXPECT_EQ(info.majorVersion, c.major) << c.name;
    EXPECT_EQ(info.minorVersion, c.minor) << c.name;
  }
}

}  // namespace
}  // namespace vistel

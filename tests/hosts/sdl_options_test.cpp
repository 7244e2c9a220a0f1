// The desktop's XScreenSaver arguments and the choice of the window a hack
// draws in.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "hosts/common/player_options.hpp"
#include "hosts/sdl/hack_target.hpp"

namespace vistel {
namespace {

PlayerOptions WithCommandLine(std::string line) {
  PlayerOptions options;
  options.commandLine = std::move(line);
  return options;
}

TEST(SdlHackArguments, RootAndWindowIdAreTakenOutAndTheRestKeepsItsOrder) {
  PlayerOptions options = WithCommandLine("-root /s extra");
  ASSERT_TRUE(TakeHackArguments(options));
  EXPECT_TRUE(options.hackRoot);
  EXPECT_EQ(options.commandLine, "/s extra");

  options = WithCommandLine("/p 4660 -window-id 0x1a00007");
  ASSERT_TRUE(TakeHackArguments(options));
  ASSERT_TRUE(options.hackWindow.has_value());
  EXPECT_EQ(*options.hackWindow, 0x1a00007U);
  EXPECT_EQ(options.commandLine, "/p 4660") << "the preview switch must survive untouched";

  options = WithCommandLine("-WINDOW-ID 12345 -Root");
  ASSERT_TRUE(TakeHackArguments(options));
  EXPECT_EQ(options.hackWindow, WindowHandle{12345});
  EXPECT_TRUE(options.hackRoot);
  EXPECT_EQ(options.commandLine, "") << "only the daemon's words were there: the show's /s default";
}

TEST(SdlHackArguments, ALineWithoutThemIsLeftAsItIs) {
  PlayerOptions options = WithCommandLine("/c:1234");
  ASSERT_TRUE(TakeHackArguments(options));
  EXPECT_FALSE(options.hackRoot);
  EXPECT_FALSE(options.hackWindow.has_value());
  EXPECT_EQ(options.commandLine, "/c:1234");
}

TEST(SdlHackArguments, AMissingMalformedOrRepeatedIdIsAnError) {
  for (const char* line : {"-window-id", "-window-id zzz", "-window-id 0", "-window-id -root",
                           "-window-id 5 -window-id 6"}) {
    PlayerOptions options = WithCommandLine(line);
    EXPECT_FALSE(TakeHackArguments(options)) << "expected an error for \"" << line << '"';
  }
  PlayerOptions options;
  options.hackWindow = 7;  // from --window-id
  options.commandLine = "-window-id 8";
  EXPECT_FALSE(TakeHackArguments(options)) << "a second id, from either spelling, is an error";
}

TEST(SdlHackArguments, DoubleDashSpellingsAreTheirOwnOptions) {
  const std::vector<std::string_view> args{"--window-id", "0x2c00004", "--root", "/s"};
  const auto options = ParsePlayerOptions(args);
  ASSERT_TRUE(options) << options.error().description;
  EXPECT_EQ(options->hackWindow, WindowHandle{0x2c00004});
  EXPECT_TRUE(options->hackRoot);
  EXPECT_EQ(options->commandLine, "/s");

  const std::vector<std::string_view> bad{"--window-id", "nope"};
  EXPECT_FALSE(ParsePlayerOptions(bad));
  const std::vector<std::string_view> valued{"--root=1"};
  EXPECT_FALSE(ParsePlayerOptions(valued)) << "--root takes no value";
}

TEST(SdlHackArguments, WindowIdsAreHexWithPrefixOrDecimal) {
  EXPECT_EQ(ParseWindowId("0x1A00007"), WindowHandle{0x1A00007});
  EXPECT_EQ(ParseWindowId("0X10"), WindowHandle{16});
  EXPECT_EQ(ParseWindowId("4660"), WindowHandle{4660});
  EXPECT_EQ(ParseWindowId(" 0x10\n"), WindowHandle{16}) << "blanks around an id are not part of it";
  EXPECT_EQ(ParseWindowId("0"), std::nullopt) << "0 is no window";
  EXPECT_EQ(ParseWindowId(""), std::nullopt);
  EXPECT_EQ(ParseWindowId("0x"), std::nullopt);
  EXPECT_EQ(ParseWindowId("12ab"), std::nullopt);
  EXPECT_EQ(ParseWindowId("-5"), std::nullopt);
}

TEST(SdlHackTarget, AnExplicitIdComesFirstThenTheDaemonsWindowThenTheRoot) {
  PlayerOptions options;
  EXPECT_EQ(ChooseHackTarget(options, std::nullopt).kind, HackTarget::Kind::None)
      << "without any of them the player is no hack";

  options.hackRoot = true;
  EXPECT_EQ(ChooseHackTarget(options, std::nullopt), (HackTarget{HackTarget::Kind::Root, 0}));
  EXPECT_EQ(ChooseHackTarget(options, "0x400006"), (HackTarget{HackTarget::Kind::Window, 0x400006}))
      << "under the daemon, -root means the daemon's window";

  options.hackWindow = 99;
  EXPECT_EQ(ChooseHackTarget(options, "0x400006"), (HackTarget{HackTarget::Kind::Window, 99}));

  PlayerOptions plain;
  EXPECT_EQ(ChooseHackTarget(plain, "123"), (HackTarget{HackTarget::Kind::Window, 123}))
      << "the daemon's variable alone makes a hack";
  EXPECT_EQ(ChooseHackTarget(plain, "garbage").kind, HackTarget::Kind::None)
      << "a malformed variable is as if unset";
}

}  // namespace
}  // namespace vistel

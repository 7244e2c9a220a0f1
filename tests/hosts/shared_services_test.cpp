// Where the services that the options may leave open come from: what the
// options give always wins; without them a host that asks for the system's
// own gets them where the system has them, and every other host the same
// simulated ones on every system.
#include "hosts/common/shared_services.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "hosts/common/null_audio.hpp"
#include "hosts/headless/event_loop.hpp"
#include "platform/system_os_version.hpp"

namespace vistel {
namespace {

using Services = SharedServices::SystemServices;

// The record the system's source gives, or the default where there is none
// (POSIX): asking for the system's services on Linux changes nothing.
OsVersionInfo SystemOrDefaultRecord() {
  const auto system = MakeSystemOsVersion();
  return system ? system->GetVersionEx() : VersionRecordOf(kDefaultOs);
}

TEST(SharedServices, OptionsWinThenTheSystemsServicesWhereAsked) {
  struct Case {
    const char* name;
    Services system;
    std::optional<OsChoice> os;
    std::optional<std::vector<bool>> replies;
    std::optional<OsChoice> expectedOs;  // nullopt: the system's (or the default)
    std::vector<bool> expectedAnswers;
  };
  const Case cases[] = {
      {"simulated, nothing given", Services::Simulated, {}, {}, kDefaultOs, {true, true}},
      {"simulated, both given",
       Services::Simulated,
       OsChoice::WindowsMe,
       std::vector{false},
       OsChoice::WindowsMe,
       {false, true}},
      {"system's, nothing given", Services::System, {}, {}, std::nullopt, {true, true}},
      {"system's, --os given",
       Services::System,
       OsChoice::Windows98,
       {},
       OsChoice::Windows98,
       {true, true}},
      {"system's, replies given",
       Services::System,
       {},
       std::vector{false, false},
       std::nullopt,
       {false, false}},
      {"system's, empty replies given",
       Services::System,
       OsChoice::Windows95,
       std::vector<bool>{},
       OsChoice::Windows95,
       {true}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PlayerOptions options;
    options.os = c.os;
    options.passwordReplies = c.replies;
    VirtualClock clock;
    NullAudioOutput audio(clock);
    SharedServices services(options, clock, audio, "saver.scr", {std::nullopt, c.system});
    ASSERT_TRUE(services.Start());

    const OsVersionInfo expected =
        c.expectedOs ? VersionRecordOf(*c.expectedOs) : SystemOrDefaultRecord();
    const OsVersionInfo seen = services.OsVersion().GetVersionEx();
    EXPECT_EQ(seen.platformId, expected.platformId);
    EXPECT_EQ(seen.majorVersion, expected.majorVersion);
    EXPECT_EQ(seen.minorVersion, expected.minorVersion);
    EXPECT_EQ(seen.csdVersion, expected.csdVersion);

    std::vector<bool> answers;
    for (std::size_t i = 0; i < c.expectedAnswers.size(); ++i) {
      answers.push_back(services.Password().VerifyScreenSavePwd(0));
    }
    EXPECT_EQ(answers, c.expectedAnswers);
  }
}

}  // namespace
}  // namespace vistel

// The Windows 9x screen-saver password: read from the registry at load, asked
// before every close, the running state set at load and cleared at unload.
#include <gtest/gtest.h>

#include <string>

#include "show/show_fixture.hpp"

namespace vistel::testing {
namespace {

class PasswordShow : public ShowFixture {
 protected:
  void SetUp() override {
    ShowFixture::SetUp();
    package_ = Build({ImageScreen(10.0F)});
  }

  std::string Desktop(std::string_view value) {
    return RegistryFile(
        "[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n"
        "\"ScreenSaveUsePassword\"=" +
        std::string(value) + "\r\n\r\n");
  }

  ShowRun Run(std::string_view os, const std::string& registry, const std::vector<Json>& input,
              std::string replies = "false") {
    return Play(package_, {"--os", std::string(os), "--registry", registry, "--password-replies",
                           replies, "--input", InputScript(input), "--run-for", "4", "/s"});
  }

  // The mouse travels 200 pixels after a first recorded position.
  static std::vector<Json> FarMove() { return {MoveAt(100, 100, 100), MoveAt(200, 200, 200)}; }

  std::string package_;
};

TEST_F(PasswordShow, AfterARefusedCloseTheNextMoveIsMeasuredFromTheOrigin) {
  // The key's pending quit is refused at 1300 ms (no move seen yet); the
  // first move then is measured from 0,0 instead of only being recorded.
  const ShowRun run = Run("98", Desktop("\"1\""), {KeyAt(500, 'x'), MoveAt(1500, 30, 30)});
  const auto closes = run.Events("close");
  ASSERT_EQ(closes.size(), 2U);
  EXPECT_EQ(closes[0]["reason"], "input");
  EXPECT_EQ(closes[0]["refused"], true);
  EXPECT_EQ(closes[0]["t"].get<double>(), 1300.0);
  EXPECT_EQ(closes[1]["reason"], "mouse");
  EXPECT_EQ(closes[1]["refused"], false);
  EXPECT_EQ(closes[1]["t"].get<double>(), 1500.0);

  const auto checks = run.PasswordCalls("verify");
  ASSERT_EQ(checks.size(), 2U);
  EXPECT_NE(checks[0]["parent"], 0) << "the check is parented on the show window";
  EXPECT_EQ(checks[0]["given"], false);
  EXPECT_EQ(checks[1]["given"], true) << "the replies ran out: the password counts as given";
  EXPECT_EQ(run.exitCode, 0);

  // Without the refusal that move would only have been recorded.
  const ShowRun plain = Run("98", Desktop("\"0\""), {MoveAt(1500, 30, 30)});
  EXPECT_TRUE(plain.Events("close").empty());
}

TEST_F(PasswordShow, AfterATravelRefusedTheNextMoveClosesAtOnce) {
  // The travel sum is kept through the refusal, so a further move within
  // the reset time passes the limit again.
  std::vector<Json> soon = FarMove();
  soon.push_back(MoveAt(300, 201, 200));
  const ShowRun run = Run("98", Desktop("\"1\""), soon);
  const auto closes = run.Events("close");
  ASSERT_EQ(closes.size(), 2U);
  EXPECT_EQ(closes[0]["refused"], true);
  EXPECT_EQ(closes[0]["t"].get<double>(), 200.0);
  EXPECT_EQ(closes[1]["refused"], false);
  EXPECT_EQ(closes[1]["t"].get<double>(), 300.0);
}

TEST_F(PasswordShow, AfterATravelRefusedAndARestTheNextMoveIsMeasuredFromTheOrigin) {
  // Refused at 200 ms; timReset clears the sum at 1000 ms; a move back to
  // the very point of the refused move is still 400 pixels from 0,0.
  std::vector<Json> later = FarMove();
  later.push_back(MoveAt(1500, 200, 200));
  const ShowRun run = Run("98", Desktop("\"1\""), later);
  const auto closes = run.Events("close");
  ASSERT_EQ(closes.size(), 2U);
  EXPECT_EQ(closes[0]["refused"], true);
  EXPECT_EQ(closes[1]["reason"], "mouse");
  EXPECT_EQ(closes[1]["refused"], false);
  EXPECT_EQ(closes[1]["t"].get<double>(), 1500.0);
}

// After one refused close the show goes on exactly as if nobody had touched
// it: every later cross-fade runs all its frames, every later paint effect
// animates, and nothing asks for the password again without new input.
enum class RefusedInput { Key, Click, Travel };

class RefusedClose : public PasswordShow, public ::testing::WithParamInterface<RefusedInput> {};

TEST_P(RefusedClose, LeavesTheShowAsItWas) {
  ScreenSettings fade = ImageScreen(0.5F, 0xFFFFFF);
  fade.EffectCode = -100;
  fade.CrossFadeParam = 20;
  ScreenSettings wipe = ImageScreen(0.5F, 0x0000FF);
  wipe.EffectCode = 2010;
  wipe.EffectParam2 = 400;  // ms
  const std::string package = Build({ImageScreen(0.5F), fade, wipe});
  std::vector<Json> input;
  switch (GetParam()) {
    case RefusedInput::Key:
      input = {KeyAt(100, 'x')};
      break;
    case RefusedInput::Click:
      input = {ClickAt(100, 5, 5)};
      break;
    case RefusedInput::Travel:
      input = {MoveAt(100, 10, 10), MoveAt(120, 70, 50)};
      break;
  }
  const std::string name = ::testing::PrintToString(static_cast<int>(GetParam()));
  const ShowRun run =
      Play(package, {"--os", "98", "--registry", Desktop("\"1\""), "--password-replies", "false",
                     "--screen", "80x60", "--input", InputScript(input), "--run-for", "8", "/s"});
  const auto closes = run.Events("close");
  ASSERT_EQ(closes.size(), 1U) << name << ": asked again without input";
  EXPECT_EQ(closes[0]["refused"], true);
  EXPECT_EQ(run.Exit()["reason"], "run-for");
  const double refusedAt = closes[0]["t"].get<double>();

  int fadesAfter = 0, effectsAfter = 0;
  for (const Json& e : run.Events("crossfade")) {
    if (e["t"].get<double>() <= refusedAt) continue;
    ++fadesAfter;
    EXPECT_EQ(e["frames"], 21) << name << ": a later fade stopped early";
  }
  const auto effects = run.Events("effect");
  const auto reveals = run.Events("reveal");
  // (the last effect may still run when the time is up)
  ASSERT_GE(effects.size(), reveals.size());
  for (std::size_t i = 0; i < reveals.size(); ++i) {
    if (effects[i]["code"] != 2010 || effects[i]["t"].get<double>() <= refusedAt) continue;
    ++effectsAfter;
    EXPECT_GE(reveals[i]["t"].get<double>() - effects[i]["t"].get<double>(), 400.0)
        << name << ": a later effect was a plain repaint";
  }
  EXPECT_GE(fadesAfter, 2);
  EXPECT_GE(effectsAfter, 2);
}

INSTANTIATE_TEST_SUITE_P(KeysClicksAndTravel, RefusedClose,
                         ::testing::Values(RefusedInput::Key, RefusedInput::Click,
                                           RefusedInput::Travel));

TEST_F(PasswordShow, RunningStateIsSetAtLoadAndClearedAtUnload) {
  const ShowRun run = Run("98", Desktop("dword:00000001"), FarMove(), "true");
  const auto running = run.PasswordCalls("running");
  ASSERT_EQ(running.size(), 2U);
  EXPECT_EQ(running[0]["running"], true);
  EXPECT_LE(running[0]["t"].get<double>(), run.First("screen")["t"].get<double>())
      << "set when the window loads, before the show starts";
  EXPECT_EQ(running[1]["running"], false);
  const auto closes = run.Events("close");
  ASSERT_EQ(closes.size(), 1U);
  EXPECT_EQ(closes[0]["refused"], false);
  EXPECT_GE(running[1]["t"].get<double>(), closes[0]["t"].get<double>());
  ASSERT_EQ(run.RegistryUses("ScreenSaveUsePassword").size(), 1U);
  EXPECT_EQ(run.RegistryUses("ScreenSaveUsePassword")[0]["op"], "read");
  EXPECT_EQ(run.RegistryUses("ScreenSaveUsePassword")[0]["hive"], "HKEY_CURRENT_USER");
}

TEST_F(PasswordShow, OnlyANonZeroValueTurnsThePasswordOn) {
  struct Case {
    std::string value;  // as written in the registry file; "" leaves the value out
    bool on;
  };
  for (const Case& c : {Case{"\"1\"", true}, Case{"dword:00000001", true}, Case{"\"2\"", true},
                        Case{"\"0\"", false}, Case{"\"\"", false}, Case{"dword:00000000", false},
                        Case{"", false}}) {
    const std::string registry =
        c.value.empty() ? RegistryFile("[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n\r\n")
                        : Desktop(c.value);
    const ShowRun run = Run("98", registry, FarMove());
    EXPECT_EQ(run.PasswordCalls("running").empty(), !c.on) << "value " << c.value;
    EXPECT_EQ(run.PasswordCalls("verify").empty(), !c.on) << "value " << c.value;
    const auto closes = run.Events("close");
    ASSERT_FALSE(closes.empty()) << "value " << c.value;
    EXPECT_EQ(closes[0]["refused"], c.on) << "value " << c.value;
  }
}

TEST_F(PasswordShow, TheNtFamilyIgnoresTheSetting) {
  for (const char* os : {"xp", "2k", "nt4"}) {
    const ShowRun run = Run(os, Desktop("\"1\""), FarMove());
    EXPECT_TRUE(run.RegistryUses("ScreenSaveUsePassword").empty()) << os;
    EXPECT_TRUE(run.Events("password").empty()) << os;
    const auto closes = run.Events("close");
    ASSERT_EQ(closes.size(), 1U) << os;
    EXPECT_EQ(closes[0]["refused"], false) << os;
  }
}

TEST_F(PasswordShow, AKeyPressIsAskedForThePasswordToo) {
  // The pending quit acted on by timReset asks like any close; once refused,
  // the flag stays set and the next key asks again.
  const ShowRun run =
      Run("95", Desktop("\"1\""), {KeyAt(500, 'a'), KeyAt(2000, 'b')}, "false,true");
  const auto closes = run.Events("close");
  ASSERT_EQ(closes.size(), 2U);
  EXPECT_EQ(closes[0]["reason"], "input");
  EXPECT_EQ(closes[0]["refused"], true);
  EXPECT_EQ(closes[0]["t"].get<double>(), 1300.0);
  EXPECT_EQ(closes[1]["refused"], false);
  EXPECT_EQ(closes[1]["t"].get<double>(), 2800.0);
}

}  // namespace
}  // namespace vistel::testing

// Start-up: which mode each command line chooses, the messages of the modes
// that give up, the password-change switch, the about window and "/i".
#include <gtest/gtest.h>

#include <string>

#include "show/show_fixture.hpp"

namespace vistel::testing {
namespace {

using StartupModes = ShowFixture;

constexpr std::string_view kPreviewHandleText =
    "The selected screen saver could not determine the handle of the preview area of the "
    "Display Properties dialog.";
constexpr std::string_view kInvalidPackageText =
    "Invalid screen saver file.  Please ensure this file is a *.scr file.";

TEST_F(StartupModes, PreviewEmbedsTheWindowInTheGivenWindow) {
  const std::string package = Build({ImageScreen(1.0F)});
  // Blanks around, upper case and blanks inside the number all read the same;
  // a fraction rounds to the nearest handle, ties to even.
  for (const std::string commandLine : {"/p 4660", "  /P 4660  ", "/p 46 60", "/p\t46\n60",
                                        "/p 4659.6", "/p 4659.5", "/p 4660.5", "/p 4660.49"}) {
    const ShowRun run = Play(package, {"--window", "4660:152x112", "--run-for", "1", commandLine});
    EXPECT_EQ(run.First("mode")["mode"], "p") << commandLine;
    EXPECT_TRUE(run.Events("msgbox").empty()) << commandLine;
    const auto windows = run.Events("window");
    ASSERT_FALSE(windows.empty()) << commandLine;
    // Once embedded the window is a visible child of the preview area at its
    // exact client size, never topmost.
    const Json& last = windows.back();
    EXPECT_EQ(last["parent"], 4660) << commandLine;
    EXPECT_EQ(last["x"], 0);
    EXPECT_EQ(last["y"], 0);
    EXPECT_EQ(last["width"], 152);
    EXPECT_EQ(last["height"], 112);
    EXPECT_EQ(last["visible"], true);
    EXPECT_EQ(last["topmost"], false);
    EXPECT_EQ(run.ScreenOrder(), (std::vector<int>{0})) << commandLine;
    EXPECT_EQ(run.Exit()["reason"], "run-for") << commandLine;
  }
}

TEST_F(StartupModes, PreviewHandleThatIsNoWindowEndsWithTheMessage) {
  const std::string package = Build({ImageScreen(1.0F)});
  // After a colon the number is not read (0); 1234 is no window here.
  for (const std::string commandLine : {"/p:4660", "/p 1234", "/p", "/p x4660"}) {
    const ShowRun run = Play(package, {"--window", "4660:152x112", "--run-for", "1", commandLine});
    EXPECT_EQ(run.exitCode, 1) << commandLine;
    EXPECT_EQ(run.First("mode")["mode"], "p") << commandLine;
    const auto boxes = run.Events("msgbox");
    ASSERT_EQ(boxes.size(), 1U) << commandLine;
    EXPECT_EQ(boxes[0]["text"], kPreviewHandleText);
    EXPECT_EQ(boxes[0]["style"], 0x11030);
    EXPECT_EQ(boxes[0]["title"], "Vistel Screen Saver");
    EXPECT_TRUE(run.Events("package").empty()) << "the package is not read: " << commandLine;
    EXPECT_TRUE(run.Events("screen").empty()) << commandLine;
    EXPECT_EQ(run.Exit()["code"], 1);
  }
}

TEST_F(StartupModes, UnknownOrEmptySwitchShowsFullScreen) {
  const std::string package = Build({ImageScreen(1.0F)});
  for (const std::string commandLine : {"", "/s", "/S", "/x", "hello", "/a", "/a 4660"}) {
    std::vector<std::string> args = {"--screen", "320x200", "--run-for", "0.5"};
    if (!commandLine.empty()) args.push_back(commandLine);
    const ShowRun run = Play(package, args);  // the NT family: "/a" is no switch there
    EXPECT_EQ(run.First("mode")["mode"], "s") << "command line \"" << commandLine << '"';
    EXPECT_TRUE(run.PasswordCalls("change").empty()) << commandLine;
    const auto windows = run.Events("window");
    ASSERT_FALSE(windows.empty()) << commandLine;
    EXPECT_EQ(windows.back()["width"], 320);
    EXPECT_EQ(windows.back()["height"], 200);
    EXPECT_EQ(windows.back()["topmost"], true);
    EXPECT_EQ(windows.back()["parent"], 0);
    EXPECT_EQ(run.ScreenOrder(), (std::vector<int>{0})) << commandLine;
  }
}

TEST_F(StartupModes, ARunningShowWindowEndsASecondStartAtOnce) {
  const std::string package = Build({ImageScreen(1.0F)});
  const auto running = [](std::string title) {
    return PlayHooks{[title](HeadlessHost& host) {
                       host.HeadlessScreen().RegisterWindow("ThunderRT6FormDC", title, {800, 600});
                     },
                     nullptr};
  };
  const ShowRun second = Play(package, {"--run-for", "1", "/s"}, running("Vistel Screen Saver"));
  EXPECT_EQ(second.First("mode")["mode"], "s");
  EXPECT_EQ(second.exitCode, 0);
  EXPECT_FALSE(second.Exit().contains("reason")) << "ended by the player, not by --run-for";
  EXPECT_TRUE(second.Events("window").empty()) << "no window of its own";
  EXPECT_TRUE(second.Events("package").empty());
  // Another program's form of the same class is no show.
  const ShowRun other = Play(package, {"--run-for", "1", "/s"}, running("Some Other Program"));
  EXPECT_EQ(other.ScreenOrder(), (std::vector<int>{0}));
  EXPECT_EQ(other.Exit()["reason"], "run-for");
}

TEST_F(StartupModes, TheCursorHidesFullScreenShowsAtTheCloseAndStaysInPreview) {
  const std::string package = Build({ImageScreen(5.0F)});
  int counter = 99;
  const PlayHooks readCounter{
      nullptr, [&counter](HeadlessHost& host) { counter = host.HeadlessScreen().CursorCounter(); }};
  Play(package, {"--run-for", "1", "/s"}, readCounter);
  EXPECT_EQ(counter, -6) << "hidden while the show runs";
  Play(package, {"--input", InputScript({KeyAt(100, 'a')}), "--run-for", "2", "/s"}, readCounter);
  EXPECT_EQ(counter, 6) << "shown again by the close";
  Play(package, {"--window", "4660:152x112", "--run-for", "1", "/p 4660"}, readCounter);
  EXPECT_EQ(counter, 0) << "preview leaves the cursor alone";
}

TEST_F(StartupModes, ChangePasswordOnWindows98CallsTheDialogAndEnds) {
  const std::string package = Build({ImageScreen(1.0F)});
  struct Case {
    std::string commandLine;
    std::int64_t parent;
  };
  for (const Case& c : {Case{"/a 4660", 4660}, Case{"/A   4660", 4660}, Case{"/a", 0},
                        Case{"/a 999", 0}, Case{"/a:4660", 0}}) {
    const ShowRun run =
        Play(package, {"--os", "98", "--window", "4660:152x112", "--run-for", "1", c.commandLine});
    EXPECT_EQ(run.First("mode")["mode"], "a") << c.commandLine;
    const auto changes = run.PasswordCalls("change");
    ASSERT_EQ(changes.size(), 1U) << c.commandLine;
    EXPECT_EQ(changes[0]["parent"], c.parent) << c.commandLine;
    // Changing the password is all the switch does: no show follows.
    EXPECT_EQ(run.exitCode, 0) << c.commandLine;
    EXPECT_FALSE(run.Exit().contains("reason")) << "ended by the player, not by --run-for";
    EXPECT_TRUE(run.Events("screen").empty()) << c.commandLine;
    EXPECT_TRUE(run.Events("window").empty()) << c.commandLine;
  }
}

TEST_F(StartupModes, ConfigureShowsTheAboutWindowAndNoShow) {
  GlobalSettings global;
  global.SaverTitle = "Autumn Leaves";
  global.PublisherName = "Norvel Products";
  global.WebsiteText = "www.example.com/leaves";
  const std::string package = Build({ImageScreen(1.0F)}, global);
  const ShowRun run = Play(package, {"--run-for", "2", "/c"});
  EXPECT_EQ(run.First("mode")["mode"], "c");
  const auto about = run.Events("about");
  ASSERT_EQ(about.size(), 1U);
  EXPECT_EQ(about[0]["title"], "Autumn Leaves");
  EXPECT_EQ(about[0]["publisher"], "Norvel Products");
  EXPECT_EQ(about[0]["website"], "www.example.com/leaves");
  EXPECT_TRUE(run.Events("screen").empty());
  EXPECT_TRUE(run.Events("mci").empty());
  EXPECT_TRUE(run.Events("window").empty()) << "the show window is never placed";
  EXPECT_EQ(run.exitCode, 0);
}

TEST_F(StartupModes, InvalidPackageShowsItsMessageAndEndsWithOne) {
  const std::string garbage = Path("garbage.scr");
  std::ofstream(garbage, std::ios::binary) << "not a package at all, no trailer";
  for (const std::string commandLine : {"/c", "/s"}) {
    const ShowRun run = Play(garbage, {"--run-for", "2", commandLine});
    const auto boxes = run.Events("msgbox");
    ASSERT_EQ(boxes.size(), 1U) << commandLine;
    EXPECT_EQ(boxes[0]["text"], kInvalidPackageText);
    EXPECT_EQ(boxes[0]["style"], 48);
    EXPECT_EQ(run.exitCode, 1) << commandLine;
    EXPECT_EQ(run.Exit()["code"], 1) << commandLine;
    EXPECT_TRUE(run.Events("about").empty()) << commandLine;
    EXPECT_TRUE(run.Events("screen").empty()) << commandLine;
  }
  // A missing file reads the same.
  const ShowRun missing = Play(Path("nowhere.scr"), {"--run-for", "2", "/s"});
  EXPECT_EQ(missing.exitCode, 1);
  ASSERT_EQ(missing.Events("msgbox").size(), 1U);
  EXPECT_EQ(missing.First("msgbox")["text"], kInvalidPackageText);
}

TEST_F(StartupModes, AStartThatFailsOnWindows98NeverAsksForThePassword) {
  // Nothing was shown, so nothing is protected: the message, then the end,
  // and the system is told that no saver runs any more.
  const std::string registry = RegistryFile(
      "[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n\"ScreenSaveUsePassword\"=\"1\"\r\n\r\n");
  const ShowRun run =
      Play(Path("nowhere.scr"), {"--os", "98", "--registry", registry, "--password-replies",
                                 "false", "--run-for", "5", "/s"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.First("msgbox")["text"], kInvalidPackageText);
  EXPECT_TRUE(run.PasswordCalls("verify").empty());
  const auto closes = run.Events("close");
  ASSERT_EQ(closes.size(), 1U);
  EXPECT_EQ(closes[0]["reason"], "startup");
  EXPECT_EQ(closes[0]["refused"], false);
  const auto running = run.PasswordCalls("running");
  ASSERT_EQ(running.size(), 2U);
  EXPECT_EQ(running[1]["running"], false);
}

TEST_F(StartupModes, InstallRegistersTheSaverAndEnds) {
  const std::string package = Build({ImageScreen(1.0F)});
  const std::string registry = Path("machine.reg");
  // Twice: the list gains a line each time, the values are rewritten.
  for (int run = 0; run < 2; ++run) {
    const ShowRun installed = Play(package, {"--registry", registry, "--run-for", "2", "/i"});
    EXPECT_EQ(installed.First("mode")["mode"], "i");
    EXPECT_EQ(installed.exitCode, 0);
    EXPECT_FALSE(installed.Exit().contains("reason")) << "ended by the player itself";
    EXPECT_TRUE(installed.Events("package").empty()) << "no package is read";
    EXPECT_TRUE(installed.Events("window").empty()) << "no window is shown";
  }
  EXPECT_EQ(ReadText(Path("sys/vistelss.lst")), "show\r\nshow\r\n");

  const std::string written = ReadText(registry);
  const std::string sys = Path("sys") + "/";
  // REGEDIT4 doubles the backslashes inside quoted data.
  for (const std::string& line :
       {std::string("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\"
                    "Uninstall\\VISTEL-show]\r\n"),
        std::string("\"DisplayName\"=\"Screen Saver: show (remove only)\"\r\n"),
        "\"UninstallString\"=\"" + sys + "unvistelss.exe /R:show\"\r\n",
        "\"DisplayIcon\"=\"" + sys + "show.scr,0\"\r\n",
        std::string("\"Publisher\"=\"Norvel Products\"\r\n")}) {
    EXPECT_NE(written.find(line), std::string::npos)
        << "expected the line " << line << "in the registry file:\n"
        << written;
  }
}

TEST_F(StartupModes, InstallNamesTheSaverByItsPackage) {
  // Played by a separate program, the package is still the saver.
  programPath_ = Path("vistel-player");
  PackagePlan plan;
  plan.package.Screens = {ImageScreen(1.0F)};
  const std::string package = Build(std::move(plan), "My.Saver.scr");
  const std::string registry = Path("machine.reg");
  const ShowRun run = Play(package, {"--registry", registry, "--run-for", "2", "/i"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(ReadText(Path("sys/vistelss.lst")), "My.Saver\r\n");
  const std::string written = ReadText(registry);
  EXPECT_NE(written.find("\\Uninstall\\VISTEL-My.Saver]"), std::string::npos) << written;
  EXPECT_NE(written.find("/R:My.Saver\""), std::string::npos) << written;
  EXPECT_EQ(written.find("vistel-player"), std::string::npos) << written;
}

TEST_F(StartupModes, InstallWithoutAListFileWritesNoValues) {
  const std::string package = Build({ImageScreen(1.0F)});
  const std::string registry = Path("machine.reg");
  // The system folder is a file here, so the list file cannot be created.
  std::ofstream(Path("not-a-folder"), std::ios::binary) << "x";
  const ShowRun run = Play(
      package, {"--registry", registry, "--system", Path("not-a-folder"), "--run-for", "2", "/i"});
  EXPECT_EQ(run.First("mode")["mode"], "i");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_TRUE(run.Events("msgbox").empty()) << "the failure is silent";
  for (const Json& e : run.Events("registry")) EXPECT_NE(e["op"], "write") << e.dump();
  EXPECT_EQ(ReadText(registry).find("VISTEL-show"), std::string::npos);
}

}  // namespace
}  // namespace vistel::testing

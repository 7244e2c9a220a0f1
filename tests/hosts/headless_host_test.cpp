// The headless host as the options build it: each option reaches the service
// it configures, the registry file goes in and comes back out, and the
// scripted input finds its window.
#include "hosts/headless/headless_host.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "headless_test_support.hpp"
#include "platform/paths.hpp"

namespace vistel {
namespace {

using nlohmann::json;
using testing::HostScratch;
using testing::RecordingInput;

std::unique_ptr<HeadlessHost> MakeHost(const PlayerOptions& options,
                                       std::string playerPath = "/opt/savers/My Show.scr") {
  auto host = HeadlessHost::Create(options, std::move(playerPath));
  EXPECT_TRUE(host) << "expected a host, got: " << (host ? "" : host.error().description);
  return host ? std::move(*host) : nullptr;
}

std::vector<std::uint8_t> Dword(std::uint32_t v) {
  return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
          static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
}

TEST(HeadlessHost, OptionsReachTheirServices) {
  HostScratch scratch("wiring");
  PlayerOptions options;
  options.screenSizePx = {1024, 768};
  options.windows = {{4660, {152, 112}}};
  options.os = OsChoice::Windows98;
  options.passwordReplies = {false, true};
  options.tempDir = scratch.File("tmp");
  options.systemDir = scratch.File("sys/");
  options.frameMs = 25;
  auto host = MakeHost(options);
  ASSERT_NE(host, nullptr);

  EXPECT_EQ(host->Screen().ScreenSizeTwips(), (FloatSize{15360.0F, 11520.0F}));
  EXPECT_EQ(host->Screen().ClientRect(4660), (IntRect{0, 0, 152, 112}));
  EXPECT_EQ(host->OsVersion().GetVersionEx().platformId, kPlatformWindows9x);
  EXPECT_EQ(host->OsVersion().GetVersionEx().minorVersion, 10U);
  EXPECT_FALSE(host->Password().VerifyScreenSavePwd(0));
  EXPECT_TRUE(host->Password().VerifyScreenSavePwd(0));
  EXPECT_EQ(host->Process().AppFolder(), "/opt/savers");
  EXPECT_EQ(host->Process().ExeBaseName(), "My Show");
  EXPECT_EQ(host->Process().PathSeparator(), kPathSeparator);

  // --temp with the separator added; --system without it; both created.
  EXPECT_EQ(host->Folders().TempPath(), scratch.File("tmp") + kPathSeparator);
  EXPECT_EQ(host->Folders().SystemDirectory(), scratch.File("sys"));
  EXPECT_TRUE(std::filesystem::is_directory(scratch.File("tmp")));
  EXPECT_TRUE(std::filesystem::is_directory(scratch.File("sys")));

  // The show window is the display's and frames last --frame-ms.
  EXPECT_EQ(host->Screen().FindWindow("ThunderRT6FormDC", ""), host->ShowWindow().Handle());
  host->ShowWindow().AwaitNextFrame();
  EXPECT_EQ(host->Events().NowMs(), 25);
  EXPECT_FALSE(host->Tracer().Enabled()) << "no --trace, no trace";
}

TEST(HeadlessHost, TraceFileGetsTheServicesEventsOnTheVirtualClock) {
  HostScratch scratch("trace");
  PlayerOptions options;
  options.tracePath = scratch.File("run.jsonl");
  {
    auto host = MakeHost(options);
    ASSERT_NE(host, nullptr);
    host->Loop().AdvanceBy(250);
    host->Messages().Show("Hello", kMbOk, "");
    const auto reply = host->Mci().SendString("status nothing mode", 128);
    EXPECT_NE(reply.rc, 0U) << "no such device";
  }
  const auto trace = testing::ReadTraceFile(scratch.File("run.jsonl"));
  ASSERT_EQ(trace.size(), 2U);
  EXPECT_EQ(trace[0], json::parse(R"({"t":250,"ev":"msgbox","text":"Hello","style":0,)"
                                  R"("title":"Vistel Screen Saver"})"));
  EXPECT_EQ(trace[1]["ev"], "mci");
  EXPECT_EQ(trace[1]["command"], "status nothing mode");
}

TEST(HeadlessHost, UnusableTraceOrRegistryFileIsAnErrorNamingIt) {
  HostScratch scratch("errors");
  PlayerOptions badTrace;
  badTrace.tracePath = scratch.File("no/such/folder/run.jsonl");
  auto host = HeadlessHost::Create(badTrace, "/x/saver");
  ASSERT_FALSE(host);
  EXPECT_NE(host.error().description.find("run.jsonl"), std::string::npos)
      << "got: " << host.error().description;

  testing::WriteText(scratch.File("bad.reg"),
                     "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\X]\r\nnonsense\r\n");
  PlayerOptions badRegistry;
  badRegistry.registryPath = scratch.File("bad.reg");
  host = HeadlessHost::Create(badRegistry, "/x/saver");
  ASSERT_FALSE(host);
  EXPECT_NE(host.error().description.find("bad.reg"), std::string::npos)
      << "got: " << host.error().description;
  EXPECT_NE(host.error().description.find("line 4"), std::string::npos)
      << "got: " << host.error().description;
}

TEST(HeadlessHost, RegistryFileIsReadTracedAndWrittenBack) {
  HostScratch scratch("registry");
  const std::string file = scratch.File("user.reg");
  testing::WriteText(file,
                     "REGEDIT4\r\n\r\n"
                     "[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n"
                     "\"ScreenSaveUsePassword\"=dword:00000001\r\n");
  PlayerOptions options;
  options.registryPath = file;
  options.tracePath = scratch.File("run.jsonl");
  {
    auto host = MakeHost(options);
    ASSERT_NE(host, nullptr);
    RegistryApi& registry = host->Registry();
    RegKeyHandle key = 0;
    ASSERT_EQ(registry.OpenKey(kHkeyCurrentUser, "Control Panel\\Desktop", kKeyAllAccess, key),
              kErrorSuccess);
    const auto read = registry.QueryValue(key, "ScreenSaveUsePassword", 4);
    EXPECT_EQ(read.rc, kErrorSuccess);
    EXPECT_EQ(read.data, Dword(1));
    registry.CloseKey(key);

    ASSERT_EQ(registry.CreateKey(kHkeyLocalMachine, "Software\\Vistel", kKeyAllAccess, key),
              kErrorSuccess);
    const std::string text = "My Show";
    EXPECT_EQ(
        registry.SetValue(key, "Title", kRegSz,
                          {reinterpret_cast<const std::uint8_t*>(text.c_str()), text.size() + 1}),
        kErrorSuccess);
    registry.CloseKey(key);
    EXPECT_EQ(testing::ReadText(file).find("Vistel"), std::string::npos) << "written only at exit";
    ASSERT_TRUE(host->WriteBackRegistry());
  }

  const auto trace = testing::ReadTraceFile(scratch.File("run.jsonl"));
  const auto registryEvents = testing::EventsOf(trace, "registry");
  ASSERT_EQ(registryEvents.size(), 2U);
  EXPECT_EQ(registryEvents[0]["op"], "read");
  EXPECT_EQ(registryEvents[0]["data"], "dword:00000001");
  EXPECT_EQ(registryEvents[1]["op"], "write");
  EXPECT_EQ(registryEvents[1]["hive"], "HKEY_LOCAL_MACHINE");

  // The file now holds both, and a second run reads what the first wrote.
  const std::string saved = testing::ReadText(file);
  EXPECT_NE(saved.find("[HKEY_LOCAL_MACHINE\\Software\\Vistel]\r\n\"Title\"=\"My Show\"\r\n"),
            std::string::npos)
      << saved;
  auto again = MakeHost(options);
  ASSERT_NE(again, nullptr);
  const auto title =
      again->RegistryStore().GetValue(kHkeyLocalMachine, "Software\\Vistel", "Title");
  ASSERT_TRUE(title.has_value());
  EXPECT_EQ(title->type, kRegSz);
  EXPECT_EQ(again->RegistryStore()
                .GetValue(kHkeyCurrentUser, "Control Panel\\Desktop", "ScreenSaveUsePassword")
                ->data,
            Dword(1));
}

// The registry file is created at exit when missing, in a folder that may
// not exist yet either (every host writes it back the same way).
TEST(HeadlessHost, MissingRegistryFileIsEmptyAndCreatedAtWriteBack) {
  HostScratch scratch("new-registry");
  for (const char* name : {"fresh.reg", "new/fresh.reg", "new/deeper/fresh.reg"}) {
    SCOPED_TRACE(name);
    PlayerOptions options;
    options.registryPath = scratch.File(name);
    auto host = MakeHost(options);
    ASSERT_NE(host, nullptr);
    EXPECT_FALSE(std::filesystem::exists(*options.registryPath)) << "created at exit only";
    EXPECT_FALSE(host->RegistryStore().HasKey(kHkeyCurrentUser, "Control Panel"));
    const Status written = host->WriteBackRegistry();
    ASSERT_TRUE(written) << "expected the file and its folders made, got: "
                         << (written ? "" : written.error().description);
    EXPECT_EQ(testing::ReadText(*options.registryPath).substr(0, 10), "REGEDIT4\r\n");
  }

  PlayerOptions withoutFile;
  auto plain = MakeHost(withoutFile);
  ASSERT_NE(plain, nullptr);
  EXPECT_TRUE(plain->WriteBackRegistry()) << "nothing to write without --registry";
}

TEST(HeadlessHost, SnapshotIsThePaintersPictureInCreatedFolders) {
  HostScratch scratch("snapshot");
  auto host = MakeHost(PlayerOptions{});
  ASSERT_NE(host, nullptr);
  Image picture(8, 6, MakePixel(10, 20, 30));
  picture.At(7, 5) = MakePixel(250, 128, 0);
  host->ShowWindow().SetPainter([&picture]() -> const Image& { return picture; });

  const std::string path = scratch.File("deep/er/shot.png");
  ASSERT_TRUE(host->WriteSnapshot(path));
  auto back = testing::ReadSnapshot(path);
  ASSERT_TRUE(back) << back.error().description;
  EXPECT_EQ(*back, picture) << "PNG is lossless";

  testing::WriteText(scratch.File("file"), "x");
  EXPECT_FALSE(host->WriteSnapshot(scratch.File("file/shot.png")))
      << "a folder that cannot be made is reported";
}

TEST(HeadlessHost, ScriptedInputGoesToTheShowWindowOrTheOpenAboutWindow) {
  PlayerOptions options;
  auto host = MakeHost(options);
  ASSERT_NE(host, nullptr);
  RecordingInput input;
  host->ShowWindow().SetInput(&input);
  const InputEvent key{0, KeyPressInput{32}};
  const InputEvent click{0, ClickInput{MouseButton::Right, 20, 30}};
  EXPECT_FALSE(host->DeliverInput(key)) << "the show window is hidden";

  std::vector<std::string> clicked;
  const AboutLabel labels[] = {{"lblOK", "OK", 0, 0, 600, 600, 0, true}};
  host->AboutWindow().ShowAbout(
      "About", {1500, 1500}, labels, [&](std::string_view label) { clicked.emplace_back(label); },
      [] {});
  EXPECT_TRUE(host->DeliverInput(click)) << "(20, 30) px lies on the label (0..40 px)";
  EXPECT_EQ(clicked, std::vector<std::string>{"lblOK"});

  host->ShowWindow().SetWindowPos(InsertAfter::Topmost, 0, 0, 800, 600, kSwpShowWindow);
  input.calls.clear();
  EXPECT_TRUE(host->DeliverInput(key));
  EXPECT_TRUE(host->DeliverInput(click));
  EXPECT_TRUE(host->DeliverInput({0, MouseMoveInput{400.5, 300}}));
  EXPECT_EQ(input.calls, (std::vector<std::string>{"key 32", "up 2 20,30", "move 400,300"}));
  EXPECT_EQ(clicked.size(), 1U) << "the visible show window takes the click";
}

}  // namespace
}  // namespace vistel

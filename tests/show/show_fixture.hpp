// Whole shows played in-process on the headless host: a fixture that makes
// media files, writes packages with the production writer, and plays them
// through the player's Main and the headless run, returning the trace.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "base/image.hpp"
#include "hosts/common/player_options.hpp"
#include "hosts/headless/headless_host.hpp"
#include "hosts/headless/headless_run.hpp"
#include "media/ffmpeg/encoders.hpp"
#include "package/writer.hpp"
#include "platform/native_files.hpp"
#include "runtime/files.hpp"
#include "startup/player.hpp"

namespace vistel::testing {

using Json = nlohmann::json;

// An image screen shown for `seconds` with a plain repaint on a colour.
inline ScreenSettings ImageScreen(float seconds = 2.0F, std::int32_t backgroundColor = 0) {
  ScreenSettings s;
  s.ScreenKind = 0;
  s.DisplaySeconds = seconds;
  s.EffectCode = 1000;
  s.BackgroundKind = 0;
  s.BackgroundColor = backgroundColor;
  s.ImageSizing = 0;
  s.ImagePlacement = 0;
  s.CaptionFontName = "Arial";
  s.CaptionFontSize = 12;
  return s;
}

// What a played show left: its exit code, its trace and the host it ran on.
struct ShowRun {
  int exitCode = -1;
  std::vector<Json> trace;
  std::string errors;

  // The trace events named `ev`, in order.
  std::vector<Json> Events(std::string_view ev) const {
    std::vector<Json> found;
    for (const Json& line : trace) {
      if (line.value("ev", "") == ev) found.push_back(line);
    }
    return found;
  }
  // The `index` of every `screen` event.
  std::vector<int> ScreenOrder() const {
    std::vector<int> order;
    for (const Json& e : Events("screen")) order.push_back(e["index"].get<int>());
    return order;
  }
  const Json& Exit() const { return trace.back(); }
  // The first event named `ev` (an empty object when there is none).
  Json First(std::string_view ev) const {
    const auto found = Events(ev);
    return found.empty() ? Json::object() : found.front();
  }
  // The host's `password` events of one `op` ("verify", "change", "running").
  std::vector<Json> PasswordCalls(std::string_view op) const {
    std::vector<Json> found;
    for (const Json& e : Events("password")) {
      if (e.value("op", "") == op) found.push_back(e);
    }
    return found;
  }
  // The `registry` events that read or wrote the value `name`.
  std::vector<Json> RegistryUses(std::string_view name) const {
    std::vector<Json> found;
    for (const Json& e : Events("registry")) {
      if (e.value("name", "") == name) found.push_back(e);
    }
    return found;
  }
};

class ShowFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::temp_directory_path() /
           (std::string("vistel-show-") + info->test_suite_name() + "-" + info->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_ / "tmp");
    std::filesystem::create_directories(dir_ / "sys");
    player_ = Path("player.bin");
    std::ofstream(player_, std::ios::binary) << "MZ stand-in player";
  }
  void TearDown() override {
    if (!HasFailure() && std::getenv("VISTEL_KEEP_SHOWS") == nullptr)
      std::filesystem::remove_all(dir_);
  }

  std::string Path(std::string_view name) const { return (dir_ / name).string(); }

  // A picture file of one colour (or drawn by `draw`).
  std::string Picture(std::string_view name, IntSize size, Pixel colour,
                      PictureFormat format = PictureFormat::Png) {
    const Image image(size.width, size.height, colour);
    const std::string path = Path(name);
    EXPECT_TRUE(EncodePicture(image, format, path)) << "could not write " << path;
    return path;
  }
  std::string Picture(std::string_view name, const Image& image,
                      PictureFormat format = PictureFormat::Png) {
    const std::string path = Path(name);
    EXPECT_TRUE(EncodePicture(image, format, path)) << "could not write " << path;
    return path;
  }

  // An MPEG-1 clip of `frames` grey frames at 25 frames a second.
  std::string Clip(std::string_view name, IntSize size, int frames) {
    const std::string path = Path(name);
    const Mpeg1ClipSettings settings{size, 25, frames, 4};
    EXPECT_TRUE(EncodeMpeg1Clip(
        settings,
        [](int index, Image& frame) {
          const auto v = static_cast<unsigned>(40 + index * 3) & 0xFFU;
          std::fill(frame.Pixels().begin(), frame.Pixels().end(), MakePixel(v, v, v));
        },
        nullptr, path))
        << "could not write " << path;
    return path;
  }

  // A WAV tune of `ms` milliseconds (a quiet tone).
  std::string Wav(std::string_view name, int ms) {
    const AudioFormat format{22050, 1};
    std::vector<std::int16_t> samples(static_cast<std::size_t>(format.sampleRate) *
                                      static_cast<std::size_t>(ms) / 1000);
    for (std::size_t i = 0; i < samples.size(); ++i) {
      samples[i] = static_cast<std::int16_t>((i / 25) % 2 == 0 ? 2000 : -2000);
    }
    const std::string path = Path(name);
    EXPECT_TRUE(EncodeAudioFile(samples, format, AudioFileType::Wav, path));
    return path;
  }

  // Writes the package; the plan's media lists which files fill which fields.
  std::string Build(PackagePlan plan, std::string_view name = "show.scr") {
    auto files = MakeNativeFileSystem();
    const std::string out = Path(name);
    auto built = WritePackage(*files, plan, player_, out);
    EXPECT_TRUE(built) << (built ? "" : built.error().description);
    return out;
  }
  std::string Build(std::vector<ScreenSettings> screens, GlobalSettings global = {}) {
    PackagePlan plan;
    plan.package.Screens = std::move(screens);
    plan.package.Global = std::move(global);
    return Build(std::move(plan));
  }

  // An input script (--input) of JSON-lines events, written to `name`.
  std::string InputScript(const std::vector<Json>& events, std::string_view name = "input.jsonl") {
    const std::string path = Path(name);
    std::ofstream out(path, std::ios::binary);
    for (const Json& e : events) out << e.dump() << '\n';
    return path;
  }
  static Json MoveAt(double ms, double x, double y) {
    return {{"t", ms}, {"ev", "mousemove"}, {"x", x}, {"y", y}};
  }
  static Json KeyAt(double ms, int code) { return {{"t", ms}, {"ev", "key"}, {"code", code}}; }
  static Json ClickAt(double ms, double x, double y, int button = 1) {
    return {{"t", ms}, {"ev", "click"}, {"button", button}, {"x", x}, {"y", y}};
  }

  // A registry file (--registry): the REGEDIT4 header, then `body` (CR LF lines).
  std::string RegistryFile(std::string_view body, std::string_view name = "registry.reg") {
    const std::string path = Path(name);
    std::ofstream(path, std::ios::binary) << "REGEDIT4\r\n\r\n" << body;
    return path;
  }

  // A whole file's bytes as text ("" when it cannot be read).
  static std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

  // Plays `package` with the player's arguments (options and command line);
  // the trace, temporary and system folders are the fixture's.
  ShowRun Play(const std::string& package, std::vector<std::string> args) {
    return Play(package, std::move(args), PlayHooks{});
  }

  // What a test does to the host before Main runs (windows that already
  // exist) and after the run ends (state the trace does not show).
  struct PlayHooks {
    std::function<void(HeadlessHost&)> before;
    std::function<void(HeadlessHost&)> after;
  };
  ShowRun Play(const std::string& package, std::vector<std::string> args, const PlayHooks& hooks) {
    const std::string tracePath = Path("trace.jsonl");
    std::vector<std::string> all = {"--headless", "--package", package, "--trace", tracePath};
    // The fixture's folders, unless the test names its own.
    const auto given = [&args](std::string_view option) {
      return std::find(args.begin(), args.end(), option) != args.end();
    };
    if (!given("--temp")) all.insert(all.end(), {"--temp", Path("tmp")});
    if (!given("--system")) all.insert(all.end(), {"--system", Path("sys")});
    all.insert(all.end(), args.begin(), args.end());
    std::vector<std::string_view> views(all.begin(), all.end());
    auto options = ParsePlayerOptions(views);
    ShowRun run;
    if (!options) {
      ADD_FAILURE() << "bad options: " << options.error().description;
      return run;
    }
    auto host = HeadlessHost::Create(*options, programPath_.value_or(package));
    if (!host) {
      ADD_FAILURE() << "no host: " << host.error().description;
      return run;
    }
    auto plan = PlanOf(*options);
    if (!plan) {
      ADD_FAILURE() << "no plan: " << plan.error().description;
      return run;
    }
    std::ostringstream errors;
    if (hooks.before) hooks.before(**host);
    {
      Player player(**host,
                    PlayerSettings{options->packagePath,
                                   options->seed ? std::optional<std::uint64_t>(
                                                       static_cast<std::uint64_t>(*options->seed))
                                                 : std::nullopt,
                                   {},
                                   {}});
      run.exitCode = RunHeadless(
          **host, *plan, [&] { player.Main(options->commandLine); }, errors);
    }
    run.errors = errors.str();
    if (hooks.after) hooks.after(**host);
    host->reset();
    std::ifstream in(tracePath);
    for (std::string line; std::getline(in, line);) {
      if (!line.empty()) run.trace.push_back(Json::parse(line));
    }
    return run;
  }

  std::filesystem::path dir_;
  std::string player_;
  // The running program's own file; the package itself when not set, as
  // when a saver file runs.
  std::optional<std::string> programPath_;
};

}  // namespace vistel::testing

// sheet: a contact sheet of a show, every screen as the headless player shows
// it at rest. The player runs twice on its virtual clock: once with a trace,
// which says when each screen's revealing repaint returned and when the next
// step began, and once more with a snapshot at a moment of each screen's rest
// (and, on request, the middle of its transition). The same seed makes the
// second run follow the first; the tool checks that it did.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <thread>

#include "base/input_limits.hpp"
#include "commands.hpp"
#include "imaging/effects/effect_catalogue.hpp"
#include "media/ffmpeg/encoders.hpp"
#include "platform/native_files.hpp"
#include "scratch_folder.hpp"
#include "sheet/contact_sheet.hpp"
#include "sheet/show_timeline.hpp"

extern char** environ;

namespace vistel::pack {
namespace {

namespace fs = std::filesystem;

constexpr Milliseconds kFrameMs = 16;  // the player's default, passed on explicitly
// A clip's length is not in the configuration: this much show time is allowed
// for each video screen when the first run's length is estimated.
constexpr Milliseconds kClipAllowanceMs = 60000;
constexpr Milliseconds kDefaultMaxShowMs = 600000;
constexpr Milliseconds kMaxShowMs = 24LL * 3600 * 1000;
constexpr std::size_t kMaxSheetScreens = 200;
constexpr int kMaxSheetScreenSide = 4096;
// A run of the player that takes longer than this on the real clock is
// stopped: the headless player runs far faster than the show's own time.
constexpr std::chrono::seconds kPlayerWallLimit{900};
constexpr std::uint64_t kMaxTraceBytes = std::uint64_t{512} << 20;

struct SheetOptions {
  std::string input;
  std::string output;
  IntSize screen{800, 600};
  std::uint64_t seed = 1;
  int columns = 0;  // 0: 4, or 2 with --transitions
  int cellWidth = 200;
  Milliseconds maxShowMs = kDefaultMaxShowMs;
  bool transitions = false;
};

std::optional<std::uint64_t> ParseNumber(std::string_view text) {
  std::uint64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<IntSize> ParseScreen(std::string_view text) {
  const auto x = text.find_first_of("xX");
  if (x == std::string_view::npos) return std::nullopt;
  const auto w = ParseNumber(text.substr(0, x));
  const auto h = ParseNumber(text.substr(x + 1));
  if (!w || !h || *w < 16 || *h < 16 || *w > kMaxSheetScreenSide || *h > kMaxSheetScreenSide) {
    return std::nullopt;
  }
  return IntSize{static_cast<int>(*w), static_cast<int>(*h)};
}

std::string Seconds(Milliseconds ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", static_cast<double>(ms) / 1000.0);
  return text;
}

std::string ShortSeconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", seconds);
  return text;
}

// Whether the file holds a show description rather than a package: a
// description is JSON text (with comments), a package starts with a program.
bool LooksLikeDescription(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  char head[64] = {};
  in.read(head, sizeof head);
  std::string_view text(head, static_cast<std::size_t>(in.gcount()));
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r' ||
                           text.front() == '\n')) {
    text.remove_prefix(1);
  }
  return !text.empty() && (text.front() == '{' || text.front() == '/');
}

Result<std::string> ReadCapped(const std::string& path, std::uint64_t cap) {
  std::error_code ec;
  const auto size = fs::file_size(path, ec);
  if (ec) return Fail(ErrorCode::FileNotFound, path + ": " + ec.message());
  if (size > cap) {
    return Fail(ErrorCode::OutOfMemory,
                path + ": " + std::to_string(size) + " bytes, more than " + std::to_string(cap));
  }
  std::ifstream in(path, std::ios::binary);
  std::string text(static_cast<std::size_t>(size), '\0');
  in.read(text.data(), static_cast<std::streamsize>(size));
  text.resize(static_cast<std::size_t>(in.gcount()));
  return text;
}

// The last lines of the player's output, for a failure's message.
std::string Tail(const std::string& path) {
  auto text = ReadCapped(path, 1 << 20);
  if (!text) return "";
  std::vector<std::string_view> lines;
  std::string_view rest(*text);
  while (!rest.empty()) {
    const std::size_t end = std::min(rest.find('\n'), rest.size());
    if (end > 0) lines.push_back(rest.substr(0, end));
    rest.remove_prefix(std::min(end + 1, rest.size()));
  }
  std::string tail;
  for (std::size_t i = lines.size() > 5 ? lines.size() - 5 : 0; i < lines.size(); ++i) {
    tail += (tail.empty() ? "" : "\n") + std::string(lines[i]);
  }
  return tail;
}

// Runs the player with its output in logPath; the exit code, or a failure
// when it could not be started, was killed or outran kPlayerWallLimit.
Result<int> RunPlayer(const std::string& player, const std::vector<std::string>& args,
                      const std::string& logPath) {
  std::vector<std::string> argv = {player};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> pointers;
  for (std::string& arg : argv) pointers.push_back(arg.data());
  pointers.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, logPath.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW, 0600);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  pid_t pid = 0;
  const int spawned =
      posix_spawn(&pid, player.c_str(), &actions, nullptr, pointers.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    return Fail(ErrorCode::PathFileAccessError,
                player + ": cannot start it: " +
                    std::error_code(spawned, std::generic_category()).message());
  }
  const auto deadline = std::chrono::steady_clock::now() + kPlayerWallLimit;
  int status = 0;
  for (;;) {
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (done < 0 && errno != EINTR) {
      return Fail(ErrorCode::DeviceIoError, "lost the player's process");
    }
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      return Fail(ErrorCode::DeviceIoError, "the player ran longer than " +
                                                std::to_string(kPlayerWallLimit.count()) +
                                                " s and was stopped");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (WIFSIGNALED(status)) {
    return Fail(ErrorCode::DeviceIoError,
                "the player ended by signal " + std::to_string(WTERMSIG(status)));
  }
  return WEXITSTATUS(status);
}

// ---- The show as configured ---------------------------------------------

// timInterval's interval for an image screen (DisplaySeconds x 1000 to the
// nearest, ties to even); 0 or less never ticks.
Milliseconds IntervalMs(const ScreenSettings& screen) {
  const double ms = std::nearbyint(static_cast<double>(screen.DisplaySeconds * 1000.0f));
  if (!std::isfinite(ms)) return 0;
  return static_cast<Milliseconds>(std::clamp(ms, -1.0, static_cast<double>(kMaxShowMs)));
}

bool IsVideo(const ScreenSettings& screen) {
  return screen.ScreenKind != 0;
}

std::string KindOf(const ScreenSettings& screen) {
  if (IsVideo(screen)) return screen.VideoLength != 0 ? "video" : "video (no clip)";
  return screen.ImageLength != 0 ? "image" : "background";
}

Milliseconds EffectMs(std::int16_t param2) {
  if (param2 <= 0) return effects::kDefaultDuration;
  return std::clamp<Milliseconds>(param2, effects::kMinDuration, effects::kMaxDuration);
}

// The longest the revealing repaint of the screen can take.
Milliseconds TransitionMs(const Package& package, const ScreenSettings& screen) {
  if (package.Global.RandomEffects) return EffectMs(screen.EffectParam2);
  if (screen.EffectCode == -100) {
    return IsVideo(screen)
               ? 0
               : (std::clamp<Milliseconds>(screen.CrossFadeParam, 0, 128) + 1) * kFrameMs;
  }
  if (!effects::DescribeEffect(screen.EffectCode)) return 0;
  return EffectMs(screen.EffectParam2);
}

// How long the first run must go for every screen to have been shown and
// rested: the screens in order, a clip allowance for video screens, and no
// further than a screen that never ends. In random order a screen comes at
// random, so the show is allowed several rounds.
Milliseconds EstimateShowMs(const Package& package, std::size_t screens, Milliseconds cap) {
  Milliseconds total = 2000;
  for (std::size_t i = 0; i < screens && total < cap; ++i) {
    const ScreenSettings& screen = package.Screens[i];
    total += TransitionMs(package, screen);
    if (IsVideo(screen)) {
      total += kClipAllowanceMs + 500;
    } else if (const Milliseconds interval = IntervalMs(screen); interval > 0) {
      total += interval;
    } else if (!package.Global.RandomScreenOrder) {
      total += 3000;  // the show stays on this screen: a while of its rest
      break;
    }
  }
  if (package.Global.RandomScreenOrder) {
    total *= 1 + static_cast<Milliseconds>(std::ceil(std::log(static_cast<double>(screens) + 1)));
  }
  return std::min(total, cap);
}

std::string EffectLabel(const Package& package, const ScreenSettings& screen,
                        const ScreenStep* step) {
  const auto named = [](int code) {
    const auto recipe = effects::DescribeEffect(code);
    if (!recipe) return std::to_string(code) + " plain repaint";
    const auto shapes = effects::ShapeNames(recipe->family);
    std::string text =
        std::to_string(code) + " " + std::string(effects::FamilyName(recipe->family));
    if (static_cast<std::size_t>(recipe->shape) < shapes.size()) {
      text += " (" + std::string(shapes[static_cast<std::size_t>(recipe->shape)]) + ")";
    }
    return text;
  };
  if (package.Global.RandomEffects) {
    return step && step->effectMs ? "random: " + named(step->effectCode) : "random effect";
  }
  if (screen.EffectCode == -100) {
    // A video screen never cross-fades: its repaint keeps the effect the
    // surface had.
    if (IsVideo(screen)) {
      return step && step->effectMs ? "no cross-fade on video: " + named(step->effectCode)
                                    : "no cross-fade on video";
    }
    return "cross-fade " + std::to_string(screen.CrossFadeParam) + " steps";
  }
  if (screen.EffectCode == kPlainRepaintEffect) return "plain repaint";
  return "effect " + named(screen.EffectCode);
}

std::string DurationLabel(const ScreenSettings& screen, const ScreenStep* step) {
  if (IsVideo(screen)) {
    if (step && step->clipStartMs && step->clipEndMs) {
      return "clip " +
             ShortSeconds(static_cast<double>(*step->clipEndMs - *step->clipStartMs) / 1000.0) +
             " s";
    }
    return "until the clip ends";
  }
  const Milliseconds interval = IntervalMs(screen);
  if (interval <= 0) return "until input";
  return ShortSeconds(static_cast<double>(interval) / 1000.0) + " s";
}

// Why a screen has no step in the run.
std::string WhyNotReached(const Package& package, const ShowTimeline& timeline,
                          Milliseconds ranMs) {
  if (timeline.steps.empty()) {
    std::string why = "the show never started";
    if (!timeline.messages.empty()) why += ": " + timeline.messages.front();
    return why;
  }
  const ScreenStep& last = timeline.steps.back();
  const std::string stays = "the show stays on screen " + std::to_string(last.index);
  if (last.index >= 0 && static_cast<std::size_t>(last.index) < package.Screens.size()) {
    const ScreenSettings& screen = package.Screens[static_cast<std::size_t>(last.index)];
    if (!IsVideo(screen) && IntervalMs(screen) <= 0) return stays + " (DisplaySeconds 0)";
    if (IsVideo(screen) && !last.clipEndMs) {
      if (timeline.exitReason == "idle") return stays + ": its clip never ends";
      return "screen " + std::to_string(last.index) + "'s clip had not ended after " +
             Seconds(ranMs) + " s of show";
    }
  }
  if (timeline.exitReason != "run-for") {
    return "the show ended at " + Seconds(timeline.endMs) + " s" +
           (timeline.exitReason.empty() ? "" : " (" + timeline.exitReason + ")");
  }
  return package.Global.RandomScreenOrder
             ? "random order did not draw it in the first " + Seconds(ranMs) + " s of show"
             : "beyond the first " + Seconds(ranMs) + " s of show";
}

// Whether the run ended by its time while a video screen's clip played and
// some screen was still to come.
bool ClipOutranTheRun(const Package& package, const ShowTimeline& timeline, std::size_t shown) {
  if (timeline.exitReason != "run-for" || timeline.steps.empty()) return false;
  const ScreenStep& last = timeline.steps.back();
  if (last.index < 0 || static_cast<std::size_t>(last.index) >= package.Screens.size() ||
      !IsVideo(package.Screens[static_cast<std::size_t>(last.index)]) || last.clipEndMs) {
    return false;
  }
  const auto stepOf = StepOfEachScreen(timeline, shown);
  return std::any_of(stepOf.begin(), stepOf.end(), [](const auto& step) { return !step; });
}

// ---- The two runs ---------------------------------------------------------

struct RunSetup {
  std::string player;
  std::string package;
  std::string scratch;
  SheetOptions options;
};

std::vector<std::string> PlayerArguments(const RunSetup& setup, Milliseconds runForMs,
                                         const std::string& tracePath) {
  const SheetOptions& o = setup.options;
  return {"--headless",
          "--package",
          setup.package,
          "--run-for",
          Seconds(runForMs),
          "--screen",
          std::to_string(o.screen.width) + "x" + std::to_string(o.screen.height),
          "--seed",
          std::to_string(o.seed),
          "--frame-ms",
          std::to_string(kFrameMs),
          "--trace",
          tracePath,
          "--temp",
          setup.scratch + "/temp",
          "--system",
          setup.scratch + "/system",
          "--registry",
          setup.scratch + "/registry.reg"};
}

Result<ShowTimeline> RunForTimeline(const RunSetup& setup, Milliseconds runForMs,
                                    const std::vector<std::pair<Milliseconds, std::string>>& snaps,
                                    const std::string& name) {
  const std::string trace = setup.scratch + "/" + name + ".jsonl";
  const std::string log = setup.scratch + "/" + name + ".log";
  std::vector<std::string> args = PlayerArguments(setup, runForMs, trace);
  for (const auto& [ms, path] : snaps) {
    args.push_back("--snapshot");
    args.push_back(Seconds(ms) + ":" + path);
  }
  args.push_back("/s");
  auto code = RunPlayer(setup.player, args, log);
  if (!code) return Fail(code.error());
  auto text = ReadCapped(trace, kMaxTraceBytes);
  if (!text) {
    return Fail(ErrorCode::InvalidPackage, "the player wrote no trace (exit code " +
                                               std::to_string(*code) + "): " + Tail(log));
  }
  auto timeline = ReadShowTimeline(*text);
  if (!timeline) return Fail(timeline.error());
  if (*code != 0 && timeline->steps.empty()) {
    return Fail(ErrorCode::InvalidPackage,
                "the player ended with exit code " + std::to_string(*code) + ": " + Tail(log));
  }
  return timeline;
}

int Problem(const std::string& message) {
  Report(message);
  return kExitProblem;
}

int ParseSheetOptions(const std::vector<std::string>& args, SheetOptions& o, ParsedArgs& parsed) {
  std::string error;
  auto p = ParseArgs(
      args,
      {{"--output", "--screen", "--seed", "--player", "--columns", "--cell-width", "--max-seconds"},
       {"--transitions"}},
      error);
  if (!p) return UsageError("sheet", error);
  parsed = *p;
  if (parsed.positionals.empty()) return UsageError("sheet", "missing PACKAGE or SHOW.json");
  if (parsed.positionals.size() > 1) {
    return UsageError("sheet", "unexpected argument '" + parsed.positionals[1] + "'");
  }
  o.input = parsed.positionals.front();
  const auto value = [&](const char* name) -> const std::string* {
    const auto found = parsed.values.find(name);
    return found == parsed.values.end() ? nullptr : &found->second;
  };
  if (!value("--output")) return UsageError("sheet", "missing -o SHEET.png");
  o.output = *value("--output");
  if (const auto* v = value("--screen")) {
    const auto size = ParseScreen(*v);
    if (!size) return UsageError("sheet", "--screen needs WxH, each side 16 to 4096: " + *v);
    o.screen = *size;
  }
  if (const auto* v = value("--seed")) {
    const auto seed = ParseNumber(*v);
    if (!seed || *seed > 0xFFFFFFFFULL) return UsageError("sheet", "--seed needs 0 to 4294967295");
    o.seed = *seed;
  }
  if (const auto* v = value("--columns")) {
    const auto n = ParseNumber(*v);
    if (!n || *n < 1 || *n > kMaxSheetColumns) {
      return UsageError("sheet", "--columns needs 1 to " + std::to_string(kMaxSheetColumns));
    }
    o.columns = static_cast<int>(*n);
  }
  if (const auto* v = value("--cell-width")) {
    const auto n = ParseNumber(*v);
    if (!n || *n < 64 || *n > 800) return UsageError("sheet", "--cell-width needs 64 to 800");
    o.cellWidth = static_cast<int>(*n);
  }
  if (const auto* v = value("--max-seconds")) {
    const auto n = ParseNumber(*v);
    if (!n || *n < 1 || *n > static_cast<std::uint64_t>(kMaxShowMs / 1000)) {
      return UsageError("sheet", "--max-seconds needs 1 to " + std::to_string(kMaxShowMs / 1000));
    }
    o.maxShowMs = static_cast<Milliseconds>(*n) * 1000;
  }
  o.transitions = parsed.flags.contains("--transitions");
  if (o.columns == 0) o.columns = o.transitions ? 2 : 4;
  return kExitOk;
}

}  // namespace

Status WriteSheetPicture(const Image& image, const std::string& path) {
  return WritePng(image, path);
}

int RunSheet(const std::vector<std::string>& args, std::string_view selfPath) {
  SheetOptions options;
  ParsedArgs parsed;
  if (const int usage = ParseSheetOptions(args, options, parsed); usage != kExitOk) return usage;
  int failure = kExitUsage;
  const auto player = ChoosePlayer(parsed, selfPath, "sheet", failure);
  if (!player) return failure;
  if (SameFile(options.output, options.input) || SameFile(options.output, *player)) {
    return Problem(options.output + ": is an input of the sheet; choose another output");
  }

  ScratchFolder scratch;
  std::string error;
  if (!scratch.Create("vistel-sheet", error)) return Problem(error);
  RunSetup setup{*player, options.input, scratch.Path(), options};
  if (LooksLikeDescription(options.input)) {
    // The package is a step towards the sheet: it lives in the scratch folder.
    // What build would refuse is shown as it plays, with build's words as
    // warnings: the sheet is where an author looks at a show that is not
    // right yet.
    setup.package = scratch.Path() + "/show.scr";
    if (const int built = BuildFromDescription(options.input, *player, setup.package,
                                               SummaryLine::kQuiet, Validation::kPermissive);
        built != kExitOk) {
      return built;
    }
  }
  const auto files = MakeNativeFileSystem();
  const auto loaded = LoadPackageForTool(*files, setup.package);
  if (!loaded) return kExitProblem;
  const Package& package = loaded->package;
  const std::size_t screenCount = package.Screens.size();
  const std::size_t shown = std::min(screenCount, kMaxSheetScreens);
  if (shown < screenCount) {
    Report("the sheet shows the first " + std::to_string(shown) + " of " +
           std::to_string(screenCount) + " screens");
  }

  // First run: when does each screen rest?
  Milliseconds runMs = EstimateShowMs(package, shown, options.maxShowMs);
  auto first = RunForTimeline(setup, runMs, {}, "first");
  if (!first) return Problem(setup.package + ": " + first.error().description);
  // A clip longer than its allowance cut the run short: run longer, while
  // --max-seconds allows.
  while (ClipOutranTheRun(package, *first, shown) && runMs < options.maxShowMs) {
    runMs = std::min(options.maxShowMs, 2 * runMs + kClipAllowanceMs);
    first = RunForTimeline(setup, runMs, {}, "first");
    if (!first) return Problem(setup.package + ": " + first.error().description);
  }
  const auto stepOf = StepOfEachScreen(*first, shown);
  const std::string unreached = WhyNotReached(package, *first, runMs);

  // Second run: a snapshot at each of those moments.
  struct Shot {
    Milliseconds atMs;
    std::string path;
  };
  std::vector<std::optional<Shot>> transitionShots(shown), restShots(shown);
  std::vector<std::pair<Milliseconds, std::string>> snaps;
  Milliseconds lastMs = 0;
  for (std::size_t i = 0; i < shown; ++i) {
    if (!stepOf[i]) continue;
    const ScreenStep& step = first->steps[*stepOf[i]];
    char name[32];
    if (const auto at = RestMoment(step)) {
      std::snprintf(name, sizeof name, "/rest-%03zu.png", i);
      restShots[i] = Shot{*at, scratch.Path() + name};
      snaps.emplace_back(*at, restShots[i]->path);
      lastMs = std::max(lastMs, *at);
    }
    if (const auto at = TransitionMoment(step, kFrameMs); at && options.transitions) {
      std::snprintf(name, sizeof name, "/mid-%03zu.png", i);
      transitionShots[i] = Shot{*at, scratch.Path() + name};
      snaps.emplace_back(*at, transitionShots[i]->path);
      lastMs = std::max(lastMs, *at);
    }
  }
  if (!snaps.empty()) {
    auto second = RunForTimeline(setup, lastMs + 1, snaps, "second");
    if (!second) return Problem(setup.package + ": " + second.error().description);
    // Every step pictured must have come again at the same times.
    for (std::size_t i = 0; i < shown; ++i) {
      if (!stepOf[i]) continue;
      const ScreenStep& a = first->steps[*stepOf[i]];
      const bool same = *stepOf[i] < second->steps.size() &&
                        second->steps[*stepOf[i]].index == a.index &&
                        second->steps[*stepOf[i]].startMs == a.startMs &&
                        (!restShots[i] || second->steps[*stepOf[i]].revealMs == a.revealMs);
      if (!same) {
        return Problem(setup.package + ": the show did not play the same way twice (screen " +
                       std::to_string(i) + "); the sheet would not show what plays");
      }
    }
  }

  // The cells.
  std::vector<SheetCell> cells;
  std::vector<std::string> legend;
  const auto frameOf = [](const std::optional<Shot>& shot, const std::string& whyNone) {
    SheetFrame frame;
    if (!shot) {
      frame.absence = whyNone;
      return frame;
    }
    auto picture = ReadPng(shot->path);
    if (picture) {
      frame.picture = std::move(*picture);
    } else {
      frame.absence = "no snapshot at " + Seconds(shot->atMs) + " s";
    }
    return frame;
  };
  for (std::size_t i = 0; i < shown; ++i) {
    const ScreenSettings& screen = package.Screens[i];
    const ScreenStep* step = stepOf[i] ? &first->steps[*stepOf[i]] : nullptr;
    SheetCell cell;
    std::string line =
        "#" + std::to_string(i) + " " + KindOf(screen) + ", " + DurationLabel(screen, step);
    cell.label.push_back(line);
    cell.label.push_back(EffectLabel(package, screen, step));
    std::string times;
    if (!step) {
      if (options.transitions) cell.frames.push_back(SheetFrame{{}, "not reached"});
      cell.frames.push_back(SheetFrame{{}, "not reached: " + unreached});
      times = "not reached";
    } else {
      if (options.transitions) {
        cell.frames.push_back(frameOf(transitionShots[i], "no transition to show"));
        times = transitionShots[i] ? "mid " + Seconds(transitionShots[i]->atMs) + " s, " : "";
      }
      cell.frames.push_back(frameOf(restShots[i], "no rest: the next screen came at once"));
      times += restShots[i] ? "rest " + Seconds(restShots[i]->atMs) + " s" : "no rest";
    }
    cell.label.push_back(times);
    legend.push_back("screen " + std::to_string(i) + ": " + KindOf(screen) + ", " +
                     DurationLabel(screen, step) + ", " + EffectLabel(package, screen, step));
    cells.push_back(std::move(cell));
  }

  SheetLayout layout;
  layout.columns = options.columns;
  layout.thumbnail = {
      options.cellWidth,
      std::max(16, static_cast<int>(std::lround(static_cast<double>(options.cellWidth) *
                                                options.screen.height / options.screen.width)))};
  layout.thumbnail.height = std::min(layout.thumbnail.height, kMaxThumbnailSide);
  layout.title = fs::path(options.input).filename().string() + ": " + std::to_string(screenCount) +
                 " screens, " + std::to_string(options.screen.width) + "x" +
                 std::to_string(options.screen.height) + ", seed " + std::to_string(options.seed) +
                 (package.Global.RandomScreenOrder ? ", random order" : "") +
                 (package.Global.RandomEffects ? ", random effects" : "");
  FramePlaces places;
  auto sheet = ComposeSheet(cells, layout, &places);
  if (!sheet) return Problem(sheet.error().description);
  if (auto written = WriteSheetPicture(*sheet, options.output); !written) {
    return Problem(options.output + ": " + written.error().description);
  }

  // The legend: what each cell shows, when, and where it lies on the sheet.
  for (std::size_t i = 0; i < shown; ++i) {
    std::cout << legend[i];
    const auto& frames = cells[i].frames;
    for (std::size_t f = 0; f < frames.size(); ++f) {
      const IntRect& r = places[i][f];
      const bool transition = options.transitions && f == 0;
      const auto& shot = transition ? transitionShots[i] : restShots[i];
      std::cout << "; " << (transition ? "transition" : "rest");
      if (shot && !frames[f].picture.IsEmpty()) {
        std::cout << " at " << Seconds(shot->atMs) << " s";
      } else {
        std::cout << ": " << frames[f].absence;
      }
      std::cout << " -> " << r.left << "," << r.top << " " << r.width << "x" << r.height;
    }
    std::cout << "\n";
  }
  std::cout << "wrote " << options.output << " (" << sheet->Width() << "x" << sheet->Height()
            << "): " << shown << " screens\n";
  return kExitOk;
}

}  // namespace vistel::pack

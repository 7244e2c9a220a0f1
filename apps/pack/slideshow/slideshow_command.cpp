// slideshow: a package of a show made from a folder of photos.
#include <charconv>
#include <filesystem>
#include <iomanip>
#include <map>
#include <random>
#include <sstream>
#include <system_error>

#include "base/input_limits.hpp"
#include "commands.hpp"
#include "imaging/resample.hpp"
#include "media_validation.hpp"
#include "package/slideshow.hpp"
#include "platform/native_files.hpp"
#include "scratch_folder.hpp"
#include "slideshow/photo_folder.hpp"
#include "slideshow/photo_preparation.hpp"
#include "slideshow/progress_line.hpp"

namespace vistel::pack {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kCommand = "slideshow";
constexpr IntSize kDefaultMaxSize{3840, 2160};
constexpr float kDefaultSeconds = 8;
constexpr float kMinSeconds = 0.5F;
constexpr float kMaxSeconds = 86400;
constexpr int kDefaultSteps = 32;
// A step is one frame (about 1/60 s): 128 steps fade for about two seconds,
// as slow as a photo show wants; the player itself takes far more.
constexpr int kMaxSteps = 128;
constexpr int kMinSide = 16;

struct Options {
  std::string folder;
  std::string output;
  std::string music;
  std::string title;
  float seconds = kDefaultSeconds;
  SlideEffects effects = SlideEffects::CrossFade;
  int steps = kDefaultSteps;
  bool captions = false;
  SlideOrder order = SlideOrder::Name;
  std::optional<std::uint64_t> seed;
  IntSize maxSize = kDefaultMaxSize;
};

template <class T>
bool ParseNumber(std::string_view text, T& value) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size();
}

std::optional<IntSize> ParseSize(std::string_view text) {
  const std::size_t x = text.find('x');
  if (x == std::string_view::npos) return std::nullopt;
  IntSize size;
  if (!ParseNumber(text.substr(0, x), size.width) ||
      !ParseNumber(text.substr(x + 1), size.height)) {
    return std::nullopt;
  }
  if (size.width < kMinSide || size.height < kMinSide ||
      !IsAllowedBitmapSize(size.width, size.height)) {
    return std::nullopt;
  }
  return size;
}

// Fills `options` from the command line; a usage message when it is wrong.
std::optional<std::string> ReadOptions(const ParsedArgs& parsed, Options& options) {
  if (parsed.positionals.empty()) return "missing PHOTOS_DIR";
  if (parsed.positionals.size() > 1) {
    return "unexpected argument '" + parsed.positionals[1] + "'";
  }
  options.folder = parsed.positionals.front();
  const auto value = [&](std::string_view name) -> const std::string* {
    const auto it = parsed.values.find(name);
    return it == parsed.values.end() ? nullptr : &it->second;
  };
  if (const auto* out = value("--output")) {
    options.output = *out;
  } else {
    return "missing -o OUT.scr";
  }
  if (const auto* seconds = value("--seconds")) {
    if (!ParseNumber(*seconds, options.seconds) || !(options.seconds >= kMinSeconds) ||
        options.seconds > kMaxSeconds) {
      return "--seconds takes a number of seconds from 0.5 to 86400, not '" + *seconds + "'";
    }
  }
  if (const auto* effects = value("--effects")) {
    if (*effects == "random") {
      options.effects = SlideEffects::Random;
    } else if (*effects == "crossfade") {
      options.effects = SlideEffects::CrossFade;
    } else if (*effects == "none") {
      options.effects = SlideEffects::None;
    } else {
      return "--effects takes random, crossfade or none, not '" + *effects + "'";
    }
  }
  if (const auto* steps = value("--steps")) {
    if (options.effects != SlideEffects::CrossFade) return "--steps goes with --effects crossfade";
    if (!ParseNumber(*steps, options.steps) || options.steps < 1 || options.steps > kMaxSteps) {
      return "--steps takes a whole number from 1 to 128, not '" + *steps + "'";
    }
  }
  if (const auto* caption = value("--caption")) {
    if (*caption != "names" && *caption != "none") {
      return "--caption takes names or none, not '" + *caption + "'";
    }
    options.captions = *caption == "names";
  }
  if (const auto* order = value("--order")) {
    if (*order == "name") {
      options.order = SlideOrder::Name;
    } else if (*order == "date") {
      options.order = SlideOrder::Date;
    } else if (*order == "shuffle") {
      options.order = SlideOrder::Shuffle;
    } else {
      return "--order takes shuffle, name or date, not '" + *order + "'";
    }
  }
  if (const auto* seed = value("--seed")) {
    if (options.order != SlideOrder::Shuffle) return "--seed goes with --order shuffle";
    std::uint64_t number = 0;
    if (!ParseNumber(*seed, number)) return "--seed takes a whole number, not '" + *seed + "'";
    options.seed = number;
  }
  if (const auto* max = value("--max")) {
    const auto size = ParseSize(*max);
    if (!size) {
      return "--max takes WIDTHxHEIGHT, each 16 to 16384 and at most 40 million pixels, not '" +
             *max + "'";
    }
    options.maxSize = *size;
  }
  if (const auto* music = value("--music")) options.music = *music;
  if (const auto* title = value("--title")) options.title = *title;
  return std::nullopt;
}

std::uint64_t FreshSeed() {
  std::random_device device;
  return (std::uint64_t{device()} << 32) | device();
}

// The decoder's message names the file already; the warning names it first.
std::string Reason(const Error& error, const std::string& path) {
  const std::string prefix = "Cannot read the picture " + path + ": ";
  return error.description.starts_with(prefix) ? error.description.substr(prefix.size())
                                               : error.description;
}

struct PreparedSlides {
  std::vector<Slide> slides;
  std::size_t rewritten = 0;  // turned, shrunk or converted
  std::size_t skipped = 0;
};

// Every photo made ready in the show's order, rewritten ones into `scratch`;
// a photo that cannot be shown is skipped with a warning naming it.
PreparedSlides PrepareSlides(const std::vector<SlideCandidate>& candidates,
                             const std::map<std::string, std::string, std::less<>>& pathOf,
                             const Options& options, const std::string& scratch) {
  PreparedSlides result;
  ProgressLine progress(candidates.size());
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    const std::string& relative = candidates[i].relativePath;
    const std::string& path = pathOf.at(relative);
    progress.Show(i, relative);
    std::ostringstream name;
    name << "photo-" << std::setw(5) << std::setfill('0') << i << ".jpg";
    const auto prepared =
        PreparePhoto(path, options.maxSize, (fs::path(scratch) / name.str()).string());
    if (!prepared) {
      progress.Warn(path + ": skipped: " + Reason(prepared.error(), path));
      ++result.skipped;
      continue;
    }
    if (prepared->rewritten) ++result.rewritten;
    std::string caption;
    if (options.captions) caption = CaptionFromFileName(fs::path(relative).filename().string());
    result.slides.push_back({prepared->path, std::move(caption), "photo " + path});
  }
  progress.Show(candidates.size(), "");
  return result;
}

}  // namespace

int RunSlideshow(const std::vector<std::string>& args, std::string_view selfPath) {
  std::string error;
  const auto parsed = ParseArgs(args,
                                {{"--output", "--player", "--seconds", "--music", "--effects",
                                  "--steps", "--caption", "--order", "--seed", "--max", "--title"},
                                 {}},
                                error);
  if (!parsed) return UsageError(kCommand, error);
  Options options;
  if (const auto problem = ReadOptions(*parsed, options)) return UsageError(kCommand, *problem);

  int failure = kExitUsage;
  const auto player = ChoosePlayer(*parsed, selfPath, kCommand, failure);
  if (!player) return failure;
  const std::string& playerPath = *player;
  std::error_code ec;
  if (!fs::is_directory(options.folder, ec)) {
    Report(options.folder + ": not a folder of photos");
    return kExitProblem;
  }
  if (!options.music.empty() && !fs::is_directory(options.music, ec)) {
    Report(options.music + ": not a folder of music");
    return kExitProblem;
  }
  if (SameFile(playerPath, options.output)) {
    Report(options.output + ": is the player; choose another output");
    return kExitProblem;
  }

  const WalkWarning report = [](const std::string& message) { Report(message); };
  const std::vector<FoundPhoto> found = FindPhotos(options.folder, report);
  if (found.empty()) {
    Report(options.folder + ": no photos found (JPEG, PNG, BMP, GIF or TIFF files)");
    return kExitProblem;
  }
  std::vector<SlideCandidate> candidates;
  candidates.reserve(found.size());
  std::map<std::string, std::string, std::less<>> pathOf;
  for (const FoundPhoto& photo : found) {
    candidates.push_back({photo.relativePath, 0});
    pathOf[photo.relativePath] = photo.path;
  }
  if (options.order == SlideOrder::Date) {
    ProgressLine progress(candidates.size());
    for (std::size_t i = 0; i < candidates.size(); ++i) {
      progress.Show(i, "dates: " + candidates[i].relativePath);
      candidates[i].takenSeconds = PhotoTakenSeconds(pathOf[candidates[i].relativePath]);
    }
  }
  const std::uint64_t seed = options.seed ? *options.seed : FreshSeed();
  OrderSlides(candidates, options.order, seed);
  if (candidates.size() > limits::kMaxScreens) {
    Report(options.folder + ": " + std::to_string(candidates.size()) + " photos; a show holds " +
           std::to_string(limits::kMaxScreens) + ", the rest in this order are left out");
    candidates.resize(limits::kMaxScreens);
  }

  ScratchFolder scratch;
  if (!scratch.Create("vistel-slideshow", error)) {
    Report(error);
    return kExitProblem;
  }
  const PreparedSlides prepared = PrepareSlides(candidates, pathOf, options, scratch.Path());
  const std::vector<Slide>& slides = prepared.slides;
  if (slides.empty()) {
    Report(options.folder + ": none of the " + std::to_string(candidates.size()) +
           " photos found can be shown; no package written");
    return kExitProblem;
  }

  std::vector<std::string> tracks;
  if (!options.music.empty()) {
    tracks = FindMusic(options.music, report);
    // A track the player cannot play would end the music there: it is left
    // out, as an unreadable photo is.
    const auto files = MakeNativeFileSystem();
    MediumValidator validator;
    std::erase_if(tracks, [&](const std::string& track) {
      const std::string name = Windows1252Approximation(fs::path(track).filename().string());
      const MediumVerdict& verdict =
          validator.Check(MediumValidator::Key(track, MediumUse::Track, name), *files, track,
                          MediumUse::Track, name);
      if (verdict.problems.empty()) return false;
      Report(track + ": skipped: " + verdict.problems.front());
      return true;
    });
    if (tracks.empty()) Report(options.music + ": no music files (MP3, MP2, WAV or MIDI) found");
  }
  // The package replaces the output only at the end, but an input that is
  // the output would still be lost.
  for (const Slide& slide : slides) {
    if (SameFile(slide.path, options.output)) {
      Report(options.output + ": is a photo of the show; choose another output");
      return kExitProblem;
    }
  }
  for (const std::string& track : tracks) {
    if (SameFile(track, options.output)) {
      Report(options.output + ": is a music file of the show; choose another output");
      return kExitProblem;
    }
  }

  SlideshowStyle style;
  std::string title = options.title;
  if (title.empty()) {
    // The folder's own name ("photos/" and "photos/." included).
    fs::path folder = fs::absolute(options.folder, ec).lexically_normal();
    if (!folder.has_filename()) folder = folder.parent_path();
    title = folder.filename().string();
  }
  style.title = Windows1252Approximation(title);
  style.displaySeconds = options.seconds;
  style.effects = options.effects;
  style.crossFadeSteps = static_cast<std::int16_t>(options.steps);

  std::string detail = "; " + std::to_string(slides.size()) + " photos (" +
                       std::to_string(prepared.rewritten) + " turned, shrunk or converted), " +
                       std::to_string(prepared.skipped) + " skipped";
  if (options.order == SlideOrder::Shuffle)
    detail += "; shuffled with --seed " + std::to_string(seed);
  const auto files = MakeNativeFileSystem();
  return WriteVerifiedPackage(*files, SlideshowPlan(slides, tracks, style), playerPath,
                              options.output, detail);
}

}  // namespace vistel::pack

// build: SHOW.json -> package.
#include <filesystem>
#include <span>

#include "base/input_limits.hpp"
#include "commands.hpp"
#include "media_validation.hpp"
#include "package/field_ranges.hpp"
#include "package/show_description.hpp"
#include "platform/native_files.hpp"

namespace vistel::pack {
namespace {

namespace fs = std::filesystem;

Result<std::string> ReadText(FileSystem& files, const std::string& path) {
  auto file = files.OpenRead(path);
  if (!file) return Fail(file.error());
  // A show description is a few kilobytes; the file is refused before it is read.
  if ((*file)->Size() > limits::kMaxShowDescriptionBytes) {
    return Fail(ErrorCode::InvalidPackage,
                "too large for a show description: " + std::to_string((*file)->Size()) +
                    " bytes, more than " + std::to_string(limits::kMaxShowDescriptionBytes));
  }
  std::string text(static_cast<std::size_t>((*file)->Size()), '\0');
  auto buffer = std::as_writable_bytes(std::span(text));
  std::uint64_t at = 0;
  while (!buffer.empty()) {
    auto got = (*file)->ReadAt(at, buffer);
    if (!got) return Fail(got.error());
    if (*got == 0) break;
    at += *got;
    buffer = buffer.subspan(*got);
  }
  text.resize(static_cast<std::size_t>(at));
  return text;
}

MediumUse UseOf(MediumSlot slot) {
  switch (slot) {
    case MediumSlot::Background:
      return MediumUse::Background;
    case MediumSlot::Image:
      return MediumUse::Image;
    case MediumSlot::Video:
      return MediumUse::Video;
    case MediumSlot::Track:
      return MediumUse::Track;
  }
  return MediumUse::Image;
}

// What the player would do with the plan, before anything is written: values
// outside their ranges and media it cannot play are errors (the count comes
// back), the rest warnings. Every finding is printed.
std::size_t ValidatePlan(FileSystem& files, const PackagePlan& plan, const std::string& showPath,
                         bool permissive) {
  std::size_t errors = 0;
  // A permissive build reports the same, as warnings.
  const std::string error = permissive ? ": warning: " : ": ";
  // The media's lengths are filled in as they are written; until then a
  // screen's medium counts as there, so that the fields that apply to it
  // are checked.
  Package package = plan.package;
  for (const MediumSource& medium : plan.media) {
    if (medium.slot == MediumSlot::Track) continue;
    ScreenSettings& screen = package.Screens.at(medium.index);
    (medium.slot == MediumSlot::Background ? screen.BackgroundLength
     : medium.slot == MediumSlot::Image    ? screen.ImageLength
                                           : screen.VideoLength) = 1;
  }
  for (const RangeFinding& finding : CheckFieldRanges(package)) {
    Report(showPath + error + "screens[" + std::to_string(finding.screen) + "]." +
           std::string(finding.field) + ": " + DescribeRangeValue(finding));
    ++errors;
  }
  for (const std::string& warning : IgnoredSettingWarnings(package)) {
    Report(showPath + ": warning: " + warning);
  }
  MediumValidator validator;
  for (const MediumSource& medium : plan.media) {
    const bool track = medium.slot == MediumSlot::Track;
    const MediumUse use = UseOf(medium.slot);
    const std::string trackName = track ? package.AudioTracks.at(medium.index).TrackFileName : "";
    const MediumVerdict& verdict = validator.Check(
        MediumValidator::Key(medium.path, use, trackName), files, medium.path, use, trackName);
    std::vector<std::string> warnings = verdict.warnings;
    if (!track) {
      for (std::string& w : ScreenWarnings(verdict, use, package.Screens.at(medium.index))) {
        warnings.push_back(std::move(w));
      }
    }
    const std::string what = medium.label + " '" + medium.path + "' ";
    for (const std::string& problem : verdict.problems) Report(showPath + error + what + problem);
    for (const std::string& warning : warnings) {
      Report(showPath + ": warning: " + what + warning);
    }
    errors += verdict.problems.size();
  }
  return permissive ? 0 : errors;
}

}  // namespace

int BuildFromDescription(const std::string& showPath, const std::string& playerPath,
                         const std::string& outPath, SummaryLine summary, Validation validation) {
  const auto files = MakeNativeFileSystem();
  auto text = ReadText(*files, showPath);
  if (!text) {
    Report(showPath + ": " + text.error().description);
    return kExitProblem;
  }
  std::string base = fs::path(showPath).parent_path().string();
  if (base.empty()) base = ".";
  auto plan = ParseShowDescription(*text, base);
  if (!plan) {
    Report(showPath + ": " + plan.error().description);
    return kExitProblem;
  }
  // The package replaces the output file only at the end, but an input that
  // is the output would still be lost.
  for (const MediumSource& medium : plan->media) {
    if (SameFile(medium.path, outPath)) {
      Report(outPath + ": is " + medium.label + "; choose another output");
      return kExitProblem;
    }
  }
  if (SameFile(playerPath, outPath) || SameFile(showPath, outPath)) {
    Report(outPath + ": is an input of the build; choose another output");
    return kExitProblem;
  }

  if (!CheckOutputFolder(outPath)) return kExitProblem;
  if (const std::size_t errors =
          ValidatePlan(*files, *plan, showPath, validation == Validation::kPermissive);
      errors > 0) {
    Report(showPath + ": " + std::to_string(errors) + (errors == 1 ? " error" : " errors") +
           "; no package written");
    return kExitProblem;
  }
  return WriteVerifiedPackage(*files, *plan, playerPath, outPath, {}, summary);
}

int RunBuild(const std::vector<std::string>& args, std::string_view selfPath) {
  std::string error;
  const auto parsed = ParseArgs(args, {{"--output", "--player"}, {"--permissive"}}, error);
  if (!parsed) return UsageError("build", error);
  if (parsed->positionals.empty()) return UsageError("build", "missing SHOW.json");
  if (parsed->positionals.size() > 1) {
    return UsageError("build", "unexpected argument '" + parsed->positionals[1] + "'");
  }
  const auto output = parsed->values.find("--output");
  if (output == parsed->values.end()) return UsageError("build", "missing -o OUT.scr");
  const std::string showPath = parsed->positionals.front();
  const std::string outPath = output->second;

  int failure = kExitUsage;
  const auto player = ChoosePlayer(*parsed, selfPath, "build", failure);
  if (!player) return failure;
  const std::string& playerPath = *player;

  return BuildFromDescription(
      showPath, playerPath, outPath, SummaryLine::kPrint,
      parsed->flags.contains("--permissive") ? Validation::kPermissive : Validation::kStrict);
}

}  // namespace vistel::pack

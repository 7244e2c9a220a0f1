// check: the layout, every medium's range, the fields' ranges and whether
// every medium plays.
#include <filesystem>
#include <iostream>
#include <map>
#include <span>

#include "commands.hpp"
#include "media_validation.hpp"
#include "package/field_ranges.hpp"
#include "package/fields.hpp"
#include "package/media_check.hpp"
#include "platform/native_files.hpp"

namespace vistel::pack {
namespace {

MediumUse UseOf(MediumKind kind) {
  switch (kind) {
    case MediumKind::Background:
      return MediumUse::Background;
    case MediumKind::Image:
      return MediumUse::Image;
    case MediumKind::Video:
      return MediumUse::Video;
    case MediumKind::Audio:
      return MediumUse::Track;
  }
  return MediumUse::Image;
}

// Copies the medium's bytes, which CheckMedium found inside the media
// stretch, into a fresh file of the temporary folder for the decoders.
Result<std::string> CopyOut(FileSystem& files, const std::string& packagePath,
                            const MediumEntry& medium) {
  std::error_code ec;
  const auto folder = std::filesystem::temp_directory_path(ec);
  if (ec) return Fail(ErrorCode::PathNotFound, "no temporary folder: " + ec.message());
  auto fresh = files.CreateFresh((folder / "vistel-pack-check").string());
  if (!fresh) return Fail(fresh.error());
  auto package = files.OpenRead(packagePath);
  if (!package) return Fail(package.error());
  std::vector<std::byte> buffer(std::size_t{1} << 16);
  std::uint64_t at = static_cast<std::uint64_t>(medium.position) - 1;
  std::uint64_t left = static_cast<std::uint64_t>(medium.length);
  Status written;
  while (left > 0 && written) {
    const auto chunk = std::span(buffer).first(
        static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer.size())));
    auto got = (*package)->ReadAt(at, chunk);
    if (!got || *got == 0) {
      written = got ? Fail(ErrorCode::InputPastEndOfFile) : Fail(got.error());
      break;
    }
    written = fresh->file->Write(chunk.first(*got));
    at += *got;
    left -= *got;
  }
  if (written) written = fresh->file->Close();
  if (!written) {
    (void)files.Remove(fresh->path);
    return Fail(written.error());
  }
  return fresh->path;
}

}  // namespace

int RunCheck(const std::vector<std::string>& args, std::string_view /*selfPath*/) {
  std::string error;
  const auto parsed = ParseArgs(args, {{}, {"--layout-only"}}, error);
  if (!parsed) return UsageError("check", error);
  if (parsed->positionals.size() != 1) {
    return UsageError("check",
                      parsed->positionals.empty() ? "missing PACKAGE" : "expected one PACKAGE");
  }
  const std::string& path = parsed->positionals.front();
  const auto files = MakeNativeFileSystem();
  const auto loaded = LoadPackageForTool(*files, path);
  if (!loaded) return kExitProblem;
  const Package& package = loaded->package;
  const bool layoutOnly = parsed->flags.contains("--layout-only");

  std::vector<std::string> problems =
      CheckConfigurationLines(loaded->configurationText, package.AudioTracks.size());
  std::vector<std::string> warnings = ConfigurationWarnings(loaded->configurationText);
  // Old packages must still be inspected: a value the player handles
  // badly is reported, but the package is not called broken for it.
  for (const RangeFinding& finding :
       layoutOnly ? std::vector<RangeFinding>{} : CheckFieldRanges(package)) {
    warnings.push_back("screen " + std::to_string(finding.screen) + ": " +
                       DescribeRangeFinding(finding));
  }
  if (!layoutOnly) {
    for (const std::string& warning : IgnoredSettingWarnings(package)) warnings.push_back(warning);
  }

  const std::vector<MediumEntry> media = PlayedMedia(package);
  MediumValidator validator;
  for (const MediumEntry& medium : media) {
    const std::string name =
        DescribeMedium(medium) + " (" + std::string(PositionFieldName(medium.kind)) + " " +
        std::to_string(medium.position) + ", " + std::string(LengthFieldName(medium.kind)) + " " +
        std::to_string(medium.length) + ")";
    const std::string problem = CheckMedium(medium, package.ConfigOffset, loaded->fileBytes);
    if (!problem.empty()) {
      problems.push_back(name + ": " + problem);
      continue;
    }
    if (layoutOnly) continue;
    const bool track = medium.kind == MediumKind::Audio;
    const MediumUse use = UseOf(medium.kind);
    const std::string trackName = track ? package.AudioTracks[medium.index].TrackFileName : "";
    const std::string key = MediumValidator::Key(
        std::to_string(medium.position) + "+" + std::to_string(medium.length), use, trackName);
    const MediumVerdict* verdict = validator.Known(key);
    if (verdict == nullptr) {
      auto copy = CopyOut(*files, loaded->package.PackageFileName, medium);
      if (!copy) {
        problems.push_back(name +
                           ": cannot be copied out to be checked: " + copy.error().description);
        continue;
      }
      // The decoders name the file they read: the copy, which is gone.
      verdict = &validator.Check(key, *files, *copy, use, trackName, "the medium");
      (void)files->Remove(*copy);
    }
    for (const std::string& p : verdict->problems) problems.push_back(name + " " + p);
    for (const std::string& w : verdict->warnings) warnings.push_back(name + " " + w);
    if (!track) {
      for (const std::string& w : ScreenWarnings(*verdict, use, package.Screens[medium.index])) {
        warnings.push_back(name + " " + w);
      }
    }
  }
  for (const std::string& warning : warnings) Report(path + ": warning: " + warning);
  for (const std::string& problem : problems) Report(path + ": " + problem);
  if (!problems.empty()) {
    Report(path + ": " + std::to_string(problems.size()) +
           (problems.size() == 1 ? " problem" : " problems"));
    return kExitProblem;
  }
  std::cout << path << ": sound: " << package.Screens.size() << " screens, "
            << package.AudioTracks.size() << " tracks, " << media.size()
            << " media ranges inside the media stretch (configuration text at byte "
            << package.ConfigOffset << " of " << loaded->fileBytes << ")";
  if (!layoutOnly) std::cout << "; " << MediaCheckDepth();
  std::cout << "\n";
  return kExitOk;
}

}  // namespace vistel::pack

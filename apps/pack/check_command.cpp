// check: the layout and every medium's range.
#include <iostream>

#include "commands.hpp"
#include "package/fields.hpp"
#include "package/media_check.hpp"
#include "platform/native_files.hpp"

namespace vistel::pack {

int RunCheck(const std::vector<std::string>& args, std::string_view /*selfPath*/) {
  std::string error;
  const auto parsed = ParseArgs(args, {}, error);
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

  std::vector<std::string> problems =
      CheckConfigurationLines(loaded->configurationText, package.AudioTracks.size());
  const std::vector<MediumEntry> media = PlayedMedia(package);
  for (const MediumEntry& medium : media) {
    const std::string problem = CheckMedium(medium, package.ConfigOffset, loaded->fileBytes);
    if (problem.empty()) continue;
    problems.push_back(DescribeMedium(medium) + " (" + std::string(PositionFieldName(medium.kind)) +
                       " " + std::to_string(medium.position) + ", " +
                       std::string(LengthFieldName(medium.kind)) + " " +
                       std::to_string(medium.length) + "): " + problem);
  }
  for (const std::string& warning : ConfigurationWarnings(loaded->configurationText)) {
    Report(path + ": warning: " + warning);
  }
  for (const std::string& problem : problems) Report(path + ": " + problem);
  if (!problems.empty()) {
    Report(path + ": " + std::to_string(problems.size()) +
           (problems.size() == 1 ? " problem" : " problems"));
    return kExitProblem;
  }
  std::cout << path << ": sound: " << package.Screens.size() << " screens, "
            << package.AudioTracks.size() << " tracks, " << media.size()
            << " media ranges inside the media stretch (configuration text at byte "
            << package.ConfigOffset << " of " << loaded->fileBytes << ")\n";
  return kExitOk;
}

}  // namespace vistel::pack

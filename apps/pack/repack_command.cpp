// repack: a package's show behind another player.
#include <iostream>

#include "commands.hpp"
#include "package/media_check.hpp"
#include "package/repack.hpp"
#include "platform/native_files.hpp"

namespace vistel::pack {
namespace {

// The new package read back as the player reads it must hold the planned
// records, and every medium the player extracts must lie in its media.
bool VerifyRepacked(FileSystem& files, const Package& planned, const std::string& out) {
  const auto loaded = LoadPackageForTool(files, out);
  if (!loaded) return false;
  if (!SameShow(loaded->package, planned) || loaded->package.ConfigOffset != planned.ConfigOffset) {
    Report(out + ": the package does not read back as written");
    return false;
  }
  for (const MediumEntry& medium : PlayedMedia(loaded->package)) {
    if (medium.length == 0) continue;  // no medium in the old package either
    const std::string problem =
        CheckMedium(medium, loaded->package.ConfigOffset, loaded->fileBytes);
    if (!problem.empty()) {
      Report(out + ": " + DescribeMedium(medium) + ": " + problem);
      return false;
    }
  }
  return true;
}

}  // namespace

int RunRepack(const std::vector<std::string>& args, std::string_view selfPath) {
  std::string error;
  const auto parsed = ParseArgs(args, {{"--output", "--player"}, {}}, error);
  if (!parsed) return UsageError("repack", error);
  if (parsed->positionals.empty()) return UsageError("repack", "missing OLD.scr");
  if (parsed->positionals.size() > 1) {
    return UsageError("repack", "unexpected argument '" + parsed->positionals[1] + "'");
  }
  const auto output = parsed->values.find("--output");
  if (output == parsed->values.end()) return UsageError("repack", "missing -o NEW.scr");
  const std::string& oldPath = parsed->positionals.front();
  const std::string& outPath = output->second;
  int failure = kExitUsage;
  const auto player = ChoosePlayer(*parsed, selfPath, "repack", failure);
  if (!player) return failure;

  // The new package replaces the output only at the end, but an input that
  // is the output would still be lost.
  if (SameFile(oldPath, outPath)) {
    Report(outPath + ": is the package being repacked; choose another output");
    return kExitProblem;
  }
  if (SameFile(*player, outPath)) {
    Report(outPath + ": is the player; choose another output");
    return kExitProblem;
  }

  const auto files = MakeNativeFileSystem();
  // The player's own refusal first, in the words inspect and check use.
  if (!LoadPackageForTool(*files, oldPath)) return kExitProblem;
  auto summary = RepackPackage(*files, oldPath, *player, outPath);
  if (!summary) {
    Report(summary.error().description);
    return kExitProblem;
  }
  const RepackPlan& plan = summary->plan;
  for (const std::string& note : plan.notes) Report(oldPath + ": note: " + note);
  CopyPermissions(*player, outPath);
  if (!VerifyRepacked(*files, plan.package, outPath)) {
    (void)files->Remove(outPath);  // an unsound package is not left behind
    return kExitProblem;
  }
  std::cout << "wrote " << outPath << " (" << summary->fileBytes
            << " bytes): " << plan.package.Screens.size() << " screens, "
            << plan.package.AudioTracks.size() << " tracks; " << plan.movedRanges
            << " media ranges in " << plan.stretches.size()
            << (plan.stretches.size() == 1 ? " stretch (" : " stretches (") << plan.mediaBytes
            << " bytes) moved behind the player of " << summary->playerBytes
            << " bytes (the old one had " << plan.oldPlayerBytes << "); configuration text at byte "
            << plan.package.ConfigOffset << "\n";
  return kExitOk;
}

}  // namespace vistel::pack

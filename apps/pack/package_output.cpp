// Writing a package and proving it sound: what build and demo share.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "commands.hpp"
#include "package/media_check.hpp"
#include "package/player_file.hpp"
#include "platform/native_files.hpp"

namespace vistel::pack {
namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
constexpr std::string_view kPlayerName = "vistel-player.exe";
#else
constexpr std::string_view kPlayerName = "vistel-player";
#endif

// The written package read back as the player reads it must give the same
// records, and every medium must lie where media lie.
bool VerifyWritten(FileSystem& files, const BuildSummary& summary, const std::string& out) {
  auto loaded = LoadPackageForTool(files, out);
  if (!loaded) return false;
  const auto written = FormatConfiguration(summary.package);
  const auto reread = FormatConfiguration(loaded->package);
  if (!written || !reread || *written != *reread) {
    Report(out + ": the package does not read back as written");
    return false;
  }
  for (const MediumEntry& medium : PlayedMedia(loaded->package)) {
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

std::vector<std::string> DefaultPlayerCandidates(std::string_view selfPath) {
  std::vector<std::string> candidates;
  const fs::path self(std::string{selfPath});
  const fs::path folder = self.parent_path();
  candidates.push_back((folder / kPlayerName).string());
  // The build tree keeps each program in a folder of its own: BUILD/apps/pack
  // and BUILD/apps/player.
  if (folder.filename() == "pack") {
    candidates.push_back((folder.parent_path() / "player" / kPlayerName).string());
  }
#ifdef _WIN32
  constexpr char kPathSeparator = ';';
#else
  constexpr char kPathSeparator = ':';
#endif
  // An empty entry would mean the current folder, which is no place a
  // program is installed in.
  if (const char* path = std::getenv("PATH")) {
    std::string_view rest(path);
    while (!rest.empty()) {
      const std::size_t end = std::min(rest.find(kPathSeparator), rest.size());
      if (end > 0) {
        candidates.push_back((fs::path(std::string(rest.substr(0, end))) / kPlayerName).string());
      }
      rest.remove_prefix(std::min(end + 1, rest.size()));
    }
  }
  return candidates;
}

std::optional<std::string> ChoosePlayer(const ParsedArgs& parsed, std::string_view selfPath,
                                        std::string_view command, int& failureExit) {
  std::string path;
  if (const auto player = parsed.values.find("--player"); player != parsed.values.end()) {
    path = player->second;
  } else {
    const std::vector<std::string> candidates = DefaultPlayerCandidates(selfPath);
    for (const std::string& candidate : candidates) {
      std::error_code ec;
      if (fs::is_regular_file(candidate, ec)) {
        path = candidate;
        break;
      }
    }
    if (path.empty()) {
      std::string looked;
      for (const std::string& candidate : candidates) looked += "\n  " + candidate;
      UsageError(command, "no " + std::string(kPlayerName) + " found; looked for:" + looked +
                              "\ngive the player with --player PATH");
      failureExit = kExitUsage;
      return std::nullopt;
    }
  }
  // Checked before anything is written: a package behind a picture or a text
  // is no program at all.
  const auto files = MakeNativeFileSystem();
  if (auto kind = CheckPlayerFile(*files, path); !kind) {
    Report(path + ": " + kind.error().description + "; the player must be a vistel-player program");
    failureExit = kExitProblem;
    return std::nullopt;
  }
  return path;
}

// nofollow: should a link have taken the package's place since it was
// written, the link's target keeps its permissions.
void CopyPermissions(const std::string& from, const std::string& to) {
  std::error_code ec;
  const auto perms = fs::status(from, ec).permissions();
  if (!ec) fs::permissions(to, perms, fs::perm_options::replace | fs::perm_options::nofollow, ec);
}

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  return fs::exists(a, ec) && fs::exists(b, ec) && fs::equivalent(a, b, ec) && !ec;
}

bool CheckOutputFolder(const std::string& outPath) {
  // The package is written under a temporary name in that folder first; a
  // missing folder would otherwise be reported as that name's failure.
  fs::path folder = fs::path(outPath).parent_path();
  if (folder.empty()) folder = ".";
  std::error_code ec;
  const auto status = fs::status(folder, ec);
  if (status.type() == fs::file_type::directory) return true;
  Report(outPath + ": cannot write it: the folder '" + folder.string() + "' " +
         (status.type() == fs::file_type::not_found ? "does not exist" : "is not a folder"));
  return false;
}

int WriteVerifiedPackage(FileSystem& files, const PackagePlan& plan, const std::string& playerPath,
                         const std::string& outPath, std::string_view detail,
                         SummaryLine summaryLine) {
  if (!CheckOutputFolder(outPath)) return kExitProblem;
  auto summary = WritePackage(files, plan, playerPath, outPath);
  if (!summary) {
    Report(summary.error().description);
    return kExitProblem;
  }
  CopyPermissions(playerPath, outPath);
  if (!VerifyWritten(files, *summary, outPath)) {
    (void)files.Remove(outPath);  // an unsound package is not left behind
    return kExitProblem;
  }
  if (summaryLine == SummaryLine::kQuiet) return kExitOk;
  std::cout << "wrote " << outPath << " (" << summary->fileBytes
            << " bytes): " << summary->package.Screens.size() << " screens, "
            << summary->package.AudioTracks.size() << " tracks, " << summary->storedMedia
            << " media files; configuration text at byte " << summary->package.ConfigOffset
            << detail << "\n";
  return kExitOk;
}

}  // namespace vistel::pack

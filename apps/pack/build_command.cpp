// build: SHOW.json -> package.
#include <filesystem>
#include <iostream>
#include <span>

#include "commands.hpp"
#include "package/media_check.hpp"
#include "package/show_description.hpp"
#include "package/writer.hpp"

namespace vistel::pack {
namespace {

namespace fs = std::filesystem;

// A show description is a few kilobytes; anything near this is not one.
constexpr std::uint64_t kMaxDescriptionBytes = std::uint64_t{64} << 20;

#ifdef _WIN32
constexpr std::string_view kPlayerName = "vistel-player.exe";
#else
constexpr std::string_view kPlayerName = "vistel-player";
#endif

Result<std::string> ReadText(FileSystem& files, const std::string& path) {
  auto file = files.OpenRead(path);
  if (!file) return Fail(file.error());
  if ((*file)->Size() > kMaxDescriptionBytes) {
    return Fail(ErrorCode::InvalidPackage, "too large for a show description");
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

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  return fs::exists(a, ec) && fs::exists(b, ec) && fs::equivalent(a, b, ec) && !ec;
}

// The package is the player with more bytes behind it, so it runs as the
// player does.
void CopyPermissions(const std::string& from, const std::string& to) {
  std::error_code ec;
  const auto perms = fs::status(from, ec).permissions();
  if (!ec) fs::permissions(to, perms, fs::perm_options::replace, ec);
}

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

int RunBuild(const std::vector<std::string>& args, std::string_view selfPath) {
  std::string error;
  const auto parsed = ParseArgs(args, {{"--output", "--player"}, {}}, error);
  if (!parsed) return UsageError("build", error);
  if (parsed->positionals.empty()) return UsageError("build", "missing SHOW.json");
  if (parsed->positionals.size() > 1) {
    return UsageError("build", "unexpected argument '" + parsed->positionals[1] + "'");
  }
  const auto output = parsed->values.find("--output");
  if (output == parsed->values.end()) return UsageError("build", "missing -o OUT.scr");
  const std::string showPath = parsed->positionals.front();
  const std::string outPath = output->second;

  std::string playerPath;
  if (const auto player = parsed->values.find("--player"); player != parsed->values.end()) {
    playerPath = player->second;
  } else {
    playerPath = (fs::path(std::string(selfPath)).parent_path() / kPlayerName).string();
    std::error_code ec;
    if (!fs::is_regular_file(playerPath, ec)) {
      return UsageError("build", "no " + std::string(kPlayerName) + " next to vistel-pack (" +
                                     playerPath + "); give the player with --player PATH");
    }
  }

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

  auto summary = WritePackage(*files, *plan, playerPath, outPath);
  if (!summary) {
    Report(summary.error().description);
    return kExitProblem;
  }
  CopyPermissions(playerPath, outPath);
  if (!VerifyWritten(*files, *summary, outPath)) {
    (void)files->Remove(outPath);  // an unsound package is not left behind
    return kExitProblem;
  }

  std::cout << "wrote " << outPath << " (" << summary->fileBytes
            << " bytes): " << summary->package.Screens.size() << " screens, "
            << summary->package.AudioTracks.size() << " tracks, " << summary->storedMedia
            << " media files; configuration text at byte " << summary->package.ConfigOffset << "\n";
  return kExitOk;
}

}  // namespace vistel::pack

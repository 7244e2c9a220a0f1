// demo: a package of a show whose media the tool makes itself.
#include <filesystem>
#include <span>
#include <system_error>

#include "commands.hpp"
#include "demo_show.hpp"
#include "package/show_description_writer.hpp"
#include "platform/native_files.hpp"
#include "scratch_folder.hpp"

namespace vistel::pack {
namespace {

namespace fs = std::filesystem;

}  // namespace

int RunDemo(const std::vector<std::string>& args, std::string_view selfPath) {
  std::string error;
  const auto parsed = ParseArgs(args, {{"--output", "--player", "--media-dir"}, {}}, error);
  if (!parsed) return UsageError("demo", error);
  if (!parsed->positionals.empty()) {
    return UsageError("demo", "unexpected argument '" + parsed->positionals.front() + "'");
  }
  const auto output = parsed->values.find("--output");
  if (output == parsed->values.end()) return UsageError("demo", "missing -o OUT.scr");
  const std::string outPath = output->second;
  int failure = kExitUsage;
  const auto player = ChoosePlayer(*parsed, selfPath, "demo", failure);
  if (!player) return failure;
  const std::string& playerPath = *player;
  // Making the media takes seconds: a missing player is better found first.
  if (std::error_code ec; !fs::is_regular_file(playerPath, ec)) {
    Report(playerPath + ": no such player file");
    return kExitProblem;
  }
  if (SameFile(playerPath, outPath)) {
    Report(outPath + ": is the player; choose another output");
    return kExitProblem;
  }

  ScratchFolder scratch;
  std::string folder;
  const bool keepMedia = parsed->values.contains("--media-dir");
  if (const auto kept = parsed->values.find("--media-dir"); kept != parsed->values.end()) {
    folder = kept->second;
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec || !fs::is_directory(folder, ec)) {
      Report(folder + ": cannot create the media folder" + (ec ? ": " + ec.message() : ""));
      return kExitProblem;
    }
  } else {
    if (!scratch.Create("vistel-demo", error)) {
      Report(error);
      return kExitProblem;
    }
    folder = scratch.Path();
  }

  // Writing the media replaces files of their names: neither the output nor
  // the player may be one of them.
  const demo::DemoMedia media = demo::DemoMediaIn(folder);
  // Kept media come with the show description over them, to change and
  // build again.
  const std::string description = (fs::path(folder) / "show.json").string();
  std::vector<std::string> outputs = media.Files();
  if (keepMedia) outputs.push_back(description);
  for (const std::string& file : outputs) {
    if (SameFile(file, outPath) || SameFile(file, playerPath)) {
      Report(file + ": a demo medium would replace it; choose another " +
             (SameFile(file, outPath) ? "output" : "media folder"));
      return kExitProblem;
    }
  }
  if (auto written = demo::WriteDemoMedia(media); !written) {
    Report("cannot make the demo's media: " + written.error().description);
    return kExitProblem;
  }
  const auto files = MakeNativeFileSystem();
  const PackagePlan plan = demo::DemoShowPlan(media);
  if (keepMedia) {
    auto text = WriteShowDescription(plan, folder);
    if (!text) {
      Report("cannot describe the demo's show: " + text.error().description);
      return kExitProblem;
    }
    const Status saved = WriteWholeFile(*files, description, [&](OutputFile& file) {
      return file.Write(std::as_bytes(std::span(*text)));
    });
    if (!saved) {
      Report(description + ": cannot write it: " + saved.error().description);
      return kExitProblem;
    }
  }
  return WriteVerifiedPackage(*files, plan, playerPath, outPath);
}

}  // namespace vistel::pack

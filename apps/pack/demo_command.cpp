// demo: a package of a show whose media the tool makes itself.
#include <stdlib.h>  // mkdtemp

#include <cerrno>
#include <filesystem>
#include <span>
#include <system_error>

#include "commands.hpp"
#include "demo_show.hpp"
#include "package/show_description_writer.hpp"
#include "platform/native_files.hpp"

namespace vistel::pack {
namespace {

namespace fs = std::filesystem;

// A fresh folder for the media of one run, removed with this object: the
// media are only a step towards the package unless --media-dir keeps them.
class ScratchFolder {
 public:
  ScratchFolder() = default;
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  ~ScratchFolder() {
    if (!path_.empty()) {
      std::error_code ec;
      fs::remove_all(path_, ec);
    }
  }

  // Creates the folder under the system's temporary folder with mkdtemp: a
  // fresh name, made exclusively and open to this user only, so two runs at
  // once keep apart and nobody else can plant files in it.
  bool Create(std::string& error) {
    std::error_code ec;
    const fs::path base = fs::temp_directory_path(ec);
    if (ec) {
      error = "no temporary folder: " + ec.message();
      return false;
    }
    std::string name = (base / "vistel-demo-XXXXXX").string();
    if (::mkdtemp(name.data()) == nullptr) {
      error = "cannot create a folder in the temporary folder " + base.string() + ": " +
              std::error_code(errno, std::generic_category()).message();
      return false;
    }
    path_ = name;
    return true;
  }
  std::string Path() const { return path_.string(); }

 private:
  fs::path path_;
};

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
    if (!scratch.Create(error)) {
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

// sheet, where the tool has no picture decoder to read the player's snapshots
// back (the Windows build: it comes from FFmpeg on Linux). Sheets of effects
// are still written, as PNG files of stored (uncompressed) blocks.
#include <cstddef>
#include <vector>

#include "commands.hpp"
#include "imaging/png_encoder.hpp"
#include "platform/native_files.hpp"

namespace vistel::pack {

Status WriteSheetPicture(const Image& image, const std::string& path) {
  const std::vector<std::byte> png = EncodeStoredPng(image);
  const auto files = MakeNativeFileSystem();
  return WriteWholeFile(*files, path, [&](OutputFile& file) { return file.Write(png); });
}

int RunSheet(const std::vector<std::string>& /*args*/, std::string_view /*selfPath*/) {
  Report(
      "sheet: this build cannot read the player's snapshots back; make the sheet with the "
      "Linux vistel-pack and its vistel-player");
  return kExitProblem;
}

}  // namespace vistel::pack

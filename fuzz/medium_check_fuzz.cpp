// Fuzzes the medium check of vistel-pack with the probes alone (the Windows
// build's check): the same bytes as a picture, a clip and a track. It must
// never read outside the file, and it always says something about a medium
// it does not pass.
#include <cstddef>
#include <cstdint>
#include <span>

#include "media/check/medium_check.hpp"
#include "platform/native_files.hpp"
#include "scratch_file.hpp"

using namespace vistel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzz::ScratchFile scratch;
  static const auto files = MakeNativeFileSystem();
  const std::string& path = scratch.Hold(std::span(data, size));
  for (MediumUse use : {MediumUse::Image, MediumUse::Video, MediumUse::Track}) {
    const MediumVerdict verdict = CheckMediumFile(use, *files, path, {}, "audio.mp3");
    for (const std::string& text : verdict.problems) fuzz::Require(!text.empty());
    if (verdict.picture) {
      fuzz::Require(verdict.picture->size.width >= 0 && verdict.picture->size.height >= 0);
    }
  }
  (void)DescribeContent(std::as_bytes(std::span(data, size)));
  return 0;
}

// Fuzzes the sound probe (the timing of WAV and MPEG audio files without a
// decoder) and the naming of media by their first bytes, on files held in
// memory: whatever the bytes, it must end, read within the file, and either
// refuse with a reason or give a rate the player plays at, a length within
// the limits and a frame count that is not negative; a name is a known
// extension or none.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

#include "base/input_limits.hpp"
#include "media/probe/media_signature.hpp"
#include "media/probe/sound_probe.hpp"
#include "scratch_file.hpp"

namespace {

using namespace vistel;
using fuzz::BytesFile;
using fuzz::Require;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The same bytes named by their content, as extract names a medium.
  const auto head = std::as_bytes(std::span(data, std::min(size, kMediaSignatureBytes)));
  const std::string_view extension = MediaExtension(head);
  Require(extension.empty() || (extension.size() == 4 && extension[0] == '.'));

  BytesFile file(std::span(data, size));
  const auto timing = ProbeSoundTiming(file);
  if (!timing) {
    Require(!timing.error().description.empty());
    return 0;
  }
  Require(timing->sampleRate >= 8000 && timing->sampleRate <= 192000);
  Require(timing->lengthMs >= 0 && timing->lengthMs <= limits::kMaxMediaMs);
  Require(timing->frames >= 0);
  return 0;
}

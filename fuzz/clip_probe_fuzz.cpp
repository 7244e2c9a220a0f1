// Fuzzes the clip probe (the timing of MPEG-1 system streams without a
// decoder) on files held in memory: whatever the bytes, it must end, read
// within the file, and either refuse with a short reason or give timing a
// host can play by: one time per picture, never decreasing, the video's end
// one frame after the last picture, lengths within the limits.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "base/input_limits.hpp"
#include "media/probe/clip_probe.hpp"
#include "scratch_file.hpp"

namespace {

using namespace vistel;
using fuzz::BytesFile;
using fuzz::Require;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  BytesFile file(std::span(data, size));
  const auto timing = ProbeClip(file);
  if (!timing) {
    Require(!timing.error().description.empty());
    Require(timing.error().description.size() <= fuzz::kMaxMessageBytes);
    return 0;
  }
  const ClipTiming& t = *timing;
  Require(t.hasVideo || t.hasAudio);
  Require(t.duration >= 0 && t.duration <= limits::kMaxMediaMs);
  if (t.hasVideo) {
    Require(t.frameSize.width > 0 && t.frameSize.height > 0);
    Require(std::int64_t{t.frameSize.width} * t.frameSize.height <= limits::kMaxPicturePixels);
    Require(t.frameCount > 0 && t.frameCount == static_cast<std::int64_t>(t.pictureMs.size()));
    Require(std::is_sorted(t.pictureMs.begin(), t.pictureMs.end()));
    Require(t.lastFrameMs == t.pictureMs.back());
    Require(t.frameMs > 0 && t.videoEndMs == t.lastFrameMs + t.frameMs);
  } else {
    Require(t.frameCount == 0 && t.pictureMs.empty());
  }
  if (t.hasAudio) {
    Require(t.soundFormat.sampleRate > 0 && t.soundFormat.channels == 2);
    Require(t.soundFrames >= 0);
    Require(t.soundMs >= 0 && t.soundMs <= t.duration);
  }
  return 0;
}

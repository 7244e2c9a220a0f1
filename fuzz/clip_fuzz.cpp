// Fuzzes the clip decoder as the video control drives it: open the clip
// (both demuxers, the length scan), decode the first frames in step, pull
// some of its sound, then rewind to the start as a replayed clip does.
// Whatever the bytes, this must end within the limits with errors, not
// crashes, and every frame must have the pixels its size says.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "media/ffmpeg/clip_decoder.hpp"
#include "scratch_file.hpp"

using namespace vistel;

namespace {

constexpr int kFrames = 6;
constexpr Milliseconds kStepMs = 40;

void CheckFrame(const Image& frame) {
  fuzz::Require(frame.Pixels().size() ==
                static_cast<std::size_t>(frame.Width()) * static_cast<std::size_t>(frame.Height()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzz::ScratchFile file;
  const std::string& path = file.Hold(std::span(data, size));
  FfmpegClipDecoder decoder;
  auto clip = decoder.OpenClip(path);
  if (!clip) return 0;
  MediaClip& c = **clip;
  fuzz::Require(c.HasVideo() || c.HasAudio());
  fuzz::Require(c.Duration() >= 0);
  Image frame;
  for (int i = 0; i < kFrames; ++i) {
    auto shown = c.FrameAt(i * kStepMs, frame);
    if (!shown || !*shown) break;
    CheckFrame(frame);
  }
  if (AudioSource* sound = c.Sound()) {
    std::array<std::int16_t, 2048> samples{};
    fuzz::Require(sound->Pull(samples) <= samples.size());
    (void)c.SeekSound(0);
  }
  if (auto shown = c.FrameAt(0, frame); shown && *shown) CheckFrame(frame);
  return 0;
}

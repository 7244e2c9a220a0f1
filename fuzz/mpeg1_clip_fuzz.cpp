// Fuzzes the player's own MPEG-1 clips (system stream, picture and sound
// decoders together, as the Windows hosts play them): whatever the bytes, a
// clip either fails to open with a reason or shows pictures of its own size
// at any time asked, forwards and back, and gives no more sound than its
// timing counts.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "media/mpeg1/clip_decoder.hpp"
#include "platform/native_files.hpp"
#include "scratch_file.hpp"

using namespace vistel;
using fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzz::ScratchFile scratch;
  static const auto files = MakeNativeFileSystem();
  const std::string& path = scratch.Hold(std::span(data, size));
  Mpeg1ClipDecoder decoder(*files);
  auto clip = decoder.OpenClip(path);
  if (!clip) {
    Require(!clip.error().description.empty());
    return 0;
  }
  MediaClip& c = **clip;
  const Milliseconds duration = c.Duration();
  Require(duration >= 0);
  Image frame;
  for (Milliseconds t : {Milliseconds{0}, Milliseconds{40}, duration / 2, Milliseconds{0},
                         duration - 1, duration + 1}) {
    auto shown = c.FrameAt(t, frame);
    if (shown && *shown) {
      Require(frame.Width() == c.FrameSize().width && frame.Height() == c.FrameSize().height);
    }
  }
  if (AudioSource* sound = c.Sound()) {
    std::vector<std::int16_t> chunk(4096);
    for (int pulls = 0; pulls < 64 && sound->Pull(chunk) > 0; ++pulls) {
    }
    (void)c.SeekSound(100);
    (void)sound->Pull(chunk);
  }
  return 0;
}

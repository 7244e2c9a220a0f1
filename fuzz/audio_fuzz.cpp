// Fuzzes the sound-file decoder (WAV, MP3, MP2 and whatever else the content
// probe finds) as the music service drives it: open and measure, pull a few
// blocks, seek into the middle, pull again. It must end within the limits
// and hand out whole stereo frames, never more than asked for.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "media/ffmpeg/audio_file.hpp"
#include "scratch_file.hpp"

using namespace vistel;

namespace {

constexpr int kBlocks = 4;

void PullSome(AudioFileDecoder& sound) {
  std::array<std::int16_t, 4096> samples{};
  for (int i = 0; i < kBlocks; ++i) {
    const std::size_t got = sound.Pull(samples);
    fuzz::Require(got <= samples.size() && got % 2 == 0);
    if (got < samples.size()) break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzz::ScratchFile file;
  const std::string& path = file.Hold(std::span(data, size));
  auto opened = OpenAudioFile(path);
  if (!opened) return 0;
  AudioFileDecoder& sound = **opened;
  const AudioFormat format = sound.Format();
  fuzz::Require(format.channels == 2 && format.sampleRate >= 8000 && format.sampleRate <= 192000);
  fuzz::Require(sound.LengthMs() >= 0);
  PullSome(sound);
  (void)sound.SeekMs(std::max<Milliseconds>(sound.LengthMs() / 2, 1));
  PullSome(sound);
  fuzz::Require(sound.PositionMs() >= 0);
  return 0;
}

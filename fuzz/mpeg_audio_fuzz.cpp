// Fuzzes the MPEG audio layer I and II decoder and its frame splitter:
// the input is cut into chunks whose sizes its first byte picks, split into
// frames, and every frame decoded. Whatever the bytes, the splitter must
// account for each byte once and give frames no longer than its limit, and
// each frame must be refused with a reason or give a layer I or II frame's
// samples. The whole input is also decoded as one (free-format) frame.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "media/mpeg1/audio_decoder.hpp"
#include "scratch_file.hpp"

namespace {

using namespace vistel;
using fuzz::Require;
using mpeg1::MpegAudioDecoder;

void Check(const Result<mpeg1::MpegAudioFrameInfo>& info) {
  if (!info) {
    Require(!info.error().description.empty());
    return;
  }
  Require(info->layer == 1 || info->layer == 2);
  Require(info->samples == (info->layer == 1 ? 384 : 1152));
  Require(info->channels == 1 || info->channels == 2);
  Require(info->outputChannels == 1 || info->outputChannels == 2);
  Require(info->sampleRate >= 8000 && info->sampleRate <= 48000);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t control = data[0];
  const std::span<const std::uint8_t> stream(data + 1, size - 1);
  mpeg1::MpegAudioOptions options;
  options.checkCrc = (control & 1U) != 0;
  options.mono = (control & 6U) == 0   ? mpeg1::MonoOutput::Mono
                 : (control & 6U) == 2 ? mpeg1::MonoOutput::Stereo
                                       : mpeg1::MonoOutput::Centred;
  const std::size_t chunk = std::size_t{1} << (control >> 4U);  // 1 to 32768 bytes

  std::vector<std::int16_t> out(MpegAudioDecoder::kMaxFrameSamples);
  MpegAudioDecoder whole(options);
  Check(whole.Decode(stream, out));

  MpegAudioDecoder decoder(options);
  mpeg1::MpegAudioFrameSplitter splitter;
  std::size_t taken = 0;
  auto drain = [&] {
    while (auto frame = splitter.Next()) {
      Require(frame->size() >= 4 && frame->size() <= mpeg1::MpegAudioFrameSplitter::kMaxFrameBytes);
      taken += frame->size();
      Check(decoder.Decode(*frame, out));
    }
  };
  for (std::size_t at = 0; at < stream.size(); at += chunk) {
    splitter.Push(stream.subspan(at, std::min(chunk, stream.size() - at)));
    drain();
  }
  splitter.Finish();
  drain();
  Require(taken + splitter.SkippedBytes() == stream.size());
  return 0;
}

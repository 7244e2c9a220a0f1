// A decoder of MPEG audio layers I and II (MPEG-1, and MPEG-2's lower
// sampling frequencies), for the sound of MPEG-1 clips where FFmpeg is not
// there. It turns one whole frame at a time into interleaved signed 16-bit
// samples; MpegAudioFrameSplitter cuts a byte stream into those frames.
// Every byte is untrusted: a damaged frame is refused with an error, never
// read past its end.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "base/error.hpp"
#include "media/mpeg1/audio_synthesis.hpp"

namespace vistel::mpeg1 {

// How a one-channel stream comes out.
enum class MonoOutput {
  Mono,     // one channel
  Stereo,   // the sample on both channels
  Centred,  // on both channels at 1/sqrt(2), rounded as FFmpeg's resampler
            // spreads a centre channel: what the Linux clip path plays
};

struct MpegAudioOptions {
  MonoOutput mono = MonoOutput::Centred;
  // Refuse a frame whose checksum does not match (FFmpeg does not check by
  // default, and neither does this).
  bool checkCrc = false;
};

// What one decoded frame held.
struct MpegAudioFrameInfo {
  int layer = 0;  // 1 or 2
  int sampleRate = 0;
  int channels = 0;        // coded in the frame
  int outputChannels = 0;  // in the samples handed out
  int samples = 0;         // per channel: 384 (layer I) or 1152 (layer II)
};

class MpegAudioDecoder {
 public:
  // The most interleaved samples one frame gives.
  static constexpr std::size_t kMaxFrameSamples = 1152 * 2;

  explicit MpegAudioDecoder(MpegAudioOptions options = {});

  // Decodes the frame that starts at frame[0] (its header) into `out`, which
  // must hold kMaxFrameSamples. Bytes past the frame's length are ignored;
  // a free-format frame (bit rate index 0) is the whole span. A frame
  // that is cut short, not layer I or II, or damaged is refused, and the
  // filterbank keeps its state.
  Result<MpegAudioFrameInfo> Decode(std::span<const std::uint8_t> frame,
                                    std::span<std::int16_t> out);

  // Forgets the filterbank's history (after a seek).
  void Reset();

 private:
  MpegAudioOptions options_;
  SynthesisFilterbank filters_[2];
};

// Cuts a stream into frames, whatever the chunks it comes in. A header is
// believed when the next frame's header follows it (or it fills the stream
// to its end); bytes that are no frame are skipped. A frame in step with
// the last one stands with damage behind it, unless another frame starts
// inside it. A free-format frame is measured by the distance to the next
// header, which the frame after must repeat, once for each run of frames in
// step.
class MpegAudioFrameSplitter {
 public:
  // The longest frame taken: a layer II frame at 160 kbit/s and 8 kHz.
  static constexpr std::size_t kMaxFrameBytes = 2881;

  // Appends the next bytes of the stream.
  void Push(std::span<const std::uint8_t> bytes);
  // No more bytes come: the last frame is taken without a header behind it.
  void Finish();
  // The next whole frame; empty when more bytes are needed (or, after
  // Finish, at the end). The span stays valid until the next Push.
  std::optional<std::span<const std::uint8_t>> Next();
  // Bytes skipped as not belonging to a frame, so far.
  std::uint64_t SkippedBytes() const { return skipped_; }
  // Forgets the stream (after a seek): the next frame is searched afresh.
  void Reset();

 private:
  struct Verdict {
    enum Kind { NeedMore, NotFrame, Frame, DropRest } kind;
    std::size_t length = 0;
    std::size_t freeFrameBytes = 0;  // measured here, without padding
  };
  // What the bytes at `at` (at least 4) are.
  Verdict Judge(std::size_t at) const;

  std::vector<std::uint8_t> buffer_;
  std::size_t at_ = 0;
  std::uint64_t skipped_ = 0;
  std::optional<std::uint32_t> stream_;  // fixed header bits of the frames in step
  std::size_t freeFrameBytes_ = 0;       // of free-format frames without padding, once known
  std::uint32_t freeStream_ = 0;         // ... of this stream
  bool finished_ = false;
};

}  // namespace vistel::mpeg1

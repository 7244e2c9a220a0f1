// One demuxer and one decoder over the file's first sound stream; swresample
// turns each decoded frame into interleaved S16 stereo at the output rate.
// Pull may run on an output device's thread while the player seeks: one mutex
// guards the whole state.
#include "media/ffmpeg/audio_file.hpp"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

#include "base/input_limits.hpp"
#include "media/ffmpeg/ffmpeg_support.hpp"
#include "media/ffmpeg/media_input.hpp"

namespace vistel {
namespace {

using namespace ffmpeg;

constexpr int kChannels = 2;
// The most frames one conversion hands out; the resampler keeps the rest of
// a decoded frame for the next. A header's rate far below the output's
// would otherwise turn one packet into gigabytes (1 Hz to 44.1 kHz).
constexpr int kMaxConvertedFrames = 1 << 16;

class FfmpegAudioFile final : public AudioFileDecoder {
 public:
  FfmpegAudioFile(InputPtr input, CodecPtr codec, int stream)
      : input_(std::move(input)), codec_(std::move(codec)), stream_(stream) {
    const AVStream* s = input_->streams[stream_];
    const int rate = s->codecpar->sample_rate;
    format_.sampleRate = rate >= 8000 && rate <= 192000 ? rate : 44100;
    format_.channels = kChannels;
    startTime_ = s->start_time == AV_NOPTS_VALUE ? 0 : s->start_time;
    lengthMs_ = MeasureLength();
  }

  AudioFormat Format() const override { return format_; }
  Milliseconds LengthMs() const override { return lengthMs_; }

  Milliseconds PositionMs() const override {
    std::lock_guard lock(mutex_);
    return FramesToMs(positionFrames_);
  }

  std::size_t Pull(std::span<std::int16_t> samples) override {
    std::lock_guard lock(mutex_);
    std::size_t filled = 0;
    while (filled < samples.size()) {
      if (pendingAt_ >= pending_.size()) {
        if (!Refill()) break;
        continue;
      }
      const std::size_t n = std::min(samples.size() - filled, pending_.size() - pendingAt_);
      std::memcpy(samples.data() + filled, pending_.data() + pendingAt_, n * sizeof(std::int16_t));
      pendingAt_ += n;
      filled += n;
      samplesOut_ += static_cast<std::int64_t>(n);
      positionFrames_ = samplesOut_ / kChannels;
    }
    return filled;
  }

  Status SeekMs(Milliseconds position) override {
    std::lock_guard lock(mutex_);
    position = std::max<Milliseconds>(position, 0);
    const AVStream* s = input_->streams[stream_];
    const std::int64_t ts = startTime_ + av_rescale_q(position, AVRational{1, 1000}, s->time_base);
    const int rc = av_seek_frame(input_.get(), stream_, ts, AVSEEK_FLAG_BACKWARD);
    if (rc < 0) {
      // A stream that cannot seek can still go forward by decoding.
      if (position < FramesToMs(positionFrames_)) {
        return Fail(MediaError("Cannot seek in the sound", rc));
      }
    } else {
      avcodec_flush_buffers(codec_.get());
      resampler_.reset();
      pending_.clear();
      pendingAt_ = 0;
      demuxEnded_ = false;
      drained_ = false;
      positionKnown_ = false;
      // Until the first decoded frame tells where decoding resumed, the
      // position is where the samples will start: the target.
      positionFrames_ = MsToFrames(position);
      samplesOut_ = positionFrames_ * kChannels;
    }
    seekTargetFrames_ = MsToFrames(position);
    DropBeforeTarget();
    return {};
  }

 private:
  Milliseconds FramesToMs(std::int64_t frames) const { return frames * 1000 / format_.sampleRate; }
  std::int64_t MsToFrames(Milliseconds ms) const { return ms * format_.sampleRate / 1000; }

  // The stream's own length where the file states it; otherwise the frames'
  // durations added up, which is exact for MP3 without a length header
  // (whose stated length is only a guess from the bit rate). A header may
  // claim anything: beyond a day, the sound ends when it runs out.
  Milliseconds MeasureLength() {
    return std::clamp<Milliseconds>(StatedLength(), 0, limits::kMaxMediaMs);
  }

  Milliseconds StatedLength() {
    const AVStream* s = input_->streams[stream_];
    switch (input_->duration_estimation_method) {
      case AVFMT_DURATION_FROM_STREAM:
        if (s->duration != AV_NOPTS_VALUE && s->duration > 0) {
          return av_rescale_q(s->duration, s->time_base, AVRational{1, 1000});
        }
        break;
      case AVFMT_DURATION_FROM_PTS:
        if (const std::int64_t end = ScanStreamEnd(*input_, stream_); end != AV_NOPTS_VALUE) {
          return std::max<Milliseconds>(
              0, av_rescale_q(end - startTime_, s->time_base, AVRational{1, 1000}));
        }
        break;
      case AVFMT_DURATION_FROM_BITRATE:
        if (const Milliseconds counted = CountPacketDurations(); counted > 0) return counted;
        break;
    }
    return input_->duration != AV_NOPTS_VALUE && input_->duration > 0
               ? av_rescale(input_->duration, 1000, AV_TIME_BASE)
               : 0;
  }

  Milliseconds CountPacketDurations() {
    std::int64_t total = 0;
    PacketPtr packet = NewPacket();
    while (av_read_frame(input_.get(), packet.get()) >= 0) {
      if (packet->stream_index == stream_) total += packet->duration;
      av_packet_unref(packet.get());
    }
    Rewind(*input_, stream_);
    return av_rescale_q(total, input_->streams[stream_]->time_base, AVRational{1, 1000});
  }

  // Decodes until there are new samples in pending_; false at the end.
  bool Refill() {
    pending_.clear();
    pendingAt_ = 0;
    FramePtr frame = NewFrame();
    PacketPtr packet = NewPacket();
    while (!drained_) {
      if (resampler_ && Append(kFromBuffer, 0)) {  // the rest of the last frame first
        DropBeforeTarget();
        if (pendingAt_ < pending_.size()) return true;
        continue;
      }
      const int rc = avcodec_receive_frame(codec_.get(), frame.get());
      if (rc == 0) {
        Convert(*frame);
        av_frame_unref(frame.get());
        DropBeforeTarget();
        if (pendingAt_ < pending_.size()) return true;
        continue;
      }
      if (rc != AVERROR(EAGAIN)) {  // end of stream, or a decoder that gave up
        drained_ = true;
        Flush();
        break;
      }
      if (demuxEnded_) {
        drained_ = true;
        break;
      }
      if (av_read_frame(input_.get(), packet.get()) < 0) {
        demuxEnded_ = true;
        avcodec_send_packet(codec_.get(), nullptr);
        continue;
      }
      if (packet->stream_index == stream_) {
        // A damaged packet is skipped: the sound goes on with the next one.
        avcodec_send_packet(codec_.get(), packet.get());
      }
      av_packet_unref(packet.get());
    }
    DropBeforeTarget();
    return pendingAt_ < pending_.size();
  }

  bool ResamplerFits(const AVFrame& frame) const {
    return resampler_ && frame.format == inFormat_ && frame.sample_rate == inRate_ &&
           av_channel_layout_compare(&frame.ch_layout, &inLayout_) == 0;
  }

  void Convert(const AVFrame& frame) {
    if (!positionKnown_) {
      // After a seek the first frame tells where decoding resumed.
      const std::int64_t pts = frame.best_effort_timestamp;
      if (pts != AV_NOPTS_VALUE) {
        const AVStream* s = input_->streams[stream_];
        positionFrames_ = std::max<std::int64_t>(
            0, av_rescale_q(pts - startTime_, s->time_base, AVRational{1, format_.sampleRate}));
        samplesOut_ = positionFrames_ * kChannels;
      }
      positionKnown_ = true;
    }
    if (frame.sample_rate > limits::kMaxSoundSampleRate) return;  // skipped as silence
    if (!ResamplerFits(frame)) {
      Flush();
      av_channel_layout_uninit(&inLayout_);
      if (frame.ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || frame.ch_layout.nb_channels <= 0) {
        av_channel_layout_default(&inLayout_, std::max(frame.ch_layout.nb_channels, 1));
      } else {
        av_channel_layout_copy(&inLayout_, &frame.ch_layout);
      }
      inFormat_ = frame.format;
      inRate_ = frame.sample_rate > 0 ? frame.sample_rate : format_.sampleRate;
      AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
      SwrContext* raw = nullptr;
      if (swr_alloc_set_opts2(&raw, &stereo, AV_SAMPLE_FMT_S16, format_.sampleRate, &inLayout_,
                              static_cast<AVSampleFormat>(inFormat_), inRate_, 0, nullptr) < 0 ||
          swr_init(raw) < 0) {
        swr_free(&raw);
        return;  // an undecodable layout: this frame is silence skipped
      }
      resampler_.reset(raw);
    }
    Append(frame.extended_data, frame.nb_samples);
  }

  // Drains what the resampler still holds: its filter delay (Refill has
  // taken the rest of the last frame before). A resampler dropped at a
  // change of format mid-frame loses what is beyond one conversion.
  void Flush() {
    if (resampler_) Append(nullptr, 0);
  }

  // Converts `count` input frames, at most kMaxConvertedFrames of output at
  // a time: what does not fit stays in the resampler, and kFromBuffer with
  // no frames takes more of it. Null data flushes. True when it gave any.
  bool Append(const std::uint8_t* const* data, int count) {
    const int room = std::min(swr_get_out_samples(resampler_.get(), count), kMaxConvertedFrames);
    if (room <= 0) return false;
    const std::size_t start = pending_.size();
    pending_.resize(start + static_cast<std::size_t>(room) * kChannels);
    std::uint8_t* out = reinterpret_cast<std::uint8_t*>(pending_.data() + start);
    const int got =
        swr_convert(resampler_.get(), &out, room, const_cast<const std::uint8_t**>(data), count);
    pending_.resize(start + static_cast<std::size_t>(std::max(got, 0)) * kChannels);
    return got > 0;
  }

  // Input planes for a conversion of no new frames (a null list would
  // flush): one for each channel swresample can take.
  static constexpr const std::uint8_t* kNoPlanes[64] = {};
  static constexpr const std::uint8_t* const* kFromBuffer = kNoPlanes;

  void DropBeforeTarget() {
    if (seekTargetFrames_ <= positionFrames_) return;
    const std::size_t want =
        static_cast<std::size_t>((seekTargetFrames_ - positionFrames_) * kChannels);
    const std::size_t n = std::min(want, pending_.size() - pendingAt_);
    pendingAt_ += n;
    samplesOut_ += static_cast<std::int64_t>(n);
    positionFrames_ = samplesOut_ / kChannels;
  }

  mutable std::mutex mutex_;
  InputPtr input_;
  CodecPtr codec_;
  int stream_;
  AudioFormat format_;
  std::int64_t startTime_ = 0;
  Milliseconds lengthMs_ = 0;

  ResamplePtr resampler_;
  AVChannelLayout inLayout_{};
  int inFormat_ = -1;
  int inRate_ = 0;

  std::vector<std::int16_t> pending_;
  std::size_t pendingAt_ = 0;
  std::int64_t samplesOut_ = 0;      // interleaved samples handed out so far
  std::int64_t positionFrames_ = 0;  // samples per channel: the position
  std::int64_t seekTargetFrames_ = 0;
  bool positionKnown_ = true;
  bool demuxEnded_ = false;
  bool drained_ = false;

 public:
  ~FfmpegAudioFile() override { av_channel_layout_uninit(&inLayout_); }
};

}  // namespace

Result<std::unique_ptr<AudioFileDecoder>> OpenAudioFile(std::string_view path) {
  auto input = OpenInput(path, MediaKind::Sound);
  if (!input) return Fail(input.error());
  const int stream = av_find_best_stream(input->get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  if (stream < 0) {
    return Fail(ErrorCode::InvalidProcedureCall,
                "No sound in " + std::string(path) + ": " + ErrorText(stream));
  }
  if (const int rate = (*input)->streams[stream]->codecpar->sample_rate;
      rate > limits::kMaxSoundSampleRate) {
    return Fail(ErrorCode::InvalidProcedureCall, "The sound of " + std::string(path) + " has " +
                                                     std::to_string(rate) +
                                                     " samples a second, more than any sound file");
  }
  // Only the sound is read from this demuxer: the rest is dropped before
  // it reaches us.
  for (unsigned i = 0; i < (*input)->nb_streams; ++i) {
    if (static_cast<int>(i) != stream) (*input)->streams[i]->discard = AVDISCARD_ALL;
  }
  auto codec = OpenDecoder(**input, stream, MediaKind::Sound, 1);
  if (!codec) return Fail(codec.error());
  return std::unique_ptr<AudioFileDecoder>(
      new FfmpegAudioFile(std::move(*input), std::move(*codec), stream));
}

}  // namespace vistel

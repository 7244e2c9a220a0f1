#include "media/ffmpeg/clip_decoder.hpp"

#include <algorithm>
#include <limits>
#include <utility>

#include "base/input_limits.hpp"
#include "media/ffmpeg/audio_file.hpp"
#include "media/ffmpeg/ffmpeg_support.hpp"
#include "media/ffmpeg/frame_convert.hpp"
#include "media/ffmpeg/media_input.hpp"

namespace vistel {
namespace {

using namespace ffmpeg;

class FfmpegClip final : public MediaClip {
 public:
  FfmpegClip(InputPtr input, CodecPtr codec, int stream, std::unique_ptr<AudioFileDecoder> sound)
      : input_(std::move(input)),
        codec_(std::move(codec)),
        stream_(stream),
        sound_(std::move(sound)),
        current_(NewFrame()),
        next_(NewFrame()),
        packet_(NewPacket()) {
    if (stream_ >= 0) {
      const AVStream* s = input_->streams[stream_];
      size_ = {s->codecpar->width, s->codecpar->height};
      timeBase_ = s->time_base;
      if (s->start_time != AV_NOPTS_VALUE) {
        start_ = s->start_time;
      } else if (input_->start_time != AV_NOPTS_VALUE) {
        start_ = av_rescale_q(input_->start_time, AV_TIME_BASE_Q, timeBase_);
      }
      AVRational rate = s->avg_frame_rate.num > 0 ? s->avg_frame_rate : s->r_frame_rate;
      if (rate.num > 0 && rate.den > 0)
        frameMs_ = std::max<Milliseconds>(1, 1000 * rate.den / rate.num);
    }
    duration_ = MeasureDuration();
    // A stream whose size the stream probe left open (one sequence header
    // only: the probe may not run the picture decoder) has it from its first
    // decoded frame.
    if (stream_ >= 0 && (size_.width <= 0 || size_.height <= 0)) {
      if (auto got = DecodeNext(); got && *got) {
        haveNext_ = true;
        size_ = {next_->width, next_->height};
      }
    }
  }

  IntSize FrameSize() const override { return size_; }
  Milliseconds Duration() const override { return duration_; }
  bool HasVideo() const override { return stream_ >= 0; }
  bool HasAudio() const override { return sound_ != nullptr; }
  AudioSource* Sound() override { return sound_.get(); }
  AudioFormat SoundFormat() const override { return sound_ ? sound_->Format() : AudioFormat{}; }
  Status SeekSound(Milliseconds t) override {
    if (!sound_) return Fail(ErrorCode::InvalidProcedureCall, "the clip has no sound");
    return sound_->SeekMs(t);
  }

  Result<bool> FrameAt(Milliseconds t, Image& frame) override {
    if (stream_ < 0) return false;
    if (haveCurrent_ && t < currentMs_ && currentMs_ > firstMs_) {
      if (auto sought = SeekTo(t); !sought) return Fail(sought.error());
    }
    while (true) {
      if (!haveNext_) {
        if (ended_) break;
        auto got = DecodeNext();
        if (!got) return Fail(got.error());
        if (!*got) {
          ended_ = true;
          break;
        }
        haveNext_ = true;
      }
      if (haveCurrent_ && nextMs_ > t) break;
      std::swap(current_, next_);
      currentMs_ = nextMs_;
      haveCurrent_ = true;
      haveNext_ = false;
      firstMs_ = std::min(firstMs_, currentMs_);
    }
    if (!haveCurrent_) return false;
    if (ended_ && !haveNext_ && t >= currentMs_ + frameMs_) return false;
    if (!ConvertFrame(*current_, scaler_, frame)) {
      return Fail(MediaError("Cannot convert the clip's frame"));
    }
    return true;
  }

 private:
  // The later of the picture's and the sound's ends, within a day: a clip's
  // stamps may claim anything.
  Milliseconds MeasureDuration() {
    Milliseconds video = 0;
    if (stream_ >= 0) {
      const AVStream* s = input_->streams[stream_];
      if (input_->duration_estimation_method == AVFMT_DURATION_FROM_STREAM &&
          s->duration != AV_NOPTS_VALUE) {
        video = av_rescale_q(s->duration, timeBase_, {1, 1000});
      } else if (const std::int64_t end = ScanStreamEnd(*input_, stream_); end != AV_NOPTS_VALUE) {
        video = av_rescale_q(end - start_, timeBase_, {1, 1000});
      } else if (input_->duration != AV_NOPTS_VALUE) {
        video = av_rescale(input_->duration, 1000, AV_TIME_BASE);
      }
    }
    return std::clamp<Milliseconds>(std::max(video, sound_ ? sound_->LengthMs() : 0), 0,
                                    limits::kMaxMediaMs);
  }

  Status SeekTo(Milliseconds t) {
    const std::int64_t ts =
        start_ + av_rescale_q(std::max<Milliseconds>(t, 0), {1, 1000}, timeBase_);
    if (t <= firstMs_) {
      Rewind(*input_, stream_);  // the first picture, whatever its decoding time
    } else if (av_seek_frame(input_.get(), stream_, ts, AVSEEK_FLAG_BACKWARD) < 0) {
      // Some streams only rewind: start over from the first byte.
      if (std::int64_t rc = avio_seek(input_->pb, 0, SEEK_SET); rc < 0) {
        return Fail(MediaError("Cannot seek in the clip", static_cast<int>(rc)));
      }
      avformat_flush(input_.get());
    }
    avcodec_flush_buffers(codec_.get());
    haveCurrent_ = haveNext_ = ended_ = demuxEnded_ = false;
    lastPts_ = AV_NOPTS_VALUE;
    return {};
  }

  // Decodes the next frame into next_ with its time in nextMs_; false at the end.
  Result<bool> DecodeNext() {
    while (true) {
      const int rc = avcodec_receive_frame(codec_.get(), next_.get());
      if (rc == 0) {
        std::int64_t pts = next_->best_effort_timestamp;
        // A frame without a time, or with one that does not move on (the
        // last frame of an MPEG-1 stream, whose B-frame delay no probe
        // has measured), follows its predecessor by one frame.
        if (pts == AV_NOPTS_VALUE || (lastPts_ != AV_NOPTS_VALUE && pts <= lastPts_)) {
          pts = lastPts_ == AV_NOPTS_VALUE
                    ? start_
                    : lastPts_ + av_rescale_q(frameMs_, {1, 1000}, timeBase_);
        }
        lastPts_ = pts;
        nextMs_ = av_rescale_q(pts - start_, timeBase_, {1, 1000});
        return true;
      }
      if (rc == AVERROR_EOF) return false;
      if (rc != AVERROR(EAGAIN)) return Fail(MediaError("Cannot decode the clip", rc));
      if (demuxEnded_) return false;
      const int read = av_read_frame(input_.get(), packet_.get());
      if (read < 0) {
        demuxEnded_ = true;
        avcodec_send_packet(codec_.get(), nullptr);
        continue;
      }
      if (packet_->stream_index == stream_) {
        // A damaged packet is dropped; the decoder resynchronises on the next.
        avcodec_send_packet(codec_.get(), packet_.get());
      }
      av_packet_unref(packet_.get());
    }
  }

  InputPtr input_;
  CodecPtr codec_;
  int stream_;
  std::unique_ptr<AudioFileDecoder> sound_;
  IntSize size_{};
  AVRational timeBase_{1, 1000};
  std::int64_t start_ = 0;
  Milliseconds duration_ = 0;
  Milliseconds frameMs_ = 40;

  FramePtr current_;
  FramePtr next_;
  PacketPtr packet_;
  ScalePtr scaler_;
  Milliseconds currentMs_ = 0;
  Milliseconds nextMs_ = 0;
  Milliseconds firstMs_ = std::numeric_limits<Milliseconds>::max();
  std::int64_t lastPts_ = AV_NOPTS_VALUE;
  bool haveCurrent_ = false;
  bool haveNext_ = false;
  bool ended_ = false;
  bool demuxEnded_ = false;
};

}  // namespace

Result<std::unique_ptr<MediaClip>> FfmpegClipDecoder::OpenClip(std::string_view path) {
  auto input = OpenInput(path, MediaKind::Clip);
  if (!input) return Fail(input.error());
  AVFormatContext* context = input->get();
  const int video = FindVideoStream(*context);
  const int audio = av_find_best_stream(context, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  if (video < 0 && audio < 0) {
    return Fail(ErrorCode::InvalidProcedureCall,
                "No picture or sound in the clip " + std::string(path));
  }
  CodecPtr codec;
  if (video >= 0) {
    for (unsigned i = 0; i < context->nb_streams; ++i) {
      if (static_cast<int>(i) != video) context->streams[i]->discard = AVDISCARD_ALL;
    }
    auto opened = OpenDecoder(*context, video, MediaKind::Clip, 0);
    if (!opened) return Fail(opened.error());
    codec = std::move(*opened);
  }
  std::unique_ptr<AudioFileDecoder> sound;
  if (audio >= 0) {
    // A sound we cannot decode leaves a silent clip rather than no clip.
    if (auto opened = OpenAudioFile(path)) sound = std::move(*opened);
  }
  if (video < 0 && !sound) {
    return Fail(ErrorCode::InvalidProcedureCall, "Cannot decode the sound of " + std::string(path));
  }
  std::unique_ptr<MediaClip> clip(
      new FfmpegClip(std::move(*input), std::move(codec), video, std::move(sound)));
  // Pictures of no size are pictures the decoder refused (over the limits)
  // or could not decode at all: no clip to show.
  if (clip->HasVideo() && (clip->FrameSize().width <= 0 || clip->FrameSize().height <= 0)) {
    return Fail(ErrorCode::InvalidProcedureCall,
                "Cannot decode the pictures of the clip " + std::string(path));
  }
  return clip;
}

}  // namespace vistel

#include "media/ffmpeg/ffmpeg_support.hpp"

#include <cstdlib>
#include <mutex>
#include <string_view>

#include "base/input_limits.hpp"

namespace vistel::ffmpeg {

void OutputFreer::operator()(AVFormatContext* c) const {
  if (c->pb != nullptr && (c->oformat->flags & AVFMT_NOFILE) == 0) avio_closep(&c->pb);
  avformat_free_context(c);
}

std::string ErrorText(int averror) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  if (av_strerror(averror, text, sizeof text) < 0) return "FFmpeg error " + std::to_string(averror);
  return text;
}

Error MediaError(std::string_view what, int averror) {
  return Error(ErrorCode::InvalidProcedureCall, std::string(what) + ": " + ErrorText(averror));
}

Error MediaError(std::string_view what) {
  return Error(ErrorCode::InvalidProcedureCall, std::string(what));
}

Status SetUpOnce() {
  if (auto loaded = LoadFfmpeg(); !loaded) return loaded;
  static std::once_flag once;
  std::call_once(once, [] {
    av_max_alloc(limits::kMaxMediaAllocationBytes);
    const char* keep = std::getenv("VISTEL_FFMPEG_LOG");
    av_log_set_level(keep != nullptr && *keep == '1' ? AV_LOG_WARNING : AV_LOG_QUIET);
  });
  return {};
}

FramePtr NewFrame() {
  FramePtr frame(av_frame_alloc());
  if (!frame) throw std::bad_alloc();
  return frame;
}

PacketPtr NewPacket() {
  PacketPtr packet(av_packet_alloc());
  if (!packet) throw std::bad_alloc();
  return packet;
}

void Rewind(AVFormatContext& input, int stream) {
  // An MPEG stream has no header to keep, so its start is its first byte. A
  // seek to its first time would land past its first picture, whose decoding
  // time comes before that time: the decoder would wait for the next
  // sequence header and lose the first group of pictures.
  const std::string_view format = input.iformat->name;
  if (format == "mpeg" || format == "mpegvideo") {
    avio_seek(input.pb, 0, SEEK_SET);
    avformat_flush(&input);
    return;
  }
  const AVStream* s = input.streams[stream];
  const std::int64_t start = s->start_time == AV_NOPTS_VALUE ? 0 : s->start_time;
  if (av_seek_frame(&input, stream, start, AVSEEK_FLAG_BACKWARD) < 0) {
    avio_seek(input.pb, 0, SEEK_SET);
    avformat_flush(&input);
  }
}

std::int64_t ScanStreamEnd(AVFormatContext& input, int stream) {
  const AVStream* s = input.streams[stream];
  const std::int64_t start = s->start_time == AV_NOPTS_VALUE ? 0 : s->start_time;
  std::int64_t guess = start;
  if (s->duration != AV_NOPTS_VALUE) {
    guess += s->duration;
  } else if (input.duration != AV_NOPTS_VALUE) {
    guess += av_rescale_q(input.duration, AV_TIME_BASE_Q, s->time_base);
  }
  const std::int64_t from = guess - av_rescale_q(3, AVRational{1, 1}, s->time_base);
  if (from <= start || av_seek_frame(&input, stream, from, AVSEEK_FLAG_BACKWARD) < 0) {
    Rewind(input, stream);
  }
  std::int64_t end = AV_NOPTS_VALUE;
  PacketPtr packet = NewPacket();
  while (av_read_frame(&input, packet.get()) >= 0) {
    if (packet->stream_index == stream) {
      for (std::int64_t ts : {packet->pts, packet->dts}) {
        if (ts != AV_NOPTS_VALUE && (end == AV_NOPTS_VALUE || ts + packet->duration > end)) {
          end = ts + packet->duration;
        }
      }
    }
    av_packet_unref(packet.get());
  }
  Rewind(input, stream);
  return end;
}

}  // namespace vistel::ffmpeg
